// The benchmark child: "kalorix.exe --bench KIND" runs one test and reports on stdout.
#pragma once

#include <string>

namespace kalorix {

int RunBenchChild(const std::wstring& commandLine);

}  // namespace kalorix
