// A clock's settings record as named fields with the values in the forms the pages show:
// dotted addresses, version "3.29", readings with one decimal, texts as text (UTF-8), the time
// zone as its list label, names from the pages' lists.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"

namespace tavlo::cli {

struct Field {
    std::string name;
    std::string value;
    friend bool operator==(const Field&, const Field&) = default;
};

struct RecordOptions {
    // The clock's own passwords (user, global, Wi-Fi) are printed only when asked for.
    bool withPasswords = false;
};

// Every field of a current clock's read reply (SettingsFrame).
std::vector<Field> DescribeClockSettings(settings::ConstSettingsBytes frame,
                                         const RecordOptions& options);
// Every field of an early-version clock's read reply (CommandFrame).
std::vector<Field> DescribeEarlyClockSettings(settings::ConstCommandBytes frame);

// "name  value" lines, names padded to one column.
void PrintFieldsText(std::ostream& out, const std::vector<Field>& fields);
// One JSON object on one line; every value is a string.
void PrintFieldsJson(std::ostream& out, const std::vector<Field>& fields);

}  // namespace tavlo::cli
