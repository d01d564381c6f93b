// Settings on Windows: the roaming folder and the one-time take-over of the
// registry's sharing choice. Parsing and durable saving are checked natively.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/scoped_win.h"
#include "store/file_util.h"
#include "store/paths.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "test_util_win.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kKey = L"Software\\Kalorix";

std::optional<DWORD> ReadShareDataValue() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, L"ShareData", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void WriteShareDataValue(DWORD value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"ShareData", REG_DWORD, &value, sizeof value), ERROR_SUCCESS);
}

bool KeyExists() {
    UniqueRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Works on the prefix's settings file and registry key and puts both back.
class SettingsWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        keyExisted_ = KeyExists();
        oldValue_ = ReadShareDataValue();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"ShareData");
    }
    void TearDown() override {
        fs::remove_all(tmpPath(), ec_);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"ShareData");
        if (oldValue_) WriteShareDataValue(*oldValue_);
        if (!keyExisted_) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    fs::path tmpPath() const { return fs::path(path_) += ".tmp"; }
    void WriteFile(const Settings& s) { ASSERT_TRUE(AtomicWriteFile(path_, SerializeSettings(s))); }

    fs::path path_ = SettingsPath(false);
    test::SavedFiles file_{{path_}, false};
    bool keyExisted_ = false;
    std::error_code ec_;
    std::optional<DWORD> oldValue_;
};

}  // namespace

TEST_F(SettingsWinTest, FileLivesInTheRoamingFolderAndTakesTheRegistryValueOnce) {
    CoTaskMemPtr<wchar_t> roaming;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, roaming.put()), S_OK);
    const fs::path expected = fs::path(roaming.get()) / L"Kalorix" / L"settings.json";
    EXPECT_EQ(path_, expected);
    EXPECT_EQ(HistoryPath(false), expected.parent_path() / L"history.txt");

    // The registry's sharing choice is taken over once.
    WriteFile(Settings{});  // ShareData true
    WriteShareDataValue(0);
    const Settings loaded = LoadSettings();
    EXPECT_FALSE(loaded.ShareData);
    EXPECT_EQ(ReadShareDataValue(), std::nullopt);
    EXPECT_EQ(ReadFileBytes(path_), SerializeSettings(loaded));  // the file is now the only place it lives

    // A non-zero number means consent, also when there is no file yet.
    fs::remove(path_);
    WriteShareDataValue(7);
    EXPECT_TRUE(LoadSettings().ShareData);
    EXPECT_EQ(ReadShareDataValue(), std::nullopt);
    EXPECT_EQ(ReadFileBytes(path_), SerializeSettings(Settings{}));
}

// A registry choice that could not be stored stays in the registry for the next start.
TEST_F(SettingsWinTest, RegistryValueStaysWhenTheFileCannotBeSaved) {
    WriteFile(Settings{});
    const auto before = ReadFileBytes(path_);
    fs::create_directory(tmpPath());  // the temporary file cannot be created
    WriteShareDataValue(0);
    EXPECT_FALSE(LoadSettings().ShareData);
    EXPECT_EQ(ReadFileBytes(path_), before);
    EXPECT_EQ(ReadShareDataValue(), 0u);
}
