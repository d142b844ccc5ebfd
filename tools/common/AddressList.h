// The address lists of the simulator's command line and clock file: "198.18.0.10",
// "198.18.0.10-198.18.0.14", "198.18.0.10-14" or a comma list of these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4.h"

namespace tavlo::common {

// A list holds at most this many addresses.
inline constexpr std::size_t kMaxListedAddresses = 4096;

// "A", "A-B" or "A-D" (D the last number of B, same first three numbers), or a comma list of
// these, in dotted decimal without leading zeros. Nothing and `error` for malformed text, a range
// that runs backwards, more than kMaxListedAddresses addresses, or addresses no clock may have
// (0.0.0.0, 255.255.255.255, or a last number of 0 or 255).
std::optional<std::vector<platform::Ipv4>> ParseAddressList(std::string_view text,
                                                            std::string& error);

}  // namespace tavlo::common
