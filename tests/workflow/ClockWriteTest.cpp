// Modify and Batch Modify on the fake network, against clocks that behave like the simulator's
// (its own clock logic answers): what is sent, to whom, how often and when, and what the
// operator is told.
#include "workflow/ClockWrite.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stop_token>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tests/support/FakeNetwork.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"
#include "wifi/WifiSettings.h"

namespace tavlo::workflow {
namespace {

using clocksim::RequestKind;
using clocksim::SimClock;
using platform::MakeIpv4;
using std::chrono::milliseconds;
using test::FakeNetwork;
using test::SentDatagram;

const platform::Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
const platform::Ipv4 kClock = MakeIpv4(198, 18, 0, 10);
constexpr milliseconds kReplyDelay{3};

class FixedNonce final : public protocol::NonceSource {
  public:
    std::uint32_t nextNonce() override { return 0x2345; }
};

KnownPasswords::Field Field(std::string_view text) {
    KnownPasswords::Field field{};
    std::copy(text.begin(), text.end(), field.begin());
    return field;
}

// A write request a clock took in, as it understood it.
struct Taken {
    std::uint64_t timeMs = 0;
    platform::Ipv4 clock = 0;
    RequestKind kind = RequestKind::kIgnored;
    protocol::SettingsFrame frame{};
};

class ClockWriteTest : public ::testing::Test {
  protected:
    ClockWriteTest() : line(net, state, nonces), responder(clockNonces) {
        net.setLocalAddresses({kPc});
        state.LocalAddressList = net.localAddresses();
    }

    // A clock of `kind` at `address` that answers as the simulator's clocks do, until
    // `clocks` is cleared.
    SimClock& AddClock(clocksim::ClockKind kind, platform::Ipv4 address = kClock) {
        clocks.push_back(std::make_shared<SimClock>(clocksim::MakeDefaultClock(kind, address)));
        std::weak_ptr<SimClock> added = clocks.back();
        net.addPeer(address, [this, added](const SentDatagram& sent, FakeNetwork& n) {
            const std::shared_ptr<SimClock> alive = added.lock();
            if (!alive) {
                return;
            }
            SimClock& clock = *alive;
            clocksim::Answer answer;
            if (clocksim::IsEarly(clock.kind)) {
                answer = responder.OnCommandFrame(clock, sent.bytes);
            } else if (clock.kind == clocksim::ClockKind::kWired) {
                answer = responder.OnChunk(clock, sent.from, sent.bytes,
                                           static_cast<std::int64_t>(n.now()));
            } else if (sent.to.port == protocol::kFullFramePort) {
                answer = responder.OnFullFrame(clock, sent.bytes);
            }
            if (answer.request != RequestKind::kIgnored &&
                answer.request != RequestKind::kChunkPart && answer.request != RequestKind::kRead) {
                taken.push_back({n.now(), clock.address, answer.request,
                                 answer.frame.value_or(protocol::SettingsFrame{})});
            }
            for (const auto& reply : answer.replies) {
                n.reply(sent, clock.address, reply, kReplyDelay);
            }
        });
        return *clocks.back();
    }

    // What the window holds after a click on `clock`: its pages filled from a read and its
    // passwords kept. Starts the record of what is sent afresh.
    WriteRequest Selected(const SimClock& clock) {
        const ClockKind kind = clocksim::IsEarly(clock.kind)               ? ClockKind::kEarly
                               : clock.kind == clocksim::ClockKind::kWired ? ClockKind::kWired
                                                                           : ClockKind::kWifi;
        const ReadResult read = ReadClock(line, clock.address, kind);
        EXPECT_TRUE(read.answered);
        WriteRequest request;
        request.target = clock.address;
        if (kind == ClockKind::kEarly) {
            request.generation = Generation::kEarly;
            settings::ShowEarlyClockSettings(request.basic, read.commandFrame);
        } else {
            request.family = FamilyOfKind(kind);
            protocol::SettingsFrame reply = read.settingsFrame;
            settings::ShowClockSettings(request.basic, reply, request.family);
            wifi::ShowWifiPage(request.wifi, reply);
            request.known = *read.passwords;
        }
        net.clearSent();
        taken.clear();
        start = net.now();
        return request;
    }

