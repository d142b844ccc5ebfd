// `tavlo write`'s input: a JSON document of the keys `tavlo read --json` prints, entered on the
// page of a clock as the operator would. The input picks the clock's kind and the page, changes
// bytes of the clock's record (a simulated clock's), and the rest is the document. Whatever it
// holds, it is refused with one line or the page's store refuses or its request shows back as
// the same entries; and the clock's own printed record always writes back unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4.h"
#include "protocol/Frames.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/PageChecks.h"
#include "tools/clocksim/ClockLogic.h"
#include "tools/clocksim/SimClock.h"
#include "tools/common/Json.h"
#include "tools/tavlo/PageEdits.h"
#include "tools/tavlo/RecordFormat.h"

namespace tavlo::fuzz {
namespace {

using workflow::ClockKind;
using workflow::WritePage;

constexpr std::uint8_t kKinds = 3;

struct ShownClock {
    ClockKind kind = ClockKind::kWired;
    protocol::ClockFamily family = protocol::ClockFamily::kNone;
    workflow::PageModels models;
    std::vector<settings::FieldText> reported;
};

// The clock's reply shown on both pages, as `tavlo write` does after its read.
ShownClock Show(Input& input, ClockKind kind) {
    ShownClock shown;
    shown.kind = kind;
    const platform::Ipv4 address = platform::MakeIpv4(198, 18, 0, 10);
    workflow::ReadResult read;
    read.answered = true;
    if (kind == ClockKind::kEarly) {
        const auto clock = clocksim::MakeDefaultClock(clocksim::ClockKind::kEarly, address);
        read.commandFrame = clocksim::EarlyReplyFrame(clock, 1, true);
        PatchRecord(input, read.commandFrame);
    } else {
        const bool wifi = kind == ClockKind::kWifi;
        const auto clock = clocksim::MakeDefaultClock(
            wifi ? clocksim::ClockKind::kWifi : clocksim::ClockKind::kWired, address);
        read.settingsFrame = clocksim::ReplyFrame(clock, 1, true);
        PatchRecord(input, read.settingsFrame);
        // A read takes only a read reply to the pages.
        read.settingsFrame[protocol::kFrameTypeOffset] =
            protocol::ToByte(protocol::FrameType::kReadSettings);
        shown.family = workflow::FamilyOfKind(kind);
    }
    shown.reported = cli::ReplyFields(read, kind);
    workflow::ClearPagesForRead(kind, shown.models);
    workflow::ShowRead(read, kind, shown.models);
    return shown;
}

bool OneLine(std::string_view text) {
    return !text.empty() && text.find('\n') == std::string_view::npos;
}

// What the page's store makes of the models: the request's bytes, or the refusal's message.
std::string Stored(const ShownClock& clock, const workflow::PageModels& models, WritePage page) {
    if (page == WritePage::kWifi) {
        protocol::SettingsFrame request{};
        wifi::StoreWifiPage(models.wifi, request);
        return {request.begin(), request.end()};
    }
    if (clock.kind == ClockKind::kEarly) {
        protocol::CommandFrame request{};
        const auto refusal = settings::StoreEarlyClockSettings(models.basic, request);
        return refusal ? refusal->message : std::string(request.begin(), request.end());
    }
    protocol::SettingsFrame request{};
    const auto refusal = settings::StoreClockSettings(models.basic, request);
    return refusal ? refusal->message : std::string(request.begin(), request.end());
}

// A saved `tavlo read --json --passwords` of the clock, written back, changes nothing.
void CheckWritesBackUnchanged(const ShownClock& clock, WritePage page) {
    std::ostringstream printed;
    constexpr bool kWithSecrets = true;
    cli::PrintFieldsJson(printed, clock.reported, kWithSecrets);
    std::string error;
    const auto document = json::Read(printed.str(), error);
    FUZZ_CHECK(document);
    const auto values = cli::TakeValues(*document, clock.kind, error);
    FUZZ_CHECK(values);
    workflow::PageModels edited = clock.models;
    const cli::EditResult result =
        cli::ApplyValues(*values, clock.reported, clock.kind, page, edited);
    FUZZ_CHECK(result.error.empty());
    FUZZ_CHECK(Stored(clock, edited, page) == Stored(clock, clock.models, page));
}

}  // namespace
}  // namespace tavlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavlo;
    using namespace tavlo::fuzz;
    Input input(data, size);
    const std::uint8_t choice = input.Byte();
    const auto kind = static_cast<ClockKind>(choice % kKinds);
    const WritePage page = kind != ClockKind::kEarly && (choice / kKinds) % 2 == 1
                               ? WritePage::kWifi
                               : WritePage::kBasic;
    const ShownClock clock = Show(input, kind);
    CheckWritesBackUnchanged(clock, page);

    const auto rest = input.Rest();
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    std::string error;
    const std::optional<json::Json> document = json::Read(text, error);
    if (!document) {
        FUZZ_CHECK(OneLine(error));
        return 0;
    }
    const auto values = cli::TakeValues(*document, kind, error);
    if (!values) {
        FUZZ_CHECK(OneLine(error));
        return 0;
    }
    workflow::PageModels models = clock.models;
    const cli::EditResult result = cli::ApplyValues(*values, clock.reported, kind, page, models);
    if (!result.error.empty()) {
        FUZZ_CHECK(OneLine(result.error));
        return 0;
    }
    if (page == WritePage::kWifi) {
        CheckWifiStore(models.wifi);
    } else if (kind == ClockKind::kEarly) {
        CheckEarlyStore(models.basic);
    } else {
        CheckBasicStore(models.basic, clock.family);
    }
    return 0;
}
