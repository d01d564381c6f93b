// Autostart on Windows: the Run value, the task through a stand-in schtasks.exe,
// the Startup apps switch and hidden child processes.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>

#include "app/autostart.h"
#include "app/autostart_win.h"
#include "app/elevation_win.h"
#include "store/file_util.h"
#include "test_util_win.h"

using namespace kalorix;

namespace {

std::optional<std::wstring> ReadRunValue() {
    wchar_t buf[2048] = {};
    DWORD size = sizeof(buf);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buf);
}

void SetStartupApproved(BYTE first) {
    const BYTE record[12] = {first};
    RegSetKeyValueW(HKEY_CURRENT_USER, kStartupApprovedKey, kRunValueName, REG_BINARY, record, sizeof(record));
}

// Runs the autostart code against the fake schtasks.exe (by its full path) with a
// private folder for the task definition, and puts the prefix's Run value back.
class AutostartFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform_.schtasks = (std::filesystem::path(OwnProgramPath()).parent_path() / "fakebin" / "schtasks.exe").wstring();
        ASSERT_TRUE(std::filesystem::exists(platform_.schtasks));
        state_ = std::filesystem::temp_directory_path() / "kalorix-fake-schtasks";  // where the stand-in keeps the task
        std::filesystem::remove_all(state_, ec_);
        platform_.taskFolder = folder_.path().wstring() + L"\\";
        savedRun_ = ReadRunValue();
        ClearValues();
    }
    void TearDown() override {
        ClearValues();
        if (savedRun_)
            RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, savedRun_->c_str(),
                            static_cast<DWORD>((savedRun_->size() + 1) * sizeof(wchar_t)));
        std::filesystem::remove_all(state_, ec_);
    }
    static void ClearValues() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kStartupApprovedKey, kRunValueName);
    }
    bool TaskExists() const { return std::filesystem::exists(state_ / "task.xml"); }
    bool Set(bool enable, bool useTask) { return SetAutostart(enable, useTask, platform_); }
    bool Enabled() { return IsAutostartEnabled(platform_); }

    AutostartPlatform platform_;
    std::filesystem::path state_;
    test::TempFolder folder_{L"kalorix-autostart"};
    std::optional<std::wstring> savedRun_;
    std::error_code ec_;
};

}  // namespace

// Each way replaces the other; the task goes to schtasks byte for byte.
TEST_F(AutostartFixture, RunValueAndTaskReplaceEachOther) {
    ASSERT_TRUE(Set(true, false));
    EXPECT_EQ(ReadRunValue(), RunValueData(OwnProgramPath()));
    ASSERT_TRUE(Set(true, true));
    EXPECT_FALSE(ReadRunValue().has_value());
    const auto bytes = ReadFileBytes(state_ / "task.xml");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, TaskFileBytes(BuildTaskXml(CurrentUserSid(), OwnProgramPath())));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / kTaskFileName));  // the definition file is gone
    EXPECT_TRUE(Enabled());
    ASSERT_TRUE(Set(true, false));
    EXPECT_TRUE(!TaskExists() && Enabled());
}

// "Off" removes both ways, succeeds when nothing existed, and says so when a
// task registered with highest rights refuses to be deleted by a normal process.
TEST_F(AutostartFixture, DisableRemovesBothOrReportsARefusedDelete) {
    EXPECT_TRUE(Set(false, false));
    ASSERT_TRUE(Set(true, true));
    RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, L"x", 4);
    EXPECT_TRUE(Set(false, true));
    EXPECT_FALSE(TaskExists() || ReadRunValue().has_value() || Enabled());
    ASSERT_TRUE(Set(true, true));
    test::ScopedEnv refuse(L"FAKE_SCHTASKS_DELETE_EXIT", L"1");
    EXPECT_FALSE(Set(false, false));
    EXPECT_TRUE(TaskExists() && Enabled());
}

TEST_F(AutostartFixture, StartupAppsSwitchIsHonouredAndClearedByTurningOn) {
    ASSERT_TRUE(Set(true, false));
    SetStartupApproved(0x03);  // switched off on the Startup apps page
    EXPECT_FALSE(Enabled());
    SetStartupApproved(0x02);
    EXPECT_TRUE(Enabled());
    SetStartupApproved(0x03);
    ASSERT_TRUE(Set(true, false));  // turning on clears the switch
    EXPECT_TRUE(Enabled());
}

TEST(RunHidden, ExitCodesAndMissingProgram) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    EXPECT_EQ(RunHidden(cmd, L"cmd.exe /c exit 7"), 7);
    // A program name is never looked up on the search path.
    EXPECT_EQ(RunHidden(L"cmd.exe", L"cmd.exe /c exit 0"), -1);
    EXPECT_EQ(RunHidden(std::wstring(system) + L"\\kalorix-no-such-program.exe", L"x"), -1);
}
