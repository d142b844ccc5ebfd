// Helpers for network tests: a private namespace network per test (scripts/testnet), the
// guard that every network test runs before it sends, and child processes (tavlo-clocksim,
// command-line tools) started inside either namespace.
//
// Typical use:
//
//   auto made = tavlo::testnet::TestNetwork::Create(3);
//   if (!made.network) {
//       if (made.skipped) GTEST_SKIP() << made.message;
//       FAIL() << made.message;
//   }
//   TestNetwork& net = *made.network;
//   std::string error;
//   auto sim = net.StartSimulator({"--wired", "198.18.0.10-198.18.0.12"}, error);
//   ASSERT_TRUE(sim) << error;
//   ASSERT_EQ(net.EnterPc(), "");   // this thread now sends from 198.18.0.1; guard passed
//   ... open sockets, send, receive ...
//
// The network, the simulator and every process started here end when their objects are
// destroyed; the thread that entered the pc namespace returns to its own on destruction.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::testnet {

inline constexpr const char* kPcAddress = "198.18.0.1";
inline constexpr const char* kFirstClockAddress = "198.18.0.10";

// Empty when the calling thread's network namespace holds nothing but lo and veths whose
// IPv4 addresses all lie in 198.18.0.0/15; otherwise the reason to refuse.
// Every network test calls this (TestNetwork::EnterPc does) before it sends anything.
std::string IsolationProblem();

// kSecondClocks: the segment behind the PC's second adapter (198.18.2.0/24);
// kRoutedClocks: the clocks behind the router (198.19.0.0/16).
enum class Side { kPc, kClocks, kSecondClocks, kRoutedClocks };

// A child process, optionally inside one of the test network's namespaces, with its standard
// output readable line by line. Terminated (SIGTERM, then SIGKILL) and reaped on destruction.
class ChildProcess {
  public:
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path) with the arguments; `netnsPath` empty keeps the caller's
    // namespace. Standard error stays the test's own unless `captureStderr` joins it to the
    // output.
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv,
                                               const std::string& netnsPath, std::string& error,
                                               bool captureStderr = false);

    pid_t Pid() const { return pid_; }
    // The next line of standard output (without the newline), or nothing when the time-out
    // passes or the output ends first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Everything written to standard output until it closes or the time-out passes.
    std::string ReadAll(std::chrono::milliseconds timeout);
    // Sends `signal` and waits up to `timeout` for the process to end; then SIGKILL.
    // Returns the exit status (128 + signal number when ended by a signal).
    int Stop(int signal, std::chrono::milliseconds timeout);
    // Waits up to `timeout` for the process to end by itself; nothing when it has not.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

  private:
    ChildProcess(pid_t pid, int out) : pid_(pid), out_(out) {}
    bool FillBuffer(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool outputEnded_ = false;
    std::optional<int> status_;
};

// A running tavlo-clocksim.
class ClockSimulator {
  public:
    ClockSimulator(std::unique_ptr<ChildProcess> process, std::string readyLine)
        : process_(std::move(process)), ready_(std::move(readyLine)) {}
    // The ready line it printed when it started listening.
    const std::string& ReadyLine() const { return ready_; }
    ChildProcess& Process() { return *process_; }
    // SIGTERM and wait; the exit status (0 after a clean shutdown).
    int Stop() { return process_->Stop(15, std::chrono::seconds(10)); }

  private:
    std::unique_ptr<ChildProcess> process_;
    std::string ready_;
};

// What a network holds besides its first segment (scripts/testnet up --second, --routed).
struct NetworkLayout {
    int secondClocks = 0;  // a second adapter of the PC, this many clocks behind it
    int routedClocks = 0;  // a router, this many clocks scattered over 198.19.0.0/16
};

class TestNetwork {
  public:
    struct Made;

    // Makes a fresh network with `clocks` clock addresses (198.18.0.10 on). When networks
    // cannot be made here (not root, no `ip netns`) the result has `skipped` set and the
    // reason in `message`; any other failure leaves `skipped` clear.
    static Made Create(int clocks, NetworkLayout layout = {});

    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    const std::string& Name() const { return name_; }
    const std::vector<std::string>& ClockAddresses() const { return clockAddresses_; }
    const std::vector<std::string>& SecondAddresses() const { return secondAddresses_; }
    const std::vector<std::string>& RoutedAddresses() const { return routedAddresses_; }
    std::string NamespacePath(Side side) const;

    // Moves the calling thread into the pc namespace and runs the guard there. Returns ""
    // when the thread may send, else the reason (the thread is then moved back).
    std::string EnterPc() { return Enter(Side::kPc); }
    // The same for either namespace (the clocks side, to send as a clock would).
    std::string Enter(Side side);
    // Moves the calling thread back to the namespace it came from (no-op when not entered).
    void LeavePc();

    // Starts tavlo-clocksim in the clocks namespace (or `side`) with `arguments` and waits
    // (up to 30 s) for its ready line. nullptr and `error` when it does not come up.
    std::unique_ptr<ClockSimulator> StartSimulator(const std::vector<std::string>& arguments,
                                                   std::string& error, Side side = Side::kClocks);
    // Starts any program in either namespace.
    std::unique_ptr<ChildProcess> Start(Side side, const std::vector<std::string>& argv,
                                        std::string& error);

    // Paths of the script and of the simulator program this build uses.
    static std::string ScriptPath();
    static std::string SimulatorPath();

  private:
    explicit TestNetwork(std::string name) : name_(std::move(name)) {}

    std::string name_;
    std::vector<std::string> clockAddresses_;
    std::vector<std::string> secondAddresses_;
    std::vector<std::string> routedAddresses_;
    int homeNamespace_ = -1;  // the entering thread's own namespace while in pc
};

struct TestNetwork::Made {
    std::unique_ptr<TestNetwork> network;
    bool skipped = false;
    std::string message;
};

// A fresh private directory under the system's temporary folder (removed with its files
// when the object is destroyed), for simulator logs and clock files.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Lines of a text file (for example a simulator log); empty when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace tavlo::testnet
