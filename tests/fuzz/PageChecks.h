// Checks of the pages' stores, shared by the page and `tavlo write` targets: a store refuses
// with one of its own messages, or yields a request that, shown again as the clock's reply,
// gives back the operator's entries and stores to the very same request.
#pragma once

#include <span>

#include "settings/BasicPageModel.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wifi/WifiPageModel.h"

namespace tavlo::fuzz {

// Changes bytes of `record` as the input says: a count, then that many (offset, value) pairs.
void PatchRecord(Input& input, std::span<std::uint8_t> record);

void CheckBasicStore(const settings::BasicPageModel& model, protocol::ClockFamily family);
void CheckEarlyStore(const settings::BasicPageModel& model);
void CheckWifiStore(const wifi::WifiPageModel& model);

}  // namespace tavlo::fuzz
