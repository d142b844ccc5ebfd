#include "firmware/UpdateWorker.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "firmware/TftpExchange.h"
#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"
#include "platform/TextCodec.h"

namespace tavlo::firmware {
namespace {

constexpr int kCompletePercent = 100;
constexpr double kPercentScale = 100.0;
constexpr std::size_t kLineBufferSize = 96;
constexpr int kPercentDecimals = 2;
// Any percentage with two decimals fits (the value is 0 to 100).
constexpr std::size_t kPercentBufferSize = 32;
constexpr std::string_view kTextPlaceholder = "%s";
constexpr std::string_view kNumberPlaceholder = "%u";

// `format` with its first `placeholder` replaced by `value` (a text from the network may
// hold a '%' of its own, so it never goes through printf).
std::string Filled(std::string_view format, std::string_view placeholder,
                   const std::string& value) {
    std::string text(format);
    text.replace(text.find(placeholder), placeholder.size(), value);
    return text;
}

}  // namespace

std::string FormatProgressLine(int block, int bytes, double percent) {
    // "Block# %d , Size#%d bytes ( %.2f %% )", with the percentage by to_chars: printf would
    // follow the process locale, which the window's toolkit switches to the user's, and could
    // write "73,14".
    std::array<char, kPercentBufferSize> number{};
    const auto [end, error] = std::to_chars(number.data(), number.data() + number.size(), percent,
                                            std::chars_format::fixed, kPercentDecimals);
    const std::string_view percentText(
        number.data(), error == std::errc{} ? static_cast<std::size_t>(end - number.data()) : 0);
    return "Block# " + std::to_string(block) + " , Size#" + std::to_string(bytes) + " bytes ( " +
           std::string(percentText) + " % )";
}

std::string FormatFinalProgressLine(int block, int bytes, int percent) {
    std::array<char, kLineBufferSize> text{};
    std::snprintf(text.data(), text.size(), "Block# %d , Size#%d bytes ( %d %% )", block, bytes,
                  percent);
    return text.data();
}

std::string ClockRefusedText(const ErrorPacket& refusal) {
    std::string text =
        Filled(kClockRefusedFormat, kTextPlaceholder, platform::Printable(refusal.message));
    return Filled(text, kNumberPlaceholder, std::to_string(refusal.code));
}

std::string NoMacKnownText(platform::Ipv4 address) {
    return Filled(kNoMacKnownFormat, kTextPlaceholder, platform::FormatIpv4(address));
}

std::string FormatCounterLine(int updateCounter) {
    std::array<char, kLineBufferSize> text{};
    std::snprintf(text.data(), text.size(), "Total Update: %d", updateCounter);
    return text.data();
}

UpdateWorker::UpdateWorker(platform::Network& network, UpdateState& state, UpdateTarget target,
                           UpdateReporter& reporter, MacLookupFunction lookupMac)
    : network_(network),
      state_(state),
      target_(std::move(target)),
      reporter_(reporter),
      lookupMac_(std::move(lookupMac)) {}

void UpdateWorker::Start() {
    thread_.start([this](std::stop_token stop) { outcome_ = Run(std::move(stop)); });
}

UpdateOutcome UpdateWorker::Outcome() const {
    return thread_.isRunning() ? UpdateOutcome{} : outcome_;
}

UpdateOutcome UpdateWorker::Refuse(UpdateOutcome outcome) {
    outcome.exitCode = WorkerExit::kFailed;
    outcome.refused = true;
    return outcome;
}

UpdateOutcome UpdateWorker::Fail(UpdateOutcome outcome, const std::stop_token& stop) {
    outcome.exitCode = WorkerExit::kFailed;
    if (stop.stop_requested()) {
        return outcome;  // the owner is going away: nobody to tell
    }
    reporter_.SetProgressLine("");
    std::string result = kUpdateFalseMessage;
    if (outcome.clockRefusal) {
        result += "\n" + ClockRefusedText(*outcome.clockRefusal);
    } else if (outcome.macUnknown) {
        result += "\n" + NoMacKnownText(target_.address);
    }
    reporter_.ShowUpdateResult(result);
    return outcome;
}

UpdateOutcome UpdateWorker::Run(std::stop_token stop) {
    UpdateOutcome outcome;

    const platform::Ipv4 address = target_.address;
    if (address == platform::kAnyAddress ||
        platform::LastOctet(address) == platform::kNetworkAddressOctet) {
        reporter_.ShowMessage(kInvalidIpMessage);
        reporter_.FocusAddressControl();
        return Refuse(outcome);
    }
    FirmwareFile file;
    if (const auto refusal = file.Open(target_.firmwarePath)) {
        reporter_.ShowMessage(*refusal);
        return Refuse(outcome);
    }
    const std::uint32_t length = file.Length();
    outcome.fileLength = length;

    // Write request.
    if (state_.breakFlag.load()) {
        return Fail(outcome, stop);
    }
    std::optional<MacAddress> mac;
    const std::string macText = target_.macAddressText;
    if (macText.empty()) {
        mac = lookupMac_ ? lookupMac_(address) : std::nullopt;
        if (!mac) {
            // No MAC address given and none in the neighbour table: a request named by six
            // zero bytes names no clock and would only fail after 60 sends. The clock did not
            // answer ARP, so this is its failure, not a refused entry.
            outcome.macUnknown = true;
            return Fail(outcome, stop);
        }
        reporter_.SetMacAddressText(FormatMacAddress(*mac));
    } else {
        mac = ParseMacAddress(macText);
    }
    if (!mac) {
        reporter_.ShowMessage(kInvalidMacMessage);
        reporter_.FocusMacAddressField();
        return Refuse(outcome);
    }

    TftpClient client(
        network_, address, state_, [this] { return reporter_.AskYesNo(kBreakQuestion); }, stop);
    if (!client.Open()) {
        return Fail(outcome, stop);
    }
    int next = client.TftpExchange(BuildWriteRequest(*mac, length), 0, ExchangeKind::kRequest);
    outcome.datagramsSent = client.SendCount();
    if (next < 0) {
        outcome.clockRefusal = client.LastRefusal();
        return Fail(outcome, stop);
    }

    // Data blocks, lock-step: block `block` (its `count` bytes in buffers[currentIndex]) is
    // out until the clock acknowledges it or an earlier one. While the clock works on a block, the
    // progress of the one before is reported and the following block is read, so neither
    // delays the next send.
    const std::uint32_t dataStart = network_.tickCount();
    auto blockSize = [length](std::uint32_t number) {
        const std::uint64_t offset = static_cast<std::uint64_t>(number - 1) * kBlockSize;
        return static_cast<std::size_t>(
            std::min<std::uint64_t>(kBlockSize, length - std::min<std::uint64_t>(offset, length)));
    };
    auto readBlock = [&file](std::uint32_t number, std::span<std::uint8_t> into) {
        return file.ReadAt(static_cast<std::uint64_t>(number - 1) * kBlockSize, into);
    };
    std::array<std::array<std::uint8_t, kBlockSize>, 2> buffers{};
    std::size_t currentIndex = 0;  // buffers[currentIndex] holds the block out now
    auto block = static_cast<std::uint32_t>(next);
    std::size_t count = blockSize(block);
    if (!readBlock(block, std::span(buffers[currentIndex]).first(count))) {
        return Fail(outcome, stop);  // the file shrank under us: never send what is not there
    }
    // Work done while the clock handles a block: the progress of the block before it, and
    // reading the block after it.
    bool progressPending = false;
    std::uint32_t acknowledged = 0;
    bool followingRead = false;
    bool followingOk = false;
    std::size_t followingCount = 0;
    const std::function<void()> whileWaiting = [&] {
        if (progressPending) {
            progressPending = false;
            const std::uint32_t done = acknowledged * static_cast<std::uint32_t>(kBlockSize);
            const double percent =
                length == 0 ? 0.0 : static_cast<double>(done) / length * kPercentScale;
            reporter_.SetBlockProgress(static_cast<int>(acknowledged), static_cast<int>(done),
                                       percent, length);
        }
        if (count == kBlockSize) {
            followingCount = blockSize(block + 1);
            followingOk =
                readBlock(block + 1, std::span(buffers[1 - currentIndex]).first(followingCount));
            followingRead = true;
        }
    };
    for (;;) {
        followingRead = false;
        next = client.TftpExchange(std::span(buffers[currentIndex]).first(count), block,
                                   ExchangeKind::kData, whileWaiting);
        outcome.datagramsSent = client.SendCount();
        if (next < 0) {
            outcome.clockRefusal = client.LastRefusal();
            if (!stop.stop_requested()) {
                reporter_.ShowMessage(kNetworkAnomalyMessage);
            }
            return Fail(outcome, stop);
        }
        acknowledged = static_cast<std::uint32_t>(next - 1);
        // Done only when the clock has acknowledged the short last block itself; an older
        // acknowledgement at that point means it still lacks data, so the blocks go again.
        if (acknowledged == block && count != kBlockSize) {
            outcome.dataPhaseMs = network_.tickCount() - dataStart;
            const int sent = static_cast<int>(block - 1) * static_cast<int>(kBlockSize) +
                             static_cast<int>(count);
            reporter_.SetProgressLine(
                FormatFinalProgressLine(static_cast<int>(block), sent, kCompletePercent));
            // The counter line counts this clock before its box opens, so the two agree.
            const int updated = state_.updateCounter.fetch_add(1) + 1;
            reporter_.SetCounterLine(FormatCounterLine(updated));
            reporter_.ShowUpdateResult(kUpdateSuccessfulMessage);
            outcome.exitCode = WorkerExit::kSucceeded;
            return outcome;
        }
        // Go on after the block the clock acknowledged, which is the one just sent unless
        // the clock asked again for an earlier one.
        progressPending = true;
        const std::uint32_t previous = block;
        block = acknowledged + 1;
        if (block == previous + 1 && followingRead) {
            if (!followingOk) {
                return Fail(outcome, stop);  // the file shrank under us
            }
            currentIndex = 1 - currentIndex;
            count = followingCount;
        } else {
            count = blockSize(block);
            if (!readBlock(block, std::span(buffers[currentIndex]).first(count))) {
                return Fail(outcome, stop);
            }
        }
    }
}

}  // namespace tavlo::firmware
