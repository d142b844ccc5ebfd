#include "tests/network/support/TestNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace tavlo::testnet {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Exit status of scripts/testnet when networks cannot be made here.
constexpr int kExitUnavailable = 77;
constexpr auto kReadyTimeout = std::chrono::seconds(30);
constexpr auto kCommandTimeout = std::chrono::seconds(60);
constexpr const char* kReadyPrefix = "tavlo-clocksim: ready";
constexpr std::uint32_t kTestRange = 0xC6120000u;      // 198.18.0.0
constexpr std::uint32_t kTestRangeMask = 0xFFFE0000u;  // /15
constexpr std::size_t kReadChunk = 4096;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// The driver of an interface ("veth" for a veth), empty when it cannot be asked.
std::string DriverOf(const std::string& ifname) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return {};
    }
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request{};
    std::strncpy(request.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
    request.ifr_data = reinterpret_cast<char*>(&info);
    std::string driver;
    if (::ioctl(fd, SIOCETHTOOL, &request) == 0) {
        driver.assign(info.driver, strnlen(info.driver, sizeof info.driver));
    }
    ::close(fd);
    return driver;
}

// Runs a program to its end, collecting standard output and error together.
int RunCommand(const std::vector<std::string>& argv, std::string& output) {
    std::string error;
    auto child = ChildProcess::Start(argv, "", error, true);
    if (!child) {
        output = error;
        return -1;
    }
    output = child->ReadAll(kCommandTimeout);
    auto status = child->Wait(kCommandTimeout);
    if (!status) {
        return child->Stop(SIGKILL, milliseconds(1000));
    }
    return *status;
}

std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::ostringstream name;
    name << "gt-" << ::getpid() << '-' << counter++ << '-' << std::hex << (device() & 0xFFFFu);
    return name.str();
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string IsolationProblem() {
    // if_nameindex and getifaddrs ask the kernel over sockets, which belong to the calling
    // thread's namespace (unlike /sys or /proc/self, which may show another one).
    struct if_nameindex* names = ::if_nameindex();
    if (names == nullptr) {
        return ErrnoText("cannot list network interfaces");
    }
    std::vector<std::string> veths;
    std::vector<std::string> others;
    for (struct if_nameindex* entry = names; entry->if_index != 0 && entry->if_name != nullptr;
         ++entry) {
        std::string name = entry->if_name;
        if (name == "lo") {
            continue;
        }
        (DriverOf(name) == "veth" ? veths : others).push_back(name);
    }
    ::if_freenameindex(names);
    if (!others.empty() || veths.empty()) {
        std::string text = "refusing to send: this network namespace must hold only lo and veths;";
        text += " veth:";
        for (const auto& name : veths) {
            text += " " + name;
        }
        text += "; other:";
        for (const auto& name : others) {
            text += " " + name;
        }
        return text;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return ErrnoText("cannot list addresses");
    }
    std::string problem;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            std::find(veths.begin(), veths.end(), entry->ifa_name) == veths.end()) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        if ((ntohl(address.sin_addr.s_addr) & kTestRangeMask) != kTestRange) {
            problem = std::string("refusing to send: ") + entry->ifa_name + " has the address " +
                      inet_ntoa(address.sin_addr) + " outside 198.18.0.0/15";
            break;
        }
    }
    ::freeifaddrs(list);
    return problem;
}

// ---- ChildProcess ----------------------------------------------------------------------

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                  const std::string& netnsPath, std::string& error,
                                                  bool captureStderr) {
    if (argv.empty()) {
        error = "no program given";
        return nullptr;
    }
    int nsFd = -1;
    if (!netnsPath.empty()) {
        nsFd = ::open(netnsPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0) {
            error = ErrnoText(("cannot open namespace " + netnsPath).c_str());
            return nullptr;
        }
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = ErrnoText("pipe");
        if (nsFd >= 0) {
            ::close(nsFd);
        }
        return nullptr;
    }
    // Everything the child needs is prepared before fork: it only calls setns, dup2, execv.
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        error = ErrnoText("fork");
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (nsFd >= 0) {
            ::close(nsFd);
        }
        return nullptr;
    }
    if (pid == 0) {
        if (nsFd >= 0 && ::setns(nsFd, CLONE_NEWNET) != 0) {
            ::_exit(126);
        }
        ::dup2(pipeFds[1], STDOUT_FILENO);
        if (captureStderr) {
            ::dup2(pipeFds[1], STDERR_FILENO);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (nsFd >= 0) {
        ::close(nsFd);
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pipeFds[0]));
}

ChildProcess::~ChildProcess() {
    if (!status_) {
        Stop(SIGTERM, milliseconds(5000));
    }
    if (out_ >= 0) {
        ::close(out_);
    }
}

bool ChildProcess::FillBuffer(milliseconds timeout) {
    if (outputEnded_) {
        return false;
    }
    pollfd waitFor{out_, POLLIN, 0};
    int ready = ::poll(&waitFor, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return false;
    }
    std::array<char, kReadChunk> chunk{};
    ssize_t got = ::read(out_, chunk.data(), chunk.size());
    if (got <= 0) {
        outputEnded_ = true;
        return false;
    }
    buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !FillBuffer(left)) {
            if (outputEnded_ || Clock::now() >= deadline) {
                return std::nullopt;
            }
        }
    }
}

