#include "firmware/UpdateWorker.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "firmware/FirmwareFile.h"
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

// One run of the update: its steps (the checks, the write request, the data blocks) and
// what they share.
class UpdateRun {
  public:
    UpdateRun(platform::Network& network, UpdateState& state, const UpdateTarget& target,
              UpdateReporter& reporter, const MacLookupFunction& lookupMac, std::stop_token stop,
              std::vector<std::string> broadcastInterfaces)
        : network_(network),
          state_(state),
          target_(target),
          reporter_(reporter),
          lookupMac_(lookupMac),
          stop_(stop),
          client_(
              network, target.address, state, [this] { return reporter_.AskYesNo(kBreakQuestion); },
              stop, target.waitPolicy) {
        client_.SetBroadcastInterfaces(std::move(broadcastInterfaces));
    }

    UpdateOutcome Run();

  private:
    // The address and the file; false when one is refused (its message shown).
    bool CheckTarget();
    // The field's MAC address, or for an empty field the neighbour table's (written into the
    // field); nothing when the field holds none or the table knows none (macUnknown).
    std::optional<MacAddress> ResolveMac();
    // The first block the clock wants, once it has acknowledged the write request.
    std::optional<std::uint32_t> SendWriteRequest(const MacAddress& mac);
    // The data blocks, lock-step, from block `first` to the end of the file.
    UpdateOutcome SendBlocks(std::uint32_t first);
    // While the clock works on a block: the progress of the one before, the following read.
    void WhileWaiting();
    // After the clock acknowledged block `acknowledged_`: the block to send next, which is
    // the one after the block just sent unless the clock asked again for an earlier one.
    // False when the file no longer holds it.
    bool MoveOn();

    std::size_t BlockSize(std::uint32_t number) const;
    bool ReadBlock(std::uint32_t number, std::span<std::uint8_t> into);
    std::span<std::uint8_t> Current() { return std::span(buffers_[currentIndex_]).first(count_); }

    UpdateOutcome Refuse();
    UpdateOutcome Fail();
    UpdateOutcome Succeed();

    platform::Network& network_;
    UpdateState& state_;
    const UpdateTarget& target_;
    UpdateReporter& reporter_;
    const MacLookupFunction& lookupMac_;
    std::stop_token stop_;
    TftpClient client_;
    FirmwareFile file_;
    UpdateOutcome outcome_;

    // Data blocks: block `block_` (its `count_` bytes in buffers_[currentIndex_]) is out until
    // the clock acknowledges it or an earlier one. While the clock works on a block, the
    // progress of the one before is reported and the following block is read into the other
    // buffer, so neither delays the next send.
    std::uint32_t dataStart_ = 0;
    std::array<std::array<std::uint8_t, kBlockSize>, 2> buffers_{};
    std::size_t currentIndex_ = 0;
    std::uint32_t block_ = 0;
    std::size_t count_ = 0;
    std::uint32_t acknowledged_ = 0;
    bool progressPending_ = false;
    bool followingRead_ = false;
    bool followingOk_ = false;
    std::size_t followingCount_ = 0;
};

UpdateOutcome UpdateRun::Run() {
    if (!CheckTarget()) {
        return Refuse();
    }
    if (state_.breakFlag.load()) {
        return Fail();
    }
    const std::optional<MacAddress> mac = ResolveMac();
    if (outcome_.macUnknown) {
        // No MAC address given and none in the neighbour table: a request named by six zero
        // bytes names no clock and would only fail after 60 sends. The clock did not answer
        // ARP, so this is its failure, not a refused entry.
        return Fail();
    }
    if (!mac) {
        reporter_.ShowMessage(kInvalidMacMessage);
        reporter_.FocusMacAddressField();
        return Refuse();
    }
    const std::optional<std::uint32_t> first = SendWriteRequest(*mac);
    if (!first) {
        return Fail();
    }
    return SendBlocks(*first);
}

bool UpdateRun::CheckTarget() {
    const platform::Ipv4 address = target_.address;
    if (address == platform::kAnyAddress ||
        platform::LastOctet(address) == platform::kNetworkAddressOctet) {
        reporter_.ShowMessage(kInvalidIpMessage);
        reporter_.FocusAddressControl();
        return false;
    }
    if (const auto refusal = file_.Open(target_.firmwarePath)) {
        reporter_.ShowMessage(*refusal);
        return false;
    }
    outcome_.fileLength = file_.Length();
    return true;
}

std::optional<MacAddress> UpdateRun::ResolveMac() {
    if (!target_.macAddressText.empty()) {
        return ParseMacAddress(target_.macAddressText);
    }
    std::optional<MacAddress> mac = lookupMac_ ? lookupMac_(target_.address) : std::nullopt;
    if (mac) {
        reporter_.SetMacAddressText(FormatMacAddress(*mac));
    } else {
        outcome_.macUnknown = true;
    }
    return mac;
}

