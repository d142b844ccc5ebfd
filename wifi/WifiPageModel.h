// The WIFI Information page without widgets: what each of its controls holds, and the routines
// that empty it, show a clock's association on it, turn it into a Wi-Fi write request and react
// to "Wifi_Pattern". Plain data and pure functions, like the Basic page's model.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings/ClockSettings.h"
#include "settings/PageControls.h"
#include "wifi/WifiSettings.h"

namespace tavlo::wifi {

// The scan table: rows and result columns (the "Num" column holds the row buttons).
inline constexpr std::size_t kScanRows = 6;
inline constexpr std::size_t kScanColumns = 6;  // SSID, Channel, Rssi, Cipher, Auth, Bss_type

// Edit limits, in code page 936 bytes.
inline constexpr std::size_t kSsidMaxBytes = kSsidSize;
inline constexpr std::size_t kWifiPasswordMaxBytes = kPasswordSize;

// What every control of the WIFI Information page holds. A default model is the page as it is
// created: the association locked, the password open.
struct WifiPageModel {
    // group box "Wired": the scan area, empty and locked for the whole run
    settings::ButtonControl wiredPattern{false, false};  // "Wired_Pattern"
    std::array<settings::ButtonControl, kScanRows> rowButtons{{{false, false},
                                                               {false, false},
                                                               {false, false},
                                                               {false, false},
                                                               {false, false},
                                                               {false, false}}};  // "1" ... "6"
    std::array<std::array<std::string, kScanColumns>, kScanRows> scanCells{};
    // group box "Wifi": the association
    settings::ButtonControl wifiPattern;  // "Wifi_Pattern"
    settings::TextControl ssid{{}, false, settings::TextKind::kText, kSsidMaxBytes};
    settings::ListControl cipher{kCipherEntries};
    settings::ListControl auth{kAuthenticationEntries};
    settings::TextControl password{{}, true, settings::TextKind::kText, kWifiPasswordMaxBytes};

    WifiPageModel() {
        cipher.setEnabled(false);
        auth.setEnabled(false);
    }

    friend bool operator==(const WifiPageModel&, const WifiPageModel&) = default;
};

// Empties and locks the page.
void ResetWifiPage(WifiPageModel& model);

// Shows a current clock's association when the frame is a read reply (type 1): the SSID, and
// the cipher and authentication entries named by their codes (a code outside the tables selects
// nothing), both lists locked. The Wi-Fi password is not shown.
void ShowWifiPage(WifiPageModel& model, settings::ConstSettingsBytes frame);

// Writes the page into a Wi-Fi write request (frame type 40) in a frame the caller has cleared:
// the password always, the association only when "Wifi_Pattern" is checked. Never refuses.
void StoreWifiPage(const WifiPageModel& model, settings::SettingsBytes frame);

// The handler of "Wifi_Pattern", run after a click: when it is checked, the association is
// unlocked and the scan area locked.
void OnWifiPattern(WifiPageModel& model);

// A click on "Wifi_Pattern" as the operator makes it: when the button is enabled it becomes
// checked and its handler runs. False for a disabled button.
bool ClickWifiPattern(WifiPageModel& model);

}  // namespace tavlo::wifi
