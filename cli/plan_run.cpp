#include "plan_run.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis_report.h"
#include "plan_show.h"
#include "scan_report.h"
#include "zelmar/engine.h"
#include "zelmar/show/request.h"

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
  const plan::GroupOptions& group = options.groups[built.group];
  return OptionName(group.bands[built.first_sharer]) + " and " +
         OptionName(group.bands[built.second_sharer]) + " share the channel " +
         FormatKhz(built.shared_channel) +
         " MHz; bands with counts must not overlap";
}

std::string_view DescribeGroupRequestError(plan::GroupRequestError error) {
  using E = plan::GroupRequestError;
  switch (error) {
    case E::kNone:
      return "fine";
    case E::kTooManyGroups:
      return "more than 16 groups";
    case E::kTooManyCarriers:
      return "the groups' counts and fixed carriers make more than 64 "
             "carriers";
    case E::kTwoOpenPools:
      return "only one group may take as many as fit";
    case E::kBadPool:
      return "a group's channels are not ascending";
    case E::kOutOfRange:
      return "a frequency is not below 1000000 MHz";
    case E::kSpacingBelowCheck:
      return "a group's spacing is below the check's own 0.125 MHz";
    case E::kBadNames:
      return "the groups' names are not one per group";
  }
  return "refused";
}

// What the user may not have meant but the run goes on with: fixed carriers
// inside exclusions, and exclusions that leave no channel.
std::string Warnings(const plan::SettledRequest& request, bool no_channel) {
  const plan::RequestOptions& options = request.options();
  std::string warnings;
  for (const plan::GroupOptions& group : options.groups) {
    for (Khz f : group.fixed) {
      for (const plan::Range& r : options.excludes) {
        if (f < r.low || f > r.high) continue;
        warnings +=
            PlanMessage("warning: the fixed carrier " + FormatKhz(f) +
                        " MHz lies inside --exclude " + FormatKhz(r.low) + ":" +
                        FormatKhz(r.high) + "; it stays in every plan") +
            "\n";
      }
    }
  }
  if (!no_channel || request.excludes().empty()) return warnings;
  std::vector<plan::Band> bands;
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    for (const plan::ResolvedBand& r : request.bands(g)) {
      bands.push_back(r.band);
    }
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
std::optional<std::string> Verify(const plan::SettledRequest& request,
                                  std::span<const plan::Carrier> carriers,
                                  VerifiedPlan& verified) {
  std::vector<Khz> plan;
  for (const plan::Carrier& c : carriers) plan.push_back(c.khz);
  for (Khz f : plan) verified.texts.push_back(FormatKhz(f));
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (verified.texts[i] != FormatMHz(static_cast<double>(plan[i]) / 1000.0)) {
      return "the frequency text " + verified.texts[i] +
             " differs from the check's own";
    }
  }
  const bool valid =
      request.options().Grouped()
          ? plan::FindGroupViolations(carriers, request.rules(), 1)
                .listed.empty()
          : plan::FindViolations(plan, request.rules()[0].rules, 1).empty();
  if (!valid) return "the plan breaks the planner's own rules";
  verified.checked = plan.size() <= kSlotCount;
  if (!verified.checked) return std::nullopt;
  FieldTexts fields;
  for (std::size_t i = 0; i < plan.size(); ++i) fields[i] = verified.texts[i];
  verified.verdict = RunChannelCheck(fields).resultText;
  if (verified.verdict == kLowRiskText) return std::nullopt;
  std::string plan_text;
  for (const std::string& t : verified.texts) plan_text += " " + t;
  return "the check does not call the plan" + plan_text + " low-risk";
}

// Each group's spares beside the plan.
std::vector<plan::Carrier> SparesOf(const plan::SettledRequest& request,
                                    std::span<const plan::Carrier> plan) {
  std::vector<plan::Carrier> spares;
  const std::vector<plan::GroupOptions>& groups = request.options().groups;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int k = groups[g].spares;
    if (k == 0) continue;
    const plan::Candidates channels = request.Channels(g);
    for (Khz f : plan::FindSpares(plan, request.rules(), static_cast<int>(g),
                                  channels.channels, k)) {
      spares.push_back({f, static_cast<int>(g)});
    }
  }
  return spares;
}

PlanReport ReportFound(const PlanOptions& options,
                       const plan::SettledRequest& request, PlanView& view,
                       bool by_interrupt) {
  VerifiedPlan verified;
  if (auto error = Verify(request, view.plan, verified)) {
    return InternalReport(*error);
  }
  view.spares = SparesOf(request, view.plan);
  return FoundReport(options, request, view, verified, by_interrupt);
}

// What a search of either kind gives the reports.
struct Searched {
  plan::PlanOutcome::Status status = plan::PlanOutcome::Status::kNone;
  std::string refusal;
  std::vector<plan::Carrier> plan;
  bool proven = false;
  std::optional<int> largest;
  NotRuledOut possible;
};

