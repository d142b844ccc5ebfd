// Every field of a settings record by name, its value in the form the pages show it: dotted
// addresses, version "3.29", readings with one decimal, texts as text (UTF-8), the time zone as
// its list label. For the command line and for logs of what a clock sent or received.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"

namespace tavlo::settings {

struct FieldText {
    std::string name;    // lowerCamelCase, as the accessor
    std::size_t offset;  // of the field's first byte in its frame
    std::string value;
    bool secret = false;  // a password or key: shown only when asked for
    friend bool operator==(const FieldText&, const FieldText&) = default;
};

// The fields of a current clock's record in frame order (the Wi-Fi fields have their own).
std::vector<FieldText> DescribeClockSettings(ConstClockSettings settings);
// The fields of an early-version clock's record in frame order.
std::vector<FieldText> DescribeEarlyClockSettings(ConstEarlyClockSettings settings);

// Value forms shared with the Wi-Fi fields and the pages.
std::string DstTransitionText(
    const DstTransition& transition);                         // "2 O'clock on the Last Sun in Mar"
std::string DstRuleText(const std::optional<DstRule>& rule);  // "... to ...", or "disabled"
std::string ClockTimeText(const ClockTime& time);             // "23:59:45"

}  // namespace tavlo::settings
