// TrayIcon: the notification-area icon the main window owns.
//
// What the window calls (main thread only):
//   WM_CREATE / Create:   tray_.Add(hwnd);                    then tray_.Refresh(snapshot, settings)
//   0x8001 (snapshot):    tray_.Refresh(snapshot, settings);  overheating: tray_.MaybeNotifyOverheat(...)
//   "TaskbarCreated":     tray_.OnTaskbarCreated(hwnd, snapshot, settings)
//                         (register it with TrayIcon::TaskbarCreatedMessage() and
//                         ChangeWindowMessageFilterEx)
//   0x8002 (callback):    switch (ClassifyTrayCallback(LOWORD(lParam))) (ui/tray.h):
//                         Menu -> int cmd = tray_.ShowMenu(hwnd, snapshot, settings, autostartOn);
//                                 the window performs TrayCommand cmd (1 open, 2 always on
//                                 top, 3 autostart, 4 exit; 0 dismissed)
//                         ToggleWindow / ShowWindow -> the window shows or hides itself
//   hide to the tray:     tray_.HideToTray(hwnd, &toolkit_); then window shown := false and
//                         the sampler interval := max(UpdateIntervalMs, 2000)
//   WM_DESTROY:           tray_.Remove();
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/scoped_win.h"
#include "ui/recent_cache.h"
#include "ui/tray.h"

namespace kalorix {

class DrawingToolkit;

class TrayIcon {
public:
    // The shell call; tests replace it to see every NIM_* request.
    using ShellNotify = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;

    explicit TrayIcon(HINSTANCE instance = nullptr);
    ~TrayIcon();  // Remove()
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // NIM_ADD (icon id 1, callback message, current icon or icon resource 101,
    // tooltip "Kalorix"), then NIM_SETVERSION 4. Returns whether NIM_ADD worked.
    bool Add(HWND window, UINT callbackMessage = kMsgTray);
    // New icon only when text|level changed (rendered number, or the app icon for
    // an empty text; a failed rendering keeps the old icon); rendered numbers are
    // kept for reuse; tooltip cut to 127 units; NIM_MODIFY while added.
    void Update(const std::wstring& iconText, int level, const std::wstring& tooltip);
    // Update() from the snapshot and settings (number, level, tooltip).
    void Refresh(const SensorSnapshot& snapshot, const Settings& settings);
    // kind 0 information, 1 warning. Only while added. False when not shown.
    bool ShowBalloon(const std::wstring& title, const std::wstring& text, int kind);
    // NIM_DELETE when added; destroys an owned icon.
    void Remove();
    // Explorer restarted: added := false, Add again, Refresh at once.
    void OnTaskbarCreated(HWND window, const SensorSnapshot& snapshot, const Settings& settings);

    // Pops the context menu at the cursor and returns the chosen TrayCommand
    // (kTrayCmdNone when dismissed). The window carries out the command.
    int ShowMenu(HWND window, const SensorSnapshot& snapshot, const Settings& settings, bool autostartOn);

    // SW_HIDE; the hint balloon the first time in this process; releases the
    // toolkit's device resources (when given) and trims the working set.
    void HideToTray(HWND window, DrawingToolkit* toolkit);

    // Overheating balloons from the snapshot handler (OverheatNotifier): a
    // warning when a limit is passed, "normal again" after it, at most one
    // every five minutes, only with TrayNotifications on. True when shown.
    bool MaybeNotifyOverheat(const SensorSnapshot& snapshot, const Settings& settings, uint64_t nowTickMs);

    // The registered "TaskbarCreated" message (registered once per process).
    static UINT TaskbarCreatedMessage();
    // The context menu itself (header grayed, commands 1 to 4); caller destroys it.
    static HMENU BuildMenu(const std::wstring& header, bool alwaysOnTop, bool autostartOn);

    void SetShellNotifyForTest(ShellNotify shell) { shell_ = std::move(shell); }

    bool added() const { return added_; }
    HICON icon() const { return icon_; }
    const std::wstring& iconKey() const { return iconKey_; }
    bool hintShown() const { return hintShown_; }
    const NOTIFYICONDATAW& notifyData() const { return data_; }
    const OverheatLimiter& overheatLimiter() const { return overheat_.limiter(); }

private:
    HICON LoadAppIcon() const;
    HICON NumberIcon(const std::wstring& key, const std::wstring& text, int level);
    void SetIcon(HICON icon, bool owned);

    HINSTANCE instance_;
    NOTIFYICONDATAW data_{};
    bool added_ = false;
    HICON icon_ = nullptr;
    bool ownsIcon_ = false;
    std::wstring iconKey_;
    bool hintShown_ = false;
    UINT callbackMessage_ = kMsgTray;
    OverheatNotifier overheat_;
    RecentCache<UniqueIcon> rendered_{24};  // numbers drawn before, by icon key; owns them
    ShellNotify shell_;
};

}  // namespace kalorix
