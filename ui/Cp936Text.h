#pragma once

#include <QString>
#include <cstddef>

namespace tavlo::ui {

// Number of bytes the text takes in code page 936, the encoding the clocks use for page
// texts. A character the code page cannot hold counts as one byte (it is sent as '?').
std::size_t Cp936ByteCount(const QString& text);

}  // namespace tavlo::ui
