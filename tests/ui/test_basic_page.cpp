#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <optional>

#include "PageTestSupport.h"
#include "platform/Ipv4.h"
#include "protocol/ProtocolState.h"
#include "settings/page/BasicPage.h"
#include "tests/support/QtTexts.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/Ipv4AddressEdit.h"

using tavlo::protocol::ClockFamily;
using tavlo::settings::BasicPage;
using tavlo::settings::BasicPageControls;
using tavlo::settings::BasicPageModel;
using tavlo::settings::ClockSettings;
using tavlo::test::RecordingPrompter;

namespace {

using tavlo::test::Items;

QStringList Numbers(int first, int last) {
    QStringList items;
    for (int i = first; i <= last; ++i) {
        items << QString::number(i);
    }
    return items;
}

bool NoSelection(const QComboBox* list) {
    return list->currentIndex() == -1 && list->currentText().isEmpty();
}

struct Fixture {
    RecordingPrompter prompter;
    BasicPage page{prompter};
    const BasicPageControls& c = page.controls();

    std::array<tavlo::ui::Ipv4AddressEdit*, 4> clockAddresses() const { return c.clockAddresses(); }
};

// Fills every control with something so that the clear routine has work to do.
void FillEverything(Fixture& f) {
    const BasicPageControls& c = f.c;
    c.version->setText(QStringLiteral("3.29"));
    c.serialNumber->setText(QStringLiteral("SN0042"));
    c.format24->setChecked(true);
    c.timeZone->setCurrentIndex(4);
    c.staticIp->click();
    for (auto* field : f.clockAddresses()) {
        field->setText(QStringLiteral("198.18.0.10"));
    }
    c.domain->setEnabled(true);
    c.domain->click();
    for (const auto& row : c.servers) {
        row.marker->setText(QStringLiteral("*"));
        row.address->setText(QStringLiteral("198.18.0.1"));
        for (QLineEdit* box : {row.domain, row.port, row.keyId, row.key}) {
            box->setEnabled(true);
            box->setText(QStringLiteral("1"));
        }
    }
    for (QComboBox* list :
         {c.countDownStartHour, c.countDownStartMinute, c.countDownStartSecond,
          c.countDownDurationHours, c.countDownDurationMinutes, c.countDownDurationSeconds,
          c.energySavingFrom, c.energySavingTo, c.brightness, c.timeDuration, c.humidityDuration,
          c.temperatureDuration}) {
        list->setEnabled(true);
        list->setCurrentIndex(1);
    }
    c.displayDim->setEnabled(true);
    c.displayClose->setEnabled(true);
    c.displayClose->setChecked(true);
    c.dstEnable->click();
    for (QComboBox* list : c.dstLists()) {
        list->setCurrentIndex(2);
    }
    c.displayText->setEnabled(true);
    c.displayText->setText(QStringLiteral("Hello"));
    c.roll->setEnabled(true);
    c.alternate->setEnabled(true);
    c.alternate->click();
    c.userPassword->setEnabled(true);
    c.userPassword->setText(QStringLiteral("omber"));
    c.globalPassword->setEnabled(true);
    c.globalPassword->setText(QStringLiteral("tarnfelk"));
    c.celsius->setEnabled(true);
    c.fahrenheit->setEnabled(true);
    c.celsius->setChecked(true);
    c.humidity->setText(QStringLiteral("  45.0%"));
    c.temperature->setText(QStringLiteral("  21.5 \u2103"));
    c.humitureSpare->setText(QStringLiteral("x"));
}

// A wired clock's read reply with something in every group.
tavlo::protocol::SettingsFrame Reply() {
    using tavlo::platform::ParseIpv4;
    tavlo::protocol::SettingsFrame frame{};
    const ClockSettings s(frame);
    s.setFrameType(tavlo::protocol::ToByte(tavlo::protocol::FrameType::kReadSettings));
    s.setSerialNumber("SN0042");
    s.setVersion(329);
    s.setIpAddress(ParseIpv4("198.18.0.10"));
    s.setSubnetMask(ParseIpv4("255.255.255.0"));
    s.setGateway(ParseIpv4("198.18.0.1"));
    s.setTimeZoneBytes({0x05, 30});
    s.setTimeServerInUse(1);
    s.setTimeServerRow(0, {ParseIpv4("198.18.0.3"), 123, 7, "key1"});
    s.setCountDownStart({23, 59, 45});
    s.setEnergySavingStartHour(22);
    s.setEnergySavingMode(1);
    s.setBrightness(6);  // not in the list
    s.setDstStart({3, 0x67, 2});
    s.setDstEnd({10, 0x57, 3});
    s.setDisplayText("Lobby");
    s.setTextDisplayMode(3);
    s.setHumitureUnitByte(1);
    s.setTemperature(21.5F);
    s.setTimeDisplayDuration(4);
    return frame;
}

}  // namespace

