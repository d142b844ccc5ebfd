// Code page 936 through iconv.
#include <iconv.h>

#include <array>
#include <cerrno>

#include "platform/CodePage.h"

namespace tavlo::platform {
namespace {

constexpr const char* kCp936Name = "CP936";
constexpr const char* kUtf8Name = "UTF-8";
constexpr std::size_t kChunkBytes = 256;
constexpr unsigned char kAsciiLimit = 0x80;

// One conversion descriptor, closed when it goes out of scope.
class Converter {
  public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input. At a sequence it cannot convert it appends `replacement`, skips
    // the bytes `skip` names and goes on. Returns false when anything was replaced.
    template <typename Skip>
    bool convert(std::string_view input, std::string_view replacement, Skip skip,
                 std::string& output) {
        bool exact = true;
        std::size_t pos = 0;
        std::array<char, kChunkBytes> buffer{};
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        while (pos < input.size()) {
            // iconv's interface takes a non-const input pointer but never writes through it.
            char* in = const_cast<char*>(input.data() + pos);
            std::size_t inLeft = input.size() - pos;
            char* out = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(buffer.data(), buffer.size() - outLeft);
            pos = input.size() - inLeft;
            if (result != static_cast<std::size_t>(-1)) {
                continue;
            }
            if (error == E2BIG) {
                continue;
            }
            // EILSEQ (no form in the target, or malformed input) or EINVAL (cut sequence).
            exact = false;
            output += replacement;
            pos += skip(input, pos);
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state.
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        iconv(handle_, nullptr, nullptr, &out, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        return exact;
    }

  private:
    iconv_t handle_;
};

}  // namespace

bool EncodeCp936(std::string_view utf8, std::string& output) {
    Converter converter(kCp936Name, kUtf8Name);
    if (!converter.valid()) {
        // Without the code page, keep the ASCII characters and mark the rest.
        bool exact = true;
        for (std::size_t pos = 0; pos < utf8.size();) {
            const std::size_t length = Utf8SequenceLength(utf8, pos);
            if (static_cast<unsigned char>(utf8[pos]) < kAsciiLimit) {
                output += utf8[pos];
            } else {
                output += kReplacementCp936;
                exact = false;
            }
            pos += length;
        }
        return exact;
    }
    return converter.convert(utf8, kReplacementCp936, Utf8SequenceLength, output);
}

std::string DecodeCp936(std::string_view cp936) {
    std::string output;
    Converter converter(kUtf8Name, kCp936Name);
    if (!converter.valid()) {
        for (std::size_t pos = 0; pos < cp936.size();) {
            const std::size_t length = Cp936CharLength(cp936, pos);
            if (static_cast<unsigned char>(cp936[pos]) < kAsciiLimit) {
                output += cp936[pos];
            } else {
                output += kReplacementUtf8;
            }
            pos += length;
        }
        return output;
    }
    converter.convert(cp936, kReplacementUtf8, Cp936CharLength, output);
    return output;
}

}  // namespace tavlo::platform
