// Reading a clock with the device tree's retry rules, on the fake network.
#include "workflow/ClockRead.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/Ipv4.h"
#include "protocol/Chunks.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::workflow {
namespace {

using platform::MakeIpv4;
using std::chrono::milliseconds;
using test::FakeNetwork;
using test::SentDatagram;

const platform::Ipv4 kClock = MakeIpv4(192, 168, 1, 20);

class FixedNonce final : public protocol::NonceSource {
  public:
    std::uint32_t nextNonce() override { return 0x4142; }
};

protocol::SettingsFrame ClockRecord() {
    protocol::SettingsFrame record{};
    std::memcpy(record.data() + protocol::kSerialNumberOffset, "SN0042", 6);
    record[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
    record[protocol::kFrameTypeOffset] = protocol::ToByte(protocol::FrameType::kReadSettings);
    record[700] = 0x77;  // a byte of the eighth chunk
    std::memcpy(record.data() + protocol::kUserPasswordOffset, "user", 4);
    std::memcpy(record.data() + protocol::kGlobalPasswordOffset, "global12", 8);
    return record;
}

// A wired read reply: the whole record as eight chunks (7 x 100 bytes and 72).
std::vector<std::vector<std::uint8_t>> WiredReply() {
    const protocol::SettingsFrame record = ClockRecord();
    FixedNonce nonces;
    std::vector<std::vector<std::uint8_t>> chunks;
    for (std::size_t n = 1; n <= protocol::kChunksPerFrame; ++n) {
        protocol::FrameChunk chunk{};
        chunk[protocol::kChunkNumberOffset] = static_cast<std::uint8_t>(n);
        const std::size_t length =
            n < protocol::kChunksPerFrame ? protocol::kFullChunkLength : protocol::kLastChunkLength;
        chunk[protocol::kChunkLengthOffset] = static_cast<std::uint8_t>(length);
        protocol::ScrambleChunk(
            chunk, std::span<const std::uint8_t>(record).subspan((n - 1) * 100, length), nonces);
        chunks.emplace_back(chunk.begin(), chunk.end());
    }
    return chunks;
}

class ClockReadTest : public ::testing::Test {
  protected:
    ClockReadTest() : line(net, state, nonces) {
        net.setLocalAddresses({MakeIpv4(192, 168, 1, 2)});
        state.LocalAddressList = net.localAddresses();
    }
    // The clock answers the requests whose number (from 1) `answers` says yes to.
    void Clock(std::function<bool(int)> answers) {
        net.addPeer(kClock, [this, answers](const SentDatagram& request, FakeNetwork& n) {
            ++requests;
            EXPECT_EQ(platform::FormatIpv4(request.to.address), "192.168.1.20");
            if (!answers(requests)) {
                return;
            }
            if (request.to.port == protocol::kFullFramePort) {
                const auto record = ClockRecord();
                n.reply(request, kClock, {record.begin(), record.end()}, milliseconds(3));
            } else if (request.bytes.size() == protocol::kCommandFrameSize) {
                protocol::CommandFrame reply{};
                reply[protocol::kRequestMarkerOffset] = protocol::kRequestMarker;
                reply[protocol::kCommandCodeOffset] = 1;
                std::memcpy(reply.data() + protocol::kEarlySerialNumberOffset, "E1", 2);
                n.reply(request, kClock, {reply.begin(), reply.end()}, milliseconds(3));
            } else {
                const auto chunks = WiredReply();
                for (std::size_t i = 0; i < chunks.size(); ++i) {
                    if (!loseChunk || !loseChunk(requests, static_cast<int>(i) + 1)) {
                        n.reply(request, kClock, chunks[i], milliseconds(3));
                    }
                }
            }
        });
    }
    ReadResult Read(ClockKind kind) { return ReadClock(line, kClock, kind); }
    bool HoldsTheRecord() const { return state.settingsFrame == ClockRecord(); }

