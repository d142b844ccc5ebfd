// The main window searching simulated clocks over real sockets, inside the namespace test
// network: the device tree shows exactly the clocks of the searched family, once each, sorted,
// with their serial numbers, under the labelled groups, and never this PC's own echo; a click
// on a clock reads it into the pages while the window keeps running; the System page updates a
// simulated clock; Modify writes a setting that `tavlo read` then reads, and Batch Modify
// updates the firmware of a whole group, with the GUI thread never held up meanwhile; "Read
// all clocks" fills its table from every clock of the tree.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/ClockTableModel.h"
#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "app/ReadAllDialog.h"
#include "app/TabControl.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "settings/page/BasicPage.h"
#include "tests/network/support/TestNetwork.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/Ipv4AddressEdit.h"
#include "wifi/page/WifiPage.h"

using namespace tavlo;

namespace {

constexpr int kClockAddresses = 9;
constexpr int kSearchTimeoutMs = 60000;
constexpr int kReadTimeoutMs = 15000;
// A wired clock that never answers, and one that answers reads only: found by no search,
// added to the tree by hand.
constexpr char kSilentClock[] = "198.18.0.17";
constexpr char kDeafClock[] = "198.18.0.18";
constexpr char kSilentClockFile[] =
    "{\"clocks\": [{\"kind\": \"wired\", \"address\": \"198.18.0.17\", "
    "\"faults\": {\"silent\": true}}, {\"kind\": \"wired\", \"address\": \"198.18.0.18\", "
    "\"faults\": {\"silent\": true, \"on\": [\"probe\", \"write\"]}}]}";
// Five requests and five pauses of 500 ms.
constexpr qint64 kSilentReadMinMs = 4500;
constexpr qint64 kSilentReadMaxMs = 7000;
// The GUI thread's timer ticks this often during a read; no gap between two may exceed the
// stall budget by more than the longest gap of a thread that never blocks (what the machine's
// load alone costs a thread).
constexpr int kTickMs = 5;
constexpr qint64 kStallBudgetMs = 50;
constexpr int kUpdateTimeoutMs = 30000;
constexpr int kIntoThePauseMs = 700;
constexpr int kPromptStopMs = 1000;
constexpr int kBatchTimeoutMs = 60000;
// A display text no simulated clock starts with.
constexpr char kNewText[] = "HALL B";

// How long something took, and the longest gaps between the ticks of the GUI thread and of an
// idle thread beside it meanwhile.
struct Timing {
    qint64 took = 0;
    qint64 stall = 0;
    qint64 idleStall = 0;
    bool withinBudget() const { return stall <= kStallBudgetMs + idleStall; }
};

// A thread that only ticks, every kTickMs, and notes its longest gap.
class IdleTicker {
  public:
    IdleTicker()
        : thread_([this](const std::stop_token& stop) {
              auto last = std::chrono::steady_clock::now();
              while (!stop.stop_requested()) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
                  const auto now = std::chrono::steady_clock::now();
                  const qint64 gap =
                      std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
                  longest_ = std::max<qint64>(longest_, gap);
                  last = now;
              }
          }) {}
    qint64 stop() {
        thread_.request_stop();
        thread_.join();
        return longest_;
    }

  private:
    std::atomic<qint64> longest_{0};
    std::jthread thread_;
};

QStringList childTexts(QTreeWidgetItem* group) {
    QStringList texts;
    for (int i = 0; group != nullptr && i < group->childCount(); ++i) {
        texts << group->child(i)->text(0);
    }
    return texts;
}

}  // namespace

class MainWindowNetworkTest : public QObject {
    Q_OBJECT

  private:
    testnet::TempDir images_;     // what the simulated clocks received over TFTP
    testnet::TempDir source_;     // firmware files
    testnet::TempDir sim_files_;  // the silent clock's file and the simulator's request log
    std::unique_ptr<testnet::TestNetwork> net_;
    std::unique_ptr<testnet::ClockSimulator> sim_;
    std::unique_ptr<platform::Network> network_;
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    test::RecordingPrompter prompter_;
    std::unique_ptr<app::MainWindow> dialog_;

