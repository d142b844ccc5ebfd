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

#include "settings/TimeZone.h"
#include "ui/Cp936LengthLimiter.h"
#include "ui/Cp936Text.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/ListSelection.h"
#include "ui/Prompter.h"

namespace tavlo::settings {
namespace {

constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;
constexpr int kLastDurationHour = 9;
constexpr int kFirstAlternateSeconds = 2;
constexpr int kLastAlternateSeconds = 5;
constexpr int kFirstDisplayDuration = 2;
constexpr int kLastDisplayDuration = 15;

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
constexpr int kEditFramePixels = 12;
// Text of the server-in-use marker.
constexpr char kMarkerText[] = "*";

int WidthForDigits(const QWidget& widget, int digits) {
    return widget.fontMetrics().horizontalAdvance(QLatin1Char('0')) * digits + kEditFramePixels;
}

const QStringList kBrightnessItems{QStringLiteral("Brilliant"), QStringLiteral("Bright"),
                                   QStringLiteral("Normal"), QStringLiteral("Dim"),
                                   QStringLiteral("OFF")};
const QStringList kWeekItems{QStringLiteral("First"), QStringLiteral("Second"),
                             QStringLiteral("Third"), QStringLiteral("Fourth"),
                             QStringLiteral("Fifth"), QStringLiteral("Last")};
const QStringList kWeekdayItems{QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
                                QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat"),
                                QStringLiteral("Sun")};
const QStringList kMonthItems{QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                              QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                              QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                              QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};

QStringList TimeZoneItems() {
    QStringList items;
    for (const std::string_view label : kTimeZoneLabels) {
        items << QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size()));
    }
    return items;
}

