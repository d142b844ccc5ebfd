#include "protocol/Discovery.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "protocol/Chunks.h"
#include "protocol/CommandFrames.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"

namespace tavlo::protocol {
namespace {

using platform::Ipv4;
using std::chrono::milliseconds;

// Rounds and waits of one probed address.
constexpr int kWifiRounds = 3;
constexpr int kWiredRounds = 5;
constexpr milliseconds kWifiBroadcastWait{1000};
constexpr milliseconds kWifiUnicastWait{20000};
constexpr milliseconds kWiredBroadcastWait{500};
constexpr milliseconds kWiredUnicastWait{200};
constexpr milliseconds kWiredRoundPause{500};
constexpr milliseconds kWifiEarlyBroadcastWait{1000};
constexpr milliseconds kWiredEarlyBroadcastWait{2000};
constexpr milliseconds kEarlyUnicastWait{100};
// Waits and pauses look at the stop request at least this often.
constexpr milliseconds kStopPollInterval{50};

// Sweep arithmetic, in host byte order.
constexpr std::uint32_t kHostBroadcast = 0xFFFFFFFFu;
constexpr std::uint32_t kLastOctetMask = 0x000000FFu;
constexpr std::uint32_t kNetworkPartMask = 0xFFFFFF00u;
constexpr std::uint32_t kLastOctetBroadcast = 255;
constexpr std::uint32_t kLastOctetFinal = 254;

// Group labels: "%s (WIRED:%d)", "%s (WIFI:%d)" and "%s: %d" with "Early Versions".
constexpr const char* kWiredLabelStart = " (WIRED:";
constexpr const char* kWifiLabelStart = " (WIFI:";
constexpr const char* kLabelEnd = ")";
constexpr const char* kEarlyLabelSeparator = ": ";

std::uint8_t LastOctetOfHost(std::uint32_t host) {
    return static_cast<std::uint8_t>(host & kLastOctetMask);
}

// A fixed-width text field: bytes up to the first NUL or the end of the field.
std::string FieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

// The tree control's order: case-insensitive, then byte order so equal texts sit together.
bool TreeTextLess(const std::string& a, const std::string& b) {
    // ASCII only, whatever the process locale: the second byte of a two-byte character
    // must never fold.
    const auto fold = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    const bool less =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
        });
    if (less) {
        return true;
    }
    const bool greater =
        std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [&](char x, char y) {
            return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
        });
    return !greater && a < b;
}

// An item text: the dotted sender address, followed by " (serial number)" when the clock sent
// a non-empty serial number in `serialField`.
std::string ItemText(Ipv4 sender, std::span<const std::uint8_t> serialField) {
    std::string text = platform::FormatIpv4(sender);
    const std::string serial = FieldText(serialField);
    if (!serial.empty()) {
        text += " (" + serial + ")";
    }
    return text;
}

// Item texts are kept in the clocks' code page (sorted and compared as such) and reported
// in UTF-8.
std::string ToDisplayText(const std::string& text) {
    return platform::Cp936ToUtf8(text);
}

// One group item of the device tree and its children, in the clock's own text encoding.
struct Group {
    bool exists = false;
    std::string text;
    std::vector<std::string> items;
};

class SearchRun {
  public:
    SearchRun(platform::Network& network, ProtocolState& protocol, SearchState& state,
              const SearchOptions& options, SearchReporter& reporter, std::stop_token stop)
        : network_(network),
          protocol_(protocol),
          state_(state),
          options_(options),
          reporter_(reporter),
          stop_(std::move(stop)),
          nonces_(network) {}

    SearchOutcome run();

  private:
    bool stopRequested() const {
        return state_.SearchStopFlag.load() == kSearchStopRequested || stop_.stop_requested();
    }

