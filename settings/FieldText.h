// Every field of a settings record by name, its value in the form the pages show it: dotted
// addresses, version "3.29", readings with one decimal, texts as text (UTF-8), the time zone as
// its list label. For the command line and for logs of what a clock sent or received.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
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

// Texts of the value forms, for whatever reads them back (`tavlo write`).
inline constexpr std::string_view kTwelveHoursText = "12";
inline constexpr std::string_view kTwentyFourHoursText = "24";
inline constexpr std::string_view kDynamicIpText = "Dynamic IP";
inline constexpr std::string_view kStaticIpText = "Static IP";
inline constexpr std::string_view kByAddressText = "Time Server IP";
inline constexpr std::string_view kByNameText = "Domain";
inline constexpr std::string_view kRollText = "Roll";
inline constexpr std::string_view kAlternateText = "Alternate(s): ";  // and the seconds
inline constexpr std::string_view kDstDisabledText = "disabled";
// A daylight-saving rule: "HOUR O'clock on the WEEK WEEKDAY in MONTH", twice, joined by " to ".
inline constexpr std::string_view kDstHourWords = " O'clock on the ";
inline constexpr std::string_view kDstMonthWord = " in ";
inline constexpr std::string_view kDstRuleWord = " to ";

// Value forms shared with the Wi-Fi fields and the pages.
std::string DstTransitionText(
    const DstTransition& transition);                         // "2 O'clock on the Last Sun in Mar"
std::string DstRuleText(const std::optional<DstRule>& rule);  // "... to ...", or "disabled"
std::string ClockTimeText(const ClockTime& time);             // "23:59:45"

}  // namespace tavlo::settings
