// ReadOnlyFile on real files in a temporary folder.
#include "platform/File.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

namespace tavlo::platform {
namespace {

namespace fs = std::filesystem;

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tavlo-file-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(FileTest, ReadsAtAnyOffsetAndNoticesAFileThatShrank) {
    const fs::path path = dir_ / "image.bin";
    std::ofstream(path, std::ios::binary) << "0123456789";
    ReadOnlyFile file;
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_EQ(file.size(), 10u);
    std::array<std::uint8_t, 4> four{};
    ASSERT_TRUE(file.readAt(6, four));
    EXPECT_EQ(std::string(four.begin(), four.end()), "6789");
    EXPECT_FALSE(file.readAt(7, four));  // past the end
    fs::resize_file(path, 5);
    EXPECT_FALSE(file.readAt(2, four));
}

TEST_F(FileTest, RefusesWhatIsNoReadableRegularFile) {
    fs::create_directories(dir_ / "dir.bin");
    ReadOnlyFile file;
    EXPECT_FALSE(file.open((dir_ / "missing.bin").string()));
    EXPECT_FALSE(file.open((dir_ / "dir.bin").string()));
    EXPECT_EQ(file.size(), 0u);
}

}  // namespace
}  // namespace tavlo::platform
