#include "tools/clocksim/ClockLogic.h"

#include <algorithm>

#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"

namespace tavlo::clocksim {
namespace {

using protocol::CommandFrame;
using protocol::FrameChunk;
using protocol::SettingsFrame;

constexpr std::uint8_t kAllChunksReceived = 0xFF;
constexpr std::uint32_t kNonceLowByteMask = 0xFF;
constexpr int kMaxNonce = 0x7FFF;
// Flag bits a clock never keeps in its record: the request bit and the batch bit.
constexpr std::uint8_t kRequestOnlyFlags = protocol::kFlagCarriedOut | settings::kBatchBit;

Answer Ignored(std::string note) {
    Answer answer;
    answer.note = std::move(note);
    return answer;
}

std::size_t ExpectedChunkLength(std::uint8_t number) {
    return number < protocol::kChunksPerFrame ? protocol::kFullChunkLength
                                              : protocol::kLastChunkLength;
}

}  // namespace

std::string_view RequestKindName(RequestKind kind) {
    switch (kind) {
        case RequestKind::kIgnored:
            return "ignored";
        case RequestKind::kChunkPart:
            return "chunk-part";
        case RequestKind::kProbe:
            return "probe";
        case RequestKind::kRead:
            return "read";
        case RequestKind::kWriteBasic:
            return "write-basic";
        case RequestKind::kWriteWifi:
            return "write-wifi";
        case RequestKind::kWriteEarly:
            return "write-early";
    }
    return "unknown";
}

std::uint8_t RequestClassOf(RequestKind kind) {
    switch (kind) {
        case RequestKind::kProbe:
            return kProbeRequests;
        case RequestKind::kRead:
            return kReadRequests;
        case RequestKind::kWriteBasic:
        case RequestKind::kWriteWifi:
        case RequestKind::kWriteEarly:
            return kWriteRequests;
        case RequestKind::kIgnored:
        case RequestKind::kChunkPart:
            return 0;
    }
    return 0;
}

std::uint32_t SimNonceSource::nextNonce() {
    std::uniform_int_distribution<int> draw(1, kMaxNonce);
    for (;;) {
        auto nonce = static_cast<std::uint32_t>(draw(rng_));
        if ((nonce & kNonceLowByteMask) != 0) {
            return nonce;
        }
    }
}

// ---- Writes ----------------------------------------------------------------------------

void ApplyBasicWrite(SettingsFrame& record, const SettingsFrame& request) {
    const settings::ConstClockSettings in(request);
    const settings::ClockSettings out(record);
    if (!in.batchBit()) {
        out.setIpAddress(in.ipAddress());
        out.setSubnetMask(in.subnetMask());
        out.setGateway(in.gateway());
    }
    out.setDnsServer(in.dnsServer());
    out.setDstStart(in.dstStart());
    out.setDstEnd(in.dstEnd());
    out.setTwentyFourHourDisplay(in.twentyFourHourDisplay());
    out.setDynamicIp(in.dynamicIp());
    out.setBrightness(in.brightness());
    out.setTimeZoneBytes(in.timeZoneBytes());
    out.setEnergySavingStartHour(in.energySavingStartHour());
    out.setEnergySavingEndHour(in.energySavingEndHour());
    out.setEnergySavingMode(in.energySavingMode());
    for (std::size_t row = 0; row < settings::kTimeServerRowCount; ++row) {
        out.setTimeServerRow(row, in.timeServerRow(row));
    }
    out.setTimeServersByNameByte(in.timeServersByNameByte());
    for (std::size_t i = 0; i < settings::kDomainNameRowCount; ++i) {
        out.setDomainName(i, in.domainName(i));
    }
    if (in.humitureUnitByte() != 0 && out.humitureUnitByte() != 0) {
        out.setHumitureUnitByte(in.humitureUnitByte());
        out.setTimeDisplayDuration(in.timeDisplayDuration());
        out.setTemperatureDisplayDuration(in.temperatureDisplayDuration());
        out.setHumidityDisplayDuration(in.humidityDisplayDuration());
    }
    out.setCountDownStart(in.countDownStart());
    out.setCountDownDuration(in.countDownDuration());
    out.setDisplayText(in.displayText());
    out.setTextDisplayMode(in.textDisplayMode());
}

void ApplyWifiWrite(SettingsFrame& record, const SettingsFrame& request) {
    const auto first = request.begin() + settings::kWifiFieldsOffset;
    std::copy(first, first + settings::kWifiFieldsSize,
              record.begin() + settings::kWifiFieldsOffset);
}

void ApplyEarlyWrite(CommandFrame& record, const CommandFrame& request) {
    const settings::ConstEarlyClockSettings in(request);
    const settings::EarlyClockSettings out(record);
    out.setDstStart(in.dstStart());
    out.setDstEnd(in.dstEnd());
    out.setTimeZoneBytes(in.timeZoneBytes());
    out.setTimeFormat(in.timeFormat());
    out.setBrightness(in.brightness());
    out.setEnergySavingStartHour(in.energySavingStartHour());
    out.setEnergySavingEndHour(in.energySavingEndHour());
    out.setTimeServerCount(in.timeServerCount());
    out.setDynamicIp(in.dynamicIp());
    for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
        out.setTimeServerAddress(i, in.timeServerAddress(i));
    }
    if (!in.dynamicIp()) {
        out.setIpAddress(in.ipAddress());
        out.setSubnetMask(in.subnetMask());
    }
    out.setGateway(in.gateway());
    out.setDnsServer(in.dnsServer());
}

