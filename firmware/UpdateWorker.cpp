#include "firmware/UpdateWorker.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "firmware/TftpExchange.h"
#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"

namespace tavlo::firmware {
namespace {

constexpr std::uint8_t kNetworkAddressOctet = 0;
constexpr int kCompletePercent = 100;
constexpr double kPercentScale = 100.0;
constexpr std::size_t kLineBufferSize = 96;

// The firmware file, opened for reading only.
class FirmwareFile {
  public:
    bool Open(const std::string& path) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            return false;
        }
        file_.reset(std::fopen(path.c_str(), "rb"));
        // Unbuffered, so every block is read from the file as it is now: a file that
        // shrinks during the transfer is noticed instead of served from a stale buffer.
        if (!file_ || std::setvbuf(file_.get(), nullptr, _IONBF, 0) != 0 ||
            std::fseek(file_.get(), 0, SEEK_END) != 0) {
            return false;
        }
        const long length = std::ftell(file_.get());
        if (length < 0) {
            return false;
        }
        length_ = static_cast<std::uint64_t>(length);
        return std::fseek(file_.get(), 0, SEEK_SET) == 0;
    }
    std::uint64_t Length() const { return length_; }
    // Reads exactly `count` bytes at `offset`; false when the file no longer holds them.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
        if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
            return false;
        }
        return std::fread(out.data(), 1, out.size(), file_.get()) == out.size();
    }

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t length_ = 0;
};

}  // namespace

bool IsFirmwarePath(const std::string& path) {
    return path.find(kBinaryFileMark) != std::string::npos ||
           path.find(kHexFileMark) != std::string::npos;
}

std::string FormatProgressLine(int block, int bytes, double percent) {
    std::array<char, kLineBufferSize> text{};
    std::snprintf(text.data(), text.size(), "Block# %d , Size#%d bytes ( %.2f %% )", block, bytes,
                  percent);
    return text.data();
}

std::string FormatFinalProgressLine(int block, int bytes, int percent) {
    std::array<char, kLineBufferSize> text{};
    std::snprintf(text.data(), text.size(), "Block# %d , Size#%d bytes ( %d %% )", block, bytes,
                  percent);
    return text.data();
}

std::string FormatCounterLine(int updateCounter) {
    std::array<char, kLineBufferSize> text{};
    std::snprintf(text.data(), text.size(), "Total Update: %d", updateCounter);
    return text.data();
}

UpdateWorker::UpdateWorker(platform::Network& network, UpdateState& state, UpdatePage& page,
                           MacLookupFunction lookupMac)
    : network_(network), state_(state), page_(page), lookupMac_(std::move(lookupMac)) {}

UpdateWorker::~UpdateWorker() {
    stopRequest_.store(true);
    Join();
}

void UpdateWorker::Start() {
    if (thread_.joinable() || running_.load()) {
        return;
    }
    running_.store(true);
    thread_ = std::thread([this] {
        outcome_ = Run();
        running_.store(false);
    });
}

void UpdateWorker::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

UpdateOutcome UpdateWorker::Outcome() const {
    return running_.load() ? UpdateOutcome{} : outcome_;
}

UpdateOutcome UpdateWorker::Refuse(UpdateOutcome outcome) {
    outcome.exitCode = kWorkerFailed;
    outcome.refused = true;
    return outcome;
}

UpdateOutcome UpdateWorker::Fail(UpdateOutcome outcome) {
    outcome.exitCode = kWorkerFailed;
    if (stopRequest_.load()) {
        return outcome;  // the owner is going away: nobody to tell
    }
    page_.SetProgressLine("");
    page_.ShowUpdateResult(kUpdateFalseMessage);
    return outcome;
}

