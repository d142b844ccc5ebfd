#include "tools/clocksim/SimClock.h"

#include <algorithm>
#include <cstdio>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::clocksim {
namespace {

using platform::Ipv4;
using platform::MakeIpv4;

// The address .n of the clock's own /24.
Ipv4 SameSubnet(Ipv4 address, std::uint8_t last) {
    const std::uint32_t host = platform::NetworkToHost32(address);
    return MakeIpv4(static_cast<std::uint8_t>(host >> 24), static_cast<std::uint8_t>(host >> 16),
                    static_cast<std::uint8_t>(host >> 8), last);
}

constexpr std::uint8_t kGatewayOctet = 1;
constexpr std::uint8_t kTimeServer1Octet = 2;
constexpr std::uint8_t kTimeServer2Octet = 3;
constexpr std::uint16_t kNtpPort = 123;
constexpr std::uint16_t kDefaultKeyId = 1;
constexpr std::string_view kDefaultKey = "ntpkey1";
constexpr std::uint8_t kTimeServerInUseRow = 1;
constexpr settings::TimeZoneOffset kDefaultZone{1, 0};  // UTC+1
// Last Sunday of March, 2 o'clock, to last Sunday of October, 3 o'clock.
constexpr settings::DstTransition kDstStart{3, 6, 7, 2};
constexpr settings::DstTransition kDstEnd{10, 6, 7, 3};
constexpr std::uint8_t kEnergySavingStart = 23;
constexpr std::uint8_t kEnergySavingEnd = 6;
constexpr float kTemperature = 21.5F;
constexpr float kHumidity = 45.0F;
constexpr std::uint8_t kTimeDuration = 5;
constexpr std::uint8_t kTemperatureDuration = 3;
constexpr std::uint8_t kHumidityDuration = 3;
constexpr std::string_view kDisplayText = "WELCOME";
constexpr std::string_view kSsid = "ClockNet";
constexpr std::string_view kWifiPassword = "clocknet-2024";
constexpr std::uint8_t kAesCipher = 1;
constexpr std::uint8_t kWpa2PskAuth = 5;
constexpr std::string_view kMailSenderName = "clock";
constexpr std::string_view kMailSenderDomain = "example.com";
constexpr std::string_view kMailSendTo = "facilities@example.com";
constexpr std::array<std::uint8_t, 4> kMacPrefix{0x02, 0x54, 0x56, 0x00};
constexpr std::uint8_t kEarlyTimeServerCount = 2;

std::string DefaultSerial(Ipv4 address) {
    const std::uint32_t host = platform::NetworkToHost32(address);
    char text[16];
    std::snprintf(text, sizeof text, "SN%04u", static_cast<unsigned>(host & 0xFFFFu) % 10000u);
    return text;
}

void FillCurrentRecord(SimClock& clock) {
    settings::ClockSettings record(clock.record);
    record.setVersion(kDefaultVersion);
    record.setSerialNumber(DefaultSerial(clock.address));
    record.setIpAddress(clock.address);
    record.setSubnetMask(MakeIpv4(255, 255, 255, 0));
    record.setGateway(SameSubnet(clock.address, kGatewayOctet));
    record.setDnsServer(SameSubnet(clock.address, kGatewayOctet));
    settings::StoreDst(record, settings::DstRule{kDstStart, kDstEnd});
    record.setTwentyFourHourDisplay(true);
    record.setBrightness(static_cast<std::uint8_t>(settings::Brightness::kNormal));
    record.setTimeZone(kDefaultZone);
    record.setEnergySavingStartHour(kEnergySavingStart);
    record.setEnergySavingEndHour(kEnergySavingEnd);
    record.setEnergySavingMode(static_cast<std::uint8_t>(settings::EnergySavingMode::kDisplayDim));
    record.setTimeServerInUse(kTimeServerInUseRow);
    record.setTimeServerRow(0, {SameSubnet(clock.address, kTimeServer1Octet), kNtpPort, 0, ""});
    record.setTimeServerRow(1, {SameSubnet(clock.address, kTimeServer2Octet), kNtpPort,
                                kDefaultKeyId, std::string(kDefaultKey)});
    record.setHumitureUnitByte(static_cast<std::uint8_t>(settings::HumitureUnit::kCelsius));
    record.setTemperature(kTemperature);
    record.setHumidity(kHumidity);
    record.setTimeDisplayDuration(kTimeDuration);
    record.setTemperatureDisplayDuration(kTemperatureDuration);
    record.setHumidityDisplayDuration(kHumidityDuration);
    record.setUserPassword(kDefaultUserPassword);
    record.setGlobalPassword(kDefaultGlobalPassword);
    record.setDisplayText(kDisplayText);
    record.setTextDisplayMode(settings::kTextDisplayRoll);
    record.setMailSenderName(kMailSenderName);
    record.setMailSenderDomain(kMailSenderDomain);
    record.setMailSendTo(kMailSendTo);
    if (clock.kind == ClockKind::kWifi) {
        wifi::WifiSettings association(clock.record);
        association.setSsid(kSsid);
        association.setCipherCode(kAesCipher);
        association.setAuthenticationCode(kWpa2PskAuth);
        association.setPassword(kWifiPassword);
    }
}

void FillEarlyRecord(SimClock& clock) {
    settings::EarlyClockSettings record(clock.earlyRecord);
    settings::StoreEarlyDst(record, settings::DstRule{kDstStart, kDstEnd});
    record.setTimeZone(kDefaultZone);
    record.setTimeFormat(settings::early::kTimeFormat24);
    record.setBrightness(static_cast<std::uint8_t>(settings::Brightness::kNormal));
    record.setEnergySavingStartHour(kEnergySavingStart);
    record.setEnergySavingEndHour(kEnergySavingEnd);
    record.setTimeServerCount(kEarlyTimeServerCount);
    record.setDynamicIp(false);
    record.setTimeServerAddress(0, SameSubnet(clock.address, kTimeServer1Octet));
    record.setTimeServerAddress(1, SameSubnet(clock.address, kTimeServer2Octet));
    record.setIpAddress(clock.address);
    record.setSubnetMask(MakeIpv4(255, 255, 255, 0));
    record.setGateway(SameSubnet(clock.address, kGatewayOctet));
    record.setDnsServer(SameSubnet(clock.address, kGatewayOctet));
    record.setTimeServerInUse(SameSubnet(clock.address, kTimeServer1Octet));
    record.setSerialNumber(DefaultSerial(clock.address));
}

}  // namespace

