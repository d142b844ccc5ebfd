#include "settings/BasicPageModel.h"

#include <algorithm>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"
#include "settings/ValueText.h"

namespace tavlo::settings {

namespace {

constexpr std::uint8_t kFirstHostOctetLimit = 223;
constexpr std::uint8_t kLoopbackOctet = 127;
// Digits boxes hold at most five digits; longer runs are read only this far, which is out of
// range all the same.
constexpr unsigned kBeyondPortOrKeyId = kMaxPortOrKeyId + 1;
constexpr std::size_t kClockAddressCount = 4;

std::string Decimal(unsigned value) {
    return std::to_string(value);
}

// The address in an address control: a blank control reads as 0.0.0.0, anything else as four
// decimal numbers (text that is no such address reads as 255.255.255.255, which every check
// refuses).
platform::Ipv4 AddressOf(const TextControl& control) {
    return control.text.empty() ? platform::kAnyAddress : platform::ParseIpv4(control.text);
}

// The number in a digits box: its leading digits, 0 when there are none.
unsigned BoxNumber(std::string_view text) {
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min(value * 10 + static_cast<unsigned>(c - '0'), kBeyondPortOrKeyId);
    }
    return value;
}

Refusal Refuse(std::string_view message, BasicField field = BasicField::kUnchanged,
               std::size_t row = 0) {
    return Refusal{std::string(message), BasicFocus{field, row}};
}

// Checks the first of a pair of radio buttons and unchecks the second, or the other way round.
void CheckOneOf(ButtonControl& first, ButtonControl& second, bool firstChecked) {
    first.checked = firstChecked;
    second.checked = !firstChecked;
}

// A radio button's handler acts only when its own button is checked after the click; it then
// unchecks the other button of the pair.
bool TakeOver(const ButtonControl& self, ButtonControl& other) {
    if (!self.checked) {
        return false;
    }
    other.checked = false;
    return true;
}

void ClearAndDisable(TextControl& control) {
    control.text.clear();
    control.enabled = false;
}

void ClearAndDisable(ListControl& list) {
    list.clearSelection();
    list.setEnabled(false);
}

void UncheckAndDisable(ButtonControl& button) {
    button.checked = false;
    button.enabled = false;
}

// The list position of a one-based number (week 1 is "First"); nothing for 0.
std::optional<std::size_t> PositionOf(unsigned oneBased) {
    if (oneBased == 0) {
        return std::nullopt;
    }
    return oneBased - 1;
}

void EnableClockAddresses(BasicPageModel& m, bool enabled) {
    for (TextControl* field : m.clockAddresses()) {
        field->enabled = enabled;
    }
}

// Unlocks the server address fields (by address) or the domain-name boxes of rows 1 and 2
// (by name) and locks the others.
void EnableServerEntries(BasicPageModel& m, bool byAddress) {
    for (TimeServerRowModel& row : m.servers) {
        row.address.enabled = byAddress;
    }
    for (std::size_t i = 0; i < kDomainRows; ++i) {
        m.servers[i].domain.enabled = !byAddress;
    }
}

// "Dynamic IP" locks the four address fields, "Static IP" unlocks them; then the addresses.
void ShowClockAddresses(BasicPageModel& m, bool dynamic,
                        const std::array<platform::Ipv4, kClockAddressCount>& addresses) {
    CheckOneOf(m.dynamicIp, m.staticIp, dynamic);
    EnableClockAddresses(m, !dynamic);
    const auto fields = m.clockAddresses();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i]->text = platform::FormatIpv4(addresses[i]);
    }
}

void ShowTimeServersByAddress(BasicPageModel& m, const TimeServerTable& table) {
    CheckOneOf(m.timeServerIp, m.domain, true);
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        const TimeServerRow& row = table.rows[i];
        TimeServerRowModel& shown = m.servers[i];
        if (row.address != 0) {
            shown.address.text = platform::FormatIpv4(row.address);
            shown.port.text = Decimal(row.port);
            if (row.keyId != 0) {
                shown.keyId.text = Decimal(row.keyId);
                shown.key.text = platform::Cp936ToUtf8(row.key);
            }
        }
        for (TextControl* control : {&shown.address, &shown.port, &shown.keyId, &shown.key}) {
            control->enabled = true;
        }
    }
}

