// Whole-file reading and crash-safe replacement of small data files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalorix {

// The whole file as bytes, or nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Writes the bytes to path + ".tmp", then replaces path with it in one rename,
// so a reader (or a crash) sees either the old or the new complete file.
// Creates the parent folder when createFolder is set. False on any failure;
// the old file is then untouched.
bool AtomicWriteFile(const std::filesystem::path& path, std::string_view bytes, bool createFolder = true);

}  // namespace kalorix
