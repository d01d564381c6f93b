// The shareable report image, without drawing: its texts (machine, cooling
// report card, scores), its canvas and file name, and the clipboard's
// bottom-up bitmap. Portable; ui/report_image_win.h draws and exports it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/scores.h"
#include "sensors/sensor_model.h"
#include "store/usage_history.h"

namespace kalorix {

// Canvas in DIPs, drawn at twice the size: 1760 x 1120 pixels at 192 DPI.
inline constexpr float kReportWidth = 880.0f;
inline constexpr float kReportHeight = 560.0f;
inline constexpr float kReportScale = 2.0f;

struct ReportLabelValue {
    std::wstring label;
    std::wstring value;
};

struct ReportScoreRow {
    std::wstring title;   // "İşlemci", "Bellek (RAM)", "Ekran kartı", "SSD"
    std::wstring score;   // grouped whole number, "—" without a record
    std::wstring detail;
    double value = 0;     // the score itself (0 without a record)
    bool present = false;
};

struct ReportImageContent {
    std::wstring date;      // "6 Aralık 2026"
    std::wstring machine;   // systemName, empty without a hardware report
    std::wstring cpu;       // cpuName
    bool hasCard = false;   // the report card has data
    uint32_t gradeColor = 0;
    std::wstring gradeText;  // grade name, or "Yoğun kullanım kaydı henüz yok."
    std::wstring advice;
    std::wstring heavyUse;   // "Son 7 günde yoğun kullanım 1 sa 5 dk"
    std::vector<ReportLabelValue> cooling;  // temperature, at the limit, measurement
    std::wstring overall;    // "Genel" score, "—" until all four tests have a record
    std::wstring weights;
    std::vector<ReportScoreRow> parts;       // CPU, memory, GPU, SSD
    std::wstring footer;
};

// latest[kind]: the newest record of each kind (0 CPU, 1 GPU, 2 disk, 3 memory).
ReportImageContent MakeReportImageContent(const CoolingReportCard& card,
                                          const std::array<std::optional<TestRecord>, 4>& latest,
                                          const std::wstring& systemName, const std::wstring& cpuName,
                                          bool fahrenheit, const LocalTime& now);

// "6 Aralık 2026"; an out-of-range month leaves its name empty.
std::wstring ReportDateText(int day, int month, int year);
// "Kalorix-rapor-20261206-143005.png" (local time, fields zero-filled).
std::wstring ReportImageFileName(const LocalTime& now);

// The clipboard's CF_DIB: a 40-byte BITMAPINFOHEADER (positive height, so the
// rows run bottom-up; 1 plane, 32 bits, BI_RGB) followed by the rows of the
// top-down BGRA pixels in reverse order. Empty when the sizes do not match.
std::string MakeBottomUpDib(const std::vector<uint8_t>& topDownPixels, uint32_t width, uint32_t height);

}  // namespace kalorix
