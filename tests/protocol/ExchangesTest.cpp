#include "protocol/Exchanges.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>

#include "platform/Ipv4.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"
#include "tests/protocol/TestNonces.h"
#include "tests/support/FakeNetwork.h"

namespace tavlo::protocol {
namespace {

using namespace std::chrono_literals;
using platform::Ipv4;
using platform::MakeIpv4;
using test::FakeNetwork;
using test::SentDatagram;
using Bytes = std::vector<std::uint8_t>;

const Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
const Ipv4 kClockA = MakeIpv4(198, 18, 0, 10);
const Ipv4 kClockB = MakeIpv4(198, 18, 0, 11);
const Ipv4 kClockC = MakeIpv4(198, 18, 0, 12);
const Ipv4 kSubnetBroadcast = MakeIpv4(198, 18, 0, 255);
const Ipv4 kNetworkAddress = MakeIpv4(198, 18, 0, 0);

// A whole-frame reply: serial number byte, flags and type as given.
Bytes FullReply(std::uint8_t flags, std::uint8_t type = 1, std::uint8_t marker = 0x5E) {
    Bytes reply(kSettingsFrameSize, 0);
    reply[kSerialNumberOffset] = marker;
    reply[kFlagsOffset] = flags;
    reply[kFrameTypeOffset] = type;
    return reply;
}

// The chunks a clock sends for the given reply frame.
std::vector<Bytes> ChunkReply(std::uint8_t flags, std::uint8_t type, std::uint8_t marker = 0x5E) {
    ProtocolState clock;
    const Bytes whole = FullReply(flags, type, marker);
    std::copy(whole.begin(), whole.end(), clock.settingsFrame.begin());
    testing::ScriptedNonces nonces({0x2A11});
    std::vector<Bytes> chunks;
    FrameChunk chunk{};
    for (;;) {
        const std::uint8_t remaining = BuildNextChunk(clock, chunk, nonces);
        chunks.emplace_back(chunk.begin(), chunk.end());
        if (remaining == 0) {
            return chunks;
        }
    }
}

// An early clock's reply to `command`; checksum 0 lets the receiver fill it in.
Bytes CommandReply(std::uint8_t marker, std::uint8_t checksum = 0, std::uint8_t command = 1,
                   std::uint8_t serial = 'E') {
    Bytes reply(kCommandFrameSize, 0);
    reply[kRequestMarkerOffset] = marker;
    reply[kCommandCodeOffset] = command;
    reply[kEarlySerialNumberOffset] = serial;
    reply[kChecksumOffset] = checksum;
    return reply;
}

// The PC side of an exchange: the fixture's, or a fresh one for one case of a table.
struct Pc {
    Pc() : exchanges(network, state, nonces) {}
    // Ready to send a request of `type`.
    explicit Pc(std::uint8_t type) : Pc() {
        state.settingsFrame[kFlagsOffset] = kFlagCarriedOut;
        state.settingsFrame[kFrameTypeOffset] = type;
    }
    FakeNetwork network;
    ProtocolState state;
    testing::ScriptedNonces nonces{{0x1234}};
    ClockExchanges exchanges;
};

class ExchangesTest : public ::testing::Test {
  protected:
    ExchangesTest() { net.setLocalAddresses({kPc}); }

    // A clock at `address` that answers every datagram with `replies`, `delay` apart.
    void AddClock(Ipv4 address, std::vector<Bytes> replies,
                  std::chrono::milliseconds delay = 10ms) {
        net.addPeer(address, [=](const SentDatagram& request, FakeNetwork& n) {
            for (std::size_t i = 0; i < replies.size(); ++i) {
                n.reply(request, address, replies[i], delay * static_cast<int>(i + 1));
            }
        });
    }
    // Same, but answering only the last chunk of a request (so eight-chunk writes get one
    // answer).
    void AddChunkClock(Ipv4 address, std::vector<Bytes> replies) {
        net.addPeer(address, [=](const SentDatagram& request, FakeNetwork& n) {
            const std::uint8_t length = request.bytes[kChunkLengthOffset];
            if (length == kFullChunkLength) {
                return;
            }
            for (std::size_t i = 0; i < replies.size(); ++i) {
                n.reply(request, address, replies[i], 10ms * static_cast<int>(i + 1));
            }
        });
    }

    void SetType(std::uint8_t type) {
        state.settingsFrame[kFlagsOffset] = kFlagCarriedOut;
        state.settingsFrame[kFrameTypeOffset] = type;
    }