// ---- Replies ---------------------------------------------------------------------------

SettingsFrame ReplyFrame(const SimClock& clock, std::uint8_t type, bool ack) {
    SettingsFrame frame = clock.record;
    std::copy(protocol::kMagic.begin(), protocol::kMagic.end(),
              frame.begin() + protocol::kMagicOffset);
    std::uint8_t flags = frame[protocol::kFlagsOffset] & ~kRequestOnlyFlags;
    if (ack) {
        flags |= protocol::kFlagCarriedOut;
    }
    frame[protocol::kFlagsOffset] = flags;
    frame[protocol::kFrameTypeOffset] = type;
    return frame;
}

std::vector<Datagram> ReplyChunks(const SettingsFrame& frame, bool eightChunks,
                                  protocol::NonceSource& nonces) {
    std::vector<Datagram> chunks;
    const std::uint8_t count = eightChunks ? protocol::kChunksPerFrame : 1;
    for (std::uint8_t number = protocol::kFirstChunkNumber; number <= count; ++number) {
        FrameChunk chunk{};
        const std::size_t length =
            eightChunks ? ExpectedChunkLength(number) : protocol::kOneChunkLength;
        const std::size_t offset = static_cast<std::size_t>(number - 1) * protocol::kChunkDataSize;
        chunk[protocol::kChunkNumberOffset] = number;
        chunk[protocol::kChunkLengthOffset] = static_cast<std::uint8_t>(length);
        protocol::ScrambleChunk(chunk, std::span(frame).subspan(offset, length), nonces);
        chunks.emplace_back(chunk.begin(), chunk.end());
    }
    return chunks;
}

CommandFrame EarlyReplyFrame(const SimClock& clock, std::uint8_t command, bool ack) {
    CommandFrame frame = clock.earlyRecord;
    frame[protocol::kRequestMarkerOffset] = ack ? protocol::kRequestMarker : 0;
    frame[protocol::kChecksumOffset] = 0;
    protocol::SealCommandFrame(
        frame, command, ack ? protocol::RequestMarker::kSet : protocol::RequestMarker::kLeave);
    return frame;
}

// ---- Requests --------------------------------------------------------------------------

