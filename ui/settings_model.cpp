#include "ui/settings_model.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cwchar>

#include "sensors/format.h"
#include "ui/page_models.h"

namespace kalorix {

// ---- choice tables ----

const IntChoices& IntervalChoices() {
    static const IntChoices choices{{L"0,5 sn", L"1 sn", L"2 sn", L"5 sn"}, {500, 1000, 2000, 5000}};
    return choices;
}

const IntChoices& SpanChoices() {
    static const IntChoices choices{{L"1 dk", L"5 dk", L"10 dk", L"30 dk"}, {60, 300, 600, 1800}};
    return choices;
}

const std::vector<std::wstring>& UnitLabels() {
    static const std::vector<std::wstring> labels{L"°C  Celsius", L"°F  Fahrenheit"};
    return labels;
}

int ChoiceIndex(const IntChoices& choices, int32_t value) {
    const auto it = std::find(choices.values.begin(), choices.values.end(), value);
    return it == choices.values.end() ? -1 : static_cast<int>(it - choices.values.begin());
}

std::optional<int32_t> ChoiceValue(const IntChoices& choices, int index) {
    if (index < 0 || index >= static_cast<int>(choices.values.size())) return std::nullopt;
    return choices.values[static_cast<size_t>(index)];
}

// ---- texts ----

SettingRowText IntervalRowText() {
    return {L"Güncelleme sıklığı",
            L"Sensörlerin ne sıklıkla okunacağı. Daha kısa aralık biraz daha fazla işlemci kullanır."};
}

SettingRowText SpanRowText() {
    return {L"Grafik süresi", L"Sıcaklık geçmişi grafiğinde gösterilen zaman aralığı."};
}

SettingRowText UnitRowText() { return {L"Sıcaklık birimi", L""}; }

SettingRowText SmoothingRowText() {
    return {L"İşlemci sıcaklığını yumuşat",
            L"Modern işlemcilerde tek bir çekirdek boost'a çıktığında sıcaklık saniyenin altında 20–40° sıçrayıp geri "
            L"iner; bu gerçektir ama göstergeyi zıplatır. Açıkken kart, grafik, tepsi ve uyarılar birkaç saniyelik "
            L"ortalamayı gösterir. 'En yüksek' değeri ve Sensörler sayfası her zaman ham ölçümü gösterir."};
}

SettingRowText WarningRowText() {
    return {L"Aşırı ısınma uyarısı",
            L"İşlemci veya ekran kartı bu sıcaklığa ulaştığında uyarı gösterilir; kartlar 15° öncesinden turuncuya "
            L"döner."};
}

const std::vector<TrayToggleRow>& TrayToggleRows() {
    static const std::vector<TrayToggleRow> rows{
        {L"Windows ile başlat", L"Oturum açıldığında Kalorix saatin yanında sessizce başlar.", L"set/startup",
         nullptr},
        {L"Kapatınca tepsiye küçült",
         L"Pencereyi kapatmak uygulamayı sonlandırmaz; izleme arka planda sürer. Tamamen çıkmak için tepsi "
         L"menüsünden 'Çıkış'ı seç.",
         L"set/tray", &Settings::MinimizeToTray},
        {L"Tepside sıcaklığı göster",
         L"Tepsi simgesi işlemci sıcaklığını gösterir ve sıcaklığa göre renk değiştirir.", L"set/traytemp",
         &Settings::ShowTempInTray},
        {L"Aşırı ısınma bildirimi",
         L"Uyarı sınırı aşıldığında Windows bildirimi gösterilir (en fazla 5 dakikada bir).", L"set/notify",
         &Settings::TrayNotifications},
        {L"Her zaman üstte", L"Oyun veya yoğun iş sırasında sıcaklıkları göz önünde tut.", L"set/topmost",
         &Settings::AlwaysOnTop},
    };
    return rows;
}

SettingRowText SensorLogRowText() {
    return {L"Sensör kaydı",
            L"Her sensörün değeri seçilen aralıkla günlük CSV dosyalarına yazılır (Kalorix-sensorler-YYYY-AA-GG.csv); "
            L"dosyalar Excel'de ya da bir betikle açılabilir. Sıcaklıklar her zaman °C'dir."};
}

SettingRowText SensorLogFormatRowText() {
    return {L"Kayıt biçimi",
            L"Excel (Türkçe): noktalı virgül ve ondalık virgül; Türkçe Excel sütunlara ayırarak açar. Standart CSV: "
            L"virgül ve ondalık nokta; betikler ve diğer programlar için."};
}

SettingRowText SensorLogIntervalRowText() {
    return {L"Kayıt sıklığı", L"'Her güncelleme' sensörlerin her okunuşunda bir satır yazar."};
}

SettingRowText SensorLogDaysRowText() {
    return {L"Kayıtları sakla", L"Daha eski günlerin dosyaları açılışta ve gece yarısı silinir."};
}

SettingRowText TraySourceRowText() {
    return {L"Tepside gösterilen sıcaklık", L"Tepsi simgesindeki sayı; ipucu her zaman ikisini de gösterir."};
}

const IntChoices& SensorLogIntervalChoices() {
    static const IntChoices choices{{L"Her güncelleme", L"5 sn", L"30 sn", L"60 sn"}, {0, 5, 30, 60}};
    return choices;
}

const IntChoices& SensorLogDaysChoices() {
    static const IntChoices choices{{L"7 gün", L"30 gün", L"365 gün", L"Hepsi"}, {7, 30, 365, 0}};
    return choices;
}

const WordChoices& SensorLogFormatChoices() {
    static const WordChoices choices{{L"Excel (Türkçe)", L"Standart CSV"}, {"tr", "standard"}};
    return choices;
}

const WordChoices& TraySourceChoices() {
    static const WordChoices choices{{L"İşlemci", L"Ekran kartı"}, {"cpu", "gpu"}};
    return choices;
}

int WordChoiceIndex(const WordChoices& choices, const std::string& value) {
    const auto it = std::find(choices.values.begin(), choices.values.end(), value);
    return it == choices.values.end() ? -1 : static_cast<int>(it - choices.values.begin());
}

std::wstring SensorLogDescription(const SensorLogView& log) {
    std::wstring text = SensorLogRowText().description;
    text += L"\nKayıtlar klasörü: " + FormatBytes(static_cast<double>(log.folderBytes));
    if (log.dropped > 0) text += L" · yazılamadan atlanan satır: " + std::to_wstring(log.dropped);
    return text;
}

std::wstring AdvancedSensorsDescription(bool elevated, bool advancedSensorsOn) {
    std::wstring text =
        L"Bazı bilgileri Windows yalnızca yönetici izniyle verir: MSI cihazlarda fan hızları, PawnIO kuruluysa "
        L"çekirdek başına işlemci sıcaklıkları. Açınca Kalorix bir kez izin ister ve yeniden başlar.";
    text += elevated ? L"\nŞu an: yönetici olarak çalışıyor." : L"\nŞu an: normal izinle çalışıyor.";
    if (elevated && !advancedSensorsOn) text += L" Bir sonraki açılışta normal izinle başlar.";
    return text;
}

std::wstring StatusCodeText(int32_t code) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"0x%08X", static_cast<unsigned>(code));
    return text;
}

