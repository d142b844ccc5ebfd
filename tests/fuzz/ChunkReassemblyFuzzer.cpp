// Received chunk sequences into the reassembly, and the decoding of what it assembles.
//
// The input is a list of records of one control byte and 106 chunk bytes. An odd control byte
// takes the 106 bytes as a raw chunk; an even one takes byte 0 as the number, byte 105 as the
// length and bytes 1 to 100 as plain data, scrambled with a nonce made from the control byte,
// so that the fuzzer reaches whole replies easily. The first input byte chooses whether the
// chunks go straight to AcceptChunk or arrive as one clock's replies to a unicast
// ExchangeChunkedFrame on the fake network.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/Chunks.h"
#include "protocol/Exchanges.h"
#include "protocol/Frames.h"
#include "tests/fuzz/FuzzSupport.h"

namespace tavlo::fuzz {
namespace {

using protocol::ChunkVerdict;
using protocol::FrameChunk;
using protocol::ProtocolState;
using protocol::SettingsFrame;

constexpr std::size_t kGuardSize = 64;
constexpr std::uint8_t kGuardByte = 0xCD;
constexpr std::size_t kMaxChunks = 64;
constexpr std::uint8_t kRawChunk = 0x01;
constexpr std::uint8_t kViaExchange = 0x01;

std::vector<FrameChunk> ReadChunks(Input& in) {
    std::vector<FrameChunk> chunks;
    while (!in.empty() && chunks.size() < kMaxChunks) {
        const std::uint8_t control = in.Byte();
        FrameChunk chunk{};
        const auto bytes = in.Take(protocol::kChunkSize);
        std::copy(bytes.begin(), bytes.end(), chunk.begin());
        if ((control & kRawChunk) == 0) {
            FrameChunk plain = chunk;
            chunk.fill(0);
            chunk[protocol::kChunkNumberOffset] = plain[protocol::kChunkNumberOffset];
            chunk[protocol::kChunkLengthOffset] = plain[protocol::kChunkLengthOffset];
            // Nonce 1 to 127 in the low byte: never an empty nonce text.
            FixedNonce nonce((control >> 1) | 1u);
            protocol::ScrambleChunk(chunk,
                                    std::span<const std::uint8_t>(plain).subspan(
                                        protocol::kChunkDataOffset, protocol::kChunkDataSize),
                                    nonce);
        }
        chunks.push_back(chunk);
    }
    return chunks;
}

// The protocol state between guard bytes: a reassembly that wrote past the frame would
// change them.
struct Guarded {
    std::array<std::uint8_t, kGuardSize> before{};
    ProtocolState state;
    std::array<std::uint8_t, kGuardSize> after{};

