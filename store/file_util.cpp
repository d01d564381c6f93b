#include "store/file_util.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "base/log.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr const char* kLogSource = "file";

std::string ErrnoText(int error) { return std::string(std::strerror(error)) + " (errno " + std::to_string(error) + ")"; }

#if defined(_WIN32)
// The C runtime's steps; _commit is FlushFileBuffers underneath.
bool PortableWriteFlushed(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        error = "cannot create: " + ErrnoText(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
    if (!ok) error = "cannot write: " + ErrnoText(errno);
    if (ok && _commit(_fileno(f)) != 0) {
        error = "cannot flush: " + ErrnoText(errno);
        ok = false;
    }
    if (std::fclose(f) != 0 && ok) {
        error = "cannot close: " + ErrnoText(errno);
        ok = false;
    }
    return ok;
}
#else
bool PortableWriteFlushed(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create: " + ErrnoText(errno);
        return false;
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write: " + ErrnoText(errno);
            ok = false;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (ok && ::fsync(fd) != 0) {
        error = "cannot flush: " + ErrnoText(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = "cannot close: " + ErrnoText(errno);
        ok = false;
    }
    return ok;
}
#endif

bool PortableReplace(const std::filesystem::path& source, const std::filesystem::path& target, std::string& error) {
    std::error_code ec;
    std::filesystem::rename(source, target, ec);
    if (ec) {
        error = "cannot replace: " + ec.message();
        return false;
    }
#if !defined(_WIN32)
    // The rename itself is durable once the folder's entry is on the device.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
#endif
    return true;
}

std::atomic<decltype(DurableFileOps::writeFlushed)> g_writeFlushed{nullptr};
std::atomic<decltype(DurableFileOps::replace)> g_replace{nullptr};

}  // namespace

std::string PathText(const std::filesystem::path& path) {
#if defined(_WIN32)
    return WideToUtf8(path.wstring());
#else
    return path.string();
#endif
}

void SetDurableFileOps(const DurableFileOps& ops) {
    g_writeFlushed.store(ops.writeFlushed);
    g_replace.store(ops.replace);
}

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    out.clear();
    if (path.empty()) return ReadStatus::Missing;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return ReadStatus::Missing;
    if (ec) {
        Log(LogLevel::Error, kLogSource, "cannot read " + PathText(path) + ": " + ec.message());
        return ReadStatus::Failed;
    }
    const uintmax_t size = std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, ec) : 0;
    if (!std::filesystem::is_regular_file(status) || ec || size > kMaxDataFileBytes) {
        Log(LogLevel::Error, kLogSource,
            "cannot read " + PathText(path) + ": " + (ec ? ec.message() : std::string("not a small regular file")));
        return ReadStatus::Failed;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Log(LogLevel::Error, kLogSource, "cannot open " + PathText(path) + ": " + ErrnoText(errno));
        return ReadStatus::Failed;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || out.size() > kMaxDataFileBytes) {
        Log(LogLevel::Error, kLogSource, "cannot read " + PathText(path) + ": read error");
        out.clear();
        return ReadStatus::Failed;
    }
    return ReadStatus::Ok;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
    std::string data;
    if (ReadWholeFile(path, data) != ReadStatus::Ok) return std::nullopt;
    return data;
}

bool AtomicWriteFile(const std::filesystem::path& path, std::string_view bytes, bool createFolder) {
    if (path.empty()) return false;
    std::error_code ec;
    if (createFolder && path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    auto writeFlushed = g_writeFlushed.load();
    auto replace = g_replace.load();
    if (!writeFlushed) writeFlushed = PortableWriteFlushed;
    if (!replace) replace = PortableReplace;

    std::string error;
    // A file whose bytes did not reach the device must never replace a good one.
    bool ok = writeFlushed(tmp, bytes, error);
    if (ok) ok = replace(tmp, path, error);
    if (!ok) {
        if (!std::filesystem::is_directory(tmp, ec)) std::filesystem::remove(tmp, ec);
        Log(LogLevel::Error, kLogSource, "save failed: " + PathText(path) + ": " + error);
    }
    return ok;
}

}  // namespace kalorix