    Pc pc;
    FakeNetwork& net = pc.network;
    ProtocolState& state = pc.state;
    testing::ScriptedNonces& nonces = pc.nonces;
    ClockExchanges& exchanges = pc.exchanges;
};

// --- Targets ---

TEST_F(ExchangesTest, RejectedTargetsSendNothingAndOpenNoSocket) {
    for (const Ipv4 target : {Ipv4{0}, kNetworkAddress}) {
        SetType(1);
        EXPECT_EQ(exchanges.ExchangeFullFrame(target), 255);
        EXPECT_EQ(exchanges.ExchangeChunkedFrame(target), 255);
        EXPECT_EQ(exchanges.ExchangeCommandFrame(1, target), -1);
    }
    EXPECT_TRUE(net.sockets().empty());
    EXPECT_TRUE(net.sent().empty());
    EXPECT_EQ(net.now(), 0u);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kNone);
}

TEST_F(ExchangesTest, SubnetBroadcastGoesTo255WithBroadcastOnAndABigReceiveBuffer) {
    SetType(3);
    EXPECT_EQ(exchanges.ExchangeFullFrame(kSubnetBroadcast), 0);
    EXPECT_EQ(net.now(), 100u + 2000u);  // pause, then one silent 2 s wait

    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to.address, platform::kLimitedBroadcast);
    EXPECT_EQ(sent[0].to.port, kFullFramePort);
    EXPECT_EQ(sent[0].from.port, kFullFramePort);
    EXPECT_EQ(sent[0].bytes.size(), kSettingsFrameSize);
    EXPECT_EQ(sent[0].bytes[0], 0x51);
    EXPECT_EQ(sent[0].bytes[1], 0x5A);
    const auto socket = net.sockets().at(0);
    EXPECT_TRUE(socket.broadcastEnabled);
    EXPECT_GE(socket.receiveBuffer, 1 << 20);
    EXPECT_EQ(socket.boundTo, (platform::Endpoint{platform::kAnyAddress, kFullFramePort}));
    EXPECT_EQ(net.openSocketCount(), 0);
}

TEST_F(ExchangesTest, UnicastSocketsStayPlain) {
    SetType(1);
    exchanges.ExchangeChunkedFrame(kClockA);
    const auto socket = net.sockets().at(0);
    EXPECT_FALSE(socket.broadcastEnabled);
    EXPECT_EQ(socket.receiveBuffer, 0);
    EXPECT_EQ(net.sent().at(0).to, (platform::Endpoint{kClockA, kChunkPort}));
}

// --- Time-outs: exact virtual milliseconds with a silent line ---

struct TimeoutCase {
    const char* name;
    int exchange;  // 0 full, 1 chunked, 2 command
    std::uint8_t type;
    Ipv4 target;
    std::uint64_t expectedMs;
    std::size_t expectedSends;
};

class TimeoutTest : public ExchangesTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutTest, SilentLineCostsExactly) {
    const TimeoutCase& c = GetParam();
    SetType(c.type);
    switch (c.exchange) {
        case 0:
            exchanges.ExchangeFullFrame(c.target);
            break;
        case 1:
            exchanges.ExchangeChunkedFrame(c.target);
            break;
        default:
            exchanges.ExchangeCommandFrame(1, c.target);
            break;
    }
    EXPECT_EQ(net.now(), c.expectedMs) << c.name;
    EXPECT_EQ(net.sent().size(), c.expectedSends) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TimeoutTest,
    ::testing::Values(TimeoutCase{"full unicast", 0, 1, kClockA, 1000, 1},
                      TimeoutCase{"full broadcast", 0, 3, platform::kLimitedBroadcast, 2100, 1},
                      TimeoutCase{"chunked unicast read", 1, 1, kClockA, 500, 1},
                      TimeoutCase{"chunked unicast write", 1, 2, kClockA, 500, 8},
                      TimeoutCase{"chunked broadcast read", 1, 1, kSubnetBroadcast, 2100, 1},
                      TimeoutCase{"chunked broadcast write", 1, 2, kSubnetBroadcast, 800 + 2000, 8},
                      TimeoutCase{"command unicast", 2, 0, kClockA, 100, 1},
                      TimeoutCase{"command broadcast", 2, 0, kSubnetBroadcast, 1000, 1},
                      // First octet 255 without a broadcast last octet: unicast send, long wait.
                      TimeoutCase{"full first octet 255", 0, 1, MakeIpv4(255, 1, 2, 3), 2000, 1},
                      TimeoutCase{"chunked first octet 255", 1, 1, MakeIpv4(255, 1, 2, 3), 2000, 1},
                      TimeoutCase{"command first octet 255", 2, 0, MakeIpv4(255, 1, 2, 3), 1000,
                                  1}),
    [](const ::testing::TestParamInfo<TimeoutCase>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// --- ExchangeFullFrame ---

TEST_F(ExchangesTest, FullUnicastEndsOnTheAwaitedReply) {
    SetType(1);
    AddClock(kClockA, {FullReply(kFlagCarriedOut)});
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 1);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);
    EXPECT_EQ(net.now(), 10u);
}

TEST_F(ExchangesTest, FullUnicastReplyWithoutFlagGives255) {
    SetType(1);
    AddClock(kClockA, {FullReply(0)});
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 255);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);  // the reply is still there
}