void ShowTimeServersByName(BasicPageModel& m, const TimeServerTable& table) {
    CheckOneOf(m.domain, m.timeServerIp, true);
    for (std::size_t i = 0; i < kDomainRows; ++i) {
        const TimeServerRow& row = table.rows[i];
        TimeServerRowModel& shown = m.servers[i];
        if (!table.domainNames[i].empty()) {
            shown.domain.text = platform::Cp936ToUtf8(table.domainNames[i]);
            shown.port.text = Decimal(row.port);
            shown.keyId.text = Decimal(row.keyId);
            shown.key.text = platform::Cp936ToUtf8(row.key);
        }
        for (TextControl* control : {&shown.domain, &shown.port, &shown.keyId, &shown.key}) {
            control->enabled = true;
        }
    }
    for (TimeServerRowModel& row : m.servers) {
        row.address.enabled = false;
    }
}

// Each list enabled and its item selected by text.
void ShowNumbers(std::span<ListControl* const> lists, std::span<const int> values) {
    for (std::size_t i = 0; i < lists.size() && i < values.size(); ++i) {
        lists[i]->selectByPrefix(std::to_string(values[i]));
        lists[i]->setEnabled(true);
    }
}

void ShowDstRule(BasicPageModel& m, const DstRule& rule) {
    m.dstEnable.checked = true;
    const std::array<const DstTransition*, 2> transitions{&rule.start, &rule.end};
    const std::array<DstEdgeModel*, 2> edges{&m.dstStart, &m.dstEnd};
    for (std::size_t i = 0; i < edges.size(); ++i) {
        DstEdgeModel& edge = *edges[i];
        const DstTransition& transition = *transitions[i];
        for (ListControl* list : {&edge.hour, &edge.weekday, &edge.week, &edge.month}) {
            list->setEnabled(true);
        }
        edge.hour.selectIndex(transition.hour);
        edge.weekday.selectIndex(PositionOf(transition.weekday));
        edge.week.selectIndex(PositionOf(transition.week));
        edge.month.selectIndex(PositionOf(transition.month));
    }
}

void ShowBrightness(BasicPageModel& m, std::uint8_t code) {
    m.reportedBrightness = code;
    if (const auto name = BrightnessName(code)) {
        m.brightness.selectByPrefix(*name);
    } else {
        m.brightness.clearSelection();
    }
}

void ShowTextDisplay(BasicPageModel& m, ClockSettings settings) {
    m.displayText.text = platform::Cp936ToUtf8(settings.displayText());
    m.displayText.enabled = true;
    m.roll.enabled = true;
    m.alternate.enabled = true;
    const std::uint8_t mode = settings.textDisplayMode();
    if (mode == kTextDisplayRoll) {
        CheckOneOf(m.roll, m.alternate, true);
        return;
    }
    std::uint8_t seconds = mode;
    if (seconds < kMinAlternateSeconds || seconds > kMaxAlternateSeconds) {
        seconds = kMinAlternateSeconds;
        settings.setTextDisplayMode(seconds);
    }
    CheckOneOf(m.alternate, m.roll, true);
    m.alternateSeconds.selectByPrefix(Decimal(seconds));
    m.alternateSeconds.setEnabled(true);
}

void ShowHumiture(BasicPageModel& m, ConstClockSettings settings) {
    const HumitureUnit unit = settings.humitureUnit();
    if (unit == HumitureUnit::kNone) {
        return;
    }
    m.celsius.enabled = true;
    m.fahrenheit.enabled = true;
    CheckOneOf(m.celsius, m.fahrenheit, unit == HumitureUnit::kCelsius);
    m.temperature.text = TemperatureText(settings.temperature(), unit);
    m.humidity.text = HumidityText(settings.humidity());
    const std::array<std::uint8_t, 3> durations{settings.timeDisplayDuration(),
                                                settings.temperatureDisplayDuration(),
                                                settings.humidityDisplayDuration()};
    const auto lists = m.durationLists();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        lists[i]->setEnabled(true);
        if (durations[i] < kMinDisplayDuration) {
            lists[i]->clearSelection();
        } else {
            lists[i]->selectIndex(static_cast<std::size_t>(durations[i] - kMinDisplayDuration));
        }
    }
}

