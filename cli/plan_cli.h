// Pieces of the zelmar-plan command-line front end, kept apart from main()
// so that argument handling, the run and the output can be tested on their
// own. Plans come from zelmar::plan::FindBestPlan; every plan of up to
// twelve carriers printed has first been run through zelmar::RunChannelCheck,
// larger ones through the planner's own rules.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan_cli {

inline constexpr std::string_view kProgramName = "zelmar-plan";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPlan = 1;         // no valid plan of the size asked
inline constexpr int kExitUsage = 2;          // bad arguments or failed I/O
inline constexpr int kExitInternal = 3;       // a plan the check rejects: a bug
inline constexpr int kExitInterrupted = 130;  // Ctrl-C: the best so far

inline constexpr plan::Khz kDefaultTimeLimitMs = 10'000;

// One --band or --tv option: where its carriers may go, and how many.
struct BandOption {
  enum class Kind { kRange, kBBand, kTv } kind = Kind::kRange;
  std::string text;           // the option's value without "=N"
  plan::Band band;            // kRange and kBBand
  std::vector<int> channels;  // kTv: the TV channels, ascending
  plan::Khz tv_step = plan::kDefaultTvStep;
  std::optional<int> count;  // "=N"
};

struct PlanOptions {
  std::vector<BandOption> bands;  // empty: the B band
  plan::Khz tv_edge = 0;
  std::vector<plan::Range> excludes;
  std::vector<plan::Khz> fixed;
  int count = 0;  // 1..64; 0 when left to the band counts
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

// The candidate bands of the options (the B band when none is given), one
// entry per --band option and per TV channel, with the option's index.
struct ResolvedBand {
  plan::Band band;
  std::size_t option = 0;
};
std::vector<ResolvedBand> ResolveBands(const PlanOptions& options);

struct PlanReport {
  int status = kExitOk;
  // Standard output: the plan's frequencies one per line (so that it pipes
  // into zelmar-check), or one JSON object.
  std::string out;
  // Standard error: the figures and the check's verdict in text form,
  // warnings, and any error.
  std::string err;
};

// Builds the candidates, searches, checks the plan and formats the answer.
// `interrupted` (may be empty) tells a search that was stopped by Ctrl-C.
PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted = {});

// One line (without line end) describing a running search.
std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds);

}  // namespace zelmar::plan_cli
