#include "tools/clocksim-tftp/TftpServer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <nettle/base16.h>
#include <nettle/sha2.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

#include "firmware/TftpPacket.h"
#include "tools/common/AddressList.h"

namespace tavlo::clocksim {
namespace {

using firmware::ReadBe16;
using firmware::TftpOpcode;
using firmware::WriteBe16;

constexpr std::size_t kMacOffset = firmware::kRequestFileNameOffset;
constexpr std::size_t kMacEnd = kMacOffset + firmware::kRequestFileNameSize;  // the 0 byte
constexpr std::size_t kErrorTextOffset = 4;
constexpr std::uint16_t kErrorNotDefined = 0;
constexpr std::uint16_t kErrorFileNotFound = 1;
constexpr std::uint16_t kErrorDiskFull = 3;
constexpr std::uint16_t kErrorUnknownTransfer = 5;
constexpr int kPercent = 100;
constexpr std::size_t kMaxDatagram = 2048;
constexpr int kPollMs = 100;
// Datagrams taken from the socket with one system call while transfers keep it busy.
constexpr std::size_t kReceiveBatch = 32;
constexpr std::uint8_t kBroadcastOctet = 255;
constexpr std::size_t kLastOctetIndex = 3;

bool IsBroadcast(Ipv4 to) {
    std::array<std::uint8_t, sizeof to> bytes{};
    std::memcpy(bytes.data(), &to, sizeof to);
    return bytes[kLastOctetIndex] == kBroadcastOctet;
}

std::string Dotted(Ipv4 address) {
    in_addr in{};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

// NUL-terminated texts after the file name: mode, then option names and values.
std::vector<std::string> RequestTexts(std::span<const std::uint8_t> data) {
    std::vector<std::string> texts;
    std::string current;
    for (std::size_t i = kMacEnd + 1; i < data.size(); ++i) {
        if (data[i] == 0) {
            texts.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    return texts;
}

// The hardware address of the interface that holds `address`, when this machine has one.
std::optional<MacAddress> InterfaceMacOf(Ipv4 address) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::string name;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            sockaddr_in in{};
            std::memcpy(&in, entry->ifa_addr, sizeof in);
            if (in.sin_addr.s_addr == address) {
                name = entry->ifa_name;
            }
        }
    }
    std::optional<MacAddress> mac;
    for (ifaddrs* entry = list; entry != nullptr && !name.empty(); entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_PACKET &&
            name == entry->ifa_name) {
            sockaddr_ll link{};
            std::memcpy(&link, entry->ifa_addr, sizeof link);
            if (link.sll_halen == std::tuple_size_v<MacAddress>) {
                MacAddress found{};
                std::copy(link.sll_addr, link.sll_addr + found.size(), found.begin());
                mac = found;
            }
        }
    }
    ::freeifaddrs(list);
    return mac;
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
        text.replace(at, key.size(), value);
        at += value.size();
    }
    return text;
}

}  // namespace

std::vector<std::uint8_t> MakeAcknowledgement(std::uint16_t block) {
    std::vector<std::uint8_t> packet(firmware::kAcknowledgementSize);
    WriteBe16(packet, firmware::kOpcodeOffset,
              static_cast<std::uint16_t>(TftpOpcode::kAcknowledgement));
    WriteBe16(packet, firmware::kBlockNumberOffset, block);
    return packet;
}

std::vector<std::uint8_t> MakeError(std::uint16_t code, const std::string& text) {
    std::vector<std::uint8_t> packet(kErrorTextOffset);
    WriteBe16(packet, firmware::kOpcodeOffset, static_cast<std::uint16_t>(TftpOpcode::kError));
    WriteBe16(packet, firmware::kBlockNumberOffset, code);
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
    return packet;
}

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    sha256_ctx context{};
    sha256_init(&context);
    sha256_update(&context, bytes.size(), bytes.data());
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context, digest.size(), digest.data());
    std::array<char, BASE16_ENCODE_LENGTH(SHA256_DIGEST_SIZE)> text{};
    base16_encode_update(text.data(), digest.size(), digest.data());
    return std::string(text.data(), text.size());
}

