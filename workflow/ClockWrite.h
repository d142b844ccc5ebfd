// Modify and Batch Modify: turning the page in front into a write request, checking it against
// the selected clock, and sending it with the family's exchange. One implementation for both
// front ends: the window runs it on a worker thread with a snapshot of its page, `tavlo write`
// runs it with a page model it filled itself.
//
// Input is a plain WriteRequest (the selected clock's address, generation, family, page, the page's
// model and the selected clock's known passwords); output a plain WriteOutcome that the front
// end turns into a message box and focus, or an exit status. RunWrite touches no widget and
// no global: it runs on the line passed in (see ClockLine.h), and a stop token
// ends it between attempts (the window triggers it when it closes, then joins).
//
// What it does, by case:
//   Modify, current clock: clear the SettingsFrame (batch bit clear), store the page (Basic:
//     StoreClockSettings, then the user password check; WIFI: StoreWifiPage, which keeps the
//     clock's own values for what the operator left alone, no check), check the target, then
//     send: Wi-Fi one whole frame; wired up to five chunked exchanges 500 ms apart, the page
//     stored (and checked) again before each; neither family: nothing.
//     A write that gives the clock another address or dynamic IP is also acknowledged from
//     the clock's new place (MovedClockOf); the same holds for early-version clocks.
//   Modify, early-version clock: Basic page only (else nothing happens); StoreEarlyClock-
//     Settings, the target check, one command 2 exchange.
//   Batch Modify, current clock: clear the frame, set the batch bit, store the page (WIFI:
//     refused with wifi::kBatchNeedsNetworkMessage unless the page names the network for every
//     clock, and stored without the values of the clock read), the global password check, one
//     broadcast by family; the number of clocks that acknowledged is reported when positive.
//   Batch Modify, early-version clock: Basic page only; StoreEarlyClockSettings, dynamic IP
//     required, one command 2 broadcast.
// The System page's firmware hand-over is the window's own and never comes here.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "protocol/ProtocolState.h"
#include "settings/BasicPageModel.h"
#include "wifi/WifiPageModel.h"
#include "workflow/ClockRead.h"

