// Fuzzes zelmar-plan's argument and number handling with argument lists cut
// from the input at '\n', and checks what must hold for every call:
//  - a refusal is one line "zelmar-plan: ...";
//  - an accepted call with a small candidate set gives, in JSON, exactly
//    the plan, margins, count and largest of the plain model of the rules
//    (tests/planner/plan_model.h), with families, windows and band counts,
//    a closest product at each margin, and never the internal error;
//  - every plan it prints is low-risk for the check.
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "../planner/group_model.h"
#include "../planner/plan_model.h"
#include "fuzz_check.h"
#include "plan_cli.h"
#include "zelmar/engine.h"

const char* const fuzz::kTargetName = "plan_fuzz";

namespace {

using namespace zelmar;
using plan::Khz;

using fuzz::Fail;
using fuzz::Require;

constexpr std::size_t kMaxModelChannels = 16;

// A product's text: below the lowest carriers a product is negative.
Khz ReadProduct(std::string_view text) {
  if (!text.starts_with('-')) return plan::ReadMHz(text, true).khz;
  return -plan::ReadMHz(text.substr(1), true).khz;
}

// A grouped request small enough for the model: its proven plan is the
// model's, carrier by carrier and group by group.
void CheckGroups(const plan_cli::PlanOptions& options,
                 const plan_cli::PlanReport& report) {
  const plan::BuiltRequest built = plan::BuildPlanRequest(options);
  if (built.error != plan::BuildError::kNone) return;
  const plan::GroupRequest& request = built.group_request;
  std::size_t carriers = request.fixed.size();
  for (const plan::Pool& pool : request.pools) {
    if (pool.channels.size() > 8 || pool.count == 0) return;
    carriers += pool.count;
  }
  if (carriers > 5 || report.status == plan_cli::kExitUsage) return;
  const nlohmann::json j = nlohmann::json::parse(report.out);
  if (!j["proven"].get<bool>() || j.contains("broken")) return;
  const model::GroupAnswer want = model::BestGroupPlan(request);
  Require(j["plan"].size() == (want.plan ? want.plan->size() : 0),
          "group plan size differs from the model");
  for (std::size_t i = 0; want.plan && i < want.plan->size(); ++i) {
    const plan::Carrier& c = (*want.plan)[i];
    Require(j["plan"][i] == plan::FormatKhz(c.khz) &&
                j["groups"][i] == options.groups[c.group].name,
            "group plan differs from the model");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start <= input.size() && args.size() < 40;) {
    const std::size_t end = std::min(input.find('\n', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  const plan_cli::ParsedPlanArguments parsed =
      plan_cli::ParsePlanArguments(args);
  if (!parsed.error.empty()) {
    Require(parsed.error.starts_with("zelmar-plan: "), "error prefix");
    Require(parsed.error.find('\n') == std::string::npos, "one-line error");
    return 0;
  }
  plan_cli::PlanOptions whole = parsed.options;
  if (whole.help || whole.version) return 0;
  whole.json = true;
  if (whole.Grouped() || whole.analyze || !whole.show.empty() ||
      !whole.scans.empty()) {
    // Groups, analyses and files: whatever the answer, never a fault, and
    // small groups' proven plans those of the model.
    int checks = 0;
    const plan_cli::PlanReport report = plan_cli::RunPlan(
        whole, [&](const plan::SearchProgress&) { return ++checks > 100; });
    Require(report.status != plan_cli::kExitInternal, "internal error");
    if (whole.Grouped() && !whole.analyze && whole.show.empty() &&
        whole.scans.empty()) {
      CheckGroups(whole, report);
    }
    return 0;
  }
  plan::GroupOptions& options = whole.first();
  const std::vector<plan::Range>& excludes = whole.excludes;
  const std::vector<plan::ResolvedBand> resolved =
      plan::ResolveBands(options, whole.tv_edge);
  std::vector<plan::Band> bands;
  for (const auto& r : resolved) {
    // The model lists every channel one by one.
    if ((r.band.high - r.band.low) / r.band.step > 200) return 0;
    bands.push_back(r.band);
  }
  const std::vector<Khz> channels = model::Channels(bands, excludes);
  const plan::Candidates built =
      plan::BuildCandidates(bands, excludes, kMaxModelChannels);
  if (built.too_many) return 0;
  Require(built.channels == channels, "candidates differ from the model");
  model::Counts counts;
  if (!options.bands.empty() && options.bands[0].count) {
    for (const auto& option : options.bands) {
      counts.counts.push_back(*option.count);
    }
    for (const auto& r : resolved) {
      for (Khz f = r.band.low; f <= r.band.high; f += r.band.step) {
        counts.group.emplace(f, static_cast<int>(r.option));
      }
    }
  }

  int checks = 0;
  const plan_cli::PlanReport report = plan_cli::RunPlan(
      whole, [&](const plan::SearchProgress&) { return ++checks > 100; });
  Require(report.status != plan_cli::kExitInternal, "internal error");
  if (report.status == plan_cli::kExitUsage) {
    Require(report.err.find("share the channel") != std::string::npos,
            "usage error after parsing: only overlapping counted bands");
    return 0;
  }
  Require(report.status == 0 || report.status == 1, "exit status");
  const nlohmann::json j = nlohmann::json::parse(report.out);
  if (!j["proven"].get<bool>()) return 0;

  const model::Answer want = model::Solve(channels, options.fixed,
                                          options.rules, options.count, counts);
  std::vector<std::string> plan;
  for (Khz f : want.plan) plan.push_back(plan::FormatKhz(f));
  Require(j["plan"] == plan, "plan differs from the model");
  Require(j["count"] == plan.size(), "count");
  if (plan.empty()) {
    Require(report.status == 1, "no plan, exit 1");
    Require(
        want.largest ? j["largest"] == *want.largest : j["largest"].is_null(),
        "largest differs from the model");
    Require(j.contains("broken") == want.fixed_broken, "broken fixed");
    return 0;
  }
  Require(report.status == 0, "plan, exit 0");
  Require(want.margin ? j["margin"] == plan::FormatKhz(*want.margin)
                      : j["margin"].is_null(),
          "margin differs from the model");
  for (plan::Family f : plan::kFamilies) {
    const std::string name(plan::FamilyName(f));
    const auto& margin = want.judgement.margins[static_cast<int>(f)];
    if (!plan::WindowOf(options.rules, f)) {
      Require(!j["margins"].contains(name), "unchecked family shown");
      continue;
    }
    Require(margin ? j["margins"][name] == plan::FormatKhz(*margin)
                   : j["margins"][name].is_null(),
            "family margin differs from the model");
    if (!margin) continue;
    const auto& q = j["closest"][name];
    const Khz product = ReadProduct(q["product"].get<std::string>());
    const Khz victim = plan::ReadMHz(q["victim"].get<std::string>()).khz;
    Require(std::abs(product - victim) == *margin, "closest is no witness");
  }
  if (plan.size() > kSlotCount) return 0;
  Require(j["result"] == std::string(kLowRiskText), "result text");
  FieldTexts texts;
  for (std::size_t i = 0; i < plan.size(); ++i) texts[i] = plan[i];
  Require(RunChannelCheck(texts).resultText == kLowRiskText, "check");
  return 0;
}
