// Reading the clock chosen in the device tree, on the offscreen window against simulated
// clocks on the fake network: which clock is asked how often with which exchange (the family
// of the item's group), what the pages and the System page then hold, the passwords kept, the
// status line, keyboard moves, and the window while a read runs and when it closes during
// one.
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <chrono>
#include <thread>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/page/BasicPage.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/SimulatedClocks.h"
#include "ui/Ipv4AddressEdit.h"
#include "wifi/page/WifiPage.h"

using namespace tavlo;
using app::MainWindow;
using clocksim::ClockKind;
using platform::MakeIpv4;
using protocol::SearchGroup;

namespace {

const platform::Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
const platform::Ipv4 kWired1 = MakeIpv4(198, 18, 0, 10);
const platform::Ipv4 kWired2 = MakeIpv4(198, 18, 0, 11);
const platform::Ipv4 kWifi = MakeIpv4(198, 18, 0, 20);
const platform::Ipv4 kEarly = MakeIpv4(198, 18, 0, 30);
const platform::Ipv4 kNoClock = MakeIpv4(198, 18, 0, 99);
constexpr qint64 kCloseBudgetMs = 2000;

QString text(const char* s) {
    return QString::fromLatin1(s);
}

std::string passwordText(const workflow::KnownPasswords::Field& field) {
    return workflow::PasswordText(field);
}

}  // namespace

class TreeReadTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::FakeNetwork> net_;
    std::unique_ptr<test::SimulatedClocks> clocks_;
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    test::RecordingPrompter prompter_;
    std::unique_ptr<MainWindow> window_;

    app::DeviceTree* tree() { return window_->deviceTree(); }
    const settings::BasicPageControls& basic() { return window_->pages().basic->controls(); }
    const wifi::WifiPageControls& wifiPage() { return window_->pages().wifi->controls(); }
    const firmware::SystemPageControls& system() { return window_->pages().system->controls(); }
    template <typename T = QWidget>
    T* control(const char* name) {
        return window_->findChild<T*>(text(name));
    }

    // The tree as a search of the family leaves it: one group of current clocks and the
    // early group.
    void fillTree(bool wifi, const QStringList& clocks, const QStringList& early) {
        control<QRadioButton>(wifi ? "wifiRadio" : "wiredRadio")->click();
        tree()->addGroup(SearchGroup::kCurrent, text("198.18.0.0"));
        tree()->finishGroup(SearchGroup::kCurrent, clocks,
                            QStringLiteral("198.18.0.0 (%1:%2)")
                                .arg(text(wifi ? "WIFI" : "WIRED"))
                                .arg(clocks.size()));
        tree()->addGroup(SearchGroup::kEarly, text("Early Versions"));
        tree()->finishGroup(SearchGroup::kEarly, early,
                            QStringLiteral("Early Versions: %1").arg(early.size()));
        tree()->expandAll();
    }
    QTreeWidgetItem* item(const char* textOfItem) {
        return test::TreeItem(*tree(), text(textOfItem));
    }
    void click(QPoint at) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!window_->jobRunning());
    }
    void click(const char* textOfItem) { click(tree()->visualItemRect(item(textOfItem)).center()); }
    void clickEmptySpace() { click(tree()->viewport()->rect().bottomLeft() + QPoint(20, -10)); }
    void press(Qt::Key key) {
        QTest::keyClick(tree(), key);
        QTRY_VERIFY(!window_->jobRunning());
    }
    // Datagrams the window sent to `address` since the last call (any port).
    int requestsTo(platform::Ipv4 address) {
        int count = 0;
        for (const auto& sent : net_->sent()) {
            count += sent.to.address == address ? 1 : 0;
        }
        return count;
    }
    std::vector<platform::Ipv4> askedInOrder() {
        std::vector<platform::Ipv4> asked;
        for (const auto& sent : net_->sent()) {
            if (asked.empty() || asked.back() != sent.to.address) {
                asked.push_back(sent.to.address);
            }
        }
        return asked;
    }
    bool controlsEnabled() { return test::CommandControlsAre(*window_, true); }
    bool controlsDisabled() { return test::CommandControlsAre(*window_, false); }

  private slots:
    void init() {
        net_ = std::make_unique<test::FakeNetwork>();
        net_->setLocalAddresses({kPc});
        clocks_ = std::make_unique<test::SimulatedClocks>(*net_);
        clocks_->add(ClockKind::kWired, kWired1);
        clocks_->add(ClockKind::kWired, kWired2);
        clocks_->add(ClockKind::kWifi, kWifi);
        clocks_->add(ClockKind::kEarly, kEarly);
        protocol_ = {};
        protocol_.LocalAddressList = {kPc};
        search_.WifiFamilySelected = 0;
        search_.WiredFamilySelected = 0;
        prompter_.clear();
        window_ = std::make_unique<MainWindow>(app::MainDialogContext{
            *net_, protocol_, search_, update_, prompter_, [] { return true; },
            [clocks = clocks_.get()](platform::Ipv4 address) { return clocks->macOf(address); }});
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        clocks_.reset();
        net_.reset();
    }

    // A click on a clock of each kind: the exchange and its count, what each page shows.
    void clickReadsTheClock_data() {
        QTest::addColumn<bool>("wifiFamily");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<QString>("targetAddress");
        QTest::addColumn<QString>("targetMac");
        QTest::addColumn<bool>("updateControlEnabled");
        // A wired clock that answers is asked three times; its association stays empty.
        QTest::newRow("wired") << false << text("198.18.0.10 (SN0010)") << 3 << text("SN0010")
                               << QString() << text("198.18.0.10") << text("02-54-56-00-00-0A")
                               << true;
        // A Wi-Fi clock that answers at once is asked once; no firmware for Wi-Fi clocks.
        QTest::newRow("wifi") << true << text("198.18.0.20 (SN0020)") << 1 << text("SN0020")
                              << text("ClockNet") << text("198.18.0.20")
                              << text("02-54-56-00-00-14") << false;
        // An early clock: one command frame; only the Basic page changes.
        QTest::newRow("early") << false << text("198.18.0.30 (SN0030)") << 1 << text("SN0030")
                               << text("kept") << QString() << text("kept") << true;
    }
    void clickReadsTheClock() {
        QFETCH(bool, wifiFamily);
        QFETCH(QString, clicked);
        QFETCH(int, requests);
        QFETCH(QString, serial);
        QFETCH(QString, ssid);
        QFETCH(QString, targetAddress);
        QFETCH(QString, targetMac);
        QFETCH(bool, updateControlEnabled);
        fillTree(wifiFamily, {text(wifiFamily ? "198.18.0.20 (SN0020)" : "198.18.0.10 (SN0010)")},
                 {text("198.18.0.30 (SN0030)")});
        // What an early read must leave alone.
        wifiPage().ssid->setText(text("kept"));
        system().macAddress->setText(text("kept"));
        system().updateControl->click();
        QVERIFY(system().updateControl->isChecked());

        click(clicked.toLatin1().constData());

        const platform::Ipv4 address = platform::ParseIpv4(clicked.toStdString());
        QCOMPARE(requestsTo(address), requests);
        QCOMPARE(net_->sent().size(), static_cast<std::size_t>(requests));
        QCOMPARE(basic().serialNumber->text(), serial);
        QCOMPARE(wifiPage().ssid->text(), ssid);
        QCOMPARE(system().address->isBlank() ? QString() : system().address->text(), targetAddress);
        QCOMPARE(system().macAddress->text(), targetMac);
        QCOMPARE(system().updateControl->isEnabled(), updateControlEnabled);
        // A current read makes the operator choose the mode again; an early read does not.
        QCOMPARE(system().updateControl->isChecked(), targetAddress.isEmpty());
        QCOMPARE(window_->statusText(),
                 QStringLiteral("Showing %1").arg(clicked.section(QLatin1Char(' '), 0, 0)));
        QVERIFY(controlsEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(prompter_.messages().empty());
    }

    // The passwords of the clock read last are kept as its 8-byte fields ("tarnfelk" fills
    // its field without a terminating zero); the pages never show them.
    void passwordsAreKept() {
        fillTree(false, {text("198.18.0.10 (SN0010)")}, {});
        click("198.18.0.10 (SN0010)");
        QCOMPARE(passwordText(window_->knownPasswords().user), std::string("omber"));
        QCOMPARE(passwordText(window_->knownPasswords().global), std::string("tarnfelk"));
        QVERIFY(basic().userPassword->text().isEmpty());
        QVERIFY(basic().globalPassword->text().isEmpty());
    }

    void groupLabelsReadNothing() {
        fillTree(false, {text("198.18.0.10 (SN0010)")}, {text("198.18.0.30 (SN0030)")});
        click("198.18.0.10 (SN0010)");
        net_->clearSent();
        system().macAddress->setText(text("02-54-56-00-00-0A"));

        // "Early Versions: 1" itself: nothing at all.
        click("Early Versions: 1");
        QCOMPARE(basic().serialNumber->text(), text("SN0010"));
        // A group label of current clocks: nothing is sent, the pages show the empty frame,
        // the System page keeps its clock, and the passwords of the empty frame are kept.
        click("198.18.0.0 (WIRED:1)");
        QVERIFY(net_->sent().empty());
        QVERIFY(basic().serialNumber->text().isEmpty());
        QVERIFY(basic().version->text().isEmpty());
        QCOMPARE(system().address->text(), text("198.18.0.10"));
        QCOMPARE(system().macAddress->text(), text("02-54-56-00-00-0A"));
        QCOMPARE(window_->knownPasswords(), workflow::KnownPasswords{});
        QVERIFY(window_->statusText().isEmpty());
    }

    // Every keyboard move onto a clock reads it, after any click; the program's own selection
    // reads nothing.
    void keyboardMovesRead() {
        fillTree(false, {text("198.18.0.10 (SN0010)"), text("198.18.0.11 (SN0011)")},
                 {text("198.18.0.30 (SN0030)")});
        click("198.18.0.10 (SN0010)");
        QCOMPARE(window_->shownClock()->address, kWired1);
        net_->clearSent();
        press(Qt::Key_Down);
        QCOMPARE(basic().serialNumber->text(), text("SN0011"));
        QCOMPARE(window_->statusText(), text("Showing 198.18.0.11"));
        QCOMPARE(window_->shownClock()->address, kWired2);
        QVERIFY2(tree()->hasFocus(), "the tree gets the focus back after the read");
        press(Qt::Key_Down);  // the early group label: nothing
        press(Qt::Key_Down);
        QCOMPARE(basic().serialNumber->text(), text("SN0030"));
        QCOMPARE(askedInOrder(), (std::vector<platform::Ipv4>{kWired2, kEarly}));
        QCOMPARE(requestsTo(kWired2), 3);
        QCOMPARE(requestsTo(kEarly), 1);
        QVERIFY(window_->shownClock() == (app::ClockIdentity{kEarly, workflow::ClockKind::kEarly}));

        net_->clearSent();
        clickEmptySpace();
        tree()->setCurrentItem(item("198.18.0.10 (SN0010)"));
        QTRY_VERIFY(!window_->jobRunning());
        QVERIFY(net_->sent().empty());
        QCOMPARE(basic().serialNumber->text(), text("SN0030"));
    }

    // The group label decides the family of its clocks; the radio buttons only choose the
    // family of the next search.
    void theGroupDecidesTheFamily_data() {
        QTest::addColumn<QString>("radio");  // empty: none chosen
        QTest::addColumn<bool>("wifiGroup");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("port");
        QTest::newRow("WIRED group, WIFI radio") << text("wifiRadio") << false << 3 << 6869;
        QTest::newRow("WIRED group, no radio") << QString() << false << 3 << 6869;
        QTest::newRow("WIFI group, WIRED radio") << text("wiredRadio") << true << 1 << 6866;
    }
    void theGroupDecidesTheFamily() {
        QFETCH(QString, radio);
        QFETCH(bool, wifiGroup);
        QFETCH(int, requests);
        QFETCH(int, port);
        const QString clicked = text(wifiGroup ? "198.18.0.20 (SN0020)" : "198.18.0.10 (SN0010)");
        fillTree(wifiGroup, {clicked}, {});
        search_.WifiFamilySelected = 0;
        search_.WiredFamilySelected = 0;
        if (!radio.isEmpty()) {
            control<QRadioButton>(radio.toLatin1().constData())->click();
        }
        click(clicked.toLatin1().constData());
        QCOMPARE(static_cast<int>(net_->sent().size()), requests);
        for (const auto& sent : net_->sent()) {
            QCOMPARE(static_cast<int>(sent.to.port), port);
        }
        QCOMPARE(basic().serialNumber->text(), clicked.section(QLatin1Char('('), 1).chopped(1));
        QCOMPARE(system().updateControl->isEnabled(), !wifiGroup);
    }

    // A silent wired clock is asked five times; the pages show the cleared record and the
    // status line says so. The next clock that answers clears it. A silent early clock leaves
    // the Basic page as it was.
    void silentClocks() {
        clocks_->add(ClockKind::kWired, kNoClock,
                     [](clocksim::SimClock& c) { c.faults.silent = true; });
        clocks_->add(ClockKind::kEarly, MakeIpv4(198, 18, 0, 31),
                     [](clocksim::SimClock& c) { c.faults.silent = true; });
        fillTree(false, {text("198.18.0.10 (SN0010)"), text("198.18.0.99 (SN0099)")},
                 {text("198.18.0.31 (SN0031)")});
        click("198.18.0.10 (SN0010)");
        net_->clearSent();

        QVERIFY(basic().timeDuration->currentIndex() >= 0);
        click("198.18.0.99 (SN0099)");
        QCOMPARE(requestsTo(kNoClock), 5);
        QVERIFY(basic().serialNumber->text().isEmpty());
        QCOMPARE(basic().timeDuration->currentIndex(), -1);
        QVERIFY(!window_->shownClock());
        QCOMPARE(window_->knownPasswords(), workflow::KnownPasswords{});
        QCOMPARE(window_->statusText(), text("No answer from 198.18.0.99"));
        QCOMPARE(system().address->text(), text("198.18.0.99"));
        QVERIFY(prompter_.messages().empty());

        click("198.18.0.10 (SN0010)");
        QCOMPARE(window_->statusText(), text("Showing 198.18.0.10"));
        click("198.18.0.31 (SN0031)");
        QCOMPARE(basic().serialNumber->text(), text("SN0010"));
        QCOMPARE(window_->statusText(), text("No answer from 198.18.0.31"));
    }

    // While a read runs the tree and the three buttons are disabled under a wait cursor; they
    // come back when it ends.
    void controlsWhileReading() {
        fillTree(false, {text("198.18.0.10 (SN0010)")}, {});
        test::Gate gate;
        net_->onSend([&gate](const test::SentDatagram&, test::FakeNetwork&) { gate.wait(); });
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          tree()->visualItemRect(item("198.18.0.10 (SN0010)")).center());
        QTRY_VERIFY(gate.reached());
        QVERIFY(window_->jobRunning());
        QVERIFY(controlsDisabled());
        QCOMPARE(window_->statusText(), text("Reading 198.18.0.10..."));
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        gate.open();
        QTRY_VERIFY(!window_->jobRunning());
        QVERIFY(controlsEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(basic().serialNumber->text(), text("SN0010"));
    }

    // Closing the window during a read stops it within about 2 s; nothing of it is shown.
    void closingDuringARead() {
        clocks_->add(ClockKind::kWired, kNoClock,
                     [](clocksim::SimClock& c) { c.faults.silent = true; });
        fillTree(false, {text("198.18.0.99 (SN0099)")}, {});
        net_->onSend([](const test::SentDatagram&, test::FakeNetwork&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        });
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          tree()->visualItemRect(item("198.18.0.99 (SN0099)")).center());
        QTRY_VERIFY(!net_->sent().empty());
        QElapsedTimer timer;
        timer.start();
        window_->reject();
        qInfo("closing the window during a read took %lld ms", timer.elapsed());
        QVERIFY2(timer.elapsed() < kCloseBudgetMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!window_->jobRunning());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCoreApplication::processEvents();
        QVERIFY(window_->statusText().isEmpty());
        QVERIFY(system().address->isBlank());
        window_.reset();
        QCoreApplication::processEvents();  // nothing queued reaches the window
    }

    // The form the batch firmware update uses: the check of "Update Control" is kept, the
    // page filled and then the caller goes on; a failed lookup empties the MAC address.
    void setUpdateTargetForABatch() {
        control<QRadioButton>("wiredRadio")->click();
        system().updateControl->click();
        window_->setUpdateOperation(app::UpdateOperation::kBatch);
        QVERIFY(controlsDisabled());
        // Jobs given at once run one after the other, in order.
        QStringList then;
        const auto wired = protocol::ClockFamily::kWired;
        window_->lookUpUpdateTarget(kWired1, wired, firmware::UpdateControlCheck::kKept,
                                    [&] { then << system().macAddress->text(); });
        window_->lookUpUpdateTarget(kWired2, wired, firmware::UpdateControlCheck::kKept,
                                    [&] { then << system().macAddress->text(); });
        QTRY_COMPARE(then.size(), 2);
        QCOMPARE(then, (QStringList{text("02-54-56-00-00-0A"), text("02-54-56-00-00-0B")}));
        QVERIFY(system().updateControl->isChecked());
        QCOMPARE(system().address->text(), text("198.18.0.11"));
        QVERIFY(controlsDisabled());  // the batch still holds them

        window_->lookUpUpdateTarget(kNoClock, wired, firmware::UpdateControlCheck::kKept);
        QTRY_VERIFY(!window_->jobRunning());
        QCOMPARE(system().address->text(), text("198.18.0.99"));
        QVERIFY(system().macAddress->text().isEmpty());
        window_->setUpdateOperation(app::UpdateOperation::kNone);
        QVERIFY(controlsEnabled());
    }
};

QTEST_MAIN(TreeReadTest)
#include "TreeReadTest.moc"
