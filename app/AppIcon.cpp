#include "app/AppIcon.h"

namespace tavlo::app {

QIcon applicationIcon() {
    // The pictures live in the library's resources, which a static library must register.
    Q_INIT_RESOURCE(app);
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/tavlo/tavlo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tavlo::app
