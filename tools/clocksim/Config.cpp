#include "tools/clocksim/Config.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <utility>

#include "platform/Ipv4.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using platform::Ipv4;

constexpr std::uint32_t kLastOctetMask = 0xFFu;
constexpr std::uint32_t kBroadcastOctet = 0xFFu;
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
constexpr std::size_t kMaxFileBytes = JsonLimits{}.maxInput;

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

// Walks one JSON object, reporting problems with the member's path.
class Fields {
  public:
    Fields(const JsonValue& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    bool ok() const { return error_.empty(); }
    std::string& error() { return error_; }
    const std::string& path() const { return path_; }

    bool fail(const std::string& member, const std::string& what) {
        if (error_.empty()) {
            error_ = path_ + (member.empty() ? "" : "." + member) + ": " + what;
        }
        return false;
    }

    // Refuses members that no reader asked for (typing mistakes in the file).
    bool onlyKnown() {
        for (const auto& [name, value] : object_.asObject()) {
            if (!known_.count(name)) {
                return fail(name, "unknown member");
            }
        }
        return ok();
    }

    const JsonValue* get(const std::string& name) {
        known_.insert(name);
        return object_.find(name);
    }

    // A member that is itself an object; nothing when absent (or not an object: then failed).
    std::optional<Fields> object(const std::string& name) {
        const JsonValue* v = get(name);
        if (!v) {
            return std::nullopt;
        }
        if (!v->isObject()) {
            fail(name, "expected an object");
            return std::nullopt;
        }
        return Fields(*v, path_ + "." + name, error_);
    }

    bool boolean(const std::string& name, const std::function<void(bool)>& set) {
        const JsonValue* v = get(name);
        if (!v) {
            return true;
        }
        if (!v->isBool()) {
            return fail(name, "expected true or false");
        }
        set(v->asBool());
        return true;
    }

    bool integer(const std::string& name, long long low, long long high,
                 const std::function<void(long long)>& set) {
        const JsonValue* v = get(name);
        if (!v) {
            return true;
        }
        auto value = IntegerOf(*v, low, high);
        if (!value) {
            return fail(name, "expected a whole number from " + std::to_string(low) + " to " +
                                  std::to_string(high));
        }
        set(*value);
        return true;
    }

    bool number(const std::string& name, double low, double high,
                const std::function<void(double)>& set) {
        const JsonValue* v = get(name);
        if (!v) {
            return true;
        }
        if (!v->isNumber() || v->asNumber() < low || v->asNumber() > high) {
            std::ostringstream range;
            range << "expected a number from " << low << " to " << high;
            return fail(name, range.str());
        }
        set(v->asNumber());
        return true;
    }

    // A text of at most `width` bytes (each character U+0000 to U+00FF is one byte).
    bool text(const std::string& name, std::size_t width,
              const std::function<void(const std::string&)>& set) {
        const JsonValue* v = get(name);
        if (!v) {
            return true;
        }
        if (!v->isString()) {
            return fail(name, "expected a text");
        }
        std::string bytes;
        if (!BytesOf(v->asString(), bytes)) {
            return fail(name, "characters above U+00FF; write other bytes as \\u0080 to \\u00ff");
        }
        if (bytes.size() > width) {
            return fail(name, "longer than " + std::to_string(width) + " bytes");
        }
        set(bytes);
        return true;
    }

    bool address(const std::string& name, const std::function<void(Ipv4)>& set) {
        const JsonValue* v = get(name);
        if (!v) {
            return true;
        }
        std::optional<Ipv4> parsed;
        if (v->isString()) {
            parsed = ParseDottedAddress(v->asString());
        }
        if (!parsed) {
            return fail(name, "expected a dotted address such as \"198.18.0.2\"");
        }
        set(*parsed);
        return true;
    }

    static std::optional<long long> IntegerOf(const JsonValue& v, long long low, long long high) {
        if (!v.isNumber() || v.asNumber() != std::floor(v.asNumber()) ||
            v.asNumber() < static_cast<double>(low) || v.asNumber() > static_cast<double>(high)) {
            return std::nullopt;
        }
        return static_cast<long long>(v.asNumber());
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
    const JsonValue& object_;
    std::string path_;
    std::string& error_;
    std::set<std::string> known_;
};

bool ReadFaults(const JsonValue& value, const std::string& path, Faults& faults,
                std::string& error) {
    if (!value.isObject()) {
        error = path + ": expected an object";
        return false;
    }
    Fields f(value, path, error);
    f.boolean("silent", [&](bool v) { faults.silent = v; });
    f.integer("ignore_first", 0, 1000000,
              [&](long long v) { faults.ignoreFirst = static_cast<int>(v); });
    f.number("drop", 0, 1, [&](double v) { faults.drop = v; });
    f.number("duplicate", 0, 1, [&](double v) { faults.duplicate = v; });
    f.integer("delay_ms", 0, kMaxDelayMs,
              [&](long long v) { faults.delayMs = static_cast<int>(v); });
    f.integer("jitter_ms", 0, kMaxDelayMs,
              [&](long long v) { faults.jitterMs = static_cast<int>(v); });
    f.boolean("no_ack", [&](bool v) { faults.noAck = v; });
    f.boolean("wrong_size", [&](bool v) { faults.wrongSize = v; });
    f.boolean("junk", [&](bool v) { faults.junk = v; });
    f.boolean("hostile_lengths", [&](bool v) { faults.hostileLengths = v; });
    if (const JsonValue* on = f.get("on")) {
        std::uint8_t classes = 0;
        bool good = on->isArray() && !on->asArray().empty();
        for (const auto& item : good ? on->asArray() : JsonValue::Array{}) {
            if (item.isString() && item.asString() == "probe") {
                classes |= kProbeRequests;
            } else if (item.isString() && item.asString() == "read") {
                classes |= kReadRequests;
            } else if (item.isString() && item.asString() == "write") {
                classes |= kWriteRequests;
            } else {
                good = false;
            }
        }
        if (!good) {
            return f.fail("on", "expected a list of \"probe\", \"read\", \"write\"");
        }
        faults.appliesTo = classes;
    }
    return f.onlyKnown();
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
    const JsonValue* v, const std::array<std::pair<long long, long long>, N>& bounds) {
    if (!v || !v->isArray() || v->asArray().size() != N) {
        return std::nullopt;
    }
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        auto value = Fields::IntegerOf(v->asArray()[i], bounds[i].first, bounds[i].second);
        if (!value) {
            return std::nullopt;
        }
        out[i] = static_cast<std::uint8_t>(*value);
    }
    return out;
}

// [month, week, weekday, hour]
bool ReadDstTransition(const JsonValue* v, settings::DstTransition& t) {
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
    const JsonValue* v = f.get("dst");
    if (!v) {
        return true;
    }
    if (v->isNull() || (v->isBool() && !v->asBool())) {
        out.emplace(std::nullopt);
        return true;
    }
    settings::DstRule rule;
    if (!v->isObject() || v->asObject().size() != 2 ||
        !ReadDstTransition(v->find("start"), rule.start) ||
        !ReadDstTransition(v->find("end"), rule.end)) {
        return f.fail("dst",
                      "expected false or {\"start\": [month, week 1-6, weekday 1-7, hour], "
                      "\"end\": [...]}");
    }
    out.emplace(rule);
    return true;
}

bool ReadTime3(const JsonValue* v, settings::ClockTime& t) {
    auto b = BoundedBytesOf<3>(v, {{{0, kMaxByte}, {0, kMaxByte}, {0, kMaxByte}}});
    if (!b) {
        return false;
    }
    t = {(*b)[0], (*b)[1], (*b)[2]};
    return true;
}

bool ReadTimeZone(Fields& f, std::optional<settings::TimeZoneOffset>& out) {
    const JsonValue* v = f.get("time_zone");
    if (!v) {
        return true;
    }
    const JsonValue* h = v->isObject() ? v->find("hours") : nullptr;
    const JsonValue* m = v->isObject() ? v->find("minutes") : nullptr;
    auto hours = h ? Fields::IntegerOf(*h, settings::kMinTimeZoneHours, settings::kMaxTimeZoneHours)
                   : std::nullopt;
    auto minutes =
        m ? Fields::IntegerOf(*m, 0, settings::kMinutesPerHour - 1) : std::optional<long long>(0);
    if (!hours || !minutes || v->asObject().size() != (m ? 2u : 1u)) {
        return f.fail("time_zone", "expected {\"hours\": -12 to 14, \"minutes\": 0 to 59}");
    }
    out = settings::TimeZoneOffset{static_cast<int>(*hours), static_cast<int>(*minutes)};
    return true;
}

bool ApplyCurrentFields(Fields& f, SimClock& clock) {
    const settings::ClockSettings r(clock.record);
    f.text("serial", settings::kSerialNumberSize,
           [&](const std::string& v) { r.setSerialNumber(v); });
    f.integer("version", 0, kMaxU16,
              [&](long long v) { r.setVersion(static_cast<std::uint16_t>(v)); });
    f.text("user_password", settings::kPasswordSize,
           [&](const std::string& v) { r.setUserPassword(v); });
    f.text("global_password", settings::kPasswordSize,
           [&](const std::string& v) { r.setGlobalPassword(v); });
    f.address("ip", [&](Ipv4 v) { r.setIpAddress(v); });
    f.address("mask", [&](Ipv4 v) { r.setSubnetMask(v); });
    f.address("gateway", [&](Ipv4 v) { r.setGateway(v); });
    f.address("dns", [&](Ipv4 v) { r.setDnsServer(v); });
    std::optional<std::optional<settings::DstRule>> dst;
    if (ReadDst(f, dst) && dst) {
        settings::StoreDst(r, *dst);
    }
    std::optional<settings::TimeZoneOffset> zone;
    if (ReadTimeZone(f, zone) && zone) {
        r.setTimeZone(*zone);
    }
    f.boolean("twenty_four_hour", [&](bool v) { r.setTwentyFourHourDisplay(v); });
    f.boolean("dynamic_ip", [&](bool v) { r.setDynamicIp(v); });
    f.integer("brightness", 0, kMaxBrightnessCode,
              [&](long long v) { r.setBrightness(static_cast<std::uint8_t>(v)); });
    if (auto e = f.object("energy_saving")) {
        e->integer("start", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingStartHour(static_cast<std::uint8_t>(v)); });
        e->integer("end", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingEndHour(static_cast<std::uint8_t>(v)); });
        e->integer("mode", 0, kMaxByte,
                   [&](long long v) { r.setEnergySavingMode(static_cast<std::uint8_t>(v)); });
        e->onlyKnown();
    }
    if (const JsonValue* rows = f.get("time_servers")) {
        if (!rows->isArray() || rows->asArray().size() > settings::kTimeServerRowCount) {
            return f.fail("time_servers", "expected a list of at most 5 servers");
        }
        for (std::size_t i = 0; i < settings::kTimeServerRowCount; ++i) {
            settings::TimeServerRow row;
            if (i < rows->asArray().size()) {
                const JsonValue& item = rows->asArray()[i];
                if (!item.isObject()) {
                    return f.fail("time_servers[" + std::to_string(i) + "]", "expected an object");
                }
                Fields rf(item, f.path() + ".time_servers[" + std::to_string(i) + "]", f.error());
                rf.address("address", [&](Ipv4 v) { row.address = v; });
                rf.integer("port", 0, kMaxU16,
                           [&](long long v) { row.port = static_cast<std::uint16_t>(v); });
                rf.integer("key_id", 0, kMaxU16,
                           [&](long long v) { row.keyId = static_cast<std::uint16_t>(v); });
                rf.text("key", settings::kRowKeySize, [&](const std::string& v) { row.key = v; });
                rf.onlyKnown();
            }
            r.setTimeServerRow(i, row);
        }
    }
    f.integer("time_server_in_use", 0, settings::kTimeServerRowCount,
              [&](long long v) { r.setTimeServerInUse(static_cast<std::uint8_t>(v)); });
    if (const JsonValue* names = f.get("domain_names")) {
        std::string bytes[settings::kDomainNameRowCount];
        bool good = names->isArray() && names->asArray().size() <= settings::kDomainNameRowCount;
        for (std::size_t i = 0; good && i < names->asArray().size(); ++i) {
            const JsonValue& name = names->asArray()[i];
            good = name.isString() && Fields::BytesOf(name.asString(), bytes[i]) &&
                   bytes[i].size() <= settings::kDomainNameSize;
        }
        if (!good) {
            return f.fail("domain_names", "expected a list of at most 2 names of up to 30 bytes");
        }
        for (std::size_t i = 0; i < settings::kDomainNameRowCount; ++i) {
            r.setDomainName(i, bytes[i]);
        }
        r.setTimeServersByNameByte(settings::kTimeServersByNameMarker);
    }
    f.integer("humiture_unit", 0, kMaxHumitureUnit,
              [&](long long v) { r.setHumitureUnitByte(static_cast<std::uint8_t>(v)); });
    f.number("temperature", -1000, 1000,
             [&](double v) { r.setTemperature(static_cast<float>(v)); });
    f.number("humidity", 0, 100, [&](double v) { r.setHumidity(static_cast<float>(v)); });
    if (const JsonValue* d = f.get("durations")) {
        auto durations = BoundedBytesOf<3>(d, {{{0, kMaxByte}, {0, kMaxByte}, {0, kMaxByte}}});
        if (!durations) {
            return f.fail("durations", "expected [time, temperature, humidity] in seconds");
        }
        r.setTimeDisplayDuration((*durations)[0]);
        r.setTemperatureDisplayDuration((*durations)[1]);
        r.setHumidityDisplayDuration((*durations)[2]);
    }
    if (auto c = f.object("count_down")) {
        settings::ClockTime start;
        settings::ClockTime duration;
        if (!ReadTime3(c->get("start"), start) || !ReadTime3(c->get("duration"), duration)) {
            return f.fail("count_down", "expected {\"start\": [h, m, s], \"duration\": [h, m, s]}");
        }
        r.setCountDownStart(start);
        r.setCountDownDuration(duration);
        c->onlyKnown();
    }
    f.text("text", settings::kDisplayTextSize, [&](const std::string& v) { r.setDisplayText(v); });
    f.integer("text_mode", 0, kMaxTextMode,
              [&](long long v) { r.setTextDisplayMode(static_cast<std::uint8_t>(v)); });
    if (auto w = f.object("wifi")) {
        const wifi::WifiSettings ws(clock.record);
        w->text("ssid", kMaxWifiSsid, [&](const std::string& v) { ws.setSsid(v); });
        w->integer("cipher", 0, kMaxByte,
                   [&](long long v) { ws.setCipherCode(static_cast<std::uint8_t>(v)); });
        w->integer("auth", 0, kMaxByte,
                   [&](long long v) { ws.setAuthenticationCode(static_cast<std::uint8_t>(v)); });
        w->text("password", kMaxWifiPassword, [&](const std::string& v) { ws.setPassword(v); });
        w->onlyKnown();
    }
    if (auto m = f.object("mail")) {
        m->text("sender_name", settings::kMailSenderNameSize,
                [&](const std::string& v) { r.setMailSenderName(v); });
        m->text("sender_domain", settings::kMailSenderDomainSize,
                [&](const std::string& v) { r.setMailSenderDomain(v); });
        m->text("send_to", settings::kMailSendToSize,
                [&](const std::string& v) { r.setMailSendTo(v); });
        m->text("copy_to", settings::kMailCopyToSize,
                [&](const std::string& v) { r.setMailCopyTo(v); });
        m->integer("sensor_state", 0, kMaxByte,
                   [&](long long v) { r.setSensorState(static_cast<std::uint8_t>(v)); });
        m->onlyKnown();
    }
    return f.ok();
}

