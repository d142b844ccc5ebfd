#include "app/TreeRead.h"

#include "platform/Ipv4.h"
#include "protocol/Discovery.h"
#include "protocol/Exchanges.h"

namespace tavlo::app {
namespace {

// An item's text: the dotted address, then a blank and more ("198.18.0.10 (SN0010)").
constexpr char kItemTextSeparator = ' ';
// The group labels of current clocks: "a.b.c.0 (WIRED:n)" and "a.b.c.0 (WIFI:n)".
constexpr std::string_view kWiredGroupMark = " (WIRED:";
constexpr std::string_view kWifiGroupMark = " (WIFI:";

TreeReadPlan EarlyRead(platform::Ipv4 address) {
    TreeReadPlan plan;
    plan.read = workflow::ClockKind::kEarly;
    plan.address = address;
    return plan;
}

TreeReadPlan CurrentRead(platform::Ipv4 address, protocol::ClockFamily family) {
    TreeReadPlan plan;
    plan.address = address;
    plan.family = family;
    // Address 0 is no clock: nothing is read and no page is touched.
    if (address != platform::kAnyAddress) {
        plan.read = workflow::CurrentClockKind(family);
    }
    plan.setsUpdateTarget = platform::LastOctet(address) != platform::kNetworkAddressOctet;
    return plan;
}

TreeReadPlan ReadItem(const TreeChoice& item, platform::Ipv4 address,
                      protocol::ClockFamily radios) {
    return NamesEarlyVersions(item.parentText) ? EarlyRead(address)
                                               : CurrentRead(address, FamilyOfItem(item, radios));
}

}  // namespace

std::optional<ClockIdentity> TreeReadPlan::identity() const {
    if (!read || platform::LastOctet(address) == platform::kNetworkAddressOctet) {
        return std::nullopt;
    }
    return ClockIdentity{address, *read};
}

bool NamesEarlyVersions(std::string_view text) {
    return text.find(protocol::kEarlyVersionsText) != std::string_view::npos;
}

protocol::ClockFamily FamilyOfGroup(std::string_view groupText) {
    if (groupText.find(kWiredGroupMark) != std::string_view::npos) {
        return protocol::ClockFamily::kWired;
    }
    if (groupText.find(kWifiGroupMark) != std::string_view::npos) {
        return protocol::ClockFamily::kWifi;
    }
    return protocol::ClockFamily::kNone;
}

protocol::ClockFamily FamilyOfItem(const TreeChoice& item, protocol::ClockFamily radios) {
    const protocol::ClockFamily group =
        FamilyOfGroup(item.parentText.empty() ? item.text : item.parentText);
    return group != protocol::ClockFamily::kNone ? group : radios;
}

bool NamesClockGroup(std::string_view text) {
    const std::optional<platform::Ipv4> address =
        platform::ParseDottedAddress(text.substr(0, text.find(kItemTextSeparator)));
    return address && platform::LastOctet(*address) == platform::kNetworkAddressOctet;
}

std::optional<platform::Ipv4> ClockAddressOfItem(std::string_view itemText) {
    const std::string_view dotted = itemText.substr(0, itemText.find(kItemTextSeparator));
    const std::optional<platform::Ipv4> address = platform::ParseDottedAddress(dotted);
    if (!address || !protocol::IsSingleClockTarget(*address)) {
        return std::nullopt;
    }
    return address;
}

std::optional<ClockIdentity> IdentityOfItem(const TreeChoice& item, protocol::ClockFamily radios) {
    const std::optional<platform::Ipv4> address = ClockAddressOfItem(item.text);
    if (!address) {
        return std::nullopt;
    }
    const std::optional<workflow::ClockKind> kind =
        NamesEarlyVersions(item.parentText)
            ? workflow::ClockKind::kEarly
            : workflow::CurrentClockKind(FamilyOfItem(item, radios));
    if (!kind) {
        return std::nullopt;
    }
    return ClockIdentity{*address, *kind};
}

TreeReadPlan PlanClickRead(const std::optional<TreeChoice>& hit, protocol::ClockFamily radios) {
    if (!hit || hit->text.empty()) {
        return {};  // empty space
    }
    return PlanKeyboardRead(*hit, radios);
}

TreeReadPlan PlanKeyboardRead(const TreeChoice& selected, protocol::ClockFamily radios) {
    if (NamesEarlyVersions(selected.text)) {
        return {};  // the "Early Versions" group item itself
    }
    const platform::Ipv4 address = platform::ParseIpv4(selected.text);
    if (!NamesEarlyVersions(selected.parentText) && address == platform::kAnyAddress) {
        return {};
    }
    return ReadItem(selected, address, radios);
}

}  // namespace tavlo::app
