// The best plan a running search of the page has met, with the answer
// `zelmar-plan --json` gives for it when Ctrl-C stops the search there: what
// the page shows when its search is stopped.
#pragma once

#include <string>
#include <vector>

#include "plan_cli.h"
#include "zelmar/planner.h"

namespace zelmar::web {

class BestSoFar {
 public:
  // The options of the running search (json or not: the report is JSON).
  explicit BestSoFar(const plan_cli::PlanOptions& options);

  // Takes the progress's best plan (the planner keeps the best it met).
  void Offer(const plan::SearchProgress& progress);

  // The JSON object of the kept plan (proven false), or "null" before any.
  // Made again only when the plan changed.
  const std::string& ReportJson();

 private:
  plan_cli::PlanOptions options_;
  std::vector<plan::Khz> plan_;
  std::vector<int> groups_;  // of plan_'s carriers, with device groups
  std::string report_;       // of plan_; empty when not yet made
};

}  // namespace zelmar::web