// The four clock addresses as the stores take them.
struct ClockAddresses {
    platform::Ipv4 ip = 0;
    platform::Ipv4 mask = 0;
    platform::Ipv4 gateway = 0;
    platform::Ipv4 dns = 0;
};

// The IP address and gateway must be host addresses, the DNS server a host address or 0; the
// subnet mask is taken as it is.
StoreResult CheckClockAddresses(const BasicPageModel& m, ClockAddresses& out) {
    out.ip = AddressOf(m.ipAddress);
    if (!IsHostAddress(out.ip)) {
        return Refuse(kInvalidIpMessage, BasicField::kIpAddress);
    }
    out.mask = AddressOf(m.subnetMask);
    out.gateway = AddressOf(m.gateway);
    if (!IsHostAddress(out.gateway)) {
        return Refuse(kInvalidGatewayMessage, BasicField::kGateway);
    }
    out.dns = AddressOf(m.dnsServer);
    if (out.dns != 0 && !IsHostAddress(out.dns)) {
        return Refuse(kInvalidDnsMessage, BasicField::kDnsServer);
    }
    return std::nullopt;
}

// Walks the five server address fields in row order: a host address is handed to `take`
// (which may refuse the row), 0 leaves the row empty, anything else is refused. Five empty
// rows are refused too.
template <typename TakeRow>
StoreResult TakeServerAddresses(const BasicPageModel& m, TakeRow take) {
    std::size_t empty = 0;
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        const platform::Ipv4 address = AddressOf(m.servers[i].address);
        if (IsHostAddress(address)) {
            if (auto refusal = take(i, address)) {
                return refusal;
            }
        } else if (address == 0) {
            ++empty;
        } else {
            return Refuse(kInvalidTimeServerMessage, BasicField::kServerAddress, i);
        }
    }
    if (empty == kTimeServerRows) {
        return Refuse(kNoTimeServerMessage, BasicField::kServerAddress, 0);
    }
    return std::nullopt;
}

// The port, key ID and (with a key ID) key of a row that is used; a port or key ID above
// 65535 is refused rather than cut to 16 bits.
StoreResult TakeServerDetails(const TimeServerRowModel& shown, std::size_t index,
                              TimeServerRow& row) {
    const unsigned port = BoxNumber(shown.port.text);
    if (port > kMaxPortOrKeyId) {
        return Refuse(kPortRangeMessage, BasicField::kPort, index);
    }
    const unsigned keyId = BoxNumber(shown.keyId.text);
    if (keyId > kMaxPortOrKeyId) {
        return Refuse(kKeyIdRangeMessage, BasicField::kKeyId, index);
    }
    row.port = static_cast<std::uint16_t>(port);
    row.keyId = static_cast<std::uint16_t>(keyId);
    if (row.keyId != 0) {
        row.key = FieldBytes(shown.key.text, kRowKeySize);
    }
    return std::nullopt;
}

StoreResult TakeTimeServers(const BasicPageModel& m, TimeServerTable& table) {
    if (m.timeServerIp.checked) {
        table.mode = TimeServerMode::kByAddress;
        return TakeServerAddresses(m, [&](std::size_t i, platform::Ipv4 address) {
            table.rows[i].address = address;
            return TakeServerDetails(m.servers[i], i, table.rows[i]);
        });
    }
    table.mode = TimeServerMode::kByDomainName;
    std::size_t empty = 0;
    for (std::size_t i = 0; i < kDomainRows; ++i) {
        const TimeServerRowModel& shown = m.servers[i];
        if (shown.domain.text.empty()) {
            ++empty;
            continue;
        }
        table.domainNames[i] = FieldBytes(shown.domain.text, kDomainNameSize);
        if (auto refusal = TakeServerDetails(shown, i, table.rows[i])) {
            return refusal;
        }
    }
    if (empty == kDomainRows) {
        return Refuse(kNoTimeServerNameMessage, BasicField::kDomainName, 0);
    }
    return std::nullopt;
}

