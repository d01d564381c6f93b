// Durable saves and whole-file reads: the outcomes a caller relies on.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "base/log.h"
#include "store/file_util.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

class FileUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        SetLogSink([this](std::string_view line) { log_ += std::string(line) + "\n"; });
    }
    void TearDown() override { SetLogSink({}), SetDurableFileOps({}), fs::remove_all(dir_); }
    fs::path dir_ = fs::temp_directory_path() /
                    (std::string("kalorix-file-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     "-" + std::to_string(std::random_device{}()));  // other test runs may share the folder
    fs::path path_ = dir_ / "data.txt";
    std::string log_;
};

// The bytes are written but never reach the device.
bool FailingFlush(const fs::path& path, std::string_view bytes, std::string& error) {
    if (FILE* f = std::fopen(path.string().c_str(), "wb")) std::fwrite(bytes.data(), 1, bytes.size(), f), std::fclose(f);
    error = "cannot flush: I/O error";
    return false;
}

}  // namespace

// After the failure a save replaces the longer old file whole.
TEST_F(FileUtilTest, AFailedFlushFailsTheSaveAndKeepsTheOldFile) {
    ASSERT_TRUE(AtomicWriteFile(path_, "old and whole"));
    DurableFileOps ops;
    ops.writeFlushed = FailingFlush;
    SetDurableFileOps(ops);
    EXPECT_FALSE(AtomicWriteFile(path_, "new"));
    EXPECT_EQ(ReadFileBytes(path_), "old and whole");
    EXPECT_FALSE(fs::exists(fs::path(path_) += ".tmp"));
    EXPECT_NE(log_.find("save failed: " + path_.string() + ": cannot flush: I/O error"), std::string::npos) << log_;
    SetDurableFileOps({});
    EXPECT_TRUE(AtomicWriteFile(path_, "new"));
    EXPECT_EQ(ReadFileBytes(path_), "new");
}

TEST_F(FileUtilTest, ReadTellsMissingFromUnreadable) {
    std::string text = "left over";
    EXPECT_EQ(ReadWholeFile(path_, text), ReadStatus::Missing);
    EXPECT_TRUE(text.empty() && log_.empty());
    fs::create_directories(path_);  // there, but not a file
    EXPECT_EQ(ReadWholeFile(path_, text), ReadStatus::Failed);
    EXPECT_TRUE(log_.find(path_.string()) != std::string::npos && !ReadFileBytes(path_)) << log_;
    fs::remove(path_);
    ASSERT_TRUE(AtomicWriteFile(path_, std::string(3, '\0')));
    EXPECT_EQ(ReadWholeFile(path_, text), ReadStatus::Ok);
    EXPECT_EQ(text, std::string(3, '\0'));
}