class TestBasicPage : public QObject {
    Q_OBJECT

  private slots:
    void fixedListContents() {
        Fixture f;
        const BasicPageControls& c = f.c;
        const QStringList zones = tavlo::test::Texts(
            {"UTC -12",    "UTC -11", "UTC -10",    "UTC -9:30", "UTC -9 ",    "UTC -8 ",
             "UTC -7 ",    "UTC -6 ", "UTC -5 ",    "UTC -4 ",   "UTC -3:30",  "UTC -3 ",
             "UTC -2 ",    "UTC -1 ", "UTC  0",     "UTC +1 ",   "UTC +2 ",    "UTC +3 ",
             "UTC +3:30",  "UTC +4 ", "UTC +4:30",  "UTC +5 ",   "UTC +5:30",  "UTC +6 ",
             "UTC +6:30",  "UTC +7 ", "UTC +8 ",    "UTC +9 ",   "UTC +9:30",  "UTC +10",
             "UTC +10:30", "UTC +11", "UTC +11:30", "UTC +12",   "UTC +12:45", "UTC +13",
             "UTC +14"});
        QCOMPARE(Items(c.timeZone), zones);
        for (QComboBox* list : {c.countDownStartHour, c.energySavingFrom, c.energySavingTo,
                                c.dstStart.hour, c.dstEnd.hour}) {
            QCOMPARE(Items(list), Numbers(0, 23));
        }
        for (QComboBox* list : {c.countDownStartMinute, c.countDownStartSecond,
                                c.countDownDurationMinutes, c.countDownDurationSeconds}) {
            QCOMPARE(Items(list), Numbers(0, 59));
        }
        QCOMPARE(Items(c.countDownDurationHours), Numbers(0, 9));
        QCOMPARE(Items(c.brightness),
                 tavlo::test::Texts({"Brilliant", "Bright", "Normal", "Dim", "OFF"}));
        const QStringList weeks =
            tavlo::test::Texts({"First", "Second", "Third", "Fourth", "Fifth", "Last"});
        const QStringList days =
            tavlo::test::Texts({"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"});
        const QStringList months = tavlo::test::Texts(
            {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"});
        for (const auto* edge : {&c.dstStart, &c.dstEnd}) {
            QCOMPARE(Items(edge->week), weeks);
            QCOMPARE(Items(edge->weekday), days);
            QCOMPARE(Items(edge->month), months);
        }
        QCOMPARE(Items(c.alternateSeconds), Numbers(2, 5));
        for (QComboBox* list : {c.timeDuration, c.humidityDuration, c.temperatureDuration}) {
            QCOMPARE(Items(list), Numbers(2, 15));
            QVERIFY(list->isEditable());
        }
        QVERIFY(c.alternateSeconds->isEditable());
        QVERIFY(!c.timeZone->isEditable());
        QVERIFY(!c.brightness->isEditable());
    }

    void labelTexts() {
        Fixture f;
        QStringList labels;
        for (const QLabel* label : f.page.findChildren<QLabel*>()) {
            labels << label->text();
        }
        for (const char* text : {"Version :",
                                 "SN :",
                                 "Time Format:",
                                 "Time Zone:",
                                 "IP Address :",
                                 "Subnet Mask :",
                                 "Default Gateway :",
                                 "DNS Server  :",
                                 "Port:",
                                 "Key ID:",
                                 "Keys:",
                                 "Start at:",
                                 "Duration:",
                                 "Energy\nSaving :\nPeriod",
                                 "To",
                                 "Start at",
                                 "O'clock on the",
                                 "in",
                                 "End at",
                                 "Humiture:",
                                 "Temp:",
                                 "Display Duration(s):",
                                 "Time:",
                                 "Hum.:",
                                 "Temp.:",
                                 "User Password:",
                                 "Global Password:"}) {
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        }
        const BasicPageControls& c = f.c;
        QCOMPARE(c.format12->text(), QStringLiteral("12"));
        QCOMPARE(c.format24->text(), QStringLiteral("24"));
        QCOMPARE(c.dynamicIp->text(), QStringLiteral("Dynamic IP"));
        QCOMPARE(c.staticIp->text(), QStringLiteral("Static IP"));
        QCOMPARE(c.timeServerIp->text(), QStringLiteral("Time Server IP"));
        QCOMPARE(c.domain->text(), QStringLiteral("Domain"));
        QCOMPARE(c.displayDim->text(), QStringLiteral("Display Dim"));
        QCOMPARE(c.displayClose->text(), QStringLiteral("Display Close"));
        QCOMPARE(c.dstEnable->text(), QStringLiteral("Daylight Saving Time Enable"));
        QCOMPARE(c.roll->text(), QStringLiteral("Roll"));
        QCOMPARE(c.alternate->text(), QStringLiteral("Alternate(s):"));
        QCOMPARE(c.celsius->text(), QString(QChar(0x2103)));
        QCOMPARE(c.fahrenheit->text(), QString(QChar(0x2109)));
        QStringList groups;
        for (const QGroupBox* box : f.page.findChildren<QGroupBox*>()) {
            groups << box->title();
        }
        groups.sort();
        QStringList expected = tavlo::test::Texts(
            {"Versions Information", "Time Setting", "Clock IP Setting", "NTP Setting",
             "Count Down Setting", "Energy Saving Setting", "Brightness Setting",
             "Daylight Saving Time Setting", "Text Display", "Humiture and Temperature Setting",
             "Password Information"});
        expected.sort();
        QCOMPARE(groups, expected);
    }

    void initialStates() {
        Fixture f;
        const BasicPageControls& c = f.c;
        QVERIFY(c.version->text().isEmpty());
        QVERIFY(c.serialNumber->text().isEmpty());
        for (QRadioButton* radio : f.page.findChildren<QRadioButton*>()) {
            QVERIFY2(!radio->isChecked(), qPrintable(radio->text()));
        }
        QVERIFY(NoSelection(c.timeZone));
        QVERIFY(c.timeZone->isEnabled());
        for (auto* field : f.clockAddresses()) {
            QVERIFY(field->isEnabled());
            QVERIFY(field->isBlank());
        }
        QVERIFY(c.timeServerIp->isEnabled());
        QVERIFY(!c.domain->isEnabled());
        for (const auto& row : c.servers) {
            QVERIFY(row.marker->text().isEmpty());
            QVERIFY(row.address->isEnabled());
            for (QLineEdit* box : {row.domain, row.port, row.keyId, row.key}) {
                QVERIFY(!box->isEnabled());
                QVERIFY(box->text().isEmpty());
            }
            QCOMPARE(row.keyId->echoMode(), QLineEdit::Password);
            QCOMPARE(row.key->echoMode(), QLineEdit::Password);
            QCOMPARE(row.port->echoMode(), QLineEdit::Normal);
        }
        for (QComboBox* list :
             {c.countDownStartHour, c.countDownStartMinute, c.countDownStartSecond,
              c.countDownDurationHours, c.countDownDurationMinutes, c.countDownDurationSeconds}) {
            QVERIFY(!list->isEnabled());
        }
        QVERIFY(!c.displayDim->isEnabled());
        QVERIFY(!c.displayClose->isEnabled());
        QVERIFY(c.brightness->isEnabled());
        QVERIFY(c.dstEnable->isEnabled());
        QVERIFY(!c.dstEnable->isChecked());
        for (QComboBox* list : c.dstLists()) {
            QVERIFY(!list->isEnabled());
            QVERIFY(NoSelection(list));
        }
        QVERIFY(!c.displayText->isEnabled());
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("0/32"));
        QVERIFY(!c.roll->isEnabled());
        QVERIFY(!c.alternate->isEnabled());
        QVERIFY(!c.alternateSeconds->isEnabled());
        QVERIFY(!c.celsius->isEnabled());
        QVERIFY(!c.fahrenheit->isEnabled());
        for (QComboBox* list : {c.timeDuration, c.humidityDuration, c.temperatureDuration}) {
            QVERIFY(!list->isEnabled());
            QVERIFY(NoSelection(list));
        }
        for (QLineEdit* box : {c.userPassword, c.globalPassword}) {
            QVERIFY(!box->isEnabled());
            QCOMPARE(box->echoMode(), QLineEdit::Password);
        }
    }

    void clearEmptiesThePage() {
        Fixture f;
        FillEverything(f);
        f.c.timeDuration->setCurrentIndex(3);
        f.page.ClearBasicPage();
        const BasicPageControls& c = f.c;
        QVERIFY(c.version->text().isEmpty());
        QVERIFY(c.serialNumber->text().isEmpty());
        QVERIFY(!c.format12->isChecked() && !c.format24->isChecked());
        QVERIFY(NoSelection(c.timeZone));
        QVERIFY(!c.dynamicIp->isChecked() && !c.staticIp->isChecked());
        for (auto* field : f.clockAddresses()) {
            QVERIFY(field->isBlank());
            QVERIFY(!field->isEnabled());
        }
        QVERIFY(c.timeServerIp->isChecked());
        QVERIFY(!c.domain->isChecked());
        for (const auto& row : c.servers) {
            QVERIFY(row.marker->text().isEmpty());
            QVERIFY(row.address->isBlank());
            QVERIFY(row.address->isEnabled());
            for (QLineEdit* box : {row.domain, row.port, row.keyId, row.key}) {
                QVERIFY(box->text().isEmpty());
                QVERIFY(!box->isEnabled());
            }
        }
        for (QComboBox* list :
             {c.countDownStartHour, c.countDownStartMinute, c.countDownStartSecond,
              c.countDownDurationHours, c.countDownDurationMinutes, c.countDownDurationSeconds,
              c.energySavingFrom, c.energySavingTo}) {
            QVERIFY(NoSelection(list));
            QVERIFY(!list->isEnabled());
        }
        QVERIFY(!c.displayDim->isChecked() && !c.displayClose->isChecked());
        QVERIFY(!c.displayDim->isEnabled() && !c.displayClose->isEnabled());
        QVERIFY(NoSelection(c.brightness));
        QVERIFY(c.brightness->isEnabled());
        QVERIFY(!c.dstEnable->isChecked());
        QVERIFY(c.dstEnable->isEnabled());
        for (QComboBox* list : c.dstLists()) {
            QVERIFY(NoSelection(list));
            QVERIFY(!list->isEnabled());
        }
        QVERIFY(c.displayText->text().isEmpty());
        QVERIFY(!c.displayText->isEnabled());
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("0/32"));
        QVERIFY(!c.roll->isChecked() && !c.alternate->isChecked());
        QVERIFY(!c.roll->isEnabled() && !c.alternate->isEnabled());
        QVERIFY(NoSelection(c.alternateSeconds));
        QVERIFY(!c.alternateSeconds->isEnabled());
        for (QLineEdit* box : {c.userPassword, c.globalPassword}) {
            QVERIFY(box->text().isEmpty());
            QVERIFY(!box->isEnabled());
        }
        QVERIFY(!c.celsius->isChecked() && !c.fahrenheit->isChecked());
        QVERIFY(!c.celsius->isEnabled() && !c.fahrenheit->isEnabled());
        QVERIFY(c.temperature->text().isEmpty());
        QVERIFY(c.humidity->text().isEmpty());
        QVERIFY(c.humitureSpare->text().isEmpty());
        // The display-duration lists are left as they were.
        QCOMPARE(c.timeDuration->currentText(), QStringLiteral("5"));
        QVERIFY(c.timeDuration->isEnabled());
        QVERIFY(f.prompter.messages().empty());
    }