// The rule of the eight lists when the enable box is checked; every list needs a selection.
StoreResult TakeDstRule(const BasicPageModel& m, std::optional<DstRule>& rule) {
    rule.reset();
    if (!m.dstEnable.checked) {
        return std::nullopt;
    }
    const auto lists = m.dstLists();
    if (std::any_of(lists.begin(), lists.end(),
                    [](const ListControl* list) { return !list->selection(); })) {
        return Refuse(kDstIncompleteMessage);
    }
    const auto transition = [](const DstEdgeModel& edge) {
        const auto next = [](const ListControl& list) {
            return static_cast<std::uint8_t>(*list.selection() + 1);
        };
        return DstTransition{next(edge.month), next(edge.week), next(edge.weekday),
                             static_cast<std::uint8_t>(*edge.hour.selection())};
    };
    rule = DstRule{transition(m.dstStart), transition(m.dstEnd)};
    return std::nullopt;
}

// The selected brightness; without a selection the code the clock reported, or "Normal" when
// no clock was shown.
std::uint8_t BrightnessToStore(const BasicPageModel& m) {
    if (const auto code = BrightnessCode(m.brightness.text())) {
        return *code;
    }
    return m.reportedBrightness.value_or(static_cast<std::uint8_t>(Brightness::kNormal));
}

// A display-duration list as byte 143 to 145 take it: the position + 2, 0 without selection.
std::uint8_t DurationToStore(const ListControl& list) {
    const auto selection = list.selection();
    return selection ? static_cast<std::uint8_t>(*selection + kMinDisplayDuration) : 0;
}

std::uint8_t NumberToStore(const ListControl& list) {
    return static_cast<std::uint8_t>(pagemodel::SelectedNumber(list));
}

}  // namespace

bool IsHostAddress(platform::Ipv4 address) {
    const std::uint8_t first = platform::FirstOctet(address);
    return first != 0 && first != kLoopbackOctet && first <= kFirstHostOctetLimit &&
           platform::LastOctet(address) != 0;
}

BasicPageModel::BasicPageModel() {
    for (ListControl* list : countDownLists()) {
        list->setEnabled(false);
    }
    for (ListControl* list : dstLists()) {
        list->setEnabled(false);
    }
    alternateSeconds.setEnabled(false);
    for (ListControl* list : durationLists()) {
        list->setEnabled(false);
    }
}

std::array<ListControl*, 8> BasicPageModel::dstLists() {
    return {&dstStart.hour, &dstStart.weekday, &dstStart.week, &dstStart.month,
            &dstEnd.hour,   &dstEnd.weekday,   &dstEnd.week,   &dstEnd.month};
}

std::array<const ListControl*, 8> BasicPageModel::dstLists() const {
    return {&dstStart.hour, &dstStart.weekday, &dstStart.week, &dstStart.month,
            &dstEnd.hour,   &dstEnd.weekday,   &dstEnd.week,   &dstEnd.month};
}

std::array<TextControl*, 4> BasicPageModel::clockAddresses() {
    return {&ipAddress, &subnetMask, &gateway, &dnsServer};
}

std::array<ListControl*, 6> BasicPageModel::countDownLists() {
    return {&countDownStartHour,     &countDownStartMinute,     &countDownStartSecond,
            &countDownDurationHours, &countDownDurationMinutes, &countDownDurationSeconds};
}

std::array<ListControl*, 3> BasicPageModel::durationLists() {
    return {&timeDuration, &temperatureDuration, &humidityDuration};
}