Searched SearchOneGroup(const plan::PlanRequest& request,
                        const plan::StopCheck& stop) {
  const plan::PlanOutcome outcome = plan::FindBestPlan(request, stop);
  Searched searched{outcome.status,
                    "",
                    {},
                    outcome.proven,
                    outcome.largest,
                    {outcome.most_possible, outcome.margin_possible}};
  if (outcome.status == plan::PlanOutcome::Status::kRefused) {
    searched.refusal = DescribeRequestError(outcome.error);
  }
  for (Khz f : outcome.plan) searched.plan.push_back({f, 0});
  return searched;
}

Searched SearchGroups(const plan::GroupRequest& request,
                      const plan::StopCheck& stop) {
  const plan::GroupOutcome outcome = plan::FindGroupPlan(request, stop);
  Searched searched{
      outcome.status,  "",
      outcome.plan,    outcome.proven,
      outcome.largest, {outcome.most_possible, outcome.headroom_possible}};
  if (outcome.status == plan::PlanOutcome::Status::kRefused) {
    searched.refusal = DescribeGroupRequestError(outcome.error);
  }
  return searched;
}

// The fixed carriers of every group.
std::vector<plan::Carrier> FixedOf(const PlanOptions& options) {
  std::vector<plan::Carrier> fixed;
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    for (Khz f : options.groups[g].fixed) {
      fixed.push_back({f, static_cast<int>(g)});
    }
  }
  return fixed;
}

// The answer to a search's outcome, warnings not yet in it.
PlanReport ReportOutcome(const PlanOptions& options,
                         const plan::SettledRequest& request,
                         const Searched& searched, PlanView& view,
                         bool by_interrupt) {
  switch (searched.status) {
    case plan::PlanOutcome::Status::kRefused:
      return UsageReport(searched.refusal);
    case plan::PlanOutcome::Status::kFixedBroken:
      if (options.Grouped()) {
        return FixedBrokenReport(
            options,
            BrokenRulesOf(options, plan::FindGroupViolations(
                                       FixedOf(options), request.rules(),
                                       kMaxListedViolations)));
      }
      // One past the list, to tell a full list from a cut one.
      return FixedBrokenReport(
          options, BrokenRulesOf(options, plan::FindViolations(
                                              options.first().fixed,
                                              options.first().rules,
                                              kMaxListedViolations + 1)));
    case plan::PlanOutcome::Status::kNone:
      return NoPlanReport(options, searched.proven, searched.largest,
                          by_interrupt);
    case plan::PlanOutcome::Status::kFound:
      break;
  }
  view.plan = searched.plan;
  view.proven = searched.proven;
  view.possible = searched.possible;
  return ReportFound(options, request, view, by_interrupt);
}

}  // namespace

PlanReport StoppedReport(const PlanOptions& options,
                         const std::vector<plan::Khz>& plan,
                         const std::vector<int>& groups) {
  PlanView view;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    view.plan.push_back({plan[i], i < groups.size() ? groups[i] : 0});
  }
  return ReportFound(options, plan::SettledRequest(options), view, true);
}

PlanReport RunPlan(const PlanOptions& given, const PlanInputs& inputs,
                   const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted) {
  PlanOptions options = given;
  PlanView view;
  std::vector<plan::Carrier> saved;
  if (!options.show.empty()) {
    if (!inputs.show)
      return UsageReport(QuoteFile(options.show) + ": not read");
    if (auto error = LoadShow(*inputs.show, options, saved)) {
      return UsageReport(*error);
    }
  }
  ScanSummary scan;
  if (!options.scans.empty()) {
    if (inputs.scans.size() != options.scans.size()) {
      return UsageReport("the scans were not read");
    }
    if (auto error = ApplyScans(options, inputs.scans, scan)) {
      return UsageReport(*error);
    }
    view.scan_json = scan.json;
  }
  // From here on the request is read, never built again.
  const plan::SettledRequest request(options);
  if (options.analyze) {
    PlanReport report = RunAnalysis(options, request, inputs.rig, saved);
    if (!options.json && report.status != kExitUsage) {
      report.err.insert(0, scan.text);
    }
    return report;
  }
  const plan::BuiltRequest built = request.Build();
  if (built.error != plan::BuildError::kNone) {
    return UsageReport(DescribeBuildError(options, built));
  }
  const Searched searched = options.Grouped()
                                ? SearchGroups(built.group_request, stop)
                                : SearchOneGroup(built.request, stop);
  const bool by_interrupt = interrupted && interrupted();
  PlanReport report =
      ReportOutcome(options, request, searched, view, by_interrupt);
  // Refusals and internal errors stand alone; every other answer follows
  // the warnings.
  if (report.status != kExitUsage && report.status != kExitInternal) {
    const bool no_channel =
        options.Grouped() ? false : built.request.candidates.empty();
    report.err.insert(
        0, (options.json ? "" : scan.text) + Warnings(request, no_channel));
    const bool found = searched.status == plan::PlanOutcome::Status::kFound;
    AttachShow(options, request, found ? &view : nullptr, report);
  }
  return report;
}

}  // namespace zelmar::plan_cli
