// The one window of the monitor.
#pragma once

#include <windows.h>

namespace kalorix {

class MainWindow {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window (hidden in tray mode); false when it cannot be created.
    bool create(bool hidden);
    HWND hwnd() const { return hwnd_; }

private:
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
};

}  // namespace kalorix
