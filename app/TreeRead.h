// Which read a choice in the device tree starts. Two ways lead to a read:
//
// - a click on a clock item reads it (a click on empty space or on "Early Versions: N" reads
//   nothing);
// - a move of the selection that the operator makes with the keyboard onto an item reads it,
//   whatever was clicked before. Selections the program makes itself (a batch firmware update
//   stepping to its next clock) never read.
//
// An item under "Early Versions" is read with the early-version request; any other item is a
// current clock of the family its group label names ("a.b.c.0 (WIRED:n)": chunks, "(WIFI:n)":
// whole frames). Only an item without such a group takes the family of the "WIRED" / "WIFI"
// radio buttons (no family chosen yet: no read); the radio buttons otherwise choose the family
// of the next search only. A current read of a clock, not of a group label (an address ending
// in .0), also makes that clock the System page's update target. Plain functions of the item
// texts, without widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Network.h"
#include "settings/BasicPageModel.h"
#include "workflow/ClockRead.h"
#include "workflow/PageModels.h"

namespace tavlo::app {

// A tree item as the read paths see it.
struct TreeChoice {
    std::string text;
    // The parent item's text; empty for a group item.
    std::string parentText;
};

// A clock as the window reaches it: its address and how it is read and written (family and
// generation).
struct ClockIdentity {
    platform::Ipv4 address = platform::kAnyAddress;
    workflow::ClockKind kind = workflow::ClockKind::kWired;
    friend bool operator==(const ClockIdentity&, const ClockIdentity&) = default;
};

struct TreeReadPlan {
    // The read to run; nothing when nothing is read from the network.
    std::optional<workflow::ClockKind> read;
    // The address the item's text starts with (inet_addr rules).
    platform::Ipv4 address = 0;
    // The family of the item (its group's, else the radio buttons').
    protocol::ClockFamily family = protocol::ClockFamily::kNone;
    // The System page gets `address` as its update target afterwards.
    bool setsUpdateTarget = false;

    // A current read empties the Basic and WIFI pages before it asks, and fills them from
    // the reply (or from the cleared frame) when it ends; an early read fills the Basic page
    // on a reply only.
    bool clearsPages() const { return read && workflow::ReadClearsPages(*read); }
    bool empty() const { return !read && !setsUpdateTarget; }
    // The clock the pages show once the read got an answer.
    std::optional<ClockIdentity> identity() const;
};

// True when `text` names the early-version group ("Early Versions: N"): an item whose parent
// text does is an early-version clock.
bool NamesEarlyVersions(std::string_view text);

// True when `text` is a group label of current clocks: it starts with a network address
// ("a.b.c.0 (WIRED:n)").
bool NamesClockGroup(std::string_view text);

// The family a group label names: "a.b.c.0 (WIRED:n)" wired, "a.b.c.0 (WIFI:n)" Wi-Fi, any
// other text none.
protocol::ClockFamily FamilyOfGroup(std::string_view groupText);

// The family of a tree item: the one its group label names (for a group item, its own label),
// else `radios`, the "WIRED" / "WIFI" choice.
protocol::ClockFamily FamilyOfItem(const TreeChoice& item, protocol::ClockFamily radios);

// The address of the clock an item's text names: the dotted address up to the first blank,
// when it reaches one clock (protocol::IsSingleClockTarget). Nothing for anything else: a
// group label, "Early Versions: N", an empty text.
std::optional<platform::Ipv4> ClockAddressOfItem(std::string_view itemText);

// The clock an item stands for, as Modify writes to it: nothing when its text does not start
// with a clock's address (ClockAddressOfItem) or when a current clock has no family.
std::optional<ClockIdentity> IdentityOfItem(const TreeChoice& item, protocol::ClockFamily radios);

// A click on the tree; `hit` is nothing for a click on empty space.
TreeReadPlan PlanClickRead(const std::optional<TreeChoice>& hit, protocol::ClockFamily radios);

// The operator moved the selection with the keyboard onto `selected`.
TreeReadPlan PlanKeyboardRead(const TreeChoice& selected, protocol::ClockFamily radios);

}  // namespace tavlo::app
