// The clock side of the protocol, driven by the PC side's own chunk builder and reassembly,
// so that every reply is checked the way the tool will read it.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Ipv4.h"
#include "protocol/Chunks.h"
#include "protocol/CommandFrames.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/ClockPortService.h"
#include "tools/clocksim/RequestLog.h"
#include "tools/clocksim/SimContext.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using platform::MakeIpv4;
using protocol::FrameChunk;
using protocol::ProtocolState;
using protocol::SettingsFrame;

class CountingNonces final : public protocol::NonceSource {
  public:
    std::uint32_t nextNonce() override { return next_++; }

  private:
    std::uint32_t next_ = 0x0101;
};

const platform::Endpoint kPc{MakeIpv4(198, 18, 0, 1), protocol::kChunkPort};

// The chunks the PC sends for the frame in `pc`.
std::vector<Datagram> PcChunks(ProtocolState& pc, protocol::NonceSource& nonces) {
    std::vector<Datagram> chunks;
    for (;;) {
        FrameChunk chunk{};
        const std::uint8_t left = protocol::BuildNextChunk(pc, chunk, nonces);
        chunks.emplace_back(chunk.begin(), chunk.end());
        if (left == 0) {
            return chunks;
        }
    }
}

// Reassembles reply chunks as the PC does; returns the frame.
SettingsFrame PcAccept(const std::vector<Datagram>& replies) {
    ProtocolState pc;
    for (const auto& reply : replies) {
        FrameChunk chunk{};
        EXPECT_EQ(reply.size(), chunk.size());
        std::copy_n(reply.begin(), std::min(reply.size(), chunk.size()), chunk.begin());
        protocol::AcceptChunk(pc, chunk);
    }
    return pc.settingsFrame;
}

class ClockLogicTest : public ::testing::Test {
  protected:
    SettingsFrame Request(std::uint8_t type) {
        SettingsFrame frame{};
        frame[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
        frame[protocol::kFrameTypeOffset] = type;
        return frame;
    }

    // Sends a frame to the wired clock as the PC does and returns the last answer.
    Answer SendChunked(const SettingsFrame& frame) {
        ProtocolState pc;
        pc.settingsFrame = frame;
        Answer last;
        for (const auto& chunk : PcChunks(pc, pcNonces)) {
            last = responder.OnChunk(wired, kPc, chunk, 0);
        }
        return last;
    }

    CountingNonces clockNonces;
    CountingNonces pcNonces;
    ClockResponder responder{clockNonces};
    SimClock wired = MakeDefaultClock(ClockKind::kWired, MakeIpv4(198, 18, 0, 10));
    SimClock wifi = MakeDefaultClock(ClockKind::kWifi, MakeIpv4(198, 18, 0, 20));
    SimClock early = MakeDefaultClock(ClockKind::kEarly, MakeIpv4(198, 18, 0, 30));
};

TEST_F(ClockLogicTest, WiredProbeIsAnsweredWithOneAnnouncementChunk) {
    Answer answer = SendChunked(Request(3));
    EXPECT_EQ(answer.request, RequestKind::kProbe);
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0][protocol::kChunkNumberOffset], 1);
    EXPECT_EQ(answer.replies[0][protocol::kChunkLengthOffset], protocol::kOneChunkLength);
    const SettingsFrame frame = PcAccept(answer.replies);
    const settings::ConstClockSettings reply(frame);
    EXPECT_EQ(reply.frameType(), 3);
    EXPECT_TRUE(reply.requestBit());
    EXPECT_EQ(reply.serialNumber(), "SN0010");
    EXPECT_EQ(std::string(frame.begin(), frame.begin() + 2), "QZ");
}

