// What the Overview and Sensors pages show, computed from the snapshot and the
// settings without drawing anything: card texts, levels, banners, the sensor
// groups. Portable, so every rule is checked by the native tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"
#include "store/settings.h"

namespace kalorix {

// The service's web site (reports, leaderboard, privacy pages).
inline constexpr const wchar_t* kServiceHost = L"kalorix.app";
// The PawnIO project's web site, where its signed driver is downloaded.
inline constexpr const wchar_t* kPawnIoDownloadAddress = L"https://pawnio.eu/";

// ---- Overview ------------------------------------------------------------

struct MetricCard {
    wchar_t glyph = 0;
    std::wstring title;
    std::wstring value;
    std::wstring detail;
    std::wstring compactDetail;  // drawn instead of detail when that does not fit; empty: none
    double fraction = 0.0;  // progress bar (metric cards only)
    int level = 3;          // 0 green, 1 amber, 2 red, 3 muted
    bool detailIsName = false;  // a device's name: it may end in an ellipsis
};

// Columns of a row of four cards: 4 when every card's content fits a quarter
// of the row (three 12-DIP gaps between them), else 2 (a 2 x 2 grid). needed:
// the width each card's content asks for.
int CardColumns(const std::array<float, 4>& needed, float rowWidth);

// The CPU temperature's source in a few characters ("ACPI bölgesi", "MSI EC",
// "PawnIO"); empty when there is none.
std::wstring CpuTempSourceLabel(const std::wstring& source);
// Whether installing or enabling PawnIO could give this build a processor
// temperature: false when the processor family has no module or the build
// carries none.
bool PawnIoWouldHelp(const SensorSnapshot& snapshot);

// CPU temperature, GPU temperature, CPU load, memory.
std::array<MetricCard, 4> MakeMetricCards(const SensorSnapshot& snapshot, const Settings& settings);
// Disk, fans, CPU power, battery.
std::array<MetricCard, 4> MakeSmallCards(const SensorSnapshot& snapshot, const Settings& settings);

enum class BannerAction { None, ShowTests, EnableAdvanced, DownloadPawnIo, RestartElevated };

struct Banner {
    uint32_t color = 0;  // 0xRRGGBB
    wchar_t glyph = 0;
    std::wstring title;
    std::wstring body;
    std::wstring button;  // empty: no button
    BannerAction action = BannerAction::None;
};

// The action id text of a banner's button ("banner/tests", "banner/advanced", …).
std::wstring BannerActionKey(BannerAction action);

// The banners in drawing order: over the limit, heat throttling, at most one
// advanced-sensor banner.
std::vector<Banner> MakeBanners(const SensorSnapshot& snapshot, const Settings& settings);

struct ThrottleSummary {
    int level = 3;  // badge and value colour: 3 muted (little load), 2 red, 1 amber, 0 green
    std::wstring value;
    std::wstring detail;
};
ThrottleSummary MakeThrottleSummary(const SensorSnapshot& snapshot);

// "Son 5 dk" under the history card's title.
std::wstring HistorySpanText(int historySeconds);
// The hardware line under the page title: "Model  ·  İşlemci".
std::wstring JoinSystemAndCpu(const std::wstring& systemName, const std::wstring& cpuName);

// The data-sharing card: shown while sharing is on and the notice is not acknowledged.
bool ShowConsentCard(const Settings& settings, bool noticeAcked);
std::wstring ConsentBody();

// ---- Sensors -------------------------------------------------------------

inline constexpr int kSensorFilterCount = 7;
// "Tümü", "Sıcaklık", "Yük", "Saat Hızı", "Güç", "Fan", "Diğer".
const std::array<std::wstring, kSensorFilterCount>& SensorFilterLabels();
bool SensorPassesFilter(SensorKind kind, int filter);
// The type column: "Sıcaklık", "Yük", … and an empty text for unknown kinds.
std::wstring SensorTypeLabel(SensorKind kind);

struct SensorGroup {
    std::wstring device;
    std::vector<const SensorEntry*> rows;  // point into the snapshot's list
};
// The sensors passing the filter, grouped by device in order of first
// appearance; inside a group sorted stably by kind, then by id.
std::vector<SensorGroup> GroupSensors(const std::vector<SensorEntry>& sensors, int filter);

std::wstring SensorsSubtitle(size_t sensorCount);

}  // namespace kalorix
