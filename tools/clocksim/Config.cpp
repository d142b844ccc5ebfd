#include "tools/clocksim/Config.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <utility>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tools/common/Json.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using json::Json;
using platform::Ipv4;

constexpr int kMaxDelayMs = 60000;
constexpr int kMinBufferBytes = 64 * 1024;
constexpr int kMaxBufferBytes = 256 * 1024 * 1024;
constexpr std::size_t kMacSize = 6;
constexpr unsigned kMaxByte = 255;
constexpr unsigned kMaxU16 = 65535;
constexpr unsigned kMaxBrightnessCode = 7;
constexpr unsigned kMaxTextMode = settings::kMaxAlternateSeconds;
constexpr unsigned kMaxHumitureUnit = 2;
constexpr unsigned kMaxWeek = 6;
constexpr unsigned kMaxWeekday = 7;
constexpr unsigned kMaxMonth = 12;
constexpr std::size_t kMaxEarlySerial = settings::early::kMaxSerialNumberLength;
constexpr std::size_t kMaxWifiSsid = wifi::kSsidSize;
constexpr std::size_t kMaxWifiPassword = wifi::kPasswordSize;
constexpr long long kMaxIgnoreFirst = 1000000;
constexpr long long kMaxFloodPerSecond = 100000;
constexpr long long kMaxSeed = 0xFFFFFFFFLL;
constexpr std::size_t kHelpColumn = 22;

constexpr const char* kClocksGroup = "Clocks";
constexpr const char* kFaultsGroup =
    "Faults (for every clock; a clock file can set them per clock)";
constexpr const char* kOtherGroup = "Other options";

constexpr const char* kDescription =
    R"(Plays any number of network wall clocks on this machine, for tests, demonstrations and
trying TavloAdmin without hardware. Every clock answers discovery, reads and writes as a
real clock does, from its own IPv4 address. One process serves all clocks: it listens on
UDP 6866 and 6869 of every address and replies from the address that was asked (or, for
a broadcast, from the address of every clock of the kind asked).

Each clock address must be an address of this machine (or of the network namespace the
simulator runs in). The test network does that for you:

  sudo scripts/testnet up demo --clocks 6
  sudo scripts/testnet exec demo clocks tavlo-clocksim \
       --wired 198.18.0.10-12 --wifi 198.18.0.13-14 --early 198.18.0.15
  sudo scripts/testnet exec demo pc tavlo search    # in another terminal
  sudo scripts/testnet down demo

On a real Linux machine, give it spare addresses first, for example
  sudo ip addr add 10.1.2.50/24 dev eth0
)";

constexpr const char* kFooter =
    R"(RANGE is an address (198.18.0.10), a range (198.18.0.10-198.18.0.14, or 198.18.0.10-14),
or a comma list of these, each number written without leading zeros. Options may be
repeated and mixed; at most 4096 clocks, and no two at one address.

Every clock starts with plausible settings: serial number "SN" and four digits from its
address (198.18.0.10 is SN0010), MAC 02:54:56:00 and the address's last two numbers,
version 3.29, user password "omber", global password "tarnfelk", gateway and DNS at .1 of
its network, NTP servers at .2 and .3 (port 123; the second with key ID 1), UTC+1 with the
European summer time rule, brightness "Normal", 24-hour display, energy saving 23 to 6
(dimmed), a humiture sensor reading 21.5 C and 45 %, the text "WELCOME", and for Wi-Fi
clocks the network "ClockNet" (AES, WPA2PSK). A write changes the record the way a clock
does: serial number, version, passwords and readings stay; a batch write (batch bit set)
leaves the IP address, subnet mask and gateway alone. The clock keeps answering at the
address it was started with, whatever address a write gives it, unless --move-on-write
says otherwise.

It prints one line "tavlo-clocksim: ready: ..." on standard output once it listens, and
stops cleanly on SIGTERM or Ctrl-C. Exit status: 0 after a clean stop, 1 when it cannot
start (a port in use, an address that is not this machine's, an unreadable file), 2 for
bad usage.

Clock file (--clocks FILE), for example:
  {
    "faults": {"drop": 0.1},
    "clocks": [
      {"kind": "wired", "address": "198.18.0.10", "serial": "SN0042",
       "user_password": "secret", "text": "LOBBY", "time_zone": {"hours": -9, "minutes": 30}},
      {"kind": "wifi", "addresses": "198.18.0.20-25",
       "wifi": {"ssid": "Floor2", "cipher": 1, "auth": 5, "password": "pass1234"}},
      {"kind": "early", "address": "198.18.0.30", "dynamic_ip": true,
       "faults": {"silent": true}}
    ]
  }
Members of a clock (all optional but kind and address/addresses):
  kind ("wired", "wifi", "early", "early-wifi"), address or addresses (a RANGE), mac,
  serial, ip, mask, gateway, dns, dst (false, or {"start": [month, week 1-6 (6 = last),
  weekday 1-7 (7 = Sunday), hour], "end": [...]}), time_zone ({"hours", "minutes"}),
  twenty_four_hour, dynamic_ip, brightness (0 OFF ... 4 Brilliant), energy_saving
  ({"start", "end", "mode"}), time_servers, time_server_in_use, faults, record_hex (the
  whole record as hex, applied before the other members).
  Current clocks (wired, wifi) also: version (329 = 3.29), user_password, global_password,
  time_servers as [{"address", "port", "key_id", "key"}] (up to 5), time_server_in_use
  (row 1-5), domain_names (up to 2; switches the clock to servers by name),
  humiture_unit (0 none, 1 C, 2 F), temperature, humidity, durations ([time, temp, hum]
  seconds), count_down ({"start": [h, m, s], "duration": [h, m, s]}), text, text_mode
  (0 roll, 2-5 alternate), wifi ({"ssid", "cipher", "auth", "password"}), mail
  ({"sender_name", "sender_domain", "send_to", "copy_to", "sensor_state"}).
  Early clocks: time_servers as a list of addresses, time_server_in_use as an address.
  Texts are bytes: characters U+0000 to U+00FF are one byte each (write \u00a1 for 0xA1).
  faults: {"silent", "ignore_first", "drop", "duplicate", "delay_ms", "jitter_ms",
  "no_ack", "wrong_size", "junk", "hostile_lengths", "drop_acks", "flood",
  "move_on_write" ("new" or "old"), "on": ["probe", "read", "write"]}.)";

