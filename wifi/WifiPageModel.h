// The WIFI Information page without widgets: what each of its controls holds, and the routines
// that empty it, show a clock's association on it, turn it into a Wi-Fi write request and react
// to "Wifi_Pattern". Plain data and pure functions, like the Basic page's model.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "pagemodel/PageControls.h"
#include "settings/ClockSettings.h"
#include "wifi/WifiSettings.h"

namespace tavlo::wifi {

// The scan table: rows and result columns (the "Num" column holds the row buttons).
inline constexpr std::size_t kScanRows = 6;
inline constexpr std::size_t kScanColumns = 6;  // SSID, Channel, Rssi, Cipher, Auth, Bss_type

// Batch Modify from this page sends one request to every clock; it must name the network
// itself rather than carry one clock's.
inline constexpr std::string_view kBatchNeedsNetworkMessage =
    "Please select Wifi_Pattern and enter the network for every clock!";
// The authentication entry of an open network, which needs no password.
inline constexpr std::string_view kOpenAuthenticationEntry = "NONE";

// Edit limits, in code page 936 bytes.
inline constexpr std::size_t kSsidMaxBytes = kSsidSize;
inline constexpr std::size_t kWifiPasswordMaxBytes = kPasswordSize;

// What every control of the WIFI Information page holds. A default model is the page as it is
// created: the association locked, the password open.
struct WifiPageModel {
    // group box "Wired": the scan area, empty and locked for the whole run
    pagemodel::ButtonControl wiredPattern{false, false};  // "Wired_Pattern"
    std::array<pagemodel::ButtonControl, kScanRows> rowButtons{{{false, false},
                                                                {false, false},
                                                                {false, false},
                                                                {false, false},
                                                                {false, false},
                                                                {false, false}}};  // "1" ... "6"
    std::array<std::array<std::string, kScanColumns>, kScanRows> scanCells{};
    // group box "Wifi": the association
    pagemodel::ButtonControl wifiPattern;  // "Wifi_Pattern"
    pagemodel::TextControl ssid{{}, false, pagemodel::TextKind::kText, kSsidMaxBytes};
    pagemodel::ListControl cipher{kCipherEntries};
    pagemodel::ListControl auth{kAuthenticationEntries};
    pagemodel::TextControl password{{}, true, pagemodel::TextKind::kText, kWifiPasswordMaxBytes};
    // The Wi-Fi fields of the clock shown, as its read reply carried them; nothing when no
    // clock is shown. The store writes them back for what the operator leaves alone.
    std::optional<WifiFields> read;

    WifiPageModel() {
        cipher.setEnabled(false);
        auth.setEnabled(false);
    }

    friend bool operator==(const WifiPageModel&, const WifiPageModel&) = default;
};

// Empties and locks the page; no clock is shown.
void ResetWifiPage(WifiPageModel& model);

// Shows a current clock's association when the frame is a read reply (type 1): the SSID, and
// the cipher and authentication entries named by their codes (a code outside the tables selects
// nothing), both lists locked. The Wi-Fi password is not shown; the reply's Wi-Fi fields are
// kept as they came (`read`).
void ShowWifiPage(WifiPageModel& model, settings::ConstSettingsBytes frame);

// Writes the page into a Wi-Fi write request (frame type 40) in a frame the caller has cleared.
// What the operator set is written: the password when the box holds one, the SSID and the
// selected cipher and authentication entries when "Wifi_Pattern" is checked. Everything else
// is the clock's own from `read`: its SSID, length and both codes without "Wifi_Pattern" (a list
// without a selection keeps its code), its password and length for an empty box. A box that
// holds the clock's own text (the SSID as shown, the password typed as the clock has it) also
// keeps the clock's field byte for byte with its length byte. A page that shows no clock writes
// what it holds: an empty password, and zeros for the association without "Wifi_Pattern".
// Never refuses.
void StoreWifiPage(const WifiPageModel& model, settings::SettingsBytes frame);

// True when the page names a network for every clock, as Batch Modify requires:
// "Wifi_Pattern" checked with an SSID, and a password unless the authentication is "NONE".
bool NamesNetworkForEveryClock(const WifiPageModel& model);

// The handler of "Wifi_Pattern", run after a click: when it is checked, the association is
// unlocked and the scan area locked.
void OnWifiPattern(WifiPageModel& model);

// A click on "Wifi_Pattern" as the operator makes it: when the button is enabled it becomes
// checked and its handler runs. False for a disabled button.
bool ClickWifiPattern(WifiPageModel& model);

}  // namespace tavlo::wifi
