#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>

#include "app/autostart.h"
#include "app/autostart_win.h"
#include "app/elevation_win.h"
#include "store/file_util.h"

using namespace kalorix;

namespace {

std::optional<std::wstring> ReadRunValue() {
    wchar_t buf[2048] = {};
    DWORD size = sizeof(buf);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buf);
}

// Runs the autostart code against the fake schtasks.exe (found through the current
// directory) and puts the prefix's Run value back afterwards.
class AutostartFixture : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t cwd[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, cwd);
        oldCwd_ = cwd;
        const std::filesystem::path exe(OwnProgramPath());
        fakebin_ = exe.parent_path() / "fakebin";
        ASSERT_TRUE(std::filesystem::exists(fakebin_ / "schtasks.exe"));
        SetCurrentDirectoryW(fakebin_.c_str());
        wchar_t tmp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, tmp);
        state_ = std::filesystem::path(tmp) / "kalorix-fake-schtasks";
        std::error_code ec;
        std::filesystem::remove_all(state_, ec);
        savedRun_ = ReadRunValue();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName);
        SetEnvironmentVariableW(L"FAKE_SCHTASKS_CREATE_EXIT", nullptr);
    }
    void TearDown() override {
        SetCurrentDirectoryW(oldCwd_.c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName);
        if (savedRun_)
            RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, savedRun_->c_str(),
                            static_cast<DWORD>((savedRun_->size() + 1) * sizeof(wchar_t)));
        std::error_code ec;
        std::filesystem::remove_all(state_, ec);
        SetEnvironmentVariableW(L"FAKE_SCHTASKS_CREATE_EXIT", nullptr);
    }
    bool TaskExists() const { return std::filesystem::exists(state_ / "task.xml"); }
    std::optional<std::string> TaskBytes() const { return ReadFileBytes(state_ / "task.xml"); }

    std::wstring oldCwd_;
    std::filesystem::path fakebin_, state_;
    std::optional<std::wstring> savedRun_;
};

}  // namespace

TEST_F(AutostartFixture, RunValueReplacesAnExistingTask) {
    ASSERT_TRUE(SetAutostart(true, true));
    ASSERT_TRUE(TaskExists());
    EXPECT_TRUE(IsAutostartEnabled());
    ASSERT_TRUE(SetAutostart(true, false));
    EXPECT_FALSE(TaskExists());
    EXPECT_EQ(ReadRunValue(), RunValueData(OwnProgramPath()));
    EXPECT_TRUE(IsAutostartEnabled());
}

TEST_F(AutostartFixture, TaskReplacesARunValueAndIsWrittenByteForByte) {
    ASSERT_TRUE(SetAutostart(true, false));
    ASSERT_TRUE(ReadRunValue().has_value());
    ASSERT_TRUE(SetAutostart(true, true));
    EXPECT_FALSE(ReadRunValue().has_value());
    const auto bytes = TaskBytes();
    ASSERT_TRUE(bytes.has_value());
    const std::wstring sid = CurrentUserSid();
    EXPECT_FALSE(sid.empty());
    EXPECT_EQ(*bytes, TaskFileBytes(BuildTaskXml(sid, OwnProgramPath())));
    // The temporary definition file is gone after the create command.
    wchar_t tmp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, tmp);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(tmp) / kTaskFileName));
    EXPECT_TRUE(IsAutostartEnabled());
}

TEST_F(AutostartFixture, DisableRemovesBothAndSucceedsWhenNothingExisted) {
    EXPECT_TRUE(SetAutostart(false, false));
    EXPECT_FALSE(IsAutostartEnabled());
    ASSERT_TRUE(SetAutostart(true, true));
    RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, L"x", 4);
    EXPECT_TRUE(SetAutostart(false, true));
    EXPECT_FALSE(TaskExists());
    EXPECT_FALSE(ReadRunValue().has_value());
    EXPECT_FALSE(IsAutostartEnabled());
}

TEST_F(AutostartFixture, RefusedTaskReportsFailure) {
    SetEnvironmentVariableW(L"FAKE_SCHTASKS_CREATE_EXIT", L"1");
    EXPECT_FALSE(SetAutostart(true, true));
    EXPECT_FALSE(IsAutostartEnabled());
}

TEST(RunHidden, ExitCodesAndMissingProgram) {
    EXPECT_EQ(RunHidden(L"cmd.exe /c exit 7"), 7);
    EXPECT_EQ(RunHidden(L"cmd.exe /c exit 0"), 0);
    EXPECT_EQ(RunHidden(L"kalorix-no-such-program-here.exe"), -1);
}
