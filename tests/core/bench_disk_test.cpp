#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <stdexcept>

#include "bench/disk_bench.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

constexpr uint64_t MiB = 1024ull * 1024;

struct Abandoned : std::runtime_error {
    int code;
    explicit Abandoned(int c) : std::runtime_error("abandoned"), code(c) {}
};

// A device whose requests complete in order, each wait returning up to
// `perWait` completions and advancing the clock by `waitNs`. Like NTFS it
// keeps the file's valid data length: a write beyond it extends it (and a
// real volume would complete that write on its own, one at a time).
class FakeDevice : public DiskDevice {
public:
    explicit FakeDevice(testing::FakeClock& clock) : clock_(clock) {}

    struct Request {
        uint32_t slot;
        bool write;
        uint64_t offset;
        uint32_t size;
    };
    std::vector<Request> submitted;
    std::vector<uint64_t> stamps;
    std::deque<Request> queue;
    size_t perWait = 64;
    uint64_t waitNs = 1000000;
    int hangAfterWaits = -1;      // from this wait on, nothing completes (timeout)
    bool cancelWaitFails = false;  // the waits after cancellation fail too
    int failSubmitAt = -1;
    int shortAt = -1, errorAt = -1;  // index of the completion that goes wrong
    int waits = 0;
    bool cancelled = false;
    uint64_t validEnd = 0;
    const std::vector<std::string>* lines = nullptr;  // the reporter's lines so far
    std::vector<size_t> extendedAfterLine;           // per extending write: lines written before it

    void stamp(uint32_t, uint32_t, uint64_t value) override { stamps.push_back(value); }
    bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t size, uint32_t& error) override {
        if (static_cast<int>(submitted.size()) == failSubmitAt) {
            error = 112;
            return false;
        }
        submitted.push_back({slot, write, offset, size});
        if (write && offset + size > validEnd) {
            validEnd = offset + size;
            extendedAfterLine.push_back(lines ? lines->size() : 0);
        }
        queue.push_back(submitted.back());
        return true;
    }
    bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) override {
        const int n = waits++;
        if (cancelled) {
            if (cancelWaitFails) {
                error = 258;
                return false;
            }
            while (!queue.empty()) {
                out.push_back({queue.front().slot, false, 0});
                queue.pop_front();
            }
            return true;
        }
        if (hangAfterWaits >= 0 && n >= hangAfterWaits) {
            clock_.advanceNs(uint64_t(timeoutMs) * 1000000);
            error = 258;
            return false;
        }
        clock_.advanceNs(waitNs);
        while (!queue.empty() && out.size() < std::min<size_t>(perWait, 64)) {
            const Request r = queue.front();
            queue.pop_front();
            const int index = completed++;
            Completion c{r.slot, index != errorAt, index == shortAt ? r.size / 2 : r.size};
            out.push_back(c);
        }
        return true;
    }
    void cancelAll() override { cancelled = true; }
    [[noreturn]] void abandon(int code) override { throw Abandoned(code); }

private:
    testing::FakeClock& clock_;
    int completed = 0;
};

TEST(BenchDiskPhase, SequentialWriteStopsAtTheByteLimit) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    uint64_t rng = 12345;
    const DiskPhaseResult r = RunDiskPhase(DiskPhaseSpec(1, 256 * MiB), dev, clock, rng, log.reporter);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, 512 * MiB);  // each issued block completes; nothing beyond the limit is issued
    EXPECT_EQ(r.highestWrittenEnd, 256 * MiB);
    // Sequential offsets wrap at the 256 MiB span; slots 0..7 start the queue.
    for (size_t i = 0; i < dev.submitted.size(); ++i) EXPECT_EQ(dev.submitted[i].offset, (i % 256) * MiB);
    // Every written block carries a different stamp.
    EXPECT_EQ(std::set<uint64_t>(dev.stamps.begin(), dev.stamps.end()).size(), dev.stamps.size());
}

TEST(BenchDiskPhase, RandomReadsStayInsideTheSpanAndStopAfterTheTime) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.waitNs = 100000000;  // 0.1 s per wait
    uint64_t rng = 777;
    const DiskPhase ph = DiskPhaseSpec(3, 64 * MiB);
    const DiskPhaseResult r = RunDiskPhase(ph, dev, clock, rng, log.reporter);
    EXPECT_TRUE(r.ok);
    std::set<uint64_t> offsets;
    for (const auto& q : dev.submitted) {
        EXPECT_TRUE(q.offset % 4096 == 0 && q.offset < 64 * MiB && q.size == 4096) << q.offset;
        offsets.insert(q.offset);
    }
    EXPECT_GT(offsets.size(), dev.submitted.size() / 2);
    // 25 waits of 0.1 s reach 2.5 s; the rest of the queue is collected without new requests.
    EXPECT_NEAR(r.elapsed, 2.5, 1e-6);
    EXPECT_EQ(r.operations, dev.submitted.size());
    EXPECT_LE(log.lines.size(), 15u);  // progress at most every 0.2 s
}

TEST(BenchDiskPhase, DeviceThatNeverAnswersIsCancelled) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.hangAfterWaits = 0;
    uint64_t rng = 1;
    const DiskPhaseResult r = RunDiskPhase(DiskPhaseSpec(2, 256 * MiB), dev, clock, rng, log.reporter);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 258u);
    EXPECT_TRUE(dev.cancelled && dev.queue.empty());

    // If even the cancelled requests never come back, the child ends itself with 11.
    FakeDevice stuck(clock);
    stuck.hangAfterWaits = 0;
    stuck.cancelWaitFails = true;
    try {
        RunDiskPhase(DiskPhaseSpec(2, 256 * MiB), stuck, clock, rng, log.reporter);
        FAIL() << "expected abandon";
    } catch (const Abandoned& a) {
        EXPECT_EQ(a.code, 11);
    }
}