    // Waits for the next reply of a round that began at tick `roundStart` until the line has
    // been quiet for `timeout` since tick `quietSince`. A round never collects for longer
    // than its wait plus kMaxCollectTime, so a peer that keeps sending cannot hold the search
    // for ever.
    platform::WaitResult waitForReply(milliseconds timeout, std::uint32_t quietSince,
                                      std::uint32_t roundStart);
    void pause(milliseconds duration);
    // Receives the replies of one round into `buffer`, cleared before each, until no new
    // sender has been heard for `wait` or a stop is requested. The first datagram of each
    // sender keeps the round open; its repeats do not, so a peer that floods the segment
    // costs a round no more time than one that answers once. Datagrams from 255.255.255.255, of a
    // size other than the buffer's or from this machine are dropped; take(sender) gets the others.
    template <typename Take>
    void receiveRound(milliseconds wait, std::span<std::uint8_t> buffer, Take&& take);

    // Walks the sweep from `first` (host order), calling probe(current) for every address.
    template <typename Probe>
    void sweep(std::uint32_t first, Probe&& probe);

    void probeWifi(std::uint32_t host);
    void probeWired(std::uint32_t host);
    void probeEarly(std::uint32_t host, std::uint16_t port, milliseconds broadcastWait,
                    bool insertItems);

    // The first address of the sweep (host order): the typed one for "Unicast", else the
    // limited broadcast ("Broadcast" checked, the address control locked). Nothing when the
    // typed text is no address to start from.
    std::optional<std::uint32_t> chooseStart();
    // Sets the socket up for many answers at once, and for broadcasts when `start` ends in
    // 255; returns the first address of the current clocks' sweep.
    std::uint32_t prepareSocket(std::uint32_t start);
    // Checks both generations when neither is, and "WIRED" when no family is; selects the
    // family searched. True for Wi-Fi.
    bool chooseFamily();
    // The pass over current clocks (when "V3.2" is checked), from `first`.
    void searchCurrent(std::uint32_t first, bool wifi);
    // The pass over early clocks, from `start`, and their group.
    void searchEarly(std::uint32_t start, bool wifi);

    void takeCurrent(Ipv4 sender, std::span<const std::uint8_t> serialField);
    // Sorts and de-duplicates the group, then labels it labelStart + count + labelEnd.
    void finishGroup(SearchGroup which, Group& group, const std::string& labelStart,
                     const std::string& labelEnd);
    void reportControls() { reporter_.controlsChanged(controls_); }
    bool isLocal(Ipv4 address) const { return IsLocalSender(protocol_, address); }
    bool sendProbe(std::span<const std::uint8_t> bytes, std::uint32_t host, std::uint16_t port) {
        const platform::Endpoint to{platform::HostToNetwork32(host), port};
        return socket_->sendTo(bytes, to) == static_cast<long>(bytes.size());
    }

    platform::Network& network_;
    ProtocolState& protocol_;
    SearchState& state_;
    const SearchOptions& options_;
    SearchReporter& reporter_;
    std::stop_token stop_;
    ClockNonceSource nonces_;

    SearchControls controls_;
    std::unique_ptr<platform::UdpSocket> socket_;
    Group current_;
    Group early_;
};

platform::WaitResult SearchRun::waitForReply(milliseconds timeout, std::uint32_t quietSince,
                                             std::uint32_t roundStart) {
    const milliseconds roundLimit = timeout + kMaxCollectTime;
    for (;;) {
        if (stopRequested()) {
            return platform::WaitResult::kTimeout;
        }
        // Tick arithmetic wraps at 2^32; the differences stay right across the wrap.
        const std::uint32_t now = network_.tickCount();
        const auto elapsed = milliseconds(now - quietSince);
        const auto roundElapsed = milliseconds(now - roundStart);
        if (elapsed >= timeout || roundElapsed >= roundLimit) {
            return platform::WaitResult::kTimeout;
        }
        const milliseconds slice =
            std::min({timeout - elapsed, roundLimit - roundElapsed, kStopPollInterval});
        const platform::WaitResult result = socket_->waitReadable(slice);
        if (result != platform::WaitResult::kTimeout) {
            return result;
        }
    }
}

void SearchRun::pause(milliseconds duration) {
    const std::uint32_t start = network_.tickCount();
    for (;;) {
        if (stopRequested()) {
            return;
        }
        const auto elapsed = milliseconds(network_.tickCount() - start);
        if (elapsed >= duration) {
            return;
        }
        network_.sleep(std::min(duration - elapsed, kStopPollInterval));
    }
}

