// The main window searching simulated clocks over real sockets, inside the namespace test
// network: the device tree shows exactly the clocks of the searched family, once each, sorted,
// with their serial numbers, under the labelled groups, and never this PC's own echo.
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "firmware/UpdateState.h"
#include "platform/Network.h"
#include "protocol/Exchanges.h"
#include "tests/network/support/TestNetwork.h"
#include "ui/testing/RecordingPrompter.h"

using namespace tavlo;

namespace {

constexpr int kClockAddresses = 8;
constexpr int kSearchTimeoutMs = 60000;

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
        sim_ = net_->StartSimulator({"--wired", "198.18.0.10-12", "--wifi", "198.18.0.13-14",
                                     "--early", "198.18.0.15", "--early-wifi", "198.18.0.16"},
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
};

QTEST_MAIN(MainWindowNetworkTest)
#include "MainWindowNetworkTest.moc"
