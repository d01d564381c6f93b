#include "store/sensor_log_files_win.h"

#include <windows.h>
#include <shellapi.h>

#include <system_error>

#include "base/log.h"
#include "base/log_win.h"
#include "base/scoped_win.h"
#include "sensors/text.h"
#include "store/file_util.h"

namespace kalorix {

namespace {

namespace fs = std::filesystem;

LogWriteResult FromError(const char* what, DWORD error, std::string& text) {
    text = std::string(what) + ": " + Win32ErrorText(error);
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? LogWriteResult::DiskFull
                                                                        : LogWriteResult::Failed;
}

class WindowsLogFiles : public SensorLogFiles {
public:
    explicit WindowsLogFiles(fs::path folder) : folder_(std::move(folder)) {}

    fs::path folder() const override { return folder_; }

    LogWriteResult makeFolder(std::string& error) override {
        if (folder_.empty()) {
            error = "the local application-data folder is unknown";
            return LogWriteResult::Failed;
        }
        std::error_code ec;
        fs::create_directories(folder_, ec);
        if (!fs::is_directory(folder_, ec)) {
            error = "not a folder" + (ec ? ": " + ec.message() : std::string());
            return LogWriteResult::Failed;
        }
        return LogWriteResult::Ok;
    }

    std::vector<LogFileEntry> list() override {
        std::vector<LogFileEntry> files;
        if (folder_.empty()) return files;
        WIN32_FIND_DATAW data{};
        UniqueFindHandle find(FindFirstFileW((folder_ / L"*").c_str(), &data));
        if (!find) return files;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            files.push_back({data.cFileName, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
        } while (FindNextFileW(find.get(), &data));
        return files;
    }

    std::optional<LogFileEdges> edges(const std::wstring& name, size_t headBytes) override {
        UniqueHandle file(CreateFileW((folder_ / name).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return std::nullopt;
        LogFileEdges e;
        e.head.resize(headBytes);
        DWORD got = 0;
        if (!ReadFile(file.get(), e.head.data(), static_cast<DWORD>(headBytes), &got, nullptr)) return std::nullopt;
        e.head.resize(got);
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
            LARGE_INTEGER at{};
            at.QuadPart = size.QuadPart - 1;
            DWORD one = 0;
            if (SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && ReadFile(file.get(), &e.last, 1, &one, nullptr) &&
                one == 1)
                return e;
            return std::nullopt;
        }
        return e;
    }

    LogWriteResult open(const std::wstring& name, std::string& error) override {
        close();
        // Others may read (a spreadsheet open on today's file) while rows are appended.
        file_.reset(CreateFileW((folder_ / name).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return FromError("CreateFileW", GetLastError(), error);
        return LogWriteResult::Ok;
    }

    LogWriteResult append(std::string_view bytes, std::string& error) override {
        if (!file_) {
            error = "no file open";
            return LogWriteResult::Failed;
        }
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return FromError("WriteFile", GetLastError(), error);
        if (written != bytes.size()) return FromError("WriteFile (short)", ERROR_DISK_FULL, error);
        if (!FlushFileBuffers(file_.get())) return FromError("FlushFileBuffers", GetLastError(), error);
        return LogWriteResult::Ok;
    }

    void close() override { file_.reset(); }

    bool remove(const std::wstring& name, std::string& error) override {
        if (DeleteFileW((folder_ / name).c_str())) return true;
        error = "DeleteFileW: " + Win32ErrorText(GetLastError());
        return false;
    }

private:
    fs::path folder_;
    UniqueHandle file_;
};

class WindowsLogClock : public SensorLogClock {
public:
    LocalStamp now() override {
        FILETIME utc{}, local{};
        GetSystemTimeAsFileTime(&utc);
        LocalStamp stamp;
        SYSTEMTIME t{};
        if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) {
            FileTimeToSystemTime(&utc, &t);  // UTC with offset 0 rather than no time at all
            local = utc;
        }
        const auto ticks = [](const FILETIME& f) {
            return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
        };
        stamp.offsetMinutes = static_cast<int>((ticks(local) - ticks(utc)) / (600000000LL));
        stamp.date = {t.wYear, t.wMonth, t.wDay};
        stamp.hour = t.wHour;
        stamp.minute = t.wMinute;
        stamp.second = t.wSecond;
        return stamp;
    }
};

}  // namespace

fs::path SensorLogFolder() {
    const fs::path local = LocalDataFolder(false);
    if (local.empty()) return {};
    return local / L"Kay\u0131tlar";
}

std::unique_ptr<SensorLogFiles> MakeWindowsSensorLogFiles(const fs::path& folder) {
    return std::make_unique<WindowsLogFiles>(folder);
}

std::unique_ptr<SensorLogClock> MakeWindowsSensorLogClock() { return std::make_unique<WindowsLogClock>(); }

bool OpenSensorLogFolder(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || (!fs::create_directories(folder, ec) && !fs::is_directory(folder, ec))) {
        Log(LogLevel::Error, "sensorlog", "cannot create " + PathText(folder) + (ec ? ": " + ec.message() : ""));
        return false;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        Log(LogLevel::Error, "sensorlog", "ShellExecuteW(open folder) returned " + std::to_string(result));
        return false;
    }
    return true;
}

}  // namespace kalorix