std::optional<std::uint32_t> UpdateRun::SendWriteRequest(const MacAddress& mac) {
    if (!client_.Open()) {
        return std::nullopt;
    }
    const int next = client_.TftpExchange(BuildWriteRequest(mac, outcome_.fileLength), 0,
                                          ExchangeKind::kRequest);
    outcome_.datagramsSent = client_.SendCount();
    if (next < 0) {
        outcome_.clockRefusal = client_.LastRefusal();
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(next);
}

UpdateOutcome UpdateRun::SendBlocks(std::uint32_t first) {
    dataStart_ = network_.tickCount();
    block_ = first;
    count_ = BlockSize(block_);
    if (!ReadBlock(block_, Current())) {
        return Fail();  // the file shrank under us: never send what is not there
    }
    const std::function<void()> whileWaiting = [this] { WhileWaiting(); };
    for (;;) {
        followingRead_ = false;
        const int next = client_.TftpExchange(Current(), block_, ExchangeKind::kData, whileWaiting);
        outcome_.datagramsSent = client_.SendCount();
        if (next < 0) {
            outcome_.clockRefusal = client_.LastRefusal();
            if (!stop_.stop_requested()) {
                reporter_.ShowMessage(kNetworkAnomalyMessage);
            }
            return Fail();
        }
        acknowledged_ = static_cast<std::uint32_t>(next - 1);
        // Done only when the clock has acknowledged the short last block itself; an older
        // acknowledgement at that point means it still lacks data, so the blocks go again.
        if (acknowledged_ == block_ && count_ != kBlockSize) {
            return Succeed();
        }
        if (!MoveOn()) {
            return Fail();  // the file shrank under us
        }
    }
}

void UpdateRun::WhileWaiting() {
    if (progressPending_) {
        progressPending_ = false;
        const std::uint32_t length = outcome_.fileLength;
        const std::uint32_t done = acknowledged_ * static_cast<std::uint32_t>(kBlockSize);
        const double percent =
            length == 0 ? 0.0 : static_cast<double>(done) / length * kPercentScale;
        reporter_.SetBlockProgress(static_cast<int>(acknowledged_), static_cast<int>(done), percent,
                                   length);
    }
    if (count_ == kBlockSize) {
        followingCount_ = BlockSize(block_ + 1);
        followingOk_ =
            ReadBlock(block_ + 1, std::span(buffers_[1 - currentIndex_]).first(followingCount_));
        followingRead_ = true;
    }
}

bool UpdateRun::MoveOn() {
    progressPending_ = true;
    const std::uint32_t previous = block_;
    block_ = acknowledged_ + 1;
    if (block_ == previous + 1 && followingRead_) {
        currentIndex_ = 1 - currentIndex_;
        count_ = followingCount_;
        return followingOk_;
    }
    count_ = BlockSize(block_);
    return ReadBlock(block_, Current());
}

std::size_t UpdateRun::BlockSize(std::uint32_t number) const {
    const std::uint64_t length = outcome_.fileLength;
    const std::uint64_t offset = static_cast<std::uint64_t>(number - 1) * kBlockSize;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(kBlockSize, length - std::min<std::uint64_t>(offset, length)));
}

bool UpdateRun::ReadBlock(std::uint32_t number, std::span<std::uint8_t> into) {
    return file_.ReadAt(static_cast<std::uint64_t>(number - 1) * kBlockSize, into);
}

UpdateOutcome UpdateRun::Refuse() {
    outcome_.exitCode = WorkerExit::kFailed;
    outcome_.refused = true;
    return outcome_;
}

UpdateOutcome UpdateRun::Fail() {
    outcome_.exitCode = WorkerExit::kFailed;
    if (stop_.stop_requested()) {
        return outcome_;  // the owner is going away: nobody to tell
    }
    reporter_.SetProgressLine("");
    std::string result = kUpdateFalseMessage;
    if (outcome_.clockRefusal) {
        result += "\n" + ClockRefusedText(*outcome_.clockRefusal);
    } else if (outcome_.macUnknown) {
        result += "\n" + NoMacKnownText(target_.address);
    }
    reporter_.ShowUpdateResult(result);
    return outcome_;
}

UpdateOutcome UpdateRun::Succeed() {
    outcome_.dataPhaseMs = network_.tickCount() - dataStart_;
    const int sent =
        static_cast<int>(block_ - 1) * static_cast<int>(kBlockSize) + static_cast<int>(count_);
    reporter_.SetProgressLine(
        FormatFinalProgressLine(static_cast<int>(block_), sent, kCompletePercent));
    // The counter line counts this clock before its box opens, so the two agree.
    const int updated = state_.updateCounter.fetch_add(1) + 1;
    reporter_.SetCounterLine(FormatCounterLine(updated));
    reporter_.ShowUpdateResult(kUpdateSuccessfulMessage);
    outcome_.exitCode = WorkerExit::kSucceeded;
    return outcome_;
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

UpdateOutcome UpdateWorker::Run(std::stop_token stop) {
    UpdateRun run(network_, state_, target_, reporter_, lookupMac_, std::move(stop),
                  broadcastInterfaces_);
    return run.Run();
}

}  // namespace tavlo::firmware
