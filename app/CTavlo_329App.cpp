#include "app/CTavlo_329App.h"

#include <QApplication>

#include "app/AppIcon.h"
#include "app/CTavlo_329Dlg.h"
#include "login/My_Login_Infor.h"
#include "login/PasswordFile.h"
#include "protocol/Exchanges.h"

namespace tavlo::app {

CTavlo_329App::CTavlo_329App(std::unique_ptr<platform::Network> network)
    : network_(std::move(network)) {}

int CTavlo_329App::InitInstance() {
    // The name is also the caption of every message box.
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    QApplication::setWindowIcon(applicationIcon());
    // The program ends when the login dialog's run ends, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    login::My_Login_Infor loginDialog(prompter_,
                                      login::passwordFilePath(&login::processEnvironment),
                                      [this] { runMainWindow(); });
    loginDialog.setWindowIcon(applicationIcon());
    prompter_.setParentWidget(&loginDialog);
    loginDialog.RunLogin();
    prompter_.setParentWidget(nullptr);
    return 0;
}

void CTavlo_329App::runMainWindow() {
    MainDialogContext context{*network_, protocol_,
                              search_,   update_,
                              prompter_, [this] { return protocol::StartSockets(*network_); }};
    CTavlo_329Dlg mainDialog(context);
    prompter_.setParentWidget(&mainDialog);
    mainDialog.RunModal();
    prompter_.setParentWidget(nullptr);
}

}  // namespace tavlo::app
