// zelmar-plan's answers: a plan, no plan, or fixed carriers that already
// break a rule, each as text for people or as one JSON object.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plan_options.h"
#include "zelmar/groups.h"
#include "zelmar/planner.h"
#include "zelmar/show/request.h"

namespace zelmar::plan_cli {

struct PlanReport {
  PlanReport() = default;
  PlanReport(int status_, std::string out_, std::string err_)
      : status(status_), out(std::move(out_)), err(std::move(err_)) {}

  int status = kExitOk;
  // Standard output: the plan's frequencies one per line (so that it pipes
  // into zelmar-check), or one JSON object.
  std::string out;
  // Standard error: the figures and the check's verdict in text form,
  // warnings, and any error.
  std::string err;
  // For --save and --csv: the show and the crew's sheet, written by the
  // front end only when the run gave an answer.
  std::string show_text;
  std::string csv_text;
};

// One error line on standard error, with its exit status.
PlanReport UsageReport(std::string_view text);
PlanReport InternalReport(std::string_view text);

// The most rule violations of fixed carriers listed; past it the answer says
// the list is cut.
inline constexpr std::size_t kMaxListedViolations = 10'000;

// The rules fixed carriers break: words for each, their JSON array's
// elements, and whether there were more than listed.
struct BrokenRules {
  std::vector<std::string> reasons;
  std::string json;
  bool first_spacing = false;
  bool truncated = false;
};
// Of one group (at most kMaxListedViolations + 1 violations, the one past
// the list saying there are more), and of groups.
BrokenRules BrokenRulesOf(const PlanOptions& options,
                          const std::vector<plan::Violation>& violations);
BrokenRules BrokenRulesOf(const PlanOptions& options,
                          const plan::GroupViolations& violations);
PlanReport FixedBrokenReport(const PlanOptions& options,
                             const BrokenRules& broken);

// No valid plan of the size asked, or none before the search was stopped.
PlanReport NoPlanReport(const PlanOptions& options, bool proven,
                        const std::optional<int>& largest, bool by_interrupt);

// What a search has not ruled out (nullopt: nothing known): no valid plan
// holds more than `carriers` (for as many as fit), and none of the
// answer's size has a larger 2tx3 margin (one group) or headroom (groups)
// than `figure`.
struct NotRuledOut {
  std::optional<int> carriers;
  std::optional<plan::Khz> figure;
};

// A plan and what goes with it.
struct PlanView {
  std::vector<plan::Carrier> plan;    // ascending
  std::vector<plan::Carrier> spares;  // group by group, best first
  bool proven = false;
  NotRuledOut possible;
  std::string scan_json;  // the scans' summary as a JSON object, if any
};

// A plan that has passed the check (or the planner's rules above twelve
// carriers): its texts and, when checked, the check's verdict.
struct VerifiedPlan {
  std::vector<std::string> texts;
  bool checked = false;
  std::string verdict;
};
PlanReport FoundReport(const PlanOptions& options,
                       const plan::SettledRequest& request,
                       const PlanView& view, const VerifiedPlan& verified,
                       bool by_interrupt);

// A frequency's text, or nullopt (null in JSON) for none.
std::optional<std::string> KhzText(const std::optional<plan::Khz>& khz);

// One line (without line end) describing a running search.
std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds);

}  // namespace zelmar::plan_cli