TEST_F(ExchangesTest, UnicastWaitsWhileTheClockSendsSomethingNewWithinTheTimeout) {
    SetType(1);
    net.addPeer(kClockA, [](const SentDatagram& request, FakeNetwork& n) {
        n.reply(request, kClockA, FullReply(0, 1, 1), 900ms);
        n.reply(request, kClockA, FullReply(kFlagCarriedOut, 2, 2), 1800ms);  // another type
        n.reply(request, kClockA, FullReply(kFlagCarriedOut, 1, 3), 2700ms);  // the record
        n.reply(request, kClockA, FullReply(0, 1, 4), 2750ms);
    });
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 1);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 3);
    EXPECT_EQ(net.now(), 2700u);
}

TEST_F(ExchangesTest, WrongSizesAndLocalSendersAreDroppedWithoutTouchingTheReply) {
    SetType(1);
    state.LocalAddressList = {kPc};
    net.addPeer(kClockA, [](const SentDatagram& request, FakeNetwork& n) {
        n.reply(request, kClockA, FullReply(0), 10ms);
        n.reply(request, kClockA, Bytes(kSettingsFrameSize - 1, 0xEE), 20ms);
        n.reply(request, kClockA, Bytes(kSettingsFrameSize + 1, 0xEE), 30ms);
        n.reply(request, kPc, FullReply(kFlagCarriedOut, 1, 0x77), 40ms);
    });
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 255);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);  // the clock's reply stays
    EXPECT_EQ(state.settingsFrame[0], 0);
    EXPECT_EQ(net.now(), 30u + 1000u) << "the PC's own datagram is no part of a unicast exchange";
}

// Another clock repeating its own replies (a read reply, an acknowledgement) during a unicast
// exchange: none of them is taken for the target's, and they keep nobody waiting.
TEST_F(ExchangesTest, UnicastHearsItsTargetAlone) {
    const auto strangerRepeats = [](std::vector<Bytes> replies) {
        return [=](const SentDatagram& request, FakeNetwork& n) {
            for (int i = 0; i < 100; ++i) {
                n.reply(request, kClockB, replies[i % replies.size()], 1ms + 400ms * i);
            }
        };
    };
    const struct {
        const char* exchange;
        std::vector<Bytes> stranger;
        std::function<std::int32_t(ClockExchanges&)> run;
        std::int32_t noAnswer;
        std::uint32_t timeoutMs;
    } cases[] = {
        {"full",
         {FullReply(kFlagCarriedOut, 1, 0xBB)},
         [](ClockExchanges& e) { return e.ExchangeFullFrame(kClockA); },
         255,
         1000},
        {"chunked", ChunkReply(kFlagCarriedOut, 1, 0xBB),
         [](ClockExchanges& e) { return e.ExchangeChunkedFrame(kClockA); }, 255, 500},
        {"command",
         {CommandReply(1)},
         [](ClockExchanges& e) { return e.ExchangeCommandFrame(1, kClockA); },
         -1,
         100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exchange);
        Pc fresh(1);
        fresh.network.setLocalAddresses({kPc});
        fresh.network.addPeer(kClockA, strangerRepeats(c.stranger));
        EXPECT_EQ(c.run(fresh.exchanges), c.noAnswer) << "the target itself stays silent";
        EXPECT_EQ(fresh.state.settingsFrame[kSerialNumberOffset], 0);
        EXPECT_EQ(fresh.state.commandFrame[kEarlySerialNumberOffset], 0);
        EXPECT_EQ(fresh.network.now(), c.timeoutMs) << "as if the line were quiet";
    }
}

TEST_F(ExchangesTest, EchoOfOwnBroadcastIsFilteredOnlyThroughLocalAddressList) {
    SetType(3);
    net.echoBroadcastsFrom(kPc);
    AddClock(kClockA, {FullReply(kFlagCarriedOut, 3)});
    EXPECT_EQ(exchanges.ExchangeFullFrame(platform::kLimitedBroadcast), 2);  // list empty

    state.LocalAddressList = {MakeIpv4(10, 9, 8, 7), kPc};
    EXPECT_EQ(exchanges.ExchangeFullFrame(platform::kLimitedBroadcast), 1);
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(platform::kLimitedBroadcast), 0);  // 772 != 106
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, platform::kLimitedBroadcast), -1);
}

// 300 clocks, each answering twice: the count is the number of clocks, never cut to a byte.
TEST_F(ExchangesTest, BroadcastCountIsAPlainNumberOfClocks) {
    SetType(2);
    std::vector<Ipv4> clocks;
    net.onSend([&clocks](const SentDatagram& request, FakeNetwork& n) {
        for (int i = 0; i < 600; ++i) {
            const Ipv4 clock = MakeIpv4(198, 18, static_cast<std::uint8_t>(1 + i % 300 / 200),
                                        static_cast<std::uint8_t>(1 + i % 300 % 200));
            n.reply(request, clock, FullReply(kFlagCarriedOut, 2), 1ms);
            if (i < 300) {
                clocks.push_back(clock);
            }
        }
    });
    EXPECT_EQ(exchanges.ExchangeFullFrame(platform::kLimitedBroadcast), 300);
    EXPECT_EQ(exchanges.lastAcknowledgers(), clocks);
}

// --- ExchangeChunkedFrame ---