    void ipModeHandlers() {
        Fixture f;
        const BasicPageControls& c = f.c;
        f.page.ClearBasicPage();
        c.staticIp->click();
        QVERIFY(c.staticIp->isChecked() && !c.dynamicIp->isChecked());
        for (auto* field : f.clockAddresses()) {
            QVERIFY(field->isEnabled());
        }
        c.dynamicIp->click();
        QVERIFY(c.dynamicIp->isChecked() && !c.staticIp->isChecked());
        for (auto* field : f.clockAddresses()) {
            QVERIFY(!field->isEnabled());
        }
        // Clicking the checked button again changes nothing.
        c.dynamicIp->click();
        QVERIFY(c.dynamicIp->isChecked());
        for (auto* field : f.clockAddresses()) {
            QVERIFY(!field->isEnabled());
        }
    }

    void serverModeHandlers() {
        Fixture f;
        const BasicPageControls& c = f.c;
        f.page.ClearBasicPage();
        for (const auto& row : c.servers) {
            row.port->setEnabled(true);
        }
        c.domain->setEnabled(true);  // only a clock's reply selects it; enable to click it
        c.domain->click();
        QVERIFY(c.domain->isChecked() && !c.timeServerIp->isChecked());
        for (std::size_t i = 0; i < c.servers.size(); ++i) {
            QVERIFY(!c.servers[i].address->isEnabled());
            QCOMPARE(c.servers[i].domain->isEnabled(), i < 2);
            QVERIFY(c.servers[i].port->isEnabled());  // untouched
        }
        c.timeServerIp->click();
        QVERIFY(c.timeServerIp->isChecked() && !c.domain->isChecked());
        for (const auto& row : c.servers) {
            QVERIFY(row.address->isEnabled());
            QVERIFY(!row.domain->isEnabled());
            QVERIFY(row.port->isEnabled());
        }
    }

