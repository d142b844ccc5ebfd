#include "app/TreeRead.h"

#include "platform/Ipv4.h"
#include "protocol/Discovery.h"

namespace tavlo::app {
namespace {

TreeReadPlan EarlyRead(platform::Ipv4 address) {
    TreeReadPlan plan;
    plan.read = workflow::ClockKind::kEarly;
    plan.address = address;
    return plan;
}

TreeReadPlan CurrentRead(platform::Ipv4 address, settings::ClockFamily family) {
    TreeReadPlan plan;
    plan.address = address;
    // Address 0 is no clock: nothing is read and no page is touched.
    if (address != platform::kAnyAddress) {
        switch (family) {
            case settings::ClockFamily::kWired:
                plan.read = workflow::ClockKind::kWired;
                break;
            case settings::ClockFamily::kWifi:
                plan.read = workflow::ClockKind::kWifi;
                break;
            case settings::ClockFamily::kNone:
                break;
        }
    }
    plan.setsUpdateTarget = platform::LastOctet(address) != 0;
    return plan;
}

TreeReadPlan ReadItem(const TreeChoice& item, platform::Ipv4 address,
                      settings::ClockFamily family) {
    return NamesEarlyVersions(item.parentText) ? EarlyRead(address) : CurrentRead(address, family);
}

}  // namespace

bool NamesEarlyVersions(std::string_view text) {
    return text.find(protocol::kEarlyVersionsText) != std::string_view::npos;
}

TreeReadPlan PlanClickRead(const std::optional<TreeChoice>& hit, settings::ClockFamily family,
                           TreeClickGate& gate) {
    if (!hit || hit->text.empty()) {
        gate = TreeClickGate::kEmptySpace;
        return {};
    }
    gate = TreeClickGate::kItem;
    if (NamesEarlyVersions(hit->text)) {
        return {};  // the "Early Versions" group item itself
    }
    const platform::Ipv4 address = platform::ParseIpv4(hit->text);
    if (!NamesEarlyVersions(hit->parentText) && address == platform::kAnyAddress) {
        return {};
    }
    return ReadItem(*hit, address, family);
}

TreeReadPlan PlanSelectionRead(const std::optional<TreeChoice>& selected,
                               settings::ClockFamily family, TreeClickGate gate) {
    if (!selected || gate != TreeClickGate::kEmptySpace || NamesEarlyVersions(selected->text)) {
        return {};
    }
    return ReadItem(*selected, platform::ParseIpv4(selected->text), family);
}

}  // namespace tavlo::app
