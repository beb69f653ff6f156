// Pieces of the zelmar-plan command-line front end, kept apart from main()
// so that argument handling, the run and the output can be tested on their
// own. Plans come from zelmar::plan::FindBestPlan; every plan printed has
// first been run through zelmar::RunChannelCheck.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan_cli {

inline constexpr std::string_view kProgramName = "zelmar-plan";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPlan = 1;    // no valid plan of the size asked
inline constexpr int kExitUsage = 2;     // bad arguments or failed I/O
inline constexpr int kExitInternal = 3;  // a plan the check rejects: a bug

inline constexpr plan::Khz kDefaultTimeLimitMs = 10'000;

struct PlanOptions {
  std::vector<plan::Band> bands;  // empty: the B band
  std::vector<plan::Range> excludes;
  std::vector<plan::Khz> fixed;
  int count = 0;  // 1..12
  bool max = false;
  plan::Rules rules;
  plan::Khz time_limit_ms = kDefaultTimeLimitMs;
  bool json = false;
  bool help = false;
  bool version = false;
};

struct ParsedPlanArguments {
  PlanOptions options;
  std::string error;  // one line, "zelmar-plan: ..."; empty when valid
};

// Reads the arguments after the program name. Options with a value take it
// as the next argument or after "=" (--band=806.125:809.750).
ParsedPlanArguments ParsePlanArguments(
    const std::vector<std::string_view>& args);

std::string PlanUsageText();
std::string PlanVersionText();

// The B band: 806.125 to 809.750 MHz in steps of 0.125 MHz.
plan::Band DefaultBand();

struct PlanReport {
  int status = kExitOk;
  std::string out;  // standard output
  std::string err;  // standard error (one line), empty unless status 2 or 3
};

// Builds the candidates, searches, checks the plan and formats the answer.
PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop);

// One line (without line end) describing a running search.
std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds);

}  // namespace zelmar::plan_cli
