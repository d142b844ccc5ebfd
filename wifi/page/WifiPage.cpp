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

#include "ui/ControlBinding.h"
#include "ui/Cp936LengthLimiter.h"

namespace tavlo::wifi {
namespace {

constexpr int kPageMargin = 6;

constexpr std::int8_t kStored = 0;
const QStringList kScanHeadings{QStringLiteral("Num"),     QStringLiteral("SSID"),
                                QStringLiteral("Channel"), QStringLiteral("Rssi"),
                                QStringLiteral("Cipher"),  QStringLiteral("Auth"),
                                QStringLiteral("Bss_type")};
constexpr int kSsidColumnStretch = 3;

}  // namespace

WifiPage::WifiPage(QWidget* parent) : ui::PageWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    column->addWidget(buildScanGroup());
    column->addWidget(buildWifiGroup());
    column->addStretch(1);
    setModel(WifiPageModel{});
}

WifiPage::~WifiPage() = default;

QWidget* WifiPage::buildScanGroup() {
    auto* box = new QGroupBox(QStringLiteral("Wired"), this);
    auto* grid = new QGridLayout(box);
    c_.wiredPattern = new QRadioButton(QStringLiteral("Wired_Pattern"), box);
    c_.wifiSearch = new QPushButton(QStringLiteral("Wifi_Search"), box);
    c_.wifiSearch->setVisible(false);
    grid->addWidget(c_.wiredPattern, 0, 0, 1, 2);
    grid->addWidget(c_.wifiSearch, 0, kScanColumns);

    for (int column = 0; column < kScanHeadings.size(); ++column) {
        grid->addWidget(new QLabel(kScanHeadings.at(column), box), 1, column);
    }
    rowGroup_ = new QButtonGroup(this);
    for (std::size_t row = 0; row < kScanRows; ++row) {
        const int gridRow = static_cast<int>(row) + 2;
        auto* button = new QRadioButton(QString::number(row + 1), box);
        rowGroup_->addButton(button);
        c_.rowButtons[row] = button;
        grid->addWidget(button, gridRow, 0);
        for (std::size_t column = 0; column < kScanColumns; ++column) {
            auto* cell = new QLabel(box);
            cell->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            c_.cells[row][column] = cell;
            grid->addWidget(cell, gridRow, static_cast<int>(column) + 1);
        }
    }
    grid->setColumnStretch(1, kSsidColumnStretch);
    for (int column = 2; column <= static_cast<int>(kScanColumns); ++column) {
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
    connect(c_.wifiPattern, &QRadioButton::clicked, this, [this] { update(OnWifiPattern); });

    c_.ssid = new QLineEdit(box);
    ui::Cp936LengthLimiter::attach(c_.ssid, kSsidMaxBytes);
    c_.cipher = new QComboBox(box);
    c_.cipher->addItems(ui::ItemTexts(kCipherEntries));
    c_.auth = new QComboBox(box);
    c_.auth->addItems(ui::ItemTexts(kAuthenticationEntries));
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

template <typename Model, typename Visitor>
void WifiPage::visit(Model& m, const Visitor& v) const {
    v.group(*patternGroup_, {c_.wiredPattern, c_.wifiPattern}, {&m.wiredPattern, &m.wifiPattern});
    v.group(*rowGroup_,
            {c_.rowButtons[0], c_.rowButtons[1], c_.rowButtons[2], c_.rowButtons[3],
             c_.rowButtons[4], c_.rowButtons[5]},
            {&m.rowButtons[0], &m.rowButtons[1], &m.rowButtons[2], &m.rowButtons[3],
             &m.rowButtons[4], &m.rowButtons[5]});
    for (std::size_t row = 0; row < kScanRows; ++row) {
        for (std::size_t column = 0; column < kScanColumns; ++column) {
            v(c_.cells[row][column], m.scanCells[row][column]);
        }
    }
    v(c_.ssid, m.ssid);
    v(c_.cipher, m.cipher);
    v(c_.auth, m.auth);
    v(c_.password, m.password);
}

WifiPageModel WifiPage::model() const {
    WifiPageModel m;
    visit(m, ui::ControlReader{});
    m.read = read_;
    return m;
}

void WifiPage::setModel(const WifiPageModel& m) {
    visit(m, ui::ControlWriter{});
    read_ = m.read;
    c_.password->setPlaceholderText(read_ ? QString::fromLatin1(kUnchangedPlaceholder) : QString());
}

template <typename Routine>
void WifiPage::update(Routine routine) {
    WifiPageModel m = model();
    routine(m);
    setModel(m);
}

void WifiPage::ResetWifiPage() {
    update([](WifiPageModel& m) { wifi::ResetWifiPage(m); });
}

void WifiPage::ShowWifiPage(settings::ConstSettingsBytes frame) {
    update([&](WifiPageModel& m) { wifi::ShowWifiPage(m, frame); });
}

std::int8_t WifiPage::StoreWifiPage(settings::SettingsBytes frame) {
    wifi::StoreWifiPage(model(), frame);
    return kStored;
}

}  // namespace tavlo::wifi