TEST_F(ExchangesTest, ChunkedUnicastReadRebuildsTheReply) {
    SetType(1);
    AddChunkClock(kClockA, ChunkReply(kFlagCarriedOut, 1));
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 1);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);
    EXPECT_EQ(net.now(), 10u);
}

TEST_F(ExchangesTest, ChunkedUnicastWriteSendsEightChunksAndTakesAnEightChunkReply) {
    SetType(2);
    state.settingsFrame[700] = 0x70;
    AddChunkClock(kClockA, ChunkReply(kFlagCarriedOut, 2));
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 1);
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 8u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes.size(), kChunkSize);
        EXPECT_EQ(sent[i].bytes[kChunkNumberOffset], i + 1);
        EXPECT_EQ(sent[i].timeMs, 0u);  // no pause between unicast sends
    }
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);
    EXPECT_EQ(state.settingsFrame[kFrameTypeOffset], 2);
    EXPECT_EQ(state.chunks.ReassemblyCount, 0);
    EXPECT_EQ(state.chunks.ChunkCounter, 0);
}

TEST_F(ExchangesTest, ChunkedUnicastWithoutFlagGives255) {
    SetType(1);
    AddChunkClock(kClockA, ChunkReply(0, 1));
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 255);
}

TEST_F(ExchangesTest, HalfReceivedReplyNeverShiftsTheNextOne) {
    SetType(1);
    // A previous exchange stopped in the middle of an eight-chunk reply.
    state.chunks.ReassemblyCount = 3;
    state.chunks.LastChunkNumber = 1;
    AddChunkClock(kClockA, ChunkReply(kFlagCarriedOut, 1));
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 1);
    EXPECT_EQ(state.settingsFrame[kSerialNumberOffset], 0x5E);
}

// A clock's eight-chunk reply as it arrives: the chunks by their index in the reply (0 to 7).
struct ArrivedReply {
    const char* name;
    std::vector<int> order;
    bool taken;
};

class ChunkedReplyTest : public ExchangesTest,
                         public ::testing::WithParamInterface<ArrivedReply> {};

TEST_P(ChunkedReplyTest, IsTakenOnlyWhenItsChunksCameInTurn) {
    const ArrivedReply& c = GetParam();
    SetType(2);
    const std::vector<Bytes> reply = ChunkReply(kFlagCarriedOut, 2);
    std::vector<Bytes> arrived;
    for (const int index : c.order) {
        arrived.push_back(reply.at(static_cast<std::size_t>(index)));
    }
    AddChunkClock(kClockA, arrived);
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), c.taken ? 1 : 255);
    // Taken: the clock's whole record; otherwise nothing of it is left in the frame.
    SettingsFrame expected{};
    if (c.taken) {
        const Bytes whole = FullReply(kFlagCarriedOut, 2);
        std::copy(whole.begin(), whole.end(), expected.begin());
        std::copy(kMagic.begin(), kMagic.end(), expected.begin());
    }
    EXPECT_EQ(state.settingsFrame, expected);
    EXPECT_EQ(state.chunks.ReassemblyCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, ChunkedReplyTest,
    ::testing::Values(ArrivedReply{"InTurn", {0, 1, 2, 3, 4, 5, 6, 7}, true},
                      ArrivedReply{"ImmediateCopies", {0, 0, 1, 2, 3, 3, 4, 5, 6, 7, 7}, true},
                      ArrivedReply{"LateCopiesAfterTheLast", {0, 1, 2, 3, 4, 5, 6, 7, 2, 7}, true},
                      ArrivedReply{"ChunkLost", {0, 1, 3, 4, 5, 6, 7}, false},
                      ArrivedReply{"LastChunkLost", {0, 1, 2, 3, 4, 5, 6}, false},
                      ArrivedReply{"FirstChunkLost", {1, 2, 3, 4, 5, 6, 7}, false},
                      ArrivedReply{"Reordered", {0, 2, 1, 3, 4, 5, 6, 7}, false},
                      ArrivedReply{"EarlierCopyAfterOthers", {0, 1, 2, 1, 3, 4, 5, 6, 7}, false},
                      // A chunk 1 starts the reply anew.
                      ArrivedReply{"BrokenThenWholeAgain", {0, 2, 0, 1, 2, 3, 4, 5, 6, 7}, true},
                      ArrivedReply{"FirstChunkAgain", {0, 1, 2, 0, 1, 2, 3, 4, 5, 6, 7}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExchangesTest, ChunkedBroadcastCountsClocksNotChunks) {
    SetType(3);
    state.LocalAddressList = {kPc};
    net.echoBroadcastsFrom(kPc);
    AddChunkClock(kClockA, ChunkReply(kFlagCarriedOut, 3));
    auto twoChunks = ChunkReply(kFlagCarriedOut, 3);
    twoChunks.push_back(twoChunks.front());
    AddChunkClock(kClockB, twoChunks);
    AddChunkClock(kClockC, {Bytes(kChunkSize - 1, 1), Bytes(kChunkSize + 1, 1)});
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kSubnetBroadcast), 2);
    EXPECT_EQ(exchanges.lastAcknowledgers(), (std::vector<Ipv4>{kClockA, kClockB}));
    EXPECT_EQ(state.settingsFrame, SettingsFrame{});  // broadcast replies are not kept
}

