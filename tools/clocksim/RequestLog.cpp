#include "tools/clocksim/RequestLog.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <span>

#include "platform/Ipv4.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using json::Json;

constexpr unsigned char kFirstHighByte = 0x80;
constexpr unsigned kLeadOfTwoBytes = 0xC0;
constexpr unsigned kContinuation = 0x80;
constexpr unsigned kContinuationBits = 6;
constexpr unsigned kContinuationMask = 0x3F;

std::string Address(platform::Ipv4 address) {
    return platform::FormatIpv4(address);
}

Json Dst(const settings::DstBytes& start, const settings::DstBytes& end) {
    auto three = [](const settings::DstBytes& b) {
        return Json::array({b.month, b.weekAndWeekday, b.hour});
    };
    return {{"start", three(start)}, {"end", three(end)}};
}

Json Time3(const settings::ClockTime& t) {
    return Json::array({t.hours, t.minutes, t.seconds});
}

Json Zone(const settings::TimeZoneBytes& zone) {
    return {{"hours_byte", zone.hours}, {"minutes", zone.minutes}};
}

// A sensor reading as the shortest decimal that reads back as the same float.
double Reading(float value) {
    std::array<char, 32> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
    double reading = value;
    std::from_chars(text.data(), written.ptr, reading);
    return reading;
}

}  // namespace

std::string ByteText(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstHighByte) {
            text += c;
        } else {
            text += static_cast<char>(kLeadOfTwoBytes | (byte >> kContinuationBits));
            text += static_cast<char>(kContinuation | (byte & kContinuationMask));
        }
    }
    return text;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

Json DecodeSettingsFrame(const protocol::SettingsFrame& frame) {
    const settings::ConstClockSettings s(frame);
    const wifi::ConstWifiSettings w(frame);
    Json rows = Json::array();
    for (std::size_t i = 0; i < settings::kTimeServerRowCount; ++i) {
        const auto row = s.timeServerRow(i);
        rows.push_back({{"address", Address(row.address)},
                        {"port", row.port},
                        {"key_id", row.keyId},
                        {"key", ByteText(row.key)}});
    }
    return {
        {"type", s.frameType()},
        {"flags", s.flags()},
        {"request_bit", s.requestBit()},
        {"batch", s.batchBit()},
        {"version", s.version()},
        {"serial", ByteText(s.serialNumber())},
        {"ip", Address(s.ipAddress())},
        {"mask", Address(s.subnetMask())},
        {"gateway", Address(s.gateway())},
        {"dns", Address(s.dnsServer())},
        {"dst", Dst(s.dstStart(), s.dstEnd())},
        {"twenty_four_hour", s.twentyFourHourDisplay()},
        {"dynamic_ip", s.dynamicIp()},
        {"brightness", s.brightness()},
        {"time_zone", Zone(s.timeZoneBytes())},
        {"energy_saving",
         {{"start", s.energySavingStartHour()},
          {"end", s.energySavingEndHour()},
          {"mode", s.energySavingMode()}}},
        {"time_server_in_use", s.timeServerInUse()},
        {"time_servers", std::move(rows)},
        {"by_name", s.timeServersByNameByte()},
        {"domain_names", Json::array({ByteText(s.domainName(0)), ByteText(s.domainName(1))})},
        {"humiture_unit", s.humitureUnitByte()},
        {"temperature", Reading(s.temperature())},
        {"humidity", Reading(s.humidity())},
        {"durations", Json::array({s.timeDisplayDuration(), s.temperatureDisplayDuration(),
                                   s.humidityDisplayDuration()})},
        {"count_down",
         {{"start", Time3(s.countDownStart())}, {"duration", Time3(s.countDownDuration())}}},
        {"user_password", ByteText(s.userPassword())},
        {"global_password", ByteText(s.globalPassword())},
        {"text", ByteText(s.displayText())},
        {"text_mode", s.textDisplayMode()},
        {"wifi",
         {{"ssid", ByteText(w.ssid())},
          {"ssid_length", w.ssidLength()},
          {"cipher", w.cipherCode()},
          {"auth", w.authenticationCode()},
          {"password", ByteText(w.password())},
          {"password_length", w.passwordLength()}}},
        {"hex", Hex(frame)},
    };
}

Json DecodeCommandFrame(const protocol::CommandFrame& frame) {
    const settings::ConstEarlyClockSettings s(frame);
    Json servers = Json::array();
    for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
        servers.push_back(Address(s.timeServerAddress(i)));
    }
    return {
        {"command", s.commandCode()},
        {"marker", s.requestMarker()},
        {"checksum", s.checksum()},
        {"serial", ByteText(s.serialNumber())},
        {"dst", Dst(s.dstStart(), s.dstEnd())},
        {"time_zone", Zone(s.timeZoneBytes())},
        {"time_format", s.timeFormat()},
        {"brightness", s.brightness()},
        {"energy_saving", {{"start", s.energySavingStartHour()}, {"end", s.energySavingEndHour()}}},
        {"time_server_count", s.timeServerCount()},
        {"dynamic_ip", s.dynamicIp()},
        {"time_servers", std::move(servers)},
        {"ip", Address(s.ipAddress())},
        {"mask", Address(s.subnetMask())},
        {"gateway", Address(s.gateway())},
        {"dns", Address(s.dnsServer())},
        {"time_server_in_use", Address(s.timeServerInUse())},
        {"hex", Hex(frame)},
    };
}

bool RequestLog::Open(const std::string& path, std::string& error) {
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void RequestLog::Write(const json::Json& line) {
    if (!file_) {
        return;
    }
    // Texts are bytes (ByteText): every byte from 0x80 up is written as \u0080 to \u00ff.
    constexpr int kOneLine = -1;
    constexpr bool kAsciiOnly = true;
    const std::string text =
        line.dump(kOneLine, ' ', kAsciiOnly, json::Json::error_handler_t::replace);
    std::fputs(text.c_str(), file_.get());
    std::fputc('\n', file_.get());
    std::fflush(file_.get());
}

}  // namespace tavlo::clocksim
