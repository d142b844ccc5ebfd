// JSON for the command line and the simulator: one document type whose members keep the
// order they were written in, a bounded reader for files and standard input, and one-line
// output that never aborts on a text that is not UTF-8.
#pragma once

#include <cstddef>
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

// `value` on one line without blanks, members in their order. Bytes of a text that are not
// UTF-8 become U+FFFD.
std::string Write(const Json& value);

}  // namespace tavlo::json