TEST_F(ClockLogicTest, WiredReadComesBackAsEightChunksWithTheWholeRecord) {
    Answer answer = SendChunked(Request(1));
    EXPECT_EQ(answer.request, RequestKind::kRead);
    ASSERT_EQ(answer.replies.size(), 8u);
    std::vector<std::uint32_t> nonces;
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(answer.replies[i][protocol::kChunkNumberOffset], i + 1);
        EXPECT_EQ(answer.replies[i][protocol::kChunkLengthOffset], i < 7 ? 100 : 72);
        EXPECT_NE(answer.replies[i][protocol::kChunkNonceOffset], 0) << "empty nonce text";
        nonces.push_back(answer.replies[i][protocol::kChunkNonceOffset] |
                         answer.replies[i][protocol::kChunkNonceOffset + 1] << 8);
    }
    std::sort(nonces.begin(), nonces.end());
    EXPECT_EQ(std::adjacent_find(nonces.begin(), nonces.end()), nonces.end()) << "own nonces";
    const SettingsFrame frame = PcAccept(answer.replies);
    SettingsFrame expected = wired.record;
    expected[0] = 'Q';
    expected[1] = 'Z';
    expected[protocol::kFlagsOffset] |= protocol::kFlagCarriedOut;
    expected[protocol::kFrameTypeOffset] = 1;
    EXPECT_EQ(frame, expected);
    const settings::ConstClockSettings reply(frame);
    EXPECT_EQ(reply.userPassword(), "omber");
    EXPECT_EQ(reply.globalPassword(), "tarnfelk");
    EXPECT_EQ(reply.version(), 329);
    EXPECT_EQ(reply.ipAddress(), wired.address);
    EXPECT_FLOAT_EQ(reply.temperature(), 21.5F);
}

TEST_F(ClockLogicTest, WiredWriteIsReassembledAppliedAndAcknowledgedInOneChunk) {
    SettingsFrame request = Request(2);
    const settings::ClockSettings write(request);
    write.setSerialNumber("OTHER");
    write.setIpAddress(MakeIpv4(198, 18, 0, 99));
    write.setDisplayText("HELLO");
    write.setTimeZone({-9, 30});
    write.setUserPassword("omber");
    write.setGlobalPassword("tarnfelk");
    write.setBrightness(4);

    ProtocolState pc;
    pc.settingsFrame = request;
    auto chunks = PcChunks(pc, pcNonces);
    ASSERT_EQ(chunks.size(), 8u);
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i) {
        Answer part = responder.OnChunk(wired, kPc, chunks[i], 0);
        EXPECT_EQ(part.request, RequestKind::kChunkPart);
        EXPECT_TRUE(part.replies.empty());
    }
    EXPECT_EQ(responder.PendingAssemblies(), 1u);
    Answer answer = responder.OnChunk(wired, kPc, chunks.back(), 0);
    EXPECT_EQ(answer.request, RequestKind::kWriteBasic);
    EXPECT_EQ(responder.PendingAssemblies(), 0u);
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0][protocol::kChunkLengthOffset], protocol::kOneChunkLength);
    const SettingsFrame ackFrame = PcAccept(answer.replies);
    const settings::ConstClockSettings ack(ackFrame);
    EXPECT_EQ(ack.frameType(), 2);
    EXPECT_TRUE(ack.requestBit());

    const settings::ConstClockSettings record(wired.record);
    EXPECT_EQ(record.displayText(), "HELLO");
    EXPECT_EQ(record.timeZoneBytes(), (settings::TimeZoneBytes{0x89, 30}));
    EXPECT_EQ(record.ipAddress(), MakeIpv4(198, 18, 0, 99));
    EXPECT_EQ(record.brightness(), 4);
    EXPECT_EQ(record.serialNumber(), "SN0010") << "the serial number is the clock's own";
    EXPECT_EQ(record.version(), 329);
    EXPECT_FLOAT_EQ(record.humidity(), 45.0F) << "readings are live, not written";
    EXPECT_FALSE(record.requestBit());
}

