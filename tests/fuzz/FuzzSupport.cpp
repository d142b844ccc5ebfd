#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tools/tavlo/RecordFormat.h"
#include "wifi/WifiSettings.h"

namespace tavlo::fuzz {
namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr std::uint32_t kLineNonce = 0x41;
constexpr std::chrono::milliseconds kReplyDelay{1};

// A text read from a fixed-width field: at most the field's width, never a NUL inside.
bool FitsField(const std::string& text, std::size_t fieldSize) {
    return text.size() <= fieldSize && text.find('\0') == std::string::npos;
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < kFirstPrintable; });
}

// JSON on one line and aligned text, the secret fields included (leaving them out only drops
// whole fields).
void CheckPrinted(const std::vector<settings::FieldText>& fields) {
    constexpr bool kWithSecrets = true;
    std::ostringstream json;
    cli::PrintFieldsJson(json, fields, kWithSecrets);
    const std::string line = json.str();
    FUZZ_CHECK(line.size() >= 3 && line.front() == '{' && line.substr(line.size() - 2) == "}\n");
    FUZZ_CHECK(IsValidUtf8(line));
    FUZZ_CHECK(!HasControlCharacter(std::string_view(line).substr(0, line.size() - 1)));
    FUZZ_CHECK(nlohmann::json::accept(line));

    std::ostringstream text;
    cli::PrintFieldsText(text, fields, kWithSecrets);
    std::istringstream lines(text.str());
    std::string one;
    while (std::getline(lines, one)) {
        FUZZ_CHECK(!HasControlCharacter(one));
    }
    for (const auto& field : fields) {
        FUZZ_CHECK(IsValidUtf8(field.value));
    }
}

void CheckWifiFields(const protocol::SettingsFrame& frame) {
    const wifi::ConstWifiSettings received(frame);
    FUZZ_CHECK(FitsField(received.ssid(), wifi::kSsidSize));
    FUZZ_CHECK(FitsField(received.password(), wifi::kPasswordSize));

    // What the WIFI page takes from the record and hands back for a write.
    wifi::WifiRequest request;
    request.password = received.password();
    request.associationEdited = true;
    request.ssid = received.ssid();
    request.cipherEntry = std::string(wifi::CipherEntry(received.cipherCode()).value_or(""));
    request.authenticationEntry =
        std::string(wifi::AuthenticationEntry(received.authenticationCode()).value_or(""));
    protocol::SettingsFrame stored{};
    wifi::StoreWifiRequest(stored, request);
    const wifi::ConstWifiSettings back(stored);
    FUZZ_CHECK(back.ssid() == received.ssid());
    FUZZ_CHECK(back.password() == received.password());
    FUZZ_CHECK(back.ssidLength() == received.ssid().size());
    FUZZ_CHECK(back.passwordLength() == received.password().size());
    if (!request.cipherEntry.empty()) {
        FUZZ_CHECK(back.cipherCode() == received.cipherCode());
    }
    if (!request.authenticationEntry.empty()) {
        FUZZ_CHECK(back.authenticationCode() == received.authenticationCode());
    }
}

}  // namespace

void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

std::uint8_t Input::Byte() {
    return empty() ? 0 : bytes_[next_++];
}

std::uint16_t Input::Word() {
    const std::uint8_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
}

std::span<const std::uint8_t> Input::Take(std::size_t count) {
    const std::size_t n = std::min(count, left());
    const auto piece = bytes_.subspan(next_, n);
    next_ += n;
    return piece;
}

std::span<const std::uint8_t> Input::Piece() {
    return Take(Byte());
}

FakeClockLine::FakeClockLine(std::vector<std::vector<std::uint8_t>> replies)
    : pc(platform::MakeIpv4(198, 18, 0, 1)),
      clock(platform::MakeIpv4(198, 18, 0, 10)),
      nonce(kLineNonce),
      exchanges(net, state, nonce) {
    net.setLocalAddresses({pc});
    state.LocalAddressList = {pc};
    state.settingsFrame[protocol::kFlagsOffset] = protocol::kFlagCarriedOut;
    state.settingsFrame[protocol::kFrameTypeOffset] =
        protocol::ToByte(protocol::FrameType::kReadSettings);
    net.addPeer(clock, [from = clock, replies = std::move(replies)](
                           const test::SentDatagram& request, test::FakeNetwork& n) {
        for (const auto& reply : replies) {
            n.reply(request, from, reply, kReplyDelay);
        }
    });
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            const unsigned char from = k == 1 ? low : 0x80;
            const unsigned char to = k == 1 ? high : 0xBF;
            if (c < from || c > to) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

void CheckSettingsRecord(const protocol::SettingsFrame& frame) {
    const settings::ConstClockSettings received(frame);
    FUZZ_CHECK(FitsField(received.serialNumber(), settings::kSerialNumberSize));
    FUZZ_CHECK(FitsField(received.userPassword(), settings::kPasswordSize));
    FUZZ_CHECK(FitsField(received.globalPassword(), settings::kPasswordSize));
    FUZZ_CHECK(FitsField(received.displayText(), settings::kDisplayTextSize));
    FUZZ_CHECK(FitsField(received.mailSenderName(), settings::kMailSenderNameSize));
    FUZZ_CHECK(FitsField(received.mailSenderDomain(), settings::kMailSenderDomainSize));
    FUZZ_CHECK(FitsField(received.mailSendTo(), settings::kMailSendToSize));
    FUZZ_CHECK(FitsField(received.mailCopyTo(), settings::kMailCopyToSize));
    for (std::size_t i = 0; i < settings::kDomainNameRowCount; ++i) {
        FUZZ_CHECK(FitsField(received.domainName(i), settings::kDomainNameSize));
    }
    for (std::size_t i = 0; i <= settings::kTimeServerRowCount; ++i) {
        FUZZ_CHECK(FitsField(received.timeServerRow(i).key, settings::kRowKeySize));
    }

    // What the Basic page loads from the record stores back to the same entries.
    const settings::TimeServerTable servers = settings::LoadTimeServers(received);
    const std::optional<settings::DstRule> dst = settings::LoadDst(received);
    protocol::SettingsFrame stored{};
    const settings::ClockSettings out(stored);
    settings::StoreTimeServers(out, servers);
    settings::StoreDst(out, dst);
    FUZZ_CHECK(settings::LoadTimeServers(out) == servers);
    FUZZ_CHECK(settings::LoadDst(out) == dst);

    CheckWifiFields(frame);
    CheckPrinted(cli::ClockReplyFields(frame));
}

void CheckEarlyRecord(const protocol::CommandFrame& frame) {
    const settings::ConstEarlyClockSettings received(frame);
    FUZZ_CHECK(FitsField(received.serialNumber(), settings::early::kSerialNumberSize));
    CheckPrinted(cli::EarlyReplyFields(frame));
}

}  // namespace tavlo::fuzz
