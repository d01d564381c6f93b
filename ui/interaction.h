// Immediate-mode interaction: the clickable rectangles every paint pass
// registers, the pointer state that turns a press and a release on the same
// region into a click, the actions the page drawing functions may ask of the
// window, and the context handed to those functions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensor_model.h"
#include "store/settings.h"

namespace kalorix {

class DrawingToolkit;        // ui/toolkit_win.h
struct HardwareInventory;    // the collected hardware report
struct BenchState;           // the benchmark runner's state record

// Identifier of one clickable element; 0 means "none".
using ActionId = uint32_t;

// FNV-1a over the UTF-16 code units of the action string, then OR 1 so that
// no id is 0. Code points above U+FFFF count as their two surrogate units, so
// the id is the same whatever the width of wchar_t.
ActionId ActionIdOf(std::wstring_view action);

// Id of segment `index` of a segmented control whose base id is `base`.
inline ActionId SegmentId(ActionId base, int index) {
    return base * 31u + 1u + static_cast<uint32_t>(index);
}

struct HitRegion {
    ActionId id = 0;
    float left = 0, top = 0, width = 0, height = 0;  // DIPs, window coordinates
    bool hand = false;

    bool contains(float x, float y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};

// Pointer and region state of the window. Only the main thread touches it.
struct InteractionState {
    std::vector<HitRegion> active;    // regions of the last finished pass
    std::vector<HitRegion> building;  // regions of the pass under way
    ActionId hovered = 0;
    ActionId pressed = 0;
    ActionId clicked = 0;             // consumed by the next pass
    bool dragging = false;            // a slider is being dragged
    float pointerX = -1.0f, pointerY = -1.0f;

    // Applied to regions registered by page content: vertical offset (minus
    // the scroll offset) and the band [clipTop, clipBottom) they are cut to.
    float regionOffset = 0.0f;
    float clipTop = 36.0f;
    float clipBottom = 1.0e9f;

    // Registers a region of the pass under way. The offset is added to top;
    // regions entirely outside the clip band are dropped, partly visible
    // ones are cut to it. Empty or non-finite rectangles are dropped.
    void addRegion(ActionId id, float left, float top, float width, float height, bool hand);

    // Stores the pointer and sets hovered to the topmost active region under
    // it (the last registered wins), or 0. Returns the new hovered id.
    ActionId hitTest(float x, float y);

    // Pointer events in DIPs. Each returns true when a repaint is needed.
    bool pointerMove(float x, float y);
    bool pointerDown(float x, float y);
    bool pointerUp(float x, float y);
    bool pointerLeave();

    // True during a pass when the element with this id was clicked.
    bool isClicked(ActionId id) const { return id != 0 && clicked == id; }
    bool isHovered(ActionId id) const { return id != 0 && hovered == id; }
    bool isPressed(ActionId id) const { return id != 0 && pressed == id; }

    // Whether the hovered id belongs to an active region with a hand cursor.
    bool hoveredWantsHand() const;

    // Start of a paint pass: clears the building list, resets offset and clip.
    void beginPass(float clientHeight);
    // End of a paint pass: the building list becomes the active one, clicked := 0.
    void finishPass();
};

// What the page drawing functions may ask of the window (in the window's
// virtual-slot order; slot 0 is the destructor).
class PageActions {
public:
    virtual ~PageActions() = default;
    virtual void ApplySettings() = 0;
    virtual void ResetMinMax() = 0;
    virtual void CopyHardwareReport() = 0;
    virtual void RefreshHardwareReport() = 0;
    virtual bool IsAutostartOn() = 0;
    virtual void SetStartWithWindows(bool on) = 0;
    virtual void SetAdvancedSensors(bool on) = 0;
    virtual void RestartAsAdministrator() = 0;
    virtual void ShowPage(int page) = 0;
    virtual void StartTest(uint32_t kind, wchar_t driveLetter) = 0;
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
    bool noticeShown = false;  // noticeShownAt set
    bool noticeAcked = false;
    int64_t lastSentAt = 0;
    std::wstring statusText;
    bool busy = false;
    std::wstring nickname;
};

// Per-page view choices the window keeps between paints.
struct PageViewState {
    int32_t sensorsFilter = 0;     // Sensors page, 0 … 6
    int32_t testsDriveIndex = 0;   // Tests page, selected fixed drive
    bool settingsPreviewVisible = false;
    std::wstring settingsPreviewText;
};

// Everything one page drawing function works with during a pass.
struct PageContext {
    DrawingToolkit* toolkit = nullptr;
    InteractionState* ui = nullptr;   // the building regions and the clicked id
    PageActions* actions = nullptr;
    const SensorSnapshot* snapshot = nullptr;
    Settings* settings = nullptr;     // the window's record, edited in place by the settings page
    const HardwareInventory* hardware = nullptr;  // absent until collected
    void* window = nullptr;           // the window handle
    float left = 0, top = 0, width = 0, height = 0;  // content rectangle, DIPs
    float scroll = 0;                 // the page's scroll offset
    std::wstring toast;               // empty unless a toast is current
    const BenchState* bench = nullptr;  // copy of the runner's state (absent without a runner)
    TelemetryView telemetry;
    PageViewState* view = nullptr;
    double clipTop = 36.0, clipBottom = 1.0e9;  // visible band in content coordinates (scroll applied)

