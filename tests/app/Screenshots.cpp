// tavlo-screenshots: renders the login dialog, the main window on each tab (and enlarged, and
// at its smallest), the device tree after searches, the pages after reading a wired, an early
// and a Wi-Fi clock, the System page during and after a batch firmware update of the wired
// group with the "Update" result box, and the About box to PNG files, without a display
// (QT_QPA_PLATFORM=offscreen).
//
//   tavlo-screenshots OUTPUT_DIR [--network fake|system]
//
// "fake" (the default) finds and reads clocks that answer with the simulator's logic on the
// in-memory network; "system" goes over the real sockets, meant to run inside the test
// network's pc namespace with tavlo-clocksim's clocks beside it (scripts/screenshots starts
// them at the same addresses: wired 198.18.0.10-12, Wi-Fi .13-14, early .15, early Wi-Fi .16;
// the wired clocks also take firmware over TFTP).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "app/AppIcon.h"
#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "app/TabControl.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "login/LoginDialog.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/FakeTftpClock.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/SimulatedClocks.h"
#include "ui/ProgramName.h"
#include "ui/QtPrompter.h"

namespace {

using namespace tavlo;
using clocksim::ClockKind;
using platform::MakeIpv4;

constexpr int kSearchTimeoutMs = 120000;
constexpr int kReadTimeoutMs = 30000;
// An address in the test network without a clock.
constexpr char kNoClock[] = "198.18.0.17";
constexpr int kPollMs = 20;
constexpr double kEnlargement = 1.3;
constexpr QSize kTooSmall(620, 420);
constexpr int kUpdateTimeoutMs = 120000;
// The firmware file of the update pictures: large enough that the transfer is still under way
// when the picture is taken; the clocks of the in-memory network take a block in this time.
constexpr qint64 kFirmwareBytes = 4 * 1024 * 1024;
constexpr std::chrono::microseconds kFakeBlockTime{200};
// The update monitor looks at the update this often (the program's 2 s only make it slower).
constexpr std::chrono::milliseconds kMonitorInterval{600};
const QString kProgressMark = QStringLiteral("Block#");

// The clocks scripts/screenshots starts in the test network, on the in-memory network.
struct FakeClocks {
    test::FakeNetwork network;
    test::SimulatedClocks clocks{network};
    std::vector<std::unique_ptr<test::FakeTftpClock>> firmware;

    FakeClocks() {
        network.setLocalAddresses({MakeIpv4(198, 18, 0, 1)});
        for (std::uint8_t last = 10; last <= 12; ++last) {
            clocks.add(ClockKind::kWired, MakeIpv4(198, 18, 0, last));
            firmware.push_back(
                std::make_unique<test::FakeTftpClock>(network, MakeIpv4(198, 18, 0, last)));
            firmware.back()->setBeforeAnswer([](std::uint16_t) {
                std::this_thread::sleep_for(kFakeBlockTime);
                return true;
            });
        }
        clocks.add(ClockKind::kWifi, MakeIpv4(198, 18, 0, 13));
        clocks.add(ClockKind::kWifi, MakeIpv4(198, 18, 0, 14));
        clocks.add(ClockKind::kEarly, MakeIpv4(198, 18, 0, 15));
        clocks.add(ClockKind::kEarlyWifi, MakeIpv4(198, 18, 0, 16));
    }
};

// The boxes of the program go to a recorder, except, while `realUpdateBoxes` holds, the
// firmware update's boxes, which open as the real message boxes so that they can be pictured.
class PictureBoxes final : public ui::Prompter {
  public:
    using Prompter::askYesNo;
    using Prompter::inform;
    void inform(const QString& text, const QString& caption) override {
        recorder.inform(text, caption);
    }
    using Prompter::informWithDetails;
    void informWithDetails(const QString& text, const QString& details,
                           const QString& caption) override {
        recorder.informWithDetails(text, details, caption);
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        return recorder.askYesNo(text, caption);
    }
    void open(ui::BoxKind kind, const QString& text, const QString& caption, ui::BoxMode mode,
              Closed closed) override {
        if (realUpdateBoxes) {
            real.open(kind, text, caption, mode, std::move(closed));
        } else {
            recorder.open(kind, text, caption, mode, std::move(closed));
        }
    }
    bool dismissOpen(const QString& caption) override {
        return real.dismissOpen(caption) || recorder.dismissOpen(caption);
    }

