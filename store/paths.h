// Where the program keeps its files: the folder "Kalorix" under the roaming
// application-data folder (Windows), or under $XDG_CONFIG_HOME / ~/.config elsewhere.
#pragma once

#include <filesystem>

namespace kalorix {

// Empty when the base folder cannot be resolved. Creates the folder when asked.
std::filesystem::path KalorixDataFolder(bool createFolder);

}  // namespace kalorix
