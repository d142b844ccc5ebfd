#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"

namespace tavlo::platform {

ReadOnlyFile::~ReadOnlyFile() {
    close();
}

void ReadOnlyFile::close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));
    }
    handle_ = kClosed;
    size_ = 0;
}

bool ReadOnlyFile::open(const std::string& path) {
    close();
    // O_NONBLOCK keeps a FIFO named like the file from blocking the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool ReadOnlyFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t count = ::pread(static_cast<int>(handle_), out.data() + done,
                                      out.size() - done, static_cast<off_t>(offset + done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace tavlo::platform