Answer ClockResponder::Complete(SimClock& clock, Answer answer) {
    const bool faulted = (clock.faults.appliesTo & RequestClassOf(answer.request)) != 0;
    if (faulted && clock.faults.silent) {
        answer.note = "silent";
        return answer;
    }
    if (faulted && clock.requestsSeen < clock.faults.ignoreFirst) {
        ++clock.requestsSeen;
        answer.note = "ignored (first " + std::to_string(clock.faults.ignoreFirst) + ")";
        return answer;
    }
    ++clock.requestsSeen;
    const bool ack = !(faulted && clock.faults.noAck);
    answer.acknowledges = ack;
    answer.taken = true;

    if (answer.command) {
        const std::uint8_t command = (*answer.command)[protocol::kCommandCodeOffset];
        if (answer.request == RequestKind::kWriteEarly) {
            ApplyEarlyWrite(clock.earlyRecord, *answer.command);
        }
        CommandFrame reply = EarlyReplyFrame(clock, command, ack);
        answer.replies.emplace_back(reply.begin(), reply.end());
        return answer;
    }

    const SettingsFrame& request = *answer.frame;
    const std::uint8_t type = request[protocol::kFrameTypeOffset];
    if (answer.request == RequestKind::kWriteBasic) {
        ApplyBasicWrite(clock.record, request);
    } else if (answer.request == RequestKind::kWriteWifi) {
        ApplyWifiWrite(clock.record, request);
    }
    const SettingsFrame reply = ReplyFrame(clock, type, ack);
    if (clock.kind == ClockKind::kWifi) {
        answer.replies.emplace_back(reply.begin(), reply.end());
    } else {
        // Reads come back whole in eight chunks; announcements and acknowledgements in one.
        answer.replies = ReplyChunks(reply, answer.request == RequestKind::kRead, nonces_);
    }
    return answer;
}

Answer ClockResponder::OnFullFrame(SimClock& clock, std::span<const std::uint8_t> datagram) {
    if (datagram.size() != protocol::kSettingsFrameSize) {
        return Ignored("size " + std::to_string(datagram.size()));
    }
    Answer answer;
    answer.frame.emplace();
    std::copy(datagram.begin(), datagram.end(), answer.frame->begin());
    switch (static_cast<protocol::FrameType>((*answer.frame)[protocol::kFrameTypeOffset])) {
        case protocol::FrameType::kDiscovery:
            answer.request = RequestKind::kProbe;
            break;
        case protocol::FrameType::kReadSettings:
            answer.request = RequestKind::kRead;
            break;
        case protocol::FrameType::kWriteBasic:
            answer.request = RequestKind::kWriteBasic;
            break;
        case protocol::FrameType::kWriteWifi:
            answer.request = RequestKind::kWriteWifi;
            break;
        default:
            answer.note =
                "frame type " + std::to_string((*answer.frame)[protocol::kFrameTypeOffset]);
            return answer;
    }
    return Complete(clock, std::move(answer));
}

Answer ClockResponder::OnCommandFrame(SimClock& clock, std::span<const std::uint8_t> datagram) {
    if (datagram.size() != protocol::kCommandFrameSize) {
        return Ignored("size " + std::to_string(datagram.size()));
    }
    Answer answer;
    answer.command.emplace();
    std::copy(datagram.begin(), datagram.end(), answer.command->begin());
    CommandFrame checked = *answer.command;
    if (!protocol::CheckCommandFrame(checked)) {
        answer.note = "bad checksum";
        return answer;
    }
    const std::uint8_t command = checked[protocol::kCommandCodeOffset];
    if (command == protocol::ToByte(protocol::CommandCode::kRead)) {
        answer.request =
            checked[protocol::kRequestMarkerOffset] == 0 ? RequestKind::kProbe : RequestKind::kRead;
    } else if (command == protocol::ToByte(protocol::CommandCode::kWrite)) {
        answer.request = RequestKind::kWriteEarly;
    } else {
        answer.note = "command " + std::to_string(command);
        return answer;
    }
    return Complete(clock, std::move(answer));
}

