// The settings file: reading damaged or older files, clamping, the layout, and consent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/file_util.h"
#include "store/settings.h"

using namespace kalorix;

namespace {

std::string OneKey(const std::string& key, const std::string& value) {
    return "{\n  \"" + key + "\": " + value + "\n}\n";
}

}  // namespace

TEST(SettingsScanner, FindsRawValueText) {
    // Present but empty; running to the end of the text; the quotes delimit the key.
    const std::pair<const char*, const char*> found[] = {{"{\"A\":\r\n\t  7   \r\n}", "7"}, {R"({"A": "x y"  })", "\"x y\""},
        {R"({"A": ,})", ""}, {R"("A": 5)", "5"}, {R"({"AB": 1, "A": 2})", "2"}};
    for (auto [text, want] : found) EXPECT_EQ(FindJsonValue(text, "A"), want) << text;
    // Case-sensitive; no colon after the key; only blanks after the colon.
    for (const char* text : {R"({"a": 1})", R"({"A" 1})", "{\"A\": \r\n  "})
        EXPECT_EQ(FindJsonValue(text, "A"), std::nullopt) << text;
}

TEST(SettingsParse, NumbersAreClampedOrKeepTheirDefault) {
    // Trailing garbage is ignored; beyond a 32-bit long the default stays (not clamped from a wrapped number).
    const std::pair<const char*, int32_t> interval[] = {{"100", 500}, {"99999", 5000}, {"2000ms", 2000}, {"+750", 750},
        {"-", 1000}, {"\"2000\"", 1000}, {"99999999999999999999999", 1000}};
    for (auto [text, want] : interval) EXPECT_EQ(ParseSettings(OneKey("UpdateIntervalMs", text)).UpdateIntervalMs, want) << text;
    const std::pair<const char*, int32_t> warning[] = {
        {"2147483647", 105}, {"-2147483648", 50}, {"2147483648", 85}, {"-2147483649", 85}};
    for (auto [text, want] : warning) EXPECT_EQ(ParseSettings(OneKey("WarningTemp", text)).WarningTemp, want) << text;
    EXPECT_EQ(ParseSettings(OneKey("UpdateIntervalMs", "abc")), Settings{});
}

// Only lower-case true is true, in any order, on one line or with CRLF.
TEST(SettingsParse, BooleansAnyOrderOneLineAndCrlf) {
    EXPECT_TRUE(ParseSettings(OneKey("UseFahrenheit", "true")).UseFahrenheit);
    for (const char* v : {"TRUE", "True", "1", "\"true\"", "false", "yes", "truex"})
        EXPECT_FALSE(ParseSettings(OneKey("UseFahrenheit", v)).UseFahrenheit) << v;
    // A present but unreadable value of a key whose default is true gives false.
    EXPECT_TRUE(!ParseSettings(OneKey("MinimizeToTray", "TRUE")).MinimizeToTray && ParseSettings("").MinimizeToTray);

    const std::string oneLine =
        R"({"FirstTestOffered": true,"ShareData": false,"WarningTemp": 70,"UpdateIntervalMs": 2000,)"
        R"("UseFahrenheit": true,"HistorySeconds": 600,"AlwaysOnTop": true,"MinimizeToTray": false,)"
        R"("ShowTempInTray": false,"TrayNotifications": false,"SmoothCpuTemp": false,"AdvancedSensors": true})";
    const Settings expected{2000, true, 70, 600, true, false, false, false, false, true, false, true};
    EXPECT_EQ(ParseSettings(oneLine), expected);
    std::string crlf = SerializeSettings(expected);
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.insert(at, 1, '\r');
    EXPECT_EQ(ParseSettings(crlf), expected);
}

TEST(SettingsParse, DamagedValueSparesTheOtherKeys) {
    const std::string text = "{\n  \"UpdateIntervalMs\": x,\n  \"WarningTemp\": 90,\n  \"AlwaysOnTop\": \n}";
    Settings s = ParseSettings(text);
    EXPECT_TRUE(s.WarningTemp == 90 && !s.AlwaysOnTop);  // the value runs into "}" and is empty: false
    // A file cut off in the middle still yields what was complete.
    const std::string full = SerializeSettings(Settings{.UpdateIntervalMs = 2000, .UseFahrenheit = true});
    s = ParseSettings(full.substr(0, full.find("HistorySeconds")));
    EXPECT_TRUE(s.UpdateIntervalMs == 2000 && s.UseFahrenheit);
}

TEST(SettingsSerialize, DefaultRecordLayoutNewKeysAfterTheOldOnes) {
    EXPECT_EQ(SerializeSettings(Settings{}),
              "{\n  \"UpdateIntervalMs\": 1000,\n  \"UseFahrenheit\": false,\n  \"WarningTemp\": 85,\n"
              "  \"HistorySeconds\": 300,\n  \"AlwaysOnTop\": false,\n  \"MinimizeToTray\": true,\n"
              "  \"ShowTempInTray\": true,\n  \"TrayNotifications\": true,\n  \"SmoothCpuTemp\": true,\n"
              "  \"AdvancedSensors\": false,\n  \"ShareData\": true,\n  \"FirstTestOffered\": false,\n"
              "  \"WindowX\": 0,\n  \"WindowY\": 0,\n  \"WindowWidth\": 0,\n  \"WindowHeight\": 0,\n"
              "  \"WindowMaximized\": false,\n  \"LastPage\": 0,\n  \"HidePersonalInfo\": false,\n"
              "  \"SensorLogEnabled\": false,\n  \"SensorLogFormat\": \"tr\",\n  \"SensorLogIntervalS\": 5,\n"
              "  \"SensorLogDays\": 7,\n  \"TrayTemperature\": \"cpu\",\n  \"MetricsEnabled\": false,\n"
              "  \"MetricsPort\": 9798,\n  \"MetricsListenAll\": false,\n  \"MetricsToken\": \"\"\n}\n");
}

