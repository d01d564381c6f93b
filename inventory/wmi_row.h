// One WMI result object as text, and the small helpers the inventory applies
// to such rows. WmiQuery (wmi_win.h) produces the rows; everything here is
// portable so recorded rows can be examined anywhere.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kalorix {

// Property name -> value text. A property whose value was empty or null is
// absent; a blank string is present as empty text.
using WmiRow = std::map<std::wstring, std::wstring>;

// The value text, or an empty string when the row lacks the property.
std::wstring RowText(const WmiRow& row, std::wstring_view name);

// The value parsed like wcstod (leading number only); 0 when the property is
// absent, empty, not a number or not finite.
double RowNumber(const WmiRow& row, std::wstring_view name);

// "yyyymmdd..." (CIM datetime) -> "dd.mm.yyyy"; empty for texts shorter than 8.
std::wstring CimDateToText(std::wstring_view text);

// The non-empty parts joined by the separator.
std::wstring JoinNonEmpty(const std::vector<std::wstring>& parts, std::wstring_view separator);
std::wstring JoinNonEmpty(std::initializer_list<std::wstring> parts, std::wstring_view separator);

}  // namespace kalorix