std::string DescribeImage(const ReceivedImage& image) {
    return "tftp " + Dotted(image.clock) + " " + firmware::FormatMacAddress(image.mac) +
           " received " + std::to_string(image.bytes.size()) + " bytes sha256 " +
           Sha256Hex(image.bytes);
}

TftpServer::TftpServer(TftpFaults faults, ImageHandler onImage, Now now)
    : faults_(faults), onImage_(std::move(onImage)), now_(std::move(now)), random_(faults.seed) {}

void TftpServer::AddClock(Ipv4 address, const MacAddress& mac) {
    clocks_.push_back(Clock{address, mac, std::nullopt});
}

void TftpServer::AddAlias(Ipv4 address, const MacAddress& mac) {
    for (Clock& clock : clocks_) {
        if (clock.address == address && clock.mac != mac) {
            clock.alias = mac;
        }
    }
}

bool TftpFaults::Hit(Ipv4 clock) const {
    return faultyClocks.empty() ||
           std::find(faultyClocks.begin(), faultyClocks.end(), clock) != faultyClocks.end();
}

bool TftpServer::Lost() {
    if (faults_.lossPercent <= 0) {
        return false;
    }
    std::uniform_int_distribution<int> draw(0, kPercent - 1);
    return draw(random_) < faults_.lossPercent;
}

void TftpServer::Send(Ipv4 clock, Endpoint to, std::vector<std::uint8_t> bytes,
                      std::vector<TftpReply>& replies) {
    if (faults_.Hit(clock) && (faults_.silent || Lost())) {
        return;
    }
    replies.push_back(TftpReply{clock, to, std::move(bytes)});
}

std::vector<TftpReply> TftpServer::OnDatagram(Ipv4 to, Endpoint from,
                                              std::span<const std::uint8_t> data) {
    std::vector<TftpReply> replies;
    const bool broadcast = IsBroadcast(to);
    for (const Clock& clock : clocks_) {
        if (clock.address == from.address) {
            continue;  // never our own datagrams
        }
        if ((broadcast || clock.address == to) && !(faults_.Hit(clock.address) && Lost())) {
            OnClockDatagram(clock, broadcast, from, data, replies);
        }
    }
    return replies;
}

void TftpServer::OnClockDatagram(const Clock& clock, bool broadcast, Endpoint from,
                                 std::span<const std::uint8_t> data,
                                 std::vector<TftpReply>& replies) {
    const auto head = firmware::ReadPacketHead(data);
    const std::uint16_t opcode =
        data.size() >= sizeof(std::uint16_t) ? ReadBe16(data, firmware::kOpcodeOffset) : 0;
    if (opcode == static_cast<std::uint16_t>(TftpOpcode::kWriteRequest)) {
        OnWriteRequest(clock, broadcast, from, data, replies);
    } else if (head && opcode == static_cast<std::uint16_t>(TftpOpcode::kData)) {
        OnData(clock.address, broadcast, from, data, replies);
    }
    // Anything else (read requests, stray acknowledgements, garbage) is ignored.
}

