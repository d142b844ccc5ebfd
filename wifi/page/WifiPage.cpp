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
    controls_.wiredPattern = new QRadioButton(QStringLiteral("Wired_Pattern"), box);
    controls_.wifiSearch = new QPushButton(QStringLiteral("Wifi_Search"), box);
    controls_.wifiSearch->setVisible(false);
    grid->addWidget(controls_.wiredPattern, 0, 0, 1, 2);
    grid->addWidget(controls_.wifiSearch, 0, kScanColumns);

    for (int column = 0; column < kScanHeadings.size(); ++column) {
        grid->addWidget(new QLabel(kScanHeadings.at(column), box), 1, column);
    }
    rowGroup_ = new QButtonGroup(this);
    for (std::size_t row = 0; row < kScanRows; ++row) {
        const int gridRow = static_cast<int>(row) + 2;
        auto* button = new QRadioButton(QString::number(row + 1), box);
        rowGroup_->addButton(button);
        controls_.rowButtons[row] = button;
        grid->addWidget(button, gridRow, 0);
        for (std::size_t column = 0; column < kScanColumns; ++column) {
            auto* cell = new QLabel(box);
            cell->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            controls_.cells[row][column] = cell;
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
    controls_.wifiPattern = new QRadioButton(QStringLiteral("Wifi_Pattern"), box);
    patternGroup_ = new QButtonGroup(this);
    patternGroup_->addButton(controls_.wiredPattern);
    patternGroup_->addButton(controls_.wifiPattern);
    connect(controls_.wifiPattern, &QRadioButton::clicked, this, [this] { update(OnWifiPattern); });

    controls_.ssid = new QLineEdit(box);
    ui::Cp936LengthLimiter::attach(controls_.ssid, kSsidMaxBytes);
    controls_.cipher = new QComboBox(box);
    controls_.cipher->addItems(ui::ItemTexts(kCipherEntries));
    controls_.auth = new QComboBox(box);
    controls_.auth->addItems(ui::ItemTexts(kAuthenticationEntries));
    controls_.password = new QLineEdit(box);
    controls_.password->setEchoMode(QLineEdit::Password);
    ui::Cp936LengthLimiter::attach(controls_.password, kWifiPasswordMaxBytes);

    grid->addWidget(controls_.wifiPattern, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("SSID:"), box), 1, 0);
    grid->addWidget(controls_.ssid, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Cipher:"), box), 2, 0);
    grid->addWidget(controls_.cipher, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Auth:"), box), 3, 0);
    grid->addWidget(controls_.auth, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Wifi Password:"), box), 4, 0);
    grid->addWidget(controls_.password, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    return box;
}

template <typename Model, typename Visitor>
void WifiPage::visit(Model& m, const Visitor& v) const {
    v.group(*patternGroup_, {controls_.wiredPattern, controls_.wifiPattern},
            {&m.wiredPattern, &m.wifiPattern});
    v.group(*rowGroup_,
            {controls_.rowButtons[0], controls_.rowButtons[1], controls_.rowButtons[2],
             controls_.rowButtons[3], controls_.rowButtons[4], controls_.rowButtons[5]},
            {&m.rowButtons[0], &m.rowButtons[1], &m.rowButtons[2], &m.rowButtons[3],
             &m.rowButtons[4], &m.rowButtons[5]});
    for (std::size_t row = 0; row < kScanRows; ++row) {
        for (std::size_t column = 0; column < kScanColumns; ++column) {
            v(controls_.cells[row][column], m.scanCells[row][column]);
        }
    }
    v(controls_.ssid, m.ssid);
    v(controls_.cipher, m.cipher);
    v(controls_.auth, m.auth);
    v(controls_.password, m.password);
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
    controls_.password->setPlaceholderText(read_ ? QString::fromLatin1(kUnchangedPlaceholder)
                                                 : QString());
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
