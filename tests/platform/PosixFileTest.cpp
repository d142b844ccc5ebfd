// ReadOnlyFile on what only POSIX systems have.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/File.h"

namespace tavlo::platform {
namespace {

TEST(PosixFileTest, AFifoIsRefusedWithoutBlockingTheOpen) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "tavlo-file-fifo.bin";
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    ReadOnlyFile file;
    EXPECT_FALSE(file.open(path.string()));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace tavlo::platform
