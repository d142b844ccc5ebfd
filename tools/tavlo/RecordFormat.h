// Printing a clock's read reply: every field by name, in the forms the pages show
// (settings::FieldText), as aligned text or as one JSON object.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "settings/FieldText.h"
#include "workflow/ClockRead.h"

namespace tavlo::cli {

using settings::FieldText;

// The settings record of a current clock followed by its Wi-Fi fields.
std::vector<FieldText> ClockReplyFields(settings::ConstSettingsBytes frame);
// The settings record of an early-version clock.
std::vector<FieldText> EarlyReplyFields(settings::ConstCommandBytes frame);
// The reply of a read of a clock of `kind`: one of the two above.
std::vector<FieldText> ReplyFields(const workflow::ReadResult& read, workflow::ClockKind kind);

// Secret fields (passwords, keys) are left out unless `withSecrets`.
// "name  value" lines, names padded to one column, control characters made visible.
void PrintFieldsText(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets);
// One JSON object on one line; every value is a string.
void PrintFieldsJson(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets);

}  // namespace tavlo::cli
