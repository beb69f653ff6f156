#include "plan_run.h"

#include <optional>
#include <string>
#include <vector>

#include "zelmar/engine.h"
#include "zelmar/request.h"

namespace zelmar::plan_cli {
namespace {

using plan::FormatKhz;
using plan::Khz;

std::string_view DescribeRequestError(plan::RequestError error) {
  switch (error) {
    case plan::RequestError::kNone:
      return "fine";
    case plan::RequestError::kCountTooLarge:
      return "more than 64 carriers asked for";
    case plan::RequestError::kTooManyFixed:
      return "more than 64 fixed carriers";
    case plan::RequestError::kCountBelowFixed:
      return "fewer carriers asked for than fixed ones";
    case plan::RequestError::kFrequencyOutOfRange:
      return "a frequency is not below 1000000 MHz";
    case plan::RequestError::kSpacingBelowCheck:
      return "the spacing is below the check's own 0.125 MHz";
    case plan::RequestError::kCandidatesUnordered:
      return "the candidate channels are not ascending";
    case plan::RequestError::kTooManyCandidates:
      return "more than 1000000 candidate channels";
    case plan::RequestError::kBadGroups:
      return "more than 32 bands with counts";
    case plan::RequestError::kCountNotGroupSum:
      return "--count differs from the band counts plus the fixed carriers";
  }
  return "refused";
}

// "--band '806:807'" or "--tv '21,22'": an option as the user gave it.
std::string OptionName(const BandOption& b) {
  return std::string(b.kind == BandOption::Kind::kTv ? "--tv " : "--band ") +
         QuoteArgument(b.text);
}

std::string DescribeBuildError(const PlanOptions& options,
                               const plan::BuiltRequest& built) {
  if (built.error == plan::BuildError::kTooManyCandidates) {
    return "more than 1000000 candidate channels; use fewer or narrower bands "
           "or a larger step";
  }
  return OptionName(options.bands[built.first_sharer]) + " and " +
         OptionName(options.bands[built.second_sharer]) +
         " share the channel " + FormatKhz(built.shared_channel) +
         " MHz; bands with counts must not overlap";
}

// What the user may not have meant but the run goes on with: fixed carriers
// inside exclusions, and exclusions that leave no channel.
std::string Warnings(const PlanOptions& options,
                     const plan::PlanRequest& request) {
  std::string warnings;
  for (Khz f : options.fixed) {
    for (const plan::Range& r : options.excludes) {
      if (f < r.low || f > r.high) continue;
      warnings +=
          PlanMessage("warning: the fixed carrier " + FormatKhz(f) +
                      " MHz lies inside --exclude " + FormatKhz(r.low) + ":" +
                      FormatKhz(r.high) + "; it stays in every plan") +
          "\n";
    }
  }
  if (!request.candidates.empty() || options.excludes.empty()) return warnings;
  std::vector<plan::Band> bands;
  for (const plan::ResolvedBand& r : plan::ResolveBands(options)) {
    bands.push_back(r.band);
  }
  if (!plan::BuildCandidates(bands, {}, 1).channels.empty()) {
    warnings +=
        PlanMessage("warning: the exclusions leave no channel in the bands") +
        "\n";
  }
  return warnings;
}

// Every plan goes through the check (or, above its twelve fields, the
// planner's own rules) before it is shown. On failure, the internal error.
std::optional<std::string> Verify(const PlanOptions& options,
                                  const std::vector<Khz>& plan,
                                  VerifiedPlan& verified) {
  for (Khz f : plan) verified.texts.push_back(FormatKhz(f));
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (verified.texts[i] != FormatMHz(static_cast<double>(plan[i]) / 1000.0)) {
      return "the frequency text " + verified.texts[i] +
             " differs from the check's own";
    }
  }
  verified.checked = plan.size() <= kSlotCount;
  if (!verified.checked) {
    if (plan::FindViolations(plan, options.rules, 1).empty()) {
      return std::nullopt;
    }
    return "the plan breaks the planner's own rules";
  }
  FieldTexts fields;
  for (std::size_t i = 0; i < plan.size(); ++i) fields[i] = verified.texts[i];
  verified.verdict = RunChannelCheck(fields).resultText;
  if (verified.verdict == kLowRiskText) return std::nullopt;
  std::string plan_text;
  for (const std::string& t : verified.texts) plan_text += " " + t;
  return "the check does not call the plan" + plan_text + " low-risk";
}

PlanReport ReportFound(const PlanOptions& options,
                       const plan::PlanOutcome& outcome, bool by_interrupt) {
  VerifiedPlan verified;
  if (auto error = Verify(options, outcome.plan, verified)) {
    return InternalReport(*error);
  }
  return FoundReport(options, outcome, verified, by_interrupt);
}

// The answer to a search's outcome, warnings not yet in it.
PlanReport ReportOutcome(const PlanOptions& options,
                         const plan::PlanOutcome& outcome, bool by_interrupt) {
  switch (outcome.status) {
    case plan::PlanOutcome::Status::kRefused:
      return UsageReport(DescribeRequestError(outcome.error));
    case plan::PlanOutcome::Status::kFixedBroken:
      // One past the list, to tell a full list from a cut one.
      return FixedBrokenReport(
          options, plan::FindViolations(options.fixed, options.rules,
                                        kMaxListedViolations + 1));
    case plan::PlanOutcome::Status::kNone:
      return NoPlanReport(options, outcome, by_interrupt);
    case plan::PlanOutcome::Status::kFound:
      break;
  }
  return ReportFound(options, outcome, by_interrupt);
}

}  // namespace

PlanReport StoppedReport(const PlanOptions& options,
                         const std::vector<plan::Khz>& plan) {
  plan::PlanOutcome outcome;
  outcome.status = plan::PlanOutcome::Status::kFound;
  outcome.plan = plan;
  outcome.margins = plan::MeasurePlan(plan).margins;
  outcome.margin = outcome.margins[0];
  return ReportFound(options, outcome, true);
}

PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted) {
  const plan::BuiltRequest built = plan::BuildPlanRequest(options);
  if (built.error != plan::BuildError::kNone) {
    return UsageReport(DescribeBuildError(options, built));
  }
  const plan::PlanOutcome outcome = plan::FindBestPlan(built.request, stop);
  const bool by_interrupt = interrupted && interrupted();
  PlanReport report = ReportOutcome(options, outcome, by_interrupt);
  // Refusals and internal errors stand alone; every other answer follows
  // the warnings.
  if (report.status != kExitUsage && report.status != kExitInternal) {
    report.err.insert(0, Warnings(options, built.request));
  }
  return report;
}

}  // namespace zelmar::plan_cli