PawnIoRowText PawnIoRow(const SensorSnapshot& s) {
    const std::wstring code = L" (durum " + StatusCodeText(s.pawnIo.code) + L")";
    if (s.pawnIoActive) return {L"Etkin: işlemci sıcaklığı doğrudan işlemcinin kendi sensörlerinden okunuyor.", false};
    switch (s.pawnIo.state) {
        case PawnIoState::Unsupported:
            return {L"Bu işlemci ailesi desteklenmiyor: PawnIO modülleri Intel ve AMD Ryzen işlemciler içindir. "
                    L"İşlemci sıcaklığı diğer kaynaklardan okunur.",
                    false};
        case PawnIoState::NoModules:
            return {std::wstring(s.pawnIoInstalled ? L"Kurulu, ancak " : L"") +
                        L"Kalorix'in bu derlemesi PawnIO işlemci modüllerini içermiyor" +
                        (s.pawnIoInstalled ? L"." : L"; PawnIO'yu kurmak tek başına işe yaramaz.") +
                        L" İmzalı IntelMSR.bin ve AMDFamily17.bin dosyalarını kalorix.exe ile aynı klasöre koy ya "
                        L"da modülleri içeren resmi Kalorix sürümünü kullan; sonra Kalorix'i yeniden başlat.",
                    false};
        default: break;
    }
    if (!s.pawnIoInstalled)
        return {L"Kurulu değil. İşlemci sıcaklığı hiç görünmüyorsa veya daha isabetli ölçüm istiyorsan bu ücretsiz, "
                L"imzalı sürücüyü kurabilirsin.",
                true};
    switch (s.pawnIo.state) {
        case PawnIoState::LibraryRejected:
            return {L"Kurulu, ancak PawnIOLib.dll doğrulanamadı veya yüklenemedi" + code +
                        L". PawnIO'yu resmi kurulum dosyasıyla yeniden kur.",
                    false};
        case PawnIoState::DriverUnavailable:
            return {L"Kurulu, ancak PawnIO sürücüsü açılamadı" + code +
                        L". PawnIO'yu yeniden kurup bilgisayarı yeniden başlatmayı dene.",
                    false};
        case PawnIoState::ModuleRefused:
            return {L"Kurulu, ancak sürücü işlemci modülünü reddetti" + code +
                        L". PawnIO'yu güncel sürümüyle yeniden kurmak genellikle çözer.",
                    false};
        case PawnIoState::NoReading:
            return {L"Kurulu ve modül yüklendi, ancak ilk sıcaklık okuması başarısız oldu; işlemci sıcaklığı diğer "
                    L"kaynaklardan okunur.",
                    false};
        default: break;
    }
    if (s.elevated) return {L"Kurulu. Kalorix yeniden başlatılınca kullanılır.", false};
    return {L"Kurulu. Gelişmiş sensörler açılınca kullanılır.", false};
}