UpdateOutcome UpdateWorker::Run() {
    UpdateOutcome outcome;

    const platform::Ipv4 address = page_.TargetAddress();
    if (address == platform::kAnyAddress || platform::LastOctet(address) == kNetworkAddressOctet) {
        page_.ShowMessage(kInvalidIpMessage);
        page_.FocusAddressControl();
        return Refuse(outcome);
    }
    const std::string path = page_.FirmwarePath();
    if (!IsFirmwarePath(path)) {
        page_.ShowMessage(kSelectFileErrorMessage);
        return Refuse(outcome);
    }
    FirmwareFile file;
    if (!file.Open(path)) {
        page_.ShowMessage(kFileMissingMessage);
        return Refuse(outcome);
    }
    if (file.Length() > kMaxFileSize) {
        page_.ShowMessage(kFileTooLargeMessage);
        return Refuse(outcome);
    }
    const auto length = static_cast<std::uint32_t>(file.Length());
    outcome.fileLength = length;

    // Write request.
    if (state_.breakFlag.load()) {
        return Fail(outcome);
    }
    std::optional<MacAddress> mac;
    const std::string macText = page_.MacAddressText();
    if (macText.empty()) {
        mac = lookupMac_ ? lookupMac_(address) : std::nullopt;
        if (mac) {
            page_.SetMacAddressText(FormatMacAddress(*mac));
        }
    } else {
        mac = ParseMacAddress(macText);
    }
    if (!mac) {
        page_.ShowMessage(kInvalidMacMessage);
        page_.FocusMacAddressField();
        return Refuse(outcome);
    }

    TftpClient client(
        network_, address, state_, [this] { return page_.AskYesNo(kBreakQuestion); },
        &stopRequest_);
    if (!client.Open()) {
        return Fail(outcome);
    }
    int next = client.TftpExchange(BuildWriteRequest(*mac, length), 0, ExchangeKind::kRequest);
    outcome.datagramsSent = client.SendCount();
    if (next < 0) {
        return Fail(outcome);
    }

    // Data blocks, lock-step. `next` is the number of the block to send: the one after the
    // block the clock acknowledged last.
    const std::uint32_t dataStart = network_.tickCount();
    std::array<std::uint8_t, kBlockSize> buffer{};
    for (;;) {
        const auto block = static_cast<std::uint32_t>(next);
        const std::uint64_t offset = static_cast<std::uint64_t>(block - 1) * kBlockSize;
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(kBlockSize, length - std::min<std::uint64_t>(offset, length)));
        buffer.fill(0);
        const std::span<std::uint8_t> data(buffer.data(), count);
        if (!file.ReadAt(offset, data)) {
            return Fail(outcome);  // the file shrank under us: never send what is not there
        }
        next = client.TftpExchange(data, block, ExchangeKind::kData);
        outcome.datagramsSent = client.SendCount();
        if (next < 0) {
            if (!stopRequest_.load()) {
                page_.ShowMessage(kNetworkAnomalyMessage);
            }
            return Fail(outcome);
        }
        const auto acknowledged = static_cast<std::uint32_t>(next - 1);
        if (acknowledged == block && count != kBlockSize) {
            outcome.dataPhaseMs = network_.tickCount() - dataStart;
            const int sent = static_cast<int>(block - 1) * static_cast<int>(kBlockSize) +
                             static_cast<int>(count);
            page_.SetProgressLine(
                FormatFinalProgressLine(static_cast<int>(block), sent, kCompletePercent));
            page_.BlockProgress(length, length);
            page_.SetCounterLine(FormatCounterLine(state_.updateCounter.load()));
            page_.ShowUpdateResult(kUpdateSuccessfulMessage);
            state_.updateCounter.fetch_add(1);
            outcome.exitCode = kWorkerSucceeded;
            return outcome;
        }
        // Go on after the block the clock acknowledged, which is the one just sent unless
        // the clock asked again for an earlier one.
        const std::uint32_t done = acknowledged * static_cast<std::uint32_t>(kBlockSize);
        const double percent =
            length == 0 ? 0.0 : static_cast<double>(done) / length * kPercentScale;
        page_.SetProgressLine(
            FormatProgressLine(static_cast<int>(acknowledged), static_cast<int>(done), percent));
        page_.BlockProgress(done, length);
    }
}

}  // namespace tavlo::firmware
