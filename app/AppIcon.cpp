#include "app/AppIcon.h"

// The pictures live in the library's resources, which a static library must register; the
// registration function has to be declared outside any namespace.
static void initialiseAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace tavlo::app {

QIcon applicationIcon() {
    initialiseAppResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/tavlo/tavlo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tavlo::app
