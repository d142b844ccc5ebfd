#include "wifi/WifiSettings.h"

#include <algorithm>
#include <span>

#include "platform/TextCodec.h"
#include "settings/ByteFields.h"

namespace tavlo::wifi {

namespace {

template <std::size_t N>
std::optional<std::string_view> EntryOf(const std::array<CodeEntry, N>& table, std::uint8_t code) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [code](const CodeEntry& e) { return e.code == code; });
    if (found == table.end()) {
        return std::nullopt;
    }
    return found->entry;
}

template <std::size_t N>
std::optional<std::uint8_t> CodeOf(const std::array<CodeEntry, N>& table, std::string_view entry) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [entry](const CodeEntry& e) { return e.entry == entry; });
    if (found == table.end()) {
        return std::nullopt;
    }
    return found->code;
}

std::string CodeText(std::optional<std::string_view> entry, std::uint8_t code) {
    if (entry) {
        return std::string(*entry);
    }
    return "unknown (" + std::to_string(code) + ")";
}

}  // namespace

std::optional<std::string_view> CipherEntry(std::uint8_t code) {
    return EntryOf(kCipherCodes, code);
}
std::optional<std::string_view> AuthenticationEntry(std::uint8_t code) {
    return EntryOf(kAuthenticationCodes, code);
}
std::optional<std::uint8_t> CipherCode(std::string_view entry) {
    return CodeOf(kCipherCodes, entry);
}
std::optional<std::uint8_t> AuthenticationCode(std::string_view entry) {
    return CodeOf(kAuthenticationCodes, entry);
}

std::string ConstWifiSettings::ssid() const {
    return settings::ReadText(bytes_, kSsidOffset, kSsidSize);
}
std::uint8_t ConstWifiSettings::ssidLength() const {
    return settings::ReadU8(bytes_, kSsidLengthOffset);
}
std::uint8_t ConstWifiSettings::cipherCode() const {
    return settings::ReadU8(bytes_, kCipherCodeOffset);
}
std::uint8_t ConstWifiSettings::authenticationCode() const {
    return settings::ReadU8(bytes_, kAuthenticationCodeOffset);
}
std::string ConstWifiSettings::password() const {
    return settings::ReadText(bytes_, kPasswordOffset, kPasswordSize);
}
std::uint8_t ConstWifiSettings::passwordLength() const {
    return settings::ReadU8(bytes_, kPasswordLengthOffset);
}

WifiFields ConstWifiSettings::fields() const {
    WifiFields f;
    const auto ssid = bytes_.subspan(kSsidOffset, kSsidSize);
    std::copy(ssid.begin(), ssid.end(), f.ssid.begin());
    f.ssidLength = ssidLength();
    f.cipherCode = cipherCode();
    f.authenticationCode = authenticationCode();
    const auto password = bytes_.subspan(kPasswordOffset, kPasswordSize);
    std::copy(password.begin(), password.end(), f.password.begin());
    f.passwordLength = passwordLength();
    return f;
}

void WifiSettings::setAssociation(const WifiFields& f) const {
    setSsidField(f);
    setCipherCode(f.cipherCode);
    setAuthenticationCode(f.authenticationCode);
}

void WifiSettings::setSsidField(const WifiFields& f) const {
    std::copy(f.ssid.begin(), f.ssid.end(), bytes_.subspan(kSsidOffset, kSsidSize).begin());
    setSsidLength(f.ssidLength);
}

void WifiSettings::setPasswordField(const WifiFields& f) const {
    std::copy(f.password.begin(), f.password.end(),
              bytes_.subspan(kPasswordOffset, kPasswordSize).begin());
    setPasswordLength(f.passwordLength);
}

void WifiSettings::setSsid(std::string_view text) const {
    const std::size_t written = settings::WriteText(bytes_, kSsidOffset, kSsidSize, text);
    setSsidLength(static_cast<std::uint8_t>(written));
}
void WifiSettings::setSsidLength(std::uint8_t length) const {
    settings::WriteU8(bytes_, kSsidLengthOffset, length);
}
void WifiSettings::setCipherCode(std::uint8_t code) const {
    settings::WriteU8(bytes_, kCipherCodeOffset, code);
}
void WifiSettings::setAuthenticationCode(std::uint8_t code) const {
    settings::WriteU8(bytes_, kAuthenticationCodeOffset, code);
}
void WifiSettings::setPassword(std::string_view text) const {
    const std::size_t written = settings::WriteText(bytes_, kPasswordOffset, kPasswordSize, text);
    setPasswordLength(static_cast<std::uint8_t>(written));
}
void WifiSettings::setPasswordLength(std::uint8_t length) const {
    settings::WriteU8(bytes_, kPasswordLengthOffset, length);
}

void StoreWifiRequest(settings::SettingsBytes frame, const WifiRequest& request) {
    const settings::ClockSettings header(frame);
    header.setRequestBit(true);
    header.setFrameType(kWifiWriteFrameType);

    const WifiSettings wifi(frame);
    wifi.setPassword(request.password);
    if (!request.associationEdited) {
        return;
    }
    wifi.setSsid(request.ssid);
    if (const auto code = CipherCode(request.cipherEntry)) {
        wifi.setCipherCode(*code);
    }
    if (const auto code = AuthenticationCode(request.authenticationEntry)) {
        wifi.setAuthenticationCode(*code);
    }
}

std::vector<settings::FieldText> DescribeWifiSettings(ConstWifiSettings wifi) {
    using platform::Cp936ToUtf8;
    return {
        {"ssid", kSsidOffset, Cp936ToUtf8(wifi.ssid())},
        {"ssidLength", kSsidLengthOffset, std::to_string(wifi.ssidLength())},
        {"cipher", kCipherCodeOffset, CodeText(CipherEntry(wifi.cipherCode()), wifi.cipherCode())},
        {"authentication", kAuthenticationCodeOffset,
         CodeText(AuthenticationEntry(wifi.authenticationCode()), wifi.authenticationCode())},
        {"wifiPassword", kPasswordOffset, Cp936ToUtf8(wifi.password()), true},
        {"wifiPasswordLength", kPasswordLengthOffset, std::to_string(wifi.passwordLength())},
    };
}

}  // namespace tavlo::wifi