QComboBox* MakeList(QWidget* parent, const QStringList& items, bool editable = false) {
    auto* list = new QComboBox(parent);
    list->setEditable(editable);
    // Typing into an editable list never adds an item to it.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(items);
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

BasicPage::BasicPage(protocol::ProtocolState& protocol, protocol::SearchState& search,
                     ui::Prompter& prompter, QWidget* parent)
    : ui::PageWidget(parent), protocol_(protocol), search_(search), prompter_(prompter) {
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

    setInitialStates();
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
    c_.timeZone = MakeList(box, TimeZoneItems());
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
    connect(c_.dynamicIp, &QRadioButton::clicked, this, &BasicPage::OnDynamicIp);
    connect(c_.staticIp, &QRadioButton::clicked, this, &BasicPage::OnStaticIp);
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
    connect(c_.timeServerIp, &QRadioButton::clicked, this, &BasicPage::OnTimeServerIp);
    connect(c_.domain, &QRadioButton::clicked, this, &BasicPage::OnDomain);

    enum Column { kMarker, kAddress, kDomain, kPort, kKeyId, kKey };
    grid->addWidget(c_.timeServerIp, 0, kAddress);
    grid->addWidget(c_.domain, 0, kDomain);
    grid->addWidget(Caption("Port:", box), 0, kPort);
    grid->addWidget(Caption("Key ID:", box), 0, kKeyId);
    grid->addWidget(Caption("Keys:", box), 0, kKey);

    for (int i = 0; i < kTimeServerRows; ++i) {
        TimeServerRowControls& row = c_.servers[static_cast<std::size_t>(i)];
        row.marker = new QLabel(box);
        row.marker->setMinimumWidth(row.marker->fontMetrics().horizontalAdvance(kMarkerText));
        row.address = new ui::Ipv4AddressEdit(box);
        row.domain = MakeEdit(box, kDomainMaxBytes, false);
        row.port = MakeDigitsEdit(box, kPortMaxChars, false);
        row.keyId = MakeDigitsEdit(box, kKeyIdMaxChars, true);
        row.key = MakeEdit(box, kKeyMaxBytes, true);
        for (QLineEdit* narrow : {row.port, row.keyId}) {
            narrow->setMaximumWidth(WidthForDigits(*narrow, kNarrowBoxDigits));
        }
        row.key->setMaximumWidth(WidthForDigits(*row.key, kKeyBoxDigits));
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
    c_.countDownStartHour = MakeList(box, ui::NumberItems(0, kLastHour));
    c_.countDownStartMinute = MakeList(box, ui::NumberItems(0, kLastMinute));
    c_.countDownStartSecond = MakeList(box, ui::NumberItems(0, kLastMinute));
    c_.countDownDurationHours = MakeList(box, ui::NumberItems(0, kLastDurationHour));
    c_.countDownDurationMinutes = MakeList(box, ui::NumberItems(0, kLastMinute));
    c_.countDownDurationSeconds = MakeList(box, ui::NumberItems(0, kLastMinute));
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
    c_.energySavingFrom = MakeList(box, ui::NumberItems(0, kLastHour));
    c_.energySavingTo = MakeList(box, ui::NumberItems(0, kLastHour));
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
    c_.brightness = MakeList(box, kBrightnessItems);
    row->addWidget(c_.brightness);
    row->addStretch(1);
    return box;
}

QWidget* BasicPage::buildDstGroup() {
    auto* box = new QGroupBox(QStringLiteral("Daylight Saving Time Setting"), this);
    auto* grid = Tight(new QGridLayout(box));
    grid->setHorizontalSpacing(kGroupSpacing - 1);
    c_.dstEnable = new QCheckBox(QStringLiteral("Daylight Saving Time Enable"), box);
    connect(c_.dstEnable, &QCheckBox::clicked, this, &BasicPage::OnDstEnable);
    grid->addWidget(c_.dstEnable, 0, 0, 1, 7);

    const std::array<std::pair<const char*, DstEdgeControls*>, 2> edges{{
        {"Start at", &c_.dstStart},
        {"End at", &c_.dstEnd},
    }};
    int row = 1;
    for (const auto& [label, edge] : edges) {
        edge->hour = MakeList(box, ui::NumberItems(0, kLastHour));
        edge->week = MakeList(box, kWeekItems);
        edge->weekday = MakeList(box, kWeekdayItems);
        edge->month = MakeList(box, kMonthItems);
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
    c_.alternateSeconds =
        MakeList(box, ui::NumberItems(kFirstAlternateSeconds, kLastAlternateSeconds), true);
    connect(c_.displayText, &QLineEdit::textChanged, this, &BasicPage::updateTextCounter);
    connect(c_.roll, &QRadioButton::clicked, this, &BasicPage::OnRoll);
    connect(c_.alternate, &QRadioButton::clicked, this, &BasicPage::OnAlternate);
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
    const QStringList durations = ui::NumberItems(kFirstDisplayDuration, kLastDisplayDuration);
    c_.timeDuration = MakeList(box, durations, true);
    c_.humidityDuration = MakeList(box, durations, true);
    c_.temperatureDuration = MakeList(box, durations, true);

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

void BasicPage::setInitialStates() {
    c_.domain->setEnabled(false);
    for (const TimeServerRowControls& row : c_.servers) {
        for (QLineEdit* edit : {row.domain, row.port, row.keyId, row.key}) {
            edit->setEnabled(false);
        }
    }
    for (QComboBox* list :
         {c_.countDownStartHour, c_.countDownStartMinute, c_.countDownStartSecond,
          c_.countDownDurationHours, c_.countDownDurationMinutes, c_.countDownDurationSeconds}) {
        list->setEnabled(false);
    }
    c_.displayDim->setEnabled(false);
    c_.displayClose->setEnabled(false);
    for (QComboBox* list : c_.dstLists()) {
        list->setEnabled(false);
    }
    c_.displayText->setEnabled(false);
    c_.roll->setEnabled(false);
    c_.alternate->setEnabled(false);
    c_.alternateSeconds->setEnabled(false);
    c_.celsius->setEnabled(false);
    c_.fahrenheit->setEnabled(false);
    for (QComboBox* list : {c_.timeDuration, c_.humidityDuration, c_.temperatureDuration}) {
        list->setEnabled(false);
    }
    c_.userPassword->setEnabled(false);
    c_.globalPassword->setEnabled(false);
}

void BasicPage::ClearBasicPage() {
    // 1. Versions.
    c_.version->clear();
    c_.serialNumber->clear();
    // 2. Time format and zone.
    ui::UncheckAll(*formatGroup_);
    ui::ClearSelection(*c_.timeZone);
    // 3. Clock addresses.
    ui::UncheckAll(*ipModeGroup_);
    for (ui::Ipv4AddressEdit* field : c_.clockAddresses()) {
        field->clear();
        field->setEnabled(false);
    }
    // 4. Time servers by address; no server marked.
    c_.timeServerIp->setChecked(true);
    c_.domain->setChecked(false);
    for (const TimeServerRowControls& row : c_.servers) {
        row.marker->clear();
    }
    // 5. Server addresses.
    for (const TimeServerRowControls& row : c_.servers) {
        row.address->clear();
        row.address->setEnabled(true);
    }
    // 6. Domain names, then ports, key IDs and keys.
    for (const TimeServerRowControls& row : c_.servers) {
        row.domain->clear();
        row.domain->setEnabled(false);
    }
    for (QLineEdit* TimeServerRowControls::*box :
         {&TimeServerRowControls::port, &TimeServerRowControls::keyId,
          &TimeServerRowControls::key}) {
        for (const TimeServerRowControls& row : c_.servers) {
            (row.*box)->clear();
            (row.*box)->setEnabled(false);
        }
    }
    // 7. Count-down and energy saving.
    for (QComboBox* list : {c_.countDownStartHour, c_.countDownStartMinute, c_.countDownStartSecond,
                            c_.countDownDurationHours, c_.countDownDurationMinutes,
                            c_.countDownDurationSeconds, c_.energySavingFrom, c_.energySavingTo}) {
        ui::ClearSelection(*list);
        list->setEnabled(false);
    }
    ui::UncheckAll(*dimGroup_);
    c_.displayDim->setEnabled(false);
    c_.displayClose->setEnabled(false);
    // 8. Brightness stays enabled.
    ui::ClearSelection(*c_.brightness);
    // 9. Daylight saving: the box stays enabled.
    c_.dstEnable->setChecked(false);
    for (QComboBox* list : c_.dstLists()) {
        ui::ClearSelection(*list);
        list->setEnabled(false);
    }
    // 10. Text display.
    c_.displayText->clear();
    c_.displayText->setEnabled(false);
    ui::UncheckAll(*textModeGroup_);
    c_.roll->setEnabled(false);
    c_.alternate->setEnabled(false);
    ui::ClearSelection(*c_.alternateSeconds);
    c_.alternateSeconds->setEnabled(false);
    // 11. Passwords.
    c_.userPassword->clear();
    c_.userPassword->setEnabled(false);
    c_.globalPassword->clear();
    c_.globalPassword->setEnabled(false);
    // 12. Sensor readings; the display-duration lists keep their state.
    ui::UncheckAll(*unitGroup_);
    c_.celsius->setEnabled(false);
    c_.fahrenheit->setEnabled(false);
    c_.temperature->clear();
    c_.humidity->clear();
    c_.humitureSpare->clear();
}

void BasicPage::enableClockAddresses(bool enabled) {
    for (ui::Ipv4AddressEdit* field : c_.clockAddresses()) {
        field->setEnabled(enabled);
    }
}

void BasicPage::OnDynamicIp() {
    if (!c_.dynamicIp->isChecked()) {
        return;
    }
    c_.staticIp->setChecked(false);
    enableClockAddresses(false);
}

void BasicPage::OnStaticIp() {
    if (!c_.staticIp->isChecked()) {
        return;
    }
    c_.dynamicIp->setChecked(false);
    enableClockAddresses(true);
}

void BasicPage::enableServerEntries(bool byAddress) {
    for (const TimeServerRowControls& row : c_.servers) {
        row.address->setEnabled(byAddress);
    }
    for (int i = 0; i < kDomainRows; ++i) {
        c_.servers[static_cast<std::size_t>(i)].domain->setEnabled(!byAddress);
    }
}

void BasicPage::OnTimeServerIp() {
    if (!c_.timeServerIp->isChecked()) {
        return;
    }
    c_.domain->setChecked(false);
    enableServerEntries(true);
}

void BasicPage::OnDomain() {
    if (!c_.domain->isChecked()) {
        return;
    }
    c_.timeServerIp->setChecked(false);
    enableServerEntries(false);
}

void BasicPage::OnDstEnable() {
    const bool enabled = c_.dstEnable->isChecked();
    for (QComboBox* list : c_.dstLists()) {
        if (enabled) {
            list->setEnabled(true);
        } else {
            ui::ClearSelection(*list);
            list->setEnabled(false);
        }
    }
}

void BasicPage::OnRoll() {
    if (!c_.roll->isChecked()) {
        return;
    }
    c_.alternate->setChecked(false);
    ui::ClearSelection(*c_.alternateSeconds);
    c_.alternateSeconds->setEnabled(false);
}

void BasicPage::OnAlternate() {
    if (!c_.alternate->isChecked()) {
        return;
    }
    c_.roll->setChecked(false);
    ui::SelectByIndex(*c_.alternateSeconds, 0);
    c_.alternateSeconds->setEnabled(true);
}

void BasicPage::guardRange(QLineEdit* box, const char* message) {
    // The box takes digits only, at most five, so the number always fits an int.
    if (box->text().toInt() <= kMaxPortOrKeyId) {
        return;
    }
    prompter_.inform(QString::fromLatin1(message));
    box->setFocus(Qt::OtherFocusReason);
}

void BasicPage::updateTextCounter() {
    c_.displayTextCounter->setText(QString::asprintf(
        kDisplayTextCounterFormat, static_cast<int>(ui::Cp936ByteCount(c_.displayText->text()))));
}

}  // namespace tavlo::settings
