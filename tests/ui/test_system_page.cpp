// The System page offscreen: its controls, the file chooser, and its update workflow with a
// worker against a clock's TFTP side on the fake network (refusals, the worker handle rules,
// results, "Break", the close-box timer, closing while a worker waits, and the GUI thread's
// responsiveness).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "PageTestSupport.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "protocol/Discovery.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/FakeTftpClock.h"
#include "tests/support/Gate.h"
#include "tests/support/QtTexts.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/Ipv4AddressEdit.h"

using namespace tavlo;
using firmware::SystemPage;
using firmware::SystemPageControls;
using protocol::ClockFamily;
using test::RecordingPrompter;

namespace {

const platform::Ipv4 kClock = platform::MakeIpv4(198, 18, 0, 10);
constexpr char kMac[] = "02-54-56-00-00-0A";
constexpr int kUpdateTimeoutMs = 20000;
const QString kUpdateCaption = QStringLiteral("Update");
const QString kAppCaption = QStringLiteral("TavloAdmin");

struct Fixture {
    test::FakeNetwork net;
    test::FakeTftpClock clock{net, kClock};
    firmware::UpdateState update;
    RecordingPrompter prompter;
    QTemporaryDir dir;
    // Destroyed first: it stops and joins its workers while the rest still exists.
    std::unique_ptr<SystemPage> page = std::make_unique<SystemPage>(firmware::SystemPageContext{
        update, prompter, net,
        [](platform::Ipv4) { return std::optional<platform::MacAddress>(); }});

    const SystemPageControls& c() const { return page->controls(); }

    // Fills the page for an update of a `size`-byte file, as an operator would.
    QByteArray prepare(int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 7 + i / 512) & 0xFF);
        }
        const QString path = dir.filePath(QStringLiteral("clock.bin"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size) {
            qFatal("cannot write %s", qPrintable(path));
        }
        c().updateControl->click();
        c().address->setText(QStringLiteral("198.18.0.10"));
        c().macAddress->setText(QString::fromLatin1(kMac));
        c().firmwareFile->setText(path);
        return bytes;
    }
    bool waitForEnd() {
        QElapsedTimer timer;
        timer.start();
        while (page->updateRunning() && timer.elapsed() < kUpdateTimeoutMs) {
            QTest::qWait(5);
        }
        QCoreApplication::processEvents();  // what the worker posted last
        return !page->updateRunning();
    }
    QStringList captions() const {
        QStringList out;
        for (const auto& m : prompter.messages()) {
            out << m.caption;
        }
        return out;
    }
};

