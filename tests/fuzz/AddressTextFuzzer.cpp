// Address, address-range and MAC texts, as the window, the command line, the simulator and the
// System page read them. The input is the text.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/common/AddressList.h"

namespace tavlo::fuzz {
namespace {

constexpr std::uint8_t kNetworkOctet = 0;
constexpr std::uint8_t kBroadcastOctet = 255;

// The strict form means one address, and the same one to the reader the clocks' texts go
// through; it is exactly how that address is written.
void CheckDotted(std::string_view text) {
    // Four decimal numbers, leading zeros read as decimal: the text is the address's one
    // spelling exactly when it has no leading zero.
    if (const auto read = platform::ReadDottedDecimal(text)) {
        FUZZ_CHECK(read->leadingZero == (platform::FormatIpv4(read->address) != text));
        FUZZ_CHECK(platform::ParseIpv4(text) == read->address);
    }
    const auto parsed = platform::ParseDottedAddress(text);
    if (!parsed) {
        return;
    }
    FUZZ_CHECK(platform::FormatIpv4(*parsed) == text);
    FUZZ_CHECK(platform::ParseIpv4(text) == *parsed);
}

void CheckWindowAddress(std::string_view text) {
    // Only the text up to the first blank counts: "192.168.1.20 (SN0042)" is the address.
    const platform::Ipv4 address = platform::ParseIpv4(text);
    const std::size_t end = text.find_first_of(std::string_view(" \0", 2));
    if (end != std::string_view::npos) {
        FUZZ_CHECK(platform::ParseIpv4(text.substr(0, end)) == address);
        FUZZ_CHECK(platform::ParseIpv4(std::string(text.substr(0, end)) + " tail") == address);
    }
}

void CheckAddressList(std::string_view text) {
    std::string error;
    const auto list = common::ParseAddressList(text, error);
    if (!list) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(!list->empty() && list->size() <= common::kMaxListedAddresses);
    std::string joined;
    for (const platform::Ipv4 address : *list) {
        FUZZ_CHECK(address != platform::kAnyAddress && address != platform::kLimitedBroadcast);
        FUZZ_CHECK(platform::LastOctet(address) != kNetworkOctet &&
                   platform::LastOctet(address) != kBroadcastOctet);
        joined += (joined.empty() ? "" : ",") + platform::FormatIpv4(address);
    }
    // The addresses written out one by one read back as the same list.
    const auto again = common::ParseAddressList(joined, error);
    FUZZ_CHECK(again && *again == *list);
}

void CheckMac(std::string_view text) {
    const auto mac = firmware::ParseMacAddress(text);
    if (!mac) {
        return;
    }
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    FUZZ_CHECK(firmware::FormatMacAddress(*mac) == upper);
    FUZZ_CHECK(firmware::ParseMacAddress(upper) == mac);
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckWindowAddress(text);
    CheckDotted(text);
    CheckAddressList(text);
    CheckMac(text);
    return 0;
}