    Guarded() {
        before.fill(kGuardByte);
        after.fill(kGuardByte);
    }
    bool Intact() const {
        const auto same = [](const auto& guard) {
            return std::all_of(guard.begin(), guard.end(),
                               [](std::uint8_t b) { return b == kGuardByte; });
        };
        return same(before) && same(after);
    }
};

// Feeds the chunks to AcceptChunk one by one and checks every verdict against what the chunk
// and the state before it allow, and that the frame changed only where the chunk belongs.
// The first reply that ended before anything broke it is checked as a record.
void Reassemble(const std::vector<FrameChunk>& chunks) {
    Guarded guarded;
    ProtocolState& state = guarded.state;
    std::optional<SettingsFrame> firstWhole;
    bool broken = false;
    for (const FrameChunk& chunk : chunks) {
        const protocol::ChunkState before = state.chunks;
        const SettingsFrame frameBefore = state.settingsFrame;
        const std::uint8_t number = chunk[protocol::kChunkNumberOffset];
        const std::uint8_t length = chunk[protocol::kChunkLengthOffset];

        const ChunkVerdict verdict = protocol::AcceptChunk(state, chunk);
        FUZZ_CHECK(guarded.Intact());
        FUZZ_CHECK(state.chunks.ReassemblyCount < protocol::kChunksPerFrame);
        FUZZ_CHECK(state.chunks.LastChunkNumber == state.chunks.ReassemblyCount);
        FUZZ_CHECK(state.chunks.ChunkCounter == before.ChunkCounter &&
                   state.chunks.ChunkOffset == before.ChunkOffset);

        const bool placed = verdict == ChunkVerdict::kTaken || verdict == ChunkVerdict::kFrameEnded;
        if (placed) {
            // Only the chunk due next, at its own place, with its own plain bytes.
            FUZZ_CHECK(number == before.ReassemblyCount + 1);
            const std::size_t offset = protocol::kFullChunkLength * (number - 1u);
            SettingsFrame expected = frameBefore;
            protocol::UnscrambleChunk(std::span<std::uint8_t>(expected).subspan(offset), chunk);
            FUZZ_CHECK(state.settingsFrame == expected);
        } else {
            FUZZ_CHECK(state.settingsFrame == frameBefore);
        }
        switch (verdict) {
            case ChunkVerdict::kTaken:
                FUZZ_CHECK(state.chunks.ReassemblyCount == number);
                break;
            case ChunkVerdict::kFrameEnded:
                FUZZ_CHECK(state.chunks.ReassemblyCount == 0);
                FUZZ_CHECK(number == protocol::kChunksPerFrame ||
                           length < protocol::kFullChunkLength ||
                           state.settingsFrame[protocol::kFrameTypeOffset] ==
                               protocol::ToByte(protocol::FrameType::kDiscovery));
                // The record a reader would take: the first whole one, unless broken before.
                if (!broken && !firstWhole) {
                    firstWhole = state.settingsFrame;
                    CheckSettingsRecord(state.settingsFrame);
                }
                break;
            case ChunkVerdict::kBadLength:
                FUZZ_CHECK(length == 0 || length > protocol::kChunkDataSize);
                FUZZ_CHECK(state.chunks.ReassemblyCount == before.ReassemblyCount);
                break;
            case ChunkVerdict::kRepeat:
                FUZZ_CHECK(before.ReassemblyCount > 0 && number == before.LastChunkNumber);
                FUZZ_CHECK(state.chunks.ReassemblyCount == before.ReassemblyCount);
                break;
            case ChunkVerdict::kOutOfTurn:
            case ChunkVerdict::kCutShort:
                FUZZ_CHECK(state.chunks.ReassemblyCount == 0);
                if (!firstWhole) {
                    broken = true;
                }
                break;
        }
    }
}

// What a unicast read must make of one clock's chunks: each reply rebuilt in turn, a chunk 1
// starting a reply anew (after a break, or as a copy), and the first whole reply with flag
// bit 0 and the read's type taken. Also whether any reply came whole.
struct ReadModel {
    std::optional<SettingsFrame> taken;
    bool anyWhole = false;
};

ReadModel ModelRead(const std::vector<FrameChunk>& chunks) {
    ReadModel model;
    ProtocolState reply;
    for (const FrameChunk& chunk : chunks) {
        if (reply.chunks.ReassemblyCount == 0) {
            reply.settingsFrame.fill(0);
        }
        ChunkVerdict verdict = protocol::AcceptChunk(reply, chunk);
        if ((verdict == ChunkVerdict::kRepeat || protocol::BreaksFrame(verdict)) &&
            chunk[protocol::kChunkNumberOffset] == protocol::kFirstChunkNumber) {
            protocol::ResetReassembly(reply.chunks);
            reply.settingsFrame.fill(0);
            verdict = protocol::AcceptChunk(reply, chunk);
        }
        if (verdict != ChunkVerdict::kFrameEnded) {
            continue;
        }
        model.anyWhole = true;
        const SettingsFrame& frame = reply.settingsFrame;
        if ((frame[protocol::kFlagsOffset] & protocol::kFlagCarriedOut) != 0 &&
            frame[protocol::kFrameTypeOffset] ==
                protocol::ToByte(protocol::FrameType::kReadSettings)) {
            model.taken = frame;
            CheckSettingsRecord(frame);
            break;
        }
    }
    return model;
}

// The same chunks as one clock's replies to a unicast read: the exchange answers 1 exactly
// when the model takes a reply, and then holds that reply; without any whole reply the frame
// stays empty.
void Exchange(const std::vector<FrameChunk>& chunks) {
    std::vector<std::vector<std::uint8_t>> replies;
    for (const FrameChunk& chunk : chunks) {
        replies.emplace_back(chunk.begin(), chunk.end());
    }
    FakeClockLine line(std::move(replies));
    const int result = line.exchanges.ExchangeChunkedFrame(line.clock);
    const ProtocolState& state = line.state;

    const ReadModel model = ModelRead(chunks);
    FUZZ_CHECK(result ==
               (model.taken ? protocol::kExchangeAcknowledged : protocol::kExchangeNoAnswer));
    if (model.taken) {
        FUZZ_CHECK(state.settingsFrame == *model.taken);
    } else if (!model.anyWhole) {
        FUZZ_CHECK(state.settingsFrame == SettingsFrame{});
    }
    FUZZ_CHECK(state.chunks.ReassemblyCount == 0);
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo::fuzz;
    Input in(data, size);
    const std::uint8_t mode = in.Byte();
    const std::vector<tavlo::protocol::FrameChunk> chunks = ReadChunks(in);
    Reassemble(chunks);
    if ((mode & kViaExchange) != 0) {
        Exchange(chunks);
    }
    return 0;
}