TEST_F(ClockLogicTest, BatchWriteKeepsEachClocksOwnAddress) {
    SettingsFrame request = Request(2);
    const settings::ClockSettings write(request);
    write.setBatchBit(true);
    write.setIpAddress(MakeIpv4(198, 18, 0, 99));
    write.setGateway(MakeIpv4(198, 18, 0, 254));
    write.setDnsServer(MakeIpv4(198, 18, 0, 53));
    EXPECT_EQ(SendChunked(request).request, RequestKind::kWriteBasic);
    const settings::ConstClockSettings record(wired.record);
    EXPECT_EQ(record.ipAddress(), wired.address);
    EXPECT_EQ(record.gateway(), MakeIpv4(198, 18, 0, 1));
    EXPECT_EQ(record.dnsServer(), MakeIpv4(198, 18, 0, 53));
    EXPECT_FALSE(record.batchBit());
}

TEST_F(ClockLogicTest, WifiWriteOverWiredChunksReplacesTheAssociation) {
    SettingsFrame request = Request(40);
    const wifi::WifiSettings write(request);
    write.setSsid("Floor2");
    write.setCipherCode(2);
    write.setAuthenticationCode(3);
    write.setPassword("pass1234");
    EXPECT_EQ(SendChunked(request).request, RequestKind::kWriteWifi);
    const wifi::ConstWifiSettings record(wired.record);
    EXPECT_EQ(record.ssid(), "Floor2");
    EXPECT_EQ(record.ssidLength(), 6);
    EXPECT_EQ(record.cipherCode(), 2);
    EXPECT_EQ(record.authenticationCode(), 3);
    EXPECT_EQ(record.password(), "pass1234");
}

TEST_F(ClockLogicTest, RepeatedChunkInTheMiddleStillCompletesTheWrite) {
    ProtocolState pc;
    pc.settingsFrame = Request(2);
    auto chunks = PcChunks(pc, pcNonces);
    chunks.insert(chunks.begin() + 3, chunks[2]);
    Answer last;
    for (const auto& chunk : chunks) {
        last = responder.OnChunk(wired, kPc, chunk, 0);
    }
    EXPECT_EQ(last.request, RequestKind::kWriteBasic);
}

TEST_F(ClockLogicTest, HalfWriteFromOneSenderDoesNotMixWithAnother) {
    ProtocolState pc;
    pc.settingsFrame = Request(2);
    auto chunks = PcChunks(pc, pcNonces);
    const platform::Endpoint other{MakeIpv4(198, 18, 0, 2), protocol::kChunkPort};
    for (std::size_t i = 0; i < 4; ++i) {
        responder.OnChunk(wired, kPc, chunks[i], 0);
    }
    for (std::size_t i = 4; i < 8; ++i) {
        EXPECT_EQ(responder.OnChunk(wired, other, chunks[i], 0).request, RequestKind::kChunkPart);
    }
    EXPECT_EQ(responder.PendingAssemblies(), 2u);
    // Parts older than the time-out are forgotten when the next part comes.
    responder.OnChunk(wired, kPc, chunks[0], ClockResponder::kAssemblyTimeoutMs * 2);
    EXPECT_EQ(responder.PendingAssemblies(), 1u);
}

TEST_F(ClockLogicTest, MalformedChunksAreDroppedWithoutAnswer) {
    ProtocolState pc;
    pc.settingsFrame = Request(1);
    const Datagram good = PcChunks(pc, pcNonces).front();
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"chunk number 0", protocol::kChunkNumberOffset, 0},
        {"chunk number 9", protocol::kChunkNumberOffset, 9},
        {"length 255", protocol::kChunkLengthOffset, 255},
        {"length 101", protocol::kChunkLengthOffset, 101},
        {"length 0", protocol::kChunkLengthOffset, 0},
        {"length 72 for chunk 1", protocol::kChunkLengthOffset, 72},
        {"empty nonce text", protocol::kChunkNonceOffset, 0},
    };
    for (const auto& c : cases) {
        Datagram bad = good;
        bad[c.offset] = c.value;
        Answer answer = responder.OnChunk(wired, kPc, bad, 0);
        EXPECT_EQ(answer.request, RequestKind::kIgnored) << c.what;
        EXPECT_TRUE(answer.replies.empty()) << c.what;
        EXPECT_FALSE(answer.note.empty()) << c.what;
    }
    Datagram eighth = good;
    eighth[protocol::kChunkNumberOffset] = 8;
    eighth[protocol::kChunkLengthOffset] = 100;  // would run past the frame's end
    EXPECT_EQ(responder.OnChunk(wired, kPc, eighth, 0).request, RequestKind::kIgnored);
    EXPECT_EQ(responder.OnChunk(wired, kPc, Datagram(105, 1), 0).request, RequestKind::kIgnored);
}

