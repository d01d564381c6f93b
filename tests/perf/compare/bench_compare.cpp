// Native figures of the benchmark kernels, printed one per line for
// scripts/bench-compare, which runs established tools beside them:
//   bench_compare mem-read|mem-write|mem-copy THREADS   GB/s (10^9 bytes per second)
//   bench_compare latency                               ns per dependent load
//   bench_compare sha256                                MB/s, one thread, 64 KiB messages
//   bench_compare seq-read FILE                         MB/s, 1 MiB O_DIRECT reads, 8 in flight
#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
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
    std::printf("%.1f\n", ShaMegabytesPerSecond(MeasureCpuRate(kCpuCrypto, 1, clock, 3.0)));
    return 0;
}

// The disk phase's device on Linux: one thread per queue slot doing blocking
// O_DIRECT reads, so `depth` requests are in flight as with overlapped I/O.
class PosixDevice : public DiskDevice {
public:
    PosixDevice(int fd, uint8_t* buffer, unsigned depth) : fd_(fd), buffer_(buffer) {
        for (unsigned i = 0; i < depth; ++i) workers_.emplace_back([this] { work(); });
    }
    ~PosixDevice() override {
        {
            std::lock_guard<std::mutex> l(m_);
            quit_ = true;
        }
        cv_.notify_all();
        for (auto& t : workers_) t.join();
    }
    void stamp(uint32_t slot, uint32_t blockSize, uint64_t value) override {
        std::memcpy(buffer_ + size_t(slot) * blockSize, &value, 8);
    }
    bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t size, uint32_t&) override {
        {
            std::lock_guard<std::mutex> l(m_);
            work_.push_back({slot, write, offset, size});
        }
        cv_.notify_one();
        return true;
    }
    bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) override {
        std::unique_lock<std::mutex> l(m_);
        if (!done_cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return !done_.empty(); })) {
            error = kErrorWaitTimeout;
            return false;
        }
        while (!done_.empty() && out.size() < 64) {
            out.push_back(done_.front());
            done_.pop_front();
        }
        return true;
    }
    void cancelAll() override {}
    [[noreturn]] void abandon(int code) override { std::_Exit(code); }

private:
    struct Job {
        uint32_t slot;
        bool write;
        uint64_t offset;
        uint32_t size;
    };
    void work() {
        for (;;) {
            Job j;
            {
                std::unique_lock<std::mutex> l(m_);
                cv_.wait(l, [&] { return quit_ || !work_.empty(); });
                if (quit_) return;
                j = work_.front();
                work_.pop_front();
            }
            uint8_t* p = buffer_ + size_t(j.slot) * j.size;
            const ssize_t n = j.write ? pwrite(fd_, p, j.size, off_t(j.offset)) : pread(fd_, p, j.size, off_t(j.offset));
            {
                std::lock_guard<std::mutex> l(m_);
                done_.push_back({j.slot, n >= 0, n >= 0 ? uint32_t(n) : 0});
            }
            done_cv_.notify_one();
        }
    }
    int fd_;
    uint8_t* buffer_;
    std::mutex m_;
    std::condition_variable cv_, done_cv_;
    std::deque<Job> work_;
    std::deque<Completion> done_;
    bool quit_ = false;
    std::vector<std::thread> workers_;
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
        PosixDevice device(fd, buffer, 8);
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