std::string_view KindName(ClockKind kind) {
    switch (kind) {
        case ClockKind::kWired:
            return "wired";
        case ClockKind::kWifi:
            return "wifi";
        case ClockKind::kEarly:
            return "early";
        case ClockKind::kEarlyWifi:
            return "early-wifi";
    }
    return "unknown";
}

bool IsEarly(ClockKind kind) {
    return kind == ClockKind::kEarly || kind == ClockKind::kEarlyWifi;
}

std::string SimClock::SerialNumber() const {
    if (IsEarly(kind)) {
        return settings::ConstEarlyClockSettings(earlyRecord).serialNumber();
    }
    return settings::ConstClockSettings(record).serialNumber();
}

SimClock MakeDefaultClock(ClockKind kind, platform::Ipv4 address) {
    SimClock clock;
    clock.kind = kind;
    clock.address = address;
    const std::uint32_t host = platform::NetworkToHost32(address);
    clock.mac = {kMacPrefix[0],
                 kMacPrefix[1],
                 kMacPrefix[2],
                 kMacPrefix[3],
                 static_cast<std::uint8_t>(host >> 8),
                 static_cast<std::uint8_t>(host)};
    // Both records open with the magic, as every reply does.
    std::copy(protocol::kMagic.begin(), protocol::kMagic.end(), clock.record.begin());
    std::copy(protocol::kMagic.begin(), protocol::kMagic.end(), clock.earlyRecord.begin());
    if (IsEarly(kind)) {
        FillEarlyRecord(clock);
    } else {
        FillCurrentRecord(clock);
    }
    return clock;
}

std::string FormatMac(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace tavlo::clocksim
