// The request log of tavlo-clocksim: one JSON object per received datagram, one per line,
// flushed at once so that a test can read it while the simulator runs.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "protocol/ProtocolState.h"
#include "tools/common/Json.h"

namespace tavlo::clocksim {

// Every field of a SettingsFrame by name, plus "hex" (all 772 bytes).
json::Json DecodeSettingsFrame(const protocol::SettingsFrame& frame);
// Every field of a CommandFrame by name, plus "hex" (all 95 bytes).
json::Json DecodeCommandFrame(const protocol::CommandFrame& frame);
// A text of a clock's record as JSON text: each byte is one character U+0000 to U+00FF (the
// way clock files write texts), so any bytes survive.
std::string ByteText(std::string_view bytes);
// Lower-case hex of bytes, no separators.
std::string Hex(std::span<const std::uint8_t> bytes);

class RequestLog {
  public:
    // Opens (truncates) `path`; false and `error` when it cannot.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return file_ != nullptr; }
    // Writes `line` on one line, then flushes.
    void Write(const json::Json& line);

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace tavlo::clocksim
