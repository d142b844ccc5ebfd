// JSON for the command line and the simulator: one document type whose members keep the
// order they were written in, a bounded reader for files and standard input, and one-line
// output that never aborts on a text that is not UTF-8.
#pragma once

#include <cstddef>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace tavlo::json {

using Json = nlohmann::ordered_json;

struct ReadLimits {
    std::size_t maxBytes = 4 * 1024 * 1024;
    std::size_t maxDepth = 32;
    // Members of one object: each new member is compared with the ones before it.
    std::size_t maxMembers = 512;
};

// Reads one JSON document (RFC 8259). Duplicate member names, nesting deeper than
// `maxDepth`, objects with more than `maxMembers` members and input longer than `maxBytes`
// are refused. Nothing and a one-line `error` ("line L, column C: what") when refused.
std::optional<Json> Read(std::string_view text, std::string& error, const ReadLimits& limits = {});

// The whole text of the file at `path`, or of `standardInput` when `path` is "-". Nothing and
// a one-line `error` when it cannot be read or is longer than `maxBytes`.
std::optional<std::string> ReadText(const std::string& path, std::istream& standardInput,
                                    std::string& error,
                                    std::size_t maxBytes = ReadLimits{}.maxBytes);

// `value` on one line without blanks, members in their order. Bytes of a text that are not
// UTF-8 become U+FFFD.
std::string Write(const Json& value);

}  // namespace tavlo::json
