// The firmware update of one clock: takes the target, the file and the MAC address as the
// System page holds them when the update starts, writes the file to the clock over TFTP and
// reports progress and the result back to the page. Runs on its own thread; the page only
// asks whether it still runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "firmware/RetransmitTimer.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateReporter.h"
#include "firmware/UpdateState.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "platform/WorkerThread.h"

namespace tavlo::firmware {

inline constexpr const char* kInvalidIpMessage = "Please enter a valid IP!";
inline constexpr const char* kInvalidMacMessage = "Please enter a valid MAC address!";
inline constexpr const char* kNetworkAnomalyMessage =
    "Network anomalies,the NTP clock without reply!\nThen you need to manually restart the NTP "
    "clock!";
inline constexpr const char* kUpdateSuccessfulMessage = "Update Successful!";
inline constexpr const char* kUpdateFalseMessage = "Update False!";
// After "Update False!" when the clock's last answer was a TFTP error packet.
inline constexpr const char* kClockRefusedFormat = "The clock refused the file: %s (error %u)";
// The result of an update whose clock has no known MAC address (an empty "MAC Address:"
// field and no entry in the neighbour table).
inline constexpr const char* kNoMacKnownFormat = "No MAC address known for %s (no answer to ARP)";
inline constexpr const char* kBreakQuestion = "Do you want to break update?";
// A batch of updates that a break ended before its remaining clocks.
inline constexpr const char* kUserBreakMessage = "User break,we can't go to the next clock update!";

// How an update worker ended.
enum class WorkerExit : std::int8_t {
    kSucceeded = 0,
    kFailed = -1,
};

struct UpdateOutcome {
    WorkerExit exitCode = WorkerExit::kFailed;
    // The update was refused before any packet went out (a message said why).
    bool refused = false;
    std::uint32_t fileLength = 0;
    // Milliseconds from the first data block to the acknowledgement of the last one (the
    // pause after the write request is not part of it); 0 when the data phase never ended.
    std::uint32_t dataPhaseMs = 0;
    int datagramsSent = 0;
    // The transfer failed and the clock's last answer was this error packet.
    std::optional<ErrorPacket> clockRefusal;
    // No MAC address was given and the neighbour table knows none for the clock: nothing
    // was sent (the clock is most likely absent).
    bool macUnknown = false;
};

// "The clock refused the file: MESSAGE (error CODE)", the message made printable.
std::string ClockRefusedText(const ErrorPacket& refusal);
// "No MAC address known for ADDRESS (no answer to ARP)".
std::string NoMacKnownText(platform::Ipv4 address);

using MacLookupFunction = std::function<std::optional<platform::MacAddress>(platform::Ipv4)>;

// What the update reads from the System page, taken when it starts.
struct UpdateTarget {
    platform::Ipv4 address = 0;  // the address control, network byte order (0 when empty)
    std::string firmwarePath;    // the firmware file field
    std::string macAddressText;  // the "MAC Address:" field
    // The wait before a data block goes again (the page's "fixed wait" setting).
    WaitPolicy waitPolicy = WaitPolicy::kAdaptive;
};

class UpdateWorker {
  public:
    // `lookupMac` answers for an empty "MAC Address:" field (normally
    // platform::LookupMacAddress). All references must outlive the worker.
    UpdateWorker(platform::Network& network, UpdateState& state, UpdateTarget target,
                 UpdateReporter& reporter, MacLookupFunction lookupMac);
    // Asks a running update to give up before its next send, then waits for the thread.
    ~UpdateWorker() = default;
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // The verbs of platform::WorkerThread, for the update's thread.
    // Starts the update on a new thread (once).
    void Start();
    // Asks the update to give up quietly (no more boxes) before its next send; returns at
    // once. Join() then waits about a second at most.
    void RequestStop() { thread_.requestStop(); }
    // True from Start until the update has ended.
    bool IsRunning() const { return thread_.isRunning(); }
    // Waits up to `timeout` for the update to end; true when it has.
    bool WaitFor(std::chrono::milliseconds timeout) { return thread_.waitFor(timeout); }
    // Waits for the thread to end.
    void Join() { thread_.join(); }
    // An update sent to a broadcast address leaves by these interfaces (their names); empty
    // (the start): by every interface with a broadcast address. Set before Start.
    void SetBroadcastInterfaces(std::vector<std::string> names) {
        broadcastInterfaces_ = std::move(names);
    }
    // The result of the finished run (meaningful once IsRunning() is false).
    UpdateOutcome Outcome() const;

    // The whole update on the calling thread; a stop requested through `stop` makes it give
    // up quietly before its next send.
    UpdateOutcome Run(std::stop_token stop = {});

  private:
    platform::Network& network_;
    UpdateState& state_;
    const UpdateTarget target_;
    std::vector<std::string> broadcastInterfaces_;
    UpdateReporter& reporter_;
    MacLookupFunction lookupMac_;
    UpdateOutcome outcome_;
    // Last: its job uses everything above.
    platform::WorkerThread thread_;
};

}  // namespace tavlo::firmware
