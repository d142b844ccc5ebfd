// The simulator's clock file (--clocks FILE). The input is the file. It is refused with one
// line, or it gives at most kMaxClocks clocks at addresses a clock may have, with faults in
// their ranges, whose replies decode and print as any clock's reply must and whose records the
// request log writes as JSON.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/Ipv4.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/Config.h"
#include "tools/clocksim/RequestLog.h"
#include "tools/common/Json.h"

namespace tavlo::fuzz {
namespace {

constexpr std::uint8_t kNetworkOctet = 0;
constexpr std::uint8_t kBroadcastOctet = 255;

bool IsShare(double p) {
    return p >= 0 && p <= 1;
}

void CheckClock(const clocksim::SimClock& clock) {
    FUZZ_CHECK(platform::LastOctet(clock.address) != kNetworkOctet &&
               platform::LastOctet(clock.address) != kBroadcastOctet);
    const clocksim::Faults& faults = clock.faults;
    FUZZ_CHECK(IsShare(faults.drop) && IsShare(faults.duplicate) && IsShare(faults.dropAcks));
    FUZZ_CHECK(faults.delayMs >= 0 && faults.jitterMs >= 0 && faults.ignoreFirst >= 0 &&
               faults.floodPerSecond >= 0);
    FUZZ_CHECK(faults.appliesTo != 0);
    if (clocksim::IsEarly(clock.kind)) {
        const protocol::CommandFrame reply = clocksim::EarlyReplyFrame(clock, 1, true);
        CheckEarlyRecord(reply);
        FUZZ_CHECK(nlohmann::json::accept(json::Write(clocksim::DecodeCommandFrame(reply))));
    } else {
        const protocol::SettingsFrame reply = clocksim::ReplyFrame(clock, 1, true);
        CheckSettingsRecord(reply);
        FUZZ_CHECK(nlohmann::json::accept(json::Write(clocksim::DecodeSettingsFrame(reply))));
    }
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto clocks = clocksim::LoadClockFile(text, clocksim::Faults{}, error);
    if (!clocks) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(error.empty());
    FUZZ_CHECK(clocks->size() <= clocksim::kMaxClocks);
    for (const clocksim::SimClock& clock : *clocks) {
        fuzz::CheckClock(clock);
    }
    return 0;
}
