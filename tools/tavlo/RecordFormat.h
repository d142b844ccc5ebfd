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
#include "workflow/ClockRecord.h"

namespace tavlo::cli {

using settings::FieldText;

using workflow::ClockReplyFields;
using workflow::EarlyReplyFields;
using workflow::ReplyFields;

// Secret fields (passwords, keys) are left out unless `withSecrets`.
// "name  value" lines, names padded to one column, control characters made visible.
void PrintFieldsText(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets);
// One JSON object on one line; every value is a string.
void PrintFieldsJson(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets);

}  // namespace tavlo::cli
