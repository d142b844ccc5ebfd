// Which read a choice in the device tree starts. Two ways lead to a read:
//
// - a click on the tree: a click on a clock reads it; a click on empty space reads nothing
//   but opens the second way;
// - a change of the selected item, which reads only after a click on empty space, so that
//   the arrow keys then read each clock they reach. (A mouse click changes the selection
//   before it raises the click, and the click reads: the window leaves out the selection
//   changes a mouse press makes, so that one click reads once.)
//
// An item under "Early Versions" is read with the early-version request; any other item is a
// current clock, read with the exchange of the chosen family (wired: chunks, Wi-Fi: whole
// frames, no family chosen yet: no read). A current read of a clock, not of a group label
// (an address ending in .0), also makes that clock the System page's update target. Plain
// functions of the item texts, without widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Network.h"
#include "settings/BasicPageModel.h"
#include "workflow/ClockRead.h"

namespace tavlo::app {

// What the last click on the tree hit; the window starts with kItem.
enum class TreeClickGate : std::uint8_t { kItem = 1, kEmptySpace = 2 };

// A tree item as the read paths see it.
struct TreeChoice {
    std::string text;
    // The parent item's text; empty for a group item.
    std::string parentText;
};

struct TreeReadPlan {
    // The read to run; nothing when nothing is read from the network.
    std::optional<workflow::ClockKind> read;
    // The address the item's text starts with (inet_addr rules).
    platform::Ipv4 address = 0;
    // The System page gets `address` as its update target afterwards.
    bool setsUpdateTarget = false;

    // A current read empties the Basic and WIFI pages before it asks, and fills them from
    // the reply (or from the cleared frame) when it ends; an early read fills the Basic page
    // on a reply only.
    bool clearsPages() const { return read && *read != workflow::ClockKind::kEarly; }
    bool empty() const { return !read && !setsUpdateTarget; }
};

// True when `text` names the early-version group ("Early Versions: N"): an item whose parent
// text does is an early-version clock.
bool NamesEarlyVersions(std::string_view text);

// A click on the tree; `hit` is nothing for a click on empty space. Sets `gate`.
TreeReadPlan PlanClickRead(const std::optional<TreeChoice>& hit, settings::ClockFamily family,
                           TreeClickGate& gate);

// A change of the selected item; `selected` is nothing when no item is selected (the tree
// was emptied): nothing is read then.
TreeReadPlan PlanSelectionRead(const std::optional<TreeChoice>& selected,
                               settings::ClockFamily family, TreeClickGate gate);

}  // namespace tavlo::app
