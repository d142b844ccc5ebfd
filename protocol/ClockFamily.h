// The two families of current clocks. A wired clock is reached with chunks
// (ExchangeChunkedFrame), a Wi-Fi clock with whole frames (ExchangeFullFrame). The window's
// "WIRED" / "WIFI" choice and the device tree's group labels name a family; the Basic page
// shows "Static IP" for wired clocks only, and firmware goes to wired clocks only.
#pragma once

#include <cstdint>

namespace tavlo::protocol {

// kNone: no family chosen yet.
enum class ClockFamily : std::uint8_t { kNone, kWifi, kWired };

// The family of the search state's flags: Wi-Fi when its flag is set, else wired when that
// flag is set, else none.
constexpr ClockFamily FamilyFromFlags(std::uint16_t wifiFamilySelected,
                                      std::uint16_t wiredFamilySelected) {
    if (wifiFamilySelected != 0) {
        return ClockFamily::kWifi;
    }
    if (wiredFamilySelected != 0) {
        return ClockFamily::kWired;
    }
    return ClockFamily::kNone;
}

}  // namespace tavlo::protocol