std::optional<long long> ParseInteger(std::string_view text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseFraction(std::string_view text) {
    std::string copy(text);
    if (copy.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// ---- Reading the clock file ------------------------------------------------------------

// The member named `key` of an object; nullptr when absent.
const Json* Member(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// Walks one JSON object, reporting problems with the member's path.
class Fields {
  public:
    Fields(const Json& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    bool Ok() const { return error_.empty(); }
    std::string& Error() { return error_; }
    const std::string& Path() const { return path_; }

    bool Fail(const std::string& member, const std::string& what) {
        if (error_.empty()) {
            error_ = path_ + (member.empty() ? "" : "." + member) + ": " + what;
        }
        return false;
    }

    // Refuses members that no reader asked for (typing mistakes in the file).
    bool OnlyKnown() {
        for (auto member = object_.begin(); member != object_.end(); ++member) {
            if (!known_.count(member.key())) {
                return Fail(member.key(), "unknown member");
            }
        }
        return Ok();
    }

    const Json* Get(const std::string& name) {
        known_.insert(name);
        return Member(object_, name);
    }

    // A member that is itself an object; nothing when absent (or not an object: then failed).
    std::optional<Fields> Object(const std::string& name) {
        const Json* v = Get(name);
        if (!v) {
            return std::nullopt;
        }
        if (!v->is_object()) {
            Fail(name, "expected an object");
            return std::nullopt;
        }
        return Fields(*v, path_ + "." + name, error_);
    }

    bool Boolean(const std::string& name, const std::function<void(bool)>& set) {
        const Json* v = Get(name);
        if (!v) {
            return true;
        }
        if (!v->is_boolean()) {
            return Fail(name, "expected true or false");
        }
        set(v->get<bool>());
        return true;
    }

    bool Integer(const std::string& name, long long low, long long high,
                 const std::function<void(long long)>& set) {
        const Json* v = Get(name);
        if (!v) {
            return true;
        }
        auto value = IntegerOf(*v, low, high);
        if (!value) {
            return Fail(name, "expected a whole number from " + std::to_string(low) + " to " +
                                  std::to_string(high));
        }
        set(*value);
        return true;
    }

    bool Number(const std::string& name, double low, double high,
                const std::function<void(double)>& set) {
        const Json* v = Get(name);
        if (!v) {
            return true;
        }
        if (!v->is_number() || v->get<double>() < low || v->get<double>() > high) {
            std::ostringstream range;
            range << "expected a number from " << low << " to " << high;
            return Fail(name, range.str());
        }
        set(v->get<double>());
        return true;
    }

    // A text of at most `width` bytes (each character U+0000 to U+00FF is one byte).
    bool Text(const std::string& name, std::size_t width,
              const std::function<void(const std::string&)>& set) {
        const Json* v = Get(name);
        if (!v) {
            return true;
        }
        if (!v->is_string()) {
            return Fail(name, "expected a text");
        }
        std::string bytes;
        if (!BytesOf(v->get_ref<const std::string&>(), bytes)) {
            return Fail(name, "characters above U+00FF; write other bytes as \\u0080 to \\u00ff");
        }
        if (bytes.size() > width) {
            return Fail(name, "longer than " + std::to_string(width) + " bytes");
        }
        set(bytes);
        return true;
    }

    bool Address(const std::string& name, const std::function<void(Ipv4)>& set) {
        const Json* v = Get(name);
        if (!v) {
            return true;
        }
        std::optional<Ipv4> parsed;
        if (v->is_string()) {
            parsed = platform::ParseDottedAddress(v->get_ref<const std::string&>());
        }
        if (!parsed) {
            return Fail(name, "expected a dotted address such as \"198.18.0.2\"");
        }
        set(*parsed);
        return true;
    }

    static std::optional<long long> IntegerOf(const Json& v, long long low, long long high) {
        if (!v.is_number() || v.get<double>() != std::floor(v.get<double>()) ||
            v.get<double>() < static_cast<double>(low) ||
            v.get<double>() > static_cast<double>(high)) {
            return std::nullopt;
        }
        return static_cast<long long>(v.get<double>());
    }

    // UTF-8 text to bytes, one byte per code point below 256.
    static bool BytesOf(const std::string& utf8, std::string& bytes) {
        for (std::size_t i = 0; i < utf8.size();) {
            auto lead = static_cast<unsigned char>(utf8[i]);
            if (lead < 0x80) {
                bytes += static_cast<char>(lead);
                ++i;
            } else if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
                unsigned cp =
                    ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
                if (cp > kMaxByte) {
                    return false;
                }
                bytes += static_cast<char>(cp);
                i += 2;
            } else {
                return false;
            }
        }
        return true;
    }

  private:
    const Json& object_;
    std::string path_;
    std::string& error_;
    std::set<std::string> known_;
};

// The requests a fault hits, by name: "probe", "read" or "write".
std::optional<std::uint8_t> RequestClassOf(const std::string& name) {
    if (name == "probe") {
        return kProbeRequests;
    }
    if (name == "read") {
        return kReadRequests;
    }
    if (name == "write") {
        return kWriteRequests;
    }
    return std::nullopt;
}

// "new" or "old": where a moving clock acknowledges the write that moved it.
std::optional<MoveOnWrite> ParseMoveOnWrite(std::string_view text) {
    if (text == "new") {
        return MoveOnWrite::kAnswerFromNew;
    }
    if (text == "old") {
        return MoveOnWrite::kAnswerFromOld;
    }
    return std::nullopt;
}

bool ReadFaults(const Json& value, const std::string& path, Faults& faults, std::string& error) {
    if (!value.is_object()) {
        error = path + ": expected an object";
        return false;
    }
    Fields f(value, path, error);
    f.Boolean("silent", [&](bool v) { faults.silent = v; });
    f.Integer("ignore_first", 0, kMaxIgnoreFirst,
              [&](long long v) { faults.ignoreFirst = static_cast<int>(v); });
    f.Number("drop", 0, 1, [&](double v) { faults.drop = v; });
    f.Number("duplicate", 0, 1, [&](double v) { faults.duplicate = v; });
    f.Integer("delay_ms", 0, kMaxDelayMs,
              [&](long long v) { faults.delayMs = static_cast<int>(v); });
    f.Integer("jitter_ms", 0, kMaxDelayMs,
              [&](long long v) { faults.jitterMs = static_cast<int>(v); });
    f.Boolean("no_ack", [&](bool v) { faults.noAck = v; });
    f.Boolean("wrong_size", [&](bool v) { faults.wrongSize = v; });
    f.Boolean("junk", [&](bool v) { faults.junk = v; });
    f.Boolean("hostile_lengths", [&](bool v) { faults.hostileLengths = v; });
    f.Number("drop_acks", 0, 1, [&](double v) { faults.dropAcks = v; });
    f.Integer("flood", 0, kMaxFloodPerSecond,
              [&](long long v) { faults.floodPerSecond = static_cast<int>(v); });
    if (const Json* move = f.Get("move_on_write")) {
        const auto parsed =
            move->is_string() ? ParseMoveOnWrite(move->get<std::string>()) : std::nullopt;
        if (!parsed) {
            return f.Fail("move_on_write", "expected \"new\" or \"old\"");
        }
        faults.moveOnWrite = *parsed;
    }
    if (const Json* on = f.Get("on")) {
        std::uint8_t classes = 0;
        bool good = on->is_array() && !on->empty();
        for (const auto& item : good ? *on : Json::array()) {
            const auto requests =
                item.is_string() ? RequestClassOf(item.get<std::string>()) : std::nullopt;
            good = good && requests.has_value();
            classes |= requests.value_or(0);
        }
        if (!good) {
            return f.Fail("on", "expected a list of \"probe\", \"read\", \"write\"");
        }
        faults.appliesTo = classes;
    }
    return f.OnlyKnown();
}

// "probe,read,write" (any of them, comma-separated) for --faults-on.
std::uint8_t ParseRequestClasses(const std::string& list) {
    std::uint8_t classes = 0;
    std::stringstream items(list);
    for (std::string item; std::getline(items, item, ',');) {
        const auto requests = RequestClassOf(item);
        if (!requests) {
            throw CLI::ValidationError(
                "--faults-on takes probe, read and write, comma-separated, not \"" + item + "\"");
        }
        classes |= *requests;
    }
    if (classes == 0) {
        throw CLI::ValidationError("--faults-on needs at least one of probe, read, write");
    }
    return classes;
}

std::optional<ClockKind> KindOf(const std::string& name) {
    for (ClockKind kind :
         {ClockKind::kWired, ClockKind::kWifi, ClockKind::kEarly, ClockKind::kEarlyWifi}) {
        if (KindName(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

std::optional<std::array<std::uint8_t, kMacSize>> ParseMac(std::string_view text) {
    std::array<std::uint8_t, kMacSize> mac{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < kMacSize; ++i) {
        if (i != 0) {
            if (pos >= text.size() || (text[pos] != ':' && text[pos] != '-')) {
                return std::nullopt;
            }
            ++pos;
        }
        unsigned value = 0;
        auto [end, ec] = std::from_chars(text.data() + pos,
                                         text.data() + std::min(text.size(), pos + 2), value, 16);
        if (ec != std::errc() || end != text.data() + pos + 2) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(value);
        pos += 2;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return mac;
}

bool ParseHexBytes(const std::string& hex, std::span<std::uint8_t> out) {
    if (hex.size() != out.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned value = 0;
        auto [end, ec] = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, value, 16);
        if (ec != std::errc() || end != hex.data() + 2 * i + 2) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

// A JSON array of exactly N integers, each within its own bounds, as bytes.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> BoundedBytesOf(
    const Json* v, const std::array<std::pair<long long, long long>, N>& bounds) {
    if (!v || !v->is_array() || v->size() != N) {
        return std::nullopt;
    }
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        auto value = Fields::IntegerOf((*v)[i], bounds[i].first, bounds[i].second);
        if (!value) {
            return std::nullopt;
        }
        out[i] = static_cast<std::uint8_t>(*value);
    }
    return out;
}

// [month, week, weekday, hour]
bool ReadDstTransition(const Json* v, settings::DstTransition& t) {
    auto b = BoundedBytesOf<4>(
        v, {{{1, kMaxMonth}, {1, kMaxWeek}, {1, kMaxWeekday}, {0, settings::kMaxHour}}});
    if (!b) {
        return false;
    }
    t = {(*b)[0], (*b)[1], (*b)[2], (*b)[3]};
    return true;
}

// The "dst" member: false or null (off), or {"start": [...], "end": [...]}.
bool ReadDst(Fields& f, std::optional<std::optional<settings::DstRule>>& out) {
    const Json* v = f.Get("dst");
    if (!v) {
        return true;
    }
    if (v->is_null() || (v->is_boolean() && !v->get<bool>())) {
        out.emplace(std::nullopt);
        return true;
    }
    settings::DstRule rule;
    if (!v->is_object() || v->size() != 2 || !ReadDstTransition(Member(*v, "start"), rule.start) ||
        !ReadDstTransition(Member(*v, "end"), rule.end)) {
        return f.Fail("dst",
                      "expected false or {\"start\": [month, week 1-6, weekday 1-7, hour], "
                      "\"end\": [...]}");
    }
    out.emplace(rule);
    return true;
}

bool ReadTime3(const Json* v, settings::ClockTime& t) {
    auto b = BoundedBytesOf<3>(v, {{{0, kMaxByte}, {0, kMaxByte}, {0, kMaxByte}}});
    if (!b) {
        return false;
    }
    t = {(*b)[0], (*b)[1], (*b)[2]};
    return true;
}

bool ReadTimeZone(Fields& f, std::optional<settings::TimeZoneOffset>& out) {
    const Json* v = f.Get("time_zone");
    if (!v) {
        return true;
    }
    const Json* h = v->is_object() ? Member(*v, "hours") : nullptr;
    const Json* m = v->is_object() ? Member(*v, "minutes") : nullptr;
    auto hours = h ? Fields::IntegerOf(*h, settings::kMinTimeZoneHours, settings::kMaxTimeZoneHours)
                   : std::nullopt;
    auto minutes =
        m ? Fields::IntegerOf(*m, 0, settings::kMinutesPerHour - 1) : std::optional<long long>(0);
    if (!hours || !minutes || v->size() != (m ? 2u : 1u)) {
        return f.Fail("time_zone", "expected {\"hours\": -12 to 14, \"minutes\": 0 to 59}");
    }
    out = settings::TimeZoneOffset{static_cast<int>(*hours), static_cast<int>(*minutes)};
    return true;
}

bool ApplyCurrentFields(Fields& f, SimClock& clock) {
    const settings::ClockSettings r(clock.record);
    f.Text("serial", settings::kSerialNumberSize,
           [&](const std::string& v) { r.setSerialNumber(v); });
    f.Integer("version", 0, kMaxU16,
              [&](long long v) { r.setVersion(static_cast<std::uint16_t>(v)); });
    f.Text("user_password", settings::kPasswordSize,
           [&](const std::string& v) { r.setUserPassword(v); });
    f.Text("global_password", settings::kPasswordSize,
           [&](const std::string& v) { r.setGlobalPassword(v); });
    f.Address("ip", [&](Ipv4 v) { r.setIpAddress(v); });
    f.Address("mask", [&](Ipv4 v) { r.setSubnetMask(v); });
    f.Address("gateway", [&](Ipv4 v) { r.setGateway(v); });
    f.Address("dns", [&](Ipv4 v) { r.setDnsServer(v); });
    std::optional<std::optional<settings::DstRule>> dst;
    if (ReadDst(f, dst) && dst) {
        settings::StoreDst(r, *dst);
    }
    std::optional<settings::TimeZoneOffset> zone;
    if (ReadTimeZone(f, zone) && zone) {
        r.setTimeZone(*zone);
    }
    f.Boolean("twenty_four_hour", [&](bool v) { r.setTwentyFourHourDisplay(v); });
    f.Boolean("dynamic_ip", [&](bool v) { r.setDynamicIp(v); });
    f.Integer("brightness", 0, kMaxBrightnessCode,
              [&](long long v) { r.setBrightness(static_cast<std::uint8_t>(v)); });
    if (auto e = f.Object("energy_saving")) {
        e->Integer("start", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingStartHour(static_cast<std::uint8_t>(v)); });
        e->Integer("end", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingEndHour(static_cast<std::uint8_t>(v)); });
        e->Integer("mode", 0, kMaxByte,
                   [&](long long v) { r.setEnergySavingMode(static_cast<std::uint8_t>(v)); });
        e->OnlyKnown();
    }
    if (const Json* rows = f.Get("time_servers")) {
        if (!rows->is_array() || rows->size() > settings::kTimeServerRowCount) {
            return f.Fail("time_servers", "expected a list of at most 5 servers");
        }
        for (std::size_t i = 0; i < settings::kTimeServerRowCount; ++i) {
            settings::TimeServerRow row;
            if (i < rows->size()) {
                const Json& item = (*rows)[i];
                if (!item.is_object()) {
                    return f.Fail("time_servers[" + std::to_string(i) + "]", "expected an object");
                }
                Fields rf(item, f.Path() + ".time_servers[" + std::to_string(i) + "]", f.Error());
                rf.Address("address", [&](Ipv4 v) { row.address = v; });
                rf.Integer("port", 0, kMaxU16,
                           [&](long long v) { row.port = static_cast<std::uint16_t>(v); });
                rf.Integer("key_id", 0, kMaxU16,
                           [&](long long v) { row.keyId = static_cast<std::uint16_t>(v); });
                rf.Text("key", settings::kRowKeySize, [&](const std::string& v) { row.key = v; });
                rf.OnlyKnown();
            }
            r.setTimeServerRow(i, row);
        }
    }
    f.Integer("time_server_in_use", 0, settings::kTimeServerRowCount,
              [&](long long v) { r.setTimeServerInUse(static_cast<std::uint8_t>(v)); });
    if (const Json* names = f.Get("domain_names")) {
        std::string bytes[settings::kDomainNameRowCount];
        bool good = names->is_array() && names->size() <= settings::kDomainNameRowCount;
        for (std::size_t i = 0; good && i < names->size(); ++i) {
            const Json& name = (*names)[i];
            good = name.is_string() &&
                   Fields::BytesOf(name.get_ref<const std::string&>(), bytes[i]) &&
                   bytes[i].size() <= settings::kDomainNameSize;
        }
        if (!good) {
            return f.Fail("domain_names", "expected a list of at most 2 names of up to 30 bytes");
        }
        for (std::size_t i = 0; i < settings::kDomainNameRowCount; ++i) {
            r.setDomainName(i, bytes[i]);
        }
        r.setTimeServersByNameByte(settings::kTimeServersByNameMarker);
    }
    f.Integer("humiture_unit", 0, kMaxHumitureUnit,
              [&](long long v) { r.setHumitureUnitByte(static_cast<std::uint8_t>(v)); });
    f.Number("temperature", -1000, 1000,
             [&](double v) { r.setTemperature(static_cast<float>(v)); });
    f.Number("humidity", 0, 100, [&](double v) { r.setHumidity(static_cast<float>(v)); });
    if (const Json* d = f.Get("durations")) {
        auto durations = BoundedBytesOf<3>(d, {{{0, kMaxByte}, {0, kMaxByte}, {0, kMaxByte}}});
        if (!durations) {
            return f.Fail("durations", "expected [time, temperature, humidity] in seconds");
        }
        r.setTimeDisplayDuration((*durations)[0]);
        r.setTemperatureDisplayDuration((*durations)[1]);
        r.setHumidityDisplayDuration((*durations)[2]);
    }
    if (auto c = f.Object("count_down")) {
        settings::ClockTime start;
        settings::ClockTime duration;
        if (!ReadTime3(c->Get("start"), start) || !ReadTime3(c->Get("duration"), duration)) {
            return f.Fail("count_down", "expected {\"start\": [h, m, s], \"duration\": [h, m, s]}");
        }
        r.setCountDownStart(start);
        r.setCountDownDuration(duration);
        c->OnlyKnown();
    }
    f.Text("text", settings::kDisplayTextSize, [&](const std::string& v) { r.setDisplayText(v); });
    f.Integer("text_mode", 0, kMaxTextMode,
              [&](long long v) { r.setTextDisplayMode(static_cast<std::uint8_t>(v)); });
    if (auto w = f.Object("wifi")) {
        const wifi::WifiSettings ws(clock.record);
        w->Text("ssid", kMaxWifiSsid, [&](const std::string& v) { ws.setSsid(v); });
        w->Integer("cipher", 0, kMaxByte,
                   [&](long long v) { ws.setCipherCode(static_cast<std::uint8_t>(v)); });
        w->Integer("auth", 0, kMaxByte,
                   [&](long long v) { ws.setAuthenticationCode(static_cast<std::uint8_t>(v)); });
        w->Text("password", kMaxWifiPassword, [&](const std::string& v) { ws.setPassword(v); });
        w->OnlyKnown();
    }
    if (auto m = f.Object("mail")) {
        m->Text("sender_name", settings::kMailSenderNameSize,
                [&](const std::string& v) { r.setMailSenderName(v); });
        m->Text("sender_domain", settings::kMailSenderDomainSize,
                [&](const std::string& v) { r.setMailSenderDomain(v); });
        m->Text("send_to", settings::kMailSendToSize,
                [&](const std::string& v) { r.setMailSendTo(v); });
        m->Text("copy_to", settings::kMailCopyToSize,
                [&](const std::string& v) { r.setMailCopyTo(v); });
        m->Integer("sensor_state", 0, kMaxByte,
                   [&](long long v) { r.setSensorState(static_cast<std::uint8_t>(v)); });
        m->OnlyKnown();
    }
    return f.Ok();
}

bool ApplyEarlyFields(Fields& f, SimClock& clock) {
    const settings::EarlyClockSettings r(clock.earlyRecord);
    f.Text("serial", kMaxEarlySerial, [&](const std::string& v) { r.setSerialNumber(v); });
    f.Address("ip", [&](Ipv4 v) { r.setIpAddress(v); });
    f.Address("mask", [&](Ipv4 v) { r.setSubnetMask(v); });
    f.Address("gateway", [&](Ipv4 v) { r.setGateway(v); });
    f.Address("dns", [&](Ipv4 v) { r.setDnsServer(v); });
    std::optional<std::optional<settings::DstRule>> dst;
    if (ReadDst(f, dst) && dst) {
        settings::StoreEarlyDst(r, *dst);
    }
    std::optional<settings::TimeZoneOffset> zone;
    if (ReadTimeZone(f, zone) && zone) {
        r.setTimeZone(*zone);
    }
    f.Boolean("twenty_four_hour", [&](bool v) {
        r.setTimeFormat(v ? settings::early::kTimeFormat24 : settings::early::kTimeFormat12);
    });
    f.Boolean("dynamic_ip", [&](bool v) { r.setDynamicIp(v); });
    f.Integer("brightness", 0, kMaxByte,
              [&](long long v) { r.setBrightness(static_cast<std::uint8_t>(v)); });
    if (auto e = f.Object("energy_saving")) {
        e->Integer("start", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingStartHour(static_cast<std::uint8_t>(v)); });
        e->Integer("end", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingEndHour(static_cast<std::uint8_t>(v)); });
        e->OnlyKnown();
    }
    if (const Json* servers = f.Get("time_servers")) {
        bool good = servers->is_array() && servers->size() <= settings::early::kTimeServerCount;
        std::vector<Ipv4> addresses;
        for (std::size_t i = 0; good && i < servers->size(); ++i) {
            const Json& item = (*servers)[i];
            auto parsed = item.is_string()
                              ? platform::ParseDottedAddress(item.get_ref<const std::string&>())
                              : std::nullopt;
            good = parsed.has_value();
            addresses.push_back(parsed.value_or(0));
        }
        if (!good) {
            return f.Fail("time_servers", "expected a list of at most 5 dotted addresses");
        }
        std::uint8_t given = 0;
        for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
            const Ipv4 address = i < addresses.size() ? addresses[i] : 0;
            r.setTimeServerAddress(i, address);
            given += address != 0 ? 1 : 0;
        }
        r.setTimeServerCount(given);
    }
    f.Address("time_server_in_use", [&](Ipv4 v) { r.setTimeServerInUse(v); });
    return f.Ok();
}

// One entry of "clocks": one clock ("address") or several alike ("addresses").
bool ReadClockEntry(const Json& entry, const std::string& path, const Faults& baseFaults,
                    std::vector<SimClock>& clocks, std::string& error) {
    if (!entry.is_object()) {
        error = path + ": expected an object";
        return false;
    }
    Fields f(entry, path, error);
    std::optional<ClockKind> kind;
    if (const Json* k = f.Get("kind")) {
        kind = k->is_string() ? KindOf(k->get_ref<const std::string&>()) : std::nullopt;
    }
    if (!kind) {
        return f.Fail("kind", "expected \"wired\", \"wifi\", \"early\" or \"early-wifi\"");
    }
    std::vector<Ipv4> addresses;
    const Json* one = f.Get("address");
    const Json* many = f.Get("addresses");
    if ((one != nullptr) == (many != nullptr)) {
        return f.Fail("", "give either \"address\" or \"addresses\"");
    }
    const Json* given = one ? one : many;
    std::string rangeError;
    if (!given->is_string()) {
        return f.Fail(one ? "address" : "addresses", "expected a text");
    }
    if (auto parsed = common::ParseAddressList(given->get_ref<const std::string&>(), rangeError)) {
        addresses = std::move(*parsed);
    } else {
        return f.Fail(one ? "address" : "addresses", rangeError);
    }
    if (one && addresses.size() != 1) {
        return f.Fail("address", "expected one address (use \"addresses\" for more)");
    }
    Faults faults = baseFaults;
    if (const Json* fv = f.Get("faults")) {
        if (!ReadFaults(*fv, path + ".faults", faults, error)) {
            return false;
        }
    }
    std::optional<std::array<std::uint8_t, kMacSize>> mac;
    if (const Json* m = f.Get("mac")) {
        mac = m->is_string() ? ParseMac(m->get_ref<const std::string&>()) : std::nullopt;
        if (!mac) {
            return f.Fail("mac", "expected six hex pairs such as \"02:54:56:00:00:0a\"");
        }
        if (addresses.size() != 1) {
            return f.Fail("mac", "only for a single clock");
        }
    }
    for (Ipv4 address : addresses) {
        SimClock clock = MakeDefaultClock(*kind, address);
        clock.faults = faults;
        if (mac) {
            clock.mac = *mac;
        }
        if (const Json* hex = f.Get("record_hex")) {
            std::span<std::uint8_t> target = IsEarly(*kind)
                                                 ? std::span<std::uint8_t>(clock.earlyRecord)
                                                 : std::span<std::uint8_t>(clock.record);
            if (!hex->is_string() || !ParseHexBytes(hex->get_ref<const std::string&>(), target)) {
                return f.Fail("record_hex", "expected " + std::to_string(target.size() * 2) +
                                                " hex digits (the whole record)");
            }
        }
        if (!(IsEarly(*kind) ? ApplyEarlyFields(f, clock) : ApplyCurrentFields(f, clock))) {
            return false;
        }
        clocks.push_back(clock);
        if (clocks.size() > kMaxClocks) {
            return f.Fail("", "more than " + std::to_string(kMaxClocks) + " clocks");
        }
    }
    return f.OnlyKnown();
}

bool CheckUnique(const std::vector<SimClock>& clocks, std::string& error) {
    std::set<Ipv4> seen;
    for (const auto& clock : clocks) {
        if (!seen.insert(clock.address).second) {
            error = "two clocks at " + platform::FormatIpv4(clock.address);
            return false;
        }
    }
    return true;
}

std::optional<std::vector<SimClock>> ReadClockFile(std::string_view text, const Faults& baseFaults,
                                                   std::string& error) {
    std::string parseError;
    auto document = json::Read(text, parseError);
    if (!document) {
        error = parseError;
        return std::nullopt;
    }
    if (!document->is_object()) {
        error = "expected an object with \"clocks\"";
        return std::nullopt;
    }
    Fields top(*document, "file", error);
    Faults faults = baseFaults;
    if (const Json* fv = top.Get("faults")) {
        if (!ReadFaults(*fv, "faults", faults, error)) {
            return std::nullopt;
        }
    }
    const Json* list = top.Get("clocks");
    if (!list || !list->is_array()) {
        top.Fail("clocks", "expected a list of clocks");
        return std::nullopt;
    }
    if (!top.OnlyKnown()) {
        return std::nullopt;
    }
    std::vector<SimClock> clocks;
    for (std::size_t i = 0; i < list->size(); ++i) {
        if (!ReadClockEntry((*list)[i], "clocks[" + std::to_string(i) + "]", faults, clocks,
                            error)) {
            return std::nullopt;
        }
    }
    return clocks;
}

}  // namespace

// Errors quote member names and values of the file; they stay one printable line.
std::optional<std::vector<SimClock>> LoadClockFile(std::string_view text, const Faults& baseFaults,
                                                   std::string& error) {
    auto clocks = ReadClockFile(text, baseFaults, error);
    if (!clocks) {
        error = platform::Printable(error);
    }
    return clocks;
}

std::optional<std::string> ReadTextFile(const std::string& path, std::string& error) {
    return json::ReadText(path, std::cin, error);
}

std::optional<SimConfig> ParseCommandLine(const std::vector<std::string>& args, std::string& error,
                                          FileReader readFile, const OptionAdder& moreOptions) {
    SimConfig config;
    Faults faults;
    struct Range {
        ClockKind kind;
        std::string text;
    };
    std::vector<Range> ranges;
    std::vector<std::string> files;

    CLI::App app(kDescription, "tavlo-clocksim");
    app.footer(kFooter);
    app.allow_extras();
    app.get_formatter()->column_width(kHelpColumn);
    app.get_formatter()->label("REQUIRED", "");
    // Options that take a value check it at once, so that the first bad one is reported.
    const auto valueOption = [&app](const std::string& name, const std::string& type,
                                    const std::string& group, const std::string& help,
                                    std::function<void(const std::string&)> take) {
        return app.add_option_function<std::string>(name, std::move(take), help)
            ->type_name(type)
            ->group(group)
            ->trigger_on_parse();
    };
    const auto integer = [&valueOption](const std::string& name, const std::string& type,
                                        const std::string& group, const std::string& help,
                                        long long low, long long high,
                                        std::function<void(long long)> take) {
        return valueOption(name, type, group, help, [=](const std::string& value) {
            const auto parsed = ParseInteger(value);
            if (!parsed || *parsed < low || *parsed > high) {
                throw CLI::ValidationError(name + " takes a whole number from " +
                                           std::to_string(low) + " to " + std::to_string(high) +
                                           ", not \"" + value + "\"");
            }
            take(*parsed);
        });
    };
    const auto share = [&valueOption](const std::string& name, const std::string& help,
                                      double& out) {
        return valueOption(name, "P", kFaultsGroup, help, [name, &out](const std::string& value) {
            const auto parsed = ParseFraction(value);
            if (!parsed || *parsed < 0 || *parsed > 1) {
                throw CLI::ValidationError(
                    name + " takes a share from 0 to 1 (0.25 = a quarter), not \"" + value + "\"");
            }
            out = *parsed;
        });
    };

    for (const auto& [kind, help] :
         {std::pair{ClockKind::kWired, "wired clocks: chunked frames on UDP 6869"},
          std::pair{ClockKind::kWifi, "Wi-Fi clocks: whole 772-byte frames on UDP 6866"},
          std::pair{ClockKind::kEarly,
                    "early-version clocks of the wired family: command frames on UDP 6869"},
          std::pair{ClockKind::kEarlyWifi,
                    "early-version clocks of the Wi-Fi family: as --early, and they also\n"
                    "answer the early-version discovery probe on UDP 6866"}}) {
        valueOption("--" + std::string(KindName(kind)), "RANGE", kClocksGroup, help,
                    [&ranges, kind = kind](const std::string& value) {
                        ranges.push_back({kind, value});
                    });
    }
    valueOption("--clocks", "FILE", kClocksGroup,
                "clocks described one by one in a JSON file (below)",
                [&files](const std::string& value) { files.push_back(value); });

    share("--drop", "lose each reply datagram with probability P (0 to 1)", faults.drop);
    share("--duplicate", "send each reply datagram twice with probability P", faults.duplicate);
    integer("--delay", "MS", kFaultsGroup, "send replies MS milliseconds late", 0, kMaxDelayMs,
            [&faults](long long v) { faults.delayMs = static_cast<int>(v); });
    integer("--jitter", "MS", kFaultsGroup, "plus a random 0 to MS milliseconds per reply", 0,
            kMaxDelayMs, [&faults](long long v) { faults.jitterMs = static_cast<int>(v); });
    integer("--ignore-first", "N", kFaultsGroup, "ignore the first N requests, then answer", 0,
            kMaxIgnoreFirst, [&faults](long long v) { faults.ignoreFirst = static_cast<int>(v); });
    app.add_flag("--silent", faults.silent, "never answer (requests are still logged)")
        ->group(kFaultsGroup);
    app.add_flag("--no-ack", faults.noAck,
                 "clear the acknowledgement (flag bit 0; early clocks: request marker)")
        ->group(kFaultsGroup);
    app.add_flag("--wrong-size", faults.wrongSize, "every reply datagram one byte too long")
        ->group(kFaultsGroup);
    app.add_flag("--junk", faults.junk,
                 "before every reply, datagrams of wrong sizes (1 byte, one short, one long)")
        ->group(kFaultsGroup);
    app.add_flag("--hostile-lengths", faults.hostileLengths,
                 "chunk length bytes that lie (255, 101, 0, 100 in turn)")
        ->group(kFaultsGroup);
    share("--drop-acks",
          "take each write but lose the whole reply to it with probability P\n"
          "(whatever --faults-on says)",
          faults.dropAcks);
    integer("--flood", "N", kFaultsGroup,
            "repeat the last reply to whoever asked last, N datagrams a second", 0,
            kMaxFloodPerSecond,
            [&faults](long long v) { faults.floodPerSecond = static_cast<int>(v); });
    valueOption("--move-on-write", "FROM", kFaultsGroup,
                "take the address a unicast write gives (a spare address of this machine\n"
                "on a switch to dynamic IP) and acknowledge the write from the new address\n"
                "(FROM \"new\") or from the old one (\"old\"); the clock then answers at\n"
                "the new address only",
                [&faults](const std::string& value) {
                    const auto parsed = ParseMoveOnWrite(value);
                    if (!parsed) {
                        throw CLI::ValidationError(
                            "--move-on-write takes \"new\" or \"old\", not \"" + value + "\"");
                    }
                    faults.moveOnWrite = *parsed;
                });
    valueOption(
        "--faults-on", "LIST", kFaultsGroup,
        "which requests the faults hit: probe,read,write (default all three)",
        [&faults](const std::string& value) { faults.appliesTo = ParseRequestClasses(value); });

    app.add_option("--log", config.logPath,
                   "write every datagram received as one JSON line (decoded fields of the\n"
                   "request, which clocks took it, how many datagrams they sent back)")
        ->type_name("FILE")
        ->group(kOtherGroup);
    integer("--seed", "N", kOtherGroup,
            "seed for nonces, loss and jitter (default: from the clock)", 0, kMaxSeed,
            [&config](long long v) { config.seed = static_cast<std::uint32_t>(v); });
    integer("--buffer", "BYTES", kOtherGroup, "socket buffer size (default 8388608)",
            kMinBufferBytes, kMaxBufferBytes,
            [&config](long long v) { config.bufferBytes = static_cast<int>(v); });
    app.add_flag("--list", config.listOnly,
                 "print the clocks and their settings summary, then exit")
        ->group(kOtherGroup);
    if (moreOptions) {
        moreOptions(app);
    }

    // CLI11 takes the words last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        config.help = true;
        config.helpText = app.help();
        return config;
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return std::nullopt;
    }
    if (const std::vector<std::string> left = app.remaining(); !left.empty()) {
        error = "unknown option \"" + left.front() + "\"";
        return std::nullopt;
    }

    for (const auto& range : ranges) {
        auto addresses = common::ParseAddressList(range.text, error);
        if (!addresses) {
            error = "--" + std::string(KindName(range.kind)) + ": " + error;
            return std::nullopt;
        }
        for (Ipv4 address : *addresses) {
            SimClock clock = MakeDefaultClock(range.kind, address);
            clock.faults = faults;
            config.clocks.push_back(clock);
        }
    }
    for (const auto& path : files) {
        auto text = readFile(path, error);
        if (!text) {
            return std::nullopt;
        }
        std::string fileError;
        auto clocks = LoadClockFile(*text, faults, fileError);
        if (!clocks) {
            error = path + ": " + fileError;
            return std::nullopt;
        }
        config.clocks.insert(config.clocks.end(), clocks->begin(), clocks->end());
    }
    if (config.clocks.empty()) {
        error = "no clocks: give --wired, --wifi, --early, --early-wifi or --clocks";
        return std::nullopt;
    }
    if (config.clocks.size() > kMaxClocks) {
        error = "more than " + std::to_string(kMaxClocks) + " clocks";
        return std::nullopt;
    }
    if (!CheckUnique(config.clocks, error)) {
        return std::nullopt;
    }
    return config;
}

}  // namespace tavlo::clocksim
