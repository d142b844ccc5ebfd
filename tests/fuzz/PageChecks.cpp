#include "tests/fuzz/PageChecks.h"

#include <span>
#include <string>
#include <string_view>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "protocol/Frames.h"
#include "settings/ByteFields.h"
#include "settings/ClockSettings.h"
#include "settings/ValueText.h"
#include "wifi/WifiSettings.h"

namespace tavlo::fuzz {
namespace {

using pagemodel::ListControl;
using pagemodel::TextControl;
using settings::BasicPageModel;

// The address an address control holds, written as the page shows a clock's address.
std::string ShownAddress(const TextControl& control) {
    return platform::FormatIpv4(control.text.empty() ? platform::kAnyAddress
                                                     : platform::ParseIpv4(control.text));
}

// The number in a digits box (the operator types digits only), as the page shows it.
std::string ShownNumber(const TextControl& control) {
    std::size_t first = control.text.find_first_not_of('0');
    return first == std::string::npos ? "0" : control.text.substr(first);
}

// A text comes back as it was typed. A text the clock sent that no operator could type (bytes
// that are no code page 936 text) is shown with replacement characters and cannot.
bool SameText(const TextControl& shown, const TextControl& entered) {
    return !entered.accepts(entered.text) || shown.text == entered.text;
}

bool SameSelection(const ListControl& a, const ListControl& b) {
    return a.selection() == b.selection();
}

bool IsBasicRefusal(std::string_view message) {
    for (const std::string_view known :
         {settings::kInvalidIpMessage, settings::kInvalidGatewayMessage,
          settings::kInvalidDnsMessage, settings::kInvalidTimeServerMessage,
          settings::kNoTimeServerMessage, settings::kNoTimeServerNameMessage,
          settings::kDstIncompleteMessage, settings::kPortRangeMessage,
          settings::kKeyIdRangeMessage}) {
        if (message == known) {
            return true;
        }
    }
    return false;
}

// What both stores take alike: time format and zone, the clock's addresses when it keeps
// them, brightness and daylight saving.
void CheckCommonEntries(const BasicPageModel& entered, const BasicPageModel& shown) {
    FUZZ_CHECK(shown.format12.checked == entered.format12.checked);
    if (!entered.timeZone.text().empty()) {
        FUZZ_CHECK(shown.timeZone.text() == entered.timeZone.text());
    }
    FUZZ_CHECK(shown.dynamicIp.checked == entered.dynamicIp.checked);
    if (entered.brightness.selection()) {
        FUZZ_CHECK(shown.brightness.text() == entered.brightness.text());
    }
    FUZZ_CHECK(shown.dstEnable.checked == entered.dstEnable.checked);
    if (entered.dstEnable.checked) {
        const auto enteredLists = entered.dstLists();
        const auto shownLists = shown.dstLists();
        for (std::size_t i = 0; i < enteredLists.size(); ++i) {
            FUZZ_CHECK(SameSelection(*shownLists[i], *enteredLists[i]));
        }
    }
    FUZZ_CHECK(pagemodel::SelectedNumber(shown.energySavingFrom) ==
               pagemodel::SelectedNumber(entered.energySavingFrom));
    FUZZ_CHECK(pagemodel::SelectedNumber(shown.energySavingTo) ==
               pagemodel::SelectedNumber(entered.energySavingTo));
}

void CheckClockAddresses(const BasicPageModel& entered, const BasicPageModel& shown) {
    for (const auto& [e, s] : {std::pair{&entered.ipAddress, &shown.ipAddress},
                               std::pair{&entered.subnetMask, &shown.subnetMask},
                               std::pair{&entered.gateway, &shown.gateway},
                               std::pair{&entered.dnsServer, &shown.dnsServer}}) {
        FUZZ_CHECK(s->text == ShownAddress(*e));
    }
}

void CheckServerRows(const BasicPageModel& entered, const BasicPageModel& shown) {
    FUZZ_CHECK(shown.timeServerIp.checked == entered.timeServerIp.checked);
    for (std::size_t i = 0; i < settings::kTimeServerRows; ++i) {
        const settings::TimeServerRowModel& e = entered.servers[i];
        const settings::TimeServerRowModel& s = shown.servers[i];
        const bool used = entered.timeServerIp.checked
                              ? settings::IsHostAddress(platform::ParseIpv4(e.address.text))
                              : i < settings::kDomainRows && !e.domain.text.empty();
        if (!used) {
            continue;
        }
        if (entered.timeServerIp.checked) {
            FUZZ_CHECK(s.address.text == ShownAddress(e.address));
        } else {
            FUZZ_CHECK(SameText(s.domain, e.domain));
        }
        FUZZ_CHECK(s.port.text == ShownNumber(e.port));
        if (ShownNumber(e.keyId) != "0") {
            FUZZ_CHECK(s.keyId.text == ShownNumber(e.keyId));
            FUZZ_CHECK(SameText(s.key, e.key));
        }
    }
}

}  // namespace

void PatchRecord(Input& input, std::span<std::uint8_t> record) {
    const std::uint8_t patches = input.Byte();
    for (std::uint8_t i = 0; i < patches; ++i) {
        const std::size_t offset = input.Word() % record.size();
        record[offset] = input.Byte();
    }
}

void CheckBasicStore(const BasicPageModel& model, protocol::ClockFamily family) {
    protocol::SettingsFrame request{};
    if (const settings::StoreResult refusal = settings::StoreClockSettings(model, request)) {
        FUZZ_CHECK(IsBasicRefusal(refusal->message));
        return;
    }
    FUZZ_CHECK(request[protocol::kFrameTypeOffset] ==
               protocol::ToByte(protocol::FrameType::kWriteBasic));

    // The request as the clock would report it back.
    protocol::SettingsFrame reply = request;
    reply[protocol::kFrameTypeOffset] = protocol::ToByte(protocol::FrameType::kReadSettings);
    BasicPageModel shown;
    settings::ClearBasicPage(shown);
    settings::ShowClockSettings(shown, reply, family);

    CheckCommonEntries(model, shown);
    CheckClockAddresses(model, shown);
    CheckServerRows(model, shown);
    FUZZ_CHECK(SameText(shown.displayText, model.displayText));
    if (!model.displayText.text.empty()) {
        FUZZ_CHECK(shown.roll.checked == model.roll.checked);
        if (!model.roll.checked && model.alternateSeconds.selection()) {
            FUZZ_CHECK(SameSelection(shown.alternateSeconds, model.alternateSeconds));
        }
    }
    FUZZ_CHECK(shown.displayDim.checked == model.displayDim.checked);
    if (!model.temperature.text.empty()) {
        FUZZ_CHECK(shown.celsius.checked == model.celsius.checked);
    }

    protocol::SettingsFrame again{};
    FUZZ_CHECK(!settings::StoreClockSettings(shown, again));
    // "Alternate" with seconds that match no item goes out as 1, which the page shows as 2.
    const bool unlistedSeconds = !model.displayText.text.empty() && !model.roll.checked &&
                                 !model.alternateSeconds.selection();
    if (unlistedSeconds) {
        FUZZ_CHECK(again[settings::kTextDisplayModeOffset] == settings::kMinAlternateSeconds);
        again[settings::kTextDisplayModeOffset] = request[settings::kTextDisplayModeOffset];
    }
    FUZZ_CHECK(again == request);
}

void CheckEarlyStore(const BasicPageModel& model) {
    protocol::CommandFrame request{};
    if (const settings::StoreResult refusal = settings::StoreEarlyClockSettings(model, request)) {
        FUZZ_CHECK(IsBasicRefusal(refusal->message));
        return;
    }

    protocol::CommandFrame reply = request;
    reply[protocol::kCommandCodeOffset] = protocol::ToByte(protocol::CommandCode::kRead);
    BasicPageModel shown;
    settings::ShowEarlyClockSettings(shown, reply);

    CheckCommonEntries(model, shown);
    if (!model.dynamicIp.checked) {
        CheckClockAddresses(model, shown);
    }
    for (std::size_t i = 0; i < settings::kTimeServerRows; ++i) {
        const TextControl& entered = model.servers[i].address;
        if (settings::IsHostAddress(platform::ParseIpv4(entered.text))) {
            FUZZ_CHECK(shown.servers[i].address.text == ShownAddress(entered));
        }
    }

    protocol::CommandFrame again{};
    FUZZ_CHECK(!settings::StoreEarlyClockSettings(shown, again));
    FUZZ_CHECK(again == request);
}

void CheckWifiStore(const wifi::WifiPageModel& model) {
    protocol::SettingsFrame request{};
    wifi::StoreWifiPage(model, request);
    FUZZ_CHECK(request[protocol::kFrameTypeOffset] ==
               protocol::ToByte(protocol::FrameType::kWriteWifi));
    const wifi::ConstWifiSettings stored(request);
    const wifi::WifiFields fields = stored.fields();
    // An empty box keeps the password of the clock shown; without "Wifi_Pattern" its
    // association stays as it was read. A box holding the clock's own text keeps its field.
    const auto readText = [](std::span<const std::uint8_t> field) {
        return platform::Cp936ToUtf8(settings::ReadText(field, 0, field.size()));
    };
    if (model.read &&
        (model.password.text.empty() || model.password.text == readText(model.read->password))) {
        FUZZ_CHECK(fields.password == model.read->password &&
                   fields.passwordLength == model.read->passwordLength);
    } else {
        FUZZ_CHECK(stored.password() ==
                   settings::FieldBytes(model.password.text, wifi::kPasswordSize));
    }
    if (model.read &&
        (!model.wifiPattern.checked || model.ssid.text == readText(model.read->ssid))) {
        FUZZ_CHECK(fields.ssid == model.read->ssid && fields.ssidLength == model.read->ssidLength);
    }
    if (model.read && !model.wifiPattern.checked) {
        FUZZ_CHECK(fields.cipherCode == model.read->cipherCode &&
                   fields.authenticationCode == model.read->authenticationCode);
    }

    protocol::SettingsFrame reply = request;
    reply[protocol::kFrameTypeOffset] = protocol::ToByte(protocol::FrameType::kReadSettings);
    wifi::WifiPageModel shown;
    wifi::ShowWifiPage(shown, reply);
    if (model.wifiPattern.checked) {
        FUZZ_CHECK(SameText(shown.ssid, model.ssid));
        // A list left without selection writes nothing: the code stays the clock's.
        for (const auto& [entered, back] :
             {std::pair{&model.cipher, &shown.cipher}, std::pair{&model.auth, &shown.auth}}) {
            if (entered->selection()) {
                FUZZ_CHECK(back->text() == entered->text());
            }
        }
    }
}

}  // namespace tavlo::fuzz