void ClearBasicPage(BasicPageModel& m) {
    // 1. Versions.
    m.version.text.clear();
    m.serialNumber.text.clear();
    // 2. Time format and zone.
    m.format12.checked = false;
    m.format24.checked = false;
    m.timeZone.clearSelection();
    // 3. Clock addresses.
    m.dynamicIp.checked = false;
    m.staticIp.checked = false;
    for (TextControl* field : m.clockAddresses()) {
        ClearAndDisable(*field);
    }
    // 4. Time servers by address; no server marked.
    CheckOneOf(m.timeServerIp, m.domain, true);
    // 5. Server addresses, emptied and enabled.
    // 6. Domain names, ports, key IDs and keys, emptied and disabled.
    for (TimeServerRowModel& row : m.servers) {
        row.marker.text.clear();
        row.address.text.clear();
        row.address.enabled = true;
        for (TextControl* box : {&row.domain, &row.port, &row.keyId, &row.key}) {
            ClearAndDisable(*box);
        }
    }
    // 7. Count-down and energy saving.
    for (ListControl* list : m.countDownLists()) {
        ClearAndDisable(*list);
    }
    ClearAndDisable(m.energySavingFrom);
    ClearAndDisable(m.energySavingTo);
    UncheckAndDisable(m.displayDim);
    UncheckAndDisable(m.displayClose);
    // 8. Brightness stays enabled; no clock, so no reported value either.
    m.brightness.clearSelection();
    m.reportedBrightness.reset();
    // 9. Daylight saving: the box stays enabled.
    m.dstEnable.checked = false;
    for (ListControl* list : m.dstLists()) {
        ClearAndDisable(*list);
    }
    // 10. Text display.
    ClearAndDisable(m.displayText);
    UncheckAndDisable(m.roll);
    UncheckAndDisable(m.alternate);
    ClearAndDisable(m.alternateSeconds);
    // 11. Passwords.
    ClearAndDisable(m.userPassword);
    ClearAndDisable(m.globalPassword);
    // 12. Sensor readings; the display-duration lists keep their state.
    UncheckAndDisable(m.celsius);
    UncheckAndDisable(m.fahrenheit);
    m.temperature.text.clear();
    m.humidity.text.clear();
    m.humitureSpare.text.clear();
}

void ClearDisplayDurations(BasicPageModel& m) {
    for (ListControl* list : m.durationLists()) {
        ClearAndDisable(*list);
    }
}

void ShowClockSettings(BasicPageModel& m, SettingsBytes frame, protocol::ClockFamily family) {
    const ClockSettings s(frame);
    if (s.frameType() != protocol::ToByte(protocol::FrameType::kReadSettings)) {
        return;
    }
    // 1. The family decides whether "Static IP" can be used.
    switch (family) {
        case protocol::ClockFamily::kWifi:
            UncheckAndDisable(m.staticIp);
            break;
        case protocol::ClockFamily::kWired:
            m.staticIp = ButtonControl{false, true};
            break;
        case protocol::ClockFamily::kNone:
            break;
    }
    // 2. and 3. Serial number and version.
    m.serialNumber.text = platform::Cp936ToUtf8(s.serialNumber());
    m.version.text = VersionText(s.version());
    // 4. Time format.
    CheckOneOf(m.format24, m.format12, s.twentyFourHourDisplay());
    // 5. Time zone, by its label.
    m.timeZone.selectByPrefix(TimeZoneLabel(s.timeZone()));
    // 6. Clock addresses.
    ShowClockAddresses(m, s.dynamicIp(),
                       {s.ipAddress(), s.subnetMask(), s.gateway(), s.dnsServer()});
    // 7. The server in use.
    const std::uint8_t inUse = s.timeServerInUse();
    if (inUse == 0) {
        for (TimeServerRowModel& row : m.servers) {
            row.marker.text.clear();
        }
    } else if (inUse <= kTimeServerRows) {
        m.servers[inUse - 1].marker.text = std::string(kServerInUseMarker);
    }
    // 8. Time servers.
    const TimeServerTable table = LoadTimeServers(s);
    if (table.mode == TimeServerMode::kByAddress) {
        ShowTimeServersByAddress(m, table);
    } else {
        ShowTimeServersByName(m, table);
    }
    // 9. Count-down.
    const ClockTime start = s.countDownStart();
    const ClockTime duration = s.countDownDuration();
    const std::array<int, 6> countDown{start.hours,    start.minutes,    start.seconds,
                                       duration.hours, duration.minutes, duration.seconds};
    ShowNumbers(m.countDownLists(), countDown);
    // 10. Energy saving.
    m.displayDim.enabled = true;
    m.displayClose.enabled = true;
    CheckOneOf(m.displayDim, m.displayClose,
               s.energySavingMode() == static_cast<std::uint8_t>(EnergySavingMode::kDisplayDim));
    const std::array<int, 2> period{s.energySavingStartHour(), s.energySavingEndHour()};
    ShowNumbers(std::array{&m.energySavingFrom, &m.energySavingTo}, period);
    // 11. Brightness.
    ShowBrightness(m, s.brightness());
    // 12. Daylight saving; a disabled rule leaves the lists as they are.
    if (const auto rule = LoadDst(s)) {
        ShowDstRule(m, *rule);
    } else {
        m.dstEnable.checked = false;
    }
    // 13. Text display.
    ShowTextDisplay(m, s);
    // 14. Humiture.
    ShowHumiture(m, s);
    // 15. The reply's passwords are never shown.
    m.userPassword.enabled = false;
    m.globalPassword.enabled = false;
}