TEST(BenchDiskPhase, FailedAndShortTransfers) {
    testing::FakeClock clock;
    testing::LineLog log;
    uint64_t rng = 1;
    FakeDevice failing(clock);
    failing.errorAt = 3;
    DiskPhaseResult r = RunDiskPhase(DiskPhaseSpec(4, 256 * MiB), failing, clock, rng, log.reporter);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 1117u);
    EXPECT_TRUE(failing.queue.empty());  // outstanding requests were still collected

    FakeDevice shortRead(clock);
    shortRead.shortAt = 0;
    r = RunDiskPhase(DiskPhaseSpec(2, 256 * MiB), shortRead, clock, rng, log.reporter);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 38u);

    FakeDevice refusing(clock);
    refusing.failSubmitAt = 0;
    r = RunDiskPhase(DiskPhaseSpec(1, 256 * MiB), refusing, clock, rng, log.reporter);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 112u);
}

TEST(BenchDiskRun, VerifiedSpan) {
    EXPECT_EQ(VerifiedSpan(true, 0), 256 * MiB);
    EXPECT_EQ(VerifiedSpan(false, 100 * MiB + 5), 100 * MiB);
    EXPECT_EQ(VerifiedSpan(false, 16 * MiB), 16 * MiB);
    EXPECT_FALSE(VerifiedSpan(false, 16 * MiB - 1));
}

TEST(BenchDiskRun, WholeRunMetricsInOrder) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.waitNs = 10000000;
    uint64_t rng = 99;
    EXPECT_EQ(RunDiskPhases(log.reporter, dev, clock, rng, true), 0);
    EXPECT_EQ(log.withPrefix('M').size(), 7u);
    EXPECT_EQ(log.lines.back(), "D\n");
    EXPECT_EQ(clock.slept, (std::vector<uint32_t>{1000, 1000, 1000}));
}

TEST(BenchDiskRun, WithoutValidDataTheFileIsWrittenBeforeAnyTimedWrite) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.lines = &log.lines;
    dev.waitNs = 10000000;
    uint64_t rng = 3;
    EXPECT_EQ(RunDiskPhases(log.reporter, dev, clock, rng, false), 0);
    EXPECT_EQ(dev.validEnd, 256 * MiB);
    ASSERT_FALSE(dev.extendedAfterLine.empty());
    // Every extending write comes before the first line of the timed sequential write.
    size_t firstTimed = 0;
    while (firstTimed < log.lines.size() && log.lines[firstTimed].find("Sıralı yazma") == std::string::npos)
        ++firstTimed;
    ASSERT_LT(firstTimed, log.lines.size());
    for (size_t at : dev.extendedAfterLine) EXPECT_LE(at, firstTimed);
    // The preparation reports in the band before the timed phases, under its own text.
    for (size_t i = 0; i < firstTimed; ++i) {
        EXPECT_NE(log.lines[i].find("Test dosyası hazırlanıyor"), std::string::npos) << log.lines[i];
        EXPECT_LE(std::stod(log.lines[i].substr(2)), 0.05);
    }
    // With valid data set, nothing extends the file at all.
    FakeDevice set(clock);
    set.validEnd = 256 * MiB;
    EXPECT_EQ(RunDiskPhases(log.reporter, set, clock, rng, true), 0);
    EXPECT_TRUE(set.extendedAfterLine.empty());
    EXPECT_EQ(set.submitted.front().offset, 0u);
}

TEST(BenchDiskRun, SlowDiskWithoutValidData) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.perWait = 1;
    dev.waitNs = 2000000000;  // 2 s per completion: 15 MiB written when the preparation's 15 s pass
    uint64_t rng = 5;
    EXPECT_EQ(RunDiskPhases(log.reporter, dev, clock, rng, false), 7);
    EXPECT_EQ(log.lines.back(), "E Disk çok yavaş yanıt veriyor; test tamamlanamadı.\n");
    EXPECT_TRUE(log.withPrefix('M').empty());
}

TEST(BenchDiskRun, FailingPhaseNamesItself) {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev(clock);
    dev.hangAfterWaits = 64;  // phase 1 takes 64 waits of 8 completions; phase 2 hangs
    uint64_t rng = 5;
    EXPECT_EQ(RunDiskPhases(log.reporter, dev, clock, rng, true), 8);
    EXPECT_EQ(log.lines.back(), "E Sıralı okuma başarısız oldu.\n");
}

TEST(BenchDiskPrep, DirectoryFileNameAndSpace) {
    EXPECT_EQ(DiskTestDirectory(L'C', L"C:\\windows", L"c:\\users\\a\\Temp\\"), L"c:\\users\\a\\Temp\\");
    EXPECT_EQ(DiskTestDirectory(L'C', L"C:\\windows", L"C:\\Temp"), L"C:\\Temp\\");
    EXPECT_EQ(DiskTestDirectory(L'D', L"C:\\windows", L"D:\\Temp\\"), L"D:\\");  // Windows elsewhere
    EXPECT_EQ(DiskTestDirectory(L'C', L"", L""), L"C:\\");
    EXPECT_EQ(DiskTestFileName(L"D:\\", 4242, 123456789), L"D:\\Kalorix-test-4242-123456789.tmp");
    EXPECT_TRUE(EnoughDiskSpace(1342177280ull));
    EXPECT_FALSE(EnoughDiskSpace(1342177279ull));
}

}  // namespace
}  // namespace kalorix::bench
