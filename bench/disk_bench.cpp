#include "bench/disk_bench.h"

#include <algorithm>
#include <cmath>

#include "bench/cpu_bench.h"
#include "bench/scores.h"

namespace kalorix::bench {

DiskPhase DiskPhaseSpec(int phase, uint64_t v) {
    constexpr uint64_t MiB = 1024ull * 1024;
    switch (phase) {
        case 1: return {true, false, 1u << 20, 8, v, 512 * MiB, 0.05, 0.28, L"Sıralı yazma"};
        case 2: return {false, false, 1u << 20, 8, v, 4096 * MiB, 0.3, 0.53, L"Sıralı okuma"};
        case 3: return {false, true, 4096, 32, v, 1024 * MiB, 0.55, 0.78, L"Rastgele okuma (4 KB)"};
        default: return {true, true, 4096, 32, v, 256 * MiB, 0.8, 0.99, L"Rastgele yazma (4 KB)"};
    }
}

DiskPhase DiskPreparePhase() {
    return {true, false, 1u << 20, 8, kDiskFileSize, kDiskFileSize, 0.0, 0.05, L"Test dosyası hazırlanıyor",
            kDiskPrepareSeconds};
}

DiskPhaseResult RunDiskPhase(const DiskPhase& ph, DiskDevice& device, Clock& clock, uint64_t& rng,
                             Reporter& reporter) {
    DiskPhaseResult r;
    const uint64_t blocks = ph.blockSize ? ph.span / ph.blockSize : 0;
    if (blocks == 0) {
        r.error = kErrorHandleEof;
        return r;
    }
    uint64_t cursor = 0;
    uint64_t issued = 0;
    uint64_t writeCounter = 0;
    uint32_t outstanding = 0;
    bool done = false;
    const double t0 = clock.nowSeconds();
    double lastCompletion = t0;
    double lastProgress = -1e300;

    auto submit = [&](uint32_t slot) {
        uint64_t offset;
        if (ph.random) {
            offset = (Xorshift64(rng) % blocks) * ph.blockSize;
        } else {
            offset = cursor;
            cursor += ph.blockSize;
            if (cursor >= blocks * ph.blockSize) cursor = 0;
        }
        if (ph.write) {
            ++writeCounter;
            device.stamp(slot, ph.blockSize, writeCounter ^ Xorshift64(rng));
        }
        uint32_t err = 0;
        if (!device.submit(slot, ph.write, offset, ph.blockSize, err)) {
            if (r.error == 0) r.error = err ? err : kErrorIoDevice;
            return false;
        }
        if (ph.write) r.highestWrittenEnd = std::max(r.highestWrittenEnd, offset + ph.blockSize);
        issued += ph.blockSize;
        ++outstanding;
        return true;
    };

    for (uint32_t slot = 0; slot < ph.queueDepth; ++slot) {
        if (!submit(slot)) {
            done = true;
            break;
        }
    }
    std::vector<DiskDevice::Completion> completions;
    completions.reserve(64);
    while (outstanding > 0) {
        completions.clear();
        uint32_t err = 0;
        if (!device.wait(completions, 5000, err)) {
            if (r.error == 0) r.error = err ? err : kErrorWaitTimeout;
            device.cancelAll();
            while (outstanding > 0) {
                completions.clear();
                if (!device.wait(completions, 30000, err)) device.abandon(11);
                outstanding -= std::min<uint32_t>(outstanding, static_cast<uint32_t>(completions.size()));
            }
            break;
        }
        for (const auto& c : completions) {
            --outstanding;
            if (c.success && c.transferred == ph.blockSize) {
                r.bytes += ph.blockSize;
                ++r.operations;
                const double now = clock.nowSeconds();
                lastCompletion = now;
                if (!done && (now - t0 >= ph.seconds || issued >= ph.byteLimit)) done = true;
                if (!done && !submit(c.slot)) done = true;
            } else {
                if (r.error == 0) r.error = c.success ? kErrorHandleEof : kErrorIoDevice;
                done = true;
            }
        }
        const double now = clock.nowSeconds();
        if (now - lastProgress >= 0.2) {
            lastProgress = now;
            const double f = std::min(1.0, (now - t0) / ph.seconds);
            reporter.Progress(ph.progressFrom + (ph.progressTo - ph.progressFrom) * f, ph.label);
        }
    }
    r.elapsed = lastCompletion - t0;
    r.ok = r.error == 0 && r.operations > 0 && r.elapsed > 0.0;
    return r;
}

std::optional<uint64_t> VerifiedSpan(bool validDataSet, uint64_t preparedBytes) {
    if (validDataSet) return kDiskFileSize;
    constexpr uint64_t MiB = 1024ull * 1024;
    const uint64_t v = std::min(preparedBytes, kDiskFileSize) / MiB * MiB;
    if (v < 16 * MiB) return std::nullopt;
    return v;
}

std::wstring DiskTestDirectory(wchar_t letter, const std::wstring& windowsDir, const std::wstring& tempDir) {
    auto up = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; };
    std::wstring dir;
    if (!windowsDir.empty() && !tempDir.empty() && up(windowsDir[0]) == up(letter) && up(tempDir[0]) == up(letter)) {
        dir = tempDir;
    } else {
        dir = std::wstring(1, letter) + L":\\";
    }
    if (dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::wstring DiskTestFileName(const std::wstring& directory, uint32_t processId, uint64_t tick) {
    return directory + L"Kalorix-test-" + std::to_wstring(processId) + L"-" + std::to_wstring(tick) + L".tmp";
}

int RunDiskPhases(Reporter& reporter, DiskDevice& device, Clock& clock, uint64_t& rng, bool validDataSet) {
    auto fail = [&](const DiskFailure& f) {
        reporter.Error(f.text);
        return f.code;
    };
    uint64_t prepared = 0;
    if (!validDataSet) {
        // Sequential from offset 0 without wrapping: every completed block lies
        // in one written prefix, whatever order the device completed them in.
        const DiskPhaseResult prep = RunDiskPhase(DiskPreparePhase(), device, clock, rng, reporter);
        if (prep.error != 0) return fail(kDiskNoSize);
        prepared = prep.bytes;
    }
    const auto v = VerifiedSpan(validDataSet, prepared);
    if (!v) return fail(kDiskTooSlow);
    const DiskPhaseResult p1 = RunDiskPhase(DiskPhaseSpec(1, *v), device, clock, rng, reporter);
    if (!p1.ok) return fail(kDiskSeqWrite);
    clock.sleepMs(1000);
    const DiskPhaseResult p2 = RunDiskPhase(DiskPhaseSpec(2, *v), device, clock, rng, reporter);
    if (!p2.ok) return fail(kDiskSeqRead);
    clock.sleepMs(1000);
    const DiskPhaseResult p3 = RunDiskPhase(DiskPhaseSpec(3, *v), device, clock, rng, reporter);
    if (!p3.ok) return fail(kDiskRndRead);
    clock.sleepMs(1000);
    const DiskPhaseResult p4 = RunDiskPhase(DiskPhaseSpec(4, *v), device, clock, rng, reporter);
    if (!p4.ok) return fail(kDiskRndWrite);

    const double seqRead = p2.bytes / 1e6 / p2.elapsed;
    const double seqWrite = p1.bytes / 1e6 / p1.elapsed;
    const double rndReadIops = p3.operations / p3.elapsed;
    const double rndWriteIops = p4.operations / p4.elapsed;
    reporter.Metric("disk.seq_read_mbs", seqRead);
    reporter.Metric("disk.seq_write_mbs", seqWrite);
    reporter.Metric("disk.rnd_read_iops", rndReadIops);
    reporter.Metric("disk.rnd_write_iops", rndWriteIops);
    reporter.Metric("disk.rnd_read_mbs", p3.bytes / 1e6 / p3.elapsed);
    reporter.Metric("disk.rnd_write_mbs", p4.bytes / 1e6 / p4.elapsed);
    reporter.Metric("disk.score", DiskScore(seqWrite, seqRead, rndReadIops, rndWriteIops));
    reporter.Progress(1.0, L"Tamamlandı");
    reporter.Done();
    return 0;
}

}  // namespace kalorix::bench
