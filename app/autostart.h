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
// Where the Startup apps page keeps its on/off choice for Run values.
constexpr wchar_t kStartupApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::wstring XmlEscape(std::wstring_view text);
std::wstring RunValueData(std::wstring_view programPath);  // "\"path\" --tray"
// schtasks command lines; the program is named by its full path (never found
// through the search path).
std::wstring TaskQueryCommand(std::wstring_view schtasksPath);
std::wstring TaskDeleteCommand(std::wstring_view schtasksPath);
std::wstring TaskCreateCommand(std::wstring_view schtasksPath, std::wstring_view xmlFilePath);
// The Startup apps page's record of a Run value: the first byte odd means the
// user switched it off there (Windows then ignores the value). An empty or
// missing record means on.
bool StartupApprovedDisabled(std::string_view record);
// The definition text, lines ending in CR LF.
std::wstring BuildTaskXml(std::wstring_view userSid, std::wstring_view programPath);
// FF FE followed by the text in UTF-16 little-endian, no terminating zero.
std::string TaskFileBytes(std::wstring_view xml);

}  // namespace kalorix
