// "Modify" and "Batch Modify" on the offscreen window, against clocks that answer with the
// simulator's logic on the fake network (and their TFTP side for firmware): what each branch
// sends, what the operator is told and where the focus goes, what a clock holds afterwards;
// the update monitor wired into the window through a batch firmware update; and closing the
// window while a write or an update runs.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "app/TabControl.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "settings/ClockSettings.h"
#include "settings/page/BasicPage.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/FakeTftpClock.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/SimulatedClocks.h"
#include "ui/Ipv4AddressEdit.h"
#include "wifi/WifiSettings.h"
#include "wifi/page/WifiPage.h"

using namespace tavlo;
using app::MainWindow;
using app::PageTab;
using clocksim::ClockKind;
using platform::MakeIpv4;
using protocol::SearchGroup;

namespace {

const platform::Ipv4 kPc = MakeIpv4(198, 18, 0, 1);
constexpr std::array<std::uint8_t, 3> kWiredClocks = {10, 11, 12};
constexpr std::uint8_t kSilentWired = 19;
// Answers reads, never writes.
constexpr std::uint8_t kDeafWired = 18;
constexpr std::array<std::uint8_t, 3> kWifiClocks = {20, 21, 22};
// The last Wi-Fi clock has a user password of its own and an empty global password.
constexpr std::uint8_t kLockedWifi = 22;
constexpr std::array<std::uint8_t, 2> kEarlyClocks = {30, 31};
constexpr qint64 kCloseBudgetMs = 2000;
constexpr int kUpdateTimeoutMs = 20000;
// The monitor ticks a little later than the close-box timer fires (as 2000 and 500 ms do).
constexpr std::chrono::milliseconds kMonitorInterval{600};
constexpr int kFirmwareSize = 3 * 512 + 100;

QString text(const char* s) {
    return QString::fromLatin1(s);
}

QString itemText(std::uint8_t last) {
    return QStringLiteral("198.18.0.%1 (SN00%1)").arg(last);
}

platform::Ipv4 clock(std::uint8_t last) {
    return MakeIpv4(198, 18, 0, last);
}

enum class Family { kNone, kWired, kWifi };
enum class Scope { kModify, kBatch };

const QString kSuccess = text("Setting Successful!");
const QString kInvalidTarget = text("Please select a valid IP!");
const QString kReadFirst = text("Please read the selected clock first!");
const QString kNeedsNetwork =
    text("Please select Wifi_Pattern and enter the network for every clock!");
const QString kUpdateCaption = text("Update");
const QString kUpdateSuccess = text("Update Successful!");

}  // namespace

class ModifyTest;
using Edit = std::function<void(ModifyTest&)>;

Q_DECLARE_METATYPE(Scope)
Q_DECLARE_METATYPE(Family)
Q_DECLARE_METATYPE(PageTab)
Q_DECLARE_METATYPE(Edit)

class ModifyTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::FakeNetwork> net_;
    std::unique_ptr<test::SimulatedClocks> clocks_;
    std::vector<std::unique_ptr<test::FakeTftpClock>> tftp_;
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    test::RecordingPrompter prompter_;
    std::unique_ptr<MainWindow> window_;
    QTemporaryDir dir_;
    QByteArray firmware_;
    // A clock the neighbour table knows no MAC address for (it does not answer ARP).
    std::optional<platform::Ipv4> noArpAnswer_;

    app::DeviceTree* tree() { return window_->deviceTree(); }
    const settings::BasicPageControls& basic() { return window_->pages().basic->controls(); }
    const firmware::SystemPageControls& system() { return window_->pages().system->controls(); }
    const wifi::WifiPageControls& wifiControls() { return window_->pages().wifi->controls(); }
    template <typename T = QWidget>
    T* control(const char* name) {
        return window_->findChild<T*>(text(name));
    }

    // The tree as a search of `family` leaves it, with that family chosen; the wired group
    // ends with the silent clock and the one deaf to writes unless `silentClock` is false.
    void fillTree(Family family, bool silentClock = true) {
        if (family != Family::kNone) {
            control<QRadioButton>(family == Family::kWifi ? "wifiRadio" : "wiredRadio")->click();
        }
        QStringList current;
        if (family == Family::kWifi) {
            for (std::uint8_t last : kWifiClocks) {
                current << itemText(last);
            }
        } else {
            for (std::uint8_t last : kWiredClocks) {
                current << itemText(last);
            }
            if (silentClock) {
                current << itemText(kSilentWired) << itemText(kDeafWired);
            }
        }
        QStringList early;
        for (std::uint8_t last : kEarlyClocks) {
            early << itemText(last);
        }
        tree()->addGroup(SearchGroup::kCurrent, text("198.18.0.0"));
        tree()->finishGroup(SearchGroup::kCurrent, current,
                            QStringLiteral("198.18.0.0 (%1:%2)")
                                .arg(text(family == Family::kWifi ? "WIFI" : "WIRED"))
                                .arg(current.size()));
        tree()->addGroup(SearchGroup::kEarly, text("Early Versions"));
        tree()->finishGroup(SearchGroup::kEarly, early,
                            QStringLiteral("Early Versions: %1").arg(early.size()));
        tree()->expandAll();
    }
    QTreeWidgetItem* item(const QString& textOfItem) { return test::TreeItem(*tree(), textOfItem); }
    // A click on the item, as the operator does: the clock is read into the pages.
    void click(const QString& textOfItem) {
        QTreeWidgetItem* hit = item(textOfItem);
        tree()->scrollToItem(hit);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          tree()->visualItemRect(hit).center());
        QTRY_VERIFY(!window_->jobRunning());
    }
    void showTab(PageTab tab) {
        window_->tabControl()->tabBar()->setCurrentIndex(static_cast<int>(tab));
    }
    // Presses "Modify" or "Batch Modify" and waits for what it started to end.
    void press(Scope scope) {
        control<QPushButton>(scope == Scope::kModify ? "modifyButton" : "batchModifyButton")
            ->click();
        QTRY_VERIFY(!window_->jobRunning());
    }
    bool controlsEnabled() { return test::CommandControlsAre(*window_, true); }
    bool controlsDisabled() { return test::CommandControlsAre(*window_, false); }
    // The System page ready for an update of firmware_, "Update Control" checked.
    void prepareFirmware() {
        system().updateControl->click();
        system().firmwareFile->setText(dir_.filePath(text("clock.bin")));
    }
    // The clocks of kWiredClocks (by index) that received the file once; the others have no
    // image.
    bool updated(const std::vector<int>& expected) const {
        const std::vector<std::uint8_t> bytes(firmware_.begin(), firmware_.end());
        for (int i = 0; i < static_cast<int>(tftp_.size()); ++i) {
            const bool wanted = std::find(expected.begin(), expected.end(), i) != expected.end();
            const auto images = tftp_[i]->images();
            if (images != (wanted ? decltype(images){bytes} : decltype(images){})) {
                qWarning("clock %d: %d requests, %zu images", i, tftp_[i]->requests(),
                         images.size());
                return false;
            }
        }
        return true;
    }

  private slots:
    void initTestCase() {
        firmware_.resize(kFirmwareSize);
        for (int i = 0; i < kFirmwareSize; ++i) {
            firmware_[i] = static_cast<char>(i * 7);
        }
        QFile file(dir_.filePath(text("clock.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(firmware_), firmware_.size());
    }

    void init() {
        net_ = std::make_unique<test::FakeNetwork>();
        net_->setLocalAddresses({kPc});
        clocks_ = std::make_unique<test::SimulatedClocks>(*net_);
        for (std::uint8_t last : kWiredClocks) {
            clocks_->add(ClockKind::kWired, clock(last));
            tftp_.push_back(std::make_unique<test::FakeTftpClock>(*net_, clock(last)));
        }
        clocks_->add(ClockKind::kWired, clock(kSilentWired),
                     [](clocksim::SimClock& c) { c.faults.silent = true; });
        clocks_->add(ClockKind::kWired, clock(kDeafWired), [](clocksim::SimClock& c) {
            c.faults.silent = true;
            c.faults.appliesTo = clocksim::kWriteRequests;
        });
        for (std::uint8_t last : kWifiClocks) {
            clocks_->add(ClockKind::kWifi, clock(last), [last](clocksim::SimClock& c) {
                if (last == kLockedWifi) {
                    settings::ClockSettings(c.record).setUserPassword("secret");
                    settings::ClockSettings(c.record).setGlobalPassword("");
                }
            });
        }
        for (std::uint8_t last : kEarlyClocks) {
            clocks_->add(ClockKind::kEarly, clock(last));
        }
        protocol_ = {};
        protocol_.LocalAddressList = {kPc};
        search_.WifiFamilySelected = 0;
        search_.WiredFamilySelected = 0;
        update_.breakFlag = false;
        prompter_.clear();
        prompter_.holdOpenBoxes(false);
        noArpAnswer_.reset();
        app::MainDialogContext context{*net_,
                                       protocol_,
                                       search_,
                                       update_,
                                       prompter_,
                                       [] { return true; },
                                       [this](platform::Ipv4 address) {
                                           return address == noArpAnswer_ ? std::nullopt
                                                                          : clocks_->macOf(address);
                                       }};
        context.updateMonitorInterval = kMonitorInterval;
        window_ = std::make_unique<MainWindow>(std::move(context));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        tftp_.clear();
        clocks_.reset();
        net_.reset();
    }

    // On a PC with two adapters, Batch Modify broadcasts on the one where the search heard
    // the clocks, not on the office network beside it.
    void batchBroadcastsWhereTheSearchFoundTheClocks() {
        const platform::Ipv4 mask = MakeIpv4(255, 255, 255, 0);
        net_->setInterfaces(
            {{"office", 2, MakeIpv4(192, 168, 1, 2), mask, MakeIpv4(192, 168, 1, 255), false},
             {"clocks", 3, kPc, mask, MakeIpv4(198, 18, 0, 255), false}});
        control<QPushButton>("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            tree()->topLevelItemCount() == 2 && !window_->searchRunning() && controlsEnabled(),
            10000);
        click(itemText(kWiredClocks[0]));
        net_->clearSent();
        press(Scope::kBatch);
        const auto sent = net_->sent();
        QVERIFY(!sent.empty());
        for (const auto& datagram : sent) {
            QCOMPARE(datagram.interfaceIndex, 3u);
        }
    }

    // Every branch of both buttons with the Basic or WIFI page in front, and the System page
    // without "Update Control": what the operator is told, how much is sent, where the focus
    // goes, and what the clock then holds.
    void writeBranches_data() {
        QTest::addColumn<Scope>("scope");
        QTest::addColumn<Family>("family");
        QTest::addColumn<QString>("selected");    // clicked and read first; empty: nothing
        QTest::addColumn<QString>("reselected");  // then selected without a read
        QTest::addColumn<PageTab>("tab");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("datagrams");   // sent by the button; -1: some
        QTest::addColumn<QString>("status");  // empty: "Showing" the clock read
        // What the selected clock's text display shows when read again; empty: not read.
        QTest::addColumn<QString>("readBack");
        const Edit none = [](ModifyTest&) {};
        const Edit lobby = [](ModifyTest& t) { t.basic().displayText->setText(text("LOBBY")); };
        const Edit dynamicIp = [](ModifyTest& t) { t.basic().dynamicIp->click(); };
        const Edit staticIp = [](ModifyTest& t) { t.basic().staticIp->click(); };
        // A network for every Wi-Fi clock.
        const Edit network = [](ModifyTest& t) {
            const wifi::WifiPageControls& w = t.wifiControls();
            w.wifiPattern->click();
            w.ssid->setText(text("Floor2"));
            w.password->setText(text("pass1234"));
        };
        const Edit badGateway = [](ModifyTest& t) {
            t.basic().staticIp->click();
            t.basic().gateway->setText(text("0.0.0.0"));
        };
        const QString wired = itemText(kWiredClocks[0]);
        const QString wifi = itemText(kWifiClocks[0]);
        const QString locked = itemText(kLockedWifi);
        const QString early = itemText(kEarlyClocks[0]);
        const QStringList nothing;
        const QString noStatus;
        const QString lobbyText = text("LOBBY");
        const Scope modify = Scope::kModify;
        const Scope batch = Scope::kBatch;

        // Modify: one wired exchange of eight chunks, one Wi-Fi frame, one command frame.
        QTest::newRow("Modify Basic wired")
            << modify << Family::kWired << wired << QString() << PageTab::kBasic << lobby
            << QStringList{kSuccess} << int{protocol::kChunksPerFrame} << noStatus << lobbyText;
        QTest::newRow("Modify WIFI wired")
            << modify << Family::kWired << wired << QString() << PageTab::kWifi << none
            << QStringList{kSuccess} << -1 << noStatus << QString();
        QTest::newRow("Modify Basic Wi-Fi")
            << modify << Family::kWifi << wifi << QString() << PageTab::kBasic << lobby
            << QStringList{kSuccess} << 1 << noStatus << lobbyText;
        QTest::newRow("Modify WIFI Wi-Fi, no password check")
            << modify << Family::kWifi << locked << QString() << PageTab::kWifi << none
            << QStringList{kSuccess} << 1 << noStatus << QString();
        QTest::newRow("Modify Basic early")
            << modify << Family::kWired << early << QString() << PageTab::kBasic << lobby
            << QStringList{kSuccess} << 1 << noStatus << QString();
        QTest::newRow("Modify WIFI early does nothing")
            << modify << Family::kWired << early << QString() << PageTab::kWifi << none << nothing
            << 0 << noStatus << QString();
        QTest::newRow("Modify System early does nothing")
            << modify << Family::kWired << early << QString() << PageTab::kSystem << none << nothing
            << 0 << noStatus << QString();
        QTest::newRow("Modify wrong user password")
            << modify << Family::kWifi << locked << QString() << PageTab::kBasic << none
            << QStringList{text("Please enter the correct User Password!")} << 0 << noStatus
            << QString();
        QTest::newRow("Modify store refusal")
            << modify << Family::kWired << wired << QString() << PageTab::kBasic << badGateway
            << QStringList{text("Invalid Gateway IP address,please enter again")} << 0 << noStatus
            << QString();
        QTest::newRow("Modify group label")
            << modify << Family::kWired << wired << text("198.18.0.0 (WIRED:5)") << PageTab::kWifi
            << none << QStringList{kInvalidTarget} << 0 << noStatus << QString();
        QTest::newRow("Modify Early Versions label")
            << modify << Family::kWired << wired << text("Early Versions: 2") << PageTab::kWifi
            << none << QStringList{kInvalidTarget} << 0 << noStatus << QString();
        QTest::newRow("Modify nothing selected")
            << modify << Family::kWired << QString() << QString() << PageTab::kWifi << none
            << QStringList{kInvalidTarget} << 0 << noStatus << QString();
        // Modify writes only to the clock the pages were filled from.
        QTest::newRow("Modify another clock than the pages show")
            << modify << Family::kWired << wired << itemText(kWiredClocks[1]) << PageTab::kBasic
            << lobby << QStringList{kReadFirst} << 0 << noStatus << QString();
        QTest::newRow("Modify a clock whose read got no answer")
            << modify << Family::kWired << itemText(kSilentWired) << QString() << PageTab::kWifi
            << none << QStringList{kReadFirst} << 0 << text("No answer from 198.18.0.19")
            << QString();
        // Five silent exchanges, 500 ms apart; no box, the status line says so.
        QTest::newRow("Modify a clock deaf to writes")
            << modify << Family::kWired << itemText(kDeafWired) << QString() << PageTab::kWifi
            << none << nothing << 5 * int{protocol::kChunksPerFrame}
            << text("No answer from 198.18.0.18") << QString();
        // The group label gives the family, whatever the radio buttons say.
        QTest::newRow("Modify without a family radio")
            << modify << Family::kNone << wired << QString() << PageTab::kBasic << lobby
            << QStringList{kSuccess} << int{protocol::kChunksPerFrame} << noStatus << lobbyText;
        QTest::newRow("Modify System without Update Control")
            << modify << Family::kWired << wired << QString() << PageTab::kSystem << none
            << QStringList{text("Select at least one Mode!")} << 0 << noStatus << QString();

        // Batch Modify: one broadcast; the count of answers when positive.
        QTest::newRow("Batch Basic wired")
            << batch << Family::kWired << wired << QString() << PageTab::kBasic << lobby
            << QStringList{text("3 clock have been setting successfully!")} << -1 << noStatus
            << lobbyText;
        QTest::newRow("Batch WIFI Wi-Fi, empty global password")
            << batch << Family::kWifi << locked << QString() << PageTab::kWifi << network
            << QStringList{text("3 clock have been setting successfully!")} << 1 << noStatus
            << QString();
        QTest::newRow("Batch WIFI Wi-Fi, wrong global password")
            << batch << Family::kWifi << wifi << QString() << PageTab::kWifi << network
            << QStringList{text("Please enter the correct Global Password!")} << 0 << noStatus
            << QString();
        QTest::newRow("Batch WIFI Wi-Fi without the network")
            << batch << Family::kWifi << locked << QString() << PageTab::kWifi << none
            << QStringList{kNeedsNetwork} << 0 << noStatus << QString();
        QTest::newRow("Batch Basic early, static IP")
            << batch << Family::kWired << early << QString() << PageTab::kBasic << staticIp
            << QStringList{text("This version is only for Batch Modify using dynamic IP "
                                "configuration!\nPlease select dynamic IP on the \"Clock IP "
                                "Setting\"Group.")}
            << 0 << noStatus << QString();
        QTest::newRow("Batch Basic early, dynamic IP")
            << batch << Family::kWired << early << QString() << PageTab::kBasic << dynamicIp
            << QStringList{text("2 clock have been setting successfully!")} << 1 << noStatus
            << QString();
        QTest::newRow("Batch WIFI early does nothing")
            << batch << Family::kWired << early << QString() << PageTab::kWifi << none << nothing
            << 0 << noStatus << QString();
        QTest::newRow("Batch System without Update Control")
            << batch << Family::kWired << wired << QString() << PageTab::kSystem << none
            << QStringList{text("Select at least one Mode!")} << 0 << noStatus << QString();
        // A batch firmware update needs a clock to start at.
        QTest::newRow("Batch firmware on Early Versions")
            << batch << Family::kWired << wired << text("Early Versions: 2") << PageTab::kSystem
            << Edit([](ModifyTest& t) { t.prepareFirmware(); }) << QStringList{kInvalidTarget} << 0
            << noStatus << QString();
        QTest::newRow("Batch firmware on an empty group")
            << batch << Family::kWired << wired << text("198.18.1.0 (WIRED:0)") << PageTab::kSystem
            << Edit([](ModifyTest& t) { t.prepareFirmware(); }) << QStringList{kInvalidTarget} << 0
            << noStatus << QString();
    }
    void writeBranches() {
        QFETCH(Scope, scope);
        QFETCH(Family, family);
        QFETCH(QString, selected);
        QFETCH(QString, reselected);
        QFETCH(PageTab, tab);
        QFETCH(Edit, edit);
        QFETCH(QStringList, messages);
        QFETCH(int, datagrams);
        QFETCH(QString, status);
        QFETCH(QString, readBack);
        fillTree(family);
        tree()->addTopLevelItem(new QTreeWidgetItem(QStringList{text("198.18.1.0 (WIRED:0)")}));
        if (!selected.isEmpty()) {
            click(selected);
        }
        if (!reselected.isEmpty()) {
            tree()->setCurrentItem(item(reselected));  // no read: the last click was on an item
        }
        QCOMPARE(tree()->selectedItems().size(), selected.isEmpty() ? 0 : 1);
        showTab(tab);
        edit(*this);
        prompter_.clear();
        net_->clearSent();
        bool waitCursorOverABox = false;
        prompter_.setOnMessage([&](const test::RecordingPrompter::Message&) {
            waitCursorOverABox |= QApplication::overrideCursor() != nullptr;
        });

        press(scope);
        prompter_.setOnMessage({});
        QVERIFY(!waitCursorOverABox);

        QCOMPARE(prompter_.texts(), messages);
        // A batch's count box unfolds the clocks that acknowledged, one address a line.
        if (scope == Scope::kBatch && messages.size() == 1 &&
            messages.front().endsWith(text("setting successfully!"))) {
            const QStringList clocks =
                prompter_.messages().front().details.split(QLatin1Char('\n'));
            QCOMPARE(clocks.size(), messages.front().section(QLatin1Char(' '), 0, 0).toInt());
            for (const QString& clock : clocks) {
                QVERIFY2(clock.startsWith(text("198.18.0.")), qPrintable(clock));
            }
        }
        if (datagrams >= 0) {
            QCOMPARE(static_cast<int>(net_->sent().size()), datagrams);
        } else {
            QVERIFY(!net_->sent().empty());
        }
        for (const auto& sent : net_->sent()) {
            QCOMPARE(sent.broadcast, scope == Scope::kBatch);
        }
        QCOMPARE(window_->statusText(),
                 !status.isEmpty() ? status
                 : selected.isEmpty()
                     ? QString()
                     : text("Showing ") + selected.section(QLatin1Char(' '), 0, 0));
        QVERIFY(controlsEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(window_->updateMonitor().operation() == app::UpdateMonitor::Operation::kNone);
        if (QTest::currentDataTag() == QByteArrayLiteral("Modify store refusal")) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr &&
                    (focus == basic().gateway || basic().gateway->isAncestorOf(focus)));
        }
        // What the clock holds now, read back as the operator would.
        if (!readBack.isEmpty()) {
            basic().displayText->clear();
            click(selected);
            QCOMPARE(basic().displayText->text(), readBack);
        }
    }

    // The WIFI page writes back what the operator left alone as the clock's read gave it: a new
    // password alone keeps the association, a new SSID alone keeps the password. Batch Modify
    // carries nothing of the clock read: an open network goes out without a password.
    void wifiWritesKeepWhatTheOperatorLeftAlone() {
        fillTree(Family::kWifi);
        click(itemText(kLockedWifi));
        showTab(PageTab::kWifi);
        const wifi::WifiPageControls& w = window_->pages().wifi->controls();
        QCOMPARE(w.password->placeholderText(), text("unchanged"));
        const auto written = [this] {
            protocol::SettingsFrame frame{};
            const std::vector<std::uint8_t> bytes = net_->sent().back().bytes;
            std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
            return frame;
        };
        const struct {
            Scope scope;
            Edit edit;
            const char* ssid;
            std::uint8_t cipher;
            std::uint8_t auth;
            const char* password;
        } cases[] = {
            {Scope::kModify, [](ModifyTest& t) { t.wifiControls().password->setText(text("new")); },
             "ClockNet", 1, 5, "new"},
            {Scope::kModify,
             [](ModifyTest& t) {
                 t.wifiControls().wifiPattern->click();
                 t.wifiControls().ssid->setText(text("Hall"));
             },
             "Hall", 1, 5, "new"},  // the password the clock took before
            {Scope::kBatch,
             [](ModifyTest& t) {
                 t.wifiControls().wifiPattern->click();
                 t.wifiControls().ssid->setText(text("Hall"));
                 t.wifiControls().auth->setCurrentText(text("NONE"));
             },
             "Hall", 1, 0, ""},
        };
        for (const auto& c : cases) {
            click(itemText(kLockedWifi));
            c.edit(*this);
            prompter_.clear();
            net_->clearSent();
            press(c.scope);
            QCOMPARE(prompter_.texts(),
                     QStringList{c.scope == Scope::kModify
                                     ? kSuccess
                                     : text("3 clock have been setting successfully!")});
            const protocol::SettingsFrame frame = written();
            const wifi::ConstWifiSettings sent(frame);
            QCOMPARE(sent.ssid(), std::string(c.ssid));
            QCOMPARE(sent.cipherCode(), c.cipher);
            QCOMPARE(sent.authenticationCode(), c.auth);
            QCOMPARE(sent.password(), std::string(c.password));
            QCOMPARE(sent.passwordLength(), std::strlen(c.password));
        }
    }

    // Batch Modify on the System page with a group selected: the group's first clock is
    // selected and the batch goes over the group in tree order. The "Update" boxes of the first
    // two clocks are closed by the close-box timer, the last one waits for the operator; the
    // controls come back at the first tick after it was closed. With "Break" pressed while the
    // second clock takes its blocks, Yes fails that update and ends the batch with the break
    // message, the third clock untouched; No lets the batch go on. One box sums the batch up.
    // The batch's own selection of the next clock reads nothing into the pages. A clock whose
    // MAC address nobody knows is that clock's failure: nothing is sent to it (never a request
    // named by the MAC address of the clock before), and the batch goes on.
    void batchFirmwareUpdate_data() {
        QTest::addColumn<bool>("noMacForSecond");
        QTest::addColumn<bool>("holdBoxes");
        QTest::addColumn<std::optional<bool>>("breakAnswer");
        QTest::addColumn<std::vector<int>>("updatedClocks");
        QTest::addColumn<QStringList>("messages");
        const QString question = text("Do you want to break update?");
        const QString network = text(
            "Network anomalies,the NTP clock without reply!\nThen you need to manually restart "
            "the NTP clock!");
        const QString allThree = text("3 of 3 clocks updated");
        QTest::newRow("three clocks, the last box left for the operator")
            << false << true << std::optional<bool>() << std::vector<int>{0, 1, 2}
            << QStringList{kUpdateSuccess, kUpdateSuccess, kUpdateSuccess, allThree};
        QTest::newRow("break answered Yes")
            << false << false << std::optional<bool>(true) << std::vector<int>{0}
            << QStringList{kUpdateSuccess,
                           question,
                           network,
                           text("Update False!"),
                           text(firmware::kUserBreakMessage),
                           text("1 of 3 clocks updated\nFailed: 198.18.0.11")};
        QTest::newRow("break answered No")
            << false << false << std::optional<bool>(false) << std::vector<int>{0, 1, 2}
            << QStringList{kUpdateSuccess, question, kUpdateSuccess, kUpdateSuccess, allThree};
        QTest::newRow("no MAC address known for the second clock")
            << true << false << std::optional<bool>() << std::vector<int>{0, 2}
            << QStringList{kUpdateSuccess,
                           text("Update False!\nNo MAC address known for 198.18.0.11 (no answer "
                                "to ARP)"),
                           kUpdateSuccess, text("2 of 3 clocks updated\nFailed: 198.18.0.11")};
    }
    void batchFirmwareUpdate() {
        QFETCH(bool, noMacForSecond);
        QFETCH(bool, holdBoxes);
        QFETCH(std::optional<bool>, breakAnswer);
        QFETCH(std::vector<int>, updatedClocks);
        QFETCH(QStringList, messages);
        fillTree(Family::kWired, false);
        test::Gate gate;
        if (breakAnswer) {
            tftp_[1]->setBeforeAnswer([&gate](std::uint16_t block) {
                if (block == 2) {
                    gate.wait();
                }
                return true;
            });
        }
        click(text("198.18.0.0 (WIRED:3)"));
        showTab(PageTab::kSystem);
        prepareFirmware();
        if (noMacForSecond) {
            noArpAnswer_ = clock(kWiredClocks[1]);
        }
        prompter_.clear();
        prompter_.holdOpenBoxes(holdBoxes);
        if (breakAnswer) {
            prompter_.queueAnswer(*breakAnswer);
        }
        update_.updateCounter = 5;

        control<QPushButton>("batchModifyButton")->click();
        QCOMPARE(tree()->currentItem()->text(0), itemText(kWiredClocks[0]));
        QVERIFY(controlsDisabled());
        if (breakAnswer) {
            QTRY_VERIFY_WITH_TIMEOUT(gate.reached(), kUpdateTimeoutMs);
            QVERIFY(system().breakButton->isEnabled());
            system().breakButton->click();
            gate.open();
        }
        if (holdBoxes) {
            QTRY_COMPARE_WITH_TIMEOUT(tftp_[2]->images().size(), std::size_t{1}, kUpdateTimeoutMs);
            QTRY_COMPARE(prompter_.openCaptions(), QStringList{kUpdateCaption});
            QTest::qWait(2 * kMonitorInterval.count());  // nothing closes the last box
            QCOMPARE(prompter_.openCaptions(), QStringList{kUpdateCaption});
            QVERIFY(controlsDisabled());
            QVERIFY(system().updateControl->isChecked());
            QVERIFY(prompter_.closeOpen(kUpdateCaption, true));
        }
        QTRY_VERIFY_WITH_TIMEOUT(controlsEnabled(), kUpdateTimeoutMs);

        QCOMPARE(window_->updateMonitor().operation(), app::UpdateMonitor::Operation::kNone);
        QCOMPARE(prompter_.texts(), messages);
        QVERIFY(updated(updatedClocks));
        QCOMPARE(tftp_[1]->requests(), noMacForSecond ? 0 : 1);
        QCOMPARE(tftp_[2]->requests(), breakAnswer == std::optional<bool>(true) ? 0 : 1);
        QCOMPARE(update_.updateCounter.load(), static_cast<int>(updatedClocks.size()));
        QVERIFY(!update_.breakFlag);
        QVERIFY(!system().breakButton->isEnabled());
        QVERIFY(system().updateControl->isChecked());
        const std::uint8_t last = kWiredClocks[updatedClocks.size() == 1 ? 1 : 2];
        QCOMPARE(tree()->currentItem()->text(0), itemText(last));
        QCOMPARE(system().address->text(),
                 QString::fromStdString(platform::FormatIpv4(clock(last))));
        QVERIFY(basic().serialNumber->text().isEmpty());
    }

    // Modify on the System page updates the clock it names; no "Break", the tree keeps its
    // selection, and the controls come back once the worker has ended. A clock read after
    // another whose MAC address nobody knows shows no MAC address and is sent nothing.
    void singleFirmwareUpdate_data() {
        QTest::addColumn<bool>("noMac");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("MAC address known") << false << QStringList{kUpdateSuccess};
        QTest::newRow("no MAC address known")
            << true
            << QStringList{text("Update False!\nNo MAC address known for 198.18.0.11 (no answer to "
                                "ARP)")};
    }
    void singleFirmwareUpdate() {
        QFETCH(bool, noMac);
        QFETCH(QStringList, messages);
        fillTree(Family::kWired);
        click(itemText(kWiredClocks[0]));
        if (noMac) {
            noArpAnswer_ = clock(kWiredClocks[1]);
        }
        click(itemText(kWiredClocks[1]));
        QCOMPARE(system().macAddress->text().isEmpty(), noMac);
        showTab(PageTab::kSystem);
        prepareFirmware();
        prompter_.clear();
        control<QPushButton>("modifyButton")->click();
        QCOMPARE(window_->updateMonitor().operation(), app::UpdateMonitor::Operation::kSingle);
        QVERIFY(controlsDisabled());
        QTRY_VERIFY_WITH_TIMEOUT(controlsEnabled(), kUpdateTimeoutMs);
        QCOMPARE(prompter_.texts(), messages);
        QCOMPARE(tftp_[1]->requests(), noMac ? 0 : 1);
        QVERIFY(updated(noMac ? std::vector<int>{} : std::vector<int>{1}));
        QVERIFY(!system().breakButton->isEnabled());
        QCOMPARE(tree()->currentItem()->text(0), itemText(kWiredClocks[1]));
    }

    // Closing the window while a write or a batch update runs stops it within about 2 s;
    // nothing of it reaches the window or the clocks afterwards. An update asks first; a write
    // does not.
    void closingStopsWhatRuns_data() {
        QTest::addColumn<bool>("update");
        QTest::newRow("a write to a clock deaf to writes") << false;
        QTest::newRow("a batch update") << true;
    }
    void closingStopsWhatRuns() {
        QFETCH(bool, update);
        fillTree(Family::kWired);
        net_->onSend([](const test::SentDatagram&, test::FakeNetwork&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
        if (update) {
            // The clock stops answering at block 2, so the transfer is surely still running
            // when the window closes, however the test machine is loaded.
            tftp_[0]->setBeforeAnswer([](std::uint16_t block) { return block < 2; });
            click(itemText(kWiredClocks[0]));
            showTab(PageTab::kSystem);
            prepareFirmware();
        } else {
            click(itemText(kDeafWired));
            showTab(PageTab::kWifi);
        }
        net_->clearSent();
        prompter_.clear();
        prompter_.queueAnswer(true);
        control<QPushButton>(update ? "batchModifyButton" : "modifyButton")->click();
        QTRY_VERIFY(net_->sent().size() > 2);
        QElapsedTimer timer;
        timer.start();
        window_->reject();
        QCOMPARE(prompter_.texts(),
                 update ? QStringList{text("A firmware update is running. Stop it and close?")}
                        : QStringList{});
        qInfo("closing the window during %s took %lld ms", QTest::currentDataTag(),
              timer.elapsed());
        QVERIFY2(timer.elapsed() < kCloseBudgetMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!window_->jobRunning());
        QVERIFY(!window_->pages().system->updateRunning());
        QVERIFY(!window_->updateMonitor().ticking());
        QVERIFY(!update_.breakFlag);
        const std::size_t sent = net_->sent().size();
        window_.reset();
        QTest::qWait(2 * kMonitorInterval.count());
        QCOMPARE(net_->sent().size(), sent);
        QVERIFY(tftp_[0]->images().empty());
    }
};

QTEST_MAIN(ModifyTest)
#include "ModifyTest.moc"
