// The main window searching simulated clocks over real sockets, inside the namespace test
// network: the device tree shows exactly the clocks of the searched family, once each, sorted,
// with their serial numbers, under the labelled groups, and never this PC's own echo; and the
// System page updates a simulated clock.
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "tests/network/support/TestNetwork.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/testing/RecordingPrompter.h"

using namespace tavlo;

namespace {

constexpr int kClockAddresses = 8;
constexpr int kSearchTimeoutMs = 60000;
constexpr int kUpdateTimeoutMs = 30000;
constexpr int kIntoThePauseMs = 700;
constexpr int kPromptStopMs = 1000;

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
    testnet::TempDir images_;  // what the simulated clocks received over TFTP
    testnet::TempDir source_;  // firmware files
    std::unique_ptr<testnet::TestNetwork> net_;
    std::unique_ptr<testnet::ClockSimulator> sim_;
    std::unique_ptr<platform::Network> network_;
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    ui::testing::RecordingPrompter prompter_;
    std::unique_ptr<app::MainWindow> dialog_;

    void search() {
        dialog_->findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !dialog_->searchRunning() &&
                dialog_->findChild<QPushButton*>(QStringLiteral("searchButton"))->isVisible(),
            kSearchTimeoutMs);
        QCoreApplication::processEvents();
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
        sim_ = net_->StartSimulator(
            {"--wired", "198.18.0.10-12", "--wifi", "198.18.0.13-14", "--early", "198.18.0.15",
             "--early-wifi", "198.18.0.16", "--tftp-store", images_.File("{addr}.img")},
            error);
        QVERIFY2(sim_ != nullptr, error.c_str());
        // From here on this thread, and every thread it starts, lives in the pc namespace.
        const std::string problem = net_->EnterPc();
        QVERIFY2(problem.empty(), problem.c_str());
        network_ = platform::makeSystemNetwork();
        QVERIFY(protocol::StartSockets(*network_));
        dialog_ = std::make_unique<app::MainWindow>(
            app::MainDialogContext{*network_, protocol_, search_, update_, prompter_,
                                   [this] { return protocol::StartSockets(*network_); }});
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

    // The System page loads a file into a simulated clock over real sockets, with the MAC
    // address the operator typed, and reports the result in its "Update" box.
    void systemPageUpdatesASimulatedClock() {
        const QByteArray file(3 * 512 + 77, 'f');
        firmware::SystemPage* system = dialog_->pages().system;
        QVERIFY(prepareUpdate(*system, file, "198.18.0.11", "02-54-56-00-00-0B"));
        prompter_.clear();
        QCOMPARE(system->StoreSystemPage(firmware::kFreshStart), firmware::kUpdateRunning);
        QTRY_VERIFY_WITH_TIMEOUT(!system->updateRunning(), kUpdateTimeoutMs);
        QCoreApplication::processEvents();
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Update Successful!")});
        QCOMPARE(prompter_.messages().front().caption, QStringLiteral("Update"));
        QFile stored(QString::fromStdString(images_.File("198.18.0.11.img")));
        QTRY_VERIFY(stored.exists() && stored.size() == file.size());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), file);
        QCOMPARE(system->StoreSystemPage(firmware::kPoll), firmware::kUpdateEndedOrRefused);
    }

    // Stopping the update while it gives the clock its 3 s after the write request does not
    // wait for the pause to end.
    void stoppingDuringThePauseIsPrompt() {
        firmware::SystemPage* system = dialog_->pages().system;
        QVERIFY(prepareUpdate(*system, QByteArray(512, 'p'), "198.18.0.12", "02-54-56-00-00-0C"));
        QCOMPARE(system->StoreSystemPage(firmware::kFreshStart), firmware::kUpdateRunning);
        QTest::qWait(kIntoThePauseMs);
        QVERIFY(system->updateRunning());
        QElapsedTimer timer;
        timer.start();
        system->StopUpdates();
        qInfo("stopping during the pause took %lld ms", timer.elapsed());
        QVERIFY2(timer.elapsed() < kPromptStopMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!system->updateRunning());
        update_.breakFlag = false;
    }
};

QTEST_MAIN(MainWindowNetworkTest)
#include "MainWindowNetworkTest.moc"
