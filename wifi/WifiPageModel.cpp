#include "wifi/WifiPageModel.h"

#include <algorithm>

#include "platform/TextCodec.h"
#include "settings/ValueText.h"

namespace tavlo::wifi {

namespace {

void LockScanArea(WifiPageModel& m) {
    m.wiredPattern = pagemodel::ButtonControl{false, false};
    for (pagemodel::ButtonControl& button : m.rowButtons) {
        button = pagemodel::ButtonControl{false, false};
    }
}

// Selects the entry a code names, by the entry's text; nothing for a code outside the table.
void ShowEntry(pagemodel::ListControl& list, std::optional<std::string_view> entry) {
    if (entry) {
        list.selectByPrefix(*entry);
    } else {
        list.clearSelection();
    }
    list.setEnabled(false);
}

// The text a box shows for a text field of a read: up to the first NUL, as UTF-8.
template <std::size_t N>
std::string ShownText(const std::array<std::uint8_t, N>& field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return platform::Cp936ToUtf8(std::string(field.begin(), end));
}

}  // namespace

void ResetWifiPage(WifiPageModel& m) {
    for (auto& row : m.scanCells) {
        for (std::string& cell : row) {
            cell.clear();
        }
    }
    LockScanArea(m);
    m.wifiPattern = pagemodel::ButtonControl{false, true};
    m.ssid.text.clear();
    m.ssid.enabled = false;
    for (pagemodel::ListControl* list : {&m.cipher, &m.auth}) {
        list->clearSelection();
        list->setEnabled(false);
    }
    m.password.text.clear();
    m.password.enabled = true;
    m.read.reset();
}

void ShowWifiPage(WifiPageModel& m, settings::ConstSettingsBytes frame) {
    if (settings::ConstClockSettings(frame).frameType() !=
        protocol::ToByte(protocol::FrameType::kReadSettings)) {
        return;
    }
    const ConstWifiSettings wifi(frame);
    m.read = wifi.fields();
    m.ssid.text = platform::Cp936ToUtf8(wifi.ssid());
    ShowEntry(m.cipher, CipherEntry(wifi.cipherCode()));
    ShowEntry(m.auth, AuthenticationEntry(wifi.authenticationCode()));
}

void StoreWifiPage(const WifiPageModel& m, settings::SettingsBytes frame) {
    const WifiSettings wifi(frame);
    if (m.read) {
        // What the operator sets below overwrites these.
        wifi.setAssociation(*m.read);
    }
    WifiRequest request;
    request.password = settings::FieldBytes(m.password.text, kPasswordSize);
    request.associationEdited = m.wifiPattern.checked;
    if (request.associationEdited) {
        request.ssid = settings::FieldBytes(m.ssid.text, kSsidSize);
        request.cipherEntry = m.cipher.text();
        request.authenticationEntry = m.auth.text();
    }
    StoreWifiRequest(frame, request);
    if (!m.read) {
        return;
    }
    // A box still holding the clock's own text was not changed: the field goes back as the
    // clock keeps it, with whatever follows its text and its length byte, not as the box
    // would write it.
    if (m.wifiPattern.checked && m.ssid.text == ShownText(m.read->ssid)) {
        wifi.setSsidField(*m.read);
    }
    if (m.password.text.empty() || m.password.text == ShownText(m.read->password)) {
        wifi.setPasswordField(*m.read);
    }
}

bool NamesNetworkForEveryClock(const WifiPageModel& m) {
    return m.wifiPattern.checked && !m.ssid.text.empty() &&
           (!m.password.text.empty() || m.auth.text() == kOpenAuthenticationEntry);
}

void OnWifiPattern(WifiPageModel& m) {
    if (!m.wifiPattern.checked) {
        return;
    }
    m.ssid.enabled = true;
    m.cipher.setEnabled(true);
    m.auth.setEnabled(true);
    LockScanArea(m);
}

bool ClickWifiPattern(WifiPageModel& m) {
    if (!m.wifiPattern.enabled) {
        return false;
    }
    m.wifiPattern.checked = true;
    m.wiredPattern.checked = false;
    OnWifiPattern(m);
    return true;
}

}  // namespace tavlo::wifi
