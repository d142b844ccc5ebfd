#include "firmware/FirmwareFile.h"

namespace tavlo::firmware {

bool IsFirmwarePath(const std::string& path) {
    return path.find(kBinaryFileMark) != std::string::npos ||
           path.find(kHexFileMark) != std::string::npos;
}

std::optional<std::string> FirmwareFile::Open(const std::string& path) {
    if (!IsFirmwarePath(path)) {
        return kSelectFileErrorMessage;
    }
    length_ = 0;
    if (!file_.open(path)) {
        return kFileMissingMessage;
    }
    if (file_.size() > kMaxFileSize) {
        return kFileTooLargeMessage;
    }
    if (file_.size() == 0) {
        return kFileEmptyMessage;
    }
    length_ = static_cast<std::uint32_t>(file_.size());
    return std::nullopt;
}

bool FirmwareFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    return file_.readAt(offset, out);
}

std::optional<std::string> FirmwareFileRefusal(const std::string& path) {
    FirmwareFile file;
    return file.Open(path);
}

}  // namespace tavlo::firmware
