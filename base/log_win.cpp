#include "base/log_win.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <system_error>

#include "base/log.h"
#include "base/scoped_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

// Appends lines to one file and rotates it when it grows past its bound.
class RotatingFile {
public:
    RotatingFile(std::filesystem::path path, uint64_t maxBytes) : path_(std::move(path)), maxBytes_(maxBytes) {}

    void write(std::string_view line) {
        if (!file_ && !open()) return;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.get(), &size) && static_cast<uint64_t>(size.QuadPart) + line.size() > maxBytes_) {
            rotate();
            if (!file_) return;
        }
        std::string bytes(line);
        bytes += "\r\n";
        DWORD written = 0;
        WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    bool open() {
        file_.reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file_.valid();
    }
    void rotate() {
        file_.reset();
        std::filesystem::path old = path_;
        old += ".1";
        MoveFileExW(path_.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
        open();
    }

    std::filesystem::path path_;
    uint64_t maxBytes_;
    UniqueHandle file_;
};

}  // namespace

std::filesystem::path LocalDataFolder(bool createFolder) {
    CoTaskMemPtr<wchar_t> local;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, local.put());
    if (FAILED(hr) || !local.get() || !*local.get()) return {};
    std::filesystem::path folder = std::filesystem::path(local.get()) / L"Kalorix";
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return folder;
}

void StartFileLog(const std::filesystem::path& file, uint64_t maxBytes) {
    std::filesystem::path path = file;
    if (path.empty()) {
        const std::filesystem::path folder = LocalDataFolder(true);
        if (!folder.empty()) path = folder / L"kalorix.log";
    }
    auto sink = path.empty() ? nullptr : std::make_shared<RotatingFile>(path, maxBytes);
    SetLogSink([sink](std::string_view line) {
        if (sink) sink->write(line);
        OutputDebugStringW((Utf8ToWide(line) + L"\n").c_str());
    });
}

}  // namespace kalorix
