// The disk benchmark against a scripted device: spans, limits, hangs and failures, preparation, the file's place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// Requests complete in order, `perWait` per wait moving the clock by `waitNs`; a write past `validEnd` extends the file.
class FakeDevice : public DiskDevice {
public:
    FakeDevice(testing::FakeClock& clock, const std::vector<std::string>* lines) : lines(lines), clock_(clock) {}
    struct Request { uint32_t slot; bool write; uint64_t offset; uint32_t size; };
    std::vector<Request> submitted;
    std::vector<uint64_t> stamps;
    std::deque<Request> queue;
    size_t perWait = 64;
    uint64_t waitNs = 1000000, validEnd = 0;
    int hangAfterWaits = -1;  // from this wait on, nothing completes (timeout)
    int failSubmitAt = -1, shortAt = -1, errorAt = -1, waits = 0, completed = 0;
    bool cancelled = false, cancelWaitFails = false;  // the waits after cancellation fail too
    const std::vector<std::string>* lines;  // the reporter's lines so far
    std::vector<size_t> extendedAfterLine;           // per extending write: lines written before it

    void stamp(uint32_t, uint32_t, uint64_t value) override { stamps.push_back(value); }
    bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t size, uint32_t& error) override {
        if (static_cast<int>(submitted.size()) == failSubmitAt) return error = 112, false;
        submitted.push_back({slot, write, offset, size});
        if (write && offset + size > validEnd) validEnd = offset + size, extendedAfterLine.push_back(lines->size());
        queue.push_back(submitted.back());
        return true;
    }
    bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) override {
        const int n = waits++;
        if (cancelled && cancelWaitFails) return error = 258, false;
        if (!cancelled && hangAfterWaits >= 0 && n >= hangAfterWaits) {
            clock_.advanceNs(uint64_t(timeoutMs) * 1000000);
            return error = 258, false;
        }
        if (!cancelled) clock_.advanceNs(waitNs);
        while (!queue.empty() && (cancelled || out.size() < std::min<size_t>(perWait, 64))) {
            const Request r = queue.front();
            queue.pop_front();
            const int index = completed++;
            if (cancelled) out.push_back({r.slot, false, 0});
            else out.push_back({r.slot, index != errorAt, index == shortAt ? r.size / 2 : r.size});
        }
        return true;
    }
    void cancelAll() override { cancelled = true; }
    [[noreturn]] void abandon(int code) override { throw Abandoned(code); }
    testing::FakeClock& clock_;
};

struct Rig {
    testing::FakeClock clock;
    testing::LineLog log;
    FakeDevice dev{clock, &log.lines};
    uint64_t rng = 12345;
    DiskPhaseResult phase(int n, uint64_t span = 256 * MiB) { return RunDiskPhase(DiskPhaseSpec(n, span), dev, clock, rng, log.reporter); }
    int run(bool validDataSet) { return RunDiskPhases(log.reporter, dev, clock, rng, validDataSet); }
};

TEST(BenchDiskPhase, SequentialWriteStopsAtTheByteLimitWithDistinctStamps) {
    Rig r;
    const DiskPhaseResult w = r.phase(1);
    EXPECT_TRUE(w.ok && w.bytes == 512 * MiB);  // nothing beyond the limit is issued
    EXPECT_EQ(w.highestWrittenEnd, 256 * MiB);
    for (size_t i = 0; i < r.dev.submitted.size(); ++i) EXPECT_EQ(r.dev.submitted[i].offset, (i % 256) * MiB);
    EXPECT_EQ(std::set<uint64_t>(r.dev.stamps.begin(), r.dev.stamps.end()).size(), r.dev.stamps.size());
}

TEST(BenchDiskPhase, RandomReadsStayInsideTheSpanAndStopAfterTheTime) {
    Rig r;
    r.dev.waitNs = 100000000;  // 0.1 s per wait
    const DiskPhaseResult rd = r.phase(3, 64 * MiB);
    std::set<uint64_t> offsets;
    for (const auto& q : r.dev.submitted) {
        EXPECT_TRUE(q.offset % 4096 == 0 && q.offset < 64 * MiB && q.size == 4096) << q.offset;
        offsets.insert(q.offset);
    }
    EXPECT_GT(offsets.size(), r.dev.submitted.size() / 2);
    // 25 waits reach 2.5 s; the rest of the queue is collected without new requests.
    EXPECT_TRUE(rd.ok && std::abs(rd.elapsed - 2.5) < 1e-6 && rd.operations == r.dev.submitted.size()) << rd.elapsed;
    EXPECT_LE(r.log.lines.size(), 15u);  // progress at most every 0.2 s
}

