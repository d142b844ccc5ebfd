// The Basic Information page without widgets: what each of its controls holds, and the
// routines that empty it, show a clock's read reply on it, turn it back into a write request
// and react to the operator's clicks. Plain data and pure functions: a snapshot taken on the
// GUI thread can be stored on a worker thread, and a front end without widgets can drive the
// page as the operator would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pagemodel/PageControls.h"
#include "protocol/ClockFamily.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "settings/TimeZone.h"

namespace tavlo::settings {

// The page is made of the plain control models.
using pagemodel::ButtonControl;
using pagemodel::ListControl;
using pagemodel::NumberItems;
using pagemodel::TextControl;
using pagemodel::TextKind;

inline constexpr std::size_t kTimeServerRows = kTimeServerRowCount;
// Rows whose domain-name box can be used (rows 1 and 2); the others keep it empty.
inline constexpr std::size_t kDomainRows = kDomainNameRowCount;

// Edit limits of the page, in code page 936 bytes (digits are one byte each).
inline constexpr std::size_t kPortMaxChars = 5;
inline constexpr std::size_t kKeyIdMaxChars = 5;
inline constexpr std::size_t kKeyMaxBytes = kRowKeySize;
inline constexpr std::size_t kDomainMaxBytes = kDomainNameSize;
inline constexpr std::size_t kPasswordMaxBytes = kPasswordSize;
inline constexpr std::size_t kDisplayTextMaxBytes = kDisplayTextSize;
inline constexpr unsigned kMaxPortOrKeyId = 65535;
// The count-down duration list offers 0 to 9 hours.
inline constexpr std::uint8_t kMaxCountDownHours = 9;

// Range messages, raised while typing and again by the store.
inline constexpr std::string_view kPortRangeMessage = "Port Number Must be 1~65535!";
inline constexpr std::string_view kKeyIdRangeMessage = "NTP key ID Must be 1~65535!";
// The counter beside the display text: bytes used of kDisplayTextMaxBytes.
inline constexpr char kDisplayTextCounterFormat[] = "%d/32";

// Refusals of the stores.
inline constexpr std::string_view kInvalidIpMessage = "Invalid IP address,please enter again";
inline constexpr std::string_view kInvalidGatewayMessage =
    "Invalid Gateway IP address,please enter again";
inline constexpr std::string_view kInvalidDnsMessage = "Invalid DNS IP address,please enter again";
inline constexpr std::string_view kInvalidTimeServerMessage =
    "Invalid NTP Server IP address,please enter again";
inline constexpr std::string_view kNoTimeServerMessage =
    "Please enter at least one Time Server IP!";
inline constexpr std::string_view kNoTimeServerNameMessage =
    "Please enter at least one Time Server DNS!";
inline constexpr std::string_view kDstIncompleteMessage = "All DST option must be filled in.";

// The text of the server-in-use marker.
inline constexpr std::string_view kServerInUseMarker = "*";

// Items of the page's fixed lists, in list order (the number lists use NumberItems).
inline constexpr std::array<std::string_view, 5> kBrightnessItems{"Brilliant", "Bright", "Normal",
                                                                  "Dim", "OFF"};

// An address a clock can be given: first octet neither 0 nor 127 and at most 223, last octet
// not 0. 0 and 255.255.255.255 (empty or malformed text) fail.
bool IsHostAddress(platform::Ipv4 address);

// One row of the "NTP Setting" group.
struct TimeServerRowModel {
    TextControl marker;  // "*" beside the server in use
    TextControl address{{}, true, TextKind::kAddress};
    TextControl domain{{}, false, TextKind::kText, kDomainMaxBytes};
    TextControl port{{}, false, TextKind::kDigits, kPortMaxChars};
    TextControl keyId{{}, false, TextKind::kDigits, kKeyIdMaxChars};
    TextControl key{{}, false, TextKind::kText, kKeyMaxBytes};
    friend bool operator==(const TimeServerRowModel&, const TimeServerRowModel&) = default;
};

// One daylight-saving rule edge: "Start at" or "End at".
struct DstEdgeModel {
    ListControl hour{NumberItems(0, kMaxHour)};
    ListControl week{kDstWeekNames};
    ListControl weekday{kDstWeekdayNames};
    ListControl month{kDstMonthNames};
    friend bool operator==(const DstEdgeModel&, const DstEdgeModel&) = default;
};

// What every control of the Basic Information page holds. A default model is the page as it
// is created.
struct BasicPageModel {
    // "Versions Information"
    TextControl version;
    TextControl serialNumber;
    // "Time Setting"
    ButtonControl format12;
    ButtonControl format24;
    ListControl timeZone{kTimeZoneLabels};
    // "Clock IP Setting"
    ButtonControl dynamicIp;
    ButtonControl staticIp;
    TextControl ipAddress{{}, true, TextKind::kAddress};
    TextControl subnetMask{{}, true, TextKind::kAddress};
    TextControl gateway{{}, true, TextKind::kAddress};
    TextControl dnsServer{{}, true, TextKind::kAddress};
    // "NTP Setting"
    ButtonControl timeServerIp;
    ButtonControl domain{false, false};
    std::array<TimeServerRowModel, kTimeServerRows> servers{};
    // "Count Down Setting"
    ListControl countDownStartHour{NumberItems(0, kMaxHour)};
    ListControl countDownStartMinute{NumberItems(0, kMaxMinute)};
    ListControl countDownStartSecond{NumberItems(0, kMaxSecond)};
    ListControl countDownDurationHours{NumberItems(0, kMaxCountDownHours)};
    ListControl countDownDurationMinutes{NumberItems(0, kMaxMinute)};
    ListControl countDownDurationSeconds{NumberItems(0, kMaxSecond)};
    // "Energy Saving Setting"
    ListControl energySavingFrom{NumberItems(0, kMaxHour)};  // "Energy\nSaving :\nPeriod"
    ListControl energySavingTo{NumberItems(0, kMaxHour)};    // "To"
    ButtonControl displayDim{false, false};
    ButtonControl displayClose{false, false};
    // "Brightness Setting"
    ListControl brightness{kBrightnessItems};
    // The brightness code of the clock shown last, written back when the list has no
    // selection (a code the list does not offer); nothing when no clock was shown.
    std::optional<std::uint8_t> reportedBrightness;
    // "Daylight Saving Time Setting"
    ButtonControl dstEnable;
    DstEdgeModel dstStart;
    DstEdgeModel dstEnd;
    // "Text Display"
    TextControl displayText{{}, false, TextKind::kText, kDisplayTextMaxBytes};
    ButtonControl roll{false, false};
    ButtonControl alternate{false, false};
    ListControl alternateSeconds{NumberItems(kMinAlternateSeconds, kMaxAlternateSeconds), true};
    // "Humiture and Temperature Setting"
    ButtonControl celsius{false, false};
    ButtonControl fahrenheit{false, false};
    TextControl humidity;       // beside "Humiture:"
    TextControl humitureSpare;  // the small text between "Humiture:" and "Temp:"
    TextControl temperature;    // beside "Temp:"
    ListControl timeDuration{NumberItems(kMinDisplayDuration, kMaxDisplayDuration), true};
    ListControl humidityDuration{NumberItems(kMinDisplayDuration, kMaxDisplayDuration), true};
    ListControl temperatureDuration{NumberItems(kMinDisplayDuration, kMaxDisplayDuration), true};
    // "Password Information"
    TextControl userPassword{{}, false, TextKind::kText, kPasswordMaxBytes};
    TextControl globalPassword{{}, false, TextKind::kText, kPasswordMaxBytes};