    void dstEnableKeepsOrClearsTheRule() {
        Fixture f;
        const BasicPageControls& c = f.c;
        c.dstStart.month->setCurrentIndex(2);  // a selection made while disabled
        c.dstEnable->click();
        QVERIFY(c.dstEnable->isChecked());
        for (QComboBox* list : c.dstLists()) {
            QVERIFY(list->isEnabled());
        }
        QCOMPARE(c.dstStart.month->currentText(), QStringLiteral("Mar"));
        c.dstEnd.weekday->setCurrentIndex(6);
        c.dstEnable->click();
        QVERIFY(!c.dstEnable->isChecked());
        for (QComboBox* list : c.dstLists()) {
            QVERIFY(!list->isEnabled());
            QVERIFY(NoSelection(list));
        }
    }

    void rollAndAlternate() {
        Fixture f;
        const BasicPageControls& c = f.c;
        c.roll->setEnabled(true);
        c.alternate->setEnabled(true);
        c.alternate->click();
        QVERIFY(c.alternate->isChecked() && !c.roll->isChecked());
        QVERIFY(c.alternateSeconds->isEnabled());
        QCOMPARE(c.alternateSeconds->currentText(), QStringLiteral("2"));
        c.alternateSeconds->setCurrentIndex(3);
        c.roll->click();
        QVERIFY(c.roll->isChecked() && !c.alternate->isChecked());
        QVERIFY(!c.alternateSeconds->isEnabled());
        QVERIFY(NoSelection(c.alternateSeconds));
        // Alternate again always starts from the first item.
        c.alternate->click();
        QCOMPARE(c.alternateSeconds->currentIndex(), 0);
    }