bool ApplyEarlyFields(Fields& f, SimClock& clock) {
    const settings::EarlyClockSettings r(clock.earlyRecord);
    f.text("serial", kMaxEarlySerial, [&](const std::string& v) { r.setSerialNumber(v); });
    f.address("ip", [&](Ipv4 v) { r.setIpAddress(v); });
    f.address("mask", [&](Ipv4 v) { r.setSubnetMask(v); });
    f.address("gateway", [&](Ipv4 v) { r.setGateway(v); });
    f.address("dns", [&](Ipv4 v) { r.setDnsServer(v); });
    std::optional<std::optional<settings::DstRule>> dst;
    if (ReadDst(f, dst) && dst) {
        settings::StoreEarlyDst(r, *dst);
    }
    std::optional<settings::TimeZoneOffset> zone;
    if (ReadTimeZone(f, zone) && zone) {
        r.setTimeZone(*zone);
    }
    f.boolean("twenty_four_hour", [&](bool v) {
        r.setTimeFormat(v ? settings::early::kTimeFormat24 : settings::early::kTimeFormat12);
    });
    f.boolean("dynamic_ip", [&](bool v) { r.setDynamicIp(v); });
    f.integer("brightness", 0, kMaxByte,
              [&](long long v) { r.setBrightness(static_cast<std::uint8_t>(v)); });
    if (auto e = f.object("energy_saving")) {
        e->integer("start", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingStartHour(static_cast<std::uint8_t>(v)); });
        e->integer("end", 0, settings::kMaxHour,
                   [&](long long v) { r.setEnergySavingEndHour(static_cast<std::uint8_t>(v)); });
        e->onlyKnown();
    }
    if (const JsonValue* servers = f.get("time_servers")) {
        bool good =
            servers->isArray() && servers->asArray().size() <= settings::early::kTimeServerCount;
        std::vector<Ipv4> addresses;
        for (std::size_t i = 0; good && i < servers->asArray().size(); ++i) {
            const JsonValue& item = servers->asArray()[i];
            auto parsed = item.isString() ? ParseDottedAddress(item.asString()) : std::nullopt;
            good = parsed.has_value();
            addresses.push_back(parsed.value_or(0));
        }
        if (!good) {
            return f.fail("time_servers", "expected a list of at most 5 dotted addresses");
        }
        std::uint8_t given = 0;
        for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
            const Ipv4 address = i < addresses.size() ? addresses[i] : 0;
            r.setTimeServerAddress(i, address);
            given += address != 0 ? 1 : 0;
        }
        r.setTimeServerCount(given);
    }
    f.address("time_server_in_use", [&](Ipv4 v) { r.setTimeServerInUse(v); });
    return f.ok();
}

