// The TFTP side of the simulated clocks: a clock takes a firmware image by a TFTP write
// request whose file name is its own MAC address (six raw bytes), acknowledges the request
// plainly (no option acknowledgement) and takes the data blocks lock-step.
//
// TftpServer is the protocol alone (datagrams in, replies out); TftpService runs it on a UDP
// socket bound to port 69 of every address, answering from the addressed clock's own address.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/MacLookup.h"
#include "platform/Network.h"

namespace CLI {
class App;
}

namespace tavlo::clocksim {

using platform::Endpoint;
using platform::Ipv4;
using platform::MacAddress;

inline constexpr std::uint16_t kTftpPort = 69;
inline constexpr std::size_t kTftpBlockSize = 512;
// A clock's flash holds at most 65535 blocks.
inline constexpr std::size_t kMaxImageSize = 65535 * kTftpBlockSize - 1;
// Transfers remembered at once; the oldest is forgotten beyond this.
inline constexpr std::size_t kMaxTransfers = 256;

// Faults the simulated clocks can be told to show.
struct TftpFaults {
    int lossPercent = 0;                 // share (0-100) of datagrams lost, each way
    bool silent = false;                 // never answer
    int acknowledgeOlderEvery = 0;       // 0: off; N: block N, 2N, ... is answered once with the
                                         // acknowledgement of the block before it
    bool optionAcknowledgement = false;  // answer write requests with an option acknowledgement
    bool errorReply = false;             // answer write requests with an error packet
    std::uint16_t pauseAtBlock = 0;      // 0: off; N: block N (first time) makes the clock
    std::chrono::seconds pause{0};       // take and answer nothing of that transfer this long
                                         // (erasing its flash), then go on as before
    std::uint32_t seed = 1;              // for the loss draws
    std::vector<Ipv4> faultyClocks;      // the clocks the faults above hit; empty: every clock

    bool Hit(Ipv4 clock) const;
};

struct ReceivedImage {
    Ipv4 clock = 0;
    MacAddress mac{};
    std::vector<std::uint8_t> bytes;
    int duplicates = 0;  // data blocks that arrived again and were acknowledged again
};

struct TftpReply {
    Ipv4 from = 0;  // the clock answering (port 69)
    Endpoint to;
    std::vector<std::uint8_t> bytes;
};

class TftpServer {
  public:
    using ImageHandler = std::function<void(const ReceivedImage&)>;
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    // `now` tells the time for the pause fault.
    TftpServer(TftpFaults faults, ImageHandler onImage, Now now = std::chrono::steady_clock::now);

    void AddClock(Ipv4 address, const MacAddress& mac);
    // A second name a clock answers to in unicast requests: the hardware address of the
    // interface its address lives on, which is what the neighbour table tells the tool.
    void AddAlias(Ipv4 address, const MacAddress& mac);

    // A datagram that arrived on port 69 from `from`, addressed to `to` (a clock's address,
    // or a broadcast address: then every clock sees it). Returns the replies to send.
    std::vector<TftpReply> OnDatagram(Ipv4 to, Endpoint from, std::span<const std::uint8_t> data);

  private:
    struct Transfer {
        std::uint16_t lastBlock = 0;  // last block taken (0: only the request so far)
        bool complete = false;
        std::uint16_t askedAgain = 0;    // block already answered with an older acknowledgement
        std::uint64_t expectedSize = 0;  // tsize, 0 when not given
        ReceivedImage image;
        std::uint64_t age = 0;
        std::optional<std::chrono::steady_clock::time_point> pausedUntil;
    };
    using TransferKey = std::tuple<Ipv4, Ipv4, std::uint16_t>;  // clock, peer address, port

    struct Clock {
        Ipv4 address = 0;
        MacAddress mac{};
        std::optional<MacAddress> alias;
    };

    void OnClockDatagram(const Clock& clock, bool broadcast, Endpoint from,
                         std::span<const std::uint8_t> data, std::vector<TftpReply>& replies);
    void OnWriteRequest(const Clock& clock, bool broadcast, Endpoint from,
                        std::span<const std::uint8_t> data, std::vector<TftpReply>& replies);
    void OnData(Ipv4 clock, bool broadcast, Endpoint from, std::span<const std::uint8_t> data,
                std::vector<TftpReply>& replies);
    void Send(Ipv4 clock, Endpoint to, std::vector<std::uint8_t> bytes,
              std::vector<TftpReply>& replies);
    bool Lost();
    // The pause fault: true while the transfer takes nothing (it starts at its block).
    bool Paused(Ipv4 clock, Transfer& transfer, std::uint16_t block);
    void ForgetOldest();

    TftpFaults faults_;
    ImageHandler onImage_;
    Now now_;
    std::vector<Clock> clocks_;
    std::map<TransferKey, Transfer> transfers_;
    std::uint64_t clock_ = 0;
    std::mt19937 random_;
};

// Packets the server builds, exposed for tests.
std::vector<std::uint8_t> MakeAcknowledgement(std::uint16_t block);
std::vector<std::uint8_t> MakeError(std::uint16_t code, const std::string& text);

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

// "tftp 198.18.0.10 00-00-5E-00-53-0A received 700 bytes sha256 <hex>".
std::string DescribeImage(const ReceivedImage& image);

// The server on a real socket: UDP port 69 on every address, each reply leaving from the
// addressed clock's own address. Images are reported on `log` (one line each) and, when
// `storePath` is not empty, written there ("{mac}" and "{addr}" in it are replaced by the
// clock's; the file appears whole, by rename). Runs on its own thread until destroyed.
// Many transfers at once share that thread: datagrams queued together are taken and answered
// with one system call each way, and finished images are hashed and written on a second
// thread, so one clock's image never holds up the blocks of the others.
class TftpService {
  public:
    TftpService(TftpFaults faults, std::string storePath, std::function<void(std::string)> log);
    ~TftpService();
    TftpService(const TftpService&) = delete;
    TftpService& operator=(const TftpService&) = delete;

    // Also registers the hardware address of the interface holding `address` (when this
    // machine has it) as the clock's alias.
    void AddClock(Ipv4 address, const MacAddress& mac);
    // Binds the socket and starts the thread; false and `error` when the port cannot be had.
    bool Start(std::string& error);

  private:
    void Loop();
    void SendReplies(const std::vector<TftpReply>& replies);
    void WriteImages();
    void Store(const ReceivedImage& image);

    TftpServer server_;
    std::string storePath_;
    std::function<void(std::string)> log_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    // Images waiting for the writer thread; it drains them before the service ends.
    std::mutex imagesMutex_;
    std::condition_variable imagesWaiting_;
    std::deque<ReceivedImage> images_;
    bool closing_ = false;
    std::thread writer_;
};

// What the simulator's command line says about TFTP.
struct TftpSettings {
    bool enabled = true;
    TftpFaults faults;
    std::string storePath;
};

// Adds the TFTP options (--tftp-..., --no-tftp) and their notes to the simulator's command
// line; a bad value is refused with a one-line message.
void AddTftpOptions(CLI::App& app, TftpSettings& settings);

}  // namespace tavlo::clocksim
