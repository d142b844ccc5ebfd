// The simulated clocks' TFTP side, datagram by datagram.
#include "tools/clocksim-tftp/TftpServer.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>

#include <string>
#include <vector>

#include "firmware/TftpPacket.h"
#include "platform/Ipv4.h"

namespace tavlo::clocksim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::MakeIpv4;

const Ipv4 kClockA = MakeIpv4(198, 18, 0, 10);
const Ipv4 kClockB = MakeIpv4(198, 18, 0, 11);
const Ipv4 kSubnetBroadcast = MakeIpv4(198, 18, 0, 255);
const Endpoint kPc{MakeIpv4(198, 18, 0, 1), 40000};
const MacAddress kMacA = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01};
const MacAddress kMacB = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46};

Bytes Data(std::uint16_t block, std::size_t size, std::uint8_t fill) {
    const Bytes payload(size, fill);
    return firmware::BuildDataPacket(block, payload);
}

class TftpServerTest : public ::testing::Test {
  protected:
    TftpServerTest()
        : server_(faults_, [this](const ReceivedImage& image) { images_.push_back(image); }) {}

    void Make(const TftpFaults& faults) {
        server_ =
            TftpServer(faults, [this](const ReceivedImage& image) { images_.push_back(image); });
        AddClocks();
    }
    void SetUp() override { AddClocks(); }
    void AddClocks() {
        server_.AddClock(kClockA, kMacA);
        server_.AddClock(kClockB, kMacB);
    }
    std::vector<TftpReply> Send(Ipv4 to, const Bytes& bytes) {
        return server_.OnDatagram(to, kPc, bytes);
    }
    // The only reply's bytes (fails when there is not exactly one).
    Bytes One(const std::vector<TftpReply>& replies) {
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? Bytes{} : replies[0].bytes;
    }

    TftpFaults faults_;
    TftpServer server_;
    std::vector<ReceivedImage> images_;
};

TEST_F(TftpServerTest, TakesAnImageLockStepAndReportsIt) {
    const auto ack0 = Send(kClockA, firmware::BuildWriteRequest(kMacA, 700));
    ASSERT_EQ(ack0.size(), 1u);
    EXPECT_EQ(ack0[0].from, kClockA);
    EXPECT_EQ(ack0[0].to, kPc);
    EXPECT_EQ(ack0[0].bytes, MakeAcknowledgement(0));
    EXPECT_EQ(One(Send(kClockA, Data(1, 512, 0x11))), MakeAcknowledgement(1));
    EXPECT_EQ(One(Send(kClockA, Data(1, 512, 0x11))), MakeAcknowledgement(1));  // again
    EXPECT_TRUE(Send(kClockA, Data(3, 188, 0x22)).empty());                     // out of step
    EXPECT_EQ(One(Send(kClockA, Data(2, 188, 0x22))), MakeAcknowledgement(2));
    ASSERT_EQ(images_.size(), 1u);
    Bytes expected(512, 0x11);
    expected.insert(expected.end(), 188, 0x22);
    EXPECT_EQ(images_[0].bytes, expected);
    EXPECT_EQ(images_[0].mac, kMacA);
    EXPECT_EQ(images_[0].duplicates, 1);
    EXPECT_EQ(One(Send(kClockA, Data(2, 188, 0x22))), MakeAcknowledgement(2));  // lost ack
    EXPECT_EQ(images_.size(), 1u);
}

TEST_F(TftpServerTest, EmptyLastBlockEndsAnImageOfWholeBlocks) {
    Send(kClockB, firmware::BuildWriteRequest(kMacB, 512));
    Send(kClockB, Data(1, 512, 0x33));
    ASSERT_TRUE(images_.empty());
    Send(kClockB, Data(2, 0, 0));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0].bytes, Bytes(512, 0x33));
    EXPECT_EQ(DescribeImage(images_[0]).substr(0, 52),
              "tftp 198.18.0.11 41-42-43-44-45-46 received 512 byte");
}

