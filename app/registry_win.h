// Reading registry strings of any length.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kalorix {

// A REG_SZ value, or nothing when it is missing or of another type.
std::optional<std::wstring> RegReadString(HKEY root, const wchar_t* key, const wchar_t* value);
// The same with blanks trimmed at both ends; empty when missing.
std::wstring RegReadTrimmed(HKEY root, const wchar_t* key, const wchar_t* value);

}  // namespace kalorix