std::string ChildProcess::ReadAll(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!outputEnded_) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        FillBuffer(left);
    }
    std::string all;
    all.swap(buffer_);
    return all;
}

std::optional<int> ChildProcess::Wait(milliseconds timeout) {
    if (status_) {
        return status_;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int raw = 0;
        pid_t done = ::waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return status_;
        }
        if (done < 0) {
            status_ = -1;
            return status_;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

int ChildProcess::Stop(int signal, milliseconds timeout) {
    if (status_) {
        return *status_;
    }
    ::kill(pid_, signal);
    if (auto status = Wait(timeout)) {
        return *status;
    }
    ::kill(pid_, SIGKILL);
    return Wait(milliseconds(5000)).value_or(-1);
}

// ---- TestNetwork -----------------------------------------------------------------------

std::string TestNetwork::ScriptPath() {
    return TAVLO_TESTNET_SCRIPT;
}
std::string TestNetwork::SimulatorPath() {
    return TAVLO_CLOCKSIM_PATH;
}

TestNetwork::Made TestNetwork::Create(int clocks, NetworkLayout layout) {
    Made made;
    std::string output;
    int status = RunCommand({"/bin/bash", ScriptPath(), "check"}, output);
    if (status != 0) {
        made.skipped = status == kExitUnavailable;
        made.message = "test network unavailable: " + Trim(output);
        return made;
    }
    auto network = std::unique_ptr<TestNetwork>(new TestNetwork(UniqueName()));
    status = RunCommand({"/bin/bash", ScriptPath(), "up", network->name_, "--clocks",
                         std::to_string(clocks), "--second", std::to_string(layout.secondClocks),
                         "--routed", std::to_string(layout.routedClocks)},
                        output);
    if (status != 0) {
        made.skipped = status == kExitUnavailable;
        made.message = "cannot make the test network: " + Trim(output);
        network->name_.clear();  // nothing to remove
        return made;
    }
    status = RunCommand({"/bin/bash", ScriptPath(), "addresses", std::to_string(clocks)}, output);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            network->clockAddresses_.push_back(line);
        }
    }
    const auto addressesOf = [](const std::string& command, int count) {
        std::string text;
        RunCommand({"/bin/bash", ScriptPath(), command, std::to_string(count)}, text);
        std::vector<std::string> addresses;
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            addresses.push_back(word);
        }
        return addresses;
    };
    network->secondAddresses_ = addressesOf("second-addresses", layout.secondClocks);
    network->routedAddresses_ = addressesOf("routed-addresses", layout.routedClocks);
    made.network = std::move(network);
    return made;
}

TestNetwork::~TestNetwork() {
    LeavePc();
    if (!name_.empty()) {
        std::string output;
        RunCommand({"/bin/bash", ScriptPath(), "down", name_}, output);
    }
}

std::string TestNetwork::NamespacePath(Side side) const {
    switch (side) {
        case Side::kPc:
            return "/run/netns/" + name_ + "-pc";
        case Side::kClocks:
            break;
        case Side::kSecondClocks:
            return "/run/netns/" + name_ + "-clocks2";
        case Side::kRoutedClocks:
            return "/run/netns/" + name_ + "-far";
    }
    return "/run/netns/" + name_ + "-clocks";
}

std::string TestNetwork::Enter(Side side) {
    if (homeNamespace_ < 0) {
        homeNamespace_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (homeNamespace_ < 0) {
            return ErrnoText("cannot open this thread's namespace");
        }
    }
    int target = ::open(NamespacePath(side).c_str(), O_RDONLY | O_CLOEXEC);
    if (target < 0) {
        return ErrnoText(("cannot open " + NamespacePath(side)).c_str());
    }
    int entered = ::setns(target, CLONE_NEWNET);
    ::close(target);
    if (entered != 0) {
        return ErrnoText(("cannot enter " + NamespacePath(side)).c_str());
    }
    std::string problem = IsolationProblem();
    if (!problem.empty()) {
        LeavePc();
    }
    return problem;
}

void TestNetwork::LeavePc() {
    if (homeNamespace_ >= 0) {
        ::setns(homeNamespace_, CLONE_NEWNET);
        ::close(homeNamespace_);
        homeNamespace_ = -1;
    }
}

std::unique_ptr<ChildProcess> TestNetwork::Start(Side side, const std::vector<std::string>& argv,
                                                 std::string& error) {
    return ChildProcess::Start(argv, NamespacePath(side), error);
}

std::unique_ptr<ClockSimulator> TestNetwork::StartSimulator(
    const std::vector<std::string>& arguments, std::string& error, Side side) {
    std::vector<std::string> argv{SimulatorPath()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto process = Start(side, argv, error);
    if (!process) {
        return nullptr;
    }
    const auto deadline = Clock::now() + kReadyTimeout;
    while (Clock::now() < deadline) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        auto line = process->ReadLine(left);
        if (!line) {
            break;
        }
        if (line->rfind(kReadyPrefix, 0) == 0) {
            return std::make_unique<ClockSimulator>(std::move(process), *line);
        }
    }
    int status = process->Stop(SIGTERM, milliseconds(2000));
    error = "tavlo-clocksim did not get ready (exit status " + std::to_string(status) + ")";
    return nullptr;
}

// ---- TempDir and files -----------------------------------------------------------------

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tavlo::testnet