void ClockResponder::Prune(std::int64_t nowMs) {
    for (auto it = assemblies_.begin(); it != assemblies_.end();) {
        if (nowMs - it->second.lastMs > kAssemblyTimeoutMs) {
            it = assemblies_.erase(it);
        } else {
            ++it;
        }
    }
    while (assemblies_.size() >= kMaxAssemblies) {
        auto oldest = std::min_element(
            assemblies_.begin(), assemblies_.end(),
            [](const auto& a, const auto& b) { return a.second.lastMs < b.second.lastMs; });
        assemblies_.erase(oldest);
    }
}

Answer ClockResponder::OnChunk(SimClock& clock, platform::Endpoint from,
                               std::span<const std::uint8_t> datagram, std::int64_t nowMs) {
    if (datagram.size() != protocol::kChunkSize) {
        return Ignored("size " + std::to_string(datagram.size()));
    }
    FrameChunk chunk{};
    std::copy(datagram.begin(), datagram.end(), chunk.begin());
    const std::uint8_t number = chunk[protocol::kChunkNumberOffset];
    const std::size_t length = chunk[protocol::kChunkLengthOffset];
    if (number < protocol::kFirstChunkNumber || number > protocol::kChunksPerFrame) {
        return Ignored("chunk number " + std::to_string(number));
    }
    const bool single =
        number == protocol::kFirstChunkNumber && length == protocol::kOneChunkLength;
    if (!single && length != ExpectedChunkLength(number)) {
        return Ignored("chunk " + std::to_string(number) + " with length " +
                       std::to_string(length));
    }
    std::array<std::uint8_t, protocol::kChunkDataSize> plain{};
    if (protocol::UnscrambleChunk(plain, chunk) != length) {
        return Ignored("empty nonce");
    }

    const AssemblyKey key{clock.address, from.address, from.port};
    Answer answer;
    if (single) {
        assemblies_.erase(key);
        answer.frame.emplace();
        std::copy_n(plain.begin(), length, answer.frame->begin());
        const std::uint8_t type = (*answer.frame)[protocol::kFrameTypeOffset];
        if (type == protocol::ToByte(protocol::FrameType::kDiscovery)) {
            answer.request = RequestKind::kProbe;
        } else if (type == protocol::ToByte(protocol::FrameType::kReadSettings)) {
            answer.request = RequestKind::kRead;
        } else {
            answer.note = "frame type " + std::to_string(type) + " in one chunk";
            return answer;
        }
        return Complete(clock, std::move(answer));
    }

    Prune(nowMs);
    Assembly& assembly = assemblies_[key];
    if (number == protocol::kFirstChunkNumber) {
        assembly = Assembly{};
    }
    assembly.lastMs = nowMs;
    const std::size_t offset = static_cast<std::size_t>(number - 1) * protocol::kChunkDataSize;
    std::copy_n(plain.begin(), length, assembly.frame.begin() + offset);
    assembly.received |= static_cast<std::uint8_t>(1u << (number - 1));
    if (assembly.received != kAllChunksReceived) {
        answer.request = RequestKind::kChunkPart;
        answer.note = "chunk " + std::to_string(number) + " of 8";
        return answer;
    }
    answer.frame = assembly.frame;
    assemblies_.erase(key);
    const std::uint8_t type = (*answer.frame)[protocol::kFrameTypeOffset];
    if (type == protocol::ToByte(protocol::FrameType::kWriteBasic)) {
        answer.request = RequestKind::kWriteBasic;
    } else if (type == protocol::ToByte(protocol::FrameType::kWriteWifi)) {
        answer.request = RequestKind::kWriteWifi;
    } else {
        answer.note = "frame type " + std::to_string(type) + " in eight chunks";
        return answer;
    }
    return Complete(clock, std::move(answer));
}

}  // namespace tavlo::clocksim