void ShowEarlyClockSettings(BasicPageModel& m, ConstCommandBytes commandFrame) {
    ClearBasicPage(m);
    const ConstEarlyClockSettings s(commandFrame);
    if (s.commandCode() != protocol::ToByte(protocol::CommandCode::kRead)) {
        return;
    }
    // 1. Serial number; early clocks report no version.
    m.serialNumber.text = platform::Cp936ToUtf8(s.serialNumber());
    // 2. Time format.
    CheckOneOf(m.format12, m.format24, s.timeFormat() == early::kTimeFormat12);
    // 3. Time zone.
    m.timeZone.selectByPrefix(EarlyTimeZoneLabel(s.timeZoneBytes()));
    // 4. Clock addresses; the family is not consulted.
    ShowClockAddresses(m, s.dynamicIp(),
                       {s.ipAddress(), s.subnetMask(), s.gateway(), s.dnsServer()});
    // 5. Time servers, by address only, and the one in use.
    CheckOneOf(m.timeServerIp, m.domain, true);
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        m.servers[i].address.text = platform::FormatIpv4(s.timeServerAddress(i));
        m.servers[i].address.enabled = true;
    }
    if (const auto row = EarlyTimeServerInUseRow(s)) {
        m.servers[*row].marker.text = std::string(kServerInUseMarker);
    }
    // 6. Energy saving; the display choice stays off.
    m.displayDim.checked = false;
    m.displayClose.checked = false;
    const std::array<int, 2> period{static_cast<std::int8_t>(s.energySavingStartHour()),
                                    static_cast<std::int8_t>(s.energySavingEndHour())};
    ShowNumbers(std::array{&m.energySavingFrom, &m.energySavingTo}, period);
    // 7. Brightness.
    ShowBrightness(m, s.brightness());
    // 8. Daylight saving.
    if (const auto rule = LoadEarlyDst(s)) {
        ShowDstRule(m, *rule);
    } else {
        m.dstEnable.checked = false;
    }
    // 9. Count-down, text display, humiture and passwords stay as cleared.
}

