// How a clock is reached, and the one mapping between that and the clock's family.
#pragma once

#include <cstdint>
#include <optional>

#include "protocol/ClockFamily.h"

namespace tavlo::workflow {

// How a clock is reached: a current clock of the wired family (chunks on port 6869) or of the
// Wi-Fi family (whole frames on port 6866), or an early-version clock (command frames).
enum class ClockKind : std::uint8_t { kWired, kWifi, kEarly };

// The kind of a current clock of `family`; nothing without a family.
constexpr std::optional<ClockKind> CurrentClockKind(protocol::ClockFamily family) {
    switch (family) {
        case protocol::ClockFamily::kWired:
            return ClockKind::kWired;
        case protocol::ClockFamily::kWifi:
            return ClockKind::kWifi;
        case protocol::ClockFamily::kNone:
            break;
    }
    return std::nullopt;
}

// The family of a clock of `kind`; none for an early-version clock, which belongs to neither.
constexpr protocol::ClockFamily FamilyOfKind(ClockKind kind) {
    switch (kind) {
        case ClockKind::kWired:
            return protocol::ClockFamily::kWired;
        case ClockKind::kWifi:
            return protocol::ClockFamily::kWifi;
        case ClockKind::kEarly:
            break;
    }
    return protocol::ClockFamily::kNone;
}

}  // namespace tavlo::workflow
