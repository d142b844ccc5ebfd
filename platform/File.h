// A file opened for reading only, read at any offset: the firmware file of an update. Each
// read sees the file as it is at that moment, so a file that shrinks meanwhile is noticed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tavlo::platform {

// The path named by UTF-8 text (every path the program is given is UTF-8: the command line's
// arguments, JSON). std::filesystem::path from a plain string would read it in the system's
// 8-bit code page on Windows.
inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size());
}

// A path as UTF-8 text, for messages and for the functions that take UTF-8 paths.
inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

class ReadOnlyFile {
  public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens the file at `path` (UTF-8), letting go of one opened before. False, with nothing
    // open, when it is not a regular file this user may read. Never blocks (a FIFO named
    // like the file is refused, not waited on).
    bool open(const std::string& path);
    // The size of the opened file when it was opened.
    std::uint64_t size() const { return size_; }
    // Reads exactly out.size() bytes at `offset`; false when the file no longer holds them.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out);

  private:
    void close();

    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // a descriptor or a handle, as the system has it
    std::uint64_t size_ = 0;
};

}  // namespace tavlo::platform
