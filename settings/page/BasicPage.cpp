#include "settings/page/BasicPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/ControlBinding.h"
#include "ui/Cp936LengthLimiter.h"
#include "ui/Cp936Text.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/ListSelection.h"
#include "ui/Prompter.h"

namespace tavlo::settings {
namespace {

// The page holds eleven groups in the main window's tab area: group boxes keep narrow
// margins and spacing.
constexpr int kGroupMarginX = 6;
constexpr int kGroupMarginY = 4;
constexpr int kGroupSpacing = 4;
constexpr int kPageMargin = 4;
constexpr int kValueMinWidth = 60;
constexpr int kMaxVisibleListItems = 16;
// Port and key-ID boxes show five digits, key boxes eight characters, with some air.
constexpr int kNarrowBoxDigits = 6;
constexpr int kKeyBoxDigits = 10;
// U+2022 BULLET, narrower than the style's usual mask character.
constexpr int kSmallMaskCharacter = 0x2022;
constexpr int kEditFramePixels = 12;
// Results of the stores.
constexpr std::int8_t kStored = 0;
constexpr std::int8_t kRefused = -1;

int WidthForDigits(const QWidget& widget, int digits) {
    return widget.fontMetrics().horizontalAdvance(QLatin1Char('0')) * digits + kEditFramePixels;
}

// A list with the items and editability of its model control.
QComboBox* MakeList(QWidget* parent, const ListControl& control) {
    auto* list = new QComboBox(parent);
    list->setEditable(control.editable());
    // Typing into an editable list never adds an item to it.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(ui::ItemTexts(control.items()));
    list->setMaxVisibleItems(kMaxVisibleListItems);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ui::ClearSelection(*list);
    return list;
}

// A read-only value shown in a sunken box.
QLabel* MakeValue(QWidget* parent) {
    auto* value = new QLabel(parent);
    value->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    value->setMinimumWidth(kValueMinWidth);
    return value;
}

QLineEdit* MakeEdit(QWidget* parent, std::size_t maxBytes, bool hidden) {
    auto* edit = new QLineEdit(parent);
    ui::Cp936LengthLimiter::attach(edit, maxBytes);
    if (hidden) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

QLineEdit* MakeDigitsEdit(QWidget* parent, std::size_t maxChars, bool hidden) {
    auto* edit = MakeEdit(parent, maxChars, hidden);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaxLength(static_cast<int>(maxChars));
    return edit;
}

QButtonGroup* MakeGroup(QObject* parent, std::initializer_list<QRadioButton*> buttons) {
    auto* group = new QButtonGroup(parent);
    for (QRadioButton* button : buttons) {
        group->addButton(button);
    }
    return group;
}

template <typename Layout>
Layout* Tight(Layout* layout) {
    layout->setContentsMargins(kGroupMarginX, kGroupMarginY, kGroupMarginX, kGroupMarginY);
    layout->setSpacing(kGroupSpacing);
    return layout;
}

QLabel* Caption(const char* text, QWidget* parent) {
    return new QLabel(QString::fromUtf8(text), parent);
}

}  // namespace

std::array<QComboBox*, 8> BasicPageControls::dstLists() const {
    return {dstStart.hour, dstStart.weekday, dstStart.week, dstStart.month,
            dstEnd.hour,   dstEnd.weekday,   dstEnd.week,   dstEnd.month};
}

std::array<ui::Ipv4AddressEdit*, 4> BasicPageControls::clockAddresses() const {
    return {ipAddress, subnetMask, gateway, dnsServer};
}

BasicPage::BasicPage(ui::Prompter& prompter, QWidget* parent)
    : ui::PageWidget(parent), prompter_(prompter) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    grid->setSpacing(kGroupSpacing);

