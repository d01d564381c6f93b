// The Windows steps of a durable save: the temporary file's bytes are flushed
// with FlushFileBuffers before it replaces the old file, and the replacement is
// a MoveFileExW that returns only once it has reached the disk.
#include "store/file_util.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

#include "base/log.h"
#include "base/scoped_win.h"

namespace kalorix {

namespace {

bool WindowsWriteFlushed(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) {
        error = "CreateFileW: " + Win32ErrorText(GetLastError());
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            error = "WriteFile: " + Win32ErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    if (!FlushFileBuffers(file.get())) {
        error = "FlushFileBuffers: " + Win32ErrorText(GetLastError());
        return false;
    }
    return true;
}

bool WindowsReplace(const std::filesystem::path& source, const std::filesystem::path& target, std::string& error) {
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "MoveFileExW: " + Win32ErrorText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace

void UseWindowsDurableFiles() {
    static std::once_flag once;
    std::call_once(once, [] {
        DurableFileOps ops;
        ops.writeFlushed = WindowsWriteFlushed;
        ops.replace = WindowsReplace;
        SetDurableFileOps(ops);
    });
}

}  // namespace kalorix
