#include "tools/clocksim/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tavlo::clocksim {

JsonValue JsonValue::Bool(bool value) {
    JsonValue v;
    v.kind_ = Kind::kBool;
    v.bool_ = value;
    return v;
}

JsonValue JsonValue::Number(double value) {
    JsonValue v;
    v.kind_ = Kind::kNumber;
    v.number_ = value;
    return v;
}

JsonValue JsonValue::String(std::string value) {
    JsonValue v;
    v.kind_ = Kind::kString;
    v.string_ = std::move(value);
    return v;
}

JsonValue JsonValue::MakeArray(Array items) {
    JsonValue v;
    v.kind_ = Kind::kArray;
    v.array_ = std::move(items);
    return v;
}

JsonValue JsonValue::MakeObject(Object members) {
    JsonValue v;
    v.kind_ = Kind::kObject;
    v.object_ = std::move(members);
    return v;
}

const JsonValue* JsonValue::find(std::string_view key) const {
    if (kind_ != Kind::kObject) {
        return nullptr;
    }
    for (const auto& [name, value] : object_) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

namespace {

constexpr unsigned kMaxCodePoint = 0x10FFFF;
constexpr unsigned kHighSurrogateFirst = 0xD800;
constexpr unsigned kLowSurrogateFirst = 0xDC00;
constexpr unsigned kSurrogateEnd = 0xE000;
constexpr unsigned kFirstPlaneAbove = 0x10000;
constexpr unsigned kFirstControl = 0x20;
constexpr unsigned kFirstHighByte = 0x80;

class Parser {
  public:
    Parser(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

    std::optional<JsonValue> document(std::string& error) {
        if (text_.size() > limits_.maxInput) {
            error = "input longer than " + std::to_string(limits_.maxInput) + " bytes";
            return std::nullopt;
        }
        skipBlanks();
        auto value = parseValue(0);
        if (value) {
            skipBlanks();
            if (pos_ != text_.size()) {
                fail("unexpected text after the document");
                value.reset();
            }
        }
        if (!value) {
            error = where() + ": " + error_;
        }
        return value;
    }

  private:
    std::string where() const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < failPos_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }

    void fail(std::string what) {
        if (error_.empty()) {
            error_ = std::move(what);
            failPos_ = pos_;
        }
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++pos_;
        }
    }

    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) == word) {
            pos_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> parseValue(std::size_t depth) {
        if (depth > limits_.maxDepth) {
            fail("nesting deeper than " + std::to_string(limits_.maxDepth));
            return std::nullopt;
        }
        switch (peek()) {
            case '{':
                return parseObject(depth);
            case '[':
                return parseArray(depth);
            case '"': {
                auto text = parseString();
                if (!text) {
                    return std::nullopt;
                }
                return JsonValue::String(std::move(*text));
            }
            case 't':
                if (literal("true")) {
                    return JsonValue::Bool(true);
                }
                break;
            case 'f':
                if (literal("false")) {
                    return JsonValue::Bool(false);
                }
                break;
            case 'n':
                if (literal("null")) {
                    return JsonValue();
                }
                break;
            default:
                if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                    return parseNumber();
                }
                break;
        }
        fail(atEnd() ? "unexpected end of input" : "expected a value");
        return std::nullopt;
    }

    std::optional<JsonValue> parseNumber() {
        const std::size_t start = pos_;
        if (peek() == '-') {
            ++pos_;
        }
        auto digits = [&] {
            std::size_t first = pos_;
            while (!atEnd() && peek() >= '0' && peek() <= '9') {
                ++pos_;
            }
            return pos_ - first;
        };
        if (peek() == '0') {
            ++pos_;
        } else if (digits() == 0) {
            fail("malformed number");
            return std::nullopt;
        }
        if (peek() == '.') {
            ++pos_;
            if (digits() == 0) {
                fail("malformed number");
                return std::nullopt;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') {
                ++pos_;
            }
            if (digits() == 0) {
                fail("malformed number");
                return std::nullopt;
            }
        }
        std::string number(text_.substr(start, pos_ - start));
        double value = std::strtod(number.c_str(), nullptr);
        if (!std::isfinite(value)) {
            pos_ = start;
            fail("number out of range");
            return std::nullopt;
        }
        return JsonValue::Number(value);
    }

    std::optional<unsigned> hex4() {
        if (text_.size() - pos_ < 4) {
            fail("short \\u escape");
            return std::nullopt;
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                fail("bad hex digit in \\u escape");
                return std::nullopt;
            }
        }
        return value;
    }

    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::string> parseString() {
        ++pos_;  // opening quote
        std::string out;
        for (;;) {
            if (atEnd()) {
                fail("unterminated string");
                return std::nullopt;
            }
            if (out.size() > limits_.maxString) {
                fail("string longer than " + std::to_string(limits_.maxString) + " bytes");
                return std::nullopt;
            }
            char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (static_cast<unsigned char>(c) < kFirstControl) {
                fail("control character in string");
                return std::nullopt;
            }
            ++pos_;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd()) {
                fail("unterminated string");
                return std::nullopt;
            }
            char e = text_[pos_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    auto cp = hex4();
                    if (!cp) {
                        return std::nullopt;
                    }
                    if (*cp >= kHighSurrogateFirst && *cp < kLowSurrogateFirst) {
                        if (!literal("\\u")) {
                            fail("lone surrogate in \\u escape");
                            return std::nullopt;
                        }
                        auto low = hex4();
                        if (!low) {
                            return std::nullopt;
                        }
                        if (*low < kLowSurrogateFirst || *low >= kSurrogateEnd) {
                            fail("lone surrogate in \\u escape");
                            return std::nullopt;
                        }
                        *cp = kFirstPlaneAbove + ((*cp - kHighSurrogateFirst) << 10) +
                              (*low - kLowSurrogateFirst);
                    } else if (*cp >= kLowSurrogateFirst && *cp < kSurrogateEnd) {
                        fail("lone surrogate in \\u escape");
                        return std::nullopt;
                    }
                    if (*cp > kMaxCodePoint) {
                        fail("code point out of range");
                        return std::nullopt;
                    }
                    appendUtf8(out, *cp);
                    break;
                }
                default:
                    --pos_;
                    fail("bad escape in string");
                    return std::nullopt;
            }
        }
    }

    std::optional<JsonValue> parseArray(std::size_t depth) {
        ++pos_;
        JsonValue::Array items;
        skipBlanks();
        if (peek() == ']') {
            ++pos_;
            return JsonValue::MakeArray(std::move(items));
        }
        for (;;) {
            skipBlanks();
            auto item = parseValue(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            if (items.size() >= limits_.maxItems) {
                fail("more than " + std::to_string(limits_.maxItems) + " array elements");
                return std::nullopt;
            }
            items.push_back(std::move(*item));
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ']') {
                ++pos_;
                return JsonValue::MakeArray(std::move(items));
            }
            fail("expected ',' or ']'");
            return std::nullopt;
        }
    }

    std::optional<JsonValue> parseObject(std::size_t depth) {
        ++pos_;
        JsonValue::Object members;
        skipBlanks();
        if (peek() == '}') {
            ++pos_;
            return JsonValue::MakeObject(std::move(members));
        }
        for (;;) {
            skipBlanks();
            if (peek() != '"') {
                fail("expected a member name in quotes");
                return std::nullopt;
            }
            const std::size_t keyPos = pos_;
            auto key = parseString();
            if (!key) {
                return std::nullopt;
            }
            for (const auto& member : members) {
                if (member.first == *key) {
                    pos_ = keyPos;
                    fail("duplicate member \"" + *key + "\"");
                    return std::nullopt;
                }
            }
            skipBlanks();
            if (peek() != ':') {
                fail("expected ':'");
                return std::nullopt;
            }
            ++pos_;
            skipBlanks();
            auto value = parseValue(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            if (members.size() >= limits_.maxItems) {
                fail("more than " + std::to_string(limits_.maxItems) + " members");
                return std::nullopt;
            }
            members.emplace_back(std::move(*key), std::move(*value));
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == '}') {
                ++pos_;
                return JsonValue::MakeObject(std::move(members));
            }
            fail("expected ',' or '}'");
            return std::nullopt;
        }
    }

    std::string_view text_;
    const JsonLimits& limits_;
    std::size_t pos_ = 0;
    std::size_t failPos_ = 0;
    std::string error_;
};

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string& error,
                                   const JsonLimits& limits) {
    Parser parser(text, limits);
    return parser.document(error);
}

std::string JsonQuote(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (byte < kFirstControl || byte >= kFirstHighByte) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

void JsonObjectWriter::key(std::string_view name) {
    if (!body_.empty()) {
        body_ += ',';
    }
    body_ += JsonQuote(name);
    body_ += ':';
}

JsonObjectWriter& JsonObjectWriter::add(std::string_view name, std::string_view text) {
    key(name);
    body_ += JsonQuote(text);
    return *this;
}

JsonObjectWriter& JsonObjectWriter::add(std::string_view name, std::int64_t number) {
    key(name);
    body_ += std::to_string(number);
    return *this;
}

JsonObjectWriter& JsonObjectWriter::addBool(std::string_view name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObjectWriter& JsonObjectWriter::addDouble(std::string_view name, double value) {
    key(name);
    if (!std::isfinite(value)) {
        body_ += "null";
        return *this;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    body_ += text;
    return *this;
}

JsonObjectWriter& JsonObjectWriter::addRaw(std::string_view name, std::string_view json) {
    key(name);
    body_ += json;
    return *this;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        out += items[i];
    }
    out += ']';
    return out;
}

}  // namespace tavlo::clocksim
