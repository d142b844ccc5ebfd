// The update monitor offscreen, with a real System page and its workers against three clocks'
// TFTP side on the fake network, and the window around them played by a small fake: batches
// in tree order with the result boxes closed by the close-box timer, "Break" answered Yes and
// No, a single update, and a poll refused while the timer is suspended.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "app/UpdateMonitor.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "protocol/Discovery.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/FakeTftpClock.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/Ipv4AddressEdit.h"

using namespace tavlo;
using app::UpdateMonitor;
using firmware::SystemPage;
using test::RecordingPrompter;

namespace {

constexpr int kClockCount = 3;
constexpr int kUpdateTimeoutMs = 20000;
// Ticks a little later than the close-box timer fires, so that the timer closes a box before
// the next tick starts it again (as with the program's 2000 and 500 ms).
constexpr std::chrono::milliseconds kShortInterval{600};
// Never fires during a test: the test ticks the monitor itself.
constexpr std::chrono::milliseconds kTestTicks = std::chrono::hours(1);
const QString kUpdateCaption = QStringLiteral("Update");
const QString kSuccess = QStringLiteral("Update Successful!");
const QString kBreakMessage = QString::fromLatin1(firmware::kUserBreakMessage);

platform::Ipv4 ClockAddress(int index) {
    return platform::MakeIpv4(198, 18, 0, static_cast<std::uint8_t>(10 + index));
}

// The window around the monitor: the System page, one group of clocks in the tree with one of
// them selected, and the controls the monitor gives back.
class FakeWindow final : public app::UpdateMonitorHost {
  public:
    FakeWindow(SystemPage& page, int selected) : page_(page), selected_(selected) {}

    bool hasNextClock() const override { return selected_ + 1 < kClockCount; }
    int followingClocks() const override { return kClockCount - 1 - selected_; }
    void selectNextClock() override { selections.push_back(++selected_); }
    platform::Ipv4 selectedClockAddress() const override {
        const std::string text = platform::FormatIpv4(ClockAddress(selected_)) + " (SN00" +
                                 std::to_string(selected_) + ")";
        return platform::ParseIpv4(text);
    }
    bool readingSelectedClock() const override { return reading; }
    void aimUpdateAt(platform::Ipv4 address) override {
        page_.controls().address->setText(QString::fromStdString(platform::FormatIpv4(address)));
        page_.controls().macAddress->setText(
            QStringLiteral("02-54-56-00-00-%1")
                .arg(platform::LastOctet(address), 2, 16, QLatin1Char('0'))
                .toUpper());
    }
    void giveControlsBack() override { ++controlsGivenBack; }
    firmware::UpdateStatus StoreSystemPage(firmware::StoreFlag flag) override {
        ++polls;
        return page_.StoreSystemPage(flag);
    }
    bool updateRunning() const override { return page_.updateRunning(); }
    void startCloseBoxTimer() override { page_.startCloseBoxTimer(); }
    void setBreakEnabled(bool enabled) override { page_.setBreakEnabled(enabled); }

    std::vector<int> selections;
    bool reading = false;
    int controlsGivenBack = 0;
    int polls = 0;

  private:
    SystemPage& page_;
    int selected_;
};

struct Fixture {
    // A batch or single update whose first clock is `first`, with a firmware file of `size`
    // bytes in the page.
    Fixture(int first, std::chrono::milliseconds interval, int size = 700)
        : window(*page, first), monitor(window, update, prompter, interval) {
        image = QByteArray(size, '\0');
        for (int i = 0; i < size; ++i) {
            image[i] = static_cast<char>(i * 13);
        }
        const QString path = dir.filePath(QStringLiteral("clock.bin"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != size) {
            qFatal("cannot write %s", qPrintable(path));
        }
        page->controls().updateControl->click();
        page->controls().firmwareFile->setText(path);
        window.aimUpdateAt(ClockAddress(first));
    }

    QPushButton* breakButton() const { return page->controls().breakButton; }
    // The clocks that received the whole file, once each, and the others nothing.
    bool updated(const std::vector<int>& expected) const {
        const std::vector<std::uint8_t> bytes(image.begin(), image.end());
        for (int i = 0; i < kClockCount; ++i) {
            const bool wanted = std::find(expected.begin(), expected.end(), i) != expected.end();
            const auto images = clocks[i]->images();
            if (wanted ? images != decltype(images){bytes} : clocks[i]->requests() != 0) {
                qWarning("clock %d: %d requests, %zu images", i, clocks[i]->requests(),
                         images.size());
                return false;
            }
        }
        return true;
    }

    test::FakeNetwork net;
    std::array<std::unique_ptr<test::FakeTftpClock>, kClockCount> clocks{
        std::make_unique<test::FakeTftpClock>(net, ClockAddress(0)),
        std::make_unique<test::FakeTftpClock>(net, ClockAddress(1)),
        std::make_unique<test::FakeTftpClock>(net, ClockAddress(2))};
    firmware::UpdateState update;
    RecordingPrompter prompter;
    QTemporaryDir dir;
    QByteArray image;
    // Destroyed after the monitor, before what its workers use.
    std::unique_ptr<SystemPage> page = std::make_unique<SystemPage>(firmware::SystemPageContext{
        update, prompter, net,
        [](platform::Ipv4) { return std::optional<platform::MacAddress>(); }});
    FakeWindow window;
    UpdateMonitor monitor;
};

}  // namespace

class UpdateMonitorTest : public QObject {
    Q_OBJECT