    auto* left = new QVBoxLayout;
    left->addWidget(buildVersionGroup());
    left->addWidget(buildTimeGroup());
    left->addWidget(buildIpGroup());
    left->addWidget(buildCountDownGroup());
    left->addWidget(buildEnergyGroup());
    left->addWidget(buildPasswordGroup());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(buildNtpGroup());
    right->addWidget(buildDstGroup());
    right->addWidget(buildTextGroup());
    right->addWidget(buildHumitureGroup());
    right->addWidget(buildBrightnessGroup());
    right->addStretch(1);

    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);

    setModel(shown_);
}

BasicPage::~BasicPage() = default;

QSize BasicPage::sizeHint() const {
    // The compact layout is the preferred one; the layouts spread out when there is room.
    return minimumSizeHint();
}

QWidget* BasicPage::buildVersionGroup() {
    auto* box = new QGroupBox(QStringLiteral("Versions Information"), this);
    auto* row = Tight(new QHBoxLayout(box));
    c_.version = MakeValue(box);
    c_.serialNumber = MakeValue(box);
    row->addWidget(Caption("Version :", box));
    row->addWidget(c_.version, 1);
    row->addWidget(Caption("SN :", box));
    row->addWidget(c_.serialNumber, 2);
    return box;
}

QWidget* BasicPage::buildTimeGroup() {
    auto* box = new QGroupBox(QStringLiteral("Time Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.format12 = new QRadioButton(QStringLiteral("12"), box);
    c_.format24 = new QRadioButton(QStringLiteral("24"), box);
    formatGroup_ = MakeGroup(this, {c_.format12, c_.format24});
    c_.timeZone = MakeList(box, shown_.timeZone);
    grid->addWidget(Caption("Time Format:", box), 0, 0);
    grid->addWidget(c_.format12, 0, 1);
    grid->addWidget(c_.format24, 0, 2);
    grid->addWidget(Caption("Time Zone:", box), 1, 0);
    grid->addWidget(c_.timeZone, 1, 1, 1, 2);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* BasicPage::buildIpGroup() {
    auto* box = new QGroupBox(QStringLiteral("Clock IP Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.dynamicIp = new QRadioButton(QStringLiteral("Dynamic IP"), box);
    c_.staticIp = new QRadioButton(QStringLiteral("Static IP"), box);
    ipModeGroup_ = MakeGroup(this, {c_.dynamicIp, c_.staticIp});
    connect(c_.dynamicIp, &QRadioButton::clicked, this, [this] { update(OnDynamicIp); });
    connect(c_.staticIp, &QRadioButton::clicked, this, [this] { update(OnStaticIp); });
    grid->addWidget(c_.dynamicIp, 0, 0);
    grid->addWidget(c_.staticIp, 0, 1);

    const std::array<std::pair<const char*, ui::Ipv4AddressEdit**>, 4> fields{{
        {"IP Address :", &c_.ipAddress},
        {"Subnet Mask :", &c_.subnetMask},
        {"Default Gateway :", &c_.gateway},
        {"DNS Server  :", &c_.dnsServer},
    }};
    int row = 1;
    for (const auto& [label, field] : fields) {
        *field = new ui::Ipv4AddressEdit(box);
        grid->addWidget(Caption(label, box), row, 0);
        grid->addWidget(*field, row, 1);
        ++row;
    }
    return box;
}

QWidget* BasicPage::buildNtpGroup() {
    auto* box = new QGroupBox(QStringLiteral("NTP Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.timeServerIp = new QRadioButton(QStringLiteral("Time Server IP"), box);
    c_.domain = new QRadioButton(QStringLiteral("Domain"), box);
    serverModeGroup_ = MakeGroup(this, {c_.timeServerIp, c_.domain});
    connect(c_.timeServerIp, &QRadioButton::clicked, this, [this] { update(OnTimeServerIp); });
    connect(c_.domain, &QRadioButton::clicked, this, [this] { update(OnDomain); });

    enum Column { kMarker, kAddress, kDomain, kPort, kKeyId, kKey };
    grid->addWidget(c_.timeServerIp, 0, kAddress);
    grid->addWidget(c_.domain, 0, kDomain);
    grid->addWidget(Caption("Port:", box), 0, kPort);
    grid->addWidget(Caption("Key ID:", box), 0, kKeyId);
    grid->addWidget(Caption("Keys:", box), 0, kKey);

    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        TimeServerRowControls& row = c_.servers[i];
        row.marker = new QLabel(box);
        row.marker->setMinimumWidth(row.marker->fontMetrics().horizontalAdvance(QString::fromLatin1(
            kServerInUseMarker.data(), static_cast<qsizetype>(kServerInUseMarker.size()))));
        row.address = new ui::Ipv4AddressEdit(box);
        row.domain = MakeEdit(box, kDomainMaxBytes, false);
        row.port = MakeDigitsEdit(box, kPortMaxChars, false);
        row.keyId = MakeDigitsEdit(box, kKeyIdMaxChars, true);
        row.key = MakeEdit(box, kKeyMaxBytes, true);
        for (QLineEdit* narrow : {row.port, row.keyId}) {
            narrow->setMaximumWidth(WidthForDigits(*narrow, kNarrowBoxDigits));
        }
        row.key->setMaximumWidth(WidthForDigits(*row.key, kKeyBoxDigits));
        // The narrow key boxes mask with the small bullet, so that a full key shows whole.
        for (QLineEdit* masked : {row.keyId, row.key}) {
            masked->setStyleSheet(
                QStringLiteral("lineedit-password-character: %1").arg(kSmallMaskCharacter));
        }
        connect(row.port, &QLineEdit::textChanged, this,
                [this, edit = row.port]() { guardRange(edit, kPortRangeMessage); });
        connect(row.keyId, &QLineEdit::textChanged, this,
                [this, edit = row.keyId]() { guardRange(edit, kKeyIdRangeMessage); });

        const int gridRow = i + 1;
        grid->addWidget(row.marker, gridRow, kMarker);
        grid->addWidget(row.address, gridRow, kAddress);
        grid->addWidget(row.domain, gridRow, kDomain);
        grid->addWidget(row.port, gridRow, kPort);
        grid->addWidget(row.keyId, gridRow, kKeyId);
        grid->addWidget(row.key, gridRow, kKey);
    }
    grid->setColumnStretch(kAddress, 3);
    grid->setColumnStretch(kDomain, 3);
    return box;
}

QWidget* BasicPage::buildCountDownGroup() {
    auto* box = new QGroupBox(QStringLiteral("Count Down Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.countDownStartHour = MakeList(box, shown_.countDownStartHour);
    c_.countDownStartMinute = MakeList(box, shown_.countDownStartMinute);
    c_.countDownStartSecond = MakeList(box, shown_.countDownStartSecond);
    c_.countDownDurationHours = MakeList(box, shown_.countDownDurationHours);
    c_.countDownDurationMinutes = MakeList(box, shown_.countDownDurationMinutes);
    c_.countDownDurationSeconds = MakeList(box, shown_.countDownDurationSeconds);
    grid->addWidget(Caption("Start at:", box), 0, 0);
    grid->addWidget(c_.countDownStartHour, 0, 1);
    grid->addWidget(c_.countDownStartMinute, 0, 2);
    grid->addWidget(c_.countDownStartSecond, 0, 3);
    grid->addWidget(Caption("Duration:", box), 1, 0);
    grid->addWidget(c_.countDownDurationHours, 1, 1);
    grid->addWidget(c_.countDownDurationMinutes, 1, 2);
    grid->addWidget(c_.countDownDurationSeconds, 1, 3);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* BasicPage::buildEnergyGroup() {
    auto* box = new QGroupBox(QStringLiteral("Energy Saving Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.energySavingFrom = MakeList(box, shown_.energySavingFrom);
    c_.energySavingTo = MakeList(box, shown_.energySavingTo);
    c_.displayDim = new QRadioButton(QStringLiteral("Display Dim"), box);
    c_.displayClose = new QRadioButton(QStringLiteral("Display Close"), box);
    dimGroup_ = MakeGroup(this, {c_.displayDim, c_.displayClose});
    grid->addWidget(Caption("Energy\nSaving :\nPeriod", box), 0, 0);
    grid->addWidget(c_.energySavingFrom, 0, 1);
    grid->addWidget(Caption("To", box), 0, 2);
    grid->addWidget(c_.energySavingTo, 0, 3);
    auto* modes = new QHBoxLayout;
    modes->addWidget(c_.displayDim);
    modes->addWidget(c_.displayClose);
    modes->addStretch(1);
    grid->addLayout(modes, 1, 0, 1, 5);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* BasicPage::buildBrightnessGroup() {
    auto* box = new QGroupBox(QStringLiteral("Brightness Setting"), this);
    auto* row = Tight(new QHBoxLayout(box));
    c_.brightness = MakeList(box, shown_.brightness);
    row->addWidget(c_.brightness);
    row->addStretch(1);
    return box;
}

QWidget* BasicPage::buildDstGroup() {
    auto* box = new QGroupBox(QStringLiteral("Daylight Saving Time Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    grid->setHorizontalSpacing(kGroupSpacing - 1);
    c_.dstEnable = new QCheckBox(QStringLiteral("Daylight Saving Time Enable"), box);
    connect(c_.dstEnable, &QCheckBox::clicked, this, [this] { update(OnDstEnable); });
    grid->addWidget(c_.dstEnable, 0, 0, 1, 7);

    const std::array<std::pair<const char*, DstEdgeControls*>, 2> edges{{
        {"Start at", &c_.dstStart},
        {"End at", &c_.dstEnd},
    }};
    int row = 1;
    for (const auto& [label, edge] : edges) {
        edge->hour = MakeList(box, shown_.dstStart.hour);
        edge->week = MakeList(box, shown_.dstStart.week);
        edge->weekday = MakeList(box, shown_.dstStart.weekday);
        edge->month = MakeList(box, shown_.dstStart.month);
        grid->addWidget(Caption(label, box), row, 0);
        grid->addWidget(edge->hour, row, 1);
        grid->addWidget(Caption("O'clock on the", box), row, 2);
        grid->addWidget(edge->week, row, 3);
        grid->addWidget(edge->weekday, row, 4);
        grid->addWidget(Caption("in", box), row, 5);
        grid->addWidget(edge->month, row, 6);
        ++row;
    }
    grid->setColumnStretch(7, 1);
    return box;
}

QWidget* BasicPage::buildTextGroup() {
    auto* box = new QGroupBox(QStringLiteral("Text Display"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.displayText = MakeEdit(box, kDisplayTextMaxBytes, false);
    c_.displayTextCounter = new QLabel(box);
    c_.roll = new QRadioButton(QStringLiteral("Roll"), box);
    c_.alternate = new QRadioButton(QStringLiteral("Alternate(s):"), box);
    textModeGroup_ = MakeGroup(this, {c_.roll, c_.alternate});
    c_.alternateSeconds = MakeList(box, shown_.alternateSeconds);
    connect(c_.displayText, &QLineEdit::textChanged, this, &BasicPage::updateTextCounter);
    connect(c_.roll, &QRadioButton::clicked, this, [this] { update(OnRoll); });
    connect(c_.alternate, &QRadioButton::clicked, this, [this] { update(OnAlternate); });
    grid->addWidget(c_.displayText, 0, 0, 1, 3);
    grid->addWidget(c_.displayTextCounter, 0, 3);
    grid->addWidget(c_.roll, 1, 0);
    grid->addWidget(c_.alternate, 1, 1);
    grid->addWidget(c_.alternateSeconds, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    updateTextCounter();
    return box;
}

QWidget* BasicPage::buildHumitureGroup() {
    auto* box = new QGroupBox(QStringLiteral("Humiture and Temperature Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.celsius = new QRadioButton(QStringLiteral("\u2103"), box);
    c_.fahrenheit = new QRadioButton(QStringLiteral("\u2109"), box);
    unitGroup_ = MakeGroup(this, {c_.celsius, c_.fahrenheit});
    c_.humidity = MakeValue(box);
    c_.humitureSpare = new QLabel(box);
    c_.temperature = MakeValue(box);
    c_.timeDuration = MakeList(box, shown_.timeDuration);
    c_.humidityDuration = MakeList(box, shown_.humidityDuration);
    c_.temperatureDuration = MakeList(box, shown_.temperatureDuration);

    grid->addWidget(c_.celsius, 0, 0);
    grid->addWidget(c_.fahrenheit, 0, 1);
    grid->addWidget(Caption("Humiture:", box), 0, 2);
    grid->addWidget(c_.humidity, 0, 3);
    grid->addWidget(c_.humitureSpare, 0, 4);
    grid->addWidget(Caption("Temp:", box), 0, 5);
    grid->addWidget(c_.temperature, 0, 6);

    auto* durationRow = new QHBoxLayout;
    durationRow->addWidget(Caption("Display Duration(s):", box));
    durationRow->addWidget(Caption("Time:", box));
    durationRow->addWidget(c_.timeDuration);
    durationRow->addWidget(Caption("Hum.:", box));
    durationRow->addWidget(c_.humidityDuration);
    durationRow->addWidget(Caption("Temp.:", box));
    durationRow->addWidget(c_.temperatureDuration);
    durationRow->addStretch(1);
    grid->addLayout(durationRow, 1, 0, 1, 7);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(6, 1);
    return box;
}

QWidget* BasicPage::buildPasswordGroup() {
    auto* box = new QGroupBox(QStringLiteral("Password Information"), this);
    auto* grid = Tight(new QGridLayout(box));
    c_.userPassword = MakeEdit(box, kPasswordMaxBytes, true);
    c_.globalPassword = MakeEdit(box, kPasswordMaxBytes, true);
    grid->addWidget(Caption("User Password:", box), 0, 0);
    grid->addWidget(c_.userPassword, 0, 1);
    grid->addWidget(Caption("Global Password:", box), 1, 0);
    grid->addWidget(c_.globalPassword, 1, 1);
    return box;
}

template <typename Model, typename Visitor>
void BasicPage::visit(Model& m, const Visitor& v) const {
    v(c_.version, m.version);
    v(c_.serialNumber, m.serialNumber);
    v.group(*formatGroup_, {c_.format12, c_.format24}, {&m.format12, &m.format24});
    v(c_.timeZone, m.timeZone);
    v.group(*ipModeGroup_, {c_.dynamicIp, c_.staticIp}, {&m.dynamicIp, &m.staticIp});
    v(c_.ipAddress, m.ipAddress);
    v(c_.subnetMask, m.subnetMask);
    v(c_.gateway, m.gateway);
    v(c_.dnsServer, m.dnsServer);
    v.group(*serverModeGroup_, {c_.timeServerIp, c_.domain}, {&m.timeServerIp, &m.domain});
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        const TimeServerRowControls& row = c_.servers[i];
        auto& shown = m.servers[i];
        v(row.marker, shown.marker);
        v(row.address, shown.address);
        v(row.domain, shown.domain);
        v(row.port, shown.port);
        v(row.keyId, shown.keyId);
        v(row.key, shown.key);
    }
    v(c_.countDownStartHour, m.countDownStartHour);
    v(c_.countDownStartMinute, m.countDownStartMinute);
    v(c_.countDownStartSecond, m.countDownStartSecond);
    v(c_.countDownDurationHours, m.countDownDurationHours);
    v(c_.countDownDurationMinutes, m.countDownDurationMinutes);
    v(c_.countDownDurationSeconds, m.countDownDurationSeconds);
    v(c_.energySavingFrom, m.energySavingFrom);
    v(c_.energySavingTo, m.energySavingTo);
    v.group(*dimGroup_, {c_.displayDim, c_.displayClose}, {&m.displayDim, &m.displayClose});
    v(c_.brightness, m.brightness);
    v(c_.dstEnable, m.dstEnable);
    for (auto [edge, shown] :
         {std::pair{&c_.dstStart, &m.dstStart}, std::pair{&c_.dstEnd, &m.dstEnd}}) {
        v(edge->hour, shown->hour);
        v(edge->week, shown->week);
        v(edge->weekday, shown->weekday);
        v(edge->month, shown->month);
    }
    v(c_.displayText, m.displayText);
    v.group(*textModeGroup_, {c_.roll, c_.alternate}, {&m.roll, &m.alternate});
    v(c_.alternateSeconds, m.alternateSeconds);
    v.group(*unitGroup_, {c_.celsius, c_.fahrenheit}, {&m.celsius, &m.fahrenheit});
    v(c_.humidity, m.humidity);
    v(c_.humitureSpare, m.humitureSpare);
    v(c_.temperature, m.temperature);
    v(c_.timeDuration, m.timeDuration);
    v(c_.humidityDuration, m.humidityDuration);
    v(c_.temperatureDuration, m.temperatureDuration);
    v(c_.userPassword, m.userPassword);
    v(c_.globalPassword, m.globalPassword);
}

BasicPageModel BasicPage::model() const {
    BasicPageModel m = shown_;
    visit(m, ui::ControlReader{});
    return m;
}

void BasicPage::setModel(const BasicPageModel& m) {
    visit(m, ui::ControlWriter{});
    shown_ = m;
}

template <typename Routine>
void BasicPage::update(Routine routine) {
    BasicPageModel m = model();
    routine(m);
    setModel(m);
}

void BasicPage::ClearBasicPage() {
    update([](BasicPageModel& m) { settings::ClearBasicPage(m); });
}

void BasicPage::ShowClockSettings(SettingsBytes frame, protocol::ClockFamily family) {
    update([&](BasicPageModel& m) { settings::ShowClockSettings(m, frame, family); });
}

void BasicPage::ShowEarlyClockSettings(ConstCommandBytes commandFrame) {
    update([&](BasicPageModel& m) { settings::ShowEarlyClockSettings(m, commandFrame); });
}

std::int8_t BasicPage::StoreClockSettings(SettingsBytes frame) {
    return finishStore(settings::StoreClockSettings(model(), frame));
}

std::int8_t BasicPage::StoreEarlyClockSettings(CommandBytes commandFrame) {
    return finishStore(settings::StoreEarlyClockSettings(model(), commandFrame));
}

std::int8_t BasicPage::finishStore(const StoreResult& result) {
    if (!result) {
        return kStored;
    }
    ShowRefusal(*result);
    return kRefused;
}

void BasicPage::ShowRefusal(const Refusal& refusal) {
    prompter_.inform(QString::fromStdString(refusal.message));
    if (QWidget* target = focusTarget(refusal.focus)) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* BasicPage::focusTarget(const BasicFocus& focus) const {
    const TimeServerRowControls& row = c_.servers[std::min(focus.row, kTimeServerRows - 1)];
    switch (focus.field) {
        case BasicField::kUnchanged:
            return nullptr;
        case BasicField::kIpAddress:
            return c_.ipAddress;
        case BasicField::kGateway:
            return c_.gateway;
        case BasicField::kDnsServer:
            return c_.dnsServer;
        case BasicField::kServerAddress:
            return row.address;
        case BasicField::kDomainName:
            return row.domain;
        case BasicField::kPort:
            return row.port;
        case BasicField::kKeyId:
            return row.keyId;
    }
    return nullptr;
}

void BasicPage::guardRange(QLineEdit* box, std::string_view message) {
    // The box takes digits only, at most five, so the number always fits an int.
    if (box->text().toInt() <= static_cast<int>(kMaxPortOrKeyId)) {
        return;
    }
    prompter_.inform(QString::fromLatin1(message.data(), static_cast<qsizetype>(message.size())));
    box->setFocus(Qt::OtherFocusReason);
}

void BasicPage::updateTextCounter() {
    c_.displayTextCounter->setText(QString::asprintf(
        kDisplayTextCounterFormat, static_cast<int>(ui::Cp936ByteCount(c_.displayText->text()))));
}

}  // namespace tavlo::settings
