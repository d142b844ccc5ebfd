#include <windows.h>

#include <algorithm>
#include <limits>

#include "platform/File.h"
#include "platform/WindowsText.h"

namespace tavlo::platform {
namespace {

HANDLE HandleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

constexpr unsigned kDwordBits = 32;

}  // namespace

ReadOnlyFile::~ReadOnlyFile() {
    close();
}

void ReadOnlyFile::close() {
    if (handle_ != kClosed) {
        ::CloseHandle(HandleOf(handle_));
    }
    handle_ = kClosed;
    size_ = 0;
}

bool ReadOnlyFile::open(const std::string& path) {
    close();
    // Other programs may go on reading, writing or renaming the file meanwhile, as on POSIX
    // systems. A folder does not open without FILE_FLAG_BACKUP_SEMANTICS.
    const HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    // A pipe or a device has no size on disk.
    if (::GetFileType(file) != FILE_TYPE_DISK || ::GetFileSizeEx(file, &size) == 0 ||
        size.QuadPart < 0) {
        ::CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool ReadOnlyFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = offset + done;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> kDwordBits);
        const auto want = static_cast<DWORD>(
            std::min<std::size_t>(out.size() - done, std::numeric_limits<DWORD>::max()));
        DWORD count = 0;
        if (::ReadFile(HandleOf(handle_), out.data() + done, want, &count, &position) == 0 ||
            count == 0) {
            return false;
        }
        done += count;
    }
    return true;
}

}  // namespace tavlo::platform
