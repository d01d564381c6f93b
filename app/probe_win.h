// "kalorix.exe --probe": runs the real sampling engine with the real providers for a
// few cycles and prints what this machine reports (UTF-8 on standard output).
#pragma once

#include <string>

namespace kalorix {

int RunProbe(const std::wstring& commandLine);

}  // namespace kalorix