TEST_F(ClockLogicTest, UnknownTypesAreNotAnswered) {
    for (std::uint8_t type : {0, 4, 9, 50, 70}) {
        Answer answer = SendChunked(Request(type));
        EXPECT_TRUE(answer.replies.empty()) << int{type};
    }
    SettingsFrame frame = Request(4);
    EXPECT_TRUE(responder.OnFullFrame(wifi, frame).replies.empty());
}

TEST_F(ClockLogicTest, WifiClockAnswersWholeFrames) {
    SettingsFrame probe{};
    probe[protocol::kFrameTypeOffset] = 3;  // flag bit 0 stays clear in a Wi-Fi probe
    Answer answer = responder.OnFullFrame(wifi, probe);
    EXPECT_EQ(answer.request, RequestKind::kProbe);
    ASSERT_EQ(answer.replies.size(), 1u);
    ASSERT_EQ(answer.replies[0].size(), protocol::kSettingsFrameSize);
    SettingsFrame reply{};
    std::copy(answer.replies[0].begin(), answer.replies[0].end(), reply.begin());
    EXPECT_EQ(settings::ConstClockSettings(reply).frameType(), 3);
    EXPECT_TRUE(settings::ConstClockSettings(reply).requestBit());
    EXPECT_EQ(settings::ConstClockSettings(reply).serialNumber(), "SN0020");
    EXPECT_EQ(wifi::ConstWifiSettings(reply).ssid(), "ClockNet");

    SettingsFrame write = Request(40);
    wifi::WifiSettings(write).setSsid("Other");
    answer = responder.OnFullFrame(wifi, write);
    EXPECT_EQ(answer.request, RequestKind::kWriteWifi);
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0][protocol::kFrameTypeOffset], 40);
    EXPECT_EQ(wifi::ConstWifiSettings(wifi.record).ssid(), "Other");
}

TEST_F(ClockLogicTest, EarlyClockAnswersProbeReadAndWrite) {
    protocol::CommandFrame probe{};
    protocol::SealCommandFrame(probe, 1, protocol::RequestMarker::kLeave);
    Answer answer = responder.OnCommandFrame(early, probe);
    EXPECT_EQ(answer.request, RequestKind::kProbe);
    ASSERT_EQ(answer.replies.size(), 1u);
    protocol::CommandFrame reply{};
    ASSERT_EQ(answer.replies[0].size(), reply.size());
    std::copy(answer.replies[0].begin(), answer.replies[0].end(), reply.begin());
    EXPECT_EQ(reply[protocol::kRequestMarkerOffset], 1);
    EXPECT_EQ(reply[protocol::kCommandCodeOffset], 1);
    EXPECT_TRUE(protocol::CheckCommandFrame(reply));
    EXPECT_EQ(settings::ConstEarlyClockSettings(reply).serialNumber(), "SN0030");

    protocol::CommandFrame write{};
    const settings::EarlyClockSettings fields(write);
    fields.setDynamicIp(true);
    fields.setBrightness(4);
    fields.setGateway(MakeIpv4(198, 18, 0, 254));
    fields.setTimeServerAddress(4, MakeIpv4(198, 18, 0, 5));
    fields.setTimeServerCount(1);
    protocol::SealCommandFrame(write, 2, protocol::RequestMarker::kSet);
    answer = responder.OnCommandFrame(early, write);
    EXPECT_EQ(answer.request, RequestKind::kWriteEarly);
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0][protocol::kCommandCodeOffset], 2);
    const settings::ConstEarlyClockSettings record(early.earlyRecord);
    EXPECT_EQ(record.brightness(), 4);
    EXPECT_TRUE(record.dynamicIp());
    EXPECT_EQ(record.ipAddress(), early.address) << "dynamic IP keeps the address";
    EXPECT_EQ(record.gateway(), MakeIpv4(198, 18, 0, 254));
    EXPECT_EQ(record.timeServerAddress(4), MakeIpv4(198, 18, 0, 5));
    EXPECT_EQ(record.serialNumber(), "SN0030");

    protocol::CommandFrame corrupt = write;
    corrupt[protocol::kChecksumOffset] ^= 0x01;
    EXPECT_TRUE(responder.OnCommandFrame(early, corrupt).replies.empty());
    protocol::CommandFrame unknown{};
    protocol::SealCommandFrame(unknown, 7, protocol::RequestMarker::kSet);
    EXPECT_TRUE(responder.OnCommandFrame(early, unknown).replies.empty());
}

