#include "protocol/Chunks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/CrtRandom.h"
#include "tests/protocol/TestNonces.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::protocol {
namespace {

using testing::ScriptedNonces;

constexpr std::uint8_t kKeyLast = 'q';  // the key's last character

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        char part[4];
        std::snprintf(part, sizeof part, "%02x", b);
        text += part;
    }
    return text;
}

// A frame whose byte i is (i * 7 + 3) & 0xFF, with the given type.
ProtocolState PatternedState(std::uint8_t type) {
    ProtocolState state;
    for (std::size_t i = 0; i < kSettingsFrameSize; ++i) {
        state.settingsFrame[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    state.settingsFrame[kFrameTypeOffset] = type;
    return state;
}

struct ChunkingCase {
    std::uint8_t type;
    std::vector<int> numbers;  // chunk numbers in order
    std::vector<int> lengths;
    std::vector<int> remaining;  // BuildNextChunk results
};

class ChunkingTest : public ::testing::TestWithParam<ChunkingCase> {};

TEST_P(ChunkingTest, CutsTheFrameByItsType) {
    const ChunkingCase& c = GetParam();
    ProtocolState state = PatternedState(c.type);
    ScriptedNonces nonces({0x1234});
    FrameChunk chunk{};
    std::size_t offset = 0;
    for (std::size_t i = 0; i < c.numbers.size(); ++i) {
        chunk.fill(0xEE);
        const std::uint8_t remaining = BuildNextChunk(state, chunk, nonces);
        EXPECT_EQ(remaining, c.remaining[i]) << "chunk " << i;
        EXPECT_EQ(chunk[kChunkNumberOffset], c.numbers[i]);
        EXPECT_EQ(chunk[kChunkLengthOffset], c.lengths[i]);
        // Round trip: the plain bytes are the frame's bytes from the running offset.
        std::array<std::uint8_t, kChunkDataSize> plain{};
        EXPECT_EQ(UnscrambleChunk(plain, chunk), static_cast<std::size_t>(c.lengths[i]));
        for (int j = 0; j < c.lengths[i]; ++j) {
            ASSERT_EQ(plain[j], state.settingsFrame[offset + j]) << "chunk " << i << " byte " << j;
        }
        // Unused data bytes are zero.
        for (std::size_t j = c.lengths[i]; j < kChunkDataSize; ++j) {
            ASSERT_EQ(chunk[kChunkDataOffset + j], 0);
        }
        offset += c.lengths[i];
    }
    EXPECT_EQ(state.settingsFrame[0], 0x51);
    EXPECT_EQ(state.settingsFrame[1], 0x5A);
    EXPECT_EQ(state.chunks.ChunkCounter, 0);
    EXPECT_EQ(state.chunks.ChunkOffset, 0u);
}

INSTANTIATE_TEST_SUITE_P(TypeClasses, ChunkingTest,
                         ::testing::Values(ChunkingCase{2,
                                                        {1, 2, 3, 4, 5, 6, 7, 8},
                                                        {100, 100, 100, 100, 100, 100, 100, 72},
                                                        {7, 6, 5, 4, 3, 2, 1, 0}},
                                           ChunkingCase{40,
                                                        {1, 2, 3, 4, 5, 6, 7, 8},
                                                        {100, 100, 100, 100, 100, 100, 100, 72},
                                                        {7, 6, 5, 4, 3, 2, 1, 0}},
                                           ChunkingCase{70,
                                                        {1, 2, 3, 4, 5, 6, 7, 8},
                                                        {100, 100, 100, 100, 100, 100, 100, 72},
                                                        {7, 6, 5, 4, 3, 2, 1, 0}},
                                           ChunkingCase{1, {1}, {99}, {0}},
                                           ChunkingCase{3, {1}, {99}, {0}},
                                           ChunkingCase{50, {1}, {99}, {0}}));

TEST(Chunking, TableCoversEveryTypeValue) {
    int one = 0;
    int eight = 0;
    for (int type = 0; type < 256; ++type) {
        const ChunkingClass c = ChunkingClassOf(static_cast<std::uint8_t>(type));
        one += c == ChunkingClass::kOneChunk;
        eight += c == ChunkingClass::kEightChunks;
    }
    EXPECT_EQ(one, 3);
    EXPECT_EQ(eight, 11);
}

TEST(Chunking, UnknownTypeGivesAnAllZeroChunkAndResetsTheCounters) {
    for (const std::uint8_t type : {0, 9, 41, 255}) {
        ProtocolState state = PatternedState(2);
        ScriptedNonces nonces({0x1234});
        FrameChunk chunk{};
        EXPECT_EQ(BuildNextChunk(state, chunk, nonces), 7);
        state.settingsFrame[kFrameTypeOffset] = type;
        chunk.fill(0xEE);
        EXPECT_EQ(BuildNextChunk(state, chunk, nonces), 0);
        EXPECT_EQ(chunk, FrameChunk{}) << int{type};
        EXPECT_EQ(state.chunks.ChunkCounter, 0);
        EXPECT_EQ(nonces.drawn, 1);
    }
}

TEST(Chunking, TamperedCountersNeverStretchAChunk) {
    ProtocolState state = PatternedState(2);
    state.chunks.ChunkOffset = 5000;
    state.chunks.ChunkCounter = 200;
    ScriptedNonces nonces({0x1234});
    FrameChunk chunk{};
    EXPECT_EQ(BuildNextChunk(state, chunk, nonces), 7);
    EXPECT_EQ(chunk[kChunkNumberOffset], 1);
    EXPECT_EQ(chunk[kChunkLengthOffset], 100);
}

TEST(Scrambling, ChosenNoncesKnownAnswer) {
    // Type 1 read request: magic, flag bit 0, type 1, the rest zero.
    ProtocolState state;
    state.settingsFrame[kFlagsOffset] = kFlagCarriedOut;
    state.settingsFrame[kFrameTypeOffset] = 1;
    FrameChunk chunk{};

    // Nonce 0x41 0x42 0x00 0x00: the last nonce text byte is 0x42; 0x42 ^ 'q' = 0x33.
    ScriptedNonces twoBytes({0x4241});
    BuildNextChunk(state, chunk, twoBytes);
    EXPECT_EQ(Hex(std::span(chunk).first(8)), "0162693333333333");
    EXPECT_EQ(chunk[kChunkDataOffset + kFlagsOffset], 0x01 ^ 0x42 ^ kKeyLast);
    EXPECT_EQ(chunk[kChunkDataOffset + kFrameTypeOffset], 0x01 ^ 0x33);
    EXPECT_EQ(chunk[kChunkDataOffset + 98], 0x33);
    EXPECT_EQ(chunk[kChunkDataOffset + 99], 0x00);  // past the length
    EXPECT_EQ(Hex(std::span(chunk).last(5)), "4142000063");

    // Nonce 0x41 0x00 0x00 0x00: 0x41 ^ 'q' = 0x30.
    ScriptedNonces oneByte({0x41});
    BuildNextChunk(state, chunk, oneByte);
    EXPECT_EQ(Hex(std::span(chunk).first(8)), "01616a3030303030");
    EXPECT_EQ(Hex(std::span(chunk).last(5)), "4100000063");
}

TEST(Scrambling, XorPassRules) {
    const std::array<std::uint8_t, 3> source{0x10, 0x20, 0x30};
    const std::array<std::uint8_t, 3> key{0x01, 0x02, 0x04};
    std::array<std::uint8_t, 3> destination{0xAA, 0xAA, 0xAA};
    XorPass(destination, source, 2, key);  // only the last key byte shows
    EXPECT_EQ(Hex(destination), "1424aa");
    XorPass(destination, source, 3, {});  // empty key: untouched
    EXPECT_EQ(Hex(destination), "1424aa");
    std::array<std::uint8_t, 3> inPlace = source;
    XorPass(inPlace, inPlace, 3, key);  // same buffer: passes accumulate
    EXPECT_EQ(Hex(inPlace), "172737");
    destination.fill(0xAA);
    XorPass(std::span(destination).first(1), source, 3, key);  // cut to the destination
    EXPECT_EQ(Hex(destination), "14aaaa");
}

TEST(Scrambling, EmptyNonceTextCarriesNothing) {
    FrameChunk chunk{};
    chunk[kChunkNumberOffset] = 1;
    chunk[kChunkLengthOffset] = 99;
    chunk[kChunkDataOffset] = 0x5A;
    std::array<std::uint8_t, kChunkDataSize> plain{};
    plain.fill(0xEE);
    EXPECT_EQ(UnscrambleChunk(plain, chunk), 0u);
    EXPECT_EQ(plain[0], 0xEE);
}

TEST(Nonce, DrawsAgainWhileTheLowByteIsZero) {
    // Find a seed whose first draw has a zero low byte.
    std::uint32_t seed = 0;
    for (;; ++seed) {
        platform::CrtRandom random(seed);
        if ((random.next() & 0xFF) == 0) {
            break;
        }
    }
    platform::CrtRandom random(seed);
    random.next();
    const auto second = static_cast<std::uint32_t>(random.next());
    ASSERT_NE(second & 0xFF, 0u);
    EXPECT_EQ(ClockNonceSource::nonceForSeed(seed), second);
}

TEST(Nonce, SeededFromTimePlusTicks) {
    test::FakeNetwork net;
    net.setEpochSeconds(1'700'000'000);
    net.setTickBase(123456);
    ClockNonceSource source(net);
    const auto expected =
        ClockNonceSource::nonceForSeed(static_cast<std::uint32_t>(1'700'000'000u + 123456u));
    EXPECT_EQ(source.nextNonce(), expected);
    for (int i = 0; i < 2000; ++i) {
        net.advance(std::chrono::milliseconds(7));
        const std::uint32_t n = source.nextNonce();
        ASSERT_LE(n, 0x7FFFu);
        ASSERT_NE(n & 0xFF, 0u);
    }
}

// --- AcceptChunk ---

// A scrambled chunk with the given number and plain bytes.
FrameChunk MakeChunk(std::uint8_t number, std::span<const std::uint8_t> plain,
                     std::uint32_t nonce = 0x4241) {
    FrameChunk chunk{};
    chunk[kChunkNumberOffset] = number;
    chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(plain.size());
    ScriptedNonces nonces({nonce});
    ScrambleChunk(chunk, plain, nonces);
    return chunk;
}

FrameChunk FilledChunk(std::uint8_t number, std::uint8_t value, std::size_t length = 100) {
    std::vector<std::uint8_t> plain(length, value);
    return MakeChunk(number, plain);
}

TEST(AcceptChunk, ReassemblesAnEightChunkReply) {
    ProtocolState sent = PatternedState(2);
    ScriptedNonces nonces({0x0101, 0x0202, 0x7F03});
    ProtocolState received;
    FrameChunk chunk{};
    for (int i = 0; i < 8; ++i) {
        BuildNextChunk(sent, chunk, nonces);
        EXPECT_EQ(AcceptChunk(received, chunk),
                  i < 7 ? ChunkVerdict::kTaken : ChunkVerdict::kFrameEnded);
    }
    EXPECT_EQ(received.settingsFrame, sent.settingsFrame);
    EXPECT_EQ(received.chunks.ReassemblyCount, 0);  // the eighth chunk ends the frame
    EXPECT_EQ(received.chunks.LastChunkNumber, 0);
}

// A received sequence of chunks (number, length; each filled with its number) and the
// verdict on each.
struct ArrivalCase {
    const char* name;
    std::vector<std::pair<int, int>> chunks;
    std::vector<ChunkVerdict> verdicts;
    int countAfter;  // ReassemblyCount at the end
};

class ArrivalTest : public ::testing::TestWithParam<ArrivalCase> {};

TEST_P(ArrivalTest, TakesChunksOnlyInTurn) {
    const ArrivalCase& c = GetParam();
    ASSERT_EQ(c.chunks.size(), c.verdicts.size());
    ProtocolState state;
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
        const auto [number, length] = c.chunks[i];
        const auto value = static_cast<std::uint8_t>(number);
        EXPECT_EQ(AcceptChunk(state, FilledChunk(value, value, static_cast<std::size_t>(length))),
                  c.verdicts[i])
            << "chunk " << i;
    }
    EXPECT_EQ(state.chunks.ReassemblyCount, c.countAfter);
    // Whatever was taken sits where its number says, never past the frame.
    for (std::size_t n = 1; n <= 8; ++n) {
        const std::uint8_t at = state.settingsFrame[100 * (n - 1)];
        EXPECT_TRUE(at == 0 || at == n) << "chunk " << n << " holds " << int{at};
    }
}

constexpr auto T = ChunkVerdict::kTaken;
constexpr auto E = ChunkVerdict::kFrameEnded;
constexpr auto R = ChunkVerdict::kRepeat;
constexpr auto O = ChunkVerdict::kOutOfTurn;
constexpr auto S = ChunkVerdict::kCutShort;

INSTANTIATE_TEST_SUITE_P(
    Sequences, ArrivalTest,
    ::testing::Values(
        ArrivalCase{"OneChunkFrame", {{1, 99}}, {E}, 0},
        ArrivalCase{"OneChunkFrameTwice", {{1, 99}, {1, 99}}, {E, E}, 0},
        ArrivalCase{"FirstChunkMissing", {{2, 100}, {3, 100}}, {O, O}, 0},
        ArrivalCase{"ChunkMissing", {{1, 100}, {2, 100}, {4, 100}}, {T, T, O}, 0},
        ArrivalCase{"Reordered", {{1, 100}, {3, 100}, {2, 100}}, {T, O, O}, 0},
        ArrivalCase{
            "ImmediateCopiesDropped", {{1, 100}, {1, 100}, {1, 100}, {2, 100}}, {T, R, R, T}, 2},
        ArrivalCase{"EarlierChunkAgainAfterOthers", {{1, 100}, {2, 100}, {1, 100}}, {T, T, O}, 0},
        ArrivalCase{"ShortChunkInside", {{1, 100}, {2, 72}}, {T, S}, 0},
        ArrivalCase{"EighthShorterThanItsShare",
                    {{1, 100}, {2, 100}, {3, 100}, {4, 100}, {5, 100}, {6, 100}, {7, 100}, {8, 71}},
                    {T, T, T, T, T, T, T, S},
                    0},
        ArrivalCase{
            "EighthOf100IsCutAtTheEnd",
            {{1, 100}, {2, 100}, {3, 100}, {4, 100}, {5, 100}, {6, 100}, {7, 100}, {8, 100}},
            {T, T, T, T, T, T, T, E},
            0},
        ArrivalCase{"NinthAndLateCopyOfTheEighth",
                    {{1, 100},
                     {2, 100},
                     {3, 100},
                     {4, 100},
                     {5, 100},
                     {6, 100},
                     {7, 100},
                     {8, 72},
                     {8, 72},
                     {9, 72}},
                    {T, T, T, T, T, T, T, E, O, O},
                    0},
        ArrivalCase{"NumbersOutsideOneToEight", {{0, 99}, {9, 99}, {255, 99}}, {O, O, O}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AcceptChunk, DiscoveryAnnouncementEndsTheFrameWhateverItsLength) {
    std::vector<std::uint8_t> plain(100, 0);
    plain[kFlagsOffset] = kFlagCarriedOut;
    plain[kFrameTypeOffset] = 3;
    ProtocolState state;
    EXPECT_EQ(AcceptChunk(state, MakeChunk(1, plain)), ChunkVerdict::kFrameEnded);
    EXPECT_EQ(state.chunks.ReassemblyCount, 0);
    EXPECT_EQ(state.chunks.LastChunkNumber, 0);
    EXPECT_EQ(state.settingsFrame[kFrameTypeOffset], 3);
}

TEST(AcceptChunk, HostileLengthsAreDroppedWithoutTouchingAnything) {
    for (const int length : {0, 101, 102, 200, 255}) {
        ProtocolState state;
        state.chunks.ReassemblyCount = 7;
        state.chunks.LastChunkNumber = 7;
        FrameChunk chunk = FilledChunk(8, 0x77);
        chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(length);
        EXPECT_EQ(AcceptChunk(state, chunk), ChunkVerdict::kBadLength) << length;
        EXPECT_EQ(state.chunks.ReassemblyCount, 7);
        EXPECT_EQ(state.chunks.LastChunkNumber, 7);
        EXPECT_EQ(state.settingsFrame, SettingsFrame{});
    }
}

TEST(AcceptChunk, ResetsClearTheState) {
    ChunkState chunks{3, 300, 4, 5};
    ResetReassembly(chunks);
    EXPECT_EQ(chunks.ReassemblyCount, 0);
    EXPECT_EQ(chunks.LastChunkNumber, 0);
    EXPECT_EQ(chunks.ChunkCounter, 3);
    ResetChunkSending(chunks);
    EXPECT_EQ(chunks.ChunkCounter, 0);
    EXPECT_EQ(chunks.ChunkOffset, 0u);
}

}  // namespace
}  // namespace tavlo::protocol
