#include "app/TavloApp.h"

#include <QApplication>

#include "app/AppIcon.h"
#include "app/MainWindow.h"
#include "login/LoginDialog.h"
#include "login/PasswordFile.h"
#include "platform/MacLookup.h"
#include "protocol/Exchanges.h"
#include "ui/ProgramName.h"

namespace tavlo::app {

TavloApp::TavloApp(std::unique_ptr<platform::Network> network) : network_(std::move(network)) {}

int TavloApp::run() {
    // The name is also the caption of every message box.
    QApplication::setApplicationName(QString::fromLatin1(ui::kProgramName));
    QApplication::setWindowIcon(applicationIcon());
    // The program ends when the login dialog's run ends, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    login::LoginDialog loginDialog(prompter_,
                                   login::passwordFilePath(&platform::ProcessEnvironment),
                                   [this] { runMainWindow(); });
    loginDialog.setWindowIcon(applicationIcon());
    prompter_.setParentWidget(&loginDialog);
    loginDialog.RunLogin();
    prompter_.setParentWidget(nullptr);
    return 0;
}

void TavloApp::runMainWindow() {
    MainDialogContext context{
        *network_,
        protocol_,
        search_,
        update_,
        prompter_,
        [this] { return protocol::StartSockets(*network_); },
        [](platform::Ipv4 address) { return platform::LookupMacAddress(address); }};
    MainWindow mainDialog(context);
    prompter_.setParentWidget(&mainDialog);
    mainDialog.runModal();
    prompter_.setParentWidget(nullptr);
}

}  // namespace tavlo::app