std::wstring CompatibilityPageAddress() { return std::wstring(kServiceHost) + L"/uyumluluk"; }
std::wstring LeaderboardAddress() { return std::wstring(kServiceHost) + L"/skorlar"; }
std::wstring PrivacyPageAddress() { return L"https://" + std::wstring(kServiceHost) + L"/gizlilik/"; }

std::wstring ShareDescription(const std::wstring& nickname) {
    return L"Kalorix'in hangi bilgisayarlarda hangi sensörleri okuyabildiğini öğrenmek için donanım modeli, sensör "
           L"durumu ve test puanları anonim olarak gönderilir. Adın, kullanıcı adın, bilgisayarının adı, seri "
           L"numaraları, dosyaların ya da IP adresin gönderilmez. Toplanan veriler " +
           CompatibilityPageAddress() +
           L" sayfasında herkese açık istatistik olarak yayımlanır. Test puanların da bilgisayarının özellikleriyle "
           L"birlikte takma adla (" +
           nickname + L") " + LeaderboardAddress() + L"'da listelenir.";
}

std::wstring ShareStatusLine(bool shareData, const TelemetryView& t, const LocalTime& sent) {
    if (!shareData) return L"Şu an: paylaşım kapalı, hiçbir şey gönderilmiyor.";
    if (t.busy) return L"Gönderiliyor…";
    if (t.lastSentAt != 0) {
        wchar_t buffer[64];
        std::swprintf(buffer, 64, L"Son gönderim: %02u.%02u.%u %02u:%02u", unsigned{sent.day}, unsigned{sent.month},
                      unsigned{sent.year}, unsigned{sent.hour}, unsigned{sent.minute});
        return buffer;
    }
    if (t.noticeAcked) return L"Henüz gönderilmedi.";
    return L"Henüz gönderilmedi; ilk gönderim bilgilendirmeden en erken 1 saat sonra yapılır.";
}

