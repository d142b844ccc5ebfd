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

#include "platform/Broadcast.h"
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

// Rounds and waits, the same for a broadcast and a sweep (a sweep's wait counted from the
// round's last probe).
constexpr int kWifiRounds = 3;
constexpr int kWiredRounds = 5;
constexpr milliseconds kWifiWait{1000};
constexpr milliseconds kWiredWait{500};
constexpr milliseconds kWiredRoundPause{500};
constexpr milliseconds kWifiEarlyWait{1000};
constexpr milliseconds kWiredEarlyWait{2000};
// Waits and pauses look at the stop request at least this often.
constexpr milliseconds kStopPollInterval{50};
// A sweep shows the address it reached at most this often.
constexpr milliseconds kProgressInterval{100};
// Datagrams a sweep takes between two probes at most, so that a flood cannot stall it.
constexpr int kMaxRepliesPerProbe = 64;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;

// Address arithmetic, in host byte order.
constexpr std::uint32_t kHostBroadcast = 0xFFFFFFFFu;
constexpr std::uint32_t kLastOctetMask = 0x000000FFu;
constexpr std::uint32_t kNetworkPartMask = 0xFFFFFF00u;
constexpr std::uint32_t kLastOctetBroadcast = 255;

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

// What a search sends to: a broadcast, or a sweep of ranges.
struct SearchPlan {
    // Broadcast: the address the early pass sends to (255.255.255.255, or a.b.c.255 typed
    // for "Unicast"); the current clocks are asked with the limited broadcast. Nothing for
    // a sweep.
    std::optional<std::uint32_t> broadcastStart;
    // A sweep's ranges, joined.
    std::vector<AddressRange> ranges;
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
    milliseconds since(std::uint32_t tick) {
        // Tick arithmetic wraps at 2^32; the differences stay right across the wrap.
        return milliseconds(network_.tickCount() - tick);
    }

    // Waits for the next reply of a round that began at tick `roundStart` until the line has
    // been quiet for `timeout` since tick `quietSince`. A round never collects for longer
    // than its wait plus kMaxCollectTime, so a peer that keeps sending cannot hold the search
    // for ever.
    platform::WaitResult waitForReply(milliseconds timeout, std::uint32_t quietSince,
                                      std::uint32_t roundStart);
    void pause(milliseconds duration);
    // Receives the replies of one broadcast round into `buffer`, cleared before each, until
    // no new sender has been heard for `wait` or a stop is requested. The first datagram of
    // each sender keeps the round open; its repeats do not, so a peer that floods the segment
    // costs a round no more time than one that answers once. take(sender) gets every reply
    // that isDropped lets through.
    template <typename Take>
    void receiveRound(milliseconds wait, std::span<std::uint8_t> buffer, Take&& take);
    // Datagrams from 255.255.255.255, of a size other than the buffer's or from this
    // machine are no replies; in a sweep neither is one from outside its ranges.
    bool isDropped(platform::Endpoint from, long size, std::size_t expected) const;

    // One round of a sweep: `probe` to every swept address of the ranges at the sweep's
    // pace, the replies taken meanwhile, then the replies of `wait` after the round's last
    // probe. False when a stop ended it.
    template <typename Take>
    bool sweepRound(std::span<const std::uint8_t> probe, std::uint16_t port, milliseconds wait,
                    std::span<std::uint8_t> buffer, Take&& take);
    // Waits up to `slice` for a datagram and takes it when it is a reply; then takes up to
    // `more` further datagrams that are already there.
    template <typename Take>
    void takeReplies(milliseconds slice, int more, std::span<std::uint8_t> buffer, Take& take);
    // Takes replies until `wait` has passed since tick `from`. False when a stop ended it.
    template <typename Take>
    bool takeRepliesFor(std::uint32_t from, milliseconds wait, std::span<std::uint8_t> buffer,
                        Take& take);
    // Probes per second of a sweep with probes of `probeSize` bytes.
    std::uint32_t paceFor(std::size_t probeSize) const;
    // Shows `host` as the address reached, at most every kProgressInterval; a later call of
    // showProgress() shows what was held back.
    void progress(std::uint32_t host);
    void showProgress();

    void probeWifi(std::uint32_t host);
    void probeWired(std::uint32_t host);
    void probeEarly(std::uint32_t host, std::uint16_t port, milliseconds broadcastWait,
                    bool insertItems);
    void sweepWifi();
    void sweepWired();
    void sweepEarly(std::uint16_t port, milliseconds wait, bool insertItems);

