// The sensor log's folder through the C library: append with fwrite and
// fflush, a full disk told by ENOSPC. Used by the native build and the tests.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "store/sensor_log_writer.h"

namespace kalorix {

namespace {

namespace fs = std::filesystem;

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#if defined(_WIN32)
    const std::wstring wide(mode, mode + std::strlen(mode));
    return _wfopen(path.c_str(), wide.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

LogWriteResult FromErrno(int error, std::string& text) {
    text = std::strerror(error);
    return error == ENOSPC ? LogWriteResult::DiskFull : LogWriteResult::Failed;
}

class PortableLogFiles : public SensorLogFiles {
public:
    explicit PortableLogFiles(fs::path folder) : folder_(std::move(folder)) {}
    ~PortableLogFiles() override { close(); }

    fs::path folder() const override { return folder_; }

    LogWriteResult makeFolder(std::string& error) override {
        std::error_code ec;
        fs::create_directories(folder_, ec);
        if (ec || !fs::is_directory(folder_, ec)) {
            error = ec ? ec.message() : "not a folder";
            return LogWriteResult::Failed;
        }
        return LogWriteResult::Ok;
    }

    std::vector<LogFileEntry> list() override {
        std::vector<LogFileEntry> files;
        std::error_code ec;
        for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code sizeError;
            if (!it->is_regular_file(sizeError)) continue;
            const uintmax_t size = it->file_size(sizeError);
            files.push_back({it->path().filename().wstring(), sizeError ? 0 : static_cast<uint64_t>(size)});
        }
        return files;
    }

    std::optional<LogFileEdges> edges(const std::wstring& name, size_t headBytes) override {
        std::FILE* f = OpenFile(folder_ / name, "rb");
        if (!f) return std::nullopt;
        LogFileEdges e;
        e.head.resize(headBytes);
        e.head.resize(std::fread(e.head.data(), 1, headBytes, f));
        if (std::fseek(f, -1, SEEK_END) == 0) {
            const int c = std::fgetc(f);
            if (c != EOF) e.last = static_cast<char>(c);
        }
        std::fclose(f);
        return e;
    }

    LogWriteResult open(const std::wstring& name, std::string& error) override {
        close();
        file_ = OpenFile(folder_ / name, "ab");
        if (!file_) return FromErrno(errno, error);
        return LogWriteResult::Ok;
    }

    LogWriteResult append(std::string_view bytes, std::string& error) override {
        if (!file_) {
            error = "no file open";
            return LogWriteResult::Failed;
        }
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0)
            return FromErrno(errno ? errno : EIO, error);
        return LogWriteResult::Ok;
    }

    void close() override {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }

    bool remove(const std::wstring& name, std::string& error) override {
        std::error_code ec;
        if (fs::remove(folder_ / name, ec)) return true;
        error = ec ? ec.message() : "no such file";
        return false;
    }

private:
    fs::path folder_;
    std::FILE* file_ = nullptr;
};

}  // namespace

std::unique_ptr<SensorLogFiles> MakePortableSensorLogFiles(const std::filesystem::path& folder) {
    return std::make_unique<PortableLogFiles>(folder);
}

}  // namespace kalorix
