#include "tools/tavlo/ClockEdit.h"

#include <algorithm>

#include "tools/tavlo/Cli.h"
#include "tools/tavlo/RecordFormat.h"
#include "workflow/PageModels.h"

namespace tavlo::cli {
namespace {

constexpr std::string_view kNoAnswerText = "No answer";

// The request for the clock a read answered: its generation, family and passwords.
workflow::WriteRequest RequestFor(const workflow::ReadResult& read, workflow::ClockKind kind) {
    workflow::WriteRequest request;
    if (kind == workflow::ClockKind::kEarly) {
        request.generation = workflow::Generation::kEarly;
    } else {
        request.family = workflow::FamilyOfKind(kind);
        request.known = read.passwords.value_or(workflow::KnownPasswords{});
    }
    return request;
}

std::string WithKey(const std::string& message, const settings::BasicFocus& focus) {
    const std::string key = FocusKey(focus);
    return message + (key.empty() ? "" : " (" + key + ")");
}

}  // namespace

ClockEdit EditAndWrite(workflow::ClockLine& line, const workflow::ReadResult& read,
                       const std::vector<KeyValue>& values, const ClockEditRequest& request,
                       const std::stop_token& stop) {
    workflow::PageModels models;
    workflow::ClearPagesForRead(request.kind, models);
    workflow::ShowRead(read, request.kind, models);
    ClockEdit edit;
    edit.edits =
        ApplyValues(values, ReplyFields(read, request.kind), request.kind, request.page, models);
    if (!edit.edits.error.empty()) {
        return edit;
    }
    workflow::WriteRequest write = RequestFor(read, request.kind);
    write.scope = request.scope;
    write.target = request.address;
    write.page = request.page;
    write.basic = models.basic;
    write.wifi = models.wifi;
    write.dryRun = request.dryRun;
    write.broadcastInterfaces = request.broadcastInterfaces;
    edit.outcome = workflow::RunWrite(write, line, stop);
    return edit;
}

ClockLineText LineOf(const workflow::ReadResult& read, const ClockEdit& edit) {
    using workflow::WriteStatus;
    if (read.stopped) {
        return {ClockEnd::kNoAnswer, std::string(kStoppedText)};
    }
    if (!read.answered) {
        return {ClockEnd::kNoAnswer,
                read.failure.empty() ? std::string(kNoAnswerText) : read.failure};
    }
    if (!edit.edits.error.empty()) {
        return {ClockEnd::kRefused, edit.edits.error};
    }
    const workflow::WriteOutcome& outcome = *edit.outcome;
    switch (outcome.status) {
        case WriteStatus::kAcknowledged:
        case WriteStatus::kReady:
            return {ClockEnd::kWritten, outcome.message};
        case WriteStatus::kRefused:
            return {ClockEnd::kRefused, WithKey(outcome.message, outcome.focus)};
        case WriteStatus::kWrongUserPassword:
        case WriteStatus::kWrongGlobalPassword:
            return {ClockEnd::kPasswordRefused, outcome.message};
        case WriteStatus::kInvalidTarget:
        case WriteStatus::kNeedsDynamicIp:
            return {ClockEnd::kRefused, outcome.message};
        case WriteStatus::kStopped:
            return {ClockEnd::kNoAnswer, std::string(kStoppedText)};
        default:
            break;
    }
    return {ClockEnd::kNoAnswer,
            outcome.failure.empty() ? std::string(kNoAnswerText) : outcome.failure};
}

int ManyClocksStatus(const std::vector<ClockEnd>& ends) {
    const auto count = [&](ClockEnd end) { return std::count(ends.begin(), ends.end(), end); };
    const auto refused = count(ClockEnd::kRefused);
    const auto passwords = count(ClockEnd::kPasswordRefused);
    if (!ends.empty() && refused + passwords == static_cast<long>(ends.size())) {
        return refused > 0 ? kExitUsage : kExitPasswordRefused;
    }
    return count(ClockEnd::kWritten) == static_cast<long>(ends.size()) ? kExitSuccess
                                                                       : kExitNoAnswer;
}

std::string CountLine(std::size_t done, std::size_t total, std::string_view what) {
    return std::to_string(done) + " of " + std::to_string(total) + " clocks " + std::string(what);
}

}  // namespace tavlo::cli
