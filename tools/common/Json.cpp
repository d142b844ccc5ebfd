#include "tools/common/Json.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "platform/File.h"

namespace tavlo::json {
namespace {

using DomBuilder = nlohmann::detail::json_sax_dom_parser<Json>;

// Hands the text to the parser byte by byte and remembers how far it has read, so that a
// refusal of the reader below can say where it happened.
class TrackedIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackedIterator(const char* at, std::size_t& consumed, const char* begin)
        : at_(at), consumed_(&consumed), begin_(begin) {}
    reference operator*() const { return *at_; }
    TrackedIterator& operator++() {
        ++at_;
        *consumed_ = static_cast<std::size_t>(at_ - begin_);
        return *this;
    }
    TrackedIterator operator++(int) {
        TrackedIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackedIterator& other) const { return at_ == other.at_; }

  private:
    const char* at_;
    std::size_t* consumed_;
    const char* begin_;
};

// "line L, column C" of the last of the first `consumed` bytes (the end of the text when the
// parser ran past it).
std::string Where(std::string_view text, std::size_t consumed) {
    const std::size_t at = consumed == 0 ? 0 : consumed - 1;
    const std::string_view before = text.substr(0, at);
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t lineStart = before.rfind('\n');
    const std::size_t column = lineStart == std::string_view::npos ? at + 1 : at - lineStart;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The parser's own description of a fault, without its exception name and position.
std::string Description(const std::exception& fault) {
    std::string_view text = fault.what();
    if (const std::size_t close = text.find("] "); text.starts_with('[') && close != text.npos) {
        text.remove_prefix(close + 2);
    }
    if (const std::size_t colon = text.find(": ");
        text.starts_with("parse error") && colon != text.npos) {
        text.remove_prefix(colon + 2);
    }
    return std::string(text);
}

// Builds the document with the library's own builder, refusing duplicate member names, deep
// nesting and crowded objects on the way.
class BoundedBuilder {
  public:
    BoundedBuilder(Json& result, std::string_view text, const std::size_t& consumed,
                   const ReadLimits& limits)
        : builder_(result, false), text_(text), consumed_(consumed), limits_(limits) {}

    const std::string& error() const { return error_; }

    bool null() { return builder_.null(); }
    bool boolean(bool value) { return builder_.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return builder_.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return builder_.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& text) {
        return builder_.number_float(value, text);
    }
    bool string(Json::string_t& value) { return builder_.string(value); }
    bool binary(Json::binary_t& value) { return builder_.binary(value); }

    bool start_object(std::size_t size) {
        members_.emplace_back();
        return enter() && builder_.start_object(size);
    }
    bool key(Json::string_t& name) {
        std::set<std::string>& seen = members_.back();
        if (seen.size() >= limits_.maxMembers) {
            return refuse("more than " + std::to_string(limits_.maxMembers) +
                          " members in one object");
        }
        if (!seen.insert(name).second) {
            return refuse("duplicate member \"" + name + "\"");
        }
        return builder_.key(name);
    }
    bool end_object() {
        members_.pop_back();
        --depth_;
        return builder_.end_object();
    }
    bool start_array(std::size_t size) { return enter() && builder_.start_array(size); }
    bool end_array() {
        --depth_;
        return builder_.end_array();
    }
    bool parse_error(std::size_t position, const std::string&, const std::exception& fault) {
        error_ = Where(text_, position) + ": " + Description(fault);
        return false;
    }

  private:
    bool enter() {
        if (++depth_ > limits_.maxDepth) {
            return refuse("nesting deeper than " + std::to_string(limits_.maxDepth));
        }
        return true;
    }
    bool refuse(const std::string& what) {
        error_ = Where(text_, consumed_) + ": " + what;
        return false;
    }

    DomBuilder builder_;
    std::string_view text_;
    const std::size_t& consumed_;
    const ReadLimits& limits_;
    std::size_t depth_ = 0;
    std::vector<std::set<std::string>> members_;
    std::string error_;
};

}  // namespace

std::optional<Json> Read(std::string_view text, std::string& error, const ReadLimits& limits) {
    if (text.size() > limits.maxBytes) {
        error = "input longer than " + std::to_string(limits.maxBytes) + " bytes";
        return std::nullopt;
    }
    Json result;
    std::size_t consumed = 0;
    BoundedBuilder builder(result, text, consumed, limits);
    const char* begin = text.data();
    if (!Json::sax_parse(TrackedIterator(begin, consumed, begin),
                         TrackedIterator(begin + text.size(), consumed, begin), &builder)) {
        error = builder.error();
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> ReadText(const std::string& path, std::istream& standardInput,
                                    std::string& error, std::size_t maxBytes) {
    constexpr std::string_view kStandardInput = "-";
    std::ifstream file;
    if (path != kStandardInput) {
        file.open(platform::PathFromUtf8(path), std::ios::binary);
        if (!file) {
            error = "cannot read " + path;
            return std::nullopt;
        }
    }
    std::istream& in = path == kStandardInput ? standardInput : file;
    std::string text;
    std::array<char, 4096> block{};
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return text;
}

std::string Write(const Json& value) {
    constexpr int kOneLine = -1;
    constexpr char kIndentCharacter = ' ';
    constexpr bool kKeepUtf8 = false;
    return value.dump(kOneLine, kIndentCharacter, kKeepUtf8, Json::error_handler_t::replace);
}

}  // namespace tavlo::json
