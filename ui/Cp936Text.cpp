#include "ui/Cp936Text.h"

#include <iconv.h>

#include <QByteArray>
#include <array>
#include <cerrno>

namespace tavlo::ui {
namespace {

constexpr std::size_t kMaxCharBytes = 8;
constexpr std::size_t kUnmappedBytes = 1;

class Cp936Encoder {
  public:
    Cp936Encoder() : cd_(iconv_open("CP936", "UTF-8")) {}
    ~Cp936Encoder() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd_);
        }
    }
    Cp936Encoder(const Cp936Encoder&) = delete;
    Cp936Encoder& operator=(const Cp936Encoder&) = delete;

    // Bytes of one character given as UTF-8, or kUnmappedBytes when the code page lacks it.
    std::size_t bytesOf(QByteArray utf8) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            return kUnmappedBytes;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::array<char, kMaxCharBytes> out{};
        char* in = utf8.data();
        std::size_t inLeft = static_cast<std::size_t>(utf8.size());
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            return kUnmappedBytes;
        }
        return out.size() - outLeft;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::size_t Cp936ByteCount(const QString& text) {
    std::size_t bytes = 0;
    Cp936Encoder encoder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            ++bytes;
            continue;
        }
        qsizetype length = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            length = 2;
        }
        bytes += encoder.bytesOf(text.mid(i, length).toUtf8());
        i += length - 1;
    }
    return bytes;
}

}  // namespace tavlo::ui
