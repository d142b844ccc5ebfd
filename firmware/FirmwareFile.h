// The firmware file of an update: which paths are firmware files, and the file opened for
// the transfer with the checks that refuse it before anything is sent. The update worker and
// `tavlo firmware` (which checks the file once for a whole batch) use the same checks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "firmware/TftpPacket.h"
#include "platform/File.h"

namespace tavlo::firmware {

inline constexpr const char* kSelectFileErrorMessage = "Select file error!";
inline constexpr const char* kFileMissingMessage = "File does not exist!";
// A clock given no image is not updated.
inline constexpr const char* kFileEmptyMessage = "File is empty!";
inline constexpr const char* kFileTooLargeMessage =
    "File is too large! At most 33553919 bytes can be updated.";
// The message names the largest file the 16-bit block numbers can carry.
static_assert(kMaxFileSize == 33553919, "kFileTooLargeMessage names kMaxFileSize");

// Firmware files are recognised by these parts of their path (case-sensitive, anywhere).
inline constexpr const char* kBinaryFileMark = ".bin";
inline constexpr const char* kHexFileMark = ".hex";
bool IsFirmwarePath(const std::string& path);

// The firmware file, opened for reading only. Every block is read from the file as it is at
// that moment, so a file that shrinks during the transfer is noticed.
class FirmwareFile {
  public:
    // Opens the file at `path` (once). Returns the message that refuses it, in this order: a
    // path without a firmware mark, anything that is not a readable regular file, a file too
    // large for the block numbers, an empty file. Nothing when the file can be sent.
    std::optional<std::string> Open(const std::string& path);
    // The length of the opened file.
    std::uint32_t Length() const { return length_; }
    // Reads exactly out.size() bytes at `offset`; false when the file no longer holds them.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);

  private:
    platform::ReadOnlyFile file_;
    std::uint32_t length_ = 0;
};

// The checks of FirmwareFile::Open on their own: the file is opened and closed again.
std::optional<std::string> FirmwareFileRefusal(const std::string& path);

}  // namespace tavlo::firmware