  private slots:
    // A batch takes the selected clock and its following siblings in tree order; the result
    // boxes of all but the last clock are closed by the close-box timer, the last one waits
    // for the operator, and the first tick after it was closed gives the controls back.
    void batchRunsOverTheFollowingClocks_data() {
        QTest::addColumn<int>("first");
        QTest::newRow("three clocks") << 0;
        QTest::newRow("started on the last clock") << 2;
    }
    void batchRunsOverTheFollowingClocks() {
        QFETCH(int, first);
        Fixture f(first, kShortInterval);
        f.prompter.holdOpenBoxes(true);
        f.update.updateCounter = 7;  // set to 0 by the start: the batch counts from there
        QVERIFY(f.monitor.startBatch());
        QTRY_COMPARE_WITH_TIMEOUT(f.clocks[kClockCount - 1]->images().size(), std::size_t{1},
                                  kUpdateTimeoutMs);
        QTRY_COMPARE(f.prompter.openCaptions(), QStringList{kUpdateCaption});
        QTest::qWait(2 * kShortInterval.count());  // ticks go by; nothing closes the last box
        QCOMPARE(f.prompter.openCaptions(), QStringList{kUpdateCaption});
        QCOMPARE(f.window.controlsGivenBack, 0);
        QVERIFY(f.breakButton()->isEnabled());

        QVERIFY(f.prompter.closeOpen(kUpdateCaption, true));
        QTRY_COMPARE(f.window.controlsGivenBack, 1);
        QCOMPARE(f.monitor.operation(), UpdateMonitor::Operation::kNone);
        QVERIFY(!f.monitor.ticking());
        QVERIFY(!f.breakButton()->isEnabled());
        std::vector<int> expected;
        for (int i = first; i < kClockCount; ++i) {
            expected.push_back(i);
        }
        QVERIFY(f.updated(expected));
        QCOMPARE(f.window.selections, std::vector<int>(expected.begin() + 1, expected.end()));
        const int count = static_cast<int>(expected.size());
        QCOMPARE(f.prompter.texts(), QStringList(count, kSuccess)
                                         << QStringLiteral("%1 of %1 clocks updated").arg(count));
        QCOMPARE(f.update.updateCounter.load(), static_cast<int>(expected.size()));
    }

    // "Break" while the second of three clocks receives its blocks: Yes fails that update and
    // ends the batch with the break message, the third clock untouched; No lets it go on.
    void breakDuringABatch_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<std::vector<int>>("updated");
        const QString question = QStringLiteral("Do you want to break update?");
        const QString network = QStringLiteral(
            "Network anomalies,the NTP clock without reply!\nThen you need to manually restart "
            "the NTP clock!");
        // The summary counts every clock of the batch and names the one that failed.
        QTest::newRow("Yes")
            << true << QStringList{kSuccess,
                                   question,
                                   network,
                                   QStringLiteral("Update False!"),
                                   kBreakMessage,
                                   QStringLiteral("1 of 3 clocks updated\nFailed: 198.18.0.11")}
            << std::vector<int>{0};
        QTest::newRow("No") << false
                            << QStringList{kSuccess, question, kSuccess, kSuccess,
                                           QStringLiteral("3 of 3 clocks updated")}
                            << std::vector<int>{0, 1, 2};
    }
    void breakDuringABatch() {
        QFETCH(bool, yes);
        QFETCH(QStringList, texts);
        QFETCH(std::vector<int>, updated);
        Fixture f(0, kShortInterval, 3 * 512 + 100);
        test::Gate gate;
        f.clocks[1]->setBeforeAnswer([&gate](std::uint16_t block) {
            if (block == 2) {
                gate.wait();
            }
            return true;
        });
        f.prompter.queueAnswer(yes);
        QVERIFY(f.monitor.startBatch());
        QTRY_VERIFY_WITH_TIMEOUT(gate.reached(), kUpdateTimeoutMs);
        QVERIFY(f.breakButton()->isEnabled());
        f.breakButton()->click();
        gate.open();
        QTRY_COMPARE_WITH_TIMEOUT(f.window.controlsGivenBack, 1, kUpdateTimeoutMs);
        QCOMPARE(f.prompter.texts(), texts);
        QVERIFY(!f.update.breakFlag);
        const std::vector<int> visited = yes ? std::vector<int>{1} : std::vector<int>{1, 2};
        QCOMPARE(f.window.selections, visited);
        // A failed clock leaves no image; the others have theirs.
        for (int i = 0; i < kClockCount; ++i) {
            const bool took = std::find(updated.begin(), updated.end(), i) != updated.end();
            QCOMPARE(f.clocks[i]->images().size(), std::size_t{took ? 1u : 0u});
        }
        QCOMPARE(f.clocks[2]->requests(), yes ? 0 : 1);
    }

