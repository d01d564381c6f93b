// The sensor log's Windows side: its folder "Kalorix\Kayıtlar" under the local
// application-data folder, files appended with WriteFile and flushed with
// FlushFileBuffers (a full disk told apart from other failures), the local
// time with its offset, and opening the folder for the user.
#pragma once

#include <filesystem>
#include <memory>

#include "store/sensor_log_writer.h"

namespace kalorix {

// LocalDataFolder()\Kayıtlar; empty when the local folder cannot be resolved.
std::filesystem::path SensorLogFolder();
std::unique_ptr<SensorLogFiles> MakeWindowsSensorLogFiles(const std::filesystem::path& folder);
// GetSystemTimeAsFileTime and FileTimeToLocalFileTime of the same instant.
std::unique_ptr<SensorLogClock> MakeWindowsSensorLogClock();
// Creates the folder when missing and opens it in Explorer; false (logged) on failure.
bool OpenSensorLogFolder(const std::filesystem::path& folder);

}  // namespace kalorix
