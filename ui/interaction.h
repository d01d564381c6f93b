// Immediate-mode interaction records: action ids, clickable regions and the
// pointer state the window keeps between paint passes. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/autostart_worker.h"
#include "metrics/metrics_view.h"
#include "sensors/sensor_model.h"
#include "store/settings.h"
#include "store/usage_history.h"

namespace kalorix {

// A rectangle in DIPs: left, top, width, height.
struct Rect {
    float x = 0, y = 0, w = 0, h = 0;
    constexpr float right() const { return x + w; }
    constexpr float bottom() const { return y + h; }
    constexpr bool contains(float px, float py) const {
        return px >= x && px < x + w && py >= y && py < y + h;
    }
    bool operator==(const Rect&) const = default;
};

// 32-bit id of an action string; never 0 (0 means "none").
using ActionId = uint32_t;

// FNV-1a over the UTF-16 code units (each unit XORed in whole), then OR 1.
ActionId MakeActionId(std::u16string_view action);
// Same for a wide string: on Windows wchar_t is already UTF-16; elsewhere code
// points above U+FFFF are split into their surrogate pair first.
ActionId MakeActionId(std::wstring_view action);

// The id of segment index of a segmented choice (base * 31 + 1 + index).
ActionId SegmentActionId(ActionId base, int index);

// Action names for the test build's frame report: while recording is on, every
// id made above remembers its text (a segment's is the base's text + "/" + index).
// Main thread only.
void RecordActionNames(bool on);
// The remembered text of an id, or its number in hex when unknown.
std::string ActionName(ActionId id);

struct HitRegion {
    ActionId id = 0;
    float left = 0, top = 0, width = 0, height = 0;  // window DIPs, offset and clip applied
    bool hand = false;
};

// A key the focused control may answer (consumed by the next paint pass).
enum class NavKey { None, Activate, Left, Right, Up, Down };

struct InteractionState {
    std::vector<HitRegion> active;    // regions of the last finished pass (hit-testing)
    std::vector<HitRegion> building;  // regions of the pass under way
    std::vector<ActionId> duplicates; // ids registered twice within one pass (a page bug)
    ActionId hovered = 0;
    ActionId pressed = 0;
    ActionId clicked = 0;             // consumed by the next paint pass
    bool dragging = false;            // a slider is being dragged
    float pointerX = -1, pointerY = -1;
    ActionId focused = 0;             // keyboard focus (Tab order)
    bool focusVisible = false;        // the focus ring shows after keyboard use, not after a click
    NavKey key = NavKey::None;        // consumed by the next paint pass
};

// A region as drawn (rect in drawing coordinates) moved by the vertical offset
// and cut to [clipTop, clipBottom); nothing when it lies entirely outside.
std::optional<HitRegion> PlaceRegion(ActionId id, const Rect& rect, bool hand, float offsetY,
                                     float clipTop, float clipBottom);

// Adds a placed region to the pass under way. An id already registered in this
// pass is a page bug (two controls would share clicks): it is recorded in
// duplicates and, in debug builds, stops the program.
void RegisterRegion(InteractionState& state, const HitRegion& region);

// The topmost region containing the point (the last registered wins); 0 for none.
ActionId HitTest(const std::vector<HitRegion>& regions, float x, float y);

// ---- Pointer rules (the window feeds its mouse messages through these) ----
//
// A click is a press and a release on the same region with no slider dragged
// in between; moving off the region before the release cancels it. The last
// registered region is on top, so a modal overlay registered after the page
// takes every point it covers.

// Stores the pointer position and sets hovered to the topmost active region
// under it, or 0. Returns the new hovered id.
ActionId UpdateHover(InteractionState& state, float x, float y);
// Each returns true when the window should repaint.
bool PointerMove(InteractionState& state, float x, float y);  // hovered changed or dragging
bool PointerDown(InteractionState& state, float x, float y);  // pressed := hovered
bool PointerUp(InteractionState& state, float x, float y);    // clicked := pressed when still on it
bool PointerLeave(InteractionState& state);                   // hovered := 0, pointer (-1, -1)
// The window lost the mouse capture mid-press (another window took it, a menu
// opened): the press and any drag end without a click.
bool PointerCancel(InteractionState& state);
// Whether the hovered id belongs to an active region with the hand cursor.
bool HoveredWantsHand(const InteractionState& state);
// End of a paint pass: the building list becomes the active one; clicked := 0,
// key := None.
void FinishPass(InteractionState& state);

// ---- What the pages may ask of the window ----

class DrawingToolkit;      // ui/toolkit_win.h
struct HardwareInventory;  // the collected hardware report
struct BenchState;         // the benchmark runner's state record
struct TestSeriesView;     // the window's test series (bench/test_series.h)
enum class BenchKind : uint32_t;  // bench/protocol.h

// The window's operations for the page drawing functions, in virtual-slot
// order (slot 0 is the destructor). MainWindow implements them.
class PageActions {
public:
    virtual ~PageActions() = default;
    virtual void ApplySettings() = 0;
    virtual void ResetMinMax() = 0;
    virtual void CopyHardwareReport() = 0;
    virtual void RefreshHardwareReport() = 0;
    virtual void SetStartWithWindows(bool on) = 0;
    virtual void SetAdvancedSensors(bool on) = 0;
    virtual void RestartAsAdministrator() = 0;
    virtual void ShowPage(int page) = 0;
    virtual void StartTest(BenchKind kind, wchar_t driveLetter) = 0;
    virtual void StopTests() = 0;
    virtual void ExportReportImage(bool toClipboard) = 0;
    virtual void SetShareData(bool on) = 0;
    virtual void AnswerConsent(bool yes) = 0;
    virtual void MarkConsentNoticeShown() = 0;
    virtual void DeleteSharedData() = 0;
    virtual std::wstring BuildReportPreview() = 0;
    virtual void RunAllTests() = 0;
};

// Pages of the window, in sidebar order.
enum PageIndex : int32_t {
    kPageOverview = 0,
    kPageSensors = 1,
    kPageHardware = 2,
    kPageTests = 3,
    kPageSettings = 4,
    kPageCount = 5,
};

// The telemetry fields the pages show, copied under the client's lock.
struct TelemetryView {
    bool noticeShown = false;  // noticeShownAt is set
    bool noticeAcked = false;
    int64_t lastSentAt = 0;
    std::wstring statusText;
    bool busy = false;
    std::wstring nickname;
};

// The sensor log as the Settings page shows it, copied from the writer.
struct SensorLogView {
    bool running = false;
    std::wstring note;         // why logging stopped; empty otherwise
    uint64_t folderBytes = 0;
    uint64_t dropped = 0;      // rows the full queue turned away
    std::wstring folder;       // the folder the "open" button shows
};

struct SensorPlotPoint;  // sensors/sensor_history.h

// What the Tests page shows from the stored history and the machine, copied
// by the window once per snapshot and after a test is recorded, so that the
// passes of one frame agree and no page reaches for it while drawing.
struct PageRecords {
    std::vector<HeavyUsePeriod> periods;
    std::array<std::optional<TestRecord>, kBenchKindCount> latestTests;  // by BenchKind
    std::vector<wchar_t> testDrives;  // fixed drives a disk test may use
    int64_t now = 0;                  // seconds since 1970 UTC
    bool anyTestRecord() const {
        for (const auto& r : latestTests)
            if (r) return true;
        return false;
    }
};

// Per-page view choices the window keeps between paints.
struct PageViewState {
    int32_t sensorsFilter = 0;    // Sensors page, 0 … 6
    std::wstring sensorsPlotId;   // Sensors page: the sensor whose plot is open; empty: none
    int32_t testsDriveIndex = 0;  // Tests page, selected fixed drive
    bool settingsPreviewVisible = false;
    std::wstring settingsPreviewText;
    std::string metricsTokenShown;  // the metrics token just made, shown once
};

// Everything one page drawing function works with during a pass. Page
// coordinates are window coordinates before scrolling: the window translates
// the drawing by -scroll and offsets the regions by the same amount.
struct PageContext {
    DrawingToolkit* toolkit = nullptr;
    InteractionState* ui = nullptr;   // building regions and the clicked id
    PageActions* actions = nullptr;
    const SensorSnapshot* snapshot = nullptr;
    Settings* settings = nullptr;     // the window's record; the settings page edits it in place
    const HardwareInventory* hardware = nullptr;  // absent until collected
    void* window = nullptr;           // the window handle
    Rect content;                     // left 232, top 36, the rest of the client area
    float scroll = 0;                 // the page's scroll offset
    std::wstring toast;               // empty unless a toast is current
    const BenchState* bench = nullptr;  // copy of the runner's state (absent without a runner)
    TelemetryView telemetry;
    PageViewState* view = nullptr;
    const TestSeriesView* series = nullptr;  // the test series: queue, pause, failures per kind
    AutostartView autostart;                 // start with Windows, as the worker last reported
    bool personalInfoForced = false;         // "KALORIX_REDACT" hides personal information
    SensorLogView sensorLog;
    // The open plot's points (view->sensorsPlotId), copied from the engine for this pass.
    const std::vector<SensorPlotPoint>* sensorPlot = nullptr;
    MetricsView metrics;                     // the metrics endpoint's state
    const PageRecords* records = nullptr;    // the Tests page's history, test records and drives

