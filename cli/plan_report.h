// zelmar-plan's answers: a plan, no plan, or fixed carriers that already
// break a rule, each as text for people or as one JSON object.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plan_options.h"
#include "zelmar/planner.h"

namespace zelmar::plan_cli {

struct PlanReport {
  int status = kExitOk;
  // Standard output: the plan's frequencies one per line (so that it pipes
  // into zelmar-check), or one JSON object.
  std::string out;
  // Standard error: the figures and the check's verdict in text form,
  // warnings, and any error.
  std::string err;
};

// One error line on standard error, with its exit status.
PlanReport UsageReport(std::string_view text);
PlanReport InternalReport(std::string_view text);

// The most rule violations of fixed carriers listed; past it the answer says
// the list is cut.
inline constexpr std::size_t kMaxListedViolations = 10'000;

// The fixed carriers break `violations` (at most kMaxListedViolations + 1
// of them, the one past the list saying there are more).
PlanReport FixedBrokenReport(const PlanOptions& options,
                             const std::vector<plan::Violation>& violations);

// No valid plan of the size asked, or none before the search was stopped.
PlanReport NoPlanReport(const PlanOptions& options,
                        const plan::PlanOutcome& outcome, bool by_interrupt);

// A plan that has passed the check (or the planner's rules above twelve
// carriers): its texts and, when checked, the check's verdict.
struct VerifiedPlan {
  std::vector<std::string> texts;
  bool checked = false;
  std::string verdict;
};
PlanReport FoundReport(const PlanOptions& options,
                       const plan::PlanOutcome& outcome,
                       const VerifiedPlan& verified, bool by_interrupt);

// A frequency's text, or nullopt (null in JSON) for none.
std::optional<std::string> KhzText(const std::optional<plan::Khz>& khz);

// One line (without line end) describing a running search.
std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds);

}  // namespace zelmar::plan_cli
