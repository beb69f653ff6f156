// The best plan a running search of the page has met, with the answer
// `zelmar-plan --json` gives for it when Ctrl-C stops the search there: what
// the page shows when its search is stopped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plan_cli.h"
#include "zelmar/planner.h"

namespace zelmar::web {

class BestSoFar {
 public:
  explicit BestSoFar(const plan_cli::PlanOptions& options);

  // Keeps the progress's plan when it beats the kept one: more carriers, or
  // larger margins, family by checked family, as the planner ranks plans.
  // The planner shows the plan it last improved, which need not be its
  // best.
  void Offer(const plan::SearchProgress& progress);

  // The JSON object of the kept plan (proven false), or "null" before any.
  const std::string& ReportJson();

 private:
  bool Beats(const std::vector<plan::Khz>& plan,
             const std::optional<plan::Khz>& margin) const;
  std::vector<std::optional<plan::Khz>> CheckedMargins(
      const std::vector<plan::Khz>& plan) const;
  std::string FormatReport() const;
  std::string BandName(plan::Khz f) const;

  const plan_cli::PlanOptions& options_;
  const std::vector<plan_cli::ResolvedBand> resolved_;
  std::vector<plan::Khz> plan_;
  std::optional<plan::Khz> margin_;  // 2tx3, as the planner measured it
  std::vector<plan::Khz> last_offered_;
  std::string report_;  // of plan_; empty when not yet made
};

}  // namespace zelmar::web