    // Whether the reply to request `request` (from 1) loses its chunk `chunk` (1 to 8).
    std::function<bool(int request, int chunk)> loseChunk;
    FakeNetwork net;
    protocol::ProtocolState state;
    FixedNonce nonces;
    ClockLine line;
    int requests = 0;
};

TEST(ClockKind, FollowsTheFamilyOfTheSearchFlags) {
    using protocol::ClockFamily;
    EXPECT_EQ(protocol::FamilyFromFlags(1, 0), ClockFamily::kWifi);
    EXPECT_EQ(protocol::FamilyFromFlags(0, 1), ClockFamily::kWired);
    EXPECT_EQ(protocol::FamilyFromFlags(0, 0), ClockFamily::kNone);
    for (const ClockFamily family : {ClockFamily::kWired, ClockFamily::kWifi}) {
        ASSERT_TRUE(CurrentClockKind(family));
        EXPECT_EQ(FamilyOfKind(*CurrentClockKind(family)), family);
    }
    EXPECT_EQ(CurrentClockKind(ClockFamily::kNone), std::nullopt);
    EXPECT_EQ(FamilyOfKind(ClockKind::kEarly), ClockFamily::kNone);
}

TEST_F(ClockReadTest, WiredClockIsAskedThreeTimesWhenItAlwaysAnswers) {
    Clock([](int) { return true; });
    const ReadResult outcome = Read(ClockKind::kWired);
    EXPECT_TRUE(outcome.answered);
    EXPECT_EQ(requests, 3);
    EXPECT_TRUE(HoldsTheRecord());
    EXPECT_EQ(outcome.settingsFrame, ClockRecord());
    ASSERT_TRUE(outcome.passwords);
    EXPECT_EQ(PasswordText(outcome.passwords->user), "user");
    EXPECT_EQ(PasswordText(outcome.passwords->global), "global12");  // all 8 bytes, no zero
    // Every request is a read with flag bit 0, as one chunk.
    for (const auto& sent : net.sent()) {
        protocol::FrameChunk chunk{};
        std::copy(sent.bytes.begin(), sent.bytes.end(), chunk.begin());
        protocol::SettingsFrame plain{};
        protocol::UnscrambleChunk(plain, chunk);
        EXPECT_EQ(plain[protocol::kFrameTypeOffset], 1);
        EXPECT_EQ(plain[protocol::kFlagsOffset] & protocol::kFlagCarriedOut, 1);
    }
}

TEST_F(ClockReadTest, WiredClockSilentAfterItsFirstAnswerKeepsThatAnswer) {
    Clock([](int request) { return request == 1; });
    EXPECT_TRUE(Read(ClockKind::kWired).answered);
    EXPECT_EQ(requests, 5);
    EXPECT_TRUE(HoldsTheRecord());
}

TEST_F(ClockReadTest, WiredRepliesWithALostChunkAreNoAnswer) {
    Clock([](int) { return true; });
    loseChunk = [](int, int chunk) { return chunk == 3; };
    EXPECT_FALSE(Read(ClockKind::kWired).answered);
    EXPECT_EQ(requests, 5);
}

TEST_F(ClockReadTest, WiredReadKeepsTheLastWholeReplyWhenLaterOnesLoseChunks) {
    Clock([](int) { return true; });
    loseChunk = [](int request, int chunk) { return request >= 2 && chunk == request; };
    EXPECT_TRUE(Read(ClockKind::kWired).answered);
    EXPECT_EQ(requests, 5);
    EXPECT_TRUE(HoldsTheRecord());
}

TEST_F(ClockReadTest, SilentWiredClockIsAskedFiveTimesWithPauses) {
    Clock([](int) { return false; });
    const ReadResult outcome = Read(ClockKind::kWired);
    EXPECT_FALSE(outcome.answered);
    EXPECT_TRUE(outcome.failure.empty());
    EXPECT_EQ(requests, 5);
    // Five waits of 500 ms and five pauses of 500 ms.
    EXPECT_EQ(net.now(), 5000u);
}

TEST_F(ClockReadTest, StopEndsASilentWiredReadAtItsNextPause) {
    std::stop_source stop;
    Clock([&](int request) {
        if (request == 2) {
            stop.request_stop();
        }
        return false;
    });
    const ReadResult outcome = ReadClock(line, kClock, ClockKind::kWired, stop.get_token());
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(net.now(), 1500u);
}

TEST_F(ClockReadTest, WifiClockIsAskedUntilItAnswersAtMostTwice) {
    Clock([](int request) { return request == 2; });
    EXPECT_TRUE(Read(ClockKind::kWifi).answered);
    EXPECT_EQ(requests, 2);
    EXPECT_TRUE(HoldsTheRecord());
}

TEST_F(ClockReadTest, WifiClockAnsweringAtOnceIsAskedOnce) {
    Clock([](int) { return true; });
    EXPECT_TRUE(Read(ClockKind::kWifi).answered);
    EXPECT_EQ(requests, 1);
}

TEST_F(ClockReadTest, SilentWifiClockIsAskedTwice) {
    Clock([](int) { return false; });
    EXPECT_FALSE(Read(ClockKind::kWifi).answered);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(net.now(), 2000u);
}

TEST_F(ClockReadTest, EarlyClockIsAskedOnce) {
    Clock([](int) { return true; });
    const ReadResult outcome = Read(ClockKind::kEarly);
    EXPECT_TRUE(outcome.answered);
    EXPECT_FALSE(outcome.passwords);  // an early read leaves the known passwords alone
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(state.commandFrame.data() +
                                                        protocol::kEarlySerialNumberOffset)),
              "E1");
}

TEST_F(ClockReadTest, PortTakenStopsAtOnceWithTheReason) {
    Clock([](int) { return true; });
    net.failBind("Address already in use");
    const ReadResult outcome = Read(ClockKind::kWired);
    EXPECT_FALSE(outcome.answered);
    EXPECT_FALSE(outcome.failure.empty());
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(net.now(), 0u);
}

}  // namespace
}  // namespace tavlo::workflow