    test::RecordingPrompter recorder;
    ui::QtPrompter real;
    bool realUpdateBoxes = false;
};

bool save(QWidget& widget, const QDir& dir, const QString& name) {
    QCoreApplication::processEvents();
    const QString path = dir.filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "tavlo-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

template <typename T>
T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

bool waitForSearch(app::MainWindow& dialog) {
    QElapsedTimer timer;
    timer.start();
    auto* search = child<QPushButton>(dialog, "searchButton");
    // Wait for the search to start showing, then to end.
    while (timer.elapsed() < kSearchTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        if (!dialog.searchRunning() && search->isVisible()) {
            QCoreApplication::processEvents();
            return true;
        }
    }
    std::fprintf(stderr, "tavlo-screenshots: the search did not end in time\n");
    return false;
}

// Clicks the clock whose item text starts with `address`, as the operator does, and waits for
// the read to end; false when it did not end, or when the pages show no clock afterwards
// although `answers` says the clock answers.
bool readClock(app::MainWindow& dialog, const char* address, bool answers = true) {
    app::DeviceTree* tree = dialog.deviceTree();
    const auto found =
        tree->findItems(QString::fromLatin1(address), Qt::MatchStartsWith | Qt::MatchRecursive);
    if (found.size() != 1) {
        std::fprintf(stderr, "tavlo-screenshots: no clock %s in the tree\n", address);
        return false;
    }
    tree->setCurrentItem(found.front());
    dialog.onTreeClicked(found.front());
    QElapsedTimer timer;
    timer.start();
    while (dialog.jobRunning() && timer.elapsed() < kReadTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    }
    if (dialog.jobRunning()) {
        std::fprintf(stderr, "tavlo-screenshots: reading %s did not end in time\n", address);
        return false;
    }
    if (answers && !dialog.shownClock()) {
        std::fprintf(stderr, "tavlo-screenshots: %s\n", qPrintable(dialog.statusText()));
        return false;
    }
    return true;
}

// Runs the events until `done` holds; false (and a message saying `what`) when it does not in
// `timeoutMs`.
bool waitFor(const std::function<bool()>& done, int timeoutMs, const char* what) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            std::fprintf(stderr, "tavlo-screenshots: %s did not happen in time\n", what);
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    }
    return true;
}

// The "Update" result box that is open now, if any.
QMessageBox* openUpdateBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible() && box->windowTitle() == QStringLiteral("Update")) {
            return box;
        }
    }
    return nullptr;
}