// One entry of "clocks": one clock ("address") or several alike ("addresses").
bool ReadClockEntry(const JsonValue& entry, const std::string& path, const Faults& baseFaults,
                    std::vector<SimClock>& clocks, std::string& error) {
    if (!entry.isObject()) {
        error = path + ": expected an object";
        return false;
    }
    Fields f(entry, path, error);
    std::optional<ClockKind> kind;
    if (const JsonValue* k = f.get("kind")) {
        kind = k->isString() ? KindOf(k->asString()) : std::nullopt;
    }
    if (!kind) {
        return f.fail("kind", "expected \"wired\", \"wifi\", \"early\" or \"early-wifi\"");
    }
    std::vector<Ipv4> addresses;
    const JsonValue* one = f.get("address");
    const JsonValue* many = f.get("addresses");
    if ((one != nullptr) == (many != nullptr)) {
        return f.fail("", "give either \"address\" or \"addresses\"");
    }
    const JsonValue* given = one ? one : many;
    std::string rangeError;
    if (!given->isString()) {
        return f.fail(one ? "address" : "addresses", "expected a text");
    }
    if (auto parsed = ParseAddressList(given->asString(), rangeError)) {
        addresses = std::move(*parsed);
    } else {
        return f.fail(one ? "address" : "addresses", rangeError);
    }
    if (one && addresses.size() != 1) {
        return f.fail("address", "expected one address (use \"addresses\" for more)");
    }
    Faults faults = baseFaults;
    if (const JsonValue* fv = f.get("faults")) {
        if (!ReadFaults(*fv, path + ".faults", faults, error)) {
            return false;
        }
    }
    std::optional<std::array<std::uint8_t, kMacSize>> mac;
    if (const JsonValue* m = f.get("mac")) {
        mac = m->isString() ? ParseMac(m->asString()) : std::nullopt;
        if (!mac) {
            return f.fail("mac", "expected six hex pairs such as \"02:54:56:00:00:0a\"");
        }
        if (addresses.size() != 1) {
            return f.fail("mac", "only for a single clock");
        }
    }
    for (Ipv4 address : addresses) {
        SimClock clock = MakeDefaultClock(*kind, address);
        clock.faults = faults;
        if (mac) {
            clock.mac = *mac;
        }
        if (const JsonValue* hex = f.get("record_hex")) {
            std::span<std::uint8_t> target = IsEarly(*kind)
                                                 ? std::span<std::uint8_t>(clock.earlyRecord)
                                                 : std::span<std::uint8_t>(clock.record);
            if (!hex->isString() || !ParseHexBytes(hex->asString(), target)) {
                return f.fail("record_hex", "expected " + std::to_string(target.size() * 2) +
                                                " hex digits (the whole record)");
            }
        }
        if (!(IsEarly(*kind) ? ApplyEarlyFields(f, clock) : ApplyCurrentFields(f, clock))) {
            return false;
        }
        clocks.push_back(clock);
        if (clocks.size() > kMaxClocks) {
            return f.fail("", "more than " + std::to_string(kMaxClocks) + " clocks");
        }
    }
    return f.onlyKnown();
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

}  // namespace