    // Modify: no "Break", no close-box timer; the controls come back at the first tick after
    // the worker has ended.
    void singleUpdate() {
        Fixture f(1, kTestTicks);
        f.prompter.holdOpenBoxes(true);
        QVERIFY(f.monitor.startSingle());
        QCOMPARE(f.monitor.operation(), UpdateMonitor::Operation::kSingle);
        QVERIFY(f.monitor.ticking());
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.openCaptions(), QStringList{kUpdateCaption},
                                  kUpdateTimeoutMs);
        f.monitor.onTimer();  // the worker waits for its box
        QTest::qWait(std::chrono::milliseconds(firmware::kCloseBoxDelay).count() + 200);
        QCOMPARE(f.prompter.openCaptions(), QStringList{kUpdateCaption});
        QVERIFY(f.monitor.ticking());
        QVERIFY(!f.breakButton()->isEnabled());

        QVERIFY(f.prompter.closeOpen(kUpdateCaption, true));
        QTRY_VERIFY(!f.page->updateRunning());
        QCOMPARE(f.window.controlsGivenBack, 0);
        f.monitor.onTimer();
        QCOMPARE(f.window.controlsGivenBack, 1);
        QVERIFY(!f.monitor.ticking());
        QVERIFY(!f.breakButton()->isEnabled());
        QCOMPARE(f.prompter.texts(), QStringList{kSuccess});
        QVERIFY(f.updated({1}));
        QVERIFY(f.window.selections.empty());
    }

    // A refused start leaves the monitor idle. A poll refused while the first clock's worker
    // runs shows its box with the timer suspended and counts as an ended worker: the batch
    // moves on. The next clock's worker starts only once the window has read that clock and
    // the first worker has ended, and it is a worker of its own (the refused poll forgot
    // nothing), so the second clock is not skipped.
    void refusedPollDuringABatch() {
        Fixture f(0, kTestTicks, 3 * 512 + 100);
        f.page->controls().macAddress->clear();
        QVERIFY(!f.monitor.startBatch());
        QCOMPARE(f.monitor.operation(), UpdateMonitor::Operation::kNone);
        QVERIFY(!f.monitor.ticking());

        test::Gate gate;
        f.clocks[0]->setBeforeAnswer([&gate](std::uint16_t block) {
            if (block == 2) {
                gate.wait();
            }
            return true;
        });
        f.window.aimUpdateAt(ClockAddress(0));
        QVERIFY(f.monitor.startBatch());
        QTRY_VERIFY_WITH_TIMEOUT(gate.reached(), kUpdateTimeoutMs);
        const QString refusal = QStringLiteral("Please enter a valid MAC address!");
        std::optional<bool> tickingWhileOpen;
        f.prompter.setOnMessage([&](const RecordingPrompter::Message& m) {
            if (m.text == refusal) {
                tickingWhileOpen = f.monitor.ticking();
            }
        });
        f.prompter.clear();
        f.page->controls().macAddress->clear();  // the operator empties it during the batch
        f.monitor.onTimer();
        QCOMPARE(f.prompter.texts(), QStringList{refusal});
        QVERIFY(tickingWhileOpen.has_value() && !*tickingWhileOpen);
        QVERIFY(f.monitor.ticking());
        QCOMPARE(f.window.selections, std::vector<int>{1});
        QCOMPARE(f.page->controls().address->text(), QStringLiteral("198.18.0.11"));

        const int polls = f.window.polls;
        f.window.reading = true;
        f.monitor.onTimer();
        f.window.reading = false;
        f.monitor.onTimer();  // the first clock's worker still runs
        QCOMPARE(f.window.polls, polls);
        f.prompter.holdOpenBoxes(true);
        gate.open();
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.openCaptions(), QStringList{kUpdateCaption},
                                  kUpdateTimeoutMs);
        f.monitor.onTimer();  // the close-box timer ends the first clock's box
        QTRY_VERIFY(!f.page->updateRunning());
        QCOMPARE(f.window.polls, polls);
        f.monitor.onTimer();
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.openCaptions(), QStringList{kUpdateCaption},
                                  kUpdateTimeoutMs);
        QVERIFY(f.updated({0, 1}));
        QCOMPARE(f.window.selections, std::vector<int>{1});
        f.monitor.abandon();
        QVERIFY(!f.monitor.ticking());
    }
};

QTEST_MAIN(UpdateMonitorTest)
#include "UpdateMonitorTest.moc"
