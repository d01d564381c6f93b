// The Hardware and Settings pages drawn into an off-screen target with a
// recording PageActions: which controls they register, what a click on each
// does to the settings record and which window operations it asks for.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "inventory/inventory.h"
#include "ui/hardware_layout.h"
#include "ui/pages_win.h"
#include "ui/settings_model.h"
#include "ui/toolkit_win.h"

namespace kalorix {
namespace {

// Records every call in order; the settings record is the page's, as in the window.
class RecordingActions : public PageActions {
public:
    std::vector<std::string> calls;

#define RECORD(name) \
    void name() override { calls.push_back(#name); }
#define RECORD_SWITCH(name) \
    void name(bool on) override { calls.push_back(std::string(#name) + (on ? "(1)" : "(0)")); }
    RECORD(ApplySettings) RECORD(ResetMinMax) RECORD(CopyHardwareReport) RECORD(RefreshHardwareReport)
    RECORD(RestartAsAdministrator) RECORD(StopTests) RECORD(MarkConsentNoticeShown) RECORD(DeleteSharedData)
    RECORD(RunAllTests) RECORD_SWITCH(SetStartWithWindows) RECORD_SWITCH(SetAdvancedSensors) RECORD_SWITCH(SetShareData)
#undef RECORD
#undef RECORD_SWITCH
    void ShowPage(int) override { calls.push_back("ShowPage"); }
    void StartTest(BenchKind, wchar_t) override { calls.push_back("StartTest"); }
    void ExportReportImage(bool) override { calls.push_back("ExportReportImage"); }
    void AnswerConsent(bool) override { calls.push_back("AnswerConsent"); }
    std::wstring BuildReportPreview() override { return calls.push_back("BuildReportPreview"), L"{}"; }
};

using Calls = std::vector<std::string>;

class PagesTest : public ::testing::Test {
protected:
    ComApartment com_;
    DrawingToolkit tk_;
    InteractionState ui_;
    RecordingActions actions_;
    SensorSnapshot snapshot_;
    Settings settings_;
    PageViewState view_;
    TelemetryView telemetry_;
    AutostartView autostart_;

    void SetUp() override { snapshot_.valid = true, telemetry_.nickname = L"BraveOtter417"; }

    // One paint pass of a page at 1180 x 780 (content left 232, top 36); the
    // region lists are swapped at the end as the window does.
    float Pass(float (*page)(PageContext&), ActionId clicked = 0, float width = 1180, float height = 780,
               const HardwareInventory* hardware = nullptr) {
        ui_.clicked = clicked;
        EXPECT_TRUE(tk_.CreateOffscreen(width, height, 1.0f));
        EXPECT_TRUE(tk_.BeginFrame());
        tk_.Clear(colors::WindowBackground);
        tk_.SetInteraction(&ui_);
        PageContext ctx;
        ctx.toolkit = &tk_, ctx.ui = &ui_, ctx.actions = &actions_, ctx.snapshot = &snapshot_;
        ctx.settings = &settings_, ctx.hardware = hardware, ctx.view = &view_;
        ctx.content = Rect{kSidebarWidth, kTitleBarHeight, width - kSidebarWidth, height - kTitleBarHeight};
        ctx.telemetry = telemetry_, ctx.autostart = autostart_;
        const float bottom = page(ctx);
        FinishPass(ui_);
        EXPECT_EQ(tk_.EndFrame(), S_OK);
        return bottom;
    }

    const HitRegion* Region(ActionId id) const {
        for (const HitRegion& r : ui_.active)
            if (r.id == id) return &r;
        return nullptr;
    }
};

ActionId Id(const wchar_t* action) { return MakeActionId(std::wstring_view(action)); }

HardwareInventory SampleReport() {
    HardwareInventory r;
    r.systemName = L"Contoso Book 14";
    r.cpuName = L"Test CPU";
    r.sections = {{L"Sistem", kGlyphSystem, {{L"Model", L"Contoso Book 14"}, {L"BIOS", L"1.02 · 12.03.2024"}}},
                  {L"İşlemci", kGlyphProcessor, {{L"Model", L"Test CPU 8 Çekirdekli İşlemci ile uzun bir ad"}}}};
    return r;
}

TEST_F(PagesTest, HardwareCardsBatteryCopyAndRefresh) {
    EXPECT_FLOAT_EQ(Pass(DrawHardwarePage), 36 + 4 + 74 + 24);  // no report yet: the reading line
    EXPECT_TRUE(Region(Id(L"hw/copy")) && Region(Id(L"hw/refresh")));
    const HardwareInventory report = SampleReport();
    const float desktop = Pass(DrawHardwarePage, 0, 1180, 780, &report);
    EXPECT_GT(desktop, 36 + 4 + 74 + 100);

    snapshot_.hasBattery = true, snapshot_.batteryPercent = 80, snapshot_.designCapacity = 50000;
    snapshot_.fullChargeCapacity = 45000;
    const float laptop = Pass(DrawHardwarePage, 0, 1180, 780, &report);
    EXPECT_GT(laptop, desktop);  // the "Pil" card added a row block to a column

    Pass(DrawHardwarePage, Id(L"hw/copy"), 1180, 780, &report);
    EXPECT_EQ(actions_.calls, (Calls{"CopyHardwareReport"}));
    // Refresh discards the report at once: this very pass shows the reading line.
    const float afterRefresh = Pass(DrawHardwarePage, Id(L"hw/refresh"), 1180, 780, &report);
    EXPECT_EQ(actions_.calls, (Calls{"CopyHardwareReport", "RefreshHardwareReport"}));
    EXPECT_FLOAT_EQ(afterRefresh, 36 + 4 + 74 + 24);
}

TEST_F(PagesTest, SettingsChangesAreAppliedOncePerPassAndWindowOperationsAsked) {
    settings_.UpdateIntervalMs = 750;  // edited by hand: no segment selected until a click
    Pass(DrawSettingsPage);
    EXPECT_EQ(settings_.UpdateIntervalMs, 750);
    Pass(DrawSettingsPage, SegmentActionId(Id(L"set/interval"), 0));
    EXPECT_EQ(settings_.UpdateIntervalMs, 500);
    EXPECT_EQ(actions_.calls, (Calls{"ApplySettings"}));

    Pass(DrawSettingsPage, Id(L"set/tray"));
    EXPECT_FALSE(settings_.MinimizeToTray);
    // Clicking the segment already selected changes nothing and saves nothing.
    Pass(DrawSettingsPage, SegmentActionId(Id(L"set/interval"), 0));
    EXPECT_EQ(actions_.calls.size(), 2u);

    // Window operations instead of the record.
    actions_.calls.clear();
    autostart_.enabled = true;
    Pass(DrawSettingsPage, Id(L"set/startup"));
    EXPECT_EQ(actions_.calls, (Calls{"SetStartWithWindows(0)"}));
    actions_.calls.clear();
    // While a change is on its way the switch takes no click.
    autostart_.pending = true;
    Pass(DrawSettingsPage, Id(L"set/startup"));
    EXPECT_TRUE(actions_.calls.empty());
    autostart_.pending = false;

    Pass(DrawSettingsPage, Id(L"set/share"));
    EXPECT_EQ(actions_.calls, (Calls{"SetShareData(0)"}));
    EXPECT_TRUE(settings_.ShareData);  // the page only asked; the window sets it
    actions_.calls.clear();

    // Advanced sensors go last, after the settings were applied: turning them on may end this window.
    ui_.pressed = Id(L"set/warn");
    const HitRegion* warn = Region(Id(L"set/warn"));
    ASSERT_TRUE(warn);
    ui_.pointerX = warn->left + warn->width;  // far right
    Pass(DrawSettingsPage, Id(L"set/advanced"));
    EXPECT_EQ(actions_.calls, (Calls{"ApplySettings", "SetAdvancedSensors(1)"}));
    EXPECT_EQ(settings_.WarningTemp, 100);
    EXPECT_FALSE(settings_.AdvancedSensors);  // the window decides
}

}  // namespace
}  // namespace kalorix
