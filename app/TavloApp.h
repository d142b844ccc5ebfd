// The application: creates the state the program shares (the network, the protocol frames,
// the search flags, the message boxes) once, and runs the login dialog, which runs the main
// window.
#pragma once

#include <memory>

#include "firmware/UpdateState.h"
#include "platform/Network.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"
#include "ui/QtPrompter.h"

namespace tavlo::app {

class TavloApp final {
  public:
    // Needs a QApplication.
    explicit TavloApp(std::unique_ptr<platform::Network> network);

    // Runs the login dialog (and from it the main window); returns the process exit code
    // once the login dialog has closed.
    int run();

  private:
    void runMainWindow();

    std::unique_ptr<platform::Network> network_;
    protocol::ProtocolState protocol_;
    protocol::SearchState search_;
    firmware::UpdateState update_;
    ui::QtPrompter prompter_;
};

}  // namespace tavlo::app