template <typename Take>
void SearchRun::receiveRound(milliseconds wait, std::span<std::uint8_t> buffer, Take&& take) {
    const std::uint32_t roundStart = network_.tickCount();
    std::uint32_t quietSince = roundStart;
    std::set<Ipv4> heard;
    while (waitForReply(wait, quietSince, roundStart) == platform::WaitResult::kReadable) {
        if (stopRequested()) {
            return;
        }
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        platform::Endpoint from;
        const long size = socket_->receiveFrom(buffer, from);
        if (size >= 0 && heard.insert(from.address).second) {
            quietSince = network_.tickCount();
        }
        if (from.address == platform::kLimitedBroadcast ||
            size != static_cast<long>(buffer.size()) || isLocal(from.address)) {
            continue;
        }
        take(from.address);
    }
}

template <typename Probe>
void SearchRun::sweep(std::uint32_t first, Probe&& probe) {
    std::uint32_t current = first;
    for (;;) {
        // A network address (last octet 0) is never sent to; the sweep moves past it.
        if (current == kHostBroadcast ||
            LastOctetOfHost(current) != platform::kNetworkAddressOctet) {
            probe(current);
        }
        const std::uint8_t last = LastOctetOfHost(current);
        if (current == kHostBroadcast || last == kLastOctetBroadcast || last == kLastOctetFinal) {
            return;
        }
        ++current;
        reporter_.addressProbed(platform::FormatIpv4(platform::HostToNetwork32(current)));
        if (stopRequested()) {
            return;
        }
    }
}

void SearchRun::takeCurrent(Ipv4 sender, std::span<const std::uint8_t> serialField) {
    if (!current_.exists) {
        current_.exists = true;
        const std::uint32_t masked = platform::NetworkToHost32(sender) & kNetworkPartMask;
        current_.text = platform::FormatIpv4(platform::HostToNetwork32(masked));
        reporter_.groupCreated(SearchGroup::kCurrent, current_.text);
    }
    const std::string text = ItemText(sender, serialField);
    current_.items.push_back(text);
    reporter_.itemAdded(SearchGroup::kCurrent, ToDisplayText(text));
}

void SearchRun::probeWifi(std::uint32_t host) {
    const bool broadcast = host == kHostBroadcast;
    const milliseconds wait = broadcast ? kWifiBroadcastWait : kWifiUnicastWait;
    SettingsFrame& frame = protocol_.settingsFrame;
    for (int round = 0; round < kWifiRounds; ++round) {
        frame.fill(0);
        frame[kFrameTypeOffset] = ToByte(FrameType::kDiscovery);
        std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
        sendProbe(frame, host, kFullFramePort);
        // Neither flags nor type of a Wi-Fi reply are looked at.
        receiveRound(wait, frame, [&](Ipv4 sender) {
            takeCurrent(sender, std::span<const std::uint8_t>(frame).subspan(kSerialNumberOffset,
                                                                             kSerialNumberSize));
        });
    }
}

void SearchRun::probeWired(std::uint32_t host) {
    const bool broadcast = host == kHostBroadcast;
    const milliseconds wait = broadcast ? kWiredBroadcastWait : kWiredUnicastWait;
    SettingsFrame& frame = protocol_.settingsFrame;
    FrameChunk chunk{};
    for (int round = 0; round < kWiredRounds; ++round) {
        ResetReassembly(protocol_.chunks);
        frame.fill(0);
        frame[kFlagsOffset] |= kFlagCarriedOut;
        frame[kFrameTypeOffset] = ToByte(FrameType::kDiscovery);
        chunk.fill(0);
        BuildNextChunk(protocol_, chunk, nonces_);
        sendProbe(chunk, host, kChunkPort);
        receiveRound(wait, chunk, [&](Ipv4 sender) {
            // Every announcement is one whole chunk: rebuilt into a cleared frame with the
            // reassembly idle, nothing a previous datagram left behind may shift it.
            frame.fill(0);
            ResetReassembly(protocol_.chunks);
            AcceptChunk(protocol_, chunk);
            if ((frame[kFlagsOffset] & kFlagCarriedOut) != 0 &&
                frame[kFrameTypeOffset] == ToByte(FrameType::kDiscovery)) {
                takeCurrent(sender, std::span<const std::uint8_t>(frame).subspan(
                                        kSerialNumberOffset, kSerialNumberSize));
            }
        });
        pause(kWiredRoundPause);
    }
}

