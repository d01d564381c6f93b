#include "ui/main_window_win.h"

namespace kalorix {

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}
MainWindow::~MainWindow() {}
bool MainWindow::create(bool) { return false; }

}  // namespace kalorix