StoreResult StoreClockSettings(const BasicPageModel& m, SettingsBytes frame) {
    const ClockSettings s(frame);
    // 1. A write request.
    s.setRequestBit(true);
    s.setFrameType(protocol::ToByte(protocol::FrameType::kWriteBasic));
    // 2. to 4. Serial number, version, time format.
    StoreSerialNumber(s, FieldBytes(m.serialNumber.text, kSerialNumberSize));
    s.setVersion(VersionFromText(m.version.text));
    s.setTwentyFourHourDisplay(!m.format12.checked);
    // 5. Time zone, from the list's label; an empty one leaves both bytes 0.
    if (const std::string zone = m.timeZone.text(); !zone.empty()) {
        s.setTimeZone(ParseTimeZoneLabel(zone));
    }
    // 6. to 10. Clock addresses.
    ClockAddresses addresses;
    if (auto refusal = CheckClockAddresses(m, addresses)) {
        return refusal;
    }
    s.setDynamicIp(m.dynamicIp.checked);
    s.setIpAddress(addresses.ip);
    s.setSubnetMask(addresses.mask);
    s.setGateway(addresses.gateway);
    s.setDnsServer(addresses.dns);
    // 11. Time servers.
    TimeServerTable table;
    if (auto refusal = TakeTimeServers(m, table)) {
        return refusal;
    }
    StoreTimeServers(s, table);
    // 12. Count-down; a start that is no time of day writes nothing.
    StoreCountDown(
        s,
        {NumberToStore(m.countDownStartHour), NumberToStore(m.countDownStartMinute),
         NumberToStore(m.countDownStartSecond)},
        {NumberToStore(m.countDownDurationHours), NumberToStore(m.countDownDurationMinutes),
         NumberToStore(m.countDownDurationSeconds)});
    // 13. Energy saving.
    s.setEnergySavingMode(static_cast<std::uint8_t>(
        m.displayDim.checked ? EnergySavingMode::kDisplayDim : EnergySavingMode::kDisplayClose));
    s.setEnergySavingStartHour(NumberToStore(m.energySavingFrom));
    s.setEnergySavingEndHour(NumberToStore(m.energySavingTo));
    // 14. Brightness.
    s.setBrightness(BrightnessToStore(m));
    // 15. Daylight saving.
    std::optional<DstRule> rule;
    if (auto refusal = TakeDstRule(m, rule)) {
        return refusal;
    }
    StoreDst(s, rule);
    // 16. Text display: an empty text rolls.
    if (m.displayText.text.empty()) {
        s.setTextDisplayMode(kTextDisplayRoll);
    } else {
        s.setDisplayText(FieldBytes(m.displayText.text, kDisplayTextSize));
        // Alternate with no item matching gives 1, as the list's position -1 does.
        s.setTextDisplayMode(m.roll.checked ? kTextDisplayRoll
                                            : static_cast<std::uint8_t>(
                                                  pagemodel::SelectedPosition(m.alternateSeconds) +
                                                  kMinAlternateSeconds));
    }
    // 17. Humiture, only when the clock reported a sensor; the readings are not sent.
    if (!m.temperature.text.empty()) {
        s.setHumitureUnitByte(static_cast<std::uint8_t>(
            m.celsius.checked ? HumitureUnit::kCelsius : HumitureUnit::kFahrenheit));
        s.setTimeDisplayDuration(DurationToStore(m.timeDuration));
        s.setTemperatureDisplayDuration(DurationToStore(m.temperatureDuration));
        s.setHumidityDisplayDuration(DurationToStore(m.humidityDuration));
    }
    // 18. The default passwords; the page's password boxes are not read.
    s.setUserPassword(kDefaultUserPassword);
    s.setGlobalPassword(kDefaultGlobalPassword);
    return std::nullopt;
}

StoreResult StoreEarlyClockSettings(const BasicPageModel& m, CommandBytes commandFrame) {
    // 1. A fresh frame.
    std::fill(commandFrame.begin(), commandFrame.end(), std::uint8_t{0});
    const EarlyClockSettings s(commandFrame);
    // 2. and 3. Serial number and time format.
    s.setSerialNumber(FieldBytes(m.serialNumber.text, early::kMaxSerialNumberLength));
    s.setTimeFormat(m.format12.checked ? early::kTimeFormat12 : early::kTimeFormat24);
    // 4. Time zone, without range checks.
    if (const std::string zone = m.timeZone.text(); !zone.empty()) {
        s.setTimeZone(ParseTimeZoneLabel(zone));
    }
    // 5. Clock addresses. With "Dynamic IP" a bad gateway or DNS server goes out as 0.
    if (m.dynamicIp.checked) {
        s.setDynamicIp(true);
        const platform::Ipv4 gateway = AddressOf(m.gateway);
        const platform::Ipv4 dns = AddressOf(m.dnsServer);
        s.setGateway(IsHostAddress(gateway) ? gateway : 0);
        s.setDnsServer(IsHostAddress(dns) ? dns : 0);
    } else {
        ClockAddresses addresses;
        if (auto refusal = CheckClockAddresses(m, addresses)) {
            return refusal;
        }
        s.setIpAddress(addresses.ip);
        s.setSubnetMask(addresses.mask);
        s.setGateway(addresses.gateway);
        s.setDnsServer(addresses.dns);
    }
    // 6. Time servers, always by address, and how many are given.
    std::uint8_t given = 0;
    if (auto refusal = TakeServerAddresses(m, [&](std::size_t i, platform::Ipv4 address) {
            s.setTimeServerAddress(i, address);
            ++given;
            return StoreResult{};
        })) {
        return refusal;
    }
    s.setTimeServerCount(given);
    // 7. Energy saving.
    s.setEnergySavingStartHour(NumberToStore(m.energySavingFrom));
    s.setEnergySavingEndHour(NumberToStore(m.energySavingTo));
    // 8. Brightness.
    s.setBrightness(BrightnessToStore(m));
    // 9. Daylight saving.
    std::optional<DstRule> rule;
    if (auto refusal = TakeDstRule(m, rule)) {
        return refusal;
    }
    StoreEarlyDst(s, rule);
    return std::nullopt;
}