TEST_F(ExchangesTest, ChunkedBroadcastWritePausesAfterEverySend) {
    SetType(40);
    exchanges.ExchangeChunkedFrame(platform::kLimitedBroadcast);
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 8u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].timeMs, 100u * i);
        EXPECT_TRUE(sent[i].broadcast);
    }
}

TEST_F(ExchangesTest, FailedChunkSendsAreSkippedNotRepeated) {
    SetType(2);
    net.failSends(3);
    exchanges.ExchangeChunkedFrame(kClockA);
    const auto sent = net.sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent.front().bytes[kChunkNumberOffset], 4);
    EXPECT_EQ(sent.back().bytes[kChunkNumberOffset], 8);
}

TEST_F(ExchangesTest, SixteenFailedSendsGiveUp) {
    SetType(2);
    net.failSends(FakeNetwork::kAlways);
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 255);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kSendsFailed);
    EXPECT_FALSE(exchanges.lastFailureText().empty());
    EXPECT_EQ(nonces.drawn, 16);
    EXPECT_EQ(state.chunks.ChunkCounter, 0);  // the next write starts at chunk 1
    EXPECT_EQ(net.now(), 0u);
    EXPECT_EQ(net.openSocketCount(), 0);

    net.failSends(0);
    exchanges.ExchangeChunkedFrame(kClockA);
    EXPECT_EQ(net.sent().at(0).bytes[kChunkNumberOffset], 1);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kNone);
}

// --- ExchangeCommandFrame ---

TEST_F(ExchangesTest, CommandTwoSendsTheCallersFrameSealed) {
    CommandFrame& frame = state.commandFrame;
    for (std::size_t i = 0; i < kCommandFrameSize; ++i) {
        frame[i] = static_cast<std::uint8_t>(i + 100);
    }
    frame[kChecksumOffset] = 0;
    const CommandFrame before = frame;
    exchanges.ExchangeCommandFrame(2, kClockA);
    const Bytes bytes = net.sent().at(0).bytes;
    ASSERT_EQ(bytes.size(), kCommandFrameSize);
    EXPECT_EQ(bytes[0], 0x51);
    EXPECT_EQ(bytes[1], 0x5A);
    EXPECT_EQ(bytes[kRequestMarkerOffset], 1);
    EXPECT_EQ(bytes[kCommandCodeOffset], 2);
    for (std::size_t i = 2; i < kChecksumOffset; ++i) {
        if (i != kRequestMarkerOffset && i != kCommandCodeOffset) {
            EXPECT_EQ(bytes[i], before[i]) << i;
        }
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < kChecksumOffset; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ bytes[i]);
    }
    EXPECT_EQ(bytes[kChecksumOffset], sum);
    EXPECT_EQ(net.sent().at(0).to, (platform::Endpoint{kClockA, kCommandPort}));
}

TEST_F(ExchangesTest, CommandOneClearsTheFrameAndKeepsAPresetChecksumOfCommandTwo) {
    state.commandFrame.fill(0xAB);
    exchanges.ExchangeCommandFrame(1, kClockA);
    Bytes bytes = net.sent().at(0).bytes;
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(bytes[kChecksumOffset], 0x51 ^ 0x5A ^ 0x01 ^ 0x01);

    state.commandFrame.fill(0);
    state.commandFrame[kChecksumOffset] = 0x99;
    exchanges.ExchangeCommandFrame(2, kClockA);
    EXPECT_EQ(net.sent().at(1).bytes[kChecksumOffset], 0x99);
}

TEST_F(ExchangesTest, CommandUnicastTakesTheFirstValidReplyAndEndsAtOnce) {
    Bytes wrongChecksum = CommandReply(1, 0x01);
    net.addPeer(kClockA, [&](const SentDatagram& request, FakeNetwork& n) {
        n.reply(request, kClockA, CommandReply(2), 10ms);  // marker 2: dropped
        n.reply(request, kClockA, wrongChecksum, 20ms);    // checksum differs: dropped
        n.reply(request, kClockA, Bytes(kCommandFrameSize + 1, 1), 30ms);
        n.reply(request, kClockA, CommandReply(1), 40ms);  // taken
        n.reply(request, kClockA, CommandReply(1), 50ms);
    });
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, kClockA), 1);
    EXPECT_EQ(net.now(), 40u);
    EXPECT_EQ(state.commandFrame[kEarlySerialNumberOffset], 'E');
    EXPECT_EQ(state.commandFrame[kChecksumOffset], 1 ^ 1 ^ 'E');  // filled in
}

TEST_F(ExchangesTest, CommandUnicastWithOnlyWrongMarkersGivesMinusOne) {
    AddClock(kClockA, {CommandReply(2), CommandReply(0)});
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, kClockA), -1);
    EXPECT_EQ(net.now(), 20u + 100u);
}