TEST_F(TftpServerTest, OnlyTheClockNamedByItsMacTakesTheRequest) {
    // Unicast to the wrong clock: an error packet. Broadcast: only the named clock answers.
    const Bytes wrong = One(Send(kClockA, firmware::BuildWriteRequest(kMacB, 1)));
    EXPECT_EQ(firmware::ReadBe16(wrong, 0), 5);
    const auto replies = Send(kSubnetBroadcast, firmware::BuildWriteRequest(kMacB, 1));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, kClockB);
    EXPECT_EQ(replies[0].bytes, MakeAcknowledgement(0));
    EXPECT_EQ(One(Send(platform::kLimitedBroadcast, Data(1, 1, 0x44))), MakeAcknowledgement(1));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0].clock, kClockB);
}

TEST_F(TftpServerTest, AClockAlsoAnswersToItsInterfaceAddressInUnicast) {
    const MacAddress hardware = {0x0E, 0x00, 0x00, 0x00, 0x00, 0x01};
    server_.AddAlias(kClockA, hardware);
    EXPECT_TRUE(Send(kSubnetBroadcast, firmware::BuildWriteRequest(hardware, 1)).empty());
    EXPECT_EQ(One(Send(kClockA, firmware::BuildWriteRequest(hardware, 1))), MakeAcknowledgement(0));
}

TEST_F(TftpServerTest, HostileDatagramsAreIgnored) {
    for (const Bytes& bytes : {Bytes{}, Bytes{0}, Bytes{0, 2}, Bytes{0, 2, 0, 0, 0x5E},
                               Bytes{0, 4, 0, 0}, Bytes{0, 1, 'x', 0}}) {
        EXPECT_TRUE(Send(kClockB, bytes).empty());
    }
    // Data outside any transfer: "Unknown transfer ID".
    EXPECT_EQ(firmware::ReadBe16(One(Send(kClockB, Bytes{0, 3, 0, 1})), 2), 5);
    Send(kClockA, firmware::BuildWriteRequest(kMacA, 2000));
    EXPECT_TRUE(Send(kClockA, Data(1, 513, 0)).empty());  // larger than a block
    EXPECT_TRUE(images_.empty());
}

TEST_F(TftpServerTest, ImagesLargerThanTheFlashAreRefused) {
    const Bytes reply = One(Send(kClockA, firmware::BuildWriteRequest(kMacA, kMaxImageSize + 1)));
    EXPECT_EQ(firmware::ReadBe16(reply, 0), 5);
}

TEST_F(TftpServerTest, Faults) {
    TftpFaults oack;
    oack.optionAcknowledgement = true;
    Make(oack);
    EXPECT_EQ(firmware::ReadBe16(One(Send(kClockA, firmware::BuildWriteRequest(kMacA, 1))), 0), 6);

    TftpFaults error;
    error.errorReply = true;
    Make(error);
    EXPECT_EQ(firmware::ReadBe16(One(Send(kClockA, firmware::BuildWriteRequest(kMacA, 1))), 0), 5);

    // Faults aimed at one clock leave the others alone.
    error.faultyClocks = {kClockB};
    Make(error);
    EXPECT_EQ(One(Send(kClockA, firmware::BuildWriteRequest(kMacA, 1))), MakeAcknowledgement(0));
    EXPECT_EQ(firmware::ReadBe16(One(Send(kClockB, firmware::BuildWriteRequest(kMacB, 1))), 0), 5);

    TftpFaults silent;
    silent.silent = true;
    Make(silent);
    EXPECT_TRUE(Send(kClockA, firmware::BuildWriteRequest(kMacA, 1)).empty());

    TftpFaults older;
    older.acknowledgeOlderEvery = 2;
    Make(older);
    Send(kClockA, firmware::BuildWriteRequest(kMacA, 1100));
    EXPECT_EQ(One(Send(kClockA, Data(1, 512, 1))), MakeAcknowledgement(1));
    EXPECT_EQ(One(Send(kClockA, Data(2, 512, 2))), MakeAcknowledgement(1));  // asks again
    EXPECT_EQ(One(Send(kClockA, Data(2, 512, 2))), MakeAcknowledgement(2));
    EXPECT_EQ(One(Send(kClockA, Data(3, 76, 3))), MakeAcknowledgement(3));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0].bytes.size(), 1100u);

    // A pause at block 2: nothing of the transfer is taken or answered for 5 s, then it goes
    // on; another transfer is not held up.
    std::chrono::steady_clock::time_point now{};
    TftpFaults pausing;
    pausing.pauseAtBlock = 2;
    pausing.pause = std::chrono::seconds(5);
    server_ = TftpServer(
        pausing, [this](const ReceivedImage& image) { images_.push_back(image); },
        [&now] { return now; });
    AddClocks();
    images_.clear();
    Send(kClockA, firmware::BuildWriteRequest(kMacA, 600));
    Send(kClockB, firmware::BuildWriteRequest(kMacB, 100));
    EXPECT_EQ(One(Send(kClockA, Data(1, 512, 1))), MakeAcknowledgement(1));
    EXPECT_TRUE(Send(kClockA, Data(2, 88, 2)).empty());
    now += std::chrono::milliseconds(4999);
    EXPECT_TRUE(Send(kClockA, Data(1, 512, 1)).empty());
    EXPECT_EQ(One(Send(kClockB, Data(1, 100, 1))), MakeAcknowledgement(1));
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(One(Send(kClockA, Data(2, 88, 2))), MakeAcknowledgement(2));
    ASSERT_EQ(images_.size(), 2u);
    EXPECT_EQ(images_[1].bytes.size(), 600u);

    TftpFaults lossy;
    lossy.lossPercent = 50;
    Make(lossy);
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
        answered += static_cast<int>(Send(kClockA, firmware::BuildWriteRequest(kMacA, 1)).size());
    }
    EXPECT_GT(answered, 20);  // about a quarter get through both ways
    EXPECT_LT(answered, 100);
}