TEST_F(ClockLogicTest, FaultsThatChangeTheClocksBehaviour) {
    wired.faults.ignoreFirst = 2;
    EXPECT_TRUE(SendChunked(Request(3)).replies.empty());
    EXPECT_TRUE(SendChunked(Request(3)).replies.empty());
    EXPECT_EQ(SendChunked(Request(3)).replies.size(), 1u);

    wired.faults = Faults{};
    wired.faults.noAck = true;
    const SettingsFrame unacknowledged = PcAccept(SendChunked(Request(1)).replies);
    const settings::ConstClockSettings reply(unacknowledged);
    EXPECT_FALSE(reply.requestBit());

    wired.faults = Faults{};
    wired.faults.silent = true;
    wired.faults.appliesTo = kWriteRequests;
    EXPECT_EQ(SendChunked(Request(3)).replies.size(), 1u) << "probes are not hit";
    SettingsFrame write = Request(2);
    settings::ClockSettings(write).setDisplayText("NEVER");
    Answer silent = SendChunked(write);
    EXPECT_TRUE(silent.replies.empty());
    EXPECT_EQ(silent.note, "silent");
    EXPECT_EQ(settings::ConstClockSettings(wired.record).displayText(), "WELCOME")
        << "a silent clock takes nothing";

    protocol::CommandFrame probe{};
    protocol::SealCommandFrame(probe, 1, protocol::RequestMarker::kLeave);
    early.faults.noAck = true;
    Answer answer = responder.OnCommandFrame(early, probe);
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0][protocol::kRequestMarkerOffset], 0);
}

// Whatever a network can send: random bytes of every size a clock takes, and chunks that are
// valid but for one random byte. No crash, no reply to anything not a request.
TEST_F(ClockLogicTest, RandomDatagramsNeverCrashTheClocks) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 3000; ++round) {
        for (std::size_t size : {protocol::kChunkSize, protocol::kSettingsFrameSize,
                                 protocol::kCommandFrameSize, std::size_t{0}, std::size_t{1}}) {
            Datagram noise(size);
            for (auto& b : noise) {
                b = static_cast<std::uint8_t>(byte(rng));
            }
            const platform::Endpoint from{static_cast<platform::Ipv4>(rng()), 6869};
            for (const Answer& answer :
                 {responder.OnChunk(wired, from, noise, round), responder.OnFullFrame(wifi, noise),
                  responder.OnCommandFrame(early, noise)}) {
                for (const auto& reply : answer.replies) {
                    EXPECT_TRUE(reply.size() == protocol::kChunkSize ||
                                reply.size() == protocol::kSettingsFrameSize ||
                                reply.size() == protocol::kCommandFrameSize);
                }
                if (answer.request == RequestKind::kIgnored ||
                    answer.request == RequestKind::kChunkPart) {
                    EXPECT_TRUE(answer.replies.empty());
                }
            }
        }
    }
    EXPECT_LE(responder.PendingAssemblies(), ClockResponder::kMaxAssemblies);

    ProtocolState pc;
    pc.settingsFrame = Request(2);
    const auto write = PcChunks(pc, pcNonces);
    std::uniform_int_distribution<std::size_t> position(0, protocol::kChunkSize - 1);
    for (int round = 0; round < 3000; ++round) {
        Datagram chunk = write[static_cast<std::size_t>(round) % write.size()];
        chunk[position(rng)] = static_cast<std::uint8_t>(byte(rng));
        const Answer answer = responder.OnChunk(wired, kPc, chunk, round);
        EXPECT_LE(answer.replies.size(), 1u);
    }
}

