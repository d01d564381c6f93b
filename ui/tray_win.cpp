#include "ui/tray_win.h"

#include <algorithm>

#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

constexpr UINT kIconId = 1;
constexpr wchar_t kHintTitle[] = L"Kalorix arka planda çalışıyor";
constexpr wchar_t kHintText[] =
    L"Sıcaklıkları izlemeye devam ediyorum. Açmak için saatin yanındaki simgeye tıkla.";

template <size_t N>
void CopyTruncated(wchar_t (&dest)[N], const std::wstring& text) {
    std::wstring cut = TruncateUtf16(text, N - 1);
    std::fill(std::begin(dest), std::end(dest), L'\0');
    std::copy(cut.begin(), cut.end(), dest);
}

}  // namespace

static_assert(sizeof(NOTIFYICONDATAW) == 976, "NOTIFYICONDATAW layout of the 64-bit shell");

TrayIcon::TrayIcon(HINSTANCE instance)
    : instance_(instance ? instance : GetModuleHandleW(nullptr)),
      shell_([](DWORD message, NOTIFYICONDATAW* data) { return Shell_NotifyIconW(message, data); }) {}

TrayIcon::~TrayIcon() { Remove(); }

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

HICON TrayIcon::LoadAppIcon() const {
    return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         LR_DEFAULTCOLOR));
}

// A rendered number from the cache, or drawn now and kept. The shown icon is
// always the most recently used, so the cache never drops it while shown.
HICON TrayIcon::NumberIcon(const std::wstring& key, const std::wstring& text, int level) {
    if (UniqueIcon* kept = rendered_.find(key)) return kept->get();
    HICON made = DrawingToolkit::RenderTrayIcon(text, level);
    if (!made) return nullptr;
    return rendered_.insert(key, UniqueIcon(made)).get();
}

void TrayIcon::SetIcon(HICON icon, bool owned) {
    if (!icon || icon == icon_) return;
    if (icon_ && ownsIcon_) DestroyIcon(icon_);
    icon_ = icon;
    ownsIcon_ = owned;
    data_.hIcon = icon_;
}

bool TrayIcon::Add(HWND window, UINT callbackMessage) {
    callbackMessage_ = callbackMessage;
    data_ = NOTIFYICONDATAW{};
    data_.cbSize = sizeof(NOTIFYICONDATAW);
    data_.hWnd = window;
    data_.uID = kIconId;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data_.uCallbackMessage = callbackMessage;
    if (!icon_) SetIcon(LoadAppIcon(), true);
    data_.hIcon = icon_;
    CopyTruncated(data_.szTip, L"Kalorix");
    added_ = shell_(NIM_ADD, &data_) != FALSE;
    data_.uVersion = NOTIFYICON_VERSION_4;
    shell_(NIM_SETVERSION, &data_);
    return added_;
}

void TrayIcon::Update(const std::wstring& iconText, int level, const std::wstring& tooltip) {
    const std::wstring key = TrayIconKey(iconText, level);
    if (key != iconKey_) {
        // On failure the old icon stays and the key is not taken, so the next
        // refresh tries again.
        if (iconText.empty()) {
            if (HICON app = LoadAppIcon()) {
                SetIcon(app, true);
                iconKey_ = key;
            }
        } else if (HICON number = NumberIcon(key, iconText, level)) {
            SetIcon(number, false);  // the cache owns it
            iconKey_ = key;
        }
    }
    CopyTruncated(data_.szTip, tooltip);
    if (added_) {
        data_.uFlags = NIF_ICON | NIF_TIP | NIF_SHOWTIP;
        shell_(NIM_MODIFY, &data_);
    }
}

void TrayIcon::Refresh(const SensorSnapshot& snapshot, const Settings& settings) {
    TrayIconContent content = MakeTrayIconContent(snapshot, settings);
    Update(content.text, content.level, MakeTrayTooltip(snapshot, settings.UseFahrenheit));
}

bool TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text, int kind) {
    if (!added_) return false;
    NOTIFYICONDATAW balloon = data_;
    balloon.uFlags = NIF_INFO;
    CopyTruncated(balloon.szInfoTitle, title);
    CopyTruncated(balloon.szInfo, text);
    balloon.dwInfoFlags = static_cast<DWORD>(kind + 1);  // NIIF_INFO, NIIF_WARNING
    return shell_(NIM_MODIFY, &balloon) != FALSE;
}

void TrayIcon::Remove() {
    if (added_) {
        shell_(NIM_DELETE, &data_);
        added_ = false;
    }
    if (icon_ && ownsIcon_) DestroyIcon(icon_);
    icon_ = nullptr;
    ownsIcon_ = false;
    data_.hIcon = nullptr;
    iconKey_.clear();
}

void TrayIcon::OnTaskbarCreated(HWND window, const SensorSnapshot& snapshot, const Settings& settings) {
    added_ = false;
    Add(window, callbackMessage_);
    Refresh(snapshot, settings);
}

HMENU TrayIcon::BuildMenu(const std::wstring& header, bool alwaysOnTop, bool autostartOn) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    constexpr UINT kHeaderId = 100;  // never returned: the item is disabled
    AppendMenuW(menu, MF_STRING | MF_GRAYED, kHeaderId, header.c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kTrayCmdOpen, L"Kalorix'i aç");
    AppendMenuW(menu, MF_STRING | (alwaysOnTop ? MF_CHECKED : MF_UNCHECKED), kTrayCmdAlwaysOnTop,
                L"Her zaman üstte");
    AppendMenuW(menu, MF_STRING | (autostartOn ? MF_CHECKED : MF_UNCHECKED), kTrayCmdAutostart,
                L"Windows ile başlat");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kTrayCmdExit, L"Çıkış");
    SetMenuDefaultItem(menu, kTrayCmdOpen, FALSE);
    return menu;
}

int TrayIcon::ShowMenu(HWND window, const SensorSnapshot& snapshot, const Settings& settings, bool autostartOn) {
    HMENU menu = BuildMenu(MakeTrayMenuHeader(snapshot, settings.UseFahrenheit), settings.AlwaysOnTop, autostartOn);
    if (!menu) return kTrayCmdNone;
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(window);
    int command = static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, cursor.x,
                                                    cursor.y, window, nullptr));
    DestroyMenu(menu);
    PostMessageW(window, WM_NULL, 0, 0);
    return (command >= kTrayCmdOpen && command <= kTrayCmdExit) ? command : kTrayCmdNone;
}

void TrayIcon::HideToTray(HWND window, DrawingToolkit* toolkit) {
    if (window) ShowWindow(window, SW_HIDE);
    if (!hintShown_) {
        hintShown_ = true;
        ShowBalloon(kHintTitle, kHintText, 0);
    }
    if (toolkit) toolkit->ReleaseDeviceResources();
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

bool TrayIcon::MaybeNotifyOverheat(const SensorSnapshot& snapshot, const Settings& settings, uint64_t nowTickMs) {
    const std::optional<TrayNotice> notice = overheat_.Update(snapshot, settings, nowTickMs);
    if (!notice) return false;
    return ShowBalloon(notice->title, notice->text, notice->kind == TrayNoticeKind::Warning ? 1 : 0);
}

}  // namespace kalorix
