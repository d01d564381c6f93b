// The Settings page's model: hand-edited choices, the tray rows' bindings and the texts that depend on state.
#include "ui/settings_model.h"

#include <gtest/gtest.h>

#include <set>

namespace kalorix {
namespace {

TEST(SettingsChoicesTest, HandEditedValuesSelectNothing) {
    EXPECT_TRUE(ChoiceIndex(IntervalChoices(), 750) == -1 && ChoiceValue(IntervalChoices(), -1) == std::nullopt);
}

TEST(SettingsTextsTest, TrayRowsBindDistinctFieldsAndActions) {
    const auto& rows = TrayToggleRows();
    EXPECT_EQ(rows[0].member, nullptr);  // autostart lives outside the settings file
    Settings s;
    s.MinimizeToTray = s.ShowTempInTray = s.TrayNotifications = s.AlwaysOnTop = false;
    std::set<ActionId> ids;
    for (size_t i = 0; i < rows.size(); ++i) {
        ids.insert(MakeActionId(std::wstring_view(rows[i].action)));
        if (i > 0) s.*rows[i].member = true;
    }
    EXPECT_TRUE(s.MinimizeToTray && s.ShowTempInTray && s.TrayNotifications && s.AlwaysOnTop);
    EXPECT_EQ(ids.size(), rows.size());  // action ids are the controls' region ids
}

TEST(SettingsTextsTest, AdvancedSensorsDescriptionByElevation) {
    EXPECT_TRUE(AdvancedSensorsDescription(true, false).ends_with(
        L"\nŞu an: yönetici olarak çalışıyor. Bir sonraki açılışta normal izinle başlar."));
}

SensorSnapshot Pawn(bool installed, bool elevated, PawnIoState state, int32_t code = 0) {
    SensorSnapshot s;
    return s.pawnIoInstalled = installed, s.elevated = elevated, s.pawnIo = {state, code}, s;
}

bool Has(const PawnIoRowText& row, const wchar_t* text) { return row.description.find(text) != std::wstring::npos; }

TEST(SettingsTextsTest, PawnIoRowByDriverState) {
    EXPECT_EQ(PawnIoRow(Pawn(true, true, PawnIoState::Usable)).description,  // installed while this elevated process ran
              L"Kurulu. Kalorix yeniden başlatılınca kullanılır.");
    // Failed starts give their status code and blame neither the processor nor the user.
    for (PawnIoState state : {PawnIoState::ModuleRefused, PawnIoState::DriverUnavailable, PawnIoState::LibraryRejected}) {
        const PawnIoRowText row = PawnIoRow(Pawn(true, true, state, static_cast<int32_t>(0xC0000428)));
        EXPECT_TRUE(Has(row, L"(durum 0xC0000428)") && !row.offerDownload && !Has(row, L"bu işlemcide"))
            << static_cast<int>(state);
    }
    // A build without modules says what to do and offers no download.
    const PawnIoRowText row = PawnIoRow(Pawn(false, false, PawnIoState::NoModules));
    EXPECT_TRUE(Has(row, L"IntelMSR.bin ve AMDFamily17.bin dosyalarını kalorix.exe ile aynı klasöre koy") &&
                Has(row, L"PawnIO'yu kurmak tek başına işe yaramaz") && !row.offerDownload);
    EXPECT_FALSE(PawnIoRow(Pawn(false, true, PawnIoState::Unsupported)).offerDownload);
}

TEST(SettingsTextsTest, ShareTextsInPriorityOrder) {
    EXPECT_NE(ShareDescription(L"BraveOtter417").find(L"takma adla (BraveOtter417) " + LeaderboardAddress()), std::wstring::npos);
    TelemetryView t;
    LocalTime sent{.year = 2026, .month = 3, .day = 5, .hour = 9, .minute = 7};
    EXPECT_EQ(ShareStatusLine(true, t, sent),
              L"Henüz gönderilmedi; ilk gönderim bilgilendirmeden en erken 1 saat sonra yapılır.");
    t.noticeAcked = true, t.lastSentAt = 1772701620;

    EXPECT_EQ(ShareStatusLine(true, t, sent), L"Son gönderim: 05.03.2026 09:07");
    t.busy = true;
    EXPECT_EQ(ShareStatusLine(true, t, sent), L"Gönderiliyor…");
    EXPECT_TRUE(StatusTextIsConfirmation(L"Sunucudaki verilerin silindi; yeni bir anonim kimlik oluşturuldu."));
    EXPECT_FALSE(StatusTextIsConfirmation(L"Silinemedi: Sunucuya ulaşılamadı. Daha sonra yeniden dene."));
}

}  // namespace
}  // namespace kalorix
