// Windows GUI entry point.
#include <windows.h>

#include "app/process_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    return kalorix::RunProcess(instance, commandLine ? commandLine : L"");
}
