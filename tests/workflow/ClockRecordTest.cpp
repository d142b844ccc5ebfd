// A clock's record as a table row: CSV quoting (RFC 4180) and the columns of each kind.
#include <gtest/gtest.h>

#include <algorithm>

#include "workflow/ClockRecord.h"

namespace tavlo::workflow {
namespace {

TEST(ClockRecordTest, CsvQuotesOnlyTheCellsThatNeedItAndEndsInCrLf) {
    const struct {
        std::vector<std::string> cells;
        std::string line;
    } cases[] = {
        {{"198.18.0.10", "UTC +5:30", ""}, "198.18.0.10,UTC +5:30,\r\n"},
        {{"a,b", "say \"hi\"", "two\nlines", "cr\r"},
         "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\"\r\n"},
        {{}, "\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvLine(c.cells), c.line);
    }
}

TEST(ClockRecordTest, ColumnsStartWithTheAddressAndLeaveSecretsOut) {
    for (const ClockKind kind : {ClockKind::kWired, ClockKind::kWifi, ClockKind::kEarly}) {
        const std::vector<std::string> open = RecordColumns(kind, false);
        const std::vector<std::string> all = RecordColumns(kind, true);
        ASSERT_FALSE(open.empty());
        EXPECT_EQ(open.front(), kAddressKey);
        // Current clocks carry passwords and keys; early-version records have none.
        EXPECT_EQ(open.size() < all.size(), kind != ClockKind::kEarly);
        for (const std::string& name : open) {
            EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << name;
        }
    }
}

}  // namespace
}  // namespace tavlo::workflow
