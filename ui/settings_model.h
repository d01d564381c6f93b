// What the Settings page shows and how its controls map to the settings
// record, without drawing: the choice tables, every row's title and
// description, the state-dependent texts (advanced sensors, PawnIO, data
// sharing) and the warning slider's value rule. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "metrics/metrics_view.h"
#include "sensors/sensor_model.h"
#include "store/settings.h"
#include "ui/interaction.h"

namespace kalorix {

// ---- choice tables of the segmented controls ----

struct IntChoices {
    std::vector<std::wstring> labels;
    std::vector<int32_t> values;
};
const IntChoices& IntervalChoices();  // "0,5 sn" … "5 sn" = 500 … 5000 ms
const IntChoices& SpanChoices();      // "1 dk" … "30 dk" = 60 … 1800 s
const std::vector<std::wstring>& UnitLabels();  // "°C  Celsius", "°F  Fahrenheit"

// Index of the value in the table, or -1 (no segment selected) when it is not there.
int ChoiceIndex(const IntChoices& choices, int32_t value);
// The value for a selected index; nothing for an index outside the table.
std::optional<int32_t> ChoiceValue(const IntChoices& choices, int index);

// ---- texts ----

inline constexpr const wchar_t* kSettingsSubtitle = L"Değişiklikler otomatik olarak kaydedilir.";

struct SettingRowText {
    const wchar_t* title;
    const wchar_t* description;
};
SettingRowText IntervalRowText();
SettingRowText SpanRowText();
SettingRowText UnitRowText();
SettingRowText SmoothingRowText();
SettingRowText WarningRowText();

// A toggle row of the "SİSTEM TEPSİSİ VE PENCERE" card. member is the bound
// settings field, or nullptr for the autostart row (bound to the window's
// autostart state instead).
struct TrayToggleRow {
    const wchar_t* title;
    const wchar_t* description;
    const wchar_t* action;
    bool Settings::*member;
};
const std::vector<TrayToggleRow>& TrayToggleRows();

// ---- sensor log and the tray's temperature (their own card) ----

inline constexpr const wchar_t* kSensorLogHeading = L"SENSÖR KAYDI VE TEPSİ";
SettingRowText SensorLogRowText();          // "Sensör kaydı"; the description ends with the folder's size
SettingRowText SensorLogFormatRowText();    // "Kayıt biçimi"
SettingRowText SensorLogIntervalRowText();  // "Kayıt sıklığı"
SettingRowText SensorLogDaysRowText();      // "Kayıtları sakla"
SettingRowText TraySourceRowText();         // "Tepside gösterilen sıcaklık"
const IntChoices& SensorLogIntervalChoices();  // "Her güncelleme", "5 sn", "30 sn", "60 sn" = 0, 5, 30, 60 s
const IntChoices& SensorLogDaysChoices();      // "7 gün", "30 gün", "365 gün", "Hepsi" = 7, 30, 365, 0

// A choice stored as a word in the settings file.
struct WordChoices {
    std::vector<std::wstring> labels;
    std::vector<std::string> values;
};
const WordChoices& SensorLogFormatChoices();  // "Excel (Türkçe)", "Standart CSV" = "tr", "standard"
const WordChoices& TraySourceChoices();       // "İşlemci", "Ekran kartı" = "cpu", "gpu"
int WordChoiceIndex(const WordChoices& choices, const std::string& value);  // -1 when not there
// The sensor log row's description with the folder's size (and, when rows
// were dropped, how many).
std::wstring SensorLogDescription(const SensorLogView& log);

inline constexpr const wchar_t* kAdvancedSensorsTitle = L"Gelişmiş sensörler (yönetici izni)";
std::wstring AdvancedSensorsDescription(bool elevated, bool advancedSensorsOn);

inline constexpr const wchar_t* kPawnIoTitle = L"PawnIO hassas modu (isteğe bağlı)";
struct PawnIoRowText {
    std::wstring description;
    bool offerDownload = false;  // the "PawnIO'yu indir" button
};
// By the snapshot's PawnIO flags and status: working; the processor family has
// no module; this build carries no modules (and what to do); not installed
// (with the download); a failed start with its status code; installed and
// waiting for the advanced sensors or a restart.
PawnIoRowText PawnIoRow(const SensorSnapshot& snapshot);
// A status code as the user sees it: "0xC0000428".
std::wstring StatusCodeText(int32_t code);

inline constexpr const wchar_t* kShareTitle = L"Anonim uyumluluk verisi paylaş";
// Addresses of the service's pages as shown in the text, and the privacy page opened by "Gizlilik".
std::wstring CompatibilityPageAddress();
std::wstring LeaderboardAddress();
std::wstring PrivacyPageAddress();
std::wstring ShareDescription(const std::wstring& nickname);

// The status line under the sharing description. sentLocal is lastSentAt in
// local time (used only when lastSentAt is set).
std::wstring ShareStatusLine(bool shareData, const TelemetryView& telemetry, const LocalTime& sentLocal);
// How the telemetry status text is shown: the deletion confirmation (it
// begins "Sunucudaki") as good news, anything else as an error.
bool StatusTextIsConfirmation(const std::wstring& statusText);

std::wstring PreviewButtonLabel(bool previewVisible);  // "Gönderilen veriyi göster" / "Önizlemeyi gizle"

// ---- remote monitoring (the metrics endpoint) ----

inline constexpr const wchar_t* kRemoteHeading = L"UZAKTAN İZLEME";
inline constexpr const wchar_t* kMetricsTitle = L"Uzaktan izleme";
inline constexpr const wchar_t* kMetricsAllTitle = L"Ağdaki diğer bilgisayarlara aç";
std::wstring MetricsDescription();
std::wstring MetricsListenAllDescription();
// The address a scraper reads: "http://127.0.0.1:9798/metrics", or this
// computer's name when listening on every interface (a placeholder when
// personal information is hidden or the name is unknown).
std::wstring MetricsAddress(const MetricsView& view, bool hidePersonalInfo);
// The line under the description: off, where it listens, or why it does not
// (problem: drawn as a warning).
struct MetricsStatusText {
    std::wstring text;
    bool problem = false;
};
MetricsStatusText MetricsStatusLine(bool enabled, const MetricsView& view, bool hidePersonalInfo);
// The freshly made token, shown once.
inline constexpr const wchar_t* kMetricsTokenCaption = L"Erişim belirteci (yalnızca şimdi gösterilir; kopyalayıp sakla):";
inline constexpr const wchar_t* kMetricsCopyLabel = L"Kopyala";

std::wstring AboutText();
inline constexpr const wchar_t* kVersionLabel = L"Kalorix 2.1";

// lastSentAt (Unix seconds) in the local time zone; zeros when it cannot be converted.
LocalTime ToLocalTime(int64_t unixSeconds);

}  // namespace kalorix