    // The addresses to search: the typed one for "Unicast" to .254 of its network (a.b.c.255
    // turns the search into a broadcast) and the options' ranges, else the limited
    // broadcast ("Broadcast" checked, the address control locked). Nothing when the typed
    // text is no address to start from.
    std::optional<SearchPlan> choosePlan();
    // Sets the socket up for the plan: the receive buffer, SO_BROADCAST for a broadcast.
    void prepareSocket();
    // Chooses the generations and the family and reports the controls; true for Wi-Fi.
    bool chooseFamily();
    // The pass over current clocks (when "V3.2" is checked).
    void searchCurrent(bool wifi);
    // The pass over early clocks and their group.
    void searchEarly(bool wifi);

    void takeCurrent(Ipv4 sender, std::span<const std::uint8_t> serialField);
    void takeEarly(Ipv4 sender, std::span<const std::uint8_t> frame, bool insertItems);
    void addItem(SearchGroup which, Group& group, Ipv4 sender, std::string text);
    // Sorts and de-duplicates the group, then labels it labelStart + count + labelEnd.
    void finishGroup(SearchGroup which, Group& group, const std::string& labelStart,
                     const std::string& labelEnd);
    void reportControls() { reporter_.controlsChanged(controls_); }
    void reportWarnings();
    bool isLocal(Ipv4 address) const { return IsLocalSender(protocol_, address); }
    // Sends a probe to `host`: a limited broadcast once out of every interface that has a
    // broadcast address. False when nothing went out.
    bool sendProbe(std::span<const std::uint8_t> bytes, std::uint32_t host, std::uint16_t port);
    // The name of the local interface whose network holds `address`, empty for none.
    std::string interfaceOf(Ipv4 address) const;

    platform::Network& network_;
    ProtocolState& protocol_;
    SearchState& state_;
    const SearchOptions& options_;
    SearchReporter& reporter_;
    std::stop_token stop_;
    ClockNonceSource nonces_;

    SearchControls controls_;
    SearchPlan plan_;
    std::vector<platform::NetworkInterface> interfaces_;
    std::vector<std::uint32_t> broadcastIndexes_;
    std::unique_ptr<platform::UdpSocket> socket_;
    Group current_;
    Group early_;
    std::uint64_t failedSends_ = 0;
    std::string sendError_;
    std::optional<std::uint32_t> progressShown_;
    std::optional<std::uint32_t> progressHeld_;
    std::uint32_t progressTick_ = 0;
};

platform::WaitResult SearchRun::waitForReply(milliseconds timeout, std::uint32_t quietSince,
                                             std::uint32_t roundStart) {
    const milliseconds roundLimit = timeout + kMaxCollectTime;
    for (;;) {
        if (stopRequested()) {
            return platform::WaitResult::kTimeout;
        }
        const auto elapsed = since(quietSince);
        const auto roundElapsed = since(roundStart);
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
        const auto elapsed = since(start);
        if (elapsed >= duration) {
            return;
        }
        network_.sleep(std::min(duration - elapsed, kStopPollInterval));
    }
}

bool SearchRun::isDropped(platform::Endpoint from, long size, std::size_t expected) const {
    if (from.address == platform::kLimitedBroadcast || size != static_cast<long>(expected) ||
        isLocal(from.address)) {
        return true;
    }
    if (plan_.broadcastStart) {
        return false;
    }
    const std::uint32_t host = platform::NetworkToHost32(from.address);
    return std::none_of(plan_.ranges.begin(), plan_.ranges.end(),
                        [host](const AddressRange& range) { return range.contains(host); });
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
        if (!isDropped(from, size, buffer.size())) {
            take(from.address);
        }
    }
}

template <typename Take>
void SearchRun::takeReplies(milliseconds slice, int more, std::span<std::uint8_t> buffer,
                            Take& take) {
    for (int taken = 0; taken <= more && !stopRequested(); ++taken) {
        const platform::WaitResult ready =
            socket_->waitReadable(taken == 0 ? slice : milliseconds(0));
        if (ready == platform::WaitResult::kError) {
            // Nothing to read until the wait would have ended; the time still passes.
            network_.sleep(slice);
            return;
        }
        if (ready == platform::WaitResult::kTimeout) {
            return;
        }
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        platform::Endpoint from;
        const long size = socket_->receiveFrom(buffer, from);
        if (!isDropped(from, size, buffer.size())) {
            take(from.address);
        }
    }
}

template <typename Take>
bool SearchRun::takeRepliesFor(std::uint32_t from, milliseconds wait,
                               std::span<std::uint8_t> buffer, Take& take) {
    for (;;) {
        showProgress();
        if (stopRequested()) {
            return false;
        }
        const milliseconds elapsed = since(from);
        if (elapsed >= wait) {
            return true;
        }
        takeReplies(std::min(wait - elapsed, kStopPollInterval), 0, buffer, take);
    }
}