using Images = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Bytes(const QByteArray& bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace

Q_DECLARE_METATYPE(ClockFamily)

class TestSystemPage : public QObject {
    Q_OBJECT

  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (paints_ != nullptr && event->type() == QEvent::Paint) {
            ++*paints_;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    int* paints_ = nullptr;

  private slots:
    void controlsAtCreation() {
        Fixture f;
        const SystemPageControls& c = f.c();
        QCOMPARE(c.userPasswordSetting->text(), QStringLiteral("User Password Setting"));
        QCOMPARE(c.globalPasswordSetting->text(), QStringLiteral("Global Password Setting"));
        QCOMPARE(c.updateControl->text(), QStringLiteral("Update Control"));
        QCOMPARE(c.browse->text(), QStringLiteral("..."));
        QCOMPARE(c.breakButton->text(), QStringLiteral("Break"));
        for (const QRadioButton* radio : {c.userPasswordSetting, c.globalPasswordSetting}) {
            QVERIFY(!radio->isEnabled());
            QVERIFY(!radio->isChecked());
        }
        QVERIFY(c.updateControl->isEnabled());
        QVERIFY(!c.updateControl->isChecked());
        for (const QLineEdit* field : c.passwordFields()) {
            QVERIFY(!field->isEnabled());
            QCOMPARE(field->echoMode(), QLineEdit::Password);
        }
        QVERIFY(c.address->isEnabled());
        QVERIFY(c.address->isBlank());
        for (const QLineEdit* field : {c.macAddress, c.firmwareFile}) {
            QVERIFY(field->isEnabled());
            QVERIFY(field->text().isEmpty());
        }
        QVERIFY(c.browse->isEnabled());
        QVERIFY(!c.breakButton->isEnabled());
        QVERIFY(c.counterLine->text().isEmpty());
        QVERIFY(c.counterLine->alignment().testFlag(Qt::AlignHCenter));
        QVERIFY(c.progressLine->text().isEmpty());

        QStringList labels;
        for (const QLabel* label : f.page->findChildren<QLabel*>()) {
            // The address field's own dots are not labels of the page.
            if (!label->text().isEmpty() && label->text() != QStringLiteral(".")) {
                labels << label->text();
            }
        }
        QCOMPARE(labels, tavlo::test::Texts({"Current Password", "New User Password",
                                             "Confirm New\nUser Password", "Current User Password",
                                             "Current Global Password", "New Global Password",
                                             "Confirm New\nGlobal Password", "MAC Address:"}));
        QCOMPARE(f.page->findChildren<QGroupBox*>().size(), 3);
    }

    void updateControlUnlocksTheUpdateFields() {
        Fixture f;
        const SystemPageControls& c = f.c();
        // As if something had enabled the password fields and locked the update fields.
        for (QLineEdit* field : c.passwordFields()) {
            field->setEnabled(true);
        }
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.address, c.browse, c.macAddress, c.firmwareFile}) {
            w->setEnabled(false);
        }
        c.updateControl->click();
        QVERIFY(c.updateControl->isChecked());
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.address, c.browse, c.macAddress, c.firmwareFile}) {
            QVERIFY(w->isEnabled());
        }
        for (const QLineEdit* field : c.passwordFields()) {
            QVERIFY(!field->isEnabled());
        }
    }

    void fileChooser_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        const QString before = QStringLiteral("/fw/old.bin");
        const QString error = QStringLiteral("Select file error!");
        QTest::newRow("bin") << "/fw/clock.bin"
                             << "/fw/clock.bin" << QString();
        QTest::newRow("hex") << "/fw/clock.hex"
                             << "/fw/clock.hex" << QString();
        QTest::newRow("bin in a folder name") << "/fw.bin/readme.txt"
                                              << "/fw.bin/readme.txt" << QString();
        QTest::newRow("capitals refused") << "/fw/CLOCK.BIN" << before << error;
        QTest::newRow("other extension") << "/fw/clock.img" << before << error;
        QTest::newRow("cancelled") << "" << before << QString();
    }

    void fileChooser() {
        QFETCH(QString, chosen);
        QFETCH(QString, field);
        QFETCH(QString, message);
        Fixture f;
        f.c().firmwareFile->setText(QStringLiteral("/fw/old.bin"));
        int asked = 0;
        f.page->setFileChooser([&](QWidget* parent) {
            ++asked;
            [&]() { QCOMPARE(parent, f.page.get()); }();
            return chosen;
        });
        f.c().browse->click();
        QCOMPARE(asked, 1);
        QCOMPARE(f.c().firmwareFile->text(), field);
        QCOMPARE(f.prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    void systemFileDialogOffersBothFilters() {
        QStringList filters;
        QTimer::singleShot(0, this, [&]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
            dialog->reject();
        });
        QVERIFY(SystemPage::chooseFirmwareFile(nullptr).isEmpty());
        QCOMPARE(filters, tavlo::test::Texts({"*.bin (*.bin)", "*.hex (*.hex)"}));
    }

    void breakSetsTheFlag() {
        Fixture f;
        f.c().breakButton->setEnabled(true);  // the update monitor enables it during a batch
        QVERIFY(!f.update.breakFlag);
        f.c().breakButton->click();
        QVERIFY(f.update.breakFlag);
        f.c().breakButton->click();
        QVERIFY(f.update.breakFlag);
    }

    void macAddressTakesSeventeenCharacters() {
        Fixture f;
        f.page->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.page.get()));
        f.c().macAddress->setFocus();
        QTest::keyClicks(f.c().macAddress, QStringLiteral("00-00-5E-00-53-01-FF"));
        QCOMPARE(f.c().macAddress->text(), QStringLiteral("00-00-5E-00-53-01"));
    }

    // "Update Control" by the clock family (Wi-Fi, wired, unknown) and the batch's
    // kept check; the address unless it is 255.255.255.255; the MAC address when one was found.
    void setUpdateTarget_data() {
        QTest::addColumn<ClockFamily>("family");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("macFound");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("shownAddress");
        QTest::addColumn<QString>("shownMac");
        const QString clock = QStringLiteral("198.18.0.11");
        const QString before = QStringLiteral("198.18.0.10");
        const QString found = QStringLiteral("02-54-56-00-AB-0C");
        const QString kept = QString::fromLatin1(kMac);
        QTest::newRow("wired") << ClockFamily::kWired << false << clock << true << true << false
                               << clock << found;
        QTest::newRow("wired batch")
            << ClockFamily::kWired << true << clock << true << true << true << clock << found;
        QTest::newRow("wifi") << ClockFamily::kWifi << false << clock << true << false << false
                              << clock << found;
        QTest::newRow("wifi batch")
            << ClockFamily::kWifi << true << clock << true << false << false << clock << found;
        QTest::newRow("no family")
            << ClockFamily::kNone << false << clock << true << false << true << clock << found;
        QTest::newRow("no MAC found") << ClockFamily::kWired << false << clock << false << true
                                      << false << clock << QString();
        QTest::newRow("broadcast")
            << ClockFamily::kWired << false << QStringLiteral("255.255.255.255") << true << true
            << false << before << kept;
    }
    void setUpdateTarget() {
        QFETCH(ClockFamily, family);
        QFETCH(bool, keep);
        QFETCH(QString, address);
        QFETCH(bool, macFound);
        QFETCH(bool, enabled);
        QFETCH(bool, checked);
        QFETCH(QString, shownAddress);
        QFETCH(QString, shownMac);
        Fixture f;
        // The page as the clock before left it, "Update Control" chosen but for "no family",
        // where the button is still disabled from an earlier Wi-Fi clock.
        f.c().updateControl->click();
        f.c().address->setText(QStringLiteral("198.18.0.10"));
        f.c().macAddress->setText(QString::fromLatin1(kMac));
        if (family == ClockFamily::kNone) {
            f.page->setUpdateControlState(false, true);
        }
        const std::optional<platform::MacAddress> mac =
            macFound ? std::optional(platform::MacAddress{0x02, 0x54, 0x56, 0x00, 0xAB, 0x0C})
                     : std::nullopt;
        f.page->SetUpdateTarget(
            platform::ParseIpv4(address.toStdString()), mac,
            keep ? firmware::UpdateControlCheck::kKept : firmware::UpdateControlCheck::kCleared,
            family);
        QCOMPARE(f.c().updateControl->isEnabled(), enabled);
        QCOMPARE(f.c().updateControl->isChecked(), checked);
        QCOMPARE(f.c().address->text(), shownAddress);
        QCOMPARE(f.c().macAddress->text(), shownMac);
    }

    void storeRefusals_data() {
        QTest::addColumn<bool>("mode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("message");
        const QString file = QStringLiteral("/fw/clock.bin");
        const QString mac = QString::fromLatin1(kMac);
        QTest::newRow("no mode") << false << file << mac << "Select at least one Mode!";
        QTest::newRow("capital extension")
            << true << "/fw/CLOCK.BIN" << mac << "Select file error!";
        QTest::newRow("no MAC") << true << file << ""
                                << "Please enter a valid MAC address!";
    }
    void storeRefusals() {
        QFETCH(bool, mode);
        QFETCH(QString, file);
        QFETCH(QString, mac);
        QFETCH(QString, message);
        Fixture f;
        f.page->show();
        QVERIFY(QTest::qWaitForWindowActive(f.page.get()));
        f.prepare(700);
        f.page->setUpdateControlState(true, mode);
        f.c().firmwareFile->setText(file);
        f.c().macAddress->setText(mac);
        for (const firmware::StoreFlag flag :
             {firmware::StoreFlag::kFreshStart, firmware::StoreFlag::kPoll}) {
            f.prompter.clear();
            QCOMPARE(f.page->StoreSystemPage(flag), firmware::UpdateStatus::kEndedOrRefused);
            QCOMPARE(f.prompter.texts(), QStringList{message});
            QCOMPARE(f.prompter.messages()[0].caption, kAppCaption);
        }
        QVERIFY(!f.page->updateRunning());
        QVERIFY(f.net.sent().empty());
        QVERIFY(f.c().progressLine->text().isEmpty());
        QCOMPARE(f.c().macAddress->hasFocus(), mac.isEmpty());
    }

    // A fresh start runs a worker to its end; a poll then reports the end once and forgets
    // the worker, and the next poll starts a new one for the clock now in the page.
    void updateRunsToItsEndAndPollsFollowTheHandle() {
        Fixture f;
        const QByteArray file = f.prepare(700);
        f.c().macAddress->setText(QStringLiteral("   "));  // any text passes the page's check
        f.c().macAddress->setText(QString::fromLatin1(kMac));
        f.update.updateCounter = 4;
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QCOMPARE(f.c().progressLine->text(), QStringLiteral("Waiting"));
        QCOMPARE(f.c().counterLine->text(), QStringLiteral("Total Update: 4"));
        QVERIFY(f.waitForEnd());
        QVERIFY(f.clock.images() == Images{Bytes(file)});
        QCOMPARE(f.c().progressLine->text(), QStringLiteral("Block# 2 , Size#700 bytes ( 100 % )"));
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("Update Successful!")});
        const auto& box = f.prompter.messages()[0];
        QCOMPARE(box.caption, kUpdateCaption);
        QVERIFY(box.opened && box.mode == ui::BoxMode::kModeless);
        QCOMPARE(f.update.updateCounter.load(), 5);
        QVERIFY(test::SavePageScreenshot(*f.page, QStringLiteral("system-page-updated.png"),
                                         test::kPageAreaSize));

        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kPoll),
                 firmware::UpdateStatus::kEndedOrRefused);
        QCOMPARE(f.c().counterLine->text(), QStringLiteral("Total Update: 5"));
        QCOMPARE(f.clock.requests(), 1);
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kPoll),
                 firmware::UpdateStatus::kRunning);
        QCOMPARE(f.c().progressLine->text(), QStringLiteral("Waiting"));
        QVERIFY(f.waitForEnd());
        QCOMPARE(f.clock.requests(), 2);
    }

    // While the worker runs a poll only reports; a fresh start forgets it (it runs on) and
    // starts another.
    void pollsReportAndAFreshStartStartsAnother() {
        Fixture f;
        f.prepare(3 * 512 + 100);
        test::Gate gate;
        f.clock.setBeforeAnswer([&gate](std::uint16_t block) {
            if (block == 2) {
                gate.wait();
            }
            return true;
        });
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_VERIFY(gate.reached());
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kPoll),
                 firmware::UpdateStatus::kRunning);
        QCOMPARE(f.clock.requests(), 1);
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_COMPARE(f.clock.requests(), 2);
        gate.open();
        QVERIFY(f.waitForEnd());
        QCOMPARE(f.clock.images().size(), std::size_t{2});
        QCOMPARE(f.update.updateCounter.load(), 2);
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kPoll),
                 firmware::UpdateStatus::kEndedOrRefused);
    }

    // "Break" while block 2 is with the clock, answered No or Yes; and a clock that falls
    // silent. The worker's boxes arrive in order with their captions; the GUI thread never
    // waits for them.
    void breakAndSilence_data() {
        QTest::addColumn<int>("answer");  // -1: no break, 0: No, 1: Yes
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("breakFlag");
        const QString question = QStringLiteral("Do you want to break update?");
        const QString network = QStringLiteral(
            "Network anomalies,the NTP clock without reply!\nThen you need to manually restart "
            "the NTP clock!");
        QTest::newRow("break, No")
            << 0 << false << QStringList{question, QStringLiteral("Update Successful!")}
            << QStringList{kAppCaption, kUpdateCaption} << false;
        QTest::newRow("break, Yes")
            << 1 << false << QStringList{question, network, QStringLiteral("Update False!")}
            << QStringList{kAppCaption, kAppCaption, kUpdateCaption} << true;
        QTest::newRow("silent clock")
            << -1 << true << QStringList{network, QStringLiteral("Update False!")}
            << QStringList{kAppCaption, kUpdateCaption} << false;
    }
    void breakAndSilence() {
        QFETCH(int, answer);
        QFETCH(bool, silent);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, captions);
        QFETCH(bool, breakFlag);
        Fixture f;
        f.prepare(3 * 512 + 100);
        test::Gate gate;
        f.clock.setBeforeAnswer([&gate, silent](std::uint16_t block) {
            if (block == 2) {
                gate.wait();
            }
            return !(silent && block >= 2);
        });
        if (answer >= 0) {
            f.prompter.queueAnswer(answer == 1);
        }
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_VERIFY(gate.reached());
        if (answer >= 0) {
            f.page->setBreakEnabled(true);
            f.c().breakButton->click();
        }
        gate.open();
        QVERIFY(f.waitForEnd());
        QCOMPARE(f.prompter.texts(), texts);
        QCOMPARE(f.captions(), captions);
        QCOMPARE(f.update.breakFlag.load(), breakFlag);
        const bool succeeded = texts.last() == QStringLiteral("Update Successful!");
        QCOMPARE(f.c().progressLine->text().isEmpty(), !succeeded);
        QCOMPARE(f.clock.images().size(), std::size_t{succeeded ? 1u : 0u});
    }

    // The context menu's "fixed wait" makes a block that got no answer go again after a
    // second; without it after the measured round trip (20 ms at least).
    void fixedWaitSetting_data() {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<std::uint64_t>("gap");
        QTest::newRow("measured") << false << std::uint64_t{20};
        QTest::newRow("fixed") << true << std::uint64_t{1000};
    }
    void fixedWaitSetting() {
        QFETCH(bool, fixed);
        QFETCH(std::uint64_t, gap);
        Fixture f;
        const QByteArray file = f.prepare(3 * 512);
        std::atomic<bool> answered{false};  // the first send of block 2 goes unanswered
        f.clock.setBeforeAnswer(
            [&answered](std::uint16_t block) { return block != 2 || answered.exchange(true); });
        QVERIFY(f.page->actions().contains(f.c().fixedWait));
        QCOMPARE(f.page->contextMenuPolicy(), Qt::ActionsContextMenu);
        QVERIFY(!f.c().fixedWait->isChecked());
        f.c().fixedWait->setChecked(fixed);
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QVERIFY(f.waitForEnd());
        QVERIFY(f.clock.images() == Images{Bytes(file)});
        std::vector<std::uint64_t> times;
        for (const auto& d : f.net.sent()) {
            if (firmware::ReadBe16(d.bytes, 0) == 3 && firmware::ReadBe16(d.bytes, 2) == 2) {
                times.push_back(d.timeMs);
            }
        }
        QCOMPARE(times.size(), std::size_t{2});
        QCOMPARE(times[1] - times[0], gap);
    }

    // The close-box timer fires once, 500 ms after each start, and ends only the box titled
    // "Update": the network message waits for the operator.
    void closeBoxTimerEndsOnlyTheUpdateBox() {
        Fixture f;
        f.prepare(2 * 512 + 1);
        f.prompter.holdOpenBoxes(true);
        f.clock.setBeforeAnswer([](std::uint16_t block) { return block < 2; });
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.openCaptions(), QStringList{kAppCaption},
                                  kUpdateTimeoutMs);
        f.page->startCloseBoxTimer();
        QTRY_COMPARE(f.prompter.dismissRequests().size(), std::size_t{1});
        QCOMPARE(f.prompter.openCaptions(), QStringList{kAppCaption});
        QVERIFY(f.page->updateRunning());

        QVERIFY(f.prompter.closeOpen(kAppCaption, true));  // the operator closes it
        QTRY_COMPARE(f.prompter.openCaptions(), QStringList{kUpdateCaption});
        QElapsedTimer timer;
        timer.start();
        f.page->startCloseBoxTimer();
        QTRY_VERIFY(f.prompter.openCaptions().isEmpty());
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= 450 && waited < 1500, qPrintable(QString::number(waited)));
        QVERIFY(f.waitForEnd());
        QTest::qWait(700);  // one shot: nothing more
        QCOMPARE(f.prompter.dismissRequests(),
                 (std::vector<QString>{kUpdateCaption, kUpdateCaption}));
    }

    // Closing while the worker waits for a box, or while it is busy with a slow clock: the
    // page stops and joins it within about a second and no box is left open.
    void stoppingEndsTheWorkerPromptly_data() {
        QTest::addColumn<bool>("boxOpen");
        QTest::newRow("worker waits for its box") << true;
        QTest::newRow("worker sends to a slow clock") << false;
    }
    void stoppingEndsTheWorkerPromptly() {
        QFETCH(bool, boxOpen);
        Fixture f;
        f.prepare(200 * 512);
        f.prompter.holdOpenBoxes(true);
        f.clock.setBeforeAnswer([boxOpen](std::uint16_t block) {
            if (boxOpen) {
                return block < 2;  // silent: the network message waits for the operator
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return true;
        });
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        if (boxOpen) {
            QTRY_COMPARE_WITH_TIMEOUT(f.prompter.openCaptions(), QStringList{kAppCaption},
                                      kUpdateTimeoutMs);
        } else {
            QTest::qWait(100);
        }
        QVERIFY(f.page->updateRunning());
        QElapsedTimer timer;
        timer.start();
        f.page.reset();
        qInfo("stopping the update took %lld ms", timer.elapsed());
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(f.prompter.openCaptions().isEmpty());
        QVERIFY(f.update.breakFlag);
        QCoreApplication::processEvents();  // calls still queued for the page go nowhere
    }

    // A 2 MiB update: a GUI timer every 5 ms never waits more than 50 ms, and the progress
    // line is drawn at its own pace, not once per block.
    void guiThreadKeepsRunningDuringAnUpdate() {
        Fixture f;
        f.page->resize(tavlo::test::kPageAreaSize);
        f.page->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.page.get()));
        constexpr int kBlocks = 4096;
        const QByteArray file = f.prepare(kBlocks * 512 + 7);
        f.clock.setBeforeAnswer([](std::uint16_t block) {
            if (block % 16 == 0) {  // about a second in all
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
            }
            return true;
        });
        int progressPaints = 0;
        f.c().progressLine->installEventFilter(this);
        paints_ = &progressPaints;
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setInterval(5);
        connect(&heartbeat, &QTimer::timeout, this, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        heartbeat.start();
        QCOMPARE(f.page->StoreSystemPage(firmware::StoreFlag::kFreshStart),
                 firmware::UpdateStatus::kRunning);
        QVERIFY(f.waitForEnd());
        const qint64 elapsed = clock.elapsed();
        heartbeat.stop();
        paints_ = nullptr;
        qInfo("2 MiB update in %lld ms: longest GUI gap %lld ms, progress line painted %d times",
              elapsed, longest, progressPaints);
        QVERIFY(f.clock.images() == Images{Bytes(file)});
        QVERIFY2(longest < 50, qPrintable(QString::number(longest)));
        QVERIFY(progressPaints >= 2);
        QVERIFY(progressPaints <= elapsed / 100 + 10);
    }

    void screenshot() {
        Fixture f;
        QVERIFY(test::FitsTabAreaAndIsSaved(*f.page, QStringLiteral("system-page.png")));
    }
};

QTEST_MAIN(TestSystemPage)
#include "test_system_page.moc"
