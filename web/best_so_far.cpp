#include "best_so_far.h"

namespace zelmar::web {

BestSoFar::BestSoFar(const plan_cli::PlanOptions& options) : options_(options) {
  options_.json = true;
}

void BestSoFar::Offer(const plan::SearchProgress& progress) {
  if (!progress.have_plan ||
      (progress.best_plan == plan_ && progress.best_groups == groups_)) {
    return;
  }
  plan_ = progress.best_plan;
  groups_ = progress.best_groups;
  report_.clear();
}

const std::string& BestSoFar::ReportJson() {
  if (!report_.empty()) return report_;
  report_ = "null";
  if (plan_.empty()) return report_;
  const plan_cli::PlanReport report =
      plan_cli::StoppedReport(options_, plan_, groups_);
  // A plan the check refuses is never shown (the tool exits 3 on it).
  if (report.status == plan_cli::kExitInterrupted && !report.out.empty()) {
    report_ = report.out.substr(0, report.out.find_last_not_of('\n') + 1);
  }
  return report_;
}

}  // namespace zelmar::web