std::uint32_t SearchRun::paceFor(std::size_t probeSize) const {
    if (options_.probesPerSecond != 0) {
        return options_.probesPerSecond;
    }
    switch (probeSize) {
        case kChunkSize:
            return kWiredProbesPerSecond;
        case kSettingsFrameSize:
            return kWifiProbesPerSecond;
        default:
            return kEarlyProbesPerSecond;
    }
}

void SearchRun::progress(std::uint32_t host) {
    progressHeld_ = host;
    showProgress();
}

void SearchRun::showProgress() {
    if (!progressHeld_ || progressHeld_ == progressShown_ ||
        (progressShown_ && since(progressTick_) < kProgressInterval)) {
        return;
    }
    progressShown_ = progressHeld_;
    progressTick_ = network_.tickCount();
    reporter_.addressProbed(platform::FormatIpv4(platform::HostToNetwork32(*progressShown_)));
}

template <typename Take>
bool SearchRun::sweepRound(std::span<const std::uint8_t> probe, std::uint16_t port,
                           milliseconds wait, std::span<std::uint8_t> buffer, Take&& take) {
    const std::uint64_t pace = paceFor(probe.size());
    const std::uint32_t roundStart = network_.tickCount();
    std::uint64_t sent = 0;
    for (const AddressRange& range : plan_.ranges) {
        for (std::uint64_t next = range.first; next <= range.last; ++next) {
            const auto host = static_cast<std::uint32_t>(next);
            if (!IsSweptAddress(host)) {
                continue;
            }
            // Probe n of the round goes no earlier than n / pace seconds into it.
            const milliseconds due(sent * kMillisecondsPerSecond / pace);
            for (milliseconds elapsed = since(roundStart); elapsed < due;
                 elapsed = since(roundStart)) {
                if (stopRequested()) {
                    return false;
                }
                takeReplies(std::min(due - elapsed, kStopPollInterval), 0, buffer, take);
            }
            if (stopRequested()) {
                return false;
            }
            sendProbe(probe, host, port);
            ++sent;
            progress(host);
            takeReplies(milliseconds(0), kMaxRepliesPerProbe, buffer, take);
        }
    }
    return takeRepliesFor(network_.tickCount(), wait, buffer, take);
}

bool SearchRun::sendProbe(std::span<const std::uint8_t> bytes, std::uint32_t host,
                          std::uint16_t port) {
    const platform::Endpoint to{platform::HostToNetwork32(host), port};
    const bool sent = host == kHostBroadcast
                          ? platform::SendOutOfEach(*socket_, bytes, to, broadcastIndexes_)
                          : socket_->sendTo(bytes, to) == static_cast<long>(bytes.size());
    if (!sent) {
        // A full neighbour table or an unreachable address fails this probe alone.
        ++failedSends_;
        sendError_ = socket_->lastError();
    }
    return sent;
}

std::string SearchRun::interfaceOf(Ipv4 address) const {
    for (const platform::NetworkInterface& in : interfaces_) {
        if (!in.loopback && in.netmask != 0 &&
            (in.address & in.netmask) == (address & in.netmask)) {
            return in.name;
        }
    }
    return {};
}

void SearchRun::addItem(SearchGroup which, Group& group, Ipv4 sender, std::string text) {
    const std::string shown = ToDisplayText(text);
    group.items.push_back(std::move(text));
    reporter_.itemAdded(which, shown);
    if (const std::string name = interfaceOf(sender); !name.empty()) {
        reporter_.itemHeardOn(which, shown, name);
    }
}

void SearchRun::takeCurrent(Ipv4 sender, std::span<const std::uint8_t> serialField) {
    if (!current_.exists) {
        current_.exists = true;
        const std::uint32_t masked = platform::NetworkToHost32(sender) & kNetworkPartMask;
        current_.text = platform::FormatIpv4(platform::HostToNetwork32(masked));
        reporter_.groupCreated(SearchGroup::kCurrent, current_.text);
    }
    addItem(SearchGroup::kCurrent, current_, sender, ItemText(sender, serialField));
}

void SearchRun::takeEarly(Ipv4 sender, std::span<const std::uint8_t> frame, bool insertItems) {
    // The checksum of an answer is not looked at; its request marker must not be 0.
    if (frame[kRequestMarkerOffset] == 0 || !insertItems) {
        return;
    }
    addItem(SearchGroup::kEarly, early_, sender,
            ItemText(sender, frame.subspan(kEarlySerialNumberOffset, kEarlySerialNumberSize)));
}