    void rangeGuards_data() {
        QTest::addColumn<bool>("keyId");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString port = QStringLiteral("Port Number Must be 1~65535!");
        const QString key = QStringLiteral("NTP key ID Must be 1~65535!");
        QTest::newRow("port 65535") << false << 0 << "65535" << QString();
        QTest::newRow("port 65536") << false << 0 << "65536" << port;
        QTest::newRow("port 99999 row 5") << false << 4 << "99999" << port;
        QTest::newRow("port 0") << false << 1 << "0" << QString();
        QTest::newRow("port 00000") << false << 1 << "00000" << QString();
        QTest::newRow("key 65535") << true << 2 << "65535" << QString();
        QTest::newRow("key 70000") << true << 2 << "70000" << key;
        QTest::newRow("key 0") << true << 3 << "0" << QString();
    }

    void rangeGuards() {
        QFETCH(bool, keyId);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Fixture f;
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        QLineEdit* box = keyId ? f.c.servers[static_cast<std::size_t>(row)].keyId
                               : f.c.servers[static_cast<std::size_t>(row)].port;
        box->setEnabled(true);
        box->setFocus();
        bool focusedWhenAsked = false;
        QLineEdit* other = f.c.displayText;
        other->setEnabled(true);
        f.prompter.setOnMessage([&](const RecordingPrompter::Message&) {
            // The operator moved on before the box appeared; the guard brings the focus back.
            other->setFocus();
            focusedWhenAsked = true;
        });
        QTest::keyClicks(box, typed);
        if (message.isEmpty()) {
            QVERIFY(f.prompter.messages().empty());
        } else {
            QCOMPARE(f.prompter.texts(), QStringList{message});
            QCOMPARE(f.prompter.messages().front().caption, QStringLiteral("TavloAdmin"));
            QVERIFY(focusedWhenAsked);
            QVERIFY(box->hasFocus());
        }
        QCOMPARE(box->text(), typed);  // left as typed
    }

