// The report image: a one-page summary (machine, cooling report card, scores)
// drawn off screen with its own DrawingToolkit at 1760 x 1120 pixels, saved as
// a PNG in Pictures\Kalorix or put on the clipboard as a bottom-up DIB.
// Main thread only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "sensors/clock_win.h"  // CurrentLocalTime
#include "ui/report_image.h"

namespace kalorix {

class DrawingToolkit;
struct HardwareInventory;

// The texts of the image from the history store (report card of the last
// seven days, latest record of each kind) and a hardware report copy (may be null).
ReportImageContent CollectReportImageContent(const HardwareInventory* report, bool fahrenheit,
                                             const LocalTime& now);

// Makes tk's off-screen target (880 x 560 DIPs at scale 2) and draws the image
// into it. False when the target cannot be made or the drawing fails.
bool RenderReportImage(DrawingToolkit& tk, const ReportImageContent& content);
// Draws the image into tk's current target (already between BeginDraw and EndDraw).
void DrawReportImage(DrawingToolkit& tk, const ReportImageContent& content);

// What the export reaches outside the program; tests replace them.
struct ReportExportEnv {
    // The user's Pictures folder; nothing when it cannot be resolved.
    std::function<std::optional<std::filesystem::path>()> picturesFolder;
    // Shows the saved file selected in a file window; failures are ignored.
    std::function<void(const std::filesystem::path&)> reveal;
};
ReportExportEnv DefaultReportExportEnv();

struct ReportExportResult {
    bool ok = false;
    std::wstring toast;           // the text the window shows for 5 s
    std::filesystem::path file;   // the saved file (saving only)
};

// Saves the image as Pictures\Kalorix\Kalorix-rapor-….png (local time `now`)
// or copies it to the clipboard (owner = the window). Every failure ends in
// its own toast text; no partial file is reported as saved.
ReportExportResult ExportReportImage(HWND owner, bool toClipboard, const ReportImageContent& content,
                                     const LocalTime& now, const ReportExportEnv& env);

}  // namespace kalorix
