#include "wifi/page/WifiPage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/Cp936LengthLimiter.h"
#include "ui/ListSelection.h"

namespace tavlo::wifi {
namespace {

constexpr int kPageMargin = 6;

// Entries of the two lists, in list order. The clock's codes are converted by entry text,
// never by position.
const QStringList kCipherItems{QStringLiteral("OPEN"), QStringLiteral("WEP"),
                               QStringLiteral("TKIP"), QStringLiteral("AES")};
const QStringList kAuthItems{QStringLiteral("NONE"),   QStringLiteral("WEP"),
                             QStringLiteral("WPA"),    QStringLiteral("WPA2"),
                             QStringLiteral("WPAPSK"), QStringLiteral("WPA2PSK")};
const QStringList kScanHeadings{QStringLiteral("Num"),     QStringLiteral("SSID"),
                                QStringLiteral("Channel"), QStringLiteral("Rssi"),
                                QStringLiteral("Cipher"),  QStringLiteral("Auth"),
                                QStringLiteral("Bss_type")};
constexpr int kSsidColumnStretch = 3;

}  // namespace

WifiPage::WifiPage(protocol::ProtocolState& protocol, QWidget* parent)
    : ui::PageWidget(parent), protocol_(protocol) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    column->addWidget(buildScanGroup());
    column->addWidget(buildWifiGroup());
    column->addStretch(1);
}

WifiPage::~WifiPage() = default;

QWidget* WifiPage::buildScanGroup() {
    auto* box = new QGroupBox(QStringLiteral("Wired"), this);
    auto* grid = new QGridLayout(box);
    c_.wiredPattern = new QRadioButton(QStringLiteral("Wired_Pattern"), box);
    c_.wiredPattern->setEnabled(false);
    c_.wifiSearch = new QPushButton(QStringLiteral("Wifi_Search"), box);
    c_.wifiSearch->setVisible(false);
    grid->addWidget(c_.wiredPattern, 0, 0, 1, 2);
    grid->addWidget(c_.wifiSearch, 0, kScanColumns);

    for (int column = 0; column < kScanHeadings.size(); ++column) {
        grid->addWidget(new QLabel(kScanHeadings.at(column), box), 1, column);
    }
    rowGroup_ = new QButtonGroup(this);
    for (int row = 0; row < kScanRows; ++row) {
        auto* button = new QRadioButton(QString::number(row + 1), box);
        button->setEnabled(false);
        rowGroup_->addButton(button);
        c_.rowButtons[static_cast<std::size_t>(row)] = button;
        grid->addWidget(button, row + 2, 0);
        for (int column = 0; column < kScanColumns; ++column) {
            auto* cell = new QLabel(box);
            cell->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            c_.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = cell;
            grid->addWidget(cell, row + 2, column + 1);
        }
    }
    grid->setColumnStretch(1, kSsidColumnStretch);
    for (int column = 2; column <= kScanColumns; ++column) {
        grid->setColumnStretch(column, 1);
    }
    return box;
}

QWidget* WifiPage::buildWifiGroup() {
    auto* box = new QGroupBox(QStringLiteral("Wifi"), this);
    auto* grid = new QGridLayout(box);
    c_.wifiPattern = new QRadioButton(QStringLiteral("Wifi_Pattern"), box);
    patternGroup_ = new QButtonGroup(this);
    patternGroup_->addButton(c_.wiredPattern);
    patternGroup_->addButton(c_.wifiPattern);
    connect(c_.wifiPattern, &QRadioButton::clicked, this, &WifiPage::OnWifiPattern);

    c_.ssid = new QLineEdit(box);
    ui::Cp936LengthLimiter::attach(c_.ssid, kSsidMaxBytes);
    c_.ssid->setEnabled(false);
    c_.cipher = new QComboBox(box);
    c_.cipher->addItems(kCipherItems);
    ui::ClearSelection(*c_.cipher);
    c_.cipher->setEnabled(false);
    c_.auth = new QComboBox(box);
    c_.auth->addItems(kAuthItems);
    ui::ClearSelection(*c_.auth);
    c_.auth->setEnabled(false);
    c_.password = new QLineEdit(box);
    c_.password->setEchoMode(QLineEdit::Password);
    ui::Cp936LengthLimiter::attach(c_.password, kWifiPasswordMaxBytes);

    grid->addWidget(c_.wifiPattern, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("SSID:"), box), 1, 0);
    grid->addWidget(c_.ssid, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Cipher:"), box), 2, 0);
    grid->addWidget(c_.cipher, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Auth:"), box), 3, 0);
    grid->addWidget(c_.auth, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Wifi Password:"), box), 4, 0);
    grid->addWidget(c_.password, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    return box;
}

void WifiPage::ResetWifiPage() {
    for (const auto& row : c_.cells) {
        for (QLabel* cell : row) {
            cell->clear();
        }
    }
    ui::UncheckAll(*patternGroup_);
    c_.wiredPattern->setEnabled(false);
    c_.wifiPattern->setEnabled(true);
    c_.ssid->clear();
    c_.ssid->setEnabled(false);
    for (QComboBox* list : {c_.cipher, c_.auth}) {
        ui::ClearSelection(*list);
        list->setEnabled(false);
    }
    ui::UncheckAll(*rowGroup_);
    for (QRadioButton* button : c_.rowButtons) {
        button->setEnabled(false);
    }
    c_.password->clear();
    c_.password->setEnabled(true);
}

void WifiPage::OnWifiPattern() {
    if (!c_.wifiPattern->isChecked()) {
        return;
    }
    c_.ssid->setEnabled(true);
    c_.cipher->setEnabled(true);
    c_.auth->setEnabled(true);
    c_.wiredPattern->setEnabled(false);
    c_.wiredPattern->setChecked(false);
    ui::UncheckAll(*rowGroup_);
    for (QRadioButton* button : c_.rowButtons) {
        button->setEnabled(false);
    }
}

}  // namespace tavlo::wifi
