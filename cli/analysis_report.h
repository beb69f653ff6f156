// zelmar-plan --analyze: the rig in hand under the planner's rules, every
// checked family's margin and headroom and every rule it breaks.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "plan_options.h"
#include "plan_report.h"

namespace zelmar::plan_cli {

// The most violations an analysis lists; past it the answer says so.
inline constexpr std::size_t kMaxAnalysedViolations = 10'000;

// Analyses the carriers of `options` (its rig in the first group and every
// group's fixed carriers) or, when it names none, the frequencies of
// `input`, one per line. Status 0 when they keep every rule, 1 when not.
// A show's saved plan, when `saved` holds one, goes before all of these.
PlanReport RunAnalysis(const PlanOptions& options,
                       const plan::SettledRequest& request,
                       const std::optional<std::string>& input,
                       std::span<const plan::Carrier> saved = {});

}  // namespace zelmar::plan_cli