namespace tavlo::workflow {

// Texts the window shows for the outcomes.
inline constexpr std::string_view kSettingSuccessfulMessage = "Setting Successful!";
inline constexpr std::string_view kWrongUserPasswordMessage =
    "Please enter the correct User Password!";
inline constexpr std::string_view kWrongGlobalPasswordMessage =
    "Please enter the correct Global Password!";
inline constexpr std::string_view kInvalidTargetMessage = "Please select a valid IP!";
inline constexpr char kBatchCountFormat[] = "%d clock have been setting successfully!";
inline constexpr std::string_view kEarlyBatchNeedsDynamicIpMessage =
    "This version is only for Batch Modify using dynamic IP configuration!\n"
    "Please select dynamic IP on the \"Clock IP Setting\"Group.";

// Wired Modify: at most this many exchanges, this far apart.
inline constexpr int kWiredWriteAttempts = 5;
inline constexpr std::chrono::milliseconds kWiredWritePause{500};

// The generation of the selected clock: an early-version clock sits under "Early Versions".
enum class Generation : std::uint8_t { kCurrent, kEarly };

// The page in front when the button was pressed (the System page never comes here).
enum class WritePage : std::uint8_t { kBasic, kWifi };

// "Modify" writes to the selected clock; "Batch Modify" to every clock by broadcast.
enum class WriteScope : std::uint8_t { kOneClock, kEveryClock };

struct WriteRequest {
    WriteScope scope = WriteScope::kOneClock;
    // Modify: the selected clock's address, as the front end took it from the tree item or the
    // command line; nothing when the selection names no clock. Modify refuses nothing, 0, a
    // network and a broadcast address (kInvalidTarget). Batch Modify does not use it.
    std::optional<platform::Ipv4> target;
    Generation generation = Generation::kCurrent;
    // The "WIRED" / "WIFI" choice; kNone before any choice (nothing is then sent).
    protocol::ClockFamily family = protocol::ClockFamily::kNone;
    WritePage page = WritePage::kBasic;
    // The page's controls as the operator left them; only the model of `page` is read.
    settings::BasicPageModel basic;
    wifi::WifiPageModel wifi;
    // The selected clock's passwords from its last read.
    KnownPasswords known;
    // Batch Modify: the interfaces its broadcast leaves by (their names); empty: every
    // interface with a broadcast address.
    std::vector<std::string> broadcastInterfaces;
    // Store and check everything but send nothing (status kReady).
    bool dryRun = false;
};

enum class WriteStatus : std::uint8_t {
    kNothingToDo,          // early-version clock with the WIFI page in front: nothing happens
    kNotSent,              // neither family selected: nothing sent, no message
    kRefused,              // the page store refused: `message` and `focus` (WIFI: kUnchanged)
    kWrongUserPassword,    // kWrongUserPasswordMessage
    kWrongGlobalPassword,  // kWrongGlobalPasswordMessage
    kInvalidTarget,        // kInvalidTargetMessage
    kNeedsDynamicIp,       // kEarlyBatchNeedsDynamicIpMessage
    kReady,                // dry run: the request is stored and checked, nothing was sent
    kAcknowledged,         // kSettingSuccessfulMessage
    kNoAnswer,             // Modify: the clock did not acknowledge; no message
    kBatchAnswered,        // Batch Modify: `count` clocks answered; BatchCountMessage(count)
    kBatchUnanswered,      // Batch Modify: no clock answered (or a count that is not positive)
    kStopped,              // the stop token was triggered; no message
};

struct WriteOutcome {
    WriteStatus status = WriteStatus::kNothingToDo;
    // The message box to show; empty when the window shows none.
    std::string message;
    // kRefused: the control that gets the focus.
    settings::BasicFocus focus;
    // Batch Modify: the number of clocks that acknowledged, and which they were (in the order
    // they answered).
    int count = 0;
    std::vector<platform::Ipv4> acknowledgedBy;
    // Exchanges made.
    int exchanges = 0;
    // Where the request goes once the target is checked: the clock's address (Modify) or
    // 255.255.255.255 (Batch Modify); nothing when it was refused before.
    std::optional<platform::Ipv4> target;
    // Why the last exchange could not even wait for an answer (a port in use), else empty.
    std::string failure;
    // The request as stored last (what was sent, or what would have been): a SettingsFrame
    // for current clocks, a CommandFrame for early-version clocks.
    std::optional<protocol::SettingsFrame> settingsRequest;
    std::optional<protocol::CommandFrame> commandRequest;
};

// Who may acknowledge a write sent to `target` that gives the clock `newAddress` (0 for
// none) and, with `dynamicIp`, lets it take an address nobody knows yet: the new address when
// it differs from the target, and with dynamic IP any sender of a reply carrying the clock's
// `serialNumber` (as the request carries it from the read). Nobody else.
protocol::MovedClock MovedClockOf(platform::Ipv4 target, platform::Ipv4 newAddress, bool dynamicIp,
                                  const std::string& serialNumber);

// `clocks` in the order of their addresses (198.18.0.9 before 198.18.0.10): how the front
// ends list the clocks that acknowledged a batch.
std::vector<platform::Ipv4> ByAddress(std::vector<platform::Ipv4> clocks);

// "%d clock have been setting successfully!" with `count`.
std::string BatchCountMessage(int count);

// Runs Modify or Batch Modify as `request` says. The frames of the line's state are used as
// the window uses them (the request is built and sent in them, the reply lands in them).
WriteOutcome RunWrite(const WriteRequest& request, ClockLine& line,
                      const std::stop_token& stop = {});

}  // namespace tavlo::workflow
