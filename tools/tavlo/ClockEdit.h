// One clock's write as `tavlo write` and `tavlo restore` make it: the clock is read as a click
// does, the read is shown on the page models, the values are entered on the page as the
// operator would, and Modify runs with the window's own workflow. Also the line and exit
// status of a run over many clocks.
#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "tools/tavlo/PageEdits.h"
#include "workflow/ClockLine.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockWrite.h"

namespace tavlo::cli {

// The clock's password check refused the write.
inline constexpr int kExitPasswordRefused = 3;
// The line of a clock that Ctrl-C stopped (or that was not asked any more).
inline constexpr std::string_view kStoppedText = "Stopped";

// What one clock's write needs besides its line and its read.
struct ClockEditRequest {
    platform::Ipv4 address = 0;
    workflow::ClockKind kind = workflow::ClockKind::kWired;
    workflow::WritePage page = workflow::WritePage::kBasic;
    workflow::WriteScope scope = workflow::WriteScope::kOneClock;
    bool dryRun = false;
    // Where a batch broadcasts (--interface): empty for every interface with a broadcast address.
    std::vector<std::string> broadcastInterfaces{};
};

struct ClockEdit {
    // The entries refused or ignored (EditResult); when `edits.error` is set nothing was sent.
    EditResult edits;
    // The workflow's outcome; nothing when the entries were refused.
    std::optional<workflow::WriteOutcome> outcome;
};

// Enters `values` on the page of a clock that `read` answered for, then runs the write (which
// `stop` ends between its attempts).
ClockEdit EditAndWrite(workflow::ClockLine& line, const workflow::ReadResult& read,
                       const std::vector<KeyValue>& values, const ClockEditRequest& request,
                       const std::stop_token& stop = {});

// How one clock of many ended.
enum class ClockEnd : std::uint8_t {
    kWritten,         // acknowledged (or, in a dry run, checked)
    kNoAnswer,        // sent, or read, and nothing came back
    kRefused,         // an entry the page refused: nothing sent to this clock
    kPasswordRefused  // the password check refused: nothing sent to this clock
};

// The outcome's end and the text after "ADDRESS: " on its line.
struct ClockLineText {
    ClockEnd end = ClockEnd::kNoAnswer;
    std::string text;
};
ClockLineText LineOf(const workflow::ReadResult& read, const ClockEdit& edit);

// The exit status of a run over clocks that ended as `ends`: 2 or 3 only when nothing was
// sent to any clock (every clock refused an entry, 2, or the password, 3); otherwise 0 when
// every clock took its write and 1 when any failed.
int ManyClocksStatus(const std::vector<ClockEnd>& ends);

// "N of M clocks written" and the like: `done` of `total` clocks `what`.
std::string CountLine(std::size_t done, std::size_t total, std::string_view what);

}  // namespace tavlo::cli