bool StatusTextIsConfirmation(const std::wstring& statusText) {
    return statusText.rfind(L"Sunucudaki", 0) == 0;
}

std::wstring PreviewButtonLabel(bool previewVisible) {
    return previewVisible ? L"Önizlemeyi gizle" : L"Gönderilen veriyi göster";
}

std::wstring MetricsDescription() {
    return L"Prometheus gibi izleme araçları bu bilgisayarın sıcaklık, yük, saat hızı, güç ve fan değerlerini HTTP "
           L"üzerinden okuyabilir (/metrics; aynı veriler JSON olarak /data.json). Birden çok bilgisayarı tek "
           L"yerden izlemek için.";
}

std::wstring MetricsListenAllDescription() {
    return L"Kapalıyken yalnızca bu bilgisayardan erişilebilir. Açınca ağdaki diğer bilgisayarlar da okuyabilir; her "
           L"istek bir erişim belirteci ister (Authorization: Bearer). Belirteç açarken bir kez gösterilir; kaybedersen "
           L"bu anahtarı kapatıp yeniden aç.";
}

std::wstring MetricsAddress(const MetricsView& view, bool hidePersonalInfo) {
    std::wstring host = L"127.0.0.1";
    if (view.listenAll) host = hidePersonalInfo || view.host.empty() ? L"<bilgisayar-adı>" : view.host;
    return L"http://" + host + L":" + std::to_wstring(view.port) + L"/metrics";
}

MetricsStatusText MetricsStatusLine(bool enabled, const MetricsView& view, bool hidePersonalInfo) {
    if (!enabled) return {L"Şu an: kapalı.", false};
    const std::wstring port = std::to_wstring(view.port);
    switch (view.state) {
        case MetricsState::Listening: {
            std::wstring text = L"Adres: " + MetricsAddress(view, hidePersonalInfo);
            if (view.listenAll) return {text + L" (ağdaki bilgisayarlardan, erişim belirteciyle)", false};
            text += L" (yalnızca bu bilgisayardan)";
            if (view.tokenMissing)
                return {text + L". Erişim belirteci eksik veya 16 karakterden kısa olduğu için ağa açılmadı.", true};
            return {text, false};
        }
        case MetricsState::PortInUse:
            return {port + L" numaralı bağlantı noktası başka bir program tarafından kullanılıyor; uzaktan izleme "
                           L"başlatılamadı. O programı kapatıp bu anahtarı yeniden aç ya da settings.json "
                           L"dosyasındaki MetricsPort değerini değiştir.",
                    true};
        case MetricsState::Failed:
            return {L"Uzaktan izleme başlatılamadı (Winsock hatası " + std::to_wstring(view.error) + L").", true};
        case MetricsState::Off: break;
    }
    return {L"Şu an: kapalı.", false};
}

std::wstring AboutText() {
    return L"Kalorix sensörleri Windows'un kendi arayüzleriyle okur: performans sayaçları, ekran kartı sürücüsünün "
           L"D3DKMT arayüzü, depolama ve pil sorguları ile WMI. İsteğe bağlı PawnIO desteği imzalı PawnIO "
           L"modüllerini (LGPL-2.1) kullanır.";
}

LocalTime ToLocalTime(int64_t unixSeconds) {
    LocalTime out;
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &t) != 0) return out;
#else
    if (localtime_r(&t, &local) == nullptr) return out;
#endif
    out.year = static_cast<uint16_t>(local.tm_year + 1900);
    out.month = static_cast<uint16_t>(local.tm_mon + 1);
    out.day = static_cast<uint16_t>(local.tm_mday);
    out.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    out.hour = static_cast<uint16_t>(local.tm_hour);
    out.minute = static_cast<uint16_t>(local.tm_min);
    out.second = static_cast<uint16_t>(local.tm_sec);
    return out;
}

}  // namespace kalorix
