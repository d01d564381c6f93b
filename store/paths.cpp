#include "store/paths.h"

#if !defined(_WIN32)
#include <cstdlib>
#include <system_error>

namespace kalorix {

std::filesystem::path KalorixDataFolder(bool createFolder) {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::filesystem::path(home) / ".config";
    else return {};
    std::filesystem::path folder = base / "Kalorix";
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return folder;
}

}  // namespace kalorix
#endif
