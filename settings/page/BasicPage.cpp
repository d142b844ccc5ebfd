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
    controls_.version = MakeValue(box);
    controls_.serialNumber = MakeValue(box);
    row->addWidget(Caption("Version :", box));
    row->addWidget(controls_.version, 1);
    row->addWidget(Caption("SN :", box));
    row->addWidget(controls_.serialNumber, 2);
    return box;
}

QWidget* BasicPage::buildTimeGroup() {
    auto* box = new QGroupBox(QStringLiteral("Time Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    controls_.format12 = new QRadioButton(QStringLiteral("12"), box);
    controls_.format24 = new QRadioButton(QStringLiteral("24"), box);
    formatGroup_ = MakeGroup(this, {controls_.format12, controls_.format24});
    controls_.timeZone = MakeList(box, shown_.timeZone);
    grid->addWidget(Caption("Time Format:", box), 0, 0);
    grid->addWidget(controls_.format12, 0, 1);
    grid->addWidget(controls_.format24, 0, 2);
    grid->addWidget(Caption("Time Zone:", box), 1, 0);
    grid->addWidget(controls_.timeZone, 1, 1, 1, 2);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* BasicPage::buildIpGroup() {
    auto* box = new QGroupBox(QStringLiteral("Clock IP Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    controls_.dynamicIp = new QRadioButton(QStringLiteral("Dynamic IP"), box);
    controls_.staticIp = new QRadioButton(QStringLiteral("Static IP"), box);
    ipModeGroup_ = MakeGroup(this, {controls_.dynamicIp, controls_.staticIp});
    connect(controls_.dynamicIp, &QRadioButton::clicked, this, [this] { update(OnDynamicIp); });
    connect(controls_.staticIp, &QRadioButton::clicked, this, [this] { update(OnStaticIp); });
    grid->addWidget(controls_.dynamicIp, 0, 0);
    grid->addWidget(controls_.staticIp, 0, 1);

    const std::array<std::pair<const char*, ui::Ipv4AddressEdit**>, 4> fields{{
        {"IP Address :", &controls_.ipAddress},
        {"Subnet Mask :", &controls_.subnetMask},
        {"Default Gateway :", &controls_.gateway},
        {"DNS Server  :", &controls_.dnsServer},
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
    controls_.timeServerIp = new QRadioButton(QStringLiteral("Time Server IP"), box);
    controls_.domain = new QRadioButton(QStringLiteral("Domain"), box);
    serverModeGroup_ = MakeGroup(this, {controls_.timeServerIp, controls_.domain});
    connect(controls_.timeServerIp, &QRadioButton::clicked, this,
            [this] { update(OnTimeServerIp); });
    connect(controls_.domain, &QRadioButton::clicked, this, [this] { update(OnDomain); });

    enum Column { kMarker, kAddress, kDomain, kPort, kKeyId, kKey };
    grid->addWidget(controls_.timeServerIp, 0, kAddress);
    grid->addWidget(controls_.domain, 0, kDomain);
    grid->addWidget(Caption("Port:", box), 0, kPort);
    grid->addWidget(Caption("Key ID:", box), 0, kKeyId);
    grid->addWidget(Caption("Keys:", box), 0, kKey);

    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        TimeServerRowControls& row = controls_.servers[i];
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
    controls_.countDownStartHour = MakeList(box, shown_.countDownStartHour);
    controls_.countDownStartMinute = MakeList(box, shown_.countDownStartMinute);
    controls_.countDownStartSecond = MakeList(box, shown_.countDownStartSecond);
    controls_.countDownDurationHours = MakeList(box, shown_.countDownDurationHours);
    controls_.countDownDurationMinutes = MakeList(box, shown_.countDownDurationMinutes);
    controls_.countDownDurationSeconds = MakeList(box, shown_.countDownDurationSeconds);
    grid->addWidget(Caption("Start at:", box), 0, 0);
    grid->addWidget(controls_.countDownStartHour, 0, 1);
    grid->addWidget(controls_.countDownStartMinute, 0, 2);
    grid->addWidget(controls_.countDownStartSecond, 0, 3);
    grid->addWidget(Caption("Duration:", box), 1, 0);
    grid->addWidget(controls_.countDownDurationHours, 1, 1);
    grid->addWidget(controls_.countDownDurationMinutes, 1, 2);
    grid->addWidget(controls_.countDownDurationSeconds, 1, 3);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* BasicPage::buildEnergyGroup() {
    auto* box = new QGroupBox(QStringLiteral("Energy Saving Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    controls_.energySavingFrom = MakeList(box, shown_.energySavingFrom);
    controls_.energySavingTo = MakeList(box, shown_.energySavingTo);
    controls_.displayDim = new QRadioButton(QStringLiteral("Display Dim"), box);
    controls_.displayClose = new QRadioButton(QStringLiteral("Display Close"), box);
    dimGroup_ = MakeGroup(this, {controls_.displayDim, controls_.displayClose});
    grid->addWidget(Caption("Energy\nSaving :\nPeriod", box), 0, 0);
    grid->addWidget(controls_.energySavingFrom, 0, 1);
    grid->addWidget(Caption("To", box), 0, 2);
    grid->addWidget(controls_.energySavingTo, 0, 3);
    auto* modes = new QHBoxLayout;
    modes->addWidget(controls_.displayDim);
    modes->addWidget(controls_.displayClose);
    modes->addStretch(1);
    grid->addLayout(modes, 1, 0, 1, 5);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* BasicPage::buildBrightnessGroup() {
    auto* box = new QGroupBox(QStringLiteral("Brightness Setting"), this);
    auto* row = Tight(new QHBoxLayout(box));
    controls_.brightness = MakeList(box, shown_.brightness);
    row->addWidget(controls_.brightness);
    row->addStretch(1);
    return box;
}

QWidget* BasicPage::buildDstGroup() {
    auto* box = new QGroupBox(QStringLiteral("Daylight Saving Time Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    grid->setHorizontalSpacing(kGroupSpacing - 1);
    controls_.dstEnable = new QCheckBox(QStringLiteral("Daylight Saving Time Enable"), box);
    connect(controls_.dstEnable, &QCheckBox::clicked, this, [this] { update(OnDstEnable); });
    grid->addWidget(controls_.dstEnable, 0, 0, 1, 7);

    const std::array<std::pair<const char*, DstEdgeControls*>, 2> edges{{
        {"Start at", &controls_.dstStart},
        {"End at", &controls_.dstEnd},
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
    controls_.displayText = MakeEdit(box, kDisplayTextMaxBytes, false);
    controls_.displayTextCounter = new QLabel(box);
    controls_.roll = new QRadioButton(QStringLiteral("Roll"), box);
    controls_.alternate = new QRadioButton(QStringLiteral("Alternate(s):"), box);
    textModeGroup_ = MakeGroup(this, {controls_.roll, controls_.alternate});
    controls_.alternateSeconds = MakeList(box, shown_.alternateSeconds);
    connect(controls_.displayText, &QLineEdit::textChanged, this, &BasicPage::updateTextCounter);
    connect(controls_.roll, &QRadioButton::clicked, this, [this] { update(OnRoll); });
    connect(controls_.alternate, &QRadioButton::clicked, this, [this] { update(OnAlternate); });
    grid->addWidget(controls_.displayText, 0, 0, 1, 3);
    grid->addWidget(controls_.displayTextCounter, 0, 3);
    grid->addWidget(controls_.roll, 1, 0);
    grid->addWidget(controls_.alternate, 1, 1);
    grid->addWidget(controls_.alternateSeconds, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    updateTextCounter();
    return box;
}

QWidget* BasicPage::buildHumitureGroup() {
    auto* box = new QGroupBox(QStringLiteral("Humiture and Temperature Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    controls_.celsius = new QRadioButton(QStringLiteral("\u2103"), box);
    controls_.fahrenheit = new QRadioButton(QStringLiteral("\u2109"), box);
    unitGroup_ = MakeGroup(this, {controls_.celsius, controls_.fahrenheit});
    controls_.humidity = MakeValue(box);
    controls_.humitureSpare = new QLabel(box);
    controls_.temperature = MakeValue(box);
    controls_.timeDuration = MakeList(box, shown_.timeDuration);
    controls_.humidityDuration = MakeList(box, shown_.humidityDuration);
    controls_.temperatureDuration = MakeList(box, shown_.temperatureDuration);

    grid->addWidget(controls_.celsius, 0, 0);
    grid->addWidget(controls_.fahrenheit, 0, 1);
    grid->addWidget(Caption("Humiture:", box), 0, 2);
    grid->addWidget(controls_.humidity, 0, 3);
    grid->addWidget(controls_.humitureSpare, 0, 4);
    grid->addWidget(Caption("Temp:", box), 0, 5);
    grid->addWidget(controls_.temperature, 0, 6);

    auto* durationRow = new QHBoxLayout;
    durationRow->addWidget(Caption("Display Duration(s):", box));
    durationRow->addWidget(Caption("Time:", box));
    durationRow->addWidget(controls_.timeDuration);
    durationRow->addWidget(Caption("Hum.:", box));
    durationRow->addWidget(controls_.humidityDuration);
    durationRow->addWidget(Caption("Temp.:", box));
    durationRow->addWidget(controls_.temperatureDuration);
    durationRow->addStretch(1);
    grid->addLayout(durationRow, 1, 0, 1, 7);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(6, 1);
    return box;
}

QWidget* BasicPage::buildPasswordGroup() {
    auto* box = new QGroupBox(QStringLiteral("Password Information"), this);
    auto* grid = Tight(new QGridLayout(box));
    controls_.userPassword = MakeEdit(box, kPasswordMaxBytes, true);
    controls_.globalPassword = MakeEdit(box, kPasswordMaxBytes, true);
    grid->addWidget(Caption("User Password:", box), 0, 0);
    grid->addWidget(controls_.userPassword, 0, 1);
    grid->addWidget(Caption("Global Password:", box), 1, 0);
    grid->addWidget(controls_.globalPassword, 1, 1);
    return box;
}

template <typename Model, typename Visitor>
void BasicPage::visit(Model& m, const Visitor& v) const {
    v(controls_.version, m.version);
    v(controls_.serialNumber, m.serialNumber);
    v.group(*formatGroup_, {controls_.format12, controls_.format24}, {&m.format12, &m.format24});
    v(controls_.timeZone, m.timeZone);
    v.group(*ipModeGroup_, {controls_.dynamicIp, controls_.staticIp}, {&m.dynamicIp, &m.staticIp});
    v(controls_.ipAddress, m.ipAddress);
    v(controls_.subnetMask, m.subnetMask);
    v(controls_.gateway, m.gateway);
    v(controls_.dnsServer, m.dnsServer);
    v.group(*serverModeGroup_, {controls_.timeServerIp, controls_.domain},
            {&m.timeServerIp, &m.domain});
    for (std::size_t i = 0; i < kTimeServerRows; ++i) {
        const TimeServerRowControls& row = controls_.servers[i];
        auto& shown = m.servers[i];
        v(row.marker, shown.marker);
        v(row.address, shown.address);
        v(row.domain, shown.domain);
        v(row.port, shown.port);
        v(row.keyId, shown.keyId);
        v(row.key, shown.key);
    }
    v(controls_.countDownStartHour, m.countDownStartHour);
    v(controls_.countDownStartMinute, m.countDownStartMinute);
    v(controls_.countDownStartSecond, m.countDownStartSecond);
    v(controls_.countDownDurationHours, m.countDownDurationHours);
    v(controls_.countDownDurationMinutes, m.countDownDurationMinutes);
    v(controls_.countDownDurationSeconds, m.countDownDurationSeconds);
    v(controls_.energySavingFrom, m.energySavingFrom);
    v(controls_.energySavingTo, m.energySavingTo);
    v.group(*dimGroup_, {controls_.displayDim, controls_.displayClose},
            {&m.displayDim, &m.displayClose});
    v(controls_.brightness, m.brightness);
    v(controls_.dstEnable, m.dstEnable);
    for (auto [edge, shown] :
         {std::pair{&controls_.dstStart, &m.dstStart}, std::pair{&controls_.dstEnd, &m.dstEnd}}) {
        v(edge->hour, shown->hour);
        v(edge->week, shown->week);
        v(edge->weekday, shown->weekday);
        v(edge->month, shown->month);
    }
    v(controls_.displayText, m.displayText);
    v.group(*textModeGroup_, {controls_.roll, controls_.alternate}, {&m.roll, &m.alternate});
    v(controls_.alternateSeconds, m.alternateSeconds);
    v.group(*unitGroup_, {controls_.celsius, controls_.fahrenheit}, {&m.celsius, &m.fahrenheit});
    v(controls_.humidity, m.humidity);
    v(controls_.humitureSpare, m.humitureSpare);
    v(controls_.temperature, m.temperature);
    v(controls_.timeDuration, m.timeDuration);
    v(controls_.humidityDuration, m.humidityDuration);
    v(controls_.temperatureDuration, m.temperatureDuration);
    v(controls_.userPassword, m.userPassword);
    v(controls_.globalPassword, m.globalPassword);
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
    showRefusal(*result);
    return kRefused;
}

void BasicPage::showRefusal(const Refusal& refusal) {
    prompter_.inform(QString::fromStdString(refusal.message));
    if (QWidget* target = focusTarget(refusal.focus)) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* BasicPage::focusTarget(const BasicFocus& focus) const {
    const TimeServerRowControls& row = controls_.servers[std::min(focus.row, kTimeServerRows - 1)];
    switch (focus.field) {
        case BasicField::kUnchanged:
            return nullptr;
        case BasicField::kIpAddress:
            return controls_.ipAddress;
        case BasicField::kGateway:
            return controls_.gateway;
        case BasicField::kDnsServer:
            return controls_.dnsServer;
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
    controls_.displayTextCounter->setText(
        QString::asprintf(kDisplayTextCounterFormat,
                          static_cast<int>(ui::Cp936ByteCount(controls_.displayText->text()))));
}

}  // namespace tavlo::settings
