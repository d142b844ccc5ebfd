// The application icon (a clock face), in every size it is drawn at.
#pragma once

#include <QIcon>

namespace tavlo::app {

QIcon applicationIcon();

}  // namespace tavlo::app
