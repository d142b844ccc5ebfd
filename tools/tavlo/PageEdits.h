// What `tavlo write` does with its input: every key that `tavlo read --json` prints, and how its
// value reaches the page the operator would edit. A value is applied as the operator would:
// radio buttons and check boxes are clicked with the page's own Click (so their handlers
// unlock and lock the other controls), list items are picked by their text, texts are typed
// within the boxes' limits. A control the page keeps locked takes nothing.
//
// Keys are applied in a fixed order, buttons first (they unlock the controls the later keys
// fill), whatever the input's order. A value equal to what the clock reported for its key
// leaves the control as the read showed it, so a saved `tavlo read --json` file writes back
// unchanged even where the page cannot hold the clock's value (a brightness "not used (5)").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/BasicPageModel.h"
#include "settings/FieldText.h"
#include "tools/common/Json.h"
#include "wifi/WifiPageModel.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockWrite.h"
#include "workflow/PageModels.h"

namespace tavlo::cli {

// A key and its value text, in the input's order.
using KeyValue = std::pair<std::string, std::string>;

// The values of an input document: a JSON object whose members are texts (integers are taken
// as their decimal text). Nothing and a one-line `error` when it is not such an object, or
// names a key that `tavlo read --json` never prints for a clock of `kind`.
std::optional<std::vector<KeyValue>> TakeValues(const json::Json& input, workflow::ClockKind kind,
                                                std::string& error);

struct EditResult {
    // One line naming the key and what the page takes there; empty when every value was
    // applied.
    std::string error;
    // Keys the page cannot edit (and keys of the other page whose value is unchanged), in the
    // input's order.
    std::vector<std::string> ignored;
};

// Applies `values` to the page `page` in `models`. `reported` are the fields of the clock's
// read reply (settings::FieldText, as `tavlo read` prints them). The WIFI page first gets
// "Wifi_Pattern" clicked when the input gives "ssid", "cipher" or "authentication"; whatever
// the input does not give (the Wi-Fi password too) the page's store keeps as the clock
// reported it, so that a write never blanks it. A "wifiPassword" equal to the clock's is put
// into the box as it is (a batch sends it), which the store also keeps as the clock has it.
EditResult ApplyValues(const std::vector<KeyValue>& values,
                       const std::vector<settings::FieldText>& reported, workflow::ClockKind kind,
                       workflow::WritePage page, workflow::PageModels& models);

// The page whose control a key edits; nothing for a key no page edits (or no key at all).
std::optional<workflow::WritePage> PageOfKey(std::string_view name);

// The key of the control a store's refusal puts the focus on ("gateway", "timeServer2Address");
// empty when the focus stays where it is.
std::string FocusKey(const settings::BasicFocus& focus);

}  // namespace tavlo::cli
