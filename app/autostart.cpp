#include "app/autostart.h"

#include <cstdint>

namespace kalorix {

std::wstring XmlEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
            case L'"': out += L"&quot;"; break;
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::wstring RunValueData(std::wstring_view programPath) {
    return L"\"" + std::wstring(programPath) + L"\" --tray";
}

namespace {
std::wstring Program(std::wstring_view path) { return L"\"" + std::wstring(path) + L"\""; }
}  // namespace

std::wstring TaskQueryCommand(std::wstring_view schtasksPath) {
    return Program(schtasksPath) + L" /query /tn \"" + kTaskName + L"\"";
}

std::wstring TaskDeleteCommand(std::wstring_view schtasksPath) {
    return Program(schtasksPath) + L" /delete /tn \"" + kTaskName + L"\" /f";
}

std::wstring TaskCreateCommand(std::wstring_view schtasksPath, std::wstring_view xmlFilePath) {
    return Program(schtasksPath) + L" /create /tn \"" + kTaskName + L"\" /xml \"" + std::wstring(xmlFilePath) + L"\" /f";
}

bool StartupApprovedDisabled(std::string_view record) {
    return !record.empty() && (static_cast<unsigned char>(record[0]) & 1u) != 0;
}

std::wstring BuildTaskXml(std::wstring_view userSid, std::wstring_view programPath) {
    const std::wstring sid = XmlEscape(userSid);
    const std::wstring path = XmlEscape(programPath);
    const wchar_t* nl = L"\r\n";
    std::wstring x;
    x += L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
    x += nl;
    x += L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">";
    x += nl;
    x += L"  <RegistrationInfo><Description>Kalorix'i oturum açılışında tepside başlatır.</Description></RegistrationInfo>";
    x += nl;
    x += L"  <Triggers><LogonTrigger><Enabled>true</Enabled><UserId>" + sid +
         L"</UserId><Delay>PT10S</Delay></LogonTrigger></Triggers>";
    x += nl;
    x += L"  <Principals><Principal id=\"Author\"><UserId>" + sid +
         L"</UserId><LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel></Principal></Principals>";
    x += nl;
    x += L"  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false"
         L"</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S"
         L"</ExecutionTimeLimit><Priority>7</Priority></Settings>";
    x += nl;
    x += L"  <Actions Context=\"Author\"><Exec><Command>" + path +
         L"</Command><Arguments>--tray</Arguments></Exec></Actions>";
    x += nl;
    x += L"</Task>";
    x += nl;
    return x;
}

std::string TaskFileBytes(std::wstring_view xml) {
    std::string out = "\xFF\xFE";
    out.reserve(2 + xml.size() * 2);
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    for (const wchar_t wc : xml) {
        uint32_t cp = static_cast<uint32_t>(wc);
        if (cp >= 0x10000) {  // only where wchar_t holds whole code points
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

}  // namespace kalorix