TEST(ClockDirectoryTest, OwnAddressesAndBroadcasts) {
    ClockDirectory clocks({MakeDefaultClock(ClockKind::kWired, MakeIpv4(198, 18, 0, 10))});
    clocks.SetLocal({MakeIpv4(198, 18, 0, 10), MakeIpv4(127, 0, 0, 1)},
                    {MakeIpv4(198, 18, 0, 255)});
    EXPECT_TRUE(clocks.IsOwnAddress(MakeIpv4(198, 18, 0, 10)));
    EXPECT_TRUE(clocks.IsOwnAddress(MakeIpv4(127, 0, 0, 1)));
    EXPECT_FALSE(clocks.IsOwnAddress(MakeIpv4(198, 18, 0, 1)));
    EXPECT_TRUE(clocks.IsBroadcast(MakeIpv4(255, 255, 255, 255)));
    EXPECT_TRUE(clocks.IsBroadcast(MakeIpv4(198, 18, 0, 255)));
    EXPECT_FALSE(clocks.IsBroadcast(MakeIpv4(198, 18, 0, 10)));
    EXPECT_NE(clocks.Find(MakeIpv4(198, 18, 0, 10)), nullptr);
    EXPECT_EQ(clocks.Find(MakeIpv4(198, 18, 0, 11)), nullptr);
}

TEST(KindsServedTest, PortAndSizeChooseTheClocks) {
    using K = std::vector<ClockKind>;
    EXPECT_EQ(KindsServed(6866, 772), (K{ClockKind::kWifi}));
    EXPECT_EQ(KindsServed(6866, 95), (K{ClockKind::kEarlyWifi}));
    EXPECT_EQ(KindsServed(6869, 106), (K{ClockKind::kWired}));
    EXPECT_EQ(KindsServed(6869, 95), (K{ClockKind::kEarly, ClockKind::kEarlyWifi}));
    EXPECT_TRUE(KindsServed(6869, 772).empty());
    EXPECT_TRUE(KindsServed(6866, 106).empty());
    EXPECT_TRUE(KindsServed(6866, 773).empty());
    EXPECT_TRUE(KindsServed(69, 95).empty());
}

TEST(RequestLogTest, DecodedFramesAreJsonWithEveryField) {
    const SimClock clock = MakeDefaultClock(ClockKind::kWifi, MakeIpv4(198, 18, 0, 20));
    json::Json decoded = DecodeSettingsFrame(clock.record);
    EXPECT_EQ(decoded["serial"], "SN0020");
    EXPECT_EQ(decoded["ip"], "198.18.0.20");
    EXPECT_EQ(decoded["time_servers"].size(), 5u);
    EXPECT_EQ(decoded["wifi"]["ssid"], "ClockNet");
    EXPECT_EQ(decoded["temperature"], 21.5);
    EXPECT_EQ(decoded["hex"].get<std::string>().size(), 2 * protocol::kSettingsFrameSize);

    const SimClock old = MakeDefaultClock(ClockKind::kEarly, MakeIpv4(198, 18, 0, 30));
    decoded = DecodeCommandFrame(old.earlyRecord);
    EXPECT_EQ(decoded["serial"], "SN0030");
    EXPECT_EQ(decoded["time_format"], 24);
    // Bytes of clock texts survive as one character each, whatever they are.
    EXPECT_EQ(ByteText(std::string("A\xa1\xff", 3)), "A\u00a1\u00ff");
}

}  // namespace
}  // namespace tavlo::clocksim
