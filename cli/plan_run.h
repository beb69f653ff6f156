// One run of zelmar-plan: the request built from the options (or a show
// file), the venue's scans, the search, the check of its plan, the spares
// and the answer, with the show and the crew's sheet to save.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plan_options.h"
#include "plan_report.h"
#include "zelmar/planner.h"

namespace zelmar::plan_cli {

// What the front end read for the run: files and standard input.
struct PlanInputs {
  std::optional<std::string> show;  // the text of --show FILE
  std::vector<std::string> scans;   // the texts of --scan FILE, in order
  std::optional<std::string> rig;   // --analyze's standard input
};

// Builds the request, searches, checks the plan and formats the answer.
// `interrupted` (may be empty) tells a search that was stopped by Ctrl-C.
PlanReport RunPlan(const PlanOptions& options, const PlanInputs& inputs,
                   const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted = {});
inline PlanReport RunPlan(const PlanOptions& options,
                          const plan::StopCheck& stop) {
  return RunPlan(options, PlanInputs{}, stop);
}

// The answer to a search stopped by Ctrl-C with `plan` (ascending, valid)
// as its best plan, `groups` its carriers' groups (empty: the first): not
// proven, status kExitInterrupted (or kExitInternal when the check refuses
// the plan).
PlanReport StoppedReport(const PlanOptions& options,
                         const std::vector<plan::Khz>& plan,
                         const std::vector<int>& groups = {});

}  // namespace zelmar::plan_cli
