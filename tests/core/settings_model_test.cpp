#include "ui/settings_model.h"

#include <gtest/gtest.h>

#include <set>

namespace kalorix {
namespace {

TEST(SettingsChoicesTest, TablesAndLookups) {
    const IntChoices& interval = IntervalChoices();
    EXPECT_EQ(interval.labels, (std::vector<std::wstring>{L"0,5 sn", L"1 sn", L"2 sn", L"5 sn"}));
    EXPECT_EQ(interval.values, (std::vector<int32_t>{500, 1000, 2000, 5000}));
    EXPECT_EQ(SpanChoices().labels, (std::vector<std::wstring>{L"1 dk", L"5 dk", L"10 dk", L"30 dk"}));
    EXPECT_EQ(SpanChoices().values, (std::vector<int32_t>{60, 300, 600, 1800}));
    EXPECT_EQ(UnitLabels(), (std::vector<std::wstring>{L"°C  Celsius", L"°F  Fahrenheit"}));

    EXPECT_EQ(ChoiceIndex(interval, 2000), 2);
    EXPECT_EQ(ChoiceIndex(interval, 750), -1);  // edited by hand: no segment selected
    EXPECT_EQ(ChoiceIndex(SpanChoices(), 1800), 3);
    EXPECT_EQ(ChoiceValue(interval, 0), 500);
    EXPECT_EQ(ChoiceValue(interval, -1), std::nullopt);
    EXPECT_EQ(ChoiceValue(interval, 4), std::nullopt);
}

TEST(SettingsTextsTest, TrayRowsBindTheirFieldsAndActions) {
    const auto& rows = TrayToggleRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_STREQ(rows[0].action, L"set/startup");
    EXPECT_EQ(rows[0].member, nullptr);  // autostart lives outside the settings file
    Settings s;
    s.MinimizeToTray = s.ShowTempInTray = s.TrayNotifications = s.AlwaysOnTop = false;
    const wchar_t* actions[] = {L"set/tray", L"set/traytemp", L"set/notify", L"set/topmost"};
    for (int i = 1; i < 5; ++i) {
        EXPECT_STREQ(rows[i].action, actions[i - 1]);
        ASSERT_NE(rows[i].member, nullptr);
        s.*rows[i].member = true;
    }
    EXPECT_TRUE(s.MinimizeToTray && s.ShowTempInTray && s.TrayNotifications && s.AlwaysOnTop);
    EXPECT_STREQ(rows[3].title, L"Aşırı ısınma bildirimi");
    EXPECT_STREQ(rows[1].description,
                 L"Pencereyi kapatmak uygulamayı sonlandırmaz; izleme arka planda sürer. Tamamen çıkmak için tepsi "
                 L"menüsünden 'Çıkış'ı seç.");
    // Every action id distinct (they are the controls' region ids).
    std::set<ActionId> ids;
    for (const auto& r : rows) ids.insert(MakeActionId(std::wstring_view(r.action)));
    EXPECT_EQ(ids.size(), rows.size());
}

TEST(SettingsTextsTest, AdvancedSensorsDescriptionByElevation) {
    const std::wstring base =
        L"Bazı bilgileri Windows yalnızca yönetici izniyle verir: MSI cihazlarda fan hızları, PawnIO kuruluysa "
        L"çekirdek başına işlemci sıcaklıkları. Açınca Kalorix bir kez izin ister ve yeniden başlar.";
    EXPECT_EQ(AdvancedSensorsDescription(false, false), base + L"\nŞu an: normal izinle çalışıyor.");
    EXPECT_EQ(AdvancedSensorsDescription(true, true), base + L"\nŞu an: yönetici olarak çalışıyor.");
    EXPECT_EQ(AdvancedSensorsDescription(true, false),
              base + L"\nŞu an: yönetici olarak çalışıyor. Bir sonraki açılışta normal izinle başlar.");
    EXPECT_EQ(AdvancedSensorsDescription(false, true), base + L"\nŞu an: normal izinle çalışıyor.");
}

SensorSnapshot Pawn(bool installed, bool elevated, PawnIoState state, int32_t code = 0) {
    SensorSnapshot s;
    s.pawnIoInstalled = installed;
    s.elevated = elevated;
    s.pawnIo = {state, code};
    return s;
}

bool Has(const PawnIoRowText& row, const wchar_t* text) { return row.description.find(text) != std::wstring::npos; }

TEST(SettingsTextsTest, PawnIoRowByDriverState) {
    SensorSnapshot active = Pawn(true, true, PawnIoState::Working);
    active.pawnIoActive = true;
    EXPECT_EQ(PawnIoRow(active).description,
              L"Etkin: işlemci sıcaklığı doğrudan işlemcinin kendi sensörlerinden okunuyor.");
    EXPECT_EQ(PawnIoRow(Pawn(true, false, PawnIoState::Usable)).description,
              L"Kurulu. Gelişmiş sensörler açılınca kullanılır.");
    // Installed while this elevated process was already running.
    EXPECT_EQ(PawnIoRow(Pawn(true, true, PawnIoState::Usable)).description,
              L"Kurulu. Kalorix yeniden başlatılınca kullanılır.");
    const PawnIoRowText missing = PawnIoRow(Pawn(false, true, PawnIoState::Usable));
    EXPECT_TRUE(missing.offerDownload);
    EXPECT_EQ(missing.description.rfind(L"Kurulu değil. ", 0), 0u);

    // Failed starts give their status code and blame neither the processor nor the user.
    const std::pair<PawnIoState, const wchar_t*> failures[] = {
        {PawnIoState::ModuleRefused, L"sürücü işlemci modülünü reddetti (durum 0xC0000428)"},
        {PawnIoState::DriverUnavailable, L"sürücüsü açılamadı (durum 0xC0000428)"},
        {PawnIoState::LibraryRejected, L"PawnIOLib.dll doğrulanamadı veya yüklenemedi (durum 0xC0000428)"},
    };
    for (auto [state, text] : failures) {
        const PawnIoRowText row = PawnIoRow(Pawn(true, true, state, static_cast<int32_t>(0xC0000428)));
        EXPECT_TRUE(Has(row, text)) << row.description.size();
        EXPECT_FALSE(row.offerDownload);
        EXPECT_FALSE(Has(row, L"bu işlemcide"));
    }

    // A build without modules says what to do, installed or not, and offers no download.
    for (bool installed : {true, false}) {
        const PawnIoRowText row = PawnIoRow(Pawn(installed, false, PawnIoState::NoModules));
        EXPECT_TRUE(Has(row, L"bu derlemesi PawnIO işlemci modüllerini içermiyor"));
        EXPECT_TRUE(Has(row, L"IntelMSR.bin ve AMDFamily17.bin dosyalarını kalorix.exe ile aynı klasöre koy"));
        EXPECT_FALSE(row.offerDownload);
        EXPECT_EQ(Has(row, L"PawnIO'yu kurmak tek başına işe yaramaz"), !installed);
    }
    const PawnIoRowText unsupported = PawnIoRow(Pawn(false, true, PawnIoState::Unsupported));
    EXPECT_TRUE(Has(unsupported, L"Bu işlemci ailesi desteklenmiyor"));
    EXPECT_FALSE(unsupported.offerDownload);
    EXPECT_EQ(StatusCodeText(-1), L"0xFFFFFFFF");
}

TEST(SettingsTextsTest, ShareDescriptionCarriesAddressesAndNickname) {
    const std::wstring d = ShareDescription(L"BraveOtter417");
    EXPECT_NE(d.find(L"Toplanan veriler " + CompatibilityPageAddress() + L" sayfasında herkese açık istatistik"),
              std::wstring::npos);
    EXPECT_NE(d.find(L"takma adla (BraveOtter417) " + LeaderboardAddress() + L"'da listelenir."), std::wstring::npos);
    EXPECT_EQ(d.rfind(L"Kalorix'in hangi bilgisayarlarda", 0), 0u);
    EXPECT_EQ(PrivacyPageAddress().rfind(L"https://", 0), 0u);
    EXPECT_EQ(PrivacyPageAddress().substr(PrivacyPageAddress().size() - 10), L"/gizlilik/");
}

TEST(SettingsTextsTest, ShareStatusLineInPriorityOrder) {
    TelemetryView t;
    LocalTime sent;
    sent.day = 5;
    sent.month = 3;
    sent.year = 2026;
    sent.hour = 9;
    sent.minute = 7;
    EXPECT_EQ(ShareStatusLine(true, t, sent),
              L"Henüz gönderilmedi; ilk gönderim bilgilendirmeden en erken 1 saat sonra yapılır.");
    t.noticeAcked = true;
    EXPECT_EQ(ShareStatusLine(true, t, sent), L"Henüz gönderilmedi.");
    t.lastSentAt = 1772701620;
    EXPECT_EQ(ShareStatusLine(true, t, sent), L"Son gönderim: 05.03.2026 09:07");
    t.busy = true;
    EXPECT_EQ(ShareStatusLine(true, t, sent), L"Gönderiliyor…");
    EXPECT_EQ(ShareStatusLine(false, t, sent), L"Şu an: paylaşım kapalı, hiçbir şey gönderilmiyor.");

    EXPECT_TRUE(StatusTextIsConfirmation(L"Sunucudaki verilerin silindi; yeni bir anonim kimlik oluşturuldu."));
    EXPECT_FALSE(StatusTextIsConfirmation(L"Silinemedi: Sunucuya ulaşılamadı. Daha sonra yeniden dene."));
    EXPECT_FALSE(StatusTextIsConfirmation(L"Son gönderim başarısız: Sunucu hatası (500)"));
    EXPECT_EQ(PreviewButtonLabel(false), L"Gönderilen veriyi göster");
    EXPECT_EQ(PreviewButtonLabel(true), L"Önizlemeyi gizle");
}

TEST(WarningSliderTest, ValueMapping) {
    EXPECT_EQ(WarningSliderValue(100, 100, 400), 60);
    EXPECT_EQ(WarningSliderValue(500, 100, 400), 100);
    EXPECT_EQ(WarningSliderValue(300, 100, 400), 80);
    EXPECT_EQ(WarningSliderValue(105, 100, 400), 61);  // 0.5 of a step rounds up
    EXPECT_EQ(WarningSliderValue(104, 100, 400), 60);
    EXPECT_EQ(WarningSliderValue(-50, 100, 400), 60);   // left of the track
    EXPECT_EQ(WarningSliderValue(2000, 100, 400), 100);  // right of the track
    EXPECT_EQ(WarningSliderValue(150, 100, 0), 60);      // no track
    EXPECT_FLOAT_EQ(WarningSliderKnobX(85, 100, 400), 350);
    EXPECT_FLOAT_EQ(WarningSliderKnobX(105, 100, 400), 500);  // a limit above the slider's range
    EXPECT_FLOAT_EQ(WarningSliderKnobX(50, 100, 400), 100);
}

// A whole drag through the window's pointer rules: press on the slider, move
// to the far right, release. The value follows every move, ends at 100, and
// the release is no click.
TEST(WarningSliderTest, DragEndsAtTheRightEndWithoutAClick) {
    const ActionId slider = MakeActionId(L"set/warn");
    const ActionId other = MakeActionId(L"set/tray");
    const Rect track{300, 400, 400, 24};
    InteractionState ui;
    int value = 60;
    std::vector<int> seen;
    // One paint pass: the slider registers its region and applies the drag rule.
    auto pass = [&] {
        ui.building.push_back(HitRegion{other, 0, 0, 50, 50, true});
        ui.building.push_back(HitRegion{slider, track.x, track.y, track.w, track.h, true});
        WarningSliderDrag(ui, slider, track.x, track.w, value);
        seen.push_back(value);
        FinishPass(ui);
    };
    pass();
    PointerMove(ui, 300, 410);
    EXPECT_EQ(ui.hovered, slider);
    PointerDown(ui, 300, 410);
    pass();
    EXPECT_TRUE(ui.dragging);
    EXPECT_EQ(value, 60);
    for (float x : {400.0f, 500.0f, 650.0f, 900.0f}) {  // past the end and off the region
        EXPECT_TRUE(PointerMove(ui, x, 470));            // dragging repaints on every move
        pass();
    }
    EXPECT_EQ(seen, (std::vector<int>{60, 60, 70, 80, 95, 100}));
    PointerMove(ui, 699, 410);  // back onto the slider's right end before the release
    EXPECT_EQ(ui.hovered, slider);
    pass();
    PointerUp(ui, 699, 410);
    EXPECT_EQ(ui.clicked, 0u);
    EXPECT_FALSE(ui.dragging);
    pass();
    EXPECT_EQ(value, 100);  // released: the value stays

    // Not pressed: nothing changes, the pointer may be anywhere.
    ui.pointerX = 300;
    EXPECT_FALSE(WarningSliderDrag(ui, slider, track.x, track.w, value));
    EXPECT_FALSE(ui.dragging);
    // Pressed but the pointer left the window: dragging, value kept.
    ui.pressed = slider;
    ui.pointerX = -1;
    EXPECT_FALSE(WarningSliderDrag(ui, slider, track.x, track.w, value));
    EXPECT_TRUE(ui.dragging);
    EXPECT_EQ(value, 100);
}

}  // namespace
}  // namespace kalorix