// The TFTP options on a command line of their own: values taken, bad ones refused.
TEST(TftpOptionsTest, TakesItsOptionsAndRefusesBadValues) {
    const auto parse = [](std::vector<std::string> args, TftpSettings& settings) {
        CLI::App app;
        AddTftpOptions(app, settings);
        std::reverse(args.begin(), args.end());
        app.parse(args);
    };
    TftpSettings settings;
    parse({"--tftp-loss", "10", "--tftp-store", "/tmp/{mac}.bin", "--tftp-oack", "--tftp-seed", "7",
           "--tftp-ack-older=3", "--tftp-faulty", "198.18.0.11-12", "--tftp-pause-at", "40:12",
           "--no-tftp"},
          settings);
    EXPECT_EQ(settings.faults.faultyClocks, (std::vector<Ipv4>{kClockB, MakeIpv4(198, 18, 0, 12)}));
    EXPECT_EQ(settings.faults.lossPercent, 10);
    EXPECT_TRUE(settings.faults.optionAcknowledgement);
    EXPECT_EQ(settings.storePath, "/tmp/{mac}.bin");
    EXPECT_EQ(settings.faults.seed, 7u);
    EXPECT_EQ(settings.faults.acknowledgeOlderEvery, 3);
    EXPECT_EQ(settings.faults.pauseAtBlock, 40);
    EXPECT_EQ(settings.faults.pause, std::chrono::seconds(12));
    EXPECT_FALSE(settings.enabled);
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--tftp-loss", "101"},
                                                                 {"--tftp-loss"},
                                                                 {"--tftp-ack-older", "0"},
                                                                 {"--tftp-seed", "x"},
                                                                 {"--tftp-faulty", "198.18.0"},
                                                                 {"--tftp-pause-at", "40"},
                                                                 {"--tftp-pause-at", "0:5"},
                                                                 {"--tftp-pause-at", "4:0"},
                                                                 {"--tftp-pause-at", "4:5s"}}) {
        EXPECT_THROW(parse(bad, settings), CLI::ParseError) << bad[0];
    }
}

TEST(Sha256Test, KnownAnswers) {
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(Sha256Hex(Bytes(abc.begin(), abc.end())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two =
        "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";  // 56 bytes: two chunks
    EXPECT_EQ(Sha256Hex(Bytes(two.begin(), two.end())),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

}  // namespace
}  // namespace tavlo::clocksim