void TftpServer::OnWriteRequest(const Clock& target, bool broadcast, Endpoint from,
                                std::span<const std::uint8_t> data,
                                std::vector<TftpReply>& replies) {
    const Ipv4 clock = target.address;
    if (data.size() <= kMacEnd || data[kMacEnd] != 0) {
        return;  // malformed
    }
    MacAddress named{};
    std::copy(data.begin() + kMacOffset, data.begin() + kMacEnd, named.begin());
    if (named != target.mac && (broadcast || named != target.alias)) {
        if (!broadcast) {
            Send(clock, from, MakeError(kErrorFileNotFound, "Not this clock"), replies);
        }
        return;
    }
    const std::vector<std::string> texts = RequestTexts(data);
    if (texts.empty() || texts[0] != firmware::kTransferMode) {
        Send(clock, from, MakeError(kErrorNotDefined, "Only octet mode"), replies);
        return;
    }
    std::uint64_t size = 0;
    for (std::size_t i = 1; i + 1 < texts.size(); i += 2) {
        if (texts[i] == firmware::kTransferSizeOption) {
            try {
                size = std::stoull(texts[i + 1]);
            } catch (...) {
                size = 0;
            }
        }
    }
    if (faults_.errorReply && faults_.Hit(clock)) {
        Send(clock, from, MakeError(kErrorNotDefined, "Update refused"), replies);
        return;
    }
    if (faults_.optionAcknowledgement && faults_.Hit(clock)) {
        std::vector<std::uint8_t> packet(sizeof(std::uint16_t));
        WriteBe16(packet, firmware::kOpcodeOffset,
                  static_cast<std::uint16_t>(TftpOpcode::kOptionAcknowledgement));
        for (std::size_t i = 1; i < texts.size(); ++i) {
            packet.insert(packet.end(), texts[i].begin(), texts[i].end());
            packet.push_back(0);
        }
        Send(clock, from, std::move(packet), replies);
        return;
    }
    if (size > kMaxImageSize) {
        Send(clock, from, MakeError(kErrorDiskFull, "Image too large"), replies);
        return;
    }
    const TransferKey key{clock, from.address, from.port};
    auto found = transfers_.find(key);
    if (found == transfers_.end() || found->second.lastBlock != 0) {
        // A new transfer (or a fresh start after an earlier one from the same port).
        if (found == transfers_.end() && transfers_.size() >= kMaxTransfers) {
            ForgetOldest();
        }
        Transfer transfer;
        transfer.expectedSize = size;
        transfer.image.clock = clock;
        transfer.image.mac = named;
        transfer.age = ++clock_;
        transfers_[key] = std::move(transfer);
    }
    Send(clock, from, MakeAcknowledgement(0), replies);
}

void TftpServer::OnData(Ipv4 clock, bool broadcast, Endpoint from,
                        std::span<const std::uint8_t> data, std::vector<TftpReply>& replies) {
    const auto found = transfers_.find(TransferKey{clock, from.address, from.port});
    if (found == transfers_.end()) {
        if (!broadcast) {
            Send(clock, from, MakeError(kErrorUnknownTransfer, "Unknown transfer ID"), replies);
        }
        return;
    }
    Transfer& transfer = found->second;
    transfer.age = ++clock_;
    const std::uint16_t block = ReadBe16(data, firmware::kBlockNumberOffset);
    const auto payload = data.subspan(firmware::kDataOffset);
    if (payload.size() > kTftpBlockSize) {
        return;  // not a block of this transfer's size
    }
    if (Paused(clock, transfer, block)) {
        return;
    }
    if (block == transfer.lastBlock && block != 0) {
        ++transfer.image.duplicates;
        Send(clock, from, MakeAcknowledgement(block), replies);  // our acknowledgement was lost
        return;
    }
    if (transfer.complete || block != static_cast<std::uint16_t>(transfer.lastBlock + 1)) {
        return;
    }
    if (faults_.acknowledgeOlderEvery > 0 && block % faults_.acknowledgeOlderEvery == 0 &&
        transfer.askedAgain != block && faults_.Hit(clock)) {
        // Pretend the block went missing once: ask for it again by acknowledging the one
        // before it. It is taken when it comes again.
        transfer.askedAgain = block;
        Send(clock, from, MakeAcknowledgement(transfer.lastBlock), replies);
        return;
    }
    if (transfer.image.bytes.size() + payload.size() > kMaxImageSize) {
        Send(clock, from, MakeError(kErrorDiskFull, "Image too large"), replies);
        transfers_.erase(found);
        return;
    }
    transfer.image.bytes.insert(transfer.image.bytes.end(), payload.begin(), payload.end());
    transfer.lastBlock = block;
    Send(clock, from, MakeAcknowledgement(block), replies);
    if (payload.size() < kTftpBlockSize) {
        transfer.complete = true;
        if (onImage_) {
            onImage_(transfer.image);
        }
    }
}

