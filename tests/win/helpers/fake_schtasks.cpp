// Answers the three schtasks command lines the autostart code uses, keeping the
// "registered" task as a file: %TEMP%\kalorix-fake-schtasks\task.xml. FAKE_SCHTASKS_DELETE_EXIT
// sets the exit code of /delete (default 0; a refused /delete keeps the task, as
// for a task registered with highest rights).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring StateDir() {
    wchar_t buf[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, buf);
    std::wstring dir = std::wstring(buf) + L"kalorix-fake-schtasks\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

int ExitCodeFrom(const wchar_t* variable) {
    wchar_t code[16] = {};
    return GetEnvironmentVariableW(variable, code, 16) ? _wtoi(code) : 0;
}

}  // namespace

int wmain() {
    const std::wstring cmd = GetCommandLineW();
    const std::wstring dir = StateDir();
    const std::wstring task = dir + L"task.xml";
    if (cmd.find(L"/tn \"Kalorix\"") == std::wstring::npos) return 2;
    const bool exists = GetFileAttributesW(task.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (cmd.find(L"/query") != std::wstring::npos) return exists ? 0 : 1;
    if (cmd.find(L"/delete") != std::wstring::npos) {
        if (const int refused = ExitCodeFrom(L"FAKE_SCHTASKS_DELETE_EXIT")) return refused;
        return DeleteFileW(task.c_str()) ? 0 : 1;
    }
    if (cmd.find(L"/create") != std::wstring::npos) {
        const size_t x = cmd.find(L"/xml \"");
        if (x == std::wstring::npos) return 2;
        const size_t start = x + 6, end = cmd.find(L'"', start);
        const std::wstring xml = cmd.substr(start, end - start);
        return CopyFileW(xml.c_str(), task.c_str(), FALSE) ? 0 : 1;
    }
    return 2;
}
