// zelmar-plan's arguments: what they may say, how they are read, and the
// help text that tells the user.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"
#include "zelmar/show/request.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan_cli {

inline constexpr std::string_view kProgramName = "zelmar-plan";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPlan = 1;         // no valid plan of the size asked
inline constexpr int kExitUsage = 2;          // bad arguments or failed I/O
inline constexpr int kExitInternal = 3;       // a plan the check rejects: a bug
inline constexpr int kExitInterrupted = 130;  // Ctrl-C: the best so far

inline constexpr plan::Khz kDefaultTimeLimitMs = 10'000;

// One --band or --tv option.
using BandOption = plan::BandOption;

// What the planner is asked, and how this front end runs and answers.
struct PlanOptions : plan::RequestOptions {
  plan::Khz time_limit_ms = kDefaultTimeLimitMs;
  bool json = false;
  // --analyze: check these carriers (the first group's) and the groups'
  // fixed ones instead of planning; none given: standard input.
  bool analyze = false;
  std::vector<plan::Khz> rig;
  // Venue scans and what of them counts as taken.
  std::vector<std::string> scans;
  std::optional<double> scan_threshold;  // dBm; none: each scan's floor
  plan::Khz scan_guard = plan::kDefaultScanGuard;
  // The scans' frequency unit where a file does not say it; none: told
  // from the magnitudes.
  std::optional<plan::ScanUnit> scan_unit;
  // What the scans took, each scan's part with its levels, once read.
  std::optional<plan::ScanOccupancy> scan_taken;
  std::string show;  // --show FILE: the request (and plan) of a show file
  std::string save;  // --save FILE: the request and its plan
  std::string csv;   // --csv FILE ("-": standard output): the crew's sheet
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

// Words for options refused as a whole (a show file's too).
std::string DescribeOptionsCheck(const PlanOptions& options,
                                 const plan::OptionsCheck& check);

std::string PlanUsageText();
std::string PlanVersionText();

// "zelmar-plan: TEXT", the form of every message on standard error.
std::string PlanMessage(std::string_view text);
// An argument in quotes, made printable on one line.
std::string QuoteArgument(std::string_view text);
// A file name in quotes, printable and whole.
std::string QuoteFile(std::string_view name);

}  // namespace zelmar::plan_cli