// A file of the previous version (twelve keys, no window place) loads with the
// new keys at their defaults; choices outside their lists keep the default.
TEST(SettingsParse, PreviousVersionFilesAndNewKeyValues) {
    const std::string previous = "{\n  \"UpdateIntervalMs\": 2000,\n  \"ShareData\": false,\n  \"FirstTestOffered\": true\n}\n";
    EXPECT_EQ(ParseSettings(previous), (Settings{.UpdateIntervalMs = 2000, .ShareData = false, .FirstTestOffered = true}));

    Settings s = ParseSettings(
        "{\"WindowX\": -1920, \"LastPage\": 9, \"SensorLogFormat\": \"xls\", \"SensorLogIntervalS\": 7,"
        " \"SensorLogDays\": 30, \"TrayTemperature\": \"gpu\", \"MetricsPort\": 99999,"
        " \"MetricsToken\": \"a\\\"b\"}");
    // A monitor left of the primary one; a page clamped; the token is not a plain word.
    EXPECT_EQ(std::tuple(s.WindowX, s.LastPage, s.SensorLogIntervalS, s.MetricsPort), std::tuple(-1920, 4, 5, 65535));
    EXPECT_EQ(s.SensorLogFormat + "/" + s.TrayTemperature + "/" + s.MetricsToken, "tr/gpu/");
}

// Consent is never read from a file that is damaged: a file cut short, emptied
// or overwritten loads with sharing off; the other keys are still read.
TEST(SettingsConsent, ADamagedFileNeverTurnsSharingOn) {
    const std::string whole = SerializeSettings(Settings{});
    EXPECT_FALSE(SettingsFromFile(ReadStatus::Ok, whole).damaged);
    EXPECT_TRUE(SettingsFromFile(ReadStatus::Missing, "").settings.ShareData);  // first start: the default
    const std::string cut = whole.substr(0, whole.find("\"ShareData\""));
    for (const std::string& text : {std::string(), std::string("   \r\n"), cut, std::string("\0\0\0", 3),
                                    whole.substr(0, whole.size() - 3), OneKey("ShareData", "yes"),
                                    std::string("{\"UpdateIntervalMs\": 2000")}) {
        const ReadSettingsResult r = SettingsFromFile(ReadStatus::Ok, text);
        EXPECT_TRUE(r.damaged && !r.settings.ShareData) << text;
    }
    EXPECT_EQ(SettingsFromFile(ReadStatus::Ok, "{\"UpdateIntervalMs\": 2000").settings.UpdateIntervalMs, 2000);
    // A whole object that leaves ShareData out (written by hand) keeps the default.
    EXPECT_TRUE(SettingsFromFile(ReadStatus::Ok, "{\"UpdateIntervalMs\": 2000}").settings.ShareData);
    EXPECT_FALSE(SettingsFromFile(ReadStatus::Failed, "").settings.ShareData);
}

#if !defined(_WIN32)
#include <unistd.h>

namespace {
// Points the settings folder at a fresh temporary one for the test's duration.
struct ConfigHomeScope {
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() / ("kalorix-settings-" + std::to_string(::getpid()));
    std::optional<std::string> old_;
    ConfigHomeScope() {
        std::filesystem::remove_all(dir_);
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    ~ConfigHomeScope() {
        old_ ? setenv("XDG_CONFIG_HOME", old_->c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(dir_);
    }
};
}  // namespace

// The path creates nothing; a save writes through the durable save; a damaged
// file loads with sharing off until the user chooses again.
TEST(SettingsFile, SaveLoadAndADamagedFile) {
    ConfigHomeScope home;
    EXPECT_EQ(SettingsPath(false), home.dir_ / "Kalorix" / "settings.json");
    EXPECT_TRUE(!std::filesystem::exists(home.dir_ / "Kalorix") && LoadSettings() == Settings{});
    Settings s{.UpdateIntervalMs = 5000, .AdvancedSensors = true};
    SaveSettings(s);
    EXPECT_TRUE(!std::filesystem::exists(home.dir_ / "Kalorix" / "settings.json.tmp") && LoadSettings() == s);

    const std::string whole = *ReadFileBytes(SettingsPath(false));
    ASSERT_TRUE(AtomicWriteFile(SettingsPath(false), whole.substr(0, whole.size() / 2)));
    s = LoadSettings();
    EXPECT_FALSE(s.ShareData);
    s.ShareData = true;
    SaveSettings(s);
    EXPECT_TRUE(LoadSettings().ShareData);
}
#endif
