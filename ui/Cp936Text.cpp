#include "ui/Cp936Text.h"

#include "platform/TextCodec.h"

namespace tavlo::ui {

std::size_t Cp936ByteCount(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return platform::Cp936ByteCount(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace tavlo::ui
