// tavlo-screenshots: renders the login dialog, the main window on each tab (and enlarged, and
// at its smallest), the device tree after searches, the pages after reading a wired, an early
// and a Wi-Fi clock, and the About box to PNG files, without a display
// (QT_QPA_PLATFORM=offscreen).
//
//   tavlo-screenshots OUTPUT_DIR [--network fake|system]
//
// "fake" (the default) finds and reads clocks that answer with the simulator's logic on the
// in-memory network; "system" goes over the real sockets, meant to run inside the test
// network's pc namespace with tavlo-clocksim's clocks beside it (scripts/screenshots starts
// them at the same addresses: wired 198.18.0.10-12, Wi-Fi .13-14, early .15, early Wi-Fi .16).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/AppIcon.h"
#include "app/DeviceTree.h"
#include "app/MainWindow.h"
#include "app/TabControl.h"
#include "firmware/UpdateState.h"
#include "login/LoginDialog.h"
#include "platform/Ipv4.h"
#include "platform/MacLookup.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/SimulatedClocks.h"
#include "ui/testing/RecordingPrompter.h"

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

// The clocks scripts/screenshots starts in the test network, on the in-memory network.
struct FakeClocks {
    test::FakeNetwork network;
    test::SimulatedClocks clocks{network};

    FakeClocks() {
        network.setLocalAddresses({MakeIpv4(198, 18, 0, 1)});
        for (std::uint8_t last = 10; last <= 12; ++last) {
            clocks.add(ClockKind::kWired, MakeIpv4(198, 18, 0, last));
        }
        clocks.add(ClockKind::kWifi, MakeIpv4(198, 18, 0, 13));
        clocks.add(ClockKind::kWifi, MakeIpv4(198, 18, 0, 14));
        clocks.add(ClockKind::kEarly, MakeIpv4(198, 18, 0, 15));
        clocks.add(ClockKind::kEarlyWifi, MakeIpv4(198, 18, 0, 16));
    }
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
// the read to end; false when it did not end, or when the clock did not answer and
// `answers` says it should.
bool readClock(app::MainWindow& dialog, const char* address, bool answers = true) {
    app::DeviceTree* tree = dialog.deviceTree();
    const auto found =
        tree->findItems(QString::fromLatin1(address), Qt::MatchStartsWith | Qt::MatchRecursive);
    if (found.size() != 1) {
        std::fprintf(stderr, "tavlo-screenshots: no clock %s in the tree\n", address);
        return false;
    }
    tree->setCurrentItem(found.front());
    dialog.OnTreeClicked(found.front());
    QElapsedTimer timer;
    timer.start();
    while (dialog.jobRunning() && timer.elapsed() < kReadTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    }
    if (dialog.jobRunning()) {
        std::fprintf(stderr, "tavlo-screenshots: reading %s did not end in time\n", address);
        return false;
    }
    if (answers && !dialog.statusText().isEmpty()) {
        std::fprintf(stderr, "tavlo-screenshots: %s\n", qPrintable(dialog.statusText()));
        return false;
    }
    return true;
}

// The window on one tab.
bool saveTab(app::MainWindow& dialog, app::PageTab tab, const QDir& dir, const char* name) {
    dialog.tabControl()->tabBar()->setCurrentIndex(static_cast<int>(tab));
    return save(dialog, dir, QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(app::kAppName));
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
    ui::testing::RecordingPrompter prompter;
    bool ok = true;

    {
        QTemporaryDir config;
        login::LoginDialog login(
            prompter, std::filesystem::path(config.path().toStdString()) / "ORX.dat", [] {});
        login.show();
        ok &= save(login, dir, QStringLiteral("login.png"));
    }

    app::MainWindow dialog(app::MainDialogContext{*network, protocol, search, update, prompter,
                                                  [] { return true; }, lookupMac});
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
    dialog.OnAbout();

    for (const auto& message : prompter.messages()) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(message.text));
    }
    return ok ? 0 : 1;
}
