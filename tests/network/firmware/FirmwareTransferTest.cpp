// Firmware transfers over real sockets in the namespace test network: into a simulated clock
// (clean and lossy), into Debian's tftpd-hpa, and through the `tavlo firmware` command.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "firmware/UpdateReporter.h"
#include "firmware/UpdateState.h"
#include "firmware/UpdateWorker.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "tests/network/support/TestNetwork.h"

namespace tavlo::firmware {
namespace {

using testnet::Side;
using testnet::TempDir;
using testnet::TestNetwork;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTftpServer = "/usr/sbin/in.tftpd";
constexpr const char* kTftpUser = "tftp";
constexpr auto kFileWait = std::chrono::seconds(10);

Bytes Pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// The file's bytes once it exists with `size` bytes, or nothing after the wait.
std::optional<Bytes> AwaitFile(const std::string& path, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + kFileWait;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (std::filesystem::exists(path, error) &&
            std::filesystem::file_size(path, error) == size) {
            std::ifstream in(path, std::ios::binary);
            return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

// The System page of a test: answers Yes, remembers the MAC address the neighbour table gave
// and the result box.
class FixedReporter : public UpdateReporter {
  public:
    void SetMacAddressText(const std::string& text) override { mac = text; }
    void SetProgressLine(const std::string&) override {}
    void SetCounterLine(const std::string&) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowUpdateResult(const std::string& text) override { result = text; }
    bool AskYesNo(const std::string&) override { return true; }
    void FocusAddressControl() override {}
    void FocusMacAddressField() override {}

    std::vector<std::string> messages;
    std::string result;
    std::string mac;
};

// Makes a test network with `clocks` clock addresses, or says why the test cannot run.
#define MAKE_NETWORK(net, clocks)            \
    auto made = TestNetwork::Create(clocks); \
    if (!made.network) {                     \
        if (made.skipped) {                  \
            GTEST_SKIP() << made.message;    \
        }                                    \
        FAIL() << made.message;              \
    }                                        \
    TestNetwork& net = *made.network

// The update of the first clock with the file at `path`.
UpdateOutcome Transfer(const std::string& path, const std::string& mac, FixedReporter& reporter) {
    auto network = platform::makeSystemNetwork();
    UpdateState state;
    const UpdateTarget target{platform::ParseIpv4(testnet::kFirstClockAddress), path, mac};
    UpdateWorker worker(*network, state, target, reporter,
                        [](platform::Ipv4 address) { return platform::LookupMacAddress(address); });
    return worker.Run();
}

TEST(FirmwareNetworkTest, SimulatedClockReceivesTheFileByteForByte) {
    MAKE_NETWORK(net, 1);
    TempDir dir;
    std::string error;
    auto sim = net.StartSimulator(
        {"--wired", testnet::kFirstClockAddress, "--tftp-store", dir.File("{addr}.img")}, error);
    ASSERT_TRUE(sim) << error;
    const Bytes file = Pattern(5000, 1);
    WriteFile(dir.File("image.bin"), file);
    ASSERT_EQ(net.EnterPc(), "");

    // An empty MAC field: the address comes from the neighbour table, as on the page.
    FixedReporter reporter;
    const UpdateOutcome outcome = Transfer(dir.File("image.bin"), "", reporter);
    net.LeavePc();
    EXPECT_EQ(outcome.exitCode, WorkerExit::kSucceeded) << reporter.result;
    EXPECT_EQ(reporter.result, kUpdateSuccessfulMessage);
    EXPECT_EQ(reporter.mac.size(), 17u) << "the neighbour table gave no MAC address";
    const auto stored =
        AwaitFile(dir.File(std::string(testnet::kFirstClockAddress) + ".img"), file.size());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, file);
}

TEST(FirmwareNetworkTest, TenPercentLossStillDeliversTheFileByteForByte) {
    MAKE_NETWORK(net, 1);
    TempDir dir;
    std::string error;
    auto sim = net.StartSimulator({"--wired", testnet::kFirstClockAddress, "--tftp-loss", "10",
                                   "--tftp-seed", "7", "--tftp-store", dir.File("{addr}.img")},
                                  error);
    ASSERT_TRUE(sim) << error;
    const Bytes file = Pattern(20 * 512 + 100, 2);
    WriteFile(dir.File("image.bin"), file);
    ASSERT_EQ(net.EnterPc(), "");
    FixedReporter reporter;
    const UpdateOutcome outcome = Transfer(dir.File("image.bin"), "", reporter);
    net.LeavePc();
    EXPECT_EQ(outcome.exitCode, WorkerExit::kSucceeded) << reporter.result;
    EXPECT_GT(outcome.datagramsSent, 22) << "no datagram was lost; the loss option did nothing";
    const auto stored =
        AwaitFile(dir.File(std::string(testnet::kFirstClockAddress) + ".img"), file.size());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, file);
}

TEST(FirmwareNetworkTest, DebianTftpServerStoresTheFileByteForByte) {
    if (::access(kTftpServer, X_OK) != 0) {
        GTEST_SKIP() << "tftpd-hpa is not installed (" << kTftpServer
                     << "); scripts/install-deps installs it with TAVLO_WITH_TFTP=1";
    }
    const passwd* user = ::getpwnam(kTftpUser);
    if (user == nullptr) {
        GTEST_SKIP() << "no '" << kTftpUser << "' user for tftpd-hpa";
    }
    MAKE_NETWORK(net, 1);
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    ASSERT_EQ(::chown(dir.Path().c_str(), user->pw_uid, user->pw_gid), 0);
    std::string error;
    // In the foreground, in the clocks' namespace only; options refused so it acknowledges
    // the write request plainly, as a clock does.
    auto server =
        net.Start(Side::kClocks,
                  {kTftpServer, "-L", "-a", std::string(testnet::kFirstClockAddress) + ":69", "-c",
                   "-s", dir.Path(), "-u", kTftpUser, "-r", "blksize", "-r", "tsize"},
                  error);
    ASSERT_TRUE(server) << error;
    TempDir source;
    const Bytes file = Pattern(3 * 512, 3);  // whole blocks: ends with an empty block
    WriteFile(source.File("image.bin"), file);
    ASSERT_EQ(net.EnterPc(), "");
    FixedReporter reporter;
    const UpdateOutcome outcome = Transfer(source.File("image.bin"), "41-42-43-44-45-46", reporter);
    net.LeavePc();
    EXPECT_EQ(outcome.exitCode, WorkerExit::kSucceeded) << reporter.result;
    const auto stored = AwaitFile(dir.File("ABCDEF"), file.size());
    ASSERT_TRUE(stored) << "tftpd-hpa stored no file named ABCDEF";
    EXPECT_EQ(*stored, file);
}

#ifdef TAVLO_CLI_PATH
TEST(FirmwareNetworkTest, CommandLineLoadsASimulatedClock) {
    MAKE_NETWORK(net, 1);
    TempDir dir;
    std::string error;
    auto sim = net.StartSimulator(
        {"--wired", testnet::kFirstClockAddress, "--tftp-store", dir.File("{mac}.img")}, error);
    ASSERT_TRUE(sim) << error;
    const Bytes file = Pattern(2 * 512, 4);
    WriteFile(dir.File("image.bin"), file);
    // The simulator's own MAC address for its first clock.
    const std::string mac = "02-54-56-00-00-0A";
    auto tool = net.Start(Side::kPc,
                          {TAVLO_CLI_PATH, "firmware", testnet::kFirstClockAddress,
                           dir.File("image.bin"), "--mac", mac},
                          error);
    ASSERT_TRUE(tool) << error;
    const std::string output = tool->ReadAll(std::chrono::seconds(30));
    const auto status = tool->Wait(std::chrono::seconds(30));
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << output;
    EXPECT_EQ(output.rfind("Update Successful! 1024 bytes to 198.18.0.10 (" + mac + ")", 0), 0u)
        << output;
    const auto stored = AwaitFile(dir.File(mac + ".img"), file.size());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, file);
}

// Several clocks from one command: one after the other (a failing clock does not stop the
// others) and all at once; every image arrives whole, and the summary and exit status say
// whether every clock took the file. A clock that refuses the file is named with its answer,
// one that is absent (no answer to ARP) fails like a silent one, and an empty file is refused
// before anything is sent.
TEST(FirmwareNetworkTest, CommandLineUpdatesSeveralClocks) {
    MAKE_NETWORK(net, 4);
    const std::vector<std::string>& clocks = net.ClockAddresses();
    TempDir dir;
    std::string error;
    // The fourth clock refuses every write request with an error packet, at once.
    std::string all;
    for (const std::string& clock : clocks) {
        all += (all.empty() ? "" : ",") + clock;
    }
    auto sim = net.StartSimulator({"--wired", all, "--tftp-error", "--tftp-faulty", clocks[3],
                                   "--tftp-store", dir.File("{addr}.img")},
                                  error);
    ASSERT_TRUE(sim) << error;
    const Bytes file = Pattern(3 * 512 + 7, 5);
    WriteFile(dir.File("image.bin"), file);

    const std::string absent = "198.18.0.50";  // on the segment, but nobody has it
    const struct {
        std::vector<std::string> clocks;
        std::vector<std::string> options;
        int status;
        const char* summary;
    } runs[] = {
        {{clocks[0], clocks[3], absent, clocks[1]}, {}, 1, "2 of 4 clocks updated"},
        {{clocks[0], clocks[1], clocks[2]}, {"--parallel", "3"}, 0, "3 of 3 clocks updated"},
        // The absent clock is tried once more, after the others, with a line of its own.
        {{clocks[2], absent}, {"--retries", "1"}, 1, "1 of 2 clocks updated"},
    };
    for (const auto& run : runs) {
        for (const std::string& clock : clocks) {
            std::filesystem::remove(dir.File(clock + ".img"));
        }
        std::vector<std::string> argv{TAVLO_CLI_PATH, "firmware"};
        argv.insert(argv.end(), run.clocks.begin(), run.clocks.end());
        argv.push_back(dir.File("image.bin"));
        argv.insert(argv.end(), run.options.begin(), run.options.end());
        auto tool = net.Start(Side::kPc, argv, error);
        ASSERT_TRUE(tool) << error;
        const std::string output = tool->ReadAll(std::chrono::seconds(60));
        const auto status = tool->Wait(std::chrono::seconds(10));
        ASSERT_TRUE(status) << output;
        EXPECT_EQ(*status, run.status) << output;
        EXPECT_NE(output.find(std::string("\n") + run.summary + "\n"), std::string::npos) << output;
        if (!run.options.empty() && run.options[0] == "--retries") {
            EXPECT_NE(output.find("for " + absent + " (no answer to ARP), try 2\n" + run.summary),
                      std::string::npos)
                << output;
        }
        for (const std::string& clock : run.clocks) {
            if (clock == clocks[3]) {
                EXPECT_NE(output.find("Update False! The clock refused the file: Update refused "
                                      "(error 0), " +
                                      clock + " ("),
                          std::string::npos)
                    << output;
                continue;
            }
            if (clock == absent) {
                EXPECT_NE(
                    output.find("\nNo MAC address known for " + absent + " (no answer to ARP)\n"),
                    std::string::npos)
                    << output;
                continue;
            }
            EXPECT_NE(output.find(std::to_string(file.size()) + " bytes to " + clock + " ("),
                      std::string::npos)
                << output;
            const auto stored = AwaitFile(dir.File(clock + ".img"), file.size());
            ASSERT_TRUE(stored) << clock;
            EXPECT_EQ(*stored, file) << clock;
        }
    }

    WriteFile(dir.File("empty.bin"), {});
    for (const std::size_t count : {std::size_t{1}, std::size_t{2}}) {
        std::vector<std::string> argv{TAVLO_CLI_PATH, "firmware"};
        argv.insert(argv.end(), clocks.begin(), clocks.begin() + static_cast<long>(count));
        argv.push_back(dir.File("empty.bin"));
        auto tool = net.Start(Side::kPc, argv, error);
        ASSERT_TRUE(tool) << error;
        const std::string output = tool->ReadAll(std::chrono::seconds(30));
        const auto status = tool->Wait(std::chrono::seconds(10));
        EXPECT_EQ(status, 2) << output;
        EXPECT_EQ(output, "") << "nothing was sent, nothing updated";
    }
}
#endif

}  // namespace
}  // namespace tavlo::firmware
