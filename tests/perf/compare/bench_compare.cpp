// Native figures of the benchmark kernels, printed one per line for
// scripts/bench-compare, which runs established tools beside them:
//   bench_compare mem-read|mem-write|mem-copy THREADS   GB/s (10^9 bytes per second)
//   bench_compare latency                               ns per dependent load
//   bench_compare sha256                                MB/s, one thread, 64 KiB messages
//   bench_compare seq-read FILE                         MB/s, 1 MiB O_DIRECT reads, 8 in flight (kernel AIO)
#include <fcntl.h>
#include <linux/aio_abi.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "bench/cpu_bench.h"
#include "bench/disk_bench.h"
#include "bench/memory_bench.h"

using namespace kalorix::bench;

namespace {

constexpr size_t kMemSize = 256 * kMiB;

void* AlignedBuffer(size_t bytes) {
    void* p = ::operator new(bytes, std::align_val_t(4096));
    std::memset(p, 0, bytes);  // commit the pages before timing
    return p;
}

int Memory(const std::string& mode, unsigned threads) {
    auto* src = static_cast<uint64_t*>(AlignedBuffer(kMemSize));
    void* dst = AlignedBuffer(kMemSize);
    FillMemorySource(src, kMemSize / 8);
    SteadyClock clock;
    double gbs = 0;
    if (mode == "mem-read") gbs = MeasureBandwidth(BandwidthMode::Read, src, dst, kMemSize, threads, clock);
    if (mode == "mem-write") gbs = MeasureBandwidth(BandwidthMode::Write, src, dst, kMemSize, threads, clock);
    if (mode == "mem-copy") gbs = MeasureBandwidth(BandwidthMode::Copy, src, dst, kMemSize, threads, clock);
    std::printf("%.3f\n", gbs);
    return 0;
}

int Latency() {
    void* buffer = AlignedBuffer(kMemSize);
    BuildLatencyChain(buffer, kMemSize);
    SteadyClock clock;
    std::printf("%.2f\n", MeasureLatency(buffer, kMemSize, clock));
    return 0;
}

int Sha() {
    SteadyClock clock;
    std::printf("%.1f\n", ShaMegabytesPerSecond(MeasureCpuRate(kCpuCrypto, 1, clock, 2.0)));
    return 0;
}

// The disk phase's device on Linux: kernel asynchronous I/O (io_submit /
// io_getevents) on an O_DIRECT file, the counterpart of overlapped I/O with a
// completion port.
class AioDevice : public DiskDevice {
public:
    AioDevice(int fd, uint8_t* buffer) : fd_(fd), buffer_(buffer) {
        if (syscall(SYS_io_setup, 64, &ctx_) != 0) ctx_ = 0;
    }
    ~AioDevice() override {
        if (ctx_) syscall(SYS_io_destroy, ctx_);
    }
    bool ok() const { return ctx_ != 0; }
    void stamp(uint32_t slot, uint32_t blockSize, uint64_t value) override {
        std::memcpy(buffer_ + size_t(slot) * blockSize, &value, 8);
    }
    bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t size, uint32_t& error) override {
        iocb& cb = cbs_[slot];
        std::memset(&cb, 0, sizeof cb);
        cb.aio_data = slot;
        cb.aio_lio_opcode = write ? IOCB_CMD_PWRITE : IOCB_CMD_PREAD;
        cb.aio_fildes = static_cast<uint32_t>(fd_);
        cb.aio_buf = reinterpret_cast<uintptr_t>(buffer_ + size_t(slot) * size);
        cb.aio_nbytes = size;
        cb.aio_offset = static_cast<int64_t>(offset);
        iocb* list[1] = {&cb};
        if (syscall(SYS_io_submit, ctx_, 1, list) != 1) {
            error = static_cast<uint32_t>(errno);
            return false;
        }
        return true;
    }
    bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) override {
        io_event events[64];
        timespec timeout{static_cast<time_t>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000000};
        const long n = syscall(SYS_io_getevents, ctx_, 1, 64, events, &timeout);
        if (n <= 0) {
            error = n == 0 ? kErrorWaitTimeout : static_cast<uint32_t>(errno);
            return false;
        }
        for (long i = 0; i < n; ++i) {
            const bool good = events[i].res >= 0;
            out.push_back({static_cast<uint32_t>(events[i].data), good, good ? static_cast<uint32_t>(events[i].res) : 0});
        }
        return true;
    }
    void cancelAll() override {}
    [[noreturn]] void abandon(int code) override { std::_Exit(code); }

private:
    int fd_;
    uint8_t* buffer_;
    aio_context_t ctx_ = 0;
    iocb cbs_[32];
};

int SeqRead(const char* path) {
    const int fd = open(path, O_RDONLY | O_DIRECT);
    if (fd < 0) {
        std::perror("open");
        return 1;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    auto* buffer = static_cast<uint8_t*>(AlignedBuffer(kDiskBufferSize));
    SteadyClock clock;
    Reporter quiet([](std::string_view) {});
    uint64_t rng = 1;
    DiskPhaseResult r;
    {
        AioDevice device(fd, buffer);
        if (!device.ok()) {
            std::perror("io_setup");
            return 1;
        }
        r = RunDiskPhase(DiskPhaseSpec(2, uint64_t(size) / (1 << 20) * (1 << 20)), device, clock, rng, quiet);
    }
    close(fd);
    if (!r.ok) {
        std::fprintf(stderr, "read failed: %u\n", r.error);
        return 1;
    }
    std::printf("%.1f\n", r.bytes / 1e6 / r.elapsed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode.rfind("mem-", 0) == 0) return Memory(mode, argc > 2 ? std::atoi(argv[2]) : HardwareThreads());
    if (mode == "latency") return Latency();
    if (mode == "sha256") return Sha();
    if (mode == "seq-read" && argc > 2) return SeqRead(argv[2]);
    std::fprintf(stderr, "usage: bench_compare mem-read|mem-write|mem-copy THREADS | latency | sha256 | seq-read FILE\n");
    return 2;
}
