#include "best_so_far.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "zelmar/engine.h"

namespace zelmar::web {
namespace {

using plan::Family;
using plan::FormatKhz;
using plan::Khz;
using OutJson = nlohmann::ordered_json;

OutJson KhzJson(const std::optional<Khz>& khz) {
  return khz ? OutJson(FormatKhz(*khz)) : OutJson();
}

OutJson ProductJson(const plan::Product& q) {
  OutJson j;
  j["carriers"] = OutJson::array();
  for (int i = 0; i < q.carrier_count; ++i) {
    j["carriers"].push_back(FormatKhz(q.carriers[i]));
  }
  j["product"] = FormatKhz(q.product);
  j["victim"] = FormatKhz(q.victim);
  return j;
}

// The check's verdict on a plan of up to twelve carriers; above that, the
// planner's own rules stand in for it (null).
std::optional<OutJson> Verdict(const std::vector<Khz>& plan,
                               const plan::Rules& rules) {
  if (plan.size() > kSlotCount) {
    if (!plan::FindViolations(plan, rules, 1).empty()) return std::nullopt;
    return OutJson();
  }
  FieldTexts fields;
  for (std::size_t i = 0; i < plan.size(); ++i) fields[i] = FormatKhz(plan[i]);
  const std::string verdict = RunChannelCheck(fields).resultText;
  if (verdict != kLowRiskText) return std::nullopt;
  return OutJson(verdict);
}

}  // namespace

BestSoFar::BestSoFar(const plan_cli::PlanOptions& options)
    : options_(options), resolved_(plan_cli::ResolveBands(options)) {}

void BestSoFar::Offer(const plan::SearchProgress& progress) {
  if (!progress.have_plan || progress.best_plan == last_offered_) return;
  last_offered_ = progress.best_plan;
  if (!Beats(progress.best_plan, progress.best_margin)) return;
  plan_ = progress.best_plan;
  margin_ = progress.best_margin;
  report_.clear();
}

const std::string& BestSoFar::ReportJson() {
  if (report_.empty()) report_ = FormatReport();
  return report_;
}

bool BestSoFar::Beats(const std::vector<Khz>& plan,
                      const std::optional<Khz>& margin) const {
  if (plan_.empty() || plan.size() != plan_.size()) {
    return plan.size() > plan_.size();
  }
  if (margin != margin_) return margin > margin_;
  return CheckedMargins(plan) > CheckedMargins(plan_);
}

std::vector<std::optional<Khz>> BestSoFar::CheckedMargins(
    const std::vector<Khz>& plan) const {
  const plan::PlanFigures figures = plan::MeasurePlan(plan);
  std::vector<std::optional<Khz>> margins;
  for (Family f : plan::kFamilies) {
    if (plan::WindowOf(options_.rules, f)) {
      margins.push_back(figures.margins[static_cast<int>(f)]);
    }
  }
  return margins;
}

// The answer of zelmar-plan --json to a search stopped with this plan.
std::string BestSoFar::FormatReport() const {
  if (plan_.empty()) return "null";
  const std::optional<OutJson> verdict = Verdict(plan_, options_.rules);
  if (!verdict) return "null";  // never shown: a plan the check refuses
  const plan::PlanFigures figures = plan::MeasurePlan(plan_);
  OutJson j;
  j["plan"] = OutJson::array();
  for (Khz f : plan_) j["plan"].push_back(FormatKhz(f));
  j["count"] = plan_.size();
  j["margin"] = KhzJson(margin_);
  OutJson margins = OutJson::object(), closest = OutJson::object();
  for (Family f : plan::kFamilies) {
    if (!plan::WindowOf(options_.rules, f)) continue;
    const std::string name(plan::FamilyName(f));
    const int k = static_cast<int>(f);
    margins[name] = KhzJson(figures.margins[k]);
    closest[name] =
        figures.closest[k] ? ProductJson(*figures.closest[k]) : OutJson();
  }
  j["margins"] = margins;
  j["closest"] = closest;
  j["bands"] = OutJson::array();
  for (Khz f : plan_) j["bands"].push_back(BandName(f));
  j["proven"] = false;
  j["result"] = *verdict;
  return j.dump();
}

// The name zelmar-plan gives the band a carrier of the plan came from.
std::string BestSoFar::BandName(Khz f) const {
  const std::vector<Khz>& fixed = options_.fixed;
  if (std::find(fixed.begin(), fixed.end(), f) != fixed.end()) return "fixed";
  for (const plan_cli::ResolvedBand& r : resolved_) {
    const plan::Band& b = r.band;
    if (f < b.low || f > b.high || (f - b.low) % b.step != 0) continue;
    if (options_.bands.empty()) {
      return "B ch " + std::to_string(plan::BBandChannel(f));
    }
    const plan_cli::BandOption& option = options_.bands[r.option];
    switch (option.kind) {
      case plan_cli::BandOption::Kind::kBBand:
        return "B ch " + std::to_string(plan::BBandChannel(f));
      case plan_cli::BandOption::Kind::kTv:
        return "TV ch " + std::to_string(plan::TvChannelOf(f));
      case plan_cli::BandOption::Kind::kRange:
        return "band " + option.text;
    }
  }
  return "?";
}

}  // namespace zelmar::web