    // Page margins: x0 = content left + 36, W = content width - 72.
    float x0() const { return content.x + 36.0f; }
    float innerWidth() const { return content.w - 72.0f; }
    // The visible band in page coordinates.
    float visibleTop() const { return content.y + scroll; }
    float visibleBottom() const { return content.y + content.h + scroll; }
    bool visible(float top, float bottom) const { return bottom > visibleTop() && top < visibleBottom(); }
};

// ---- Window rules that need no window ----

constexpr float kTitleBarHeight = 36.0f;
constexpr float kResizeBorder = 6.0f;
constexpr float kCaptionButtonWidth = 46.0f;
constexpr float kSidebarWidth = 232.0f;

// Frame hit test in client DIPs (width and height of the client area):
// resize borders unless maximised, the title band with its three buttons.
enum class FrameHit {
    Client, Caption, MinButton, MaxButton, CloseButton,
    Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight,
};
FrameHit FrameHitTest(float x, float y, float width, float height, bool maximized);
// The three buttons of the custom title band, left to right.
enum class CaptionButton { None, Minimize, Maximize, Close };
CaptionButton CaptionButtonOf(FrameHit hit);

// Scrolling: the offset after a wheel turn of wheelDelta (120 per notch, 56
// DIPs each), clamped to [0, max(0, contentHeight - visibleHeight)].
float ScrollAfterWheel(float offset, int wheelDelta, float contentHeight, float visibleHeight);
float MaxScroll(float contentHeight, float visibleHeight);

struct ScrollThumb {
    bool visible = false;
    float top = 0, length = 0;
};
ScrollThumb ScrollBarThumb(float offset, float contentHeight, float visibleHeight);

// Ctrl+1 … Ctrl+5 select a page: the page for a key code ('1' … '5'), or none.
std::optional<int> PageForShortcut(unsigned virtualKey, bool ctrlDown);

// The window's minimum size in pixels: 980 x 640 DIPs at the window's scale,
// but never more than the work area of the monitor it is on.
struct PixelSize {
    int width = 0, height = 0;
};
PixelSize MinimumTrackSize(float scale, int workWidth, int workHeight);

// Sampler interval for the window's state: 1000 ms while a benchmark runs,
// the setting while shown, at least 2000 ms while minimised or hidden.
int SamplerIntervalFor(int updateIntervalMs, bool shownAndNotMinimized, bool benchmarkRunning);

}  // namespace kalorix
