#include "tools/clocksim/RequestLog.h"

#include <cerrno>
#include <cstring>
#include <span>

#include "platform/Ipv4.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "tools/clocksim/Json.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

std::string Address(platform::Ipv4 address) {
    return JsonQuote(platform::FormatIpv4(address));
}

std::string Dst(const settings::DstBytes& start, const settings::DstBytes& end) {
    auto three = [](const settings::DstBytes& b) {
        return JsonArray(
            {std::to_string(b.month), std::to_string(b.weekAndWeekday), std::to_string(b.hour)});
    };
    return JsonObjectWriter().addRaw("start", three(start)).addRaw("end", three(end)).str();
}

std::string Time3(const settings::ClockTime& t) {
    return JsonArray(
        {std::to_string(t.hours), std::to_string(t.minutes), std::to_string(t.seconds)});
}

std::string Zone(const settings::TimeZoneBytes& zone) {
    return JsonObjectWriter()
        .add("hours_byte", unsigned{zone.hours})
        .add("minutes", unsigned{zone.minutes})
        .str();
}

}  // namespace

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

std::string DecodeSettingsFrame(const protocol::SettingsFrame& frame) {
    const settings::ConstClockSettings s(frame);
    const wifi::ConstWifiSettings w(frame);
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < settings::kTimeServerRowCount; ++i) {
        const auto row = s.timeServerRow(i);
        rows.push_back(JsonObjectWriter()
                           .addRaw("address", Address(row.address))
                           .add("port", unsigned{row.port})
                           .add("key_id", unsigned{row.keyId})
                           .add("key", row.key)
                           .str());
    }
    const std::string wifi = JsonObjectWriter()
                                 .add("ssid", w.ssid())
                                 .add("ssid_length", unsigned{w.ssidLength()})
                                 .add("cipher", unsigned{w.cipherCode()})
                                 .add("auth", unsigned{w.authenticationCode()})
                                 .add("password", w.password())
                                 .add("password_length", unsigned{w.passwordLength()})
                                 .str();
    const std::string countDown = JsonObjectWriter()
                                      .addRaw("start", Time3(s.countDownStart()))
                                      .addRaw("duration", Time3(s.countDownDuration()))
                                      .str();
    return JsonObjectWriter()
        .add("type", unsigned{s.frameType()})
        .add("flags", unsigned{s.flags()})
        .addBool("request_bit", s.requestBit())
        .addBool("batch", s.batchBit())
        .add("version", unsigned{s.version()})
        .add("serial", s.serialNumber())
        .addRaw("ip", Address(s.ipAddress()))
        .addRaw("mask", Address(s.subnetMask()))
        .addRaw("gateway", Address(s.gateway()))
        .addRaw("dns", Address(s.dnsServer()))
        .addRaw("dst", Dst(s.dstStart(), s.dstEnd()))
        .addBool("twenty_four_hour", s.twentyFourHourDisplay())
        .addBool("dynamic_ip", s.dynamicIp())
        .add("brightness", unsigned{s.brightness()})
        .addRaw("time_zone", Zone(s.timeZoneBytes()))
        .addRaw("energy_saving", JsonObjectWriter()
                                     .add("start", unsigned{s.energySavingStartHour()})
                                     .add("end", unsigned{s.energySavingEndHour()})
                                     .add("mode", unsigned{s.energySavingMode()})
                                     .str())
        .add("time_server_in_use", unsigned{s.timeServerInUse()})
        .addRaw("time_servers", JsonArray(rows))
        .add("by_name", unsigned{s.timeServersByNameByte()})
        .addRaw("domain_names", JsonArray({JsonQuote(s.domainName(0)), JsonQuote(s.domainName(1))}))
        .add("humiture_unit", unsigned{s.humitureUnitByte()})
        .addDouble("temperature", s.temperature())
        .addDouble("humidity", s.humidity())
        .addRaw("durations", JsonArray({std::to_string(s.timeDisplayDuration()),
                                        std::to_string(s.temperatureDisplayDuration()),
                                        std::to_string(s.humidityDisplayDuration())}))
        .addRaw("count_down", countDown)
        .add("user_password", s.userPassword())
        .add("global_password", s.globalPassword())
        .add("text", s.displayText())
        .add("text_mode", unsigned{s.textDisplayMode()})
        .addRaw("wifi", wifi)
        .add("hex", Hex(frame))
        .str();
}

std::string DecodeCommandFrame(const protocol::CommandFrame& frame) {
    const settings::ConstEarlyClockSettings s(frame);
    std::vector<std::string> servers;
    for (std::size_t i = 0; i < settings::early::kTimeServerCount; ++i) {
        servers.push_back(Address(s.timeServerAddress(i)));
    }
    return JsonObjectWriter()
        .add("command", unsigned{s.commandCode()})
        .add("marker", unsigned{s.requestMarker()})
        .add("checksum", unsigned{s.checksum()})
        .add("serial", s.serialNumber())
        .addRaw("dst", Dst(s.dstStart(), s.dstEnd()))
        .addRaw("time_zone", Zone(s.timeZoneBytes()))
        .add("time_format", unsigned{s.timeFormat()})
        .add("brightness", unsigned{s.brightness()})
        .addRaw("energy_saving", JsonObjectWriter()
                                     .add("start", unsigned{s.energySavingStartHour()})
                                     .add("end", unsigned{s.energySavingEndHour()})
                                     .str())
        .add("time_server_count", unsigned{s.timeServerCount()})
        .addBool("dynamic_ip", s.dynamicIp())
        .addRaw("time_servers", JsonArray(servers))
        .addRaw("ip", Address(s.ipAddress()))
        .addRaw("mask", Address(s.subnetMask()))
        .addRaw("gateway", Address(s.gateway()))
        .addRaw("dns", Address(s.dnsServer()))
        .addRaw("time_server_in_use", Address(s.timeServerInUse()))
        .add("hex", Hex(frame))
        .str();
}

bool RequestLog::Open(const std::string& path, std::string& error) {
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void RequestLog::Write(const std::string& json) {
    if (!file_) {
        return;
    }
    std::fputs(json.c_str(), file_.get());
    std::fputc('\n', file_.get());
    std::fflush(file_.get());
}

}  // namespace tavlo::clocksim