    void digitBoxesTakeFiveDigitsOnly() {
        Fixture f;
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        for (QLineEdit* box : {f.c.servers[0].port, f.c.servers[0].keyId}) {
            box->setEnabled(true);
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("1a2-3 456"));
            QCOMPARE(box->text(), QStringLiteral("12345"));
        }
    }

    void editLimitsInCp936Bytes_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("limit");
        QTest::newRow("key") << "key" << 8;
        QTest::newRow("domain") << "domain" << 30;
        QTest::newRow("user password") << "user" << 8;
        QTest::newRow("global password") << "global" << 8;
        QTest::newRow("display text") << "text" << 32;
    }

    void editLimitsInCp936Bytes() {
        QFETCH(QString, box);
        QFETCH(int, limit);
        Fixture f;
        const BasicPageControls& c = f.c;
        QLineEdit* edit = box == QLatin1String("key")      ? c.servers[1].key
                          : box == QLatin1String("domain") ? c.servers[1].domain
                          : box == QLatin1String("user")   ? c.userPassword
                          : box == QLatin1String("global") ? c.globalPassword
                                                           : c.displayText;
        edit->setEnabled(true);
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        edit->setFocus();
        QTest::keyClicks(edit, QString(limit + 3, QLatin1Char('x')));
        QCOMPARE(edit->text().size(), limit);
        // Two-byte characters: only as many as fit in the bytes.
        edit->clear();
        edit->insert(QString(limit, QChar(0x949F)));  // 钟, two bytes each
        QCOMPARE(edit->text().size(), limit / 2);
    }

    void textCounterCountsBytes() {
        Fixture f;
        const BasicPageControls& c = f.c;
        c.displayText->setEnabled(true);
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        c.displayText->setFocus();
        QTest::keyClicks(c.displayText, QStringLiteral("Hi"));
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("2/32"));
        c.displayText->insert(QStringLiteral("\u949F"));
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("4/32"));
        c.displayText->insert(QString(40, QLatin1Char('y')));
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("32/32"));
        c.displayText->setText(QStringLiteral("abc"));
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("3/32"));
    }

    void enterAndEscapeAreSwallowed() {
        Fixture f;
        bool reachedParent = false;
        struct Parent : QWidget {
            bool* reached;
            explicit Parent(bool* r) : reached(r) {}
            void keyPressEvent(QKeyEvent*) override { *reached = true; }
        } parent(&reachedParent);
        auto* page = new BasicPage(f.prompter, &parent);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QLineEdit* edit = page->controls().userPassword;
        edit->setEnabled(true);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!reachedParent);
        QTest::keyClick(edit, Qt::Key_F5);  // other keys still travel up
        QVERIFY(reachedParent);
    }

    void typedListValueIsNotAddedToTheList() {
        Fixture f;
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        for (QComboBox* list : {f.c.alternateSeconds, f.c.timeDuration}) {
            const int count = list->count();
            list->setEnabled(true);
            list->setFocus();
            list->clearEditText();
            QTest::keyClicks(list->lineEdit(), QStringLiteral("7"));
            QTest::keyClick(list->lineEdit(), Qt::Key_Return);
            QCOMPARE(list->count(), count);
            QCOMPARE(list->currentText(), QStringLiteral("7"));
        }
    }

    void modelMovesToAndFromTheWidgets() {
        Fixture f;
        BasicPageModel m = f.page.model();
        tavlo::protocol::SettingsFrame frame = Reply();
        tavlo::settings::ClearBasicPage(m);
        tavlo::settings::ShowClockSettings(m, frame, ClockFamily::kWired);
        m.alternateSeconds.setEditText("7");  // typed, no such item
        f.page.setModel(m);
        const BasicPageControls& c = f.c;
        QCOMPARE(c.version->text(), QStringLiteral("3.29"));
        QCOMPARE(c.timeZone->currentText(), QStringLiteral("UTC +5:30"));
        QCOMPARE(c.servers[0].marker->text(), QStringLiteral("*"));
        QCOMPARE(c.servers[0].address->text(), QStringLiteral("198.18.0.3"));
        QCOMPARE(c.servers[0].keyId->text(), QStringLiteral("7"));
        QVERIFY(c.servers[1].address->isBlank());
        QCOMPARE(c.dstEnd.month->currentText(), QStringLiteral("Oct"));
        QCOMPARE(c.alternateSeconds->currentText(), QStringLiteral("7"));
        QCOMPARE(c.alternateSeconds->currentIndex(), -1);
        QCOMPARE(c.temperature->text(), QStringLiteral("  21.5 \u2103"));
        QVERIFY(c.format12->isChecked() && !c.format24->isChecked());
        QVERIFY(c.staticIp->isChecked() && c.ipAddress->isEnabled());
        QVERIFY(!c.displayDim->isChecked() && c.displayClose->isChecked());
        QVERIFY(c.celsius->isChecked() && c.celsius->isEnabled());
        QCOMPARE(c.displayTextCounter->text(), QStringLiteral("5/32"));
        // Everything comes back, the brightness the clock reported included.
        QVERIFY(f.page.model() == m);
        QCOMPARE(*f.page.model().reportedBrightness, std::uint8_t{6});
        QVERIFY(tavlo::test::SavePageScreenshot(f.page, QStringLiteral("basic-page-shown.png"),
                                                tavlo::test::kPageAreaSize));
    }

    void writingBackLeavesTheWidgetsAsTheyAre() {
        Fixture f;
        const BasicPageControls& c = f.c;
        c.ipAddress->field(0)->setText(QStringLiteral("10"));  // the other octets not yet typed
        c.timeDuration->setEnabled(true);
        c.timeDuration->setEditText(QStringLiteral("3"));
        f.page.setModel(f.page.model());
        QVERIFY(c.ipAddress->fieldText(1).isEmpty());
        QCOMPARE(c.timeDuration->currentText(), QStringLiteral("3"));
        QCOMPARE(f.page.model().timeDuration.selection(), std::optional<std::size_t>(1));
    }

    void showAndStoreThroughThePage() {
        Fixture f;
        tavlo::protocol::SettingsFrame reply = Reply();
        f.page.ClearBasicPage();
        f.page.ShowClockSettings(reply, ClockFamily::kWifi);
        QVERIFY(!f.c.staticIp->isEnabled());
        QCOMPARE(f.c.brightness->currentIndex(), -1);
        tavlo::protocol::SettingsFrame request{};
        QCOMPARE(f.page.StoreClockSettings(request), std::int8_t{0});
        const tavlo::settings::ConstClockSettings stored(request);
        QCOMPARE(stored.frameType(), std::uint8_t{2});
        QCOMPARE(stored.brightness(), std::uint8_t{6});  // written back as reported
        QCOMPARE(stored.displayText(), std::string("Lobby"));
        QVERIFY(f.prompter.messages().empty());

        tavlo::protocol::CommandFrame early{};
        early[tavlo::protocol::kCommandCodeOffset] = 1;
        f.page.ShowEarlyClockSettings(early);
        QVERIFY(f.c.version->text().isEmpty());
        QVERIFY(f.c.staticIp->isChecked());
        QCOMPARE(f.c.servers[0].address->text(), QStringLiteral("0.0.0.0"));
        QCOMPARE(f.page.StoreEarlyClockSettings(early), std::int8_t{-1});
        QCOMPARE(f.prompter.texts(),
                 QStringList{QStringLiteral("Invalid IP address,please enter again")});
    }

    void refusalShowsItsMessageAndMovesTheFocus_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("gateway") << "gateway"
                                 << "Invalid Gateway IP address,please enter again";
        QTest::newRow("port") << "port"
                              << "Port Number Must be 1~65535!";
        QTest::newRow("rule") << "rule"
                              << "All DST option must be filled in.";
    }

    void refusalShowsItsMessageAndMovesTheFocus() {
        QFETCH(QString, what);
        QFETCH(QString, message);
        Fixture f;
        tavlo::protocol::SettingsFrame reply = Reply();
        f.page.ShowClockSettings(reply, ClockFamily::kWired);
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        f.c.displayText->setFocus();
        QWidget* expected = f.c.displayText;
        if (what == QLatin1String("gateway")) {
            f.c.gateway->setText(QStringLiteral("10.0.0.0"));
            expected = f.c.gateway->field(0);
        } else if (what == QLatin1String("port")) {
            f.c.servers[0].port->setText(QStringLiteral("70000"));  // the typing guard speaks too
            expected = f.c.servers[0].port;
        } else {
            f.c.dstStart.week->setCurrentIndex(-1);
        }
        f.c.displayText->setFocus();
        f.prompter.clear();
        tavlo::protocol::SettingsFrame request{};
        QCOMPARE(f.page.StoreClockSettings(request), std::int8_t{-1});
        QCOMPARE(f.prompter.texts(), QStringList{message});
        QCOMPARE(QApplication::focusWidget(), expected);
    }

    void screenshot() {
        Fixture f;
        QVERIFY(tavlo::test::FitsTabAreaAndIsSaved(f.page, QStringLiteral("basic-page.png")));
        // And once with every control in use, to see that the lists show their items whole.
        Fixture filled;
        FillEverything(filled);
        filled.c.brightness->setCurrentIndex(0);
        filled.c.dstStart.week->setCurrentIndex(1);
        filled.c.timeZone->setCurrentIndex(30);
        QVERIFY(tavlo::test::SavePageScreenshot(
            filled.page, QStringLiteral("basic-page-filled.png"), tavlo::test::kPageAreaSize));
    }
};

QTEST_MAIN(TestBasicPage)
#include "test_basic_page.moc"
