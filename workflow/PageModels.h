// Both settings pages without widgets, and what reading a clock does to them. The window
// (through its Qt pages) and `tavlo write` fill the pages from a read the same way.
#pragma once

#include "settings/BasicPageModel.h"
#include "wifi/WifiPageModel.h"
#include "workflow/ClockKind.h"
#include "workflow/ClockRead.h"

namespace tavlo::workflow {

struct PageModels {
    settings::BasicPageModel basic;
    wifi::WifiPageModel wifi;
};

// A read of a current clock empties both pages before it asks, and fills them from the reply
// (or from the cleared frame) when it ends; an early-version read fills the Basic page on a
// reply only and leaves the pages alone otherwise.
constexpr bool ReadClearsPages(ClockKind kind) {
    return kind != ClockKind::kEarly;
}

// What a read of a clock of `kind` does to the pages before it asks.
void ClearPagesForRead(ClockKind kind, PageModels& pages);

// What the read does to the pages when it ends. An early-version clock's reply is shown on the
// Basic page. A current clock's frame (the reply, or the cleared frame when nobody answered)
// is shown on both pages with the family of `kind`; without an answer the display-duration
// lists are emptied too, so that nothing of the clock shown before stays on the page.
void ShowRead(const ReadResult& read, ClockKind kind, PageModels& pages);

}  // namespace tavlo::workflow
