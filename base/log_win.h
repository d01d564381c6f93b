// The Windows sink of the log: kalorix.log in the folder "Kalorix" under the
// local application-data folder (bounded: past 512 KiB it becomes kalorix.log.1
// and a new file starts), and every line to OutputDebugString as well.
#pragma once

#include <cstdint>
#include <filesystem>

namespace kalorix {

// The folder "Kalorix" under the local (not roaming) application-data folder;
// empty when it cannot be resolved. Creates it when asked.
std::filesystem::path LocalDataFolder(bool createFolder);

// Installs the sink writing to file (LocalDataFolder()/"kalorix.log" when
// empty). maxBytes is the size at which the file is rotated.
void StartFileLog(const std::filesystem::path& file = {}, uint64_t maxBytes = 512 * 1024);

}  // namespace kalorix
