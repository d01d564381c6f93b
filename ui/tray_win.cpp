#include "ui/tray_win.h"

namespace kalorix {

TrayIcon::TrayIcon(HINSTANCE instance) : instance_(instance) {}
TrayIcon::~TrayIcon() { Remove(); }
bool TrayIcon::Add(HWND, UINT) { return false; }
void TrayIcon::Update(const std::wstring&, int, const std::wstring&) {}
void TrayIcon::Refresh(const SensorSnapshot&, const Settings&) {}
bool TrayIcon::ShowBalloon(const std::wstring&, const std::wstring&, int) { return false; }
void TrayIcon::Remove() {}
void TrayIcon::OnTaskbarCreated(HWND, const SensorSnapshot&, const Settings&) {}
int TrayIcon::ShowMenu(HWND, const SensorSnapshot&, const Settings&, bool) { return kTrayCmdNone; }
void TrayIcon::HideToTray(HWND, DrawingToolkit*) {}
bool TrayIcon::MaybeNotifyOverheat(const SensorSnapshot&, const Settings&, uint64_t) { return false; }
UINT TrayIcon::TaskbarCreatedMessage() { return 0; }
HICON TrayIcon::LoadAppIcon() const { return nullptr; }
void TrayIcon::SetIcon(HICON, bool) {}

}  // namespace kalorix