std::optional<Ipv4> ParseDottedAddress(std::string_view text) {
    std::uint32_t host = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part != 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        std::size_t start = pos;
        while (pos < text.size() && pos - start < 4 && text[pos] >= '0' && text[pos] <= '9') {
            ++pos;
        }
        auto value = ParseInteger(text.substr(start, pos - start));
        if (!value || *value > kMaxByte || pos - start > 3) {
            return std::nullopt;
        }
        host = (host << 8) | static_cast<std::uint32_t>(*value);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return platform::HostToNetwork32(host);
}

std::optional<std::vector<Ipv4>> ParseAddressList(std::string_view text, std::string& error) {
    std::vector<Ipv4> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string_view item =
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
        std::size_t dash = item.find('-');
        auto first = ParseDottedAddress(item.substr(0, dash));
        if (!first) {
            error = "bad address \"" + std::string(item.substr(0, dash)) + "\"";
            return std::nullopt;
        }
        std::uint32_t low = platform::NetworkToHost32(*first);
        std::uint32_t high = low;
        if (dash != std::string_view::npos) {
            std::string_view end = item.substr(dash + 1);
            if (auto last = ParseDottedAddress(end)) {
                high = platform::NetworkToHost32(*last);
            } else if (auto octet = ParseInteger(end); octet && *octet >= 0 && *octet <= kMaxByte) {
                high = (low & ~kLastOctetMask) | static_cast<std::uint32_t>(*octet);
            } else {
                error = "bad range end \"" + std::string(end) + "\"";
                return std::nullopt;
            }
            if (high < low) {
                error = "range \"" + std::string(item) + "\" runs backwards";
                return std::nullopt;
            }
        }
        if (high - low >= kMaxClocks || out.size() + (high - low) >= kMaxClocks) {
            error = "more than " + std::to_string(kMaxClocks) + " addresses";
            return std::nullopt;
        }
        for (std::uint32_t host = low;; ++host) {
            const std::uint32_t last = host & kLastOctetMask;
            if (host == 0 || last == 0 || last == kBroadcastOctet) {
                error = platform::FormatIpv4(platform::HostToNetwork32(host)) +
                        " cannot be a clock (addresses ending in .0 or .255 are never sent to)";
                return std::nullopt;
            }
            out.push_back(platform::HostToNetwork32(host));
            if (host == high) {
                break;
            }
        }
    }
    return out;
}