bool TftpServer::Paused(Ipv4 clock, Transfer& transfer, std::uint16_t block) {
    if (transfer.pausedUntil) {
        return now_() < *transfer.pausedUntil;
    }
    if (faults_.pauseAtBlock == 0 || block != faults_.pauseAtBlock ||
        block != static_cast<std::uint16_t>(transfer.lastBlock + 1) || !faults_.Hit(clock)) {
        return false;
    }
    transfer.pausedUntil = now_() + faults_.pause;
    return true;
}

void TftpServer::ForgetOldest() {
    auto oldest = transfers_.begin();
    for (auto it = transfers_.begin(); it != transfers_.end(); ++it) {
        if (it->second.age < oldest->second.age) {
            oldest = it;
        }
    }
    if (oldest != transfers_.end()) {
        transfers_.erase(oldest);
    }
}

// ---------------------------------------------------------------------------------------

TftpService::TftpService(TftpFaults faults, std::string storePath,
                         std::function<void(std::string)> log)
    : server_(faults,
              [this](const ReceivedImage& image) {
                  {
                      std::lock_guard lock(imagesMutex_);
                      images_.push_back(image);
                  }
                  imagesWaiting_.notify_one();
              }),
      storePath_(std::move(storePath)),
      log_(std::move(log)) {}

TftpService::~TftpService() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        std::lock_guard lock(imagesMutex_);
        closing_ = true;
    }
    imagesWaiting_.notify_one();
    if (writer_.joinable()) {
        writer_.join();
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TftpService::AddClock(Ipv4 address, const MacAddress& mac) {
    server_.AddClock(address, mac);
    if (const auto hardware = InterfaceMacOf(address)) {
        server_.AddAlias(address, *hardware);
    }
}

bool TftpService::Start(std::string& error) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("tftp socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kTftpPort);
    local.sin_addr.s_addr = INADDR_ANY;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error = std::string("tftp port 69: ") + std::strerror(errno);
        return false;
    }
    writer_ = std::thread([this] { WriteImages(); });
    thread_ = std::thread([this] { Loop(); });
    return true;
}

namespace {

// One datagram of a recvmmsg or sendmmsg: the peer, the bytes, and room for the IP_PKTINFO
// that tells which of our addresses it came to or leaves from.
struct DatagramSlot {
    sockaddr_in peer{};
    iovec io{};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};

    void Describe(msghdr& header, std::uint8_t* bytes, std::size_t size) {
        io = iovec{bytes, size};
        header = msghdr{};
        header.msg_name = &peer;
        header.msg_namelen = sizeof peer;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control.data();
        header.msg_controllen = control.size();
    }
};

}  // namespace

void TftpService::Loop() {
    std::vector<std::array<std::uint8_t, kMaxDatagram>> buffers(kReceiveBatch);
    std::vector<DatagramSlot> slots(kReceiveBatch);
    std::vector<mmsghdr> messages(kReceiveBatch);
    std::vector<TftpReply> replies;
    while (!stop_.load()) {
        for (std::size_t i = 0; i < slots.size(); ++i) {
            slots[i].Describe(messages[i].msg_hdr, buffers[i].data(), buffers[i].size());
        }
        const int count = ::recvmmsg(fd_, messages.data(), static_cast<unsigned>(messages.size()),
                                     MSG_DONTWAIT, nullptr);
        if (count <= 0) {
            pollfd ready{fd_, POLLIN, 0};
            ::poll(&ready, 1, kPollMs);
            continue;
        }
        replies.clear();
        for (int i = 0; i < count; ++i) {
            const auto index = static_cast<std::size_t>(i);
            msghdr& header = messages[index].msg_hdr;
            if ((header.msg_flags & MSG_TRUNC) != 0) {
                continue;
            }
            Ipv4 to = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    in_pktinfo info{};
                    std::memcpy(&info, CMSG_DATA(c), sizeof info);
                    to = info.ipi_addr.s_addr;
                }
            }
            const sockaddr_in& peer = slots[index].peer;
            const Endpoint from{peer.sin_addr.s_addr, ntohs(peer.sin_port)};
            for (TftpReply& reply : server_.OnDatagram(
                     to, from, std::span(buffers[index].data(), messages[index].msg_len))) {
                replies.push_back(std::move(reply));
            }
        }
        SendReplies(replies);
    }
}