    // Page margins: x0 = content left + 36, W = content width - 72.
    float x0() const { return left + 36.0f; }
    float innerWidth() const { return width - 72.0f; }
    // Whether a band [top, bottom) in page coordinates is at least partly visible.
    bool visible(double top, double bottom) const { return bottom > clipTop && top < clipBottom; }
};

// ---- Window rules that need no window ------------------------------------

// Title-band and border hit test (client DIPs; width and height of the client
// area in DIPs). Mirrors the non-client hit codes.
enum class FrameHit {
    Client, Caption, MinButton, MaxButton, CloseButton,
    Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight,
};
constexpr float kTitleBarHeight = 36.0f;
constexpr float kResizeBorder = 6.0f;
constexpr float kCaptionButtonWidth = 46.0f;
constexpr float kSidebarWidth = 232.0f;
FrameHit FrameHitTest(float x, float y, float width, float height, bool maximized);

// Caption button number of a frame hit: 1 minimise, 2 maximise/restore, 3 close, else 0.
int CaptionButtonOf(FrameHit hit);

// Scrolling: the new offset after a wheel turn of `wheelDelta` (120 per notch),
// clamped to [0, max(0, contentHeight - visibleHeight)].
float ScrollAfterWheel(float offset, int wheelDelta, float contentHeight, float visibleHeight);
float MaxScroll(float contentHeight, float visibleHeight);

struct ScrollThumb {
    bool visible = false;
    float top = 0, length = 0;
};
ScrollThumb ScrollBarThumb(float offset, float contentHeight, float visibleHeight);

// Ctrl+1 … Ctrl+5 select a page: the page for a key code ('1' … '5'), or none.
std::optional<int> PageForShortcut(unsigned virtualKey, bool ctrlDown);

// Sampler interval for the window's state: 1000 ms while a benchmark runs,
// the setting while shown, at least 2000 ms while minimised or hidden.
int SamplerIntervalFor(int updateIntervalMs, bool shownAndNotMinimized, bool benchmarkRunning);

// Text of the overheating notification, or empty when nothing is over the
// limit: "İşlemci 90 °C · Ekran kartı 88 °C" from cpuTempShown and the GPU.
std::wstring OverheatParts(const SensorSnapshot& snapshot, int warningTemp, bool fahrenheit);

// At most one overheating notification per interval on the tick clock.
class OverheatNotifier {
public:
    static constexpr uint64_t kIntervalMs = 300000;
    // Returns the full notification text when one is due now, else nothing.
    std::optional<std::wstring> check(const SensorSnapshot& snapshot, const Settings& settings, uint64_t nowTick);

private:
    bool notified_ = false;
    uint64_t lastTick_ = 0;
};

// Thermal safety stop of a running benchmark: three consecutive snapshots at
// or over the limit stop it.
class ThermalGuard {
public:
    void reset() { count_ = 0; }
    // Feeds one snapshot of a run of `kind` (0 CPU, 1 GPU, 2 disk, 3 memory);
    // returns the stop reason when the run must be stopped now.
    std::optional<std::wstring> check(uint32_t kind, const SensorSnapshot& snapshot, const Settings& settings);
    int count() const { return count_; }

private:
    int count_ = 0;
};

}  // namespace kalorix
