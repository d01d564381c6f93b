// Whole-file reading and crash-safe replacement of small data files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalorix {

enum class ReadStatus {
    Ok,
    Missing,  // no such file (or no path): the normal first start
    Failed,   // the file is there but cannot be read (logged)
};

// Our data files are a few kilobytes; anything beyond this is not ours.
constexpr uintmax_t kMaxDataFileBytes = 16u * 1024 * 1024;

// The whole file as bytes in out. A failure is logged with the path and the error.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out);

// The whole file as bytes, or nothing when it is missing or cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Writes the bytes to path + ".tmp", flushes them to the device, then replaces
// path with it in one rename that also reaches the device, so a reader, a crash
// or a power cut sees either the old or the new complete file. Creates the
// parent folder when createFolder is set. False on any failure (logged with
// the path and the error); the old file is then untouched.
bool AtomicWriteFile(const std::filesystem::path& path, std::string_view bytes, bool createFolder = true);

// The two platform steps of a durable save. The portable ones (fsync, rename)
// serve until the Windows layer installs its own (store/file_util_win.cpp:
// FlushFileBuffers and MoveFileExW with MOVEFILE_WRITE_THROUGH).
struct DurableFileOps {
    // Creates or truncates path, writes bytes and flushes them to the device.
    bool (*writeFlushed)(const std::filesystem::path& path, std::string_view bytes, std::string& error) = nullptr;
    // Replaces target by source in one rename that has reached the device on return.
    bool (*replace)(const std::filesystem::path& source, const std::filesystem::path& target,
                    std::string& error) = nullptr;
};
// Empty members restore the portable steps.
void SetDurableFileOps(const DurableFileOps& ops);

// Installs the Windows steps once (store/file_util_win.cpp; Windows layer only).
void UseWindowsDurableFiles();

// A path as UTF-8 for log lines.
std::string PathText(const std::filesystem::path& path);

}  // namespace kalorix