void TftpService::SendReplies(const std::vector<TftpReply>& replies) {
    std::vector<DatagramSlot> slots(replies.size());
    std::vector<mmsghdr> messages(replies.size());
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const TftpReply& reply = replies[i];
        DatagramSlot& slot = slots[i];
        slot.peer.sin_family = AF_INET;
        slot.peer.sin_port = htons(reply.to.port);
        slot.peer.sin_addr.s_addr = reply.to.address;
        msghdr& header = messages[i].msg_hdr;
        slot.Describe(header, const_cast<std::uint8_t*>(reply.bytes.data()), reply.bytes.size());
        // Each reply leaves from the clock's own address.
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = reply.from;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    // A reply the socket refuses is lost, as on a real network; the ones after it still go.
    std::size_t done = 0;
    while (done < messages.size()) {
        const int sent = ::sendmmsg(fd_, messages.data() + done,
                                    static_cast<unsigned>(messages.size() - done), 0);
        done += sent > 0 ? static_cast<std::size_t>(sent) : 1;
    }
}

void TftpService::WriteImages() {
    for (;;) {
        std::unique_lock lock(imagesMutex_);
        imagesWaiting_.wait(lock, [this] { return closing_ || !images_.empty(); });
        if (images_.empty()) {
            return;  // closing, and every image written
        }
        const ReceivedImage image = std::move(images_.front());
        images_.pop_front();
        lock.unlock();
        Store(image);
    }
}

void TftpService::Store(const ReceivedImage& image) {
    if (log_) {
        log_(DescribeImage(image));
    }
    if (storePath_.empty()) {
        return;
    }
    std::string path = Replace(storePath_, "{mac}", firmware::FormatMacAddress(image.mac));
    path = Replace(path, "{addr}", Dotted(image.clock));
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.bytes.data()),
                  static_cast<std::streamsize>(image.bytes.size()));
        if (!out) {
            if (log_) {
                log_("tftp cannot write " + partial);
            }
            return;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error && log_) {
        log_("tftp cannot write " + path + ": " + error.message());
    }
}

// ---------------------------------------------------------------------------------------

namespace {

constexpr int kMaxAcknowledgeOlderEvery = 65535;
constexpr int kMaxBlock = 65535;
constexpr int kMaxPauseSeconds = 3600;

// A whole number from `low` to `high` that is all of `text`.
std::optional<int> WholeNumber(const std::string& text, int low, int high) {
    try {
        std::size_t used = 0;
        const long parsed = std::stol(text, &used);
        if (used == text.size() && parsed >= low && parsed <= high) {
            return static_cast<int>(parsed);
        }
    } catch (const std::logic_error&) {
    }
    return std::nullopt;
}

// "BLOCK:SECONDS" of --tftp-pause-at.
std::optional<std::pair<std::uint16_t, std::chrono::seconds>> ParsePause(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const auto block = WholeNumber(text.substr(0, colon), 1, kMaxBlock);
    const auto seconds = WholeNumber(text.substr(colon + 1), 1, kMaxPauseSeconds);
    if (!block || !seconds) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::uint16_t>(*block), std::chrono::seconds(*seconds)};
}
constexpr const char* kTftpGroup = "TFTP (firmware updates of wired clocks, UDP port 69)";
constexpr const char* kTftpNotes =
    R"(TFTP needs root or CAP_NET_BIND_SERVICE; without it the clocks run on without TFTP. A
wired clock takes a TFTP write request whose file name is its MAC address (six raw bytes),
acknowledges it plainly and takes 512-byte blocks one at a time. Each image it receives is
reported as one line:
  tftp 198.18.0.10 02-54-56-00-00-0A received 700 bytes sha256 <digest>)";

