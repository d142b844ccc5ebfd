// A small, bounded JSON reader and a writer for JSON lines. The reader takes the clock files
// of tavlo-clocksim: input size, nesting depth and string lengths are limited, and every
// malformed input gives an error with its line and column instead of a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavlo::clocksim {

class JsonValue {
  public:
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    using Array = std::vector<JsonValue>;
    // Keys in file order, so that messages and duplicate checks follow the file.
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default;
    static JsonValue Bool(bool value);
    static JsonValue Number(double value);
    static JsonValue String(std::string value);
    static JsonValue MakeArray(Array items);
    static JsonValue MakeObject(Object members);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::kNull; }
    bool isBool() const { return kind_ == Kind::kBool; }
    bool isNumber() const { return kind_ == Kind::kNumber; }
    bool isString() const { return kind_ == Kind::kString; }
    bool isArray() const { return kind_ == Kind::kArray; }
    bool isObject() const { return kind_ == Kind::kObject; }

    bool asBool() const { return bool_; }
    double asNumber() const { return number_; }
    const std::string& asString() const { return string_; }
    const Array& asArray() const { return array_; }
    const Object& asObject() const { return object_; }

    // The member named `key` of an object, nullptr when absent or not an object.
    const JsonValue* find(std::string_view key) const;

  private:
    Kind kind_ = Kind::kNull;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    Array array_;
    Object object_;
};

struct JsonLimits {
    std::size_t maxInput = 4 * 1024 * 1024;
    std::size_t maxDepth = 32;
    std::size_t maxString = 64 * 1024;
    std::size_t maxItems = 100000;  // elements of one array or members of one object
};

// Parses one JSON document (RFC 8259; duplicate keys are refused). On failure returns
// nothing and sets `error` to "line L, column C: what".
std::optional<JsonValue> ParseJson(std::string_view text, std::string& error,
                                   const JsonLimits& limits = {});

// JSON string literal of `bytes`, quotes included. Bytes 0x80 and above are written as
// \u0080..\u00ff (each byte as one code point), so any byte string round-trips.
std::string JsonQuote(std::string_view bytes);

// Builds one JSON object on a line: members are appended in call order.
class JsonObjectWriter {
  public:
    JsonObjectWriter& add(std::string_view key, std::string_view text);
    JsonObjectWriter& add(std::string_view key, const char* text) {
        return add(key, std::string_view(text));
    }
    JsonObjectWriter& add(std::string_view key, std::int64_t number);
    JsonObjectWriter& add(std::string_view key, int number) {
        return add(key, static_cast<std::int64_t>(number));
    }
    JsonObjectWriter& add(std::string_view key, unsigned number) {
        return add(key, static_cast<std::int64_t>(number));
    }
    JsonObjectWriter& addBool(std::string_view key, bool value);
    JsonObjectWriter& addDouble(std::string_view key, double value);
    // `json` is inserted as it is (an object or array built by another writer).
    JsonObjectWriter& addRaw(std::string_view key, std::string_view json);
    std::string str() const { return "{" + body_ + "}"; }

  private:
    void key(std::string_view name);
    std::string body_;
};

// "[a,b,...]" of already formatted JSON values.
std::string JsonArray(const std::vector<std::string>& items);

}  // namespace tavlo::clocksim
