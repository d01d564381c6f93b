#include "store/usage_history.h"

#include "store/paths.h"

namespace kalorix {

std::filesystem::path HistoryPath(bool createFolder) {
    std::filesystem::path folder = KalorixDataFolder(createFolder);
    if (folder.empty()) return {};
    return folder / L"history.txt";
}

UsageHistory& UsageHistory::instance() {
    static UsageHistory store(HistoryPath(false));  // one-time, thread-safe initialisation
    return store;
}

}  // namespace kalorix
