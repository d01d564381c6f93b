// Texts of the autostart registration: the Run value, the schtasks command lines and
// the scheduled-task definition (UTF-16 with a byte-order mark).
#pragma once

#include <string>
#include <string_view>

namespace kalorix {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValueName[] = L"Kalorix";
constexpr wchar_t kTaskName[] = L"Kalorix";
constexpr wchar_t kTaskFileName[] = L"kalorix-task.xml";
constexpr wchar_t kPackageStartupTaskId[] = L"KalorixStartup";

std::wstring XmlEscape(std::wstring_view text);
std::wstring RunValueData(std::wstring_view programPath);  // "\"path\" --tray"
std::wstring TaskQueryCommand();
std::wstring TaskDeleteCommand();
std::wstring TaskCreateCommand(std::wstring_view xmlFilePath);
// The definition text, lines ending in CR LF.
std::wstring BuildTaskXml(std::wstring_view userSid, std::wstring_view programPath);
// FF FE followed by the text in UTF-16 little-endian, no terminating zero.
std::string TaskFileBytes(std::wstring_view xml);

}  // namespace kalorix