TEST_F(ExchangesTest, CommandBroadcastCountsClocksWithAValidReplyToTheCommand) {
    AddClock(kClockA, {CommandReply(1, 0, 2), CommandReply(1, 0, 2)});  // counted once
    AddClock(kClockB, {CommandReply(1, 1 ^ 2 ^ 'E', 2)});
    AddClock(kClockC, {CommandReply(2, 0, 2), CommandReply(1, 0, 1)});  // marker 2; a read reply
    EXPECT_EQ(exchanges.ExchangeCommandFrame(2, kSubnetBroadcast), 2);
    EXPECT_EQ(net.now(), 10u + 1000u);
    EXPECT_EQ(net.sent().at(0).timeMs, 0u);
}

// A batch on a PC with two adapters goes out once on each, or on the named one alone, and
// counts the clocks of both segments.
TEST_F(ExchangesTest, BroadcastLeavesByEveryInterfaceOrTheNamedOnes) {
    const Ipv4 mask = MakeIpv4(255, 255, 255, 0);
    net.setInterfaces({{"lo", 1, MakeIpv4(127, 0, 0, 1), MakeIpv4(255, 0, 0, 0), 0, true},
                       {"office", 2, kPc, mask, MakeIpv4(192, 168, 1, 255), false},
                       {"clocks", 3, MakeIpv4(10, 1, 1, 2), mask, MakeIpv4(10, 1, 1, 255), false}});
    for (const auto& [address, segment] : {std::pair{kClockA, 2u}, std::pair{kClockB, 3u}}) {
        const Ipv4 clock = address;
        net.addPeer(
            clock,
            [clock](const SentDatagram& request, FakeNetwork& n) {
                n.reply(request, clock, CommandReply(1, 0, 2), 10ms);
            },
            segment);
    }
    EXPECT_EQ(exchanges.ExchangeCommandFrame(2, kSubnetBroadcast), 2);
    exchanges.setBroadcastInterfaces({"clocks"});
    EXPECT_EQ(exchanges.ExchangeCommandFrame(2, kSubnetBroadcast), 1);
    std::vector<std::uint32_t> outOf;
    for (const SentDatagram& sent : net.sent()) {
        outOf.push_back(sent.interfaceIndex);
    }
    EXPECT_EQ(outOf, (std::vector<std::uint32_t>{2, 3, 3}));
}

// --- Socket failures ---

TEST_F(ExchangesTest, BindFailureEndsAtOnceAndSaysWhy) {
    auto holder = net.openUdp();
    ASSERT_TRUE(holder->bind(platform::kAnyAddress, kChunkPort));
    SetType(1);
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 255);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kPortInUse);
    EXPECT_FALSE(exchanges.lastFailureText().empty());
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, platform::kLimitedBroadcast), -1);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kPortInUse);
    EXPECT_EQ(net.now(), 0u);
    EXPECT_TRUE(net.sent().empty());

    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 255);  // 6866 is free
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kNone);

    net.failBind("Permission denied", platform::SocketError::kAccessDenied);
    EXPECT_EQ(exchanges.ExchangeFullFrame(platform::kLimitedBroadcast), 255);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kBindFailed);
    EXPECT_EQ(exchanges.lastFailureText(), "Permission denied");
}

TEST_F(ExchangesTest, NoSocketMeansNoAnswer) {
    net.failOpenUdp(true);
    SetType(1);
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 255);
    EXPECT_EQ(exchanges.lastFailure(), ExchangeFailure::kNoSocket);
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, kClockA), -1);
    EXPECT_FALSE(StartSockets(net));
    net.failOpenUdp(false);
    EXPECT_TRUE(StartSockets(net));
    EXPECT_EQ(net.openSocketCount(), 0);
}

TEST_F(ExchangesTest, FailedWaitEndsTheCollection) {
    SetType(1);
    AddClock(kClockA, {FullReply(kFlagCarriedOut)});
    net.failWaits(1);
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 255);
    EXPECT_EQ(net.now(), 0u);
}

TEST_F(ExchangesTest, FailedReceiveIsDroppedAndTheNextReplyStillCounts) {
    // The first datagram is lost between the wait and the receive; the clock's second
    // datagram, 10 ms later, is still taken, and the line then stays quiet for the time-out.
    SetType(1);
    AddClock(kClockA, {FullReply(0), FullReply(kFlagCarriedOut)});
    net.failReceives(1);
    EXPECT_EQ(exchanges.ExchangeFullFrame(kClockA), 1);
    EXPECT_EQ(net.now(), 20u);

    AddClock(kClockC, {CommandReply(1), CommandReply(1)});
    net.failReceives(1);
    EXPECT_EQ(exchanges.ExchangeCommandFrame(1, kClockC), 1);
    EXPECT_EQ(net.now(), 20u + 20u);
}

