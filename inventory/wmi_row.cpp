#include "inventory/wmi_row.h"

#include <cmath>
#include <cwchar>

namespace kalorix {

std::wstring RowText(const WmiRow& row, std::wstring_view name) {
    const auto it = row.find(std::wstring(name));
    return it == row.end() ? std::wstring() : it->second;
}

double RowNumber(const WmiRow& row, std::wstring_view name) {
    const auto it = row.find(std::wstring(name));
    if (it == row.end() || it->second.empty()) return 0.0;
    const double value = std::wcstod(it->second.c_str(), nullptr);
    // wcstod also accepts "inf" and "nan"; a value that is not a real amount
    // counts as no value at all.
    return std::isfinite(value) ? value : 0.0;
}

std::wstring CimDateToText(std::wstring_view text) {
    if (text.size() < 8) return {};
    std::wstring out;
    out.reserve(10);
    out.append(text.substr(6, 2));
    out.push_back(L'.');
    out.append(text.substr(4, 2));
    out.push_back(L'.');
    out.append(text.substr(0, 4));
    return out;
}

template <class Range>
static std::wstring JoinImpl(const Range& parts, std::wstring_view separator) {
    std::wstring out;
    bool first = true;
    for (const auto& part : parts) {
        if (part.empty()) continue;
        if (!first) out.append(separator);
        out.append(part);
        first = false;
    }
    return out;
}

std::wstring JoinNonEmpty(const std::vector<std::wstring>& parts, std::wstring_view separator) {
    return JoinImpl(parts, separator);
}

std::wstring JoinNonEmpty(std::initializer_list<std::wstring> parts, std::wstring_view separator) {
    return JoinImpl(parts, separator);
}

}  // namespace kalorix