void OnDynamicIp(BasicPageModel& m) {
    if (TakeOver(m.dynamicIp, m.staticIp)) {
        EnableClockAddresses(m, false);
    }
}

void OnStaticIp(BasicPageModel& m) {
    if (TakeOver(m.staticIp, m.dynamicIp)) {
        EnableClockAddresses(m, true);
    }
}

void OnTimeServerIp(BasicPageModel& m) {
    if (TakeOver(m.timeServerIp, m.domain)) {
        EnableServerEntries(m, true);
    }
}

void OnDomain(BasicPageModel& m) {
    if (TakeOver(m.domain, m.timeServerIp)) {
        EnableServerEntries(m, false);
    }
}

void OnDstEnable(BasicPageModel& m) {
    for (ListControl* list : m.dstLists()) {
        if (m.dstEnable.checked) {
            list->setEnabled(true);
        } else {
            ClearAndDisable(*list);
        }
    }
}

void OnRoll(BasicPageModel& m) {
    if (TakeOver(m.roll, m.alternate)) {
        ClearAndDisable(m.alternateSeconds);
    }
}

void OnAlternate(BasicPageModel& m) {
    if (TakeOver(m.alternate, m.roll)) {
        m.alternateSeconds.selectIndex(0);
        m.alternateSeconds.setEnabled(true);
    }
}

bool Click(BasicPageModel& m, BasicButton button) {
    struct Wiring {
        ButtonControl BasicPageModel::*self;
        ButtonControl BasicPageModel::*partner;  // the other radio button; none for a check box
        void (*handler)(BasicPageModel&);
    };
    const auto wiring = [](BasicButton which) -> Wiring {
        using M = BasicPageModel;
        switch (which) {
            case BasicButton::kFormat12:
                return {&M::format12, &M::format24, nullptr};
            case BasicButton::kFormat24:
                return {&M::format24, &M::format12, nullptr};
            case BasicButton::kDynamicIp:
                return {&M::dynamicIp, &M::staticIp, &OnDynamicIp};
            case BasicButton::kStaticIp:
                return {&M::staticIp, &M::dynamicIp, &OnStaticIp};
            case BasicButton::kTimeServerIp:
                return {&M::timeServerIp, &M::domain, &OnTimeServerIp};
            case BasicButton::kDomain:
                return {&M::domain, &M::timeServerIp, &OnDomain};
            case BasicButton::kDisplayDim:
                return {&M::displayDim, &M::displayClose, nullptr};
            case BasicButton::kDisplayClose:
                return {&M::displayClose, &M::displayDim, nullptr};
            case BasicButton::kDstEnable:
                return {&M::dstEnable, nullptr, &OnDstEnable};
            case BasicButton::kRoll:
                return {&M::roll, &M::alternate, &OnRoll};
            case BasicButton::kAlternate:
                return {&M::alternate, &M::roll, &OnAlternate};
            case BasicButton::kCelsius:
                return {&M::celsius, &M::fahrenheit, nullptr};
            case BasicButton::kFahrenheit:
                break;
        }
        return {&M::fahrenheit, &M::celsius, nullptr};
    }(button);
    ButtonControl& self = m.*wiring.self;
    if (!self.enabled) {
        return false;
    }
    if (wiring.partner == nullptr) {
        self.checked = !self.checked;
    } else {
        CheckOneOf(self, m.*wiring.partner, true);
    }
    if (wiring.handler != nullptr) {
        wiring.handler(m);
    }
    return true;
}

}  // namespace tavlo::settings
