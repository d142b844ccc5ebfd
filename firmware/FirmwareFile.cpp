#include "firmware/FirmwareFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavlo::firmware {

bool IsFirmwarePath(const std::string& path) {
    return path.find(kBinaryFileMark) != std::string::npos ||
           path.find(kHexFileMark) != std::string::npos;
}

FirmwareFile::~FirmwareFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<std::string> FirmwareFile::Open(const std::string& path) {
    if (!IsFirmwarePath(path)) {
        return kSelectFileErrorMessage;
    }
    if (fd_ >= 0) {
        ::close(fd_);  // a file opened before is let go
        length_ = 0;
    }
    // O_NONBLOCK keeps a FIFO named like a firmware file from blocking the open.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        return kFileMissingMessage;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        return kFileMissingMessage;
    }
    const auto length = static_cast<std::uint64_t>(info.st_size);
    if (length > kMaxFileSize) {
        return kFileTooLargeMessage;
    }
    if (length == 0) {
        return kFileEmptyMessage;
    }
    length_ = static_cast<std::uint32_t>(length);
    return std::nullopt;
}

bool FirmwareFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t count =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
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

std::optional<std::string> FirmwareFileRefusal(const std::string& path) {
    FirmwareFile file;
    return file.Open(path);
}

}  // namespace tavlo::firmware