TEST_F(ExchangesTest, AChattyLineCannotHoldAnExchangeForever) {
    SetType(1);
    net.addPeer(kClockA, [](const SentDatagram& request, FakeNetwork& n) {
        for (int i = 1; i <= 200; ++i) {
            n.reply(request, kClockA, Bytes{1, 2, static_cast<std::uint8_t>(i)}, 400ms * i);
        }
    });
    EXPECT_EQ(exchanges.ExchangeChunkedFrame(kClockA), 255);
    EXPECT_GE(net.now(), 30000u);
    EXPECT_LE(net.now(), 30400u);
}

// --- What an exchange waits for, and from whom ---

// A clock's reply frame: flags, type and serial number as given.
Bytes ReplyFrame(std::uint8_t flags, std::uint8_t type, std::string_view serial = "SN0010") {
    Bytes frame = FullReply(flags, type);
    std::copy(serial.begin(), serial.end(), frame.begin() + kSerialNumberOffset);
    return frame;
}

// The chunks a wired clock sends for `frame`: eight (a read reply) or one (an
// acknowledgement: the frame's first 99 bytes).
std::vector<Bytes> Chunked(const Bytes& frame, bool eight) {
    testing::ScriptedNonces nonces({0x2A11});
    std::vector<Bytes> chunks;
    const std::uint8_t count = eight ? kChunksPerFrame : 1;
    for (std::uint8_t number = 1; number <= count; ++number) {
        FrameChunk chunk{};
        const std::size_t length = !eight                     ? kOneChunkLength
                                   : number < kChunksPerFrame ? kFullChunkLength
                                                              : kLastChunkLength;
        chunk[kChunkNumberOffset] = number;
        chunk[kChunkLengthOffset] = static_cast<std::uint8_t>(length);
        ScrambleChunk(
            chunk,
            std::span<const std::uint8_t>(frame).subspan(kFullChunkLength * (number - 1u), length),
            nonces);
        chunks.emplace_back(chunk.begin(), chunk.end());
    }
    return chunks;
}

// Whether a request is one a clock answers: every datagram but chunks 1 to 7 of eight.
bool Answerable(const SentDatagram& request) {
    return request.bytes.size() != kChunkSize ||
           request.bytes[kChunkLengthOffset] != kFullChunkLength;
}