std::optional<std::vector<SimClock>> LoadClockFile(std::string_view text, const Faults& baseFaults,
                                                   std::string& error) {
    std::string parseError;
    auto document = ParseJson(text, parseError);
    if (!document) {
        error = parseError;
        return std::nullopt;
    }
    if (!document->isObject()) {
        error = "expected an object with \"clocks\"";
        return std::nullopt;
    }
    Fields top(*document, "file", error);
    Faults faults = baseFaults;
    if (const JsonValue* fv = top.get("faults")) {
        if (!ReadFaults(*fv, "faults", faults, error)) {
            return std::nullopt;
        }
    }
    const JsonValue* list = top.get("clocks");
    if (!list || !list->isArray()) {
        top.fail("clocks", "expected a list of clocks");
        return std::nullopt;
    }
    if (!top.onlyKnown()) {
        return std::nullopt;
    }
    std::vector<SimClock> clocks;
    for (std::size_t i = 0; i < list->asArray().size(); ++i) {
        if (!ReadClockEntry(list->asArray()[i], "clocks[" + std::to_string(i) + "]", faults, clocks,
                            error)) {
            return std::nullopt;
        }
    }
    return clocks;
}

std::optional<std::string> ReadTextFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::string text;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) {
            error = path + " is larger than " + std::to_string(kMaxFileBytes) + " bytes";
            return std::nullopt;
        }
    }
    return text;
}