// A batch firmware update of the wired group, as the operator starts it: the group selected,
// the System page with "Update Control" and a file, "Batch Modify". Pictures the System page
// while the first clock takes its blocks, the last clock's "Update" box that waits for the
// operator, and the page once the batch has ended.
bool pictureBatchUpdate(app::MainWindow& dialog, PictureBoxes& boxes, const QDir& dir) {
    QTemporaryDir files;
    QFile file(files.filePath(QStringLiteral("clock-firmware.bin")));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray(kFirmwareBytes, '\x5a')) != kFirmwareBytes) {
        std::fprintf(stderr, "tavlo-screenshots: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    file.close();
    app::DeviceTree* tree = dialog.deviceTree();
    tree->setCurrentItem(tree->groupItem(protocol::SearchGroup::kCurrent));
    dialog.tabControl()->tabBar()->setCurrentIndex(static_cast<int>(app::PageTab::kSystem));
    const firmware::SystemPageControls& system = dialog.pages().system->controls();
    system.updateControl->click();
    system.firmwareFile->setText(file.fileName());
    boxes.realUpdateBoxes = true;
    child<QPushButton>(dialog, "batchModifyButton")->click();

    // The blocks go out, and the first tick of the monitor has offered "Break".
    bool ok = waitFor(
        [&] {
            return system.progressLine->text().startsWith(kProgressMark) &&
                   system.breakButton->isEnabled();
        },
        kUpdateTimeoutMs, "the first clock's transfer");
    ok = ok && save(dialog, dir, QStringLiteral("update-during.png"));
    // The last clock's box stays until the operator closes it.
    QTreeWidgetItem* group = tree->groupItem(protocol::SearchGroup::kCurrent);
    ok = ok && waitFor(
                   [&] {
                       return tree->currentItem() == group->child(group->childCount() - 1) &&
                              openUpdateBox() != nullptr;
                   },
                   kUpdateTimeoutMs, "the last clock's result box");
    if (ok) {
        ok = save(*openUpdateBox(), dir, QStringLiteral("update-box.png"));
        boxes.dismissOpen(QStringLiteral("Update"));
    }
    auto* modify = child<QPushButton>(dialog, "modifyButton");
    ok = ok && waitFor([&] { return modify->isEnabled(); }, kUpdateTimeoutMs, "the batch's end");
    ok = ok && save(dialog, dir, QStringLiteral("update-after.png"));
    boxes.realUpdateBoxes = false;
    return ok;
}

// The window on one tab.
bool saveTab(app::MainWindow& dialog, app::PageTab tab, const QDir& dir, const char* name) {
    dialog.tabControl()->tabBar()->setCurrentIndex(static_cast<int>(tab));
    return save(dialog, dir, QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ui::kProgramName));
    QApplication::setWindowIcon(app::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || (args.size() == 4 && args[2] != QStringLiteral("--network")) ||
        args.size() == 3 || args.size() > 4) {
        std::fprintf(stderr, "usage: tavlo-screenshots OUTPUT_DIR [--network fake|system]\n");
        return 2;
    }
    const bool systemNetwork = args.size() == 4 && args[3] == QStringLiteral("system");
    QDir dir(args[1]);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tavlo-screenshots: cannot create %s\n", qPrintable(args[1]));
        return 1;
    }

    std::unique_ptr<platform::Network> systemNet;
    std::unique_ptr<FakeClocks> fake;
    platform::Network* network = nullptr;
    firmware::MacLookupFunction lookupMac;
    if (systemNetwork) {
        systemNet = platform::makeSystemNetwork();
        network = systemNet.get();
        lookupMac = [](platform::Ipv4 address) { return platform::LookupMacAddress(address); };
    } else {
        fake = std::make_unique<FakeClocks>();
        network = &fake->network;
        lookupMac = [clocks = &fake->clocks](platform::Ipv4 address) {
            return clocks->macOf(address);
        };
    }
    protocol::ProtocolState protocol;
    protocol::SearchState search;
    firmware::UpdateState update;
    PictureBoxes prompter;
    bool ok = true;

    {
        QTemporaryDir config;
        login::LoginDialog login(
            prompter, std::filesystem::path(config.path().toStdString()) / "ORX.dat", [] {});
        login.show();
        ok &= save(login, dir, QStringLiteral("login.png"));
    }

    app::MainDialogContext context{
        *network, protocol, search, update, prompter, [] { return true; }, lookupMac};
    context.updateMonitorInterval = kMonitorInterval;
    app::MainWindow dialog(std::move(context));
    prompter.real.setParentWidget(&dialog);
    dialog.show();
    const char* tabFiles[] = {"main-basic.png", "main-wifi.png", "main-system.png"};
    for (int i = 0; i < 3; ++i) {
        dialog.tabControl()->tabBar()->setCurrentIndex(i);
        ok &= save(dialog, dir, QString::fromLatin1(tabFiles[i]));
    }
    dialog.tabControl()->tabBar()->setCurrentIndex(0);
    // The window enlarged gives the room to the tree and the pages; it cannot be made smaller
    // than designed.
    const QSize designed = dialog.size();
    dialog.resize(designed * kEnlargement);
    ok &= save(dialog, dir, QStringLiteral("main-enlarged.png"));
    dialog.resize(kTooSmall);
    ok &= save(dialog, dir, QStringLiteral("main-smallest.png"));
    dialog.resize(designed);

    // The first search: nothing chosen, so a wired broadcast of both generations.
    child<QPushButton>(dialog, "searchButton")->click();
    ok &= waitForSearch(dialog);
    ok &= save(dialog, dir, QStringLiteral("main-search-wired.png"));

    // A wired clock read into the pages, the System page with its address and MAC address;
    // then an early-version clock on the Basic page.
    using app::PageTab;
    ok &= readClock(dialog, "198.18.0.10");
    ok &= saveTab(dialog, PageTab::kBasic, dir, "read-wired-basic.png");
    ok &= saveTab(dialog, PageTab::kSystem, dir, "read-wired-system.png");
    ok &= readClock(dialog, "198.18.0.15");
    ok &= saveTab(dialog, PageTab::kBasic, dir, "read-early-basic.png");
    // A batch firmware update of the wired group.
    ok &= pictureBatchUpdate(dialog, prompter, dir);
    // An address where no clock answers: the status line says so.
    dialog.deviceTree()->addItem(protocol::SearchGroup::kCurrent, QString::fromLatin1(kNoClock));
    ok &= readClock(dialog, kNoClock, false);
    ok &= save(dialog, dir, QStringLiteral("read-no-answer.png"));

    child<QRadioButton>(dialog, "wifiRadio")->click();
    child<QPushButton>(dialog, "searchButton")->click();
    ok &= waitForSearch(dialog);
    ok &= save(dialog, dir, QStringLiteral("main-search-wifi.png"));

    // A Wi-Fi clock: the Basic page, its association on the WIFI page, the System page (no
    // firmware for Wi-Fi clocks).
    ok &= readClock(dialog, "198.18.0.13");
    ok &= saveTab(dialog, PageTab::kBasic, dir, "read-wifi-basic.png");
    ok &= saveTab(dialog, PageTab::kWifi, dir, "read-wifi-wifi.png");
    ok &= saveTab(dialog, PageTab::kSystem, dir, "read-wifi-system.png");
    dialog.tabControl()->tabBar()->setCurrentIndex(static_cast<int>(PageTab::kBasic));

    QTimer::singleShot(0, &dialog, [&] {
        if (QWidget* about = QApplication::activeModalWidget()) {
            ok &= save(*about, dir, QStringLiteral("about.png"));
            about->close();
        }
    });
    dialog.onAbout();

    for (const auto& message : prompter.recorder.messages()) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(message.text));
    }
    return ok ? 0 : 1;
}
