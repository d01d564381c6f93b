// One synchronous WQL query against one WMI namespace. The caller must have
// initialised COM on its thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

#include "inventory/wmi_row.h"

namespace kalorix {

// Every object the query yields, in enumerator order, with the requested
// properties as text. Never throws; any failure gives fewer rows or none.
std::vector<WmiRow> WmiQuery(const std::wstring& wmiNamespace, const std::wstring& query,
                             const std::vector<std::wstring>& properties);

// The text a property value contributes to a row: nothing for an empty or
// null value or one that does not convert to a string, else the string
// trimmed of spaces. Does not change `value`.
std::optional<std::wstring> WmiValueText(const VARIANT& value);

}  // namespace kalorix
