#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "PageTestSupport.h"
#include "protocol/ProtocolState.h"
#include "tests/support/QtTexts.h"
#include "wifi/page/WifiPage.h"

using tavlo::wifi::WifiPage;
using tavlo::wifi::WifiPageControls;

namespace {

using tavlo::test::Items;

struct Fixture {
    WifiPage page;
    const WifiPageControls& c = page.controls();
};

void ExpectLocked(const WifiPageControls& c) {
    QVERIFY(!c.wiredPattern->isEnabled());
    QVERIFY(!c.wiredPattern->isChecked());
    QVERIFY(c.wifiPattern->isEnabled());
    QVERIFY(!c.wifiPattern->isChecked());
    QVERIFY(!c.ssid->isEnabled());
    QVERIFY(c.ssid->text().isEmpty());
    for (const QComboBox* list : {c.cipher, c.auth}) {
        QVERIFY(!list->isEnabled());
        QCOMPARE(list->currentIndex(), -1);
    }
    for (const QRadioButton* button : c.rowButtons) {
        QVERIFY(!button->isEnabled());
        QVERIFY(!button->isChecked());
    }
    for (const auto& row : c.cells) {
        for (const QLabel* cell : row) {
            QVERIFY(cell->text().isEmpty());
        }
    }
    QVERIFY(c.password->isEnabled());
    QVERIFY(c.password->text().isEmpty());
}

}  // namespace

class TestWifiPage : public QObject {
    Q_OBJECT

  private slots:
    void controlsAtCreation() {
        Fixture f;
        const WifiPageControls& c = f.c;
        QCOMPARE(Items(c.cipher), tavlo::test::Texts({"OPEN", "WEP", "TKIP", "AES"}));
        QCOMPARE(Items(c.auth),
                 tavlo::test::Texts({"NONE", "WEP", "WPA", "WPA2", "WPAPSK", "WPA2PSK"}));
        QCOMPARE(c.wiredPattern->text(), QStringLiteral("Wired_Pattern"));
        QCOMPARE(c.wifiPattern->text(), QStringLiteral("Wifi_Pattern"));
        QCOMPARE(c.wifiSearch->text(), QStringLiteral("Wifi_Search"));
        for (std::size_t i = 0; i < tavlo::wifi::kScanRows; ++i) {
            QCOMPARE(c.rowButtons[i]->text(), QString::number(i + 1));
        }
        QCOMPARE(c.password->echoMode(), QLineEdit::Password);
        ExpectLocked(c);

        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        QVERIFY(!c.wifiSearch->isVisible());
        QVERIFY(c.wiredPattern->isVisible());

        QStringList labels;
        for (const QLabel* label : f.page.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                labels << label->text();
            }
        }
        QCOMPARE(labels,
                 tavlo::test::Texts({"Num", "SSID", "Channel", "Rssi", "Cipher", "Auth", "Bss_type",
                                     "SSID:", "Cipher:", "Auth:", "Wifi Password:"}));
        QStringList groups;
        for (const QGroupBox* box : f.page.findChildren<QGroupBox*>()) {
            groups << box->title();
        }
        QCOMPARE(groups, tavlo::test::Texts({"Wired", "Wifi"}));
    }

    void wifiPatternUnlocksTheAssociation() {
        Fixture f;
        const WifiPageControls& c = f.c;
        // Pretend a scan row had been chosen; the mode switch locks the table again.
        c.rowButtons[2]->setEnabled(true);
        c.rowButtons[2]->setChecked(true);
        c.wifiPattern->click();
        QVERIFY(c.wifiPattern->isChecked());
        QVERIFY(c.ssid->isEnabled());
        QVERIFY(c.cipher->isEnabled());
        QVERIFY(c.auth->isEnabled());
        QVERIFY(!c.wiredPattern->isEnabled());
        QVERIFY(!c.wiredPattern->isChecked());
        for (const QRadioButton* button : c.rowButtons) {
            QVERIFY(!button->isEnabled());
            QVERIFY(!button->isChecked());
        }
        QVERIFY(c.password->isEnabled());
    }

    void resetLocksAndEmpties() {
        Fixture f;
        const WifiPageControls& c = f.c;
        c.wifiPattern->click();
        c.ssid->setText(QStringLiteral("clocks"));
        c.cipher->setCurrentIndex(3);
        c.auth->setCurrentIndex(5);
        c.password->setText(QStringLiteral("secret"));
        c.cells[5][5]->setText(QStringLiteral("x"));
        c.wifiPattern->setEnabled(false);
        f.page.ResetWifiPage();
        ExpectLocked(c);
    }

    void editLimits() {
        Fixture f;
        const WifiPageControls& c = f.c;
        c.wifiPattern->click();
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        c.ssid->setFocus();
        QTest::keyClicks(c.ssid, QString(40, QLatin1Char('s')));
        QCOMPARE(c.ssid->text().size(), 32);
        c.password->setFocus();
        QTest::keyClicks(c.password, QString(25, QLatin1Char('p')));
        QCOMPARE(c.password->text().size(), 20);
        c.ssid->clear();
        c.ssid->insert(QString(17, QChar(0x949F)));  // two bytes each: 16 fit
        QCOMPARE(c.ssid->text().size(), 16);
    }

    void showAndStoreThroughThePage() {
        Fixture f;
        const WifiPageControls& c = f.c;
        tavlo::protocol::SettingsFrame reply{};
        reply[tavlo::protocol::kFrameTypeOffset] = 1;
        const tavlo::wifi::WifiSettings wifi(reply);
        wifi.setSsid("clocks");
        wifi.setCipherCode(1);
        wifi.setAuthenticationCode(3);
        f.page.ShowWifiPage(reply);
        QCOMPARE(c.ssid->text(), QStringLiteral("clocks"));
        QCOMPARE(c.cipher->currentText(), QStringLiteral("AES"));
        QCOMPARE(c.auth->currentText(), QStringLiteral("WPA2"));
        QVERIFY(!c.cipher->isEnabled() && !c.ssid->isEnabled());

        c.wifiPattern->click();
        c.cipher->setCurrentIndex(2);  // "TKIP"
        c.password->setText(QStringLiteral("pw"));
        const tavlo::wifi::WifiPageModel model = f.page.model();
        QCOMPARE(model.cipher.text(), std::string("TKIP"));
        QVERIFY(model.wifiPattern.checked && model.ssid.enabled);
        f.page.setModel(model);
        QVERIFY(f.page.model() == model);

        tavlo::protocol::SettingsFrame request{};
        QCOMPARE(f.page.StoreWifiPage(request), std::int8_t{0});
        const tavlo::wifi::ConstWifiSettings stored(request);
        QCOMPARE(stored.ssid(), std::string("clocks"));
        QCOMPARE(stored.cipherCode(), std::uint8_t{2});
        QCOMPARE(stored.authenticationCode(), std::uint8_t{3});
        QCOMPARE(stored.password(), std::string("pw"));
    }

    void screenshot() {
        Fixture f;
        QVERIFY(tavlo::test::FitsTabAreaAndIsSaved(f.page, QStringLiteral("wifi-page.png")));
    }
};

QTEST_MAIN(TestWifiPage)
#include "test_wifi_page.moc"
