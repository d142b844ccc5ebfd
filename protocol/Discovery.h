// Clock discovery: the search engine behind the window's "Search" button and `tavlo search`.
//
// One search covers one clock family (wired: chunked type-3 probes on port 6869, five rounds;
// Wi-Fi: whole type-3 frames on port 6866, three rounds) and then the clocks of the early
// firmware versions (command-1 probes). Every answer becomes an item text "address (SN)" under
// a group; each group ends sorted by text, de-duplicated and labelled with its count.
//
// A broadcast goes out once on every local interface that has a broadcast address. A sweep
// of address ranges is pipelined: each round sends the probe to every address of the ranges
// at a steady pace (replies are taken meanwhile, whatever round they answer), then waits as
// long as a broadcast round does. So a sweep of a /24 costs about what a broadcast costs,
// and nothing is kept per silent address.
//
// The engine never touches widgets: it reads a snapshot of the window's search controls when
// it starts (SearchOptions), tells the window which of those controls it changed
// (SearchControls) and reports everything else through SearchReporter, on the worker thread.
// A window implements SearchReporter by posting each call to its GUI thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "platform/WorkerThread.h"
#include "protocol/AddressRange.h"
#include "protocol/ProtocolState.h"

namespace tavlo::protocol {

// Values of SearchStopFlag.
inline constexpr std::uint8_t kSearchRunning = 0;        // a search is under way
inline constexpr std::uint8_t kSearchStopRequested = 1;  // "Stop to Search" was pressed
inline constexpr std::uint8_t kSearchIdle = 2;           // no search runs (the start value)

// Search state shared by the window, reading, Modify and the pages. The application creates
// exactly one and hands it to every part that needs it; tests make their own.
struct SearchState {
    // Clock family chosen by the "WIRED"/"WIFI" radios or by the last search:
    // Wi-Fi = 1 and 0, wired = 0 and 1, neither = both 0 (before any choice).
    std::atomic<std::uint16_t> WifiFamilySelected{0};
    std::atomic<std::uint16_t> WiredFamilySelected{0};
    // 2 idle, 1 stop requested, 0 while a search runs. The engine sets it to 0 when the search
    // really starts (only from idle, so a stop asked for before that still counts) and back to
    // 2 when it ends.
    std::atomic<std::uint8_t> SearchStopFlag{kSearchIdle};
};

// The window's search controls as the engine reads them when a search starts.
struct SearchOptions {
    bool broadcastChecked = false;      // "Broadcast" radio
    bool unicastChecked = false;        // "Unicast" radio
    std::string ipAddressText;          // IP-address control text, e.g. "192.168.1.1"
    bool wiredChecked = false;          // "WIRED" radio
    bool wifiChecked = false;           // "WIFI" radio
    bool earlyVersionsChecked = false;  // "Early versions" check box
    bool v32Checked = false;            // "V3.2" check box
    // Ranges swept besides the "Unicast" sweep (`tavlo search --range`). With ranges and
    // neither radio checked the search sweeps them alone and broadcasts nothing.
    std::vector<AddressRange> ranges;
    // Probes per second of a sweep; 0: the default for the probe's size, about 10 Mbit/s.
    std::uint32_t probesPerSecond = 0;
};

// Default pace of a sweep: about 10 Mbit/s of probes of each size, so that a sweep never
// floods a segment or a Wi-Fi bridge.
inline constexpr std::uint32_t kWiredProbesPerSecond = 8000;  // 106-byte chunks
inline constexpr std::uint32_t kWifiProbesPerSecond = 1500;   // 772-byte frames
inline constexpr std::uint32_t kEarlyProbesPerSecond = 9000;  // 95-byte command frames
// Receive buffer a search asks for, so that hundreds of clocks answering at once lose nothing.
inline constexpr int kSearchReceiveBuffer = 4 << 20;
// Send buffer of a sweep: probes to silent addresses wait in it until their neighbour's
// address resolution gives up (about 3 s), and a full buffer refuses every further probe.
inline constexpr int kSweepSendBuffer = 16 << 20;

// The controls after the engine changed them. The engine checks "Broadcast" and disables the
// IP-address control for a broadcast search, checks "WIRED" when no family was chosen (and
// clears the radio of the family not searched), and checks both generation boxes when
// neither was checked. The window applies every field as given.
struct SearchControls {
    bool broadcastChecked = false;
    bool unicastChecked = false;
    bool ipAddressEnabled = true;
    bool wiredChecked = false;
    bool wifiChecked = false;
    bool earlyVersionsChecked = false;
    bool v32Checked = false;
};

// The two groups a search can create in the device tree.
enum class SearchGroup : std::uint8_t {
    kCurrent,  // current clocks of the searched family: "a.b.c.0 (WIRED:n)" / "(WIFI:n)"
    kEarly,    // early firmware versions: "Early Versions: n"
};

// Texts of the search, shown as they are.
inline constexpr const char* kPleaseSelectValidIp = "Please select a valid IP!";
inline constexpr const char* kEarlyVersionsText = "Early Versions";

// Everything a search shows. Called on the worker thread, in the order the search makes the
// changes; texts are UTF-8. Every function has an empty default so that a front end
// implements only what it shows.
class SearchReporter {
  public:
    virtual ~SearchReporter() = default;