// The probe frames: a Wi-Fi discovery frame, a wired one as its single chunk, an early read.
namespace probes {

void Wifi(SettingsFrame& frame) {
    frame.fill(0);
    frame[kFrameTypeOffset] = ToByte(FrameType::kDiscovery);
    std::copy(kMagic.begin(), kMagic.end(), frame.begin() + kMagicOffset);
}

void Wired(ProtocolState& protocol, FrameChunk& chunk, NonceSource& nonces) {
    ResetReassembly(protocol.chunks);
    SettingsFrame& frame = protocol.settingsFrame;
    frame.fill(0);
    frame[kFlagsOffset] |= kFlagCarriedOut;
    frame[kFrameTypeOffset] = ToByte(FrameType::kDiscovery);
    chunk.fill(0);
    BuildNextChunk(protocol, chunk, nonces);
}

void Early(CommandFrame& frame) {
    frame.fill(0);
    SealCommandFrame(frame, ToByte(CommandCode::kRead), RequestMarker::kLeave);
}

// A wired announcement in `chunk` rebuilt into the cleared frame with the reassembly idle,
// so that nothing a previous datagram left behind may shift it. True for a discovery reply.
bool TakeWiredAnnouncement(ProtocolState& protocol, const FrameChunk& chunk) {
    SettingsFrame& frame = protocol.settingsFrame;
    frame.fill(0);
    ResetReassembly(protocol.chunks);
    AcceptChunk(protocol, chunk);
    return (frame[kFlagsOffset] & kFlagCarriedOut) != 0 &&
           frame[kFrameTypeOffset] == ToByte(FrameType::kDiscovery);
}

std::span<const std::uint8_t> SerialField(const SettingsFrame& frame) {
    return std::span<const std::uint8_t>(frame).subspan(kSerialNumberOffset, kSerialNumberSize);
}

}  // namespace probes

void SearchRun::probeWifi(std::uint32_t host) {
    SettingsFrame& frame = protocol_.settingsFrame;
    for (int round = 0; round < kWifiRounds; ++round) {
        probes::Wifi(frame);
        sendProbe(frame, host, kFullFramePort);
        // Neither flags nor type of a Wi-Fi reply are looked at.
        receiveRound(kWifiWait, frame,
                     [&](Ipv4 sender) { takeCurrent(sender, probes::SerialField(frame)); });
    }
}

void SearchRun::probeWired(std::uint32_t host) {
    FrameChunk chunk{};
    for (int round = 0; round < kWiredRounds; ++round) {
        probes::Wired(protocol_, chunk, nonces_);
        sendProbe(chunk, host, kChunkPort);
        receiveRound(kWiredWait, chunk, [&](Ipv4 sender) {
            if (probes::TakeWiredAnnouncement(protocol_, chunk)) {
                takeCurrent(sender, probes::SerialField(protocol_.settingsFrame));
            }
        });
        pause(kWiredRoundPause);
    }
}

void SearchRun::probeEarly(std::uint32_t host, std::uint16_t port, milliseconds broadcastWait,
                           bool insertItems) {
    CommandFrame& frame = protocol_.commandFrame;
    probes::Early(frame);
    sendProbe(frame, host, port);
    receiveRound(broadcastWait, frame, [&](Ipv4 sender) { takeEarly(sender, frame, insertItems); });
}

void SearchRun::sweepWifi() {
    SettingsFrame probe{};
    probes::Wifi(probe);
    SettingsFrame& frame = protocol_.settingsFrame;
    for (int round = 0; round < kWifiRounds; ++round) {
        if (!sweepRound(probe, kFullFramePort, kWifiWait, frame,
                        [&](Ipv4 sender) { takeCurrent(sender, probes::SerialField(frame)); })) {
            return;
        }
    }
}

void SearchRun::sweepWired() {
    FrameChunk probe{};
    FrameChunk chunk{};
    for (int round = 0; round < kWiredRounds; ++round) {
        probes::Wired(protocol_, probe, nonces_);
        // The pause after a round's wait is a wait too: a late reply is as good as any.
        if (!sweepRound(probe, kChunkPort, kWiredWait + kWiredRoundPause, chunk, [&](Ipv4 sender) {
                if (probes::TakeWiredAnnouncement(protocol_, chunk)) {
                    takeCurrent(sender, probes::SerialField(protocol_.settingsFrame));
                }
            })) {
            return;
        }
    }
}

