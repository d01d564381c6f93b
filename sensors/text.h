// Small text helpers shared by the portable code: UTF-8 <-> wide conversion
// (wchar_t is UTF-16 on Windows and UTF-32 elsewhere) and trimming.
#pragma once

#include <string>
#include <string_view>

namespace kalorix {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Removes leading and trailing U+0020 only.
std::wstring TrimSpaces(std::wstring_view text);
std::string TrimSpaces(std::string_view text);

// Lower-cases A-Z only (identifiers and counter instance names are ASCII).
std::wstring ToLowerAscii(std::wstring_view text);
std::wstring ToUpperAscii(std::wstring_view text);

bool EndsWith(std::wstring_view text, std::wstring_view suffix);
bool StartsWith(std::wstring_view text, std::wstring_view prefix);

}  // namespace kalorix