std::optional<SimConfig> ParseCommandLine(const std::vector<std::string>& args, std::string& error,
                                          FileReader readFile) {
    SimConfig config;
    Faults faults;
    struct Range {
        ClockKind kind;
        std::string text;
    };
    std::vector<Range> ranges;
    std::vector<std::string> files;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto integer = [&](long long low, long long high, long long& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            auto parsed = ParseInteger(text);
            if (!parsed || *parsed < low || *parsed > high) {
                error = arg + " takes a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not \"" + text + "\"";
                return false;
            }
            out = *parsed;
            return true;
        };
        auto share = [&](double& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            auto parsed = ParseFraction(text);
            if (!parsed || *parsed < 0 || *parsed > 1) {
                error = arg + " takes a share from 0 to 1 (0.25 = a quarter), not \"" + text + "\"";
                return false;
            }
            out = *parsed;
            return true;
        };
        long long number = 0;
        std::string text;
        if (arg == "--help" || arg == "-h") {
            config.help = true;
            return config;
        } else if (arg == "--wired" || arg == "--wifi" || arg == "--early" ||
                   arg == "--early-wifi") {
            if (!value(text)) {
                return std::nullopt;
            }
            ranges.push_back({*KindOf(arg.substr(2)), text});
        } else if (arg == "--clocks") {
            if (!value(text)) {
                return std::nullopt;
            }
            files.push_back(text);
        } else if (arg == "--log") {
            if (!value(config.logPath)) {
                return std::nullopt;
            }
        } else if (arg == "--seed") {
            if (!integer(0, 0xFFFFFFFFLL, number)) {
                return std::nullopt;
            }
            config.seed = static_cast<std::uint32_t>(number);
        } else if (arg == "--buffer") {
            if (!integer(kMinBufferBytes, kMaxBufferBytes, number)) {
                return std::nullopt;
            }
            config.bufferBytes = static_cast<int>(number);
        } else if (arg == "--list") {
            config.listOnly = true;
        } else if (arg == "--silent") {
            faults.silent = true;
        } else if (arg == "--no-ack") {
            faults.noAck = true;
        } else if (arg == "--wrong-size") {
            faults.wrongSize = true;
        } else if (arg == "--junk") {
            faults.junk = true;
        } else if (arg == "--hostile-lengths") {
            faults.hostileLengths = true;
        } else if (arg == "--drop") {
            if (!share(faults.drop)) {
                return std::nullopt;
            }
        } else if (arg == "--duplicate") {
            if (!share(faults.duplicate)) {
                return std::nullopt;
            }
        } else if (arg == "--delay") {
            if (!integer(0, kMaxDelayMs, number)) {
                return std::nullopt;
            }
            faults.delayMs = static_cast<int>(number);
        } else if (arg == "--jitter") {
            if (!integer(0, kMaxDelayMs, number)) {
                return std::nullopt;
            }
            faults.jitterMs = static_cast<int>(number);
        } else if (arg == "--ignore-first") {
            if (!integer(0, 1000000, number)) {
                return std::nullopt;
            }
            faults.ignoreFirst = static_cast<int>(number);
        } else if (arg == "--faults-on") {
            if (!value(text)) {
                return std::nullopt;
            }
            std::uint8_t classes = 0;
            std::stringstream list(text);
            for (std::string item; std::getline(list, item, ',');) {
                if (item == "probe") {
                    classes |= kProbeRequests;
                } else if (item == "read") {
                    classes |= kReadRequests;
                } else if (item == "write") {
                    classes |= kWriteRequests;
                } else {
                    error = "--faults-on takes probe, read and write, comma-separated, not \"" +
                            item + "\"";
                    return std::nullopt;
                }
            }
            if (classes == 0) {
                error = "--faults-on needs at least one of probe, read, write";
                return std::nullopt;
            }
            faults.appliesTo = classes;
        } else {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        }
    }

    for (const auto& range : ranges) {
        auto addresses = ParseAddressList(range.text, error);
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

namespace tavlo::clocksim {

std::string HelpText() {
    return R"(Usage: tavlo-clocksim [OPTIONS]

Plays any number of network wall clocks on this machine, for tests, demonstrations and
trying TavloAdmin without hardware. Every clock answers discovery, reads and writes as a
real clock does, from its own IPv4 address. One process serves all clocks: it listens on
UDP 6866 and 6869 of every address and replies from the address that was asked (or, for
a broadcast, from the address of every clock of the kind asked).

Each clock address must be an address of this machine (or of the network namespace the
simulator runs in). The test network does that for you:

  sudo scripts/testnet up demo --clocks 6
  sudo scripts/testnet exec demo clocks build/tools/clocksim/tavlo-clocksim \
       --wired 198.18.0.10-12 --wifi 198.18.0.13-14 --early 198.18.0.15
  sudo scripts/testnet exec demo pc build/tools/tavlo/tavlo search    # in another terminal
  sudo scripts/testnet down demo

On a real Linux machine, give it spare addresses first, for example
  sudo ip addr add 10.1.2.50/24 dev eth0

Clocks:
  --wired RANGE       wired clocks: chunked frames on UDP 6869
  --wifi RANGE        Wi-Fi clocks: whole 772-byte frames on UDP 6866
  --early RANGE       early-version clocks of the wired family: command frames on UDP 6869
  --early-wifi RANGE  early-version clocks of the Wi-Fi family: as --early, and they also
                      answer the early-version discovery probe on UDP 6866
  --clocks FILE       clocks described one by one in a JSON file (below)
  RANGE is an address (198.18.0.10), a range (198.18.0.10-198.18.0.14, or 198.18.0.10-14),
  or a comma list of these. Options may be repeated and mixed; at most 4096 clocks, and no
  two at one address.

Every clock starts with plausible settings: serial number "SN" and four digits from its
address (198.18.0.10 is SN0010), MAC 02:54:56:00 and the address's last two numbers,
version 3.29, user password "omber", global password "tarnfelk", gateway and DNS at .1 of
its network, NTP servers at .2 and .3 (port 123; the second with key ID 1), UTC+1 with the
European summer time rule, brightness "Normal", 24-hour display, energy saving 23 to 6
(dimmed), a humiture sensor reading 21.5 C and 45 %, the text "WELCOME", and for Wi-Fi
clocks the network "ClockNet" (AES, WPA2PSK). A write changes the record the way a clock
does: serial number, version, passwords and readings stay; a batch write (batch bit set)
leaves the IP address, subnet mask and gateway alone. The clock keeps answering at the
address it was started with, whatever address a write gives it.

Faults (for every clock; a clock file can set them per clock):
  --drop P            lose each reply datagram with probability P (0 to 1)
  --duplicate P       send each reply datagram twice with probability P
  --delay MS          send replies MS milliseconds late
  --jitter MS         plus a random 0 to MS milliseconds per reply
  --ignore-first N    ignore the first N requests, then answer
  --silent            never answer (requests are still logged)
  --no-ack            clear the acknowledgement (flag bit 0; early clocks: request marker)
  --wrong-size        every reply datagram one byte too long
  --junk              before every reply, datagrams of wrong sizes (1 byte, one short, one
                      long)
  --hostile-lengths   chunk length bytes that lie (255, 101, 0, 100 in turn)
  --faults-on LIST    which requests the faults hit: probe,read,write (default all three)

Other options:
  --log FILE          write every datagram received as one JSON line (decoded fields of the
                      request, which clocks took it, how many datagrams they sent back)
  --seed N            seed for nonces, loss and jitter (default: from the clock)
  --buffer BYTES      socket buffer size (default 8388608)
  --list              print the clocks and their settings summary, then exit
  -h, --help          this text

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
  "no_ack", "wrong_size", "junk", "hostile_lengths", "on": ["probe", "read", "write"]}.
)";
}

}  // namespace tavlo::clocksim
