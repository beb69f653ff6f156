// One run of zelmar-plan: the request built from the options, the search,
// the check of its plan, and the answer.
#pragma once

#include <functional>

#include "plan_options.h"
#include "plan_report.h"
#include "zelmar/planner.h"

namespace zelmar::plan_cli {

// Builds the candidates, searches, checks the plan and formats the answer.
// `interrupted` (may be empty) tells a search that was stopped by Ctrl-C.
PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted = {});

// The answer to a search stopped by Ctrl-C with `plan` (ascending, valid)
// as its best plan: not proven, status kExitInterrupted (or kExitInternal
// when the check refuses the plan).
PlanReport StoppedReport(const PlanOptions& options,
                         const std::vector<plan::Khz>& plan);

}  // namespace zelmar::plan_cli
