// The pages' stores, after any edits an operator can make: the Basic page of a wired, a Wi-Fi
// and an early-version clock, and the WIFI page. The input picks the page, changes bytes of
// the record shown on it (a simulated clock's), then clicks buttons, types into boxes and
// picks list items; whatever the operator left, the store refuses with its own message or its
// request shows back as the same entries.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Ipv4.h"
#include "settings/BasicPageModel.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/PageChecks.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"
#include "wifi/WifiPageModel.h"

namespace tavlo::fuzz {
namespace {

using pagemodel::ListControl;
using pagemodel::TextControl;
using settings::BasicPageModel;

enum class Page : std::uint8_t { kWiredBasic, kWifiBasic, kEarlyBasic, kWifi, kCount };
enum class Action : std::uint8_t { kClick, kType, kPick, kTypeInList, kCount };
constexpr std::uint8_t kBasicButtons =
    static_cast<std::uint8_t>(settings::BasicButton::kFahrenheit) + 1;

std::string Text(Input& input) {
    const auto bytes = input.Piece();
    return {bytes.begin(), bytes.end()};
}

// Typing: the box takes only what an operator could leave in it.
void Type(TextControl& control, const std::string& text) {
    if (control.enabled && control.accepts(text)) {
        control.text = text;
    }
}

// Picking an item, or (one past the last) leaving the list without selection.
void Pick(ListControl& list, std::uint8_t choice) {
    if (list.enabled()) {
        const std::size_t index = choice % (list.items().size() + 1);
        list.selectIndex(index < list.items().size() ? std::optional(index) : std::nullopt);
    }
}

std::vector<TextControl*> Boxes(BasicPageModel& m) {
    std::vector<TextControl*> boxes{&m.ipAddress,   &m.subnetMask,   &m.gateway,       &m.dnsServer,
                                    &m.displayText, &m.userPassword, &m.globalPassword};
    for (auto& row : m.servers) {
        boxes.insert(boxes.end(), {&row.address, &row.domain, &row.port, &row.keyId, &row.key});
    }
    return boxes;
}

std::vector<ListControl*> Lists(BasicPageModel& m) {
    std::vector<ListControl*> lists{&m.timeZone, &m.energySavingFrom, &m.energySavingTo,
                                    &m.brightness, &m.alternateSeconds};
    for (ListControl* list : m.countDownLists()) {
        lists.push_back(list);
    }
    for (ListControl* list : m.dstLists()) {
        lists.push_back(list);
    }
    for (ListControl* list : m.durationLists()) {
        lists.push_back(list);
    }
    return lists;
}

void EditBasicPage(Input& input, BasicPageModel& m) {
    std::vector<TextControl*> boxes = Boxes(m);
    std::vector<ListControl*> lists = Lists(m);
    while (!input.empty()) {
        switch (static_cast<Action>(input.Byte() % static_cast<std::uint8_t>(Action::kCount))) {
            case Action::kClick:
                settings::Click(m,
                                static_cast<settings::BasicButton>(input.Byte() % kBasicButtons));
                break;
            case Action::kType: {
                TextControl& box = *boxes[input.Byte() % boxes.size()];
                Type(box, Text(input));
                break;
            }
            case Action::kPick: {
                ListControl& list = *lists[input.Byte() % lists.size()];
                Pick(list, input.Byte());
                break;
            }
            case Action::kTypeInList: {
                ListControl& list = *lists[input.Byte() % lists.size()];
                if (list.enabled()) {
                    list.setEditText(Text(input));
                }
                break;
            }
            case Action::kCount:
                break;
        }
    }
}

void EditWifiPage(Input& input, wifi::WifiPageModel& m) {
    while (!input.empty()) {
        switch (static_cast<Action>(input.Byte() % static_cast<std::uint8_t>(Action::kCount))) {
            case Action::kClick:
                wifi::ClickWifiPattern(m);
                break;
            case Action::kType: {
                TextControl& box = input.Byte() % 2 == 0 ? m.ssid : m.password;
                Type(box, Text(input));
                break;
            }
            case Action::kPick:
            case Action::kTypeInList: {
                ListControl& list = input.Byte() % 2 == 0 ? m.cipher : m.auth;
                Pick(list, input.Byte());
                break;
            }
            case Action::kCount:
                break;
        }
    }
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    using fuzz::Page;
    fuzz::Input input(data, size);
    const auto page = static_cast<Page>(input.Byte() % static_cast<std::uint8_t>(Page::kCount));
    const platform::Ipv4 address = platform::MakeIpv4(198, 18, 0, 10);
    if (page == Page::kEarlyBasic) {
        const clocksim::SimClock clock =
            clocksim::MakeDefaultClock(clocksim::ClockKind::kEarly, address);
        protocol::CommandFrame reply = clocksim::EarlyReplyFrame(clock, 1, true);
        fuzz::PatchRecord(input, reply);
        settings::BasicPageModel model;
        settings::ShowEarlyClockSettings(model, reply);
        fuzz::EditBasicPage(input, model);
        fuzz::CheckEarlyStore(model);
        return 0;
    }
    const bool wifiFamily = page != Page::kWiredBasic;
    const clocksim::SimClock clock = clocksim::MakeDefaultClock(
        wifiFamily ? clocksim::ClockKind::kWifi : clocksim::ClockKind::kWired, address);
    protocol::SettingsFrame reply = clocksim::ReplyFrame(clock, 1, true);
    fuzz::PatchRecord(input, reply);
    if (page == Page::kWifi) {
        wifi::WifiPageModel model;
        wifi::ShowWifiPage(model, reply);
        fuzz::EditWifiPage(input, model);
        fuzz::CheckWifiStore(model);
        return 0;
    }
    const protocol::ClockFamily family =
        wifiFamily ? protocol::ClockFamily::kWifi : protocol::ClockFamily::kWired;
    settings::BasicPageModel model;
    settings::ShowClockSettings(model, reply, family);
    fuzz::EditBasicPage(input, model);
    fuzz::CheckBasicStore(model, family);
    return 0;
}