void SearchRun::sweepEarly(std::uint16_t port, milliseconds wait, bool insertItems) {
    CommandFrame probe{};
    probes::Early(probe);
    CommandFrame& frame = protocol_.commandFrame;
    sweepRound(probe, port, wait, frame,
               [&](Ipv4 sender) { takeEarly(sender, frame, insertItems); });
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

void SearchRun::reportWarnings() {
    if (failedSends_ != 0) {
        reporter_.warning(std::to_string(failedSends_) +
                          " probes could not be sent and were skipped (" + sendError_ + ")");
    }
}

SearchOutcome SearchRun::run() {
    controls_ = SearchControls{options_.broadcastChecked,  options_.unicastChecked,
                               !options_.broadcastChecked, options_.wiredChecked,
                               options_.wifiChecked,       options_.earlyVersionsChecked,
                               options_.v32Checked};
    std::optional<SearchPlan> plan = choosePlan();
    if (!plan) {
        reporter_.message(kPleaseSelectValidIp);
        return SearchOutcome::kInvalidAddress;
    }
    plan_ = std::move(*plan);
    // Every address of this machine, so that our own broadcasts coming back are never taken.
    std::vector<Ipv4> local = network_.localAddresses();
    if (local.empty()) {
        return SearchOutcome::kNoLocalAddress;
    }
    protocol_.LocalAddressList = std::move(local);
    interfaces_ = network_.interfaces();
    broadcastIndexes_ = platform::BroadcastInterfaces(interfaces_);
    socket_ = network_.openUdp();
    if (!socket_) {
        return SearchOutcome::kSocketFailed;
    }
    prepareSocket();

    // The search starts. A stop asked for before this point stays asked for.
    std::uint8_t idle = kSearchIdle;
    state_.SearchStopFlag.compare_exchange_strong(idle, kSearchRunning);
    reporter_.searchStarted();
    const bool wifi = chooseFamily();

    SearchOutcome outcome = SearchOutcome::kCompleted;
    const std::uint16_t port = wifi ? kFullFramePort : kChunkPort;
    if (socket_->bind(platform::kAnyAddress, port)) {
        searchCurrent(wifi);
        searchEarly(wifi);
        reportWarnings();
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

std::optional<SearchPlan> SearchRun::choosePlan() {
    SearchPlan plan;
    plan.ranges = options_.ranges;
    if (!options_.unicastChecked) {
        if (plan.ranges.empty()) {
            controls_.broadcastChecked = true;
            controls_.ipAddressEnabled = false;
            reportControls();
            plan.broadcastStart = kHostBroadcast;
        }
        plan.ranges = JoinRanges(std::move(plan.ranges));
        return plan;
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
    const std::uint32_t start = platform::NetworkToHost32(parsed);
    if (LastOctetOfHost(start) == kLastOctetBroadcast) {
        // a.b.c.255: the current clocks are asked with a broadcast, the early ones at a.b.c.255.
        plan.ranges.clear();
        plan.broadcastStart = start;
        return plan;
    }
    plan.ranges.push_back(SweepToEndOfNetwork(start));
    plan.ranges = JoinRanges(std::move(plan.ranges));
    return plan;
}

void SearchRun::prepareSocket() {
    // Hundreds of clocks may answer at once.
    socket_->setReceiveBuffer(kSearchReceiveBuffer);
    const int granted = socket_->receiveBufferSize();
    if (granted != 0 && granted < kSearchReceiveBuffer) {
        reporter_.warning("The system gave the search a receive buffer of " +
                          std::to_string(granted) + " bytes instead of " +
                          std::to_string(kSearchReceiveBuffer) +
                          ": the replies of many clocks at once may be lost");
    }
    if (plan_.broadcastStart) {
        socket_->enableBroadcast();
    } else {
        socket_->setSendBuffer(kSweepSendBuffer);
    }
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

void SearchRun::searchCurrent(bool wifi) {
    if (!controls_.v32Checked) {
        return;
    }
    if (plan_.broadcastStart) {
        if (wifi) {
            probeWifi(kHostBroadcast);
        } else {
            probeWired(kHostBroadcast);
        }
    } else if (wifi) {
        sweepWifi();
    } else {
        sweepWired();
    }
    if (current_.exists) {
        finishGroup(SearchGroup::kCurrent, current_,
                    current_.text + (wifi ? kWifiLabelStart : kWiredLabelStart), kLabelEnd);
    }
}

void SearchRun::searchEarly(bool wifi) {
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
        const milliseconds earlyWait = wifi ? kWifiEarlyWait : kWiredEarlyWait;
        if (plan_.broadcastStart) {
            probeEarly(*plan_.broadcastStart, earlyPort, earlyWait, early);
        } else {
            sweepEarly(earlyPort, earlyWait, early);
        }
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
