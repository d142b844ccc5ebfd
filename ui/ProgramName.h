// The program's name: the application's name, the title of the main window and of the About
// box, and the caption of every message box unless a caller names another one.
#pragma once

namespace tavlo::ui {

inline constexpr char kProgramName[] = "TavloAdmin";

}  // namespace tavlo::ui
