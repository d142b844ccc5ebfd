// The main window on the offscreen platform: start-up state, tabs, resizing, the
// search radio buttons, the About box, and searches on the fake network with scripted clocks.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <thread>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "app/TabControl.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "settings/page/BasicPage.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/FakeTftpClock.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/ScriptedClocks.h"
#include "ui/Ipv4AddressEdit.h"
#include "wifi/page/WifiPage.h"

using namespace tavlo;
using app::MainWindow;
using platform::MakeIpv4;
using test::ClockKind;

namespace {

const platform::Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
constexpr qint64 kCloseBudgetMs = 2000;

QStringList childTexts(QTreeWidgetItem* group) {
    QStringList texts;
    for (int i = 0; i < group->childCount(); ++i) {
        texts << group->child(i)->text(0);
    }
    return texts;
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::FakeNetwork> netHolder_;
    test::FakeNetwork* netPtr_ = nullptr;
    test::FakeNetwork& net() { return *netPtr_; }
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    test::RecordingPrompter prompter_;
    bool socketsStart_ = true;
    std::unique_ptr<MainWindow> dialog_;

    template <typename T = QWidget>
    T* control(const char* name) {
        T* widget = dialog_->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("control %s missing", name);
        }
        return widget;
    }
    QWidget* page(const char* name) { return control<QWidget>(name); }
    QStringList visiblePages() {
        QStringList names;
        for (const char* name : {"BasicPage", "WifiPage", "SystemPage"}) {
            if (page(name)->isVisible()) {
                names << QString::fromLatin1(name);
            }
        }
        return names;
    }
    app::DeviceTree* tree() { return dialog_->deviceTree(); }
    QStringList topLevelTexts() {
        QStringList texts;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i) {
            texts << tree()->topLevelItem(i)->text(0);
        }
        return texts;
    }
    void searchAndWait() {
        control<QPushButton>("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !dialog_->searchRunning() && control<QPushButton>("searchButton")->isVisible(), 10000);
        QCoreApplication::processEvents();  // the last queued reports
    }

    // Closes the window, which must end what runs within about 2 s.
    void closeWithinTwoSeconds(const char* during) {
        QElapsedTimer timer;
        timer.start();
        dialog_->reject();
        qInfo("closing the window during %s took %lld ms", during, timer.elapsed());
        QVERIFY2(timer.elapsed() < kCloseBudgetMs, qPrintable(QString::number(timer.elapsed())));
    }

  private slots:
    void init() {
        // Every test gets its own network, clocks and handlers.
        netHolder_ = std::make_unique<test::FakeNetwork>();
        netPtr_ = netHolder_.get();
        net().setLocalAddresses({kPc});
        search_.WifiFamilySelected = 0;
        search_.WiredFamilySelected = 0;
        prompter_.clear();
        socketsStart_ = true;
        dialog_ = std::make_unique<MainWindow>(app::MainDialogContext{
            net(), protocol_, search_, update_, prompter_, [this] { return socketsStart_; }, {}});
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }
    void cleanup() {
        dialog_.reset();
        netHolder_.reset();
    }

    void startupState() {
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("TavloAdmin"));
        app::TabControl* tabs = dialog_->tabControl();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Basic  Information "));
        QCOMPARE(tabs->tabText(1), QStringLiteral("WIFI   Information "));
        QCOMPARE(tabs->tabText(2), QStringLiteral("System  Information "));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("BasicPage")});
        for (const char* name : {"BasicPage", "WifiPage", "SystemPage"}) {
            QCOMPARE(page(name)->parentWidget(), tabs);
            QCOMPARE(page(name)->geometry(), tabs->rect().adjusted(1, 20, -2, -2));
        }
        QVERIFY(control<QPushButton>("searchButton")->isVisible());
        QCOMPARE(control<QPushButton>("searchButton")->text(), QStringLiteral("Search"));
        QVERIFY(!control<QPushButton>("stopSearchButton")->isVisible());
        QCOMPARE(control<QPushButton>("stopSearchButton")->text(),
                 QStringLiteral("Stop to Search"));
        QCOMPARE(control<QPushButton>("stopSearchButton")->geometry(),
                 control<QPushButton>("searchButton")->geometry());
        QCOMPARE(control<QPushButton>("modifyButton")->text(), QStringLiteral("Modify"));
        QCOMPARE(control<QPushButton>("batchModifyButton")->text(), QStringLiteral("Batch Modify"));
        QCOMPARE(control<QGroupBox>("onlineClientGroup")->title(), QStringLiteral("Online Client"));
        QVERIFY(!control<QCheckBox>("earlyVersionsCheck")->isVisible());
        QVERIFY(!control<QCheckBox>("v32Check")->isVisible());
        QCOMPARE(control<QCheckBox>("earlyVersionsCheck")->text(),
                 QStringLiteral("Early versions"));
        QCOMPARE(control<QCheckBox>("v32Check")->text(), QStringLiteral("V3.2"));
        const std::pair<const char*, const char*> radios[] = {{"broadcastRadio", "Broadcast"},
                                                              {"unicastRadio", "Unicast"},
                                                              {"wiredRadio", "WIRED"},
                                                              {"wifiRadio", "WIFI"}};
        for (const auto& [name, label] : radios) {
            QCOMPARE(control<QRadioButton>(name)->text(), QString::fromLatin1(label));
            QVERIFY(!control<QRadioButton>(name)->isChecked());
        }
        QVERIFY(control<ui::Ipv4AddressEdit>("ipAddress")->isEnabled());
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QVERIFY(tree()->isEnabled());
        QVERIFY(!dialog_->windowIcon().isNull());
    }

    void tabSwitching_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("shown");
        QTest::newRow("System") << 2 << QStringLiteral("SystemPage");
        QTest::newRow("WIFI") << 1 << QStringLiteral("WifiPage");
        QTest::newRow("Basic") << 0 << QStringLiteral("BasicPage");
    }
    void tabSwitching() {
        QFETCH(int, index);
        QFETCH(QString, shown);
        QTabBar* bar = dialog_->tabControl()->tabBar();
        if (index == 0) {
            bar->setCurrentIndex(2);  // leave tab 0 first, so coming back is a change
        }
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCOMPARE(dialog_->tabControl()->currentIndex(), index);
        QCOMPARE(visiblePages(), QStringList{shown});
    }

    // The window's blocks and the search controls inside "Online Client": none overlaps
    // another, the search controls stay inside their group, and every page has at least the
    // room it asks for.
    void checkNothingOverlaps() {
        const char* blocks[] = {"deviceTree", "onlineClientGroup", "tabControl", "modifyButton",
                                "batchModifyButton"};
        const char* search[] = {"ipAddress",  "broadcastRadio", "unicastRadio",
                                "wiredRadio", "wifiRadio",      "searchButton"};
        auto noneOverlap = [this](const auto& names) {
            for (const char* a : names) {
                for (const char* b : names) {
                    QVERIFY2(a == b || !control(a)->geometry().intersects(control(b)->geometry()),
                             qPrintable(QStringLiteral("%1 overlaps %2")
                                            .arg(QLatin1String(a), QLatin1String(b))));
                }
            }
        };
        noneOverlap(blocks);
        noneOverlap(search);
        const QRect group = control("onlineClientGroup")->rect();
        for (const char* name : search) {
            QVERIFY2(group.contains(control(name)->geometry()), name);
        }
        for (const char* name : {"BasicPage", "WifiPage", "SystemPage"}) {
            const QSize size = page(name)->size();
            const QSize wanted = page(name)->sizeHint();
            QVERIFY2(size.width() >= wanted.width() && size.height() >= wanted.height(), name);
        }
    }

    void enlargingGivesTheRoomToTheTreeAndThePages() {
        checkNothingOverlaps();
        const char* names[] = {"deviceTree",   "tabControl",        "onlineClientGroup",
                               "modifyButton", "batchModifyButton", "searchButton",
                               "wiredRadio",   "wifiRadio"};
        std::map<QString, QRect> before;
        for (const char* name : names) {
            before[QString::fromLatin1(name)] = control(name)->geometry();
        }
        auto was = [&](const char* name) { return before[QString::fromLatin1(name)]; };
        const QSize grow(400, 300);
        const QSize size = dialog_->size();
        dialog_->resize(size + grow);
        QTRY_COMPARE(dialog_->size(), size + grow);

        QCOMPARE(control("deviceTree")->geometry(),
                 was("deviceTree").adjusted(0, 0, 0, grow.height()));
        QCOMPARE(control("tabControl")->geometry(),
                 was("tabControl").adjusted(0, 0, grow.width(), grow.height()));
        // The group moves down with the tree's bottom and keeps itself and its contents.
        QCOMPARE(control("onlineClientGroup")->geometry(),
                 was("onlineClientGroup").translated(0, grow.height()));
        for (const char* inGroup : {"searchButton", "wiredRadio", "wifiRadio"}) {
            QCOMPARE(control(inGroup)->geometry(), was(inGroup));
        }
        QCOMPARE(control("onlineClientGroup")->y() - control("deviceTree")->geometry().bottom(),
                 was("onlineClientGroup").y() - was("deviceTree").bottom());
        // The command buttons keep their size in the bottom right corner.
        for (const char* command : {"modifyButton", "batchModifyButton"}) {
            QCOMPARE(control(command)->geometry(),
                     was(command).translated(grow.width(), grow.height()));
        }
        // Every page follows the tab control.
        const QRect pageRect = dialog_->tabControl()->rect().adjusted(1, 20, -2, -2);
        for (const char* name : {"BasicPage", "WifiPage", "SystemPage"}) {
            QCOMPARE(page(name)->geometry(), pageRect);
        }
        checkNothingOverlaps();
    }

    void neverSmallerThanDesigned() {
        const QSize designed = dialog_->size();
        QCOMPARE(dialog_->minimumSize(), designed);
        QVERIFY(designed.width() >= 924 && designed.height() >= 733);
        dialog_->resize(620, 420);
        QCoreApplication::processEvents();
        QCOMPARE(dialog_->size(), designed);
        checkNothingOverlaps();
    }

    void resizeKeepsTheTab() {
        QTabBar* bar = dialog_->tabControl()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        dialog_->resize(dialog_->size() + QSize(40, 30));
        QCoreApplication::processEvents();
        QCOMPARE(dialog_->tabControl()->currentIndex(), 2);
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("SystemPage")});
    }

    void nothingChangesWhileMinimised() {
        QTabBar* bar = dialog_->tabControl()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        const QRect tree = control("deviceTree")->geometry();
        dialog_->setWindowState(Qt::WindowMinimized);
        QResizeEvent shrink(QSize(160, 40), dialog_->size());
        QApplication::sendEvent(dialog_.get(), &shrink);
        QCOMPARE(control("deviceTree")->geometry(), tree);
        QCOMPARE(dialog_->tabControl()->currentIndex(), 1);
        QCOMPARE(visiblePages(), QStringList{QStringLiteral("WifiPage")});
        dialog_->setWindowState(Qt::WindowNoState);
        QCOMPARE(control("deviceTree")->geometry(), tree);
    }

    void radioButtons() {
        auto* broadcast = control<QRadioButton>("broadcastRadio");
        auto* unicast = control<QRadioButton>("unicastRadio");
        auto* wired = control<QRadioButton>("wiredRadio");
        auto* wifi = control<QRadioButton>("wifiRadio");
        auto* ip = control<ui::Ipv4AddressEdit>("ipAddress");

        broadcast->click();
        QVERIFY(broadcast->isChecked() && !unicast->isChecked());
        QVERIFY(!ip->isEnabled());
        broadcast->click();  // clicking the checked one keeps it checked
        QVERIFY(broadcast->isChecked());
        unicast->click();
        QVERIFY(unicast->isChecked() && !broadcast->isChecked());
        QVERIFY(ip->isEnabled());
        // The address pair and the family pair are independent.
        QVERIFY(!wired->isChecked() && !wifi->isChecked());

        wifi->click();
        QVERIFY(wifi->isChecked() && !wired->isChecked() && unicast->isChecked());
        QCOMPARE(search_.WifiFamilySelected.load(), 1);
        QCOMPARE(search_.WiredFamilySelected.load(), 0);
        wired->click();
        QVERIFY(wired->isChecked() && !wifi->isChecked());
        QCOMPARE(search_.WifiFamilySelected.load(), 0);
        QCOMPARE(search_.WiredFamilySelected.load(), 1);
    }

    void enterAndEscapeDoNotClose() {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(tree(), key);
            QTest::keyClick(control("searchButton"), key);
            QVERIFY(dialog_->isVisible());
        }
        QVERIFY(!dialog_->searchRunning());  // Enter on "Search" did not press it
    }

    void socketInitError() {
        dialog_.reset();
        socketsStart_ = false;
        MainWindow dialog(app::MainDialogContext{
            net(), protocol_, search_, update_, prompter_, [this] { return socketsStart_; }, {}});
        QCOMPARE(dialog.runModal(), MainWindow::kSocketInitFailed);
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Socket Init Error!")});
        QCOMPARE(prompter_.messages().back().caption, QStringLiteral("TavloAdmin"));
        QVERIFY(!dialog.isVisible());
    }

    void aboutBoxOnF1() {
        QString name;
        QString version;
        bool hasIcon = false;
        QString button;
        QTimer::singleShot(0, this, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box != nullptr);
            name = box->findChild<QLabel*>(QStringLiteral("aboutName"))->text();
            version = box->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text();
            hasIcon = !box->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull();
            auto* ok = box->findChild<QPushButton*>(QStringLiteral("aboutOk"));
            button = ok->text();
            ok->click();
        });
        QTest::keyClick(dialog_.get(), Qt::Key_F1);
        QCOMPARE(name, QStringLiteral("TavloAdmin"));
        QCOMPARE(version, QStringLiteral("Version " TAVLO_VERSION));
        QVERIFY(hasIcon);
        QCOMPARE(button, QStringLiteral("OK"));
    }

    void aboutInContextMenu() {
        QStringList items;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                items << action->text();
            }
            menu->close();
        });
        const QPoint at = control("onlineClientGroup")->geometry().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, dialog_->mapToGlobal(at));
        QApplication::sendEvent(dialog_.get(), &event);
        QCOMPARE(items, QStringList{QStringLiteral("About TavloAdmin(&A)...")});
    }

    void firstSearchIsWiredBroadcastOfBothGenerations() {
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 9), "SN0009");
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 10), "");
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 20), "SN0042");
        test::AddScriptedClock(net(), ClockKind::kWifi, MakeIpv4(198, 18, 0, 30), "WIFI1");
        test::AddScriptedClock(net(), ClockKind::kEarlyWired, MakeIpv4(198, 18, 0, 40), "OLD1");
        net().echoBroadcastsFrom(kPc);  // our own broadcasts come back and are ignored
        tree()->addGroup(protocol::SearchGroup::kCurrent, QStringLiteral("stale"));

        searchAndWait();

        QCOMPARE(topLevelTexts(), (QStringList{QStringLiteral("198.18.0.0 (WIRED:3)"),
                                               QStringLiteral("Early Versions: 1")}));
        QCOMPARE(childTexts(tree()->topLevelItem(0)),
                 (QStringList{QStringLiteral("198.18.0.10"), QStringLiteral("198.18.0.20 (SN0042)"),
                              QStringLiteral("198.18.0.9 (SN0009)")}));
        QCOMPARE(childTexts(tree()->topLevelItem(1)),
                 QStringList{QStringLiteral("198.18.0.40 (OLD1)")});
        QVERIFY(tree()->topLevelItem(0)->isExpanded());
        QVERIFY(tree()->topLevelItem(1)->isExpanded());
        QVERIFY(control<QRadioButton>("broadcastRadio")->isChecked());
        QVERIFY(control<QRadioButton>("wiredRadio")->isChecked());
        QVERIFY(!control<QRadioButton>("wifiRadio")->isChecked());
        QVERIFY(!control<ui::Ipv4AddressEdit>("ipAddress")->isEnabled());
        QVERIFY(control<QCheckBox>("earlyVersionsCheck")->isChecked());
        QVERIFY(control<QCheckBox>("v32Check")->isChecked());
        QVERIFY(!control<QCheckBox>("earlyVersionsCheck")->isVisible());
        QVERIFY(tree()->isEnabled());
        QVERIFY(control<QPushButton>("modifyButton")->isEnabled());
        QVERIFY(!control<QPushButton>("stopSearchButton")->isVisible());
        QVERIFY(prompter_.messages().empty());
    }

    void wifiSearchListsWifiClocks() {
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 9), "W");
        test::AddScriptedClock(net(), ClockKind::kWifi, MakeIpv4(198, 18, 0, 31), "B");
        test::AddScriptedClock(net(), ClockKind::kWifi, MakeIpv4(198, 18, 0, 30), "A");
        control<QRadioButton>("wifiRadio")->click();
        searchAndWait();
        QCOMPARE(topLevelTexts(), (QStringList{QStringLiteral("198.18.0.0 (WIFI:2)"),
                                               QStringLiteral("Early Versions: 0")}));
        QCOMPARE(
            childTexts(tree()->topLevelItem(0)),
            (QStringList{QStringLiteral("198.18.0.30 (A)"), QStringLiteral("198.18.0.31 (B)")}));
        QCOMPARE(search_.WifiFamilySelected.load(), 1);
    }

    // Refused before anything changes: the tree and the pages keep what they showed.
    void unicastWithoutAddressIsRefused() {
        tree()->addGroup(protocol::SearchGroup::kCurrent, QStringLiteral("198.18.0.0 (WIRED:0)"));
        dialog_->pages().basic->controls().serialNumber->setText(QStringLiteral("SN0012"));
        control<QRadioButton>("unicastRadio")->click();
        control<QPushButton>("searchButton")->click();
        QTRY_COMPARE(prompter_.texts(), QStringList{QStringLiteral("Please select a valid IP!")});
        QCOMPARE(topLevelTexts(), QStringList{QStringLiteral("198.18.0.0 (WIRED:0)")});
        QCOMPARE(dialog_->pages().basic->controls().serialNumber->text(), QStringLiteral("SN0012"));
        QVERIFY(control<QPushButton>("searchButton")->isVisible());
        QVERIFY(control<QPushButton>("searchButton")->isEnabled());
        QVERIFY(tree()->isEnabled());
        QVERIFY(net().sent().empty());
    }

    void unicastSweepShowsProbedAddresses() {
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 252), "U");
        control<QRadioButton>("unicastRadio")->click();
        auto* ip = control<ui::Ipv4AddressEdit>("ipAddress");
        ip->setText(QStringLiteral("198.18.0.250"));
        QStringList shown;
        connect(ip, &ui::Ipv4AddressEdit::changed, this, [&] { shown << ip->text(); });
        searchAndWait();
        // Each round of the sweep (five wired, one early) shows its first and its last
        // address; the first is in the control already. At the end the control holds the
        // first address again, so that "Search" sweeps the same range once more.
        QStringList expected{QStringLiteral("198.18.0.254")};
        for (int round = 1; round < 6; ++round) {
            expected << QStringLiteral("198.18.0.250") << QStringLiteral("198.18.0.254");
        }
        expected << QStringLiteral("198.18.0.250");
        QCOMPARE(shown, expected);
        QCOMPARE(ip->text(), QStringLiteral("198.18.0.250"));
        QCOMPARE(topLevelTexts().first(), QStringLiteral("198.18.0.0 (WIRED:1)"));
        QVERIFY(ip->isEnabled());
    }

    void controlsWhileSearching() {
        test::Gate gate;
        net().onSend([&gate](const test::SentDatagram&, test::FakeNetwork&) { gate.wait(); });
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 11), "X");
        control<QPushButton>("searchButton")->click();
        QTRY_VERIFY(control<QPushButton>("stopSearchButton")->isVisible());
        QVERIFY(!control<QPushButton>("searchButton")->isVisible());
        QVERIFY(!control<QPushButton>("searchButton")->isEnabled());
        QVERIFY(!tree()->isEnabled());
        QVERIFY(!control<QPushButton>("modifyButton")->isEnabled());
        QVERIFY(!control<QPushButton>("batchModifyButton")->isEnabled());
        // "Stop to Search" while the worker is held: the search still creates and labels the
        // early group, with nothing in it.
        control<QPushButton>("stopSearchButton")->click();
        QCOMPARE(search_.SearchStopFlag.load(), protocol::kSearchStopRequested);
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("searchButton")->isVisible(), 10000);
        QTRY_VERIFY(!dialog_->searchRunning());
        QVERIFY(topLevelTexts().contains(QStringLiteral("Early Versions: 0")));
        QVERIFY(tree()->isEnabled());
        QVERIFY(control<QPushButton>("modifyButton")->isEnabled());
        QCOMPARE(search_.SearchStopFlag.load(), protocol::kSearchIdle);
    }

    void closingDuringSearchStopsIt() {
        // A Wi-Fi unicast sweep over a whole subnet, slowed down in real time, is still
        // running when the window closes; closing must stop it promptly.
        net().onSend([](const test::SentDatagram&, test::FakeNetwork&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        });
        control<QRadioButton>("unicastRadio")->click();
        control<QRadioButton>("wifiRadio")->click();
        control<ui::Ipv4AddressEdit>("ipAddress")->setText(QStringLiteral("198.18.0.1"));
        control<QPushButton>("searchButton")->click();
        QTRY_VERIFY(control<QPushButton>("stopSearchButton")->isVisible());
        closeWithinTwoSeconds("a search");
        QVERIFY(!dialog_->searchRunning());
        QVERIFY(!dialog_->isVisible());
        dialog_.reset();
        QCoreApplication::processEvents();  // reports still queued go nowhere
    }

    void closingDuringAnUpdateStopsIt() {
        // A slow clock takes a large file; the window closes in the middle of the transfer.
        test::FakeTftpClock clock(net(), MakeIpv4(198, 18, 0, 10));
        clock.setBeforeAnswer([](std::uint16_t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return true;
        });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clock.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000 * 512, 'x'));
        file.close();
        firmware::SystemPage* system = dialog_->pages().system;
        const firmware::SystemPageControls& c = system->controls();
        c.updateControl->click();
        c.address->setText(QStringLiteral("198.18.0.10"));
        c.macAddress->setText(QStringLiteral("02-54-56-00-00-0A"));
        c.firmwareFile->setText(path);
        // The operator is asked first, also between two clocks of a batch; No keeps the window
        // and the update.
        const QString question = QStringLiteral("A firmware update is running. Stop it and close?");
        dialog_->setUpdateOperation(app::UpdateOperation::kBatch);
        dialog_->reject();
        QVERIFY(dialog_->isVisible());
        dialog_->setUpdateOperation(app::UpdateOperation::kNone);
        QCOMPARE(prompter_.texts(), QStringList{question});
        prompter_.clear();
        QCOMPARE(system->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_VERIFY(!net().sent().empty());
        prompter_.queueAnswer(false);
        dialog_->reject();
        QCOMPARE(prompter_.texts(), QStringList{question});
        QVERIFY(dialog_->isVisible());
        QVERIFY(system->updateRunning());
        prompter_.queueAnswer(true);
        closeWithinTwoSeconds("an update");
        QCOMPARE(prompter_.texts(), (QStringList{question, question}));
        QVERIFY(!system->updateRunning());
        dialog_.reset();
        QCoreApplication::processEvents();
        QVERIFY(clock.images().empty());
    }

    void treeExpandsOnlyTheSelectedGroup() {
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 12), "A");
        test::AddScriptedClock(net(), ClockKind::kEarlyWired, MakeIpv4(198, 18, 0, 13), "B");
        searchAndWait();
        QTreeWidgetItem* wired = tree()->topLevelItem(0);
        QTreeWidgetItem* early = tree()->topLevelItem(1);
        tree()->setCurrentItem(wired);
        tree()->setCurrentItem(wired->child(0));  // a clock inside keeps its group open
        QVERIFY(wired->isExpanded());
        tree()->setCurrentItem(early);
        QVERIFY(early->isExpanded());
        tree()->setCurrentItem(wired);
        QVERIFY(wired->isExpanded());
        QVERIFY(!early->isExpanded());
    }

    void newSearchClearsTreeAndPages() {
        test::AddScriptedClock(net(), ClockKind::kWired, MakeIpv4(198, 18, 0, 12), "A");
        searchAndWait();
        QCOMPARE(topLevelTexts().size(), 2);
        // What the pages show of a clock goes when the next search starts.
        dialog_->pages().basic->controls().serialNumber->setText(QStringLiteral("SN0012"));
        dialog_->pages().wifi->controls().ssid->setText(QStringLiteral("ClockNet"));
        searchAndWait();
        QVERIFY(dialog_->pages().basic->controls().serialNumber->text().isEmpty());
        QVERIFY(dialog_->pages().wifi->controls().ssid->text().isEmpty());
        QCOMPARE(topLevelTexts(), (QStringList{QStringLiteral("198.18.0.0 (WIRED:1)"),
                                               QStringLiteral("Early Versions: 0")}));
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
