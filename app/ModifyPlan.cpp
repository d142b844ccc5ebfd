#include "app/ModifyPlan.h"

#include <string_view>

#include "platform/Ipv4.h"

namespace tavlo::app {
namespace {

// The clock a batch firmware update starts at: the selected clock, or the first clock of the
// selected group.
ModifyPlan PlanBatchUpdate(const std::optional<TreeChoice>& selected,
                           const std::optional<std::string>& firstChild) {
    ModifyPlan plan;
    plan.action = ModifyAction::kInvalidTarget;
    if (!selected) {
        return plan;
    }
    std::optional<platform::Ipv4> first = ClockAddressOfItem(selected->text);
    if (!first && NamesClockGroup(selected->text) && firstChild) {
        first = ClockAddressOfItem(*firstChild);
        plan.selectsFirstChild = true;
    }
    if (first) {
        plan.action = ModifyAction::kBatchUpdate;
        plan.first = *first;
    }
    return plan;
}

}  // namespace

ModifyPlan PlanModify(workflow::WriteScope scope, const ModifyContext& context) {
    const std::optional<TreeChoice>& selected = context.selected;
    const workflow::Generation generation = selected && NamesEarlyVersions(selected->parentText)
                                                ? workflow::Generation::kEarly
                                                : workflow::Generation::kCurrent;
    ModifyPlan plan;
    plan.generation = generation;
    // Early-version clocks have the Basic page only.
    if (generation == workflow::Generation::kEarly && context.tab != PageTab::kBasic) {
        return plan;
    }
    switch (context.tab) {
        case PageTab::kBasic:
        case PageTab::kWifi:
            plan.page = context.tab == PageTab::kBasic ? workflow::WritePage::kBasic
                                                       : workflow::WritePage::kWifi;
            plan.family = selected ? FamilyOfItem(*selected, context.radios) : context.radios;
            plan.action = ModifyAction::kWrite;
            if (scope == workflow::WriteScope::kOneClock && selected) {
                // An item that is no clock's address is refused by the write itself.
                const std::optional<ClockIdentity> target =
                    IdentityOfItem(*selected, context.radios);
                if (target && target != context.shown) {
                    plan.action = ModifyAction::kReadFirst;
                }
            }
            return plan;
        case PageTab::kSystem:
            if (!context.updateControlChecked) {
                plan.action = ModifyAction::kSelectMode;
                return plan;
            }
            if (scope == workflow::WriteScope::kOneClock) {
                plan.action = ModifyAction::kSingleUpdate;
                return plan;
            }
            plan = PlanBatchUpdate(selected, context.firstChild);
            plan.generation = generation;
            plan.family = selected ? FamilyOfItem(*selected, context.radios) : context.radios;
            return plan;
    }
    return plan;  // a tab the control does not have: nothing is stored
}

}  // namespace tavlo::app
