// tavlo-screenshots: renders the login dialog, the main window on each tab (and enlarged, and
// at its smallest), the device tree
// after searches and the About box to PNG files, without a display (QT_QPA_PLATFORM=offscreen).
//
//   tavlo-screenshots OUTPUT_DIR [--network fake|system]
//
// "fake" (the default) searches scripted clocks on the in-memory network; "system" searches
// over the real sockets, meant to run inside the test network's pc namespace with simulated
// clocks beside it.
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
#include "app/MainWindow.h"
#include "app/TabControl.h"
#include "firmware/UpdateState.h"
#include "login/LoginDialog.h"
#include "platform/Ipv4.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/ScriptedClocks.h"
#include "ui/testing/RecordingPrompter.h"

namespace {

using namespace tavlo;
using platform::MakeIpv4;
using test::ClockKind;

constexpr int kSearchTimeoutMs = 120000;
constexpr int kPollMs = 20;
constexpr double kEnlargement = 1.3;
constexpr QSize kTooSmall(620, 420);

std::unique_ptr<platform::Network> makeFakeClocks() {
    auto net = std::make_unique<test::FakeNetwork>();
    net->setLocalAddresses({MakeIpv4(198, 18, 0, 1)});
    test::AddScriptedClock(*net, ClockKind::kWired, MakeIpv4(198, 18, 0, 10), "SN0010");
    test::AddScriptedClock(*net, ClockKind::kWired, MakeIpv4(198, 18, 0, 11), "SN0011");
    test::AddScriptedClock(*net, ClockKind::kWired, MakeIpv4(198, 18, 0, 12), "");
    test::AddScriptedClock(*net, ClockKind::kWifi, MakeIpv4(198, 18, 0, 20), "WF0020");
    test::AddScriptedClock(*net, ClockKind::kWifi, MakeIpv4(198, 18, 0, 21), "WF0021");
    test::AddScriptedClock(*net, ClockKind::kEarlyWired, MakeIpv4(198, 18, 0, 30), "OLD0030");
    test::AddScriptedClock(*net, ClockKind::kEarlyWifi, MakeIpv4(198, 18, 0, 31), "OLD0031");
    return net;
}

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

    std::unique_ptr<platform::Network> network =
        systemNetwork ? platform::makeSystemNetwork() : makeFakeClocks();
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

    app::MainWindow dialog(
        app::MainDialogContext{*network, protocol, search, update, prompter, [] { return true; }});
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

    child<QRadioButton>(dialog, "wifiRadio")->click();
    child<QPushButton>(dialog, "searchButton")->click();
    ok &= waitForSearch(dialog);
    ok &= save(dialog, dir, QStringLiteral("main-search-wifi.png"));

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
