// What "Modify" and "Batch Modify" do, decided from the selected tree item, the tab in front
// and the System page's "Update Control":
//
// - the Basic or WIFI page in front: the page is written (workflow::RunWrite), to the
//   selected clock or by broadcast; the selected item's parent decides the generation (an item
//   under "Early Versions" is an early-version clock, which has the Basic page only) and the
//   family (its group label; see TreeRead.h). Modify writes only to the clock the pages were
//   filled from: a clock item that is another clock (address, family or generation), or any
//   clock while the pages show no answer, is refused with "Please read the selected clock
//   first!", and nothing is sent. Batch Modify means "these settings to every clock" and has
//   no such check;
// - the System page in front with a current clock: without "Update Control" the page refuses
//   with its own message; with it Modify updates the firmware of the clock the page names,
//   and Batch Modify updates the selected clock and each following one of its group, starting
//   at the group's first clock when a group item is selected.
//
// A batch firmware update needs a clock to start at: an item that is not a clock's dotted
// address ("Early Versions: N", nothing selected) or a group without clocks has none. Plain
// functions of the item texts, without widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/TreeRead.h"
#include "platform/Network.h"
#include "workflow/ClockWrite.h"

namespace tavlo::app {

// Tabs of the tab control, in order.
enum class PageTab : int { kBasic = 0, kWifi = 1, kSystem = 2 };

enum class ModifyAction : std::uint8_t {
    kNothing,        // an early-version clock with the WIFI or System page in front
    kWrite,          // the Basic or WIFI page is written
    kSelectMode,     // the System page without "Update Control": the page refuses
    kSingleUpdate,   // Modify: firmware to the System page's target (the update monitor)
    kBatchUpdate,    // Batch Modify: firmware to `first` and the clocks after it
    kInvalidTarget,  // a batch firmware update with no clock to start at
    kReadFirst,      // Modify of a clock the pages were not filled from
};

inline constexpr char kReadFirstMessage[] = "Please read the selected clock first!";

struct ModifyPlan {
    ModifyAction action = ModifyAction::kNothing;
    workflow::Generation generation = workflow::Generation::kCurrent;
    // kWrite: the page in front.
    workflow::WritePage page = workflow::WritePage::kBasic;
    // kWrite: the family the request goes by (the selected item's).
    protocol::ClockFamily family = protocol::ClockFamily::kNone;
    // kBatchUpdate: the first clock, and whether it is the selected group's first child (the
    // window selects it before the batch starts).
    platform::Ipv4 first = platform::kAnyAddress;
    bool selectsFirstChild = false;
};

// What the window knows when a button is pressed.
struct ModifyContext {
    // The selected tree item (nothing when none is) and the text of its first child (nothing
    // when it has none).
    std::optional<TreeChoice> selected;
    std::optional<std::string> firstChild;
    // The page in front.
    PageTab tab = PageTab::kBasic;
    bool updateControlChecked = false;
    // The "WIRED" / "WIFI" choice, for an item without a family group.
    protocol::ClockFamily radios = protocol::ClockFamily::kNone;
    // The clock the pages were filled from; nothing after a read nobody answered.
    std::optional<ClockIdentity> shown;
};

ModifyPlan PlanModify(workflow::WriteScope scope, const ModifyContext& context);

}  // namespace tavlo::app