    // The engine changed the search controls (called before searchStarted, and possibly even
    // when the search then ends without starting).
    virtual void controlsChanged(const SearchControls& /*controls*/) {}
    // A message box text; the search does not start ("Please select a valid IP!").
    virtual void message(const std::string& /*text*/) {}
    // The search started: hide and disable "Search", show "Stop to Search", disable the tree.
    virtual void searchStarted() {}
    // A sweep moved on: the IP-address control now shows this dotted address, the last one
    // probed. Reported at most ten times a second; the last address of a round is shown
    // within a tenth of a second after it.
    virtual void addressProbed(const std::string& /*dottedAddress*/) {}
    // A root group item was created with this text ("192.168.1.0" or "Early Versions").
    virtual void groupCreated(SearchGroup /*group*/, const std::string& /*text*/) {}
    // An item was inserted last in the group: "192.168.1.20 (SN0042)" or "192.168.1.20".
    // The same text can come more than once (a clock answers every round).
    virtual void itemAdded(SearchGroup /*group*/, const std::string& /*text*/) {}
    // The group was sorted by text and de-duplicated: `items` is the group's complete final
    // list of children in order, and `label` its new text ("192.168.1.0 (WIRED:3)",
    // "Early Versions: 2"). The window replaces the group's children and text with these.
    virtual void groupFinished(SearchGroup /*group*/, const std::vector<std::string>& /*items*/,
                               const std::string& /*label*/) {}
    // The group item is to be expanded.
    virtual void groupExpanded(SearchGroup /*group*/) {}
    // A local interface heard the clock of an item just added (`text` as in itemAdded); not
    // called when no interface's network holds the clock's address (a routed clock).
    virtual void itemHeardOn(SearchGroup /*group*/, const std::string& /*text*/,
                             const std::string& /*interfaceName*/) {}
    // Something an operator should know that did not stop the search: probes the system
    // would not send, a receive buffer smaller than asked for.
    virtual void warning(const std::string& /*text*/) {}
    // The search's socket could not take its port (another program holds it), so no reply
    // can arrive; the search ends at once. `text` says why, for an operator.
    virtual void networkError(const std::string& /*text*/) {}
    // The search ended: show and enable "Search", hide "Stop to Search", enable the tree.
    virtual void searchEnded() {}
};

// How a search ended.
enum class SearchOutcome : std::uint8_t {
    kCompleted,       // ran to its end (or to a requested stop)
    kInvalidAddress,  // "Please select a valid IP!"; nothing else happened
    kNoLocalAddress,  // this machine's addresses could not be listed; nothing was sent
    kSocketFailed,    // no UDP socket could be opened; nothing was sent
    kBindFailed,      // the port is taken (networkError was reported); nothing was sent
};

// Runs one whole search on the calling thread and returns when it is over. `stop` is a
// second stop request besides SearchStopFlag (the one of a SearchWorker's thread, so a stale
// flag can never stop a later search). Once a stop is requested, nothing more is received, a
// wait or pause that is running ends within 50 ms, the remaining rounds of a broadcast are
// still sent (without waiting), a sweep sends no further probe, no further pass runs, and the
// groups are still sorted and labelled ("Early Versions: 0").
SearchOutcome RunSearch(platform::Network& network, ProtocolState& protocol, SearchState& state,
                        const SearchOptions& options, SearchReporter& reporter,
                        std::stop_token stop = {});

// Runs one search on its own thread. Destroying it stops the search and waits for the thread,
// which then takes at most a few tens of milliseconds (the waits poll the stop request).
// The network, protocol state, search state and reporter must outlive the worker.
class SearchWorker {
  public:
    SearchWorker(platform::Network& network, ProtocolState& protocol, SearchState& state,
                 SearchOptions options, SearchReporter& reporter);
    ~SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // The verbs of platform::WorkerThread, for the search's thread.
    // Starts the search on a new thread (once).
    void start();
    // "Stop to Search": sets SearchStopFlag to 1 while the search runs; does not wait.
    void requestStop();
    // True from start() until the search has ended (searchEnded has then been reported, if
    // it started).
    bool isRunning() const { return thread_.isRunning(); }
    // Waits up to `timeout` for the search to end; true when it has.
    bool waitFor(std::chrono::milliseconds timeout) { return thread_.waitFor(timeout); }
    // Waits for the thread to end.
    void join() { thread_.join(); }
    // How the search ended; valid once isRunning() is false.
    SearchOutcome outcome() const { return outcome_.load(); }

  private:
    platform::Network& network_;
    ProtocolState& protocol_;
    SearchState& state_;
    const SearchOptions options_;
    SearchReporter& reporter_;
    std::atomic<SearchOutcome> outcome_{SearchOutcome::kCompleted};
    // Last: its job uses everything above.
    platform::WorkerThread thread_;
};

}  // namespace tavlo::protocol