// A whole-number option from `low` to `high`; a bad value is refused with `what` it takes.
void AddBoundedInteger(CLI::App& app, const std::string& name, const std::string& type,
                       const std::string& help, int low, int high, const std::string& what,
                       const std::function<void(int)>& set) {
    app.add_option_function<std::string>(
           name,
           [=](const std::string& text) {
               if (const auto value = WholeNumber(text, low, high)) {
                   set(*value);
                   return;
               }
               throw CLI::ValidationError(name + " takes " + what + ", not '" + text + "'");
           },
           help)
        ->type_name(type)
        ->group(kTftpGroup);
}

}  // namespace

void AddTftpOptions(CLI::App& app, TftpSettings& settings) {
    app.add_option("--tftp-store", settings.storePath,
                   "also write each image to PATH (\"{mac}\" and \"{addr}\" in PATH become\n"
                   "the clock's MAC address and address)")
        ->type_name("PATH")
        ->group(kTftpGroup);
    AddBoundedInteger(app, "--tftp-loss", "PERCENT",
                      "lose this share of TFTP datagrams, in each direction", 0, kPercent,
                      "a percentage from 0 to 100",
                      [&settings](int percent) { settings.faults.lossPercent = percent; });
    AddBoundedInteger(app, "--tftp-ack-older", "N",
                      "answer blocks N, 2N, 3N, ... once with the acknowledgement of the\n"
                      "block before, so the tool sends them again",
                      1, kMaxAcknowledgeOlderEvery, "a block count from 1 to 65535",
                      [&settings](int every) { settings.faults.acknowledgeOlderEvery = every; });
    app.add_option_function<std::string>(
           "--tftp-pause-at",
           [&settings](const std::string& text) {
               const auto pause = ParsePause(text);
               if (!pause) {
                   throw CLI::ValidationError(
                       "--tftp-pause-at takes BLOCK:SECONDS (a block from 1 to 65535, "
                       "seconds from 1 to " +
                       std::to_string(kMaxPauseSeconds) + "), not '" + text + "'");
               }
               settings.faults.pauseAtBlock = pause->first;
               settings.faults.pause = pause->second;
           },
           "when block BLOCK first comes, take and answer nothing of that\n"
           "transfer for SECONDS (a clock erasing its flash), then go on")
        ->type_name("BLOCK:SECONDS")
        ->group(kTftpGroup);
    app.add_flag("--tftp-silent", settings.faults.silent, "take nothing, answer nothing")
        ->group(kTftpGroup);
    app.add_flag("--tftp-oack", settings.faults.optionAcknowledgement,
                 "answer write requests with an option acknowledgement")
        ->group(kTftpGroup);
    app.add_flag("--tftp-error", settings.faults.errorReply,
                 "answer write requests with an error packet")
        ->group(kTftpGroup);
    AddBoundedInteger(app, "--tftp-seed", "N", "seed for the loss draws (default 1)", 0,
                      std::numeric_limits<int>::max(), "a number", [&settings](int seed) {
                          settings.faults.seed = static_cast<std::uint32_t>(seed);
                      });
    app.add_option_function<std::string>(
           "--tftp-faulty",
           [&settings](const std::string& text) {
               std::string error;
               auto clocks = common::ParseAddressList(text, error);
               if (!clocks) {
                   throw CLI::ValidationError("--tftp-faulty: " + error);
               }
               settings.faults.faultyClocks = std::move(*clocks);
           },
           "the --tftp-... faults hit only the clocks in RANGE (default: every\n"
           "clock), so one clock of a group can fail its update")
        ->type_name("RANGE")
        ->group(kTftpGroup);
    app.add_flag_callback(
           "--no-tftp", [&settings] { settings.enabled = false; }, "no TFTP at all")
        ->group(kTftpGroup);
    app.footer(app.get_footer() + "\n\n" + kTftpNotes);
}

}  // namespace tavlo::clocksim
