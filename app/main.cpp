// tavlo-admin: the operator's window for the network wall clocks.
#include <QApplication>

#include "app/TavloApp.h"
#include "platform/Network.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tavlo::app::TavloApp app(tavlo::platform::makeSystemNetwork());
    return app.run();
}
