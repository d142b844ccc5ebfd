#include "tools/tavlo/PageEdits.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

#include "settings/ClockSettings.h"
#include "settings/TimeZone.h"
#include "settings/ValueText.h"
#include "tools/tavlo/Cli.h"
#include "wifi/WifiSettings.h"

namespace tavlo::cli {
namespace {

using pagemodel::ListControl;
using pagemodel::TextControl;
using pagemodel::TextKind;
using settings::BasicButton;
using settings::BasicPageModel;
using workflow::ClockKind;
using workflow::PageModels;
using workflow::WritePage;

// What the page takes where a value was refused ("the page takes ..." or "the page locks
// it ..."); nothing once the value is applied.
using Problem = std::optional<std::string>;
using Apply = std::function<Problem(PageModels&, std::string_view)>;
using TextOf = std::function<TextControl&(PageModels&)>;
using ListOf = std::function<ListControl&(PageModels&)>;

enum class Role : std::uint8_t {
    kIgnored,  // read-only, derived or secret fields the page cannot edit
    kBasic,    // a control of the Basic Information page
    kWifi,     // a control of the WIFI Information page
};

// Which clocks' records carry a key.
enum Generations : std::uint8_t { kCurrent = 1, kEarly = 2, kBoth = kCurrent | kEarly };

struct Key {
    std::string name;
    Role role = Role::kIgnored;
    std::uint8_t generations = kBoth;
    Apply apply;  // empty for ignored keys
};

// Values quoted in a refusal are cut to this many bytes.
constexpr std::size_t kMaxQuotedValue = 40;
constexpr std::size_t kMaxNumberDigits = 3;
constexpr std::string_view kWifiPasswordKey = "wifiPassword";
constexpr char kTimeSeparator = ':';
constexpr std::size_t kTimeParts = 3;
constexpr const char* kTransitionExample = "2 O'clock on the Last Sun in Mar";
constexpr std::string_view kNoSensor = "while the clock reports no humiture sensor";

std::string Quoted(std::string_view text) {
    const bool cut = text.size() > kMaxQuotedValue;
    return "\"" + Printable(text.substr(0, kMaxQuotedValue)) + (cut ? "...\"" : "\"");
}

std::string OneOf(std::span<const std::string_view> items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += i == 0 ? "" : (i + 1 == items.size() ? " or " : ", ");
        text += "\"" + std::string(items[i]) + "\"";
    }
    return text;
}

Problem Locked(std::string_view why) {
    return "the page locks it " + std::string(why.empty() ? "for this clock" : why);
}

Problem Takes(const std::string& what) {
    return "the page takes " + what;
}

// A decimal number of at most three digits without a sign; nothing otherwise.
std::optional<unsigned> SmallNumber(std::string_view text) {
    unsigned value = 0;
    if (text.empty() || text.size() > kMaxNumberDigits ||
        std::from_chars(text.data(), text.data() + text.size(), value).ptr !=
            text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// `text` without leading and trailing blanks (a view into it).
std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string WithoutBlanks(std::string_view text) {
    std::string out(text);
    std::erase(out, ' ');
    return out;
}

// Picks `item` in a list as the operator does: it must be one of the list's items.
Problem Pick(ListControl& list, std::string_view item, const std::string& what,
             std::string_view lockedWhy = {}) {
    if (!list.enabled()) {
        return Locked(lockedWhy);
    }
    if (!list.selectExact(item)) {
        return Takes(what);
    }
    return std::nullopt;
}

std::string NumberRange(const ListControl& list) {
    const auto items = list.items();
    return "a number from " + std::string(items.front()) + " to " + std::string(items.back());
}

// A number list: the value is read as a number and its item picked.
Problem PickNumber(ListControl& list, std::string_view value, std::string_view lockedWhy = {}) {
    const std::optional<unsigned> number = SmallNumber(value);
    return Pick(list, number ? std::to_string(*number) : std::string(value), NumberRange(list),
                lockedWhy);
}

Apply PickNumberIn(ListOf list, std::string lockedWhy = {}) {
    return [list, lockedWhy](PageModels& m, std::string_view value) {
        return PickNumber(list(m), value, lockedWhy);
    };
}

Apply PickItemIn(ListOf list) {
    return [list](PageModels& m, std::string_view value) {
        ListControl& control = list(m);
        return Pick(control, value, OneOf(control.items()));
    };
}

std::string TextTakes(const TextControl& box, unsigned maxNumber) {
    switch (box.kind) {
        case TextKind::kText:
            return "a text of at most " + std::to_string(box.maxBytes) +
                   " bytes in code page 936 (a Chinese character takes two)";
        case TextKind::kDigits:
            return maxNumber != 0 ? "a number from 0 to " + std::to_string(maxNumber)
                                  : "at most " + std::to_string(box.maxBytes) + " digits";
        case TextKind::kAddress:
            return "an address of four numbers 0 to 255 without leading zeros, like 198.18.0.10 "
                   "(0.0.0.0 for none)";
        case TextKind::kShown:
            break;
    }
    return "nothing: it only shows a value";
}

// Types `value` into a box, within its limits; `maxNumber` also bounds a digits box as its
// range message does.
Apply TypeInto(TextOf box, std::string lockedWhy = {}, unsigned maxNumber = 0) {
    return [box, lockedWhy, maxNumber](PageModels& m, std::string_view value) -> Problem {
        TextControl& control = box(m);
        if (!control.enabled) {
            return Locked(lockedWhy);
        }
        // The clock would show or use a control character as it is (a terminal command, a
        // line break in an SSID).
        if (control.kind == TextKind::kText && !platform::IsPrintable(value)) {
            return "it holds a control character, which the page does not take";
        }
        unsigned number = 0;
        const bool inRange =
            maxNumber == 0 || value.empty() ||
            (std::from_chars(value.data(), value.data() + value.size(), number).ptr ==
                 value.data() + value.size() &&
             number <= maxNumber);
        if (!control.accepts(value) || !inRange) {
            return Takes(TextTakes(control, maxNumber));
        }
        control.text = std::string(value);
        return std::nullopt;
    };
}

struct ChoiceItem {
    std::string_view text;
    BasicButton button;
};

// A pair of radio buttons: the one named is clicked.
Apply Choose(std::vector<ChoiceItem> choices, std::string lockedWhy = {}) {
    return [choices, lockedWhy](PageModels& m, std::string_view value) -> Problem {
        const auto chosen = std::find_if(choices.begin(), choices.end(),
                                         [&](const ChoiceItem& c) { return c.text == value; });
        if (chosen == choices.end()) {
            std::vector<std::string_view> texts;
            for (const ChoiceItem& c : choices) {
                texts.push_back(c.text);
            }
            return Takes(OneOf(texts));
        }
        if (!settings::Click(m.basic, chosen->button)) {
            return Locked(lockedWhy);
        }
        return std::nullopt;
    };
}

Problem PickTimeZone(PageModels& m, std::string_view value) {
    ListControl& list = m.basic.timeZone;
    const auto items = list.items();
    const auto found = std::find_if(items.begin(), items.end(), [&](std::string_view item) {
        return WithoutBlanks(item) == WithoutBlanks(value);
    });
    return Pick(list, found == items.end() ? std::string_view{} : *found,
                "a zone of its list, like \"UTC +5:30\" or \"UTC -9:30\"");
}

std::string DstTakes() {
    return "\"disabled\" or a rule like \"" + std::string(kTransitionExample) +
           " to 3 O'clock on the Last Sun in Oct\"";
}

// "2 O'clock on the Last Sun in Mar" into the four lists of one rule edge.
Problem PickTransition(settings::DstEdgeModel& edge, std::string_view text) {
    using settings::kDstHourWords;
    using settings::kDstMonthWord;
    const std::size_t hourEnd = text.find(kDstHourWords);
    const std::size_t monthStart = text.rfind(kDstMonthWord);
    if (hourEnd == std::string_view::npos || monthStart == std::string_view::npos ||
        monthStart < hourEnd + kDstHourWords.size()) {
        return Takes(DstTakes());
    }
    const std::string_view weekAndDay =
        text.substr(hourEnd + kDstHourWords.size(), monthStart - hourEnd - kDstHourWords.size());
    const std::size_t blank = weekAndDay.find(' ');
    if (blank == std::string_view::npos) {
        return Takes(DstTakes());
    }
    for (auto [list, item] :
         {std::pair{&edge.week, weekAndDay.substr(0, blank)},
          std::pair{&edge.weekday, weekAndDay.substr(blank + 1)},
          std::pair{&edge.month, text.substr(monthStart + kDstMonthWord.size())}}) {
        if (auto problem = Pick(*list, item, DstTakes())) {
            return problem;
        }
    }
    return PickNumber(edge.hour, text.substr(0, hourEnd));
}

Problem ApplyDaylightSaving(PageModels& m, std::string_view value) {
    BasicPageModel& page = m.basic;
    if (value == settings::kDstDisabledText) {
        if (page.dstEnable.checked && !settings::Click(page, BasicButton::kDstEnable)) {
            return Locked({});
        }
        return std::nullopt;
    }
    const std::size_t split = value.find(settings::kDstRuleWord);
    if (split == std::string_view::npos) {
        return Takes(DstTakes());
    }
    if (!page.dstEnable.checked && !settings::Click(page, BasicButton::kDstEnable)) {
        return Locked({});
    }
    if (auto problem = PickTransition(page.dstStart, value.substr(0, split))) {
        return problem;
    }
    return PickTransition(page.dstEnd, value.substr(split + settings::kDstRuleWord.size()));
}

Problem ApplyTextDisplayMode(PageModels& m, std::string_view value) {
    BasicPageModel& page = m.basic;
    const std::string what = "\"Roll\" or \"Alternate(s): N\" with N from " +
                             std::to_string(settings::kMinAlternateSeconds) + " to " +
                             std::to_string(settings::kMaxAlternateSeconds);
    if (value == settings::kRollText) {
        if (!page.roll.checked && !settings::Click(page, BasicButton::kRoll)) {
            return Locked({});
        }
        return std::nullopt;
    }
    // "Alternate(s): 4", the blank after the colon optional.
    const std::string_view prefix = Trimmed(settings::kAlternateText);
    if (!value.starts_with(prefix)) {
        return Takes(what);
    }
    const std::optional<unsigned> seconds = SmallNumber(Trimmed(value.substr(prefix.size())));
    if (!seconds) {
        return Takes(what);
    }
    if (!page.alternate.checked && !settings::Click(page, BasicButton::kAlternate)) {
        return Locked({});
    }
    return Pick(page.alternateSeconds, std::to_string(*seconds), what);
}

// "HH:MM:SS" into three number lists.
Apply PickTime(std::array<ListControl BasicPageModel::*, kTimeParts> lists) {
    return [lists](PageModels& m, std::string_view value) -> Problem {
        std::array<std::string_view, kTimeParts> parts{};
        std::string_view rest = value;
        for (std::size_t i = 0; i < kTimeParts; ++i) {
            const std::size_t colon = rest.find(kTimeSeparator);
            const bool last = i + 1 == kTimeParts;
            if ((colon == std::string_view::npos) != last) {
                parts = {};
                break;
            }
            parts[i] = rest.substr(0, colon);
            rest.remove_prefix(last ? rest.size() : colon + 1);
        }
        const auto items = [&](std::size_t i) { return (m.basic.*lists[i]).items(); };
        const std::string what = "a time from 00:00:00 to " + std::string(items(0).back()) + ":" +
                                 std::string(items(1).back()) + ":" + std::string(items(2).back());
        for (std::size_t i = 0; i < kTimeParts; ++i) {
            const std::optional<unsigned> number = SmallNumber(parts[i]);
            if (!number || PickNumber(m.basic.*lists[i], std::to_string(*number))) {
                return Takes(what);
            }
        }
        return std::nullopt;
    };
}

// The radio buttons, and the rules and the list that they unlock or lock.
void AddButtonKeys(std::vector<Key>& keys) {
    using B = BasicButton;
    const auto basic = [&](std::string name, std::uint8_t generations, Apply apply) {
        keys.push_back({std::move(name), Role::kBasic, generations, std::move(apply)});
    };
    basic(
        "ipMode", kBoth,
        Choose({{settings::kDynamicIpText, B::kDynamicIp}, {settings::kStaticIpText, B::kStaticIp}},
               "for Wi-Fi clocks, which take \"Dynamic IP\" only"));
    basic(
        "timeServerMode", kCurrent,
        Choose({{settings::kByAddressText, B::kTimeServerIp}, {settings::kByNameText, B::kDomain}},
               "always: only a clock that uses names shows \"Domain\""));
    basic("daylightSaving", kBoth, ApplyDaylightSaving);
    basic("textDisplayMode", kCurrent, ApplyTextDisplayMode);
    basic("timeFormat", kBoth,
          Choose({{settings::kTwelveHoursText, B::kFormat12},
                  {settings::kTwentyFourHoursText, B::kFormat24}}));
    basic("energySavingMode", kCurrent,
          Choose({{settings::kEnergySavingModeNames[0], B::kDisplayDim},
                  {settings::kEnergySavingModeNames[1], B::kDisplayClose}}));
    basic("humitureUnit", kCurrent,
          Choose({{settings::kDegreeCelsius, B::kCelsius},
                  {settings::kDegreeFahrenheit, B::kFahrenheit}},
                 std::string(kNoSensor)));
    basic("timeZone", kBoth, PickTimeZone);
}

// The clock's addresses, and the time servers' rows.
void AddAddressKeys(std::vector<Key>& keys) {
    const auto basic = [&](std::string name, std::uint8_t generations, Apply apply) {
        keys.push_back({std::move(name), Role::kBasic, generations, std::move(apply)});
    };
    const auto box = [](TextControl BasicPageModel::*member) -> TextOf {
        return [member](PageModels& m) -> TextControl& { return m.basic.*member; };
    };
    const std::string dynamicIp = "while ipMode is \"Dynamic IP\"";
    for (const auto& address : {std::pair{"ipAddress", &BasicPageModel::ipAddress},
                                std::pair{"subnetMask", &BasicPageModel::subnetMask},
                                std::pair{"gateway", &BasicPageModel::gateway},
                                std::pair{"dnsServer", &BasicPageModel::dnsServer}}) {
        basic(address.first, kBoth, TypeInto(box(address.second), dynamicIp));
    }
    using R = settings::TimeServerRowModel;
    for (std::size_t i = 0; i < settings::kTimeServerRows; ++i) {
        const std::string prefix = "timeServer" + std::to_string(i + 1);
        const auto row = [i](TextControl R::*member) {
            return
                [i, member](PageModels& m) -> TextControl& { return m.basic.servers[i].*member; };
        };
        basic(prefix + "Address", kBoth,
              TypeInto(row(&R::address), "while timeServerMode is \"Domain\""));
        basic(prefix + "Port", kCurrent, TypeInto(row(&R::port), {}, settings::kMaxPortOrKeyId));
        basic(prefix + "KeyId", kCurrent, TypeInto(row(&R::keyId), {}, settings::kMaxPortOrKeyId));
        basic(prefix + "Key", kCurrent, TypeInto(row(&R::key)));
    }
    for (std::size_t i = 0; i < settings::kDomainRows; ++i) {
        basic("domainName" + std::to_string(i + 1), kCurrent,
              TypeInto([i](PageModels& m) -> TextControl& { return m.basic.servers[i].domain; },
                       "while timeServerMode is \"Time Server IP\""));
    }
}

// A list of the Basic page picked by its item: a number, or any item of the list.
struct ListKey {
    std::string_view name;
    std::uint8_t generations;
    ListControl BasicPageModel::*list;
    bool number;
    std::string_view lockedWhy;
};

using M = BasicPageModel;
constexpr ListKey kListKeys[] = {
    {"energySavingStartHour", kBoth, &M::energySavingFrom, true, {}},
    {"energySavingEndHour", kBoth, &M::energySavingTo, true, {}},
    {"brightness", kBoth, &M::brightness, false, {}},
    {"timeDisplayDuration", kCurrent, &M::timeDuration, true, kNoSensor},
    {"temperatureDisplayDuration", kCurrent, &M::temperatureDuration, true, kNoSensor},
    {"humidityDisplayDuration", kCurrent, &M::humidityDuration, true, kNoSensor},
};

// The count-down times, the lists and the display text.
void AddListKeys(std::vector<Key>& keys) {
    keys.push_back(
        {"countDownStart", Role::kBasic, kCurrent,
         PickTime({&M::countDownStartHour, &M::countDownStartMinute, &M::countDownStartSecond})});
    keys.push_back({"countDownDuration", Role::kBasic, kCurrent,
                    PickTime({&M::countDownDurationHours, &M::countDownDurationMinutes,
                              &M::countDownDurationSeconds})});
    for (const ListKey& key : kListKeys) {
        const ListOf list = [member = key.list](PageModels& m) -> ListControl& {
            return m.basic.*member;
        };
        keys.push_back(
            {std::string(key.name), Role::kBasic, key.generations,
             key.number ? PickNumberIn(list, std::string(key.lockedWhy)) : PickItemIn(list)});
    }
    keys.push_back({"displayText", Role::kBasic, kCurrent,
                    TypeInto([](PageModels& m) -> TextControl& { return m.basic.displayText; })});
}

void AddWifiKeys(std::vector<Key>& keys) {
    const auto wifiKey = [&](std::string name, Apply apply) {
        keys.push_back({std::move(name), Role::kWifi, kCurrent, std::move(apply)});
    };
    wifiKey("ssid", TypeInto([](PageModels& m) -> TextControl& { return m.wifi.ssid; }));
    wifiKey("cipher", PickItemIn([](PageModels& m) -> ListControl& { return m.wifi.cipher; }));
    wifiKey("authentication",
            PickItemIn([](PageModels& m) -> ListControl& { return m.wifi.auth; }));
    wifiKey(std::string(kWifiPasswordKey),
            TypeInto([](PageModels& m) -> TextControl& { return m.wifi.password; }));
}

// Read-only, derived and secret fields, which the page cannot edit.
struct IgnoredKeys {
    std::uint8_t generations;
    std::initializer_list<const char*> names;
};

void AddIgnoredKeys(std::vector<Key>& keys) {
    const IgnoredKeys ignored[] = {
        {kBoth, {"address", "serialNumber", "timeServerInUse"}},
        {kCurrent,
         {"version", "requestBit", "batchBit", "frameType", "temperature", "humidity",
          "userPassword", "globalPassword", "mailSenderName", "mailSenderDomain", "mailSendTo",
          "mailCopyTo", "sensorState", "ssidLength", "wifiPasswordLength"}},
        {kEarly, {"requestMarker", "commandCode", "timeServerCount", "checksum"}},
    };
    for (const IgnoredKeys& group : ignored) {
        for (const char* name : group.names) {
            keys.push_back({name, Role::kIgnored, group.generations, {}});
        }
    }
}

// Every key, in the order values are applied: the buttons that unlock other controls first.
std::vector<Key> MakeKeys() {
    std::vector<Key> keys;
    AddButtonKeys(keys);
    AddAddressKeys(keys);
    AddListKeys(keys);
    AddWifiKeys(keys);
    AddIgnoredKeys(keys);
    return keys;
}

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = MakeKeys();
    return keys;
}

const Key* FindKey(std::string_view name) {
    const std::vector<Key>& keys = Keys();
    const auto found =
        std::find_if(keys.begin(), keys.end(), [&](const Key& key) { return key.name == name; });
    return found == keys.end() ? nullptr : &*found;
}

std::uint8_t GenerationOf(ClockKind kind) {
    return kind == ClockKind::kEarly ? kEarly : kCurrent;
}

}  // namespace

std::optional<WritePage> PageOfKey(std::string_view name) {
    const Key* key = FindKey(name);
    if (key == nullptr || key->role == Role::kIgnored) {
        return std::nullopt;
    }
    return key->role == Role::kWifi ? WritePage::kWifi : WritePage::kBasic;
}

std::optional<std::vector<KeyValue>> TakeValues(const json::Json& input, ClockKind kind,
                                                std::string& error) {
    if (!input.is_object()) {
        error =
            "the input must be one JSON object of keys and texts, as 'tavlo read --json' "
            "prints it";
        return std::nullopt;
    }
    std::vector<KeyValue> values;
    for (const auto& [name, value] : input.items()) {
        const Key* key = FindKey(name);
        if (key == nullptr) {
            error =
                "unknown key " + Quoted(name) + " (the keys are those 'tavlo read --json' prints)";
            return std::nullopt;
        }
        if ((key->generations & GenerationOf(kind)) == 0) {
            error = name + ": " +
                    (kind == ClockKind::kEarly ? "early-version clocks have no such setting"
                                               : "only early-version clocks have this setting");
            return std::nullopt;
        }
        if (value.is_string()) {
            values.emplace_back(name, value.get<std::string>());
        } else if (value.is_number_integer()) {
            values.emplace_back(name, value.dump());
        } else {
            error = name + ": give the value as a text, as 'tavlo read --json' prints it";
            return std::nullopt;
        }
    }
    return values;
}

EditResult ApplyValues(const std::vector<KeyValue>& values,
                       const std::vector<settings::FieldText>& reported, ClockKind kind,
                       WritePage page, PageModels& models) {
    std::map<std::string, std::string, std::less<>> printed;
    for (const settings::FieldText& field : reported) {
        printed.emplace(field.name, field.value);
    }
    const auto unchanged = [&](const KeyValue& value) {
        const auto found = printed.find(value.first);
        return found != printed.end() && found->second == value.second;
    };
    const Role edited = page == WritePage::kWifi ? Role::kWifi : Role::kBasic;

    EditResult result;
    std::map<std::string, std::string, std::less<>> toApply;
    for (const KeyValue& value : values) {
        const Key* key = FindKey(value.first);
        if (key == nullptr || (key->generations & GenerationOf(kind)) == 0) {
            continue;  // TakeValues refuses these
        }
        if (key->role == edited) {
            // A password given is typed even when the clock has it: Batch Modify sends no
            // clock's own password, only what the box holds.
            if (!unchanged(value) || value.first == kWifiPasswordKey) {
                toApply.insert(value);
            }
        } else if (key->role == Role::kIgnored || unchanged(value)) {
            result.ignored.push_back(value.first);
        } else {
            result.error = value.first + ": " + Quoted(value.second) + " is a setting of the " +
                           (key->role == Role::kWifi ? "WIFI page; write it with --page wifi"
                                                     : "Basic page; write it with --page basic");
            return result;
        }
    }

    // "Wifi_Pattern" is clicked only for an input that names some of the association; what
    // the input leaves alone, the password included, the WIFI page's store keeps as the clock
    // reported it.
    const bool association = std::any_of(values.begin(), values.end(), [](const KeyValue& value) {
        const Key* key = FindKey(value.first);
        return key != nullptr && key->role == Role::kWifi && value.first != kWifiPasswordKey;
    });
    if (page == WritePage::kWifi && association) {
        wifi::ClickWifiPattern(models.wifi);
    }
    for (const Key& key : Keys()) {
        const auto value = toApply.find(key.name);
        if (value == toApply.end()) {
            continue;
        }
        // The clock's own Wi-Fi password goes into the box as the clock has it, even where the
        // keyboard could not type it: a write then keeps the clock's field as it is.
        if (value->first == kWifiPasswordKey && unchanged(*value) && models.wifi.password.enabled) {
            models.wifi.password.text = value->second;
            continue;
        }
        if (Problem problem = key.apply(models, value->second)) {
            result.error = key.name + ": " + Quoted(value->second) + " refused; " + *problem;
            return result;
        }
    }
    return result;
}

std::string FocusKey(const settings::BasicFocus& focus) {
    const std::string row = std::to_string(focus.row + 1);
    switch (focus.field) {
        case settings::BasicField::kUnchanged:
            break;
        case settings::BasicField::kIpAddress:
            return "ipAddress";
        case settings::BasicField::kGateway:
            return "gateway";
        case settings::BasicField::kDnsServer:
            return "dnsServer";
        case settings::BasicField::kServerAddress:
            return "timeServer" + row + "Address";
        case settings::BasicField::kDomainName:
            return "domainName" + row;
        case settings::BasicField::kPort:
            return "timeServer" + row + "Port";
        case settings::BasicField::kKeyId:
            return "timeServer" + row + "KeyId";
    }
    return {};
}

}  // namespace tavlo::cli