    // The lists that are created disabled: count-down, daylight saving, seconds, durations.
    BasicPageModel();

    // The eight daylight-saving lists in the order the enable box walks them: start hour,
    // weekday, week, month, then the same for the end.
    std::array<ListControl*, 8> dstLists();
    std::array<const ListControl*, 8> dstLists() const;
    // "IP Address :", "Subnet Mask :", "Default Gateway :", "DNS Server  :".
    std::array<TextControl*, 4> clockAddresses();
    // The six count-down lists: start hour, minute, second; duration hours, minutes, seconds.
    std::array<ListControl*, 6> countDownLists();
    // "Time:", "Temp.:", "Hum.:" (bytes 143, 144 and 145).
    std::array<ListControl*, 3> durationLists();

    friend bool operator==(const BasicPageModel&, const BasicPageModel&) = default;
};

// The control a refusal puts the focus on.
enum class BasicField : std::uint8_t {
    kUnchanged,  // the focus stays where it is
    kIpAddress,
    kGateway,
    kDnsServer,
    kServerAddress,  // of `row`
    kDomainName,     // of `row`
    kPort,           // of `row`
    kKeyId,          // of `row`
};

struct BasicFocus {
    BasicField field = BasicField::kUnchanged;
    std::size_t row = 0;  // 0 to 4 for the fields of a server row
    friend bool operator==(const BasicFocus&, const BasicFocus&) = default;
};

// Why the page cannot be stored: the operator is shown the message and the focus moves.
struct Refusal {
    std::string message;
    BasicFocus focus;
    friend bool operator==(const Refusal&, const Refusal&) = default;
};

// A store's outcome: nothing when the frame holds a complete request, else the refusal (the
// frame then holds what was stored before the bad entry and must not be sent).
using StoreResult = std::optional<Refusal>;

// Empties the page: no clock shown. The three display-duration lists keep their state.
void ClearBasicPage(BasicPageModel& model);

// Empties and locks the three display-duration lists, as the page creates them (after a read
// nobody answered, so that nothing of the clock shown before stays).
void ClearDisplayDurations(BasicPageModel& model);

// Shows a current clock's read reply. Does nothing unless the frame type is 1. A text display
// mode outside 2 to 5 (other than 0, roll) is shown as 2 and written back into the frame.
void ShowClockSettings(BasicPageModel& model, SettingsBytes frame, protocol::ClockFamily family);

// Clears the page, then shows an early-version clock's read reply when its command code is 1.
void ShowEarlyClockSettings(BasicPageModel& model, ConstCommandBytes commandFrame);

// Writes the page into a current clock's write request (frame type 2) in a frame the caller
// has cleared, checking the entries in the page's order.
StoreResult StoreClockSettings(const BasicPageModel& model, SettingsBytes frame);

// Clears the command frame and writes the page into an early-version clock's write request.
StoreResult StoreEarlyClockSettings(const BasicPageModel& model, CommandBytes commandFrame);

// The handlers of the page's buttons, run after a click has changed the button. A radio
// button's handler acts only when its own button is checked.
void OnDynamicIp(BasicPageModel& model);
void OnStaticIp(BasicPageModel& model);
void OnTimeServerIp(BasicPageModel& model);
void OnDomain(BasicPageModel& model);
void OnDstEnable(BasicPageModel& model);
void OnRoll(BasicPageModel& model);
void OnAlternate(BasicPageModel& model);

// The page's buttons, for clicking them as the operator would.
enum class BasicButton : std::uint8_t {
    kFormat12,
    kFormat24,
    kDynamicIp,
    kStaticIp,
    kTimeServerIp,
    kDomain,
    kDisplayDim,
    kDisplayClose,
    kDstEnable,
    kRoll,
    kAlternate,
    kCelsius,
    kFahrenheit,
};

// A click on an enabled button: a radio button becomes checked and the other button of its
// pair unchecked, the check box toggles; then the button's handler runs. A disabled button
// takes no click: false, and nothing changes.
bool Click(BasicPageModel& model, BasicButton button);

}  // namespace tavlo::settings