    WriteOutcome Write(const WriteRequest& request, const std::stop_token& stop = {}) {
        return RunWrite(request, line, stop);
    }

    FakeNetwork net;
    protocol::ProtocolState state;
    FixedNonce nonces;
    ClockLine line;
    FixedNonce clockNonces;
    clocksim::ClockResponder responder;
    std::vector<std::shared_ptr<SimClock>> clocks;
    std::vector<Taken> taken;
    std::uint64_t start = 0;
};

// "Wifi_Pattern" with a network every clock can take.
void NameNetwork(WriteRequest& request) {
    request.page = WritePage::kWifi;
    wifi::ClickWifiPattern(request.wifi);
    request.wifi.ssid.text = "Floor2";
    request.wifi.password.text = "pass1234";
}

// Batch Modify from the WIFI page sends one request for every clock: the network the operator
// named, and nothing of the clock read (an open network goes without its password).
TEST_F(ClockWriteTest, WifiBatchCarriesNothingOfTheClockRead) {
    WriteRequest request = Selected(AddClock(clocksim::ClockKind::kWifi));
    request.scope = WriteScope::kEveryClock;
    NameNetwork(request);
    request.wifi.password.text.clear();
    request.wifi.auth.selectExact("NONE");
    request.known.global = {};
    const WriteOutcome outcome = Write(request);
    EXPECT_EQ(outcome.status, WriteStatus::kBatchAnswered);
    const wifi::ConstWifiSettings sent(*outcome.settingsRequest);
    EXPECT_EQ(sent.ssid(), "Floor2");
    EXPECT_EQ(sent.authenticationCode(), 0);
    EXPECT_EQ(sent.password(), "");
    EXPECT_EQ(sent.passwordLength(), 0);
}

TEST_F(ClockWriteTest, ModifyWritesTheSelectedClockOfEachKind) {
    const struct {
        const char* name;
        clocksim::ClockKind kind;
        WritePage page;
        std::function<void(WriteRequest&)> edit;
        RequestKind sent;
        std::function<bool(const SimClock&)> took;
    } cases[] = {
        {"wired, Basic page", clocksim::ClockKind::kWired, WritePage::kBasic,
         [](WriteRequest& r) { r.basic.displayText.text = "Lobby"; }, RequestKind::kWriteBasic,
         [](const SimClock& c) {
             return settings::ConstClockSettings(c.record).displayText() == "Lobby";
         }},
        {"Wi-Fi, Basic page", clocksim::ClockKind::kWifi, WritePage::kBasic,
         [](WriteRequest& r) { r.basic.timeZone.selectExact("UTC +5:30"); },
         RequestKind::kWriteBasic,
         [](const SimClock& c) {
             return settings::ConstClockSettings(c.record).timeZoneBytes() ==
                    settings::TimeZoneBytes{5, 30};
         }},
        {"wired, WIFI page", clocksim::ClockKind::kWired, WritePage::kWifi,
         [](WriteRequest& r) {
             wifi::ClickWifiPattern(r.wifi);
             r.wifi.ssid.text = "Floor2";
         },
         RequestKind::kWriteWifi,
         [](const SimClock& c) { return wifi::ConstWifiSettings(c.record).ssid() == "Floor2"; }},
        {"early, Basic page", clocksim::ClockKind::kEarly, WritePage::kBasic,
         [](WriteRequest& r) { r.basic.brightness.selectExact("Dim"); }, RequestKind::kWriteEarly,
         [](const SimClock& c) {
             return settings::ConstEarlyClockSettings(c.earlyRecord).brightness() == 1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        SimClock& clock = AddClock(c.kind);
        WriteRequest request = Selected(clock);
        request.page = c.page;
        c.edit(request);
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status, WriteStatus::kAcknowledged);
        EXPECT_EQ(outcome.message, "Setting Successful!");
        EXPECT_EQ(outcome.exchanges, 1);
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0].kind, c.sent);
        EXPECT_EQ(taken[0].clock, kClock);
        EXPECT_TRUE(c.took(clock));
    }
}

// Every path that ends before the network: the operator's message (or none), nothing sent.
TEST_F(ClockWriteTest, RefusalsSendNothing) {
    using Edit = std::function<void(WriteRequest&)>;
    const struct {
        const char* name;
        clocksim::ClockKind kind;
        Edit edit;
        WriteStatus status;
        std::string message;
    } cases[] = {
        {"store refusal", clocksim::ClockKind::kWired,
         [](WriteRequest& r) {
             settings::Click(r.basic, settings::BasicButton::kStaticIp);
             r.basic.gateway.text = "0.0.0.0";
         },
         WriteStatus::kRefused, "Invalid Gateway IP address,please enter again"},
        {"user password", clocksim::ClockKind::kWired,
         [](WriteRequest& r) { r.known.user = Field("secret"); }, WriteStatus::kWrongUserPassword,
         "Please enter the correct User Password!"},
        {"user password, 8 characters that begin with the default", clocksim::ClockKind::kWifi,
         [](WriteRequest& r) { r.known.user = Field("omberXYZ"); }, WriteStatus::kWrongUserPassword,
         "Please enter the correct User Password!"},
        {"global password", clocksim::ClockKind::kWired,
         [](WriteRequest& r) {
             r.scope = WriteScope::kEveryClock;
             r.known.global = Field("other");
         },
         WriteStatus::kWrongGlobalPassword, "Please enter the correct Global Password!"},
        {"global password, WIFI page stores none", clocksim::ClockKind::kWifi,
         [](WriteRequest& r) {
             r.scope = WriteScope::kEveryClock;
             NameNetwork(r);
         },
         WriteStatus::kWrongGlobalPassword, "Please enter the correct Global Password!"},
        {"WIFI batch without a network for every clock", clocksim::ClockKind::kWifi,
         [](WriteRequest& r) {
             r.scope = WriteScope::kEveryClock;
             NameNetwork(r);
             r.wifi.password.text.clear();
         },
         WriteStatus::kRefused,
         "Please select Wifi_Pattern and enter the network for every clock!"},
        {"network address (a group label)", clocksim::ClockKind::kWired,
         [](WriteRequest& r) { r.target = MakeIpv4(198, 18, 0, 0); }, WriteStatus::kInvalidTarget,
         "Please select a valid IP!"},
        {"early clock, no clock named", clocksim::ClockKind::kEarly,
         [](WriteRequest& r) { r.target.reset(); }, WriteStatus::kInvalidTarget,
         "Please select a valid IP!"},
        {"no clock named", clocksim::ClockKind::kWifi, [](WriteRequest& r) { r.target.reset(); },
         WriteStatus::kInvalidTarget, "Please select a valid IP!"},
        {"broadcast address", clocksim::ClockKind::kWired,
         [](WriteRequest& r) { r.target = MakeIpv4(198, 18, 0, 255); }, WriteStatus::kInvalidTarget,
         "Please select a valid IP!"},
        {"early batch without dynamic IP", clocksim::ClockKind::kEarly,
         [](WriteRequest& r) { r.scope = WriteScope::kEveryClock; }, WriteStatus::kNeedsDynamicIp,
         "This version is only for Batch Modify using dynamic IP configuration!\nPlease select "
         "dynamic IP on the \"Clock IP Setting\"Group."},
        {"no family chosen", clocksim::ClockKind::kWired,
         [](WriteRequest& r) { r.family = protocol::ClockFamily::kNone; }, WriteStatus::kNotSent,
         ""},
        {"no family chosen, batch", clocksim::ClockKind::kWifi,
         [](WriteRequest& r) {
             r.family = protocol::ClockFamily::kNone;
             r.scope = WriteScope::kEveryClock;
         },
         WriteStatus::kNotSent, ""},
        {"early clock, WIFI page", clocksim::ClockKind::kEarly,
         [](WriteRequest& r) { r.page = WritePage::kWifi; }, WriteStatus::kNothingToDo, ""},
        {"dry run", clocksim::ClockKind::kWired, [](WriteRequest& r) { r.dryRun = true; },
         WriteStatus::kReady, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        WriteRequest request = Selected(AddClock(c.kind));
        c.edit(request);
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_TRUE(net.sent().empty());
        EXPECT_EQ(outcome.exchanges, 0);
    }
}

TEST_F(ClockWriteTest, OutcomeNamesWhereTheRequestGoes) {
    for (const auto kind : {clocksim::ClockKind::kWired, clocksim::ClockKind::kEarly}) {
        clocks.clear();
        WriteRequest request = Selected(AddClock(kind));
        request.dryRun = true;
        // An early-version batch needs dynamic IP.
        settings::Click(request.basic, settings::BasicButton::kDynamicIp);
        EXPECT_EQ(Write(request).target, request.target);
        request.scope = WriteScope::kEveryClock;
        EXPECT_EQ(Write(request).target, platform::kLimitedBroadcast);
    }
}

TEST_F(ClockWriteTest, StoreRefusalNamesTheFocus) {
    WriteRequest request = Selected(AddClock(clocksim::ClockKind::kWired));
    request.basic.servers[2].address.text = "224.0.0.1";
    const WriteOutcome outcome = Write(request);
    EXPECT_EQ(outcome.status, WriteStatus::kRefused);
    EXPECT_EQ(outcome.message, "Invalid NTP Server IP address,please enter again");
    EXPECT_EQ(outcome.focus, (settings::BasicFocus{settings::BasicField::kServerAddress, 2}));
}

// The checks that pass: Modify from the WIFI page has none, Batch Modify checks only the global
// password (an 8-character one fills its field without a terminating zero).
TEST_F(ClockWriteTest, PasswordChecksThatPass) {
    const struct {
        const char* name;
        WriteScope scope;
        WritePage page;
        const char* user;
        const char* global;
        WriteStatus status;
    } cases[] = {
        {"Modify, WIFI page", WriteScope::kOneClock, WritePage::kWifi, "secret", "tarnfelk",
         WriteStatus::kAcknowledged},
        {"Batch, Basic page", WriteScope::kEveryClock, WritePage::kBasic, "secret", "tarnfelk",
         WriteStatus::kBatchAnswered},
        {"Batch, WIFI page, no global password", WriteScope::kEveryClock, WritePage::kWifi, "omber",
         "", WriteStatus::kBatchAnswered},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        WriteRequest request = Selected(AddClock(clocksim::ClockKind::kWifi));
        request.scope = c.scope;
        NameNetwork(request);
        request.page = c.page;
        request.known = {Field(c.user), Field(c.global)};
        EXPECT_EQ(Write(request).status, c.status);
        EXPECT_EQ(taken.size(), 1u);
    }
}

// A wired clock that does not acknowledge is asked five times, 500 ms apart, and each request
// is the page stored afresh (not what the failed exchange left in the frame); a Wi-Fi clock
// is asked once. The operator is told nothing.
TEST_F(ClockWriteTest, UnacknowledgedModifyAttempts) {
    const struct {
        const char* name;
        clocksim::ClockKind kind;
        bool silent;
        int attempts;
        std::uint64_t gapMs;  // a wait of 500 ms after the last datagram, then the pause
        std::uint64_t durationMs;
    } cases[] = {
        {"wired, silent", clocksim::ClockKind::kWired, true, 5, 1000, 5000},
        {"wired, answers without acknowledging", clocksim::ClockKind::kWired, false, 5,
         1000 + kReplyDelay.count(), 5 * (1000 + kReplyDelay.count())},
        {"Wi-Fi, silent", clocksim::ClockKind::kWifi, true, 1, 0, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        SimClock& clock = AddClock(c.kind);
        WriteRequest request = Selected(clock);
        request.basic.displayText.text = "Lobby";
        clock.faults.silent = c.silent;
        clock.faults.noAck = !c.silent;
        clock.faults.appliesTo = clocksim::kWriteRequests;
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status, WriteStatus::kNoAnswer);
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(outcome.exchanges, c.attempts);
        ASSERT_EQ(taken.size(), static_cast<std::size_t>(c.attempts));
        for (std::size_t i = 0; i < taken.size(); ++i) {
            EXPECT_EQ(taken[i].timeMs - taken[0].timeMs, i * c.gapMs) << "attempt " << i + 1;
            EXPECT_EQ(taken[i].frame, taken[0].frame) << "attempt " << i + 1;
        }
        EXPECT_EQ(settings::ConstClockSettings(taken[0].frame).displayText(), "Lobby");
        EXPECT_EQ(net.now() - start, c.durationMs);
    }
}

// A read reply of the clock that arrives late, during the write, carries flag bit 0 (early
// versions: the request marker) but is no acknowledgement of the write.
TEST_F(ClockWriteTest, LateReadReplyIsNoAcknowledgement) {
    const struct {
        clocksim::ClockKind kind;
        std::uint8_t last;
    } cases[] = {{clocksim::ClockKind::kWired, 11},
                 {clocksim::ClockKind::kWifi, 12},
                 {clocksim::ClockKind::kEarly, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(clocksim::KindName(c.kind));
        const platform::Ipv4 address = MakeIpv4(198, 18, 0, c.last);
        SimClock& clock = AddClock(c.kind, address);
        const WriteRequest request = Selected(clock);
        clock.faults.silent = true;
        clock.faults.appliesTo = clocksim::kWriteRequests;
        std::vector<clocksim::Datagram> readReply;
        if (c.kind == clocksim::ClockKind::kEarly) {
            const protocol::CommandFrame reply = clocksim::EarlyReplyFrame(clock, 1, true);
            readReply.emplace_back(reply.begin(), reply.end());
        } else if (c.kind == clocksim::ClockKind::kWifi) {
            const protocol::SettingsFrame reply = clocksim::ReplyFrame(clock, 1, true);
            readReply.emplace_back(reply.begin(), reply.end());
        } else {
            readReply = clocksim::ReplyChunks(clocksim::ReplyFrame(clock, 1, true), true, nonces);
        }
        net.addPeer(address, [address, readReply](const SentDatagram& sent, FakeNetwork& n) {
            for (const auto& datagram : readReply) {
                n.reply(sent, address, datagram, kReplyDelay);
            }
        });
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status, WriteStatus::kNoAnswer);
        EXPECT_EQ(outcome.message, "");
    }
}

TEST_F(ClockWriteTest, StopEndsAWiredModifyBetweenAttempts) {
    SimClock& clock = AddClock(clocksim::ClockKind::kWired);
    const WriteRequest request = Selected(clock);
    clock.faults.silent = true;
    std::stop_source stop;
    // Runs after the clock has taken each datagram.
    net.addPeer(kClock, [&](const SentDatagram&, FakeNetwork&) {
        if (taken.size() == 2) {
            stop.request_stop();
        }
    });
    const WriteOutcome outcome = Write(request, stop.get_token());
    EXPECT_EQ(outcome.status, WriteStatus::kStopped);
    EXPECT_EQ(outcome.exchanges, 2);
    EXPECT_EQ(taken.size(), 2u);
    EXPECT_EQ(net.now() - start, 1500u);  // the second exchange's wait, no pause after it
}

// Each clock that acknowledges the batch counts once, whatever their number; a stranger's
// datagrams of the right size count not at all.
TEST_F(ClockWriteTest, BatchCountIsTheNumberOfClocksThatAcknowledged) {
    const platform::Ipv4 kStranger = MakeIpv4(198, 18, 0, 20);
    const WriteRequest selected = Selected(AddClock(clocksim::ClockKind::kWifi));
    const protocol::SettingsFrame ack = clocksim::ReplyFrame(
        *clocks.back(), protocol::ToByte(protocol::FrameType::kWriteBasic), true);
    clocks.clear();  // only the scripted replies below answer the broadcast
    int acknowledging = 0;
    net.addPeer(kStranger, [&](const SentDatagram& sent, FakeNetwork& n) {
        for (int i = 0; sent.broadcast && i < 2 * acknowledging; ++i) {
            const int clock = i % acknowledging;
            n.reply(sent,
                    MakeIpv4(198, 18, static_cast<std::uint8_t>(1 + clock / 200),
                             static_cast<std::uint8_t>(1 + clock % 200)),
                    std::vector<std::uint8_t>(ack.begin(), ack.end()), kReplyDelay);
        }
        n.reply(sent, kStranger, std::vector<std::uint8_t>(protocol::kSettingsFrameSize),
                kReplyDelay);
    });
    for (const int count : {0, 3, 128, 260}) {
        SCOPED_TRACE(count);
        acknowledging = count;
        WriteRequest request = selected;
        request.scope = WriteScope::kEveryClock;
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status,
                  count > 0 ? WriteStatus::kBatchAnswered : WriteStatus::kBatchUnanswered);
        EXPECT_EQ(outcome.count, count);
        EXPECT_EQ(outcome.acknowledgedBy.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(
            outcome.message,
            count > 0 ? std::to_string(count) + " clock have been setting successfully!" : "");
    }
    ASSERT_FALSE(net.sent().empty());
    const SentDatagram last = net.sent().back();
    EXPECT_TRUE(last.broadcast);
    EXPECT_EQ(last.bytes[protocol::kFlagsOffset] & settings::kBatchBit, settings::kBatchBit);
}

// A write that gives the clock another address, or dynamic IP, is acknowledged from the
// clock's new place: the new address, or after a switch to dynamic IP any address whose reply
// carries the clock's serial number. An answer from elsewhere is no acknowledgement.
TEST_F(ClockWriteTest, AWriteThatMovesTheClockIsAcknowledgedFromItsNewPlace) {
    const platform::Ipv4 kNewAddress = MakeIpv4(198, 18, 0, 30);
    const platform::Ipv4 kGivenByDhcp = MakeIpv4(198, 18, 0, 31);
    const auto newAddress = [](WriteRequest& r) { r.basic.ipAddress.text = "198.18.0.30"; };
    const auto dynamicIp = [](WriteRequest& r) {
        settings::Click(r.basic, settings::BasicButton::kDynamicIp);
    };
    const struct {
        const char* name;
        clocksim::ClockKind kind;
        std::function<void(WriteRequest&)> edit;
        platform::Ipv4 answersFrom;
        WriteStatus status;
    } cases[] = {
        {"wired, new address", clocksim::ClockKind::kWired, newAddress, kNewAddress,
         WriteStatus::kAcknowledged},
        {"wired, dynamic IP", clocksim::ClockKind::kWired, dynamicIp, kGivenByDhcp,
         WriteStatus::kAcknowledged},
        {"wired, not moved", clocksim::ClockKind::kWired, [](WriteRequest&) {}, kNewAddress,
         WriteStatus::kNoAnswer},
        {"early, new address", clocksim::ClockKind::kEarly, newAddress, kNewAddress,
         WriteStatus::kAcknowledged},
        {"early, dynamic IP", clocksim::ClockKind::kEarly, dynamicIp, kGivenByDhcp,
         WriteStatus::kAcknowledged},
        {"early, new address, answer from elsewhere", clocksim::ClockKind::kEarly, newAddress,
         kGivenByDhcp, WriteStatus::kNoAnswer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        SimClock& clock = AddClock(c.kind);
        WriteRequest request = Selected(clock);
        c.edit(request);
        clock.address = c.answersFrom;  // where its replies now come from
        EXPECT_EQ(Write(request).status, c.status);
        EXPECT_FALSE(taken.empty());
    }
}

TEST_F(ClockWriteTest, BatchModifyReachesEveryClockOfTheKind) {
    const struct {
        const char* name;
        clocksim::ClockKind kind;
        std::function<void(WriteRequest&)> edit;
        RequestKind sent;
    } cases[] = {
        {"wired", clocksim::ClockKind::kWired, [](WriteRequest&) {}, RequestKind::kWriteBasic},
        {"early, dynamic IP", clocksim::ClockKind::kEarly,
         [](WriteRequest& r) { settings::Click(r.basic, settings::BasicButton::kDynamicIp); },
         RequestKind::kWriteEarly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clocks.clear();
        const WriteRequest selected = Selected(AddClock(c.kind));
        AddClock(c.kind, MakeIpv4(198, 18, 0, 11));
        AddClock(c.kind, MakeIpv4(198, 18, 0, 12));
        WriteRequest request = selected;
        request.scope = WriteScope::kEveryClock;
        c.edit(request);
        const WriteOutcome outcome = Write(request);
        EXPECT_EQ(outcome.status, WriteStatus::kBatchAnswered);
        EXPECT_EQ(outcome.message, "3 clock have been setting successfully!");
        EXPECT_EQ(outcome.exchanges, 1);
        ASSERT_EQ(taken.size(), 3u);
        for (const Taken& t : taken) {
            EXPECT_EQ(t.kind, c.sent);
        }
    }
}

}  // namespace
}  // namespace tavlo::workflow
