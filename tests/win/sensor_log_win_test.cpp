// What the Windows layer adds to the sensor log: files under a Turkish folder name,
// readable while written and continued after a restart; a file that cannot be
// opened as a write failure; the local time with the time zone's offset.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/scoped_win.h"
#include "store/file_util.h"
#include "store/sensor_log_files_win.h"
#include "test_util_win.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

class SensorLogWin : public ::testing::Test {
protected:
    bool WaitRows(const SensorLogWriter& w, uint64_t n) {
        test::WaitUntil([&] { return w.status().rows >= n || !w.status().running; }, 5000);
        return w.status().rows >= n;
    }
    test::TempFolder root_{L"kalorix-sensorlog"};
    fs::path folder_ = root_.path() / L"Kay\u0131tlar";
};

SensorLogRow Row(int second, double value) {
    static const SensorLogColumns columns = std::make_shared<const std::vector<SensorLogColumn>>(
        std::vector<SensorLogColumn>{{L"gpu/x/temp", L"NVIDIA GeForce RTX 4060", L"S\u0131cakl\u0131k", SensorKind::Temperature}});
    return SensorLogRow{LocalStamp{{2026, 5, 1}, 10, 0, second, 180}, columns, {value}};
}

}  // namespace

TEST_F(SensorLogWin, AppendsReadableRowsAndContinuesTheDayAfterARestart) {
    auto files = MakeWindowsSensorLogFiles(folder_);
    const fs::path file = folder_ / L"Kalorix-sensorler-2026-05-01.csv";
    {
        SensorLogWriter w(*files);
        w.start({SensorLogFormat::Turkish, 7}, {2026, 5, 1});
        ASSERT_TRUE(w.offer(Row(0, 71.2)));
        ASSERT_TRUE(WaitRows(w, 1));
        // Another program may read today's file while it is being written.
        UniqueHandle reader(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(reader.valid()) << GetLastError();
        ASSERT_TRUE(w.offer(Row(5, 72.0)));
        ASSERT_TRUE(WaitRows(w, 2));
        w.stop();
    }
    SensorLogWriter again(*files);
    again.start({SensorLogFormat::Turkish, 7}, {2026, 5, 1});
    ASSERT_TRUE(again.offer(Row(10, 73.5)) && WaitRows(again, 1));
    again.stop();
    EXPECT_EQ(files->list().size(), 1u);
    EXPECT_EQ(ReadFileBytes(file),
              "\xEF\xBB\xBFZaman;NVIDIA GeForce RTX 4060 \u00B7 S\u0131cakl\u0131k [\u00B0C]\r\n"
              "2026-05-01T10:00:00+03:00;71,2\r\n2026-05-01T10:00:05+03:00;72,0\r\n"
              "2026-05-01T10:00:10+03:00;73,5\r\n");
    EXPECT_EQ(again.status().folderBytes, fs::file_size(file));
}

TEST_F(SensorLogWin, AFileThatCannotBeOpenedIsAWriteFailure) {
    // A folder where today's file would be: CreateFileW refuses it.
    ASSERT_TRUE(fs::create_directories(folder_ / L"Kalorix-sensorler-2026-05-01.csv"));
    auto files = MakeWindowsSensorLogFiles(folder_);
    SensorLogWriter w(*files);
    w.start({SensorLogFormat::Standard, 7}, {2026, 5, 1});
    w.offer(Row(0, 1.0));
    test::WaitUntil([&] { return !w.status().running; }, 5000);
    EXPECT_TRUE(w.status().note == kSensorLogWriteFailedNote && !w.accepting());
    w.stop();
}

TEST_F(SensorLogWin, LocalTimeWithTheZonesOffset) {
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const LocalStamp now = MakeWindowsSensorLogClock()->now();
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    const LONG bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    EXPECT_EQ(now.offsetMinutes, -bias);
    EXPECT_EQ(now.date.year, before.wYear);
    if (now.date.day == before.wDay)  // not across midnight
        EXPECT_GE(now.hour * 3600 + now.minute * 60 + now.second, before.wHour * 3600 + before.wMinute * 60 + before.wSecond);
}
