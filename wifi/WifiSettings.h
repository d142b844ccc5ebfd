// The Wi-Fi association fields of the 772-byte SettingsFrame (network name, cipher,
// authentication, password), read and written in place, and the code tables that map the
// "Cipher:" and "Auth:" entries to the codes the clocks use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ClockSettings.h"
#include "settings/FieldText.h"

namespace tavlo::wifi {

// Field offsets from the start of the SettingsFrame.
inline constexpr std::size_t kSsidOffset = 288;
inline constexpr std::size_t kSsidSize = 32;
inline constexpr std::size_t kSsidLengthOffset = 321;
inline constexpr std::size_t kCipherCodeOffset = 324;
inline constexpr std::size_t kAuthenticationCodeOffset = 325;
inline constexpr std::size_t kPasswordOffset = 326;
inline constexpr std::size_t kPasswordSize = 20;
inline constexpr std::size_t kPasswordLengthOffset = 346;

static_assert(kSsidOffset == settings::kWifiFieldsOffset);
static_assert(kPasswordLengthOffset + 1 == settings::kWifiFieldsOffset + settings::kWifiFieldsSize);

// Frame type of a request that writes the Wi-Fi settings.
inline constexpr auto kWifiWriteFrameType =
    static_cast<std::uint8_t>(protocol::FrameType::kWriteWifi);

// The Wi-Fi fields of a clock's reply byte for byte, lengths and codes as the clock gave them
// (codes outside the tables too).
struct WifiFields {
    std::array<std::uint8_t, kSsidSize> ssid{};
    std::uint8_t ssidLength = 0;
    std::uint8_t cipherCode = 0;
    std::uint8_t authenticationCode = 0;
    std::array<std::uint8_t, kPasswordSize> password{};
    std::uint8_t passwordLength = 0;
    friend bool operator==(const WifiFields&, const WifiFields&) = default;
};

struct CodeEntry {
    std::uint8_t code;
    std::string_view entry;
};

// Codes by entry text. The cipher codes do not follow the list order below.
inline constexpr std::array<CodeEntry, 4> kCipherCodes{
    {{0, "OPEN"}, {1, "AES"}, {2, "TKIP"}, {3, "WEP"}}};
inline constexpr std::array<CodeEntry, 6> kAuthenticationCodes{
    {{0, "NONE"}, {1, "WEP"}, {2, "WPA"}, {3, "WPA2"}, {4, "WPAPSK"}, {5, "WPA2PSK"}}};

// Entries of the "Cipher:" and "Auth:" lists, in list order.
inline constexpr std::array<std::string_view, 4> kCipherEntries{"OPEN", "WEP", "TKIP", "AES"};
inline constexpr std::array<std::string_view, 6> kAuthenticationEntries{
    "NONE", "WEP", "WPA", "WPA2", "WPAPSK", "WPA2PSK"};

// The entry text of a code; nothing for a code outside the table.
std::optional<std::string_view> CipherEntry(std::uint8_t code);
std::optional<std::string_view> AuthenticationEntry(std::uint8_t code);
// The code of an entry text, compared exactly; nothing for any other text.
std::optional<std::uint8_t> CipherCode(std::string_view entry);
std::optional<std::uint8_t> AuthenticationCode(std::string_view entry);

class ConstWifiSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    ConstWifiSettings(settings::ConstSettingsBytes bytes) : bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    ConstWifiSettings(const protocol::SettingsFrame& frame) : bytes_(frame) {}

    // Up to the first NUL or the end of the 32-byte field; the length byte is not trusted.
    std::string ssid() const;
    std::uint8_t ssidLength() const;
    std::uint8_t cipherCode() const;
    std::uint8_t authenticationCode() const;
    std::string password() const;  // up to the first NUL or the end of the 20-byte field
    std::uint8_t passwordLength() const;
    // Every Wi-Fi field as it is.
    WifiFields fields() const;

  private:
    settings::ConstSettingsBytes bytes_;
};

class WifiSettings : public ConstWifiSettings {
  public:
    // NOLINTNEXTLINE(google-explicit-constructor): a view of the frame it is made from.
    WifiSettings(settings::SettingsBytes bytes) : ConstWifiSettings(bytes), bytes_(bytes) {}
    // NOLINTNEXTLINE(google-explicit-constructor)
    WifiSettings(protocol::SettingsFrame& frame) : WifiSettings(settings::SettingsBytes(frame)) {}

    // Writes at most 32 characters, NUL-padded, and their number into the length byte.
    void setSsid(std::string_view text) const;
    void setSsidLength(std::uint8_t length) const;
    void setCipherCode(std::uint8_t code) const;
    void setAuthenticationCode(std::uint8_t code) const;
    // Writes at most 20 characters, NUL-padded, and their number into the length byte.
    void setPassword(std::string_view text) const;
    void setPasswordLength(std::uint8_t length) const;
    // Writes back fields as they were read: the SSID, its length byte and both codes; the
    // SSID and its length byte; the password and its length byte.
    void setAssociation(const WifiFields& fields) const;
    void setSsidField(const WifiFields& fields) const;
    void setPasswordField(const WifiFields& fields) const;

  private:
    settings::SettingsBytes bytes_;
};

// What the WIFI page hands over for a write request.
struct WifiRequest {
    std::string password;
    // The association fields are sent only when the operator unlocked them ("Wifi_Pattern").
    bool associationEdited = false;
    std::string ssid;
    std::string cipherEntry;          // the list's text; empty when nothing is selected
    std::string authenticationEntry;  // the list's text; empty when nothing is selected
};

// Fills a write request into a cleared frame: flag bit 0 and frame type 40, the password and
// its length, and, when the association was edited, the SSID and its length and the codes of
// the two entries. An entry that names no code (no selection) leaves its byte as it is.
void StoreWifiRequest(settings::SettingsBytes frame, const WifiRequest& request);

// The Wi-Fi fields by name in frame order, as FieldText: texts as UTF-8, codes as their entry
// ("unknown (9)" for a code outside the table); the password is marked secret.
std::vector<settings::FieldText> DescribeWifiSettings(ConstWifiSettings wifi);

}  // namespace tavlo::wifi