// A clock that repeats its reply a thousand times a second: the exchange ends once the
// awaited reply is whole, or (when it never comes) once the clock has sent nothing new for
// the time-out; repeats keep nobody waiting.
TEST_F(ExchangesTest, RepeatsNeitherHoldNorStretchAnExchange) {
    const struct {
        const char* name;
        std::uint8_t type;
        bool chunked;
        std::vector<Bytes> repeated;
        int result;
        std::uint64_t endsMs;
    } cases[] = {
        {"wired read", 1, true, Chunked(ReplyFrame(kFlagCarriedOut, 1), true), 1, 8},
        {"wired write", 2, true, Chunked(ReplyFrame(kFlagCarriedOut, 2), false), 1, 1},
        {"wired write, only an old read reply", 2, true,
         Chunked(ReplyFrame(kFlagCarriedOut, 1), true), 255, 8 + 500},
        {"Wi-Fi read", 1, false, {ReplyFrame(kFlagCarriedOut, 1)}, 1, 1},
        {"Wi-Fi write, no acknowledgement", 40, false, {ReplyFrame(0, 40)}, 255, 1 + 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pc fresh(c.type);
        const std::vector<Bytes> repeated = c.repeated;
        fresh.network.addPeer(kClockA, [repeated](const SentDatagram& request, FakeNetwork& n) {
            for (int i = 0; Answerable(request) && i < 5000; ++i) {
                n.reply(request, kClockA, repeated[i % repeated.size()], 1ms * (i + 1));
            }
        });
        const int result = c.chunked ? fresh.exchanges.ExchangeChunkedFrame(kClockA)
                                     : fresh.exchanges.ExchangeFullFrame(kClockA);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(fresh.network.now(), c.endsMs);
    }
}

// The clock's answer to this write comes while the rest of its earlier read reply is still
// arriving: its chunk 1 starts a new reply, which is taken.
TEST_F(ExchangesTest, AnAcknowledgementOvertakesTheRestOfAnEarlierReply) {
    const std::vector<Bytes> readReply = Chunked(ReplyFrame(kFlagCarriedOut, 1), true);
    const Bytes ack = Chunked(ReplyFrame(kFlagCarriedOut, 2), false).front();
    for (const std::size_t before : {std::size_t{1}, std::size_t{5}}) {
        SCOPED_TRACE(before);
        std::vector<Bytes> arriving(readReply.begin(),
                                    readReply.begin() + static_cast<std::ptrdiff_t>(before));
        arriving.push_back(ack);
        Pc fresh(2);
        fresh.network.addPeer(kClockA, [arriving](const SentDatagram& request, FakeNetwork& n) {
            for (std::size_t i = 0; Answerable(request) && i < arriving.size(); ++i) {
                n.reply(request, kClockA, arriving[i], 1ms * static_cast<int>(i + 1));
            }
        });
        EXPECT_EQ(fresh.exchanges.ExchangeChunkedFrame(kClockA), 1);
        EXPECT_EQ(fresh.state.settingsFrame[kFrameTypeOffset], 2);
    }
}

// A write that moves the clock: its acknowledgement counts from the target, from the new
// address, or (a switch to dynamic IP) from a sender whose reply carries the clock's serial
// number; from nobody else.
TEST_F(ExchangesTest, AMovedClockIsHeardAtItsNewPlaceOnly) {
    const Ipv4 kNew = MakeIpv4(198, 18, 0, 40);
    const Ipv4 kElsewhere = MakeIpv4(198, 18, 0, 77);
    const MovedClock toNew{kNew, {}};
    const MovedClock toDynamic{std::nullopt, "SN0010"};
    const struct {
        const char* name;
        MovedClock moved;
        Ipv4 from;
        const char* serial;  // the reply's serial number
        bool heard;
    } cases[] = {
        {"from the target", toNew, kClockA, "XN0010", true},
        {"from the new address", toNew, kNew, "XN0010", true},
        {"from the new address, not moved", {}, kNew, "SN0010", false},
        {"from elsewhere with the serial number", toDynamic, kElsewhere, "SN0010", true},
        {"from elsewhere with another serial number", toDynamic, kElsewhere, "SN00100", false},
        {"from elsewhere, static address", toNew, kElsewhere, "SN0010", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes command = CommandReply(1, 0, 2);
        std::copy(c.serial, c.serial + std::strlen(c.serial),
                  command.begin() + kEarlySerialNumberOffset);
        const Bytes frame = ReplyFrame(kFlagCarriedOut, 2, c.serial);
        const struct {
            const char* exchange;
            Bytes reply;
            std::function<int(ClockExchanges&)> run;
            int heard;
        } kinds[] = {
            {"full", frame,
             [&](ClockExchanges& e) { return e.ExchangeFullFrame(kClockA, c.moved); }, 1},
            {"chunked", Chunked(frame, false).front(),
             [&](ClockExchanges& e) { return e.ExchangeChunkedFrame(kClockA, c.moved); }, 1},
            {"command", command,
             [&](ClockExchanges& e) { return e.ExchangeCommandFrame(2, kClockA, c.moved); }, 1},
        };
        for (const auto& kind : kinds) {
            SCOPED_TRACE(kind.exchange);
            Pc fresh(2);
            const Bytes reply = kind.reply;
            const Ipv4 from = c.from;
            fresh.network.addPeer(kClockA,
                                  [reply, from](const SentDatagram& request, FakeNetwork& n) {
                                      if (Answerable(request)) {
                                          n.reply(request, from, reply, 5ms);
                                      }
                                  });
            EXPECT_EQ(kind.run(fresh.exchanges) == kind.heard, c.heard);
        }
    }
}

// Strangers of the right size, a clock without acknowledgement and a clock answering twice:
// a batch counts each clock that acknowledged once, and only such a clock starts its wait
// again.
TEST_F(ExchangesTest, ABatchCountsEachAcknowledgingClockOnceAndStrangersKeepNobodyWaiting) {
    const Ipv4 kStranger = MakeIpv4(198, 18, 0, 99);
    const struct {
        const char* name;
        std::uint8_t type;
        std::function<int(ClockExchanges&)> run;
        Bytes ack;
        Bytes noAck;
        std::uint64_t endsMs;  // sends and pauses, then the wait after the last new clock
    } cases[] = {
        {"chunked", 2,
         [](ClockExchanges& e) { return e.ExchangeChunkedFrame(platform::kLimitedBroadcast); },
         Chunked(ReplyFrame(kFlagCarriedOut, 2), false).front(),
         Chunked(ReplyFrame(0, 2), false).front(), 800 + 2000},
        {"full", 40,
         [](ClockExchanges& e) { return e.ExchangeFullFrame(platform::kLimitedBroadcast); },
         ReplyFrame(kFlagCarriedOut, 40), ReplyFrame(0, 40), 100 + 2000},
        {"command", 0,
         [](ClockExchanges& e) { return e.ExchangeCommandFrame(2, platform::kLimitedBroadcast); },
         CommandReply(1, 0, 2), CommandReply(0, 0, 2), 10 + 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pc fresh(c.type);
        bool answered = false;
        fresh.network.onSend([&](const SentDatagram& request, FakeNetwork& n) {
            if (std::exchange(answered, true)) {
                return;  // every clock answers the first datagram of the request
            }
            n.reply(request, kClockA, c.ack, 5ms);
            n.reply(request, kClockB, c.ack, 10ms);
            n.reply(request, kClockC, c.noAck, 20ms);
            n.reply(request, kClockA, c.ack, 1500ms);  // the same clock again
            for (int second = 1; second <= 10; ++second) {
                n.reply(request, kStranger, Bytes(c.ack.size(), 0), 1000ms * second);
            }
        });
        EXPECT_EQ(c.run(fresh.exchanges), 2);
        EXPECT_EQ(fresh.exchanges.lastAcknowledgers(), (std::vector<Ipv4>{kClockA, kClockB}));
        EXPECT_EQ(fresh.network.now(), c.endsMs);
    }
}

}  // namespace
}  // namespace tavlo::protocol
