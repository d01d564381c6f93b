// The usage history store is one object for every thread that asks for it.
#include <gtest/gtest.h>

#include <thread>

#include "store/usage_history.h"

using namespace kalorix;

TEST(UsageHistoryWin, OneStoreForAllThreads) {
    UsageHistory* seen[4] = {};
    std::thread threads[4];
    for (int i = 0; i < 4; ++i) threads[i] = std::thread([&seen, i] { seen[i] = &UsageHistory::instance(); });
    for (auto& t : threads) t.join();
    for (UsageHistory* p : seen) EXPECT_EQ(p, &UsageHistory::instance());
}