    void search() {
        dialog_->findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !dialog_->searchRunning() &&
                dialog_->findChild<QPushButton*>(QStringLiteral("searchButton"))->isVisible(),
            kSearchTimeoutMs);
        QCoreApplication::processEvents();
    }
    QTreeWidgetItem* treeItem(const QString& startsWith) {
        const auto found =
            dialog_->deviceTree()->findItems(startsWith, Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.size() == 1 ? found.front() : nullptr;
    }
    // Runs `start` and the GUI thread's events until `done` holds (false when it does not
    // within `timeoutMs`); `timing` gets the time it took and the longest gaps between two
    // ticks of a fast GUI timer and of an idle thread meanwhile.
    bool watch(const std::function<void()>& start, const std::function<bool()>& done, int timeoutMs,
               Timing* timing = nullptr) {
        IdleTicker idle;
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(kTickMs);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longest = std::max(longest, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        clock.start();
        ticker.start();
        start();
        while (!done() && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, kTickMs);
        }
        ticker.stop();
        const qint64 idleStall = idle.stop();
        if (timing != nullptr) {
            timing->stall = std::max(longest, clock.elapsed() - lastTick);
            timing->idleStall = idleStall;
            timing->took = clock.elapsed();
        }
        return done();
    }
    // Clicks the tree item whose text starts with `address` and waits for its read to end.
    bool clickAndRead(const char* address, Timing* timing = nullptr) {
        QTreeWidgetItem* item = treeItem(QString::fromLatin1(address));
        if (item == nullptr) {
            return false;
        }
        app::DeviceTree* tree = dialog_->deviceTree();
        tree->scrollToItem(item);
        return watch(
            [&] {
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                                  tree->visualItemRect(item).center());
            },
            [this] { return !dialog_->jobRunning(); }, kReadTimeoutMs, timing);
    }
    // Presses "Modify" or "Batch Modify" and waits until the window gives its controls back.
    bool pressAndWait(const char* button, int timeoutMs, Timing* timing) {
        auto* modify = dialog_->findChild<QPushButton*>(QStringLiteral("modifyButton"));
        return watch(
            [&] { dialog_->findChild<QPushButton*>(QString::fromLatin1(button))->click(); },
            [&] { return modify->isEnabled(); }, timeoutMs, timing);
    }
    static void report(const char* what, const Timing& t) {
        qInfo("%s took %lld ms; the GUI thread stalled %lld ms at most, an idle thread %lld ms",
              what, t.took, t.stall, t.idleStall);
    }
    void showTab(app::PageTab tab) {
        dialog_->tabControl()->tabBar()->setCurrentIndex(static_cast<int>(tab));
    }
    // What `tavlo read ADDRESS --wired` prints.
    std::string tavloRead(const char* address) {
        std::string error;
        auto process =
            net_->Start(testnet::Side::kPc, {TAVLO_CLI_PATH, "read", address, "--wired"}, error);
        if (!process) {
            qWarning("%s", error.c_str());
            return {};
        }
        std::string out = process->ReadAll(std::chrono::seconds(30));
        return process->Wait(std::chrono::seconds(10)).value_or(-1) == 0 ? out : std::string();
    }
    // What the neighbour table of the pc namespace holds for `address`, as the System page
    // shows it.
    static QString macText(const char* address) {
        const auto mac = platform::LookupMacAddress(platform::ParseIpv4(address));
        return mac ? QString::fromStdString(firmware::FormatMacAddress(*mac)) : QString();
    }
    // Requests the simulator received for `address`.
    int requestsTo(const char* address) {
        const std::string to = "\"to\":\"" + std::string(address) + "\",\"broadcast\":false";
        int count = 0;
        for (const auto& line : testnet::ReadLines(sim_files_.File("requests.jsonl"))) {
            count += line.find(to) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    QStringList groups() {
        QStringList texts;
        for (int i = 0; i < dialog_->deviceTree()->topLevelItemCount(); ++i) {
            texts << dialog_->deviceTree()->topLevelItem(i)->text(0);
        }
        return texts;
    }

    // The System page set for an update of `file` to the clock at `address`.
    bool prepareUpdate(firmware::SystemPage& system, const QByteArray& file, const char* address,
                       const char* mac) {
        QFile out(QString::fromStdString(source_.File("clock.bin")));
        if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
            return false;
        }
        const firmware::SystemPageControls& c = system.controls();
        system.setUpdateControlState(true, true);
        c.address->setText(QString::fromLatin1(address));
        c.macAddress->setText(QString::fromLatin1(mac));
        c.firmwareFile->setText(out.fileName());
        return true;
    }

  private slots:
    void initTestCase() {
        auto made = testnet::TestNetwork::Create(kClockAddresses);
        if (!made.network) {
            if (made.skipped) {
                QSKIP(made.message.c_str());
            }
            QFAIL(made.message.c_str());
        }
        net_ = std::move(made.network);
        std::string error;
        {
            QFile clocks(QString::fromStdString(sim_files_.File("silent.json")));
            QVERIFY(clocks.open(QIODevice::WriteOnly));
            clocks.write(kSilentClockFile);
        }
        sim_ = net_->StartSimulator(
            {"--wired", "198.18.0.10-12", "--wifi", "198.18.0.13-14", "--early", "198.18.0.15",
             "--early-wifi", "198.18.0.16", "--clocks", sim_files_.File("silent.json"), "--log",
             sim_files_.File("requests.jsonl"), "--tftp-store", images_.File("{addr}.img")},
            error);
        QVERIFY2(sim_ != nullptr, error.c_str());
        // From here on this thread, and every thread it starts, lives in the pc namespace.
        const std::string problem = net_->EnterPc();
        QVERIFY2(problem.empty(), problem.c_str());
        network_ = platform::makeSystemNetwork();
        QVERIFY(protocol::StartSockets(*network_));
        dialog_ = std::make_unique<app::MainWindow>(app::MainDialogContext{
            *network_, protocol_, search_, update_, prompter_,
            [this] { return protocol::StartSockets(*network_); },
            [](platform::Ipv4 address) { return platform::LookupMacAddress(address); }});
        dialog_->show();
    }

    void cleanupTestCase() {
        dialog_.reset();
        network_.reset();
        if (net_) {
            net_->LeavePc();
        }
        sim_.reset();
        net_.reset();
    }

    void firstSearchFindsWiredAndEarlyClocks() {
        search();
        // Early clocks of both families answer the early probe on the wired port.
        QCOMPARE(groups(), (QStringList{QStringLiteral("198.18.0.0 (WIRED:3)"),
                                        QStringLiteral("Early Versions: 2")}));
        QCOMPARE(childTexts(dialog_->deviceTree()->topLevelItem(0)),
                 (QStringList{QStringLiteral("198.18.0.10 (SN0010)"),
                              QStringLiteral("198.18.0.11 (SN0011)"),
                              QStringLiteral("198.18.0.12 (SN0012)")}));
        const QStringList early = childTexts(dialog_->deviceTree()->topLevelItem(1));
        QCOMPARE(early.size(), 2);
        QVERIFY2(early[0].startsWith(QStringLiteral("198.18.0.15")), qPrintable(early[0]));
        QVERIFY2(early[1].startsWith(QStringLiteral("198.18.0.16")), qPrintable(early[1]));
        QVERIFY(dialog_->findChild<QRadioButton*>(QStringLiteral("wiredRadio"))->isChecked());
        QVERIFY(dialog_->findChild<QRadioButton*>(QStringLiteral("broadcastRadio"))->isChecked());
        QVERIFY(prompter_.messages().empty());
    }

    // A click on a wired and on an early clock after the wired search.
    void clickReadsWiredAndEarlyClocks() {
        const auto& basic = dialog_->pages().basic->controls();
        const auto& system = dialog_->pages().system->controls();
        QVERIFY(clickAndRead("198.18.0.10"));
        QCOMPARE(basic.serialNumber->text(), QStringLiteral("SN0010"));
        QCOMPARE(basic.version->text(), QStringLiteral("3.29"));
        QCOMPARE(basic.displayText->text(), QStringLiteral("WELCOME"));
        QCOMPARE(system.address->text(), QStringLiteral("198.18.0.10"));
        const QString mac = macText("198.18.0.10");
        QVERIFY(!mac.isEmpty());
        QCOMPARE(system.macAddress->text(), mac);
        QCOMPARE(requestsTo("198.18.0.10"), 3);
        QCOMPARE(workflow::PasswordText(dialog_->knownPasswords().user), std::string("omber"));

        QVERIFY(clickAndRead("198.18.0.15"));
        QCOMPARE(basic.serialNumber->text(), QStringLiteral("SN0015"));
        QVERIFY(basic.version->text().isEmpty());
        QCOMPARE(system.address->text(), QStringLiteral("198.18.0.10"));
        QCOMPARE(dialog_->statusText(), QStringLiteral("Showing 198.18.0.15"));
        QVERIFY(prompter_.messages().empty());
    }

    // A silent wired clock is asked five times, 500 ms apart, and the window keeps running
    // all the while.
    void silentWiredClockKeepsTheWindowRunning() {
        dialog_->deviceTree()->addItem(protocol::SearchGroup::kCurrent,
                                       QString::fromLatin1(kSilentClock));
        Timing t;
        QVERIFY(clickAndRead(kSilentClock, &t));
        report("the read of a silent wired clock", t);
        QCOMPARE(requestsTo(kSilentClock), 5);
        QVERIFY2(t.took >= kSilentReadMinMs && t.took <= kSilentReadMaxMs,
                 qPrintable(QString::number(t.took)));
        QVERIFY2(t.withinBudget(), qPrintable(QString::number(t.stall)));
        QCOMPARE(dialog_->statusText(), QStringLiteral("No answer from 198.18.0.17"));
        QVERIFY(dialog_->pages().basic->controls().serialNumber->text().isEmpty());
    }

    // "Read all clocks" reads every clock of the tree at once into the table, the silent one
    // named beneath it, with the tree locked meanwhile; the export is CSV with CRLF lines.
    void readAllClocksShowsEveryClockOfTheTree() {
        const QString csvPath = QString::fromStdString(sim_files_.File("clocks.csv"));
        int rows = -1;
        QString status;
        bool treeLocked = false;
        bool exported = false;
        QTimer::singleShot(0, this, [&] {
            auto* reading = dialog_->findChild<app::ReadAllDialog*>();
            if (reading == nullptr) {
                return;
            }
            treeLocked = !dialog_->deviceTree()->isEnabled();
            QElapsedTimer timer;
            timer.start();
            while (reading->running() && timer.elapsed() < kReadTimeoutMs) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            }
            rows = reading->table().rowCount();
            status = reading->statusText();
            exported = reading->exportTo(csvPath);
            reading->accept();
        });
        dialog_->onReadAllClocks();
        QVERIFY(treeLocked);
        QVERIFY(dialog_->deviceTree()->isEnabled());
        QCOMPARE(rows, 5);
        QCOMPARE(status, QStringLiteral("5 of 6 clocks read; no answer from 198.18.0.17"));
        QVERIFY(exported);
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 7);  // the header, five rows, and nothing after the last CRLF
        QVERIFY(lines.front().startsWith("address,"));
        QVERIFY(lines.last().isEmpty());
        for (int i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY(lines[i].endsWith('\r'));
        }
    }

    void wifiSearchFindsWifiClocks() {
        dialog_->findChild<QRadioButton*>(QStringLiteral("wifiRadio"))->click();
        search();
        QCOMPARE(groups(), (QStringList{QStringLiteral("198.18.0.0 (WIFI:2)"),
                                        QStringLiteral("Early Versions: 1")}));
        QCOMPARE(childTexts(dialog_->deviceTree()->topLevelItem(0)),
                 (QStringList{QStringLiteral("198.18.0.13 (SN0013)"),
                              QStringLiteral("198.18.0.14 (SN0014)")}));
        const QStringList early = childTexts(dialog_->deviceTree()->topLevelItem(1));
        QCOMPARE(early.size(), 1);
        QVERIFY2(early.first().startsWith(QStringLiteral("198.18.0.16")),
                 qPrintable(early.first()));
        QCOMPARE(search_.WifiFamilySelected.load(), 1);
    }

    void clickReadsAWifiClock() {
        QVERIFY(clickAndRead("198.18.0.13"));
        const auto& system = dialog_->pages().system->controls();
        QCOMPARE(dialog_->pages().basic->controls().serialNumber->text(), QStringLiteral("SN0013"));
        QCOMPARE(dialog_->pages().wifi->controls().ssid->text(), QStringLiteral("ClockNet"));
        QCOMPARE(system.address->text(), QStringLiteral("198.18.0.13"));
        QCOMPARE(system.macAddress->text(), macText("198.18.0.13"));
        QVERIFY(!system.updateControl->isEnabled());
        QCOMPARE(requestsTo("198.18.0.13"), 1);
    }

    // The System page loads a file into a simulated clock over real sockets, with the MAC
    // address the operator typed, and reports the result in its "Update" box.
    void systemPageUpdatesASimulatedClock() {
        const QByteArray file(3 * 512 + 77, 'f');
        firmware::SystemPage* system = dialog_->pages().system;
        QVERIFY(prepareUpdate(*system, file, "198.18.0.11", "02-54-56-00-00-0B"));
        prompter_.clear();
        QCOMPARE(system->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_VERIFY_WITH_TIMEOUT(!system->updateRunning(), kUpdateTimeoutMs);
        QCoreApplication::processEvents();
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Update Successful!")});
        QCOMPARE(prompter_.messages().front().caption, QStringLiteral("Update"));
        QFile stored(QString::fromStdString(images_.File("198.18.0.11.img")));
        QTRY_VERIFY(stored.exists() && stored.size() == file.size());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), file);
        QCOMPARE(system->StoreSystemPage(firmware::StoreFlag::kPoll),
                 firmware::UpdateStatus::kEndedOrRefused);
    }

    // Stopping the update while it gives the clock its 3 s after the write request does not
    // wait for the pause to end.
    void stoppingDuringThePauseIsPrompt() {
        firmware::SystemPage* system = dialog_->pages().system;
        QVERIFY(prepareUpdate(*system, QByteArray(512, 'p'), "198.18.0.12", "02-54-56-00-00-0C"));
        QCOMPARE(system->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTest::qWait(kIntoThePauseMs);
        QVERIFY(system->updateRunning());
        QElapsedTimer timer;
        timer.start();
        system->stopUpdates();
        qInfo("stopping during the pause took %lld ms", timer.elapsed());
        QVERIFY2(timer.elapsed() < kPromptStopMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!system->updateRunning());
        update_.breakFlag = false;
    }

    // Modify writes the Basic page to a wired clock, and `tavlo read` finds the setting there.
    void modifyWritesASettingThatTavloReads() {
        dialog_->findChild<QRadioButton*>(QStringLiteral("wiredRadio"))->click();
        search();
        QVERIFY(clickAndRead("198.18.0.10"));
        showTab(app::PageTab::kBasic);
        dialog_->pages().basic->controls().displayText->setText(QString::fromLatin1(kNewText));
        prompter_.clear();
        Timing t;
        QVERIFY(pressAndWait("modifyButton", kReadTimeoutMs, &t));
        report("Modify of a wired clock", t);
        QVERIFY2(t.withinBudget(), qPrintable(QString::number(t.stall)));
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Setting Successful!")});
        const std::string read = tavloRead("198.18.0.10");
        QVERIFY2(read.find(kNewText) != std::string::npos, read.c_str());
    }

    // A key moves the selection to the next clock and reads it: Modify then writes to that
    // clock, the one the pages show, and to no other.
    void modifyAfterAKeyWritesTheClockShown() {
        QVERIFY(clickAndRead("198.18.0.11"));
        const int before = requestsTo("198.18.0.11");
        QVERIFY(watch([this] { QTest::keyClick(dialog_->deviceTree(), Qt::Key_Down); },
                      [this] { return !dialog_->jobRunning(); }, kReadTimeoutMs, nullptr));
        QCOMPARE(dialog_->statusText(), QStringLiteral("Showing 198.18.0.12"));
        showTab(app::PageTab::kBasic);
        dialog_->pages().basic->controls().displayText->setText(QStringLiteral("KEYED"));
        prompter_.clear();
        QVERIFY(pressAndWait("modifyButton", kReadTimeoutMs, nullptr));
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Setting Successful!")});
        QCOMPARE(requestsTo("198.18.0.11"), before);
        QVERIFY(tavloRead("198.18.0.12").find("KEYED") != std::string::npos);
        QVERIFY(tavloRead("198.18.0.11").find("KEYED") == std::string::npos);
    }

    // A clock that answers its read and then not the write: five silent exchanges 500 ms
    // apart, while the window keeps running.
    void modifyOfAClockDeafToWritesKeepsTheWindowRunning() {
        dialog_->deviceTree()->addItem(protocol::SearchGroup::kCurrent,
                                       QString::fromLatin1(kDeafClock));
        QVERIFY(clickAndRead(kDeafClock));
        showTab(app::PageTab::kWifi);
        prompter_.clear();
        Timing t;
        QVERIFY(pressAndWait("modifyButton", kReadTimeoutMs, &t));
        report("Modify of a wired clock deaf to writes", t);
        QVERIFY2(t.took >= kSilentReadMinMs && t.took <= kSilentReadMaxMs,
                 qPrintable(QString::number(t.took)));
        QVERIFY2(t.withinBudget(), qPrintable(QString::number(t.stall)));
        QVERIFY(prompter_.messages().empty());
        QCOMPARE(dialog_->statusText(), QStringLiteral("No answer from 198.18.0.18"));
    }

    // Batch Modify on the System page with the wired group selected updates its three clocks
    // one after the other, with the window's own 2-second monitor: three identical images.
    void batchUpdateOfAGroup() {
        search();
        const QString group = QStringLiteral("198.18.0.0 (WIRED:3)");
        QVERIFY(treeItem(group) != nullptr);
        dialog_->deviceTree()->setCurrentItem(treeItem(group));
        showTab(app::PageTab::kSystem);
        firmware::SystemPage* system = dialog_->pages().system;
        const QByteArray file(5 * 512 + 33, 'b');
        QVERIFY(prepareUpdate(*system, file, "198.18.0.10", ""));
        prompter_.clear();
        Timing t;
        QVERIFY(pressAndWait("batchModifyButton", kBatchTimeoutMs, &t));
        report("a batch update of three clocks", t);
        QVERIFY2(t.withinBudget(), qPrintable(QString::number(t.stall)));
        QCOMPARE(prompter_.texts(), QStringList(3, QStringLiteral("Update Successful!"))
                                        << QStringLiteral("3 of 3 clocks updated"));
        for (const char* clock : {"198.18.0.10", "198.18.0.11", "198.18.0.12"}) {
            QFile stored(QString::fromStdString(images_.File(std::string(clock) + ".img")));
            QVERIFY2(stored.open(QIODevice::ReadOnly), clock);
            QCOMPARE(stored.readAll(), file);
        }
        QCOMPARE(dialog_->deviceTree()->currentItem()->text(0),
                 QStringLiteral("198.18.0.12 (SN0012)"));
    }
};

QTEST_MAIN(MainWindowNetworkTest)
#include "MainWindowNetworkTest.moc"
