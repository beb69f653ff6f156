// Fuzzes zelmar-plan's argument and number handling with argument lists cut
// from the input at '\n', and checks what must hold for every call:
//  - a refusal is one line "zelmar-plan: ...";
//  - an accepted call with a small candidate set gives, in JSON, exactly
//    the plan, margin, count and largest of the plain model of the rules
//    (tests/planner/plan_model.h), and never the internal error;
//  - every plan it prints is low-risk for the check.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

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
  plan_cli::PlanOptions options = parsed.options;
  if (options.help || options.version) return 0;
  std::vector<plan::Band> bands = options.bands;
  if (bands.empty()) bands.push_back(plan_cli::DefaultBand());
  for (const plan::Band& band : bands) {
    // The model lists every channel one by one.
    if ((band.high - band.low) / band.step > 200) return 0;
  }
  const std::vector<Khz> channels = model::Channels(bands, options.excludes);
  const plan::Candidates built =
      plan::BuildCandidates(bands, options.excludes, kMaxModelChannels);
  if (built.too_many) return 0;
  Require(built.channels == channels, "candidates differ from the model");

  options.json = true;
  int checks = 0;
  const plan_cli::PlanReport report = plan_cli::RunPlan(
      options, [&](const plan::SearchProgress&) { return ++checks > 100; });
  Require(report.status != plan_cli::kExitInternal, "internal error");
  Require(report.status == 0 || report.status == 1, "exit status");
  const nlohmann::json j = nlohmann::json::parse(report.out);
  if (!j["proven"].get<bool>()) return 0;

  const model::Answer want =
      model::Solve(channels, options.fixed, options.rules, options.count);
  std::vector<std::string> plan;
  for (Khz f : want.plan) plan.push_back(plan::FormatKhz(f));
  Require(j["plan"] == plan, "plan differs from the model");
  Require(j["count"] == plan.size(), "count");
  if (plan.empty()) {
    Require(report.status == 1, "no plan, exit 1");
    Require(j["largest"] == want.largest, "largest differs from the model");
    Require(j.contains("broken") == want.fixed_broken, "broken fixed");
    return 0;
  }
  Require(report.status == 0, "plan, exit 0");
  Require(want.margin ? j["margin"] == plan::FormatKhz(*want.margin)
                      : j["margin"].is_null(),
          "margin differs from the model");
  Require(j["result"] == std::string(kLowRiskText), "result text");
  FieldTexts texts;
  for (std::size_t i = 0; i < plan.size(); ++i) texts[i] = plan[i];
  Require(RunChannelCheck(texts).resultText == kLowRiskText, "check");
  return 0;
}
