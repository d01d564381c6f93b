#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "store/usage_history.h"

using namespace kalorix;

TEST(UsageHistoryWin, FileLivesInTheRoamingFolder) {
    PWSTR roaming = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming), S_OK);
    const std::filesystem::path expected = std::filesystem::path(roaming) / L"Kalorix" / L"history.txt";
    CoTaskMemFree(roaming);
    EXPECT_EQ(HistoryPath(false), expected);
}

TEST(UsageHistoryWin, OneStoreForAllThreads) {
    UsageHistory* seen[4] = {};
    std::thread threads[4];
    for (int i = 0; i < 4; ++i) threads[i] = std::thread([&seen, i] { seen[i] = &UsageHistory::instance(); });
    for (auto& t : threads) t.join();
    for (UsageHistory* p : seen) EXPECT_EQ(p, &UsageHistory::instance());
}
