// The Windows steps of a durable save (FlushFileBuffers, a write-through
// MoveFileExW): a save replaces the file whole, and one that cannot replace it
// leaves the old file and no temporary behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/scoped_win.h"
#include "store/file_util.h"
#include "test_util_win.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

class DurableSaveWin : public ::testing::Test {
protected:
    void SetUp() override { UseWindowsDurableFiles(); }
    test::TempFolder dir_{L"kalorix-durable-save"};
    fs::path path_ = dir_.path() / L"data.txt";
};

}  // namespace

TEST_F(DurableSaveWin, ReplacesTheWholeFileOrLeavesItAsItWas) {
    const std::string old(100000, 'a');
    ASSERT_TRUE(AtomicWriteFile(path_, old));
    {
        // Another program holds the file open without letting it be deleted or renamed over.
        UniqueHandle held(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(AtomicWriteFile(path_, "new"));
        EXPECT_FALSE(fs::exists(fs::path(path_) += L".tmp"));
    }
    EXPECT_EQ(ReadFileBytes(path_), old);
    ASSERT_TRUE(AtomicWriteFile(path_, "new"));
    EXPECT_EQ(ReadFileBytes(path_), "new");
    EXPECT_FALSE(fs::exists(fs::path(path_) += L".tmp"));
}