void SearchRun::probeEarly(std::uint32_t host, std::uint16_t port, milliseconds broadcastWait,
                           bool insertItems) {
    // A subnet broadcast (a.b.c.255) collects answers from many clocks, as the limited one.
    const bool broadcast = LastOctetOfHost(host) == kLastOctetBroadcast;
    const milliseconds wait = broadcast ? broadcastWait : kEarlyUnicastWait;
    CommandFrame& frame = protocol_.commandFrame;
    frame.fill(0);
    SealCommandFrame(frame, ToByte(CommandCode::kRead), RequestMarker::kLeave);
    sendProbe(frame, host, port);
    // The checksum of an answer is not looked at; its request marker must not be 0.
    receiveRound(wait, frame, [&](Ipv4 sender) {
        if (frame[kRequestMarkerOffset] == 0 || !insertItems) {
            return;
        }
        const std::string text =
            ItemText(sender, std::span<const std::uint8_t>(frame).subspan(kEarlySerialNumberOffset,
                                                                          kEarlySerialNumberSize));
        early_.items.push_back(text);
        reporter_.itemAdded(SearchGroup::kEarly, ToDisplayText(text));
    });
}

void SearchRun::finishGroup(SearchGroup which, Group& group, const std::string& labelStart,
                            const std::string& labelEnd) {
    auto& items = group.items;
    std::stable_sort(items.begin(), items.end(), TreeTextLess);
    items.erase(std::unique(items.begin(), items.end()), items.end());
    const std::string label = labelStart + std::to_string(items.size()) + labelEnd;
    std::vector<std::string> shown;
    shown.reserve(items.size());
    for (const std::string& item : items) {
        shown.push_back(ToDisplayText(item));
    }
    reporter_.groupFinished(which, shown, label);
    reporter_.groupExpanded(which);
}

SearchOutcome SearchRun::run() {
    controls_ = SearchControls{options_.broadcastChecked,  options_.unicastChecked,
                               !options_.broadcastChecked, options_.wiredChecked,
                               options_.wifiChecked,       options_.earlyVersionsChecked,
                               options_.v32Checked};
    const std::optional<std::uint32_t> start = chooseStart();
    if (!start) {
        reporter_.message(kPleaseSelectValidIp);
        return SearchOutcome::kInvalidAddress;
    }
    // Every address of this machine, so that our own broadcasts coming back are never taken.
    std::vector<Ipv4> local = network_.localAddresses();
    if (local.empty()) {
        return SearchOutcome::kNoLocalAddress;
    }
    protocol_.LocalAddressList = std::move(local);
    socket_ = network_.openUdp();
    if (!socket_) {
        return SearchOutcome::kSocketFailed;
    }
    const std::uint32_t first = prepareSocket(*start);

    // The search starts. A stop asked for before this point stays asked for.
    std::uint8_t idle = kSearchIdle;
    state_.SearchStopFlag.compare_exchange_strong(idle, kSearchRunning);
    reporter_.searchStarted();
    const bool wifi = chooseFamily();

    SearchOutcome outcome = SearchOutcome::kCompleted;
    const std::uint16_t port = wifi ? kFullFramePort : kChunkPort;
    if (socket_->bind(platform::kAnyAddress, port)) {
        searchCurrent(first, wifi);
        searchEarly(*start, wifi);
    } else {
        reporter_.networkError("Cannot use UDP port " + std::to_string(port) + ": " +
                               socket_->lastError());
        outcome = SearchOutcome::kBindFailed;
    }
    socket_.reset();
    reporter_.searchEnded();
    state_.SearchStopFlag.store(kSearchIdle);
    return outcome;
}