TEST(BenchDiskPhase, HangingFailingAndShortDevices) {
    Rig hang;
    hang.dev.hangAfterWaits = 0;
    EXPECT_EQ(hang.phase(2).error, 258u);
    EXPECT_TRUE(hang.dev.cancelled && hang.dev.queue.empty());
    // If even the cancelled requests never come back, the child ends itself with 11.
    Rig stuck;
    stuck.dev.hangAfterWaits = 0, stuck.dev.cancelWaitFails = true;
    int code = 0;
    try { stuck.phase(2); } catch (const Abandoned& a) { code = a.code; }
    EXPECT_EQ(code, 11);
    const struct { int FakeDevice::*field; int at, phase; uint32_t error; } cases[] = {
        {&FakeDevice::errorAt, 3, 4, 1117}, {&FakeDevice::shortAt, 0, 2, 38}, {&FakeDevice::failSubmitAt, 0, 1, 112}};
    for (const auto& c : cases) {
        Rig r;
        r.dev.*c.field = c.at;
        const DiskPhaseResult res = r.phase(c.phase);  // outstanding requests are still collected
        EXPECT_TRUE(!res.ok && res.error == c.error && r.dev.queue.empty()) << res.error;
    }
}

TEST(BenchDiskRun, WithoutValidDataTheFileIsWrittenBeforeAnyTimedWrite) {
    Rig r;
    r.dev.waitNs = 10000000;
    EXPECT_TRUE(r.run(false) == 0 && r.dev.validEnd == 256 * MiB);
    const auto& lines = r.log.lines;
    const size_t firstTimed = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("Sıralı yazma") != std::string::npos; }) - lines.begin();
    ASSERT_FALSE(r.dev.extendedAfterLine.empty());
    EXPECT_LE(r.dev.extendedAfterLine.back(), firstTimed);
    for (size_t i = 0; i < firstTimed; ++i)  // the preparation reports in its own band
        EXPECT_TRUE(lines[i].find("Test dosyası hazırlanıyor") != std::string::npos && std::stod(lines[i].substr(2)) <= 0.05) << lines[i];
    Rig set;  // with valid data set, nothing extends the file
    set.dev.validEnd = 256 * MiB;
    EXPECT_TRUE(set.run(true) == 0 && set.dev.extendedAfterLine.empty());
}

TEST(BenchDiskRun, SlowDiskAndFailingPhaseNameTheirFault) {
    Rig slow;
    slow.dev.perWait = 1, slow.dev.waitNs = 2000000000;  // 15 MiB written when the preparation's 15 s pass
    EXPECT_EQ(slow.run(false), 7);
    EXPECT_EQ(slow.log.lines.back(), "E Disk çok yavaş yanıt veriyor; test tamamlanamadı.\n");
    Rig failing;
    failing.dev.hangAfterWaits = 64;  // phase 1 takes 64 waits of 8 completions; phase 2 hangs
    EXPECT_EQ(failing.run(true), 8);
    EXPECT_EQ(failing.log.lines.back(), "E Sıralı okuma başarısız oldu.\n");
}

TEST(BenchDiskPrep, DirectoryFileNameSpaceAndVerifiedSpan) {
    EXPECT_TRUE(VerifiedSpan(false, 100 * MiB + 5) == 100 * MiB && VerifiedSpan(false, 16 * MiB) == 16 * MiB);
    EXPECT_FALSE(VerifiedSpan(false, 16 * MiB - 1));
    EXPECT_EQ(DiskTestDirectory(L'C', L"C:\\windows", L"c:\\users\\a\\Temp\\"), L"c:\\users\\a\\Temp\\");
    EXPECT_EQ(DiskTestDirectory(L'D', L"C:\\windows", L"D:\\Temp\\"), L"D:\\");  // Windows elsewhere
    EXPECT_EQ(DiskTestFileName(L"D:\\", 4242, 123456789), L"D:\\Kalorix-test-4242-123456789.tmp");
    EXPECT_TRUE(EnoughDiskSpace(1342177280ull) && !EnoughDiskSpace(1342177279ull));

}

}  // namespace
}  // namespace kalorix::bench
