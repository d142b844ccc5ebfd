// A clock's read reply as named fields, and as one row of a table: the columns `tavlo read
// --csv` prints and the window's "Read all clocks" table shows.
#pragma once

#include <string>
#include <vector>

#include "settings/ClockSettings.h"
#include "settings/EarlyClockSettings.h"
#include "settings/FieldText.h"
#include "workflow/ClockKind.h"
#include "workflow/ClockRead.h"

namespace tavlo::workflow {

using settings::FieldText;

// The settings record of a current clock followed by its Wi-Fi fields.
std::vector<FieldText> ClockReplyFields(settings::ConstSettingsBytes frame);
// The settings record of an early-version clock.
std::vector<FieldText> EarlyReplyFields(settings::ConstCommandBytes frame);
// The reply of a read of a clock of `kind`: one of the two above.
std::vector<FieldText> ReplyFields(const ReadResult& read, ClockKind kind);

// The key of the column that names the clock's address, first in every record.
inline constexpr const char* kAddressKey = "address";

// The record of a read of the clock at `address`: its address, then every field of the
// reply; secret fields (passwords, keys) only `withSecrets`.
std::vector<FieldText> ClockRecord(platform::Ipv4 address, const ReadResult& read, ClockKind kind,
                                   bool withSecrets);

// The column names of a record of a clock of `kind`.
std::vector<std::string> RecordColumns(ClockKind kind, bool withSecrets);

// One CSV line of `cells` (RFC 4180): a cell holding a comma, a quote, CR or LF goes in quotes
// with its quotes doubled; the line ends in CR LF.
std::string CsvLine(const std::vector<std::string>& cells);

}  // namespace tavlo::workflow