std::optional<std::uint32_t> SearchRun::chooseStart() {
    if (!options_.unicastChecked) {
        controls_.broadcastChecked = true;
        controls_.ipAddressEnabled = false;
        reportControls();
        return kHostBroadcast;
    }
    const Ipv4 parsed = platform::ParseIpv4(options_.ipAddressText);
    // Text that is no address at all reads as 255.255.255.255; it must not turn a unicast
    // sweep into a broadcast.
    const std::string_view typed =
        std::string_view(options_.ipAddressText).substr(0, options_.ipAddressText.find(' '));
    if (parsed == 0 || (parsed == platform::kLimitedBroadcast &&
                        !platform::ParseDottedAddress(typed).has_value())) {
        return std::nullopt;
    }
    return platform::NetworkToHost32(parsed);
}

std::uint32_t SearchRun::prepareSocket(std::uint32_t start) {
    // Hundreds of clocks may answer a broadcast at once.
    socket_->setReceiveBuffer(kBroadcastReceiveBuffer);
    if (LastOctetOfHost(start) != kLastOctetBroadcast) {
        return start;
    }
    socket_->enableBroadcast();
    return kHostBroadcast;
}

bool SearchRun::chooseFamily() {
    if (!controls_.earlyVersionsChecked && !controls_.v32Checked) {
        controls_.earlyVersionsChecked = true;
        controls_.v32Checked = true;
    }
    if (!controls_.wiredChecked && !controls_.wifiChecked) {
        controls_.wiredChecked = true;
    }
    const bool wifi = !controls_.wiredChecked;
    controls_.wifiChecked = wifi;
    state_.WifiFamilySelected.store(wifi ? 1 : 0);
    state_.WiredFamilySelected.store(wifi ? 0 : 1);
    reportControls();
    return wifi;
}

void SearchRun::searchCurrent(std::uint32_t first, bool wifi) {
    if (!controls_.v32Checked) {
        return;
    }
    sweep(first, [this, wifi](std::uint32_t host) {
        if (wifi) {
            probeWifi(host);
        } else {
            probeWired(host);
        }
    });
    if (current_.exists) {
        finishGroup(SearchGroup::kCurrent, current_,
                    current_.text + (wifi ? kWifiLabelStart : kWiredLabelStart), kLabelEnd);
    }
}

void SearchRun::searchEarly(std::uint32_t start, bool wifi) {
    const bool early = controls_.earlyVersionsChecked;
    if (early) {
        early_.exists = true;
        reporter_.groupCreated(SearchGroup::kEarly, kEarlyVersionsText);
    }
    // The Wi-Fi search sends its early probes also when only "V3.2" is checked, and then
    // lists nothing of what answers them; the wired search probes early clocks only for
    // "Early versions". Early Wi-Fi clocks listen on the whole-frame port.
    if (!stopRequested() && (early || (wifi && controls_.v32Checked))) {
        const std::uint16_t earlyPort = wifi ? kFullFramePort : kCommandPort;
        const milliseconds earlyWait = wifi ? kWifiEarlyBroadcastWait : kWiredEarlyBroadcastWait;
        sweep(start, [this, earlyPort, earlyWait, early](std::uint32_t host) {
            probeEarly(host, earlyPort, earlyWait, early);
        });
    }
    if (early) {
        finishGroup(SearchGroup::kEarly, early_,
                    std::string(kEarlyVersionsText) + kEarlyLabelSeparator, "");
    }
}

}  // namespace

SearchOutcome RunSearch(platform::Network& network, ProtocolState& protocol, SearchState& state,
                        const SearchOptions& options, SearchReporter& reporter,
                        std::stop_token stop) {
    SearchRun run(network, protocol, state, options, reporter, std::move(stop));
    return run.run();
}

SearchWorker::SearchWorker(platform::Network& network, ProtocolState& protocol, SearchState& state,
                           SearchOptions options, SearchReporter& reporter)
    : network_(network),
      protocol_(protocol),
      state_(state),
      options_(std::move(options)),
      reporter_(reporter) {}

SearchWorker::~SearchWorker() {
    requestStop();
    join();
}

void SearchWorker::start() {
    thread_.start([this](std::stop_token stop) {
        outcome_.store(
            RunSearch(network_, protocol_, state_, options_, reporter_, std::move(stop)));
    });
}

void SearchWorker::requestStop() {
    thread_.requestStop();
    std::uint8_t running = kSearchRunning;
    state_.SearchStopFlag.compare_exchange_strong(running, kSearchStopRequested);
}

}  // namespace tavlo::protocol
