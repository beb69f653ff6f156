#include "plan_report.h"

#include <cstdint>
#include <span>

#include "cli.h"
#include "json_writer.h"
#include "zelmar/request.h"

namespace zelmar::plan_cli {
namespace {

using plan::Family;
using plan::FormatKhz;
using plan::Khz;

// "2*806.375 - 807.000 = 805.750 MHz, 0.125 MHz from 805.625 MHz".
std::string DescribeProduct(const plan::Product& q) {
  const Khz* c = q.carriers.data();
  std::string text;
  for (int a = 0; a < q.carrier_count && text.empty(); ++a) {
    for (int b = 0; b < q.carrier_count && text.empty(); ++b) {
      if (a == b) continue;
      if (q.family == Family::k2tx3 && 2 * c[a] - c[b] == q.product) {
        text = "2*" + FormatKhz(c[a]) + " - " + FormatKhz(c[b]);
      } else if (q.family == Family::k2tx5 &&
                 3 * c[a] - 2 * c[b] == q.product) {
        text = "3*" + FormatKhz(c[a]) + " - 2*" + FormatKhz(c[b]);
      } else if (q.family == Family::k3tx3 && a < b &&
                 c[a] + c[b] - c[3 - a - b] == q.product) {
        text = FormatKhz(c[a]) + " + " + FormatKhz(c[b]) + " - " +
               FormatKhz(c[3 - a - b]);
      }
    }
  }
  return text + " = " + FormatKhz(q.product) + " MHz, " +
         FormatKhz(q.Distance()) + " MHz from " + FormatKhz(q.victim) + " MHz";
}

// Words for a rule the fixed carriers break.
std::string DescribeViolation(const plan::Violation& v,
                              const plan::Rules& rules) {
  if (v.rule == plan::Violation::Rule::kSpacing) {
    return "the spacing rule: " + FormatKhz(v.a) + " and " + FormatKhz(v.b) +
           " MHz are " + FormatKhz(v.b - v.a) + " MHz apart, not more than " +
           FormatKhz(rules.spacing) + " MHz";
  }
  const plan::Product& q = v.product;
  return "the " + std::string(plan::FamilyName(q.family)) +
         " intermodulation rule: " + DescribeProduct(q) +
         ", not more than the window " +
         FormatKhz(*plan::WindowOf(rules, q.family)) + " MHz";
}

void WriteCarriers(const plan::Product& q, cli::JsonWriter& json) {
  json.Key("carriers").BeginArray();
  for (int i = 0; i < q.carrier_count; ++i) {
    json.String(FormatKhz(q.carriers[i]));
  }
  json.EndArray();
}

void WriteViolation(const plan::Violation& v, cli::JsonWriter& json) {
  json.BeginObject();
  if (v.rule == plan::Violation::Rule::kSpacing) {
    json.Key("kind").String("spacing");
    json.Key("carriers").BeginArray();
    json.String(FormatKhz(v.a)).String(FormatKhz(v.b)).EndArray();
    json.Key("distance").String(FormatKhz(v.b - v.a)).EndObject();
    return;
  }
  const plan::Product& q = v.product;
  json.Key("kind").String(plan::FamilyName(q.family));
  WriteCarriers(q, json);
  json.Key("product").String(FormatKhz(q.product));
  json.Key("victim").String(FormatKhz(q.victim));
  json.Key("distance").String(FormatKhz(q.Distance())).EndObject();
}

// The start of every answer without a plan: {"plan":[],"count":0,...
void BeginEmptyPlan(cli::JsonWriter& json) {
  json.BeginObject().Key("plan").BeginArray().EndArray();
  json.Key("count").Number(0);
}

std::string FixedBrokenJson(const PlanOptions& options,
                            std::span<const plan::Violation> listed,
                            bool truncated) {
  const plan::Violation& first = listed.front();
  std::string out;
  cli::JsonWriter json(out);
  BeginEmptyPlan(json);
  json.Key("largest");
  options.Counted() ? json.Null() : json.Number(0);
  json.Key("proven").Bool(true);
  json.Key("broken").String(first.rule == plan::Violation::Rule::kSpacing
                                ? "spacing"
                                : "intermodulation");
  json.Key("reason").String("the fixed carriers already break " +
                            DescribeViolation(first, options.rules));
  json.Key("violations").BeginArray();
  for (const plan::Violation& v : listed) WriteViolation(v, json);
  json.EndArray().Key("truncated").Bool(truncated).EndObject();
  return out + "\n";
}

std::string FixedBrokenText(const PlanOptions& options,
                            std::span<const plan::Violation> listed,
                            bool truncated) {
  const std::string n = std::to_string(listed.size());
  std::string text = "No plan: the fixed carriers already break ";
  if (truncated) {
    text += "more than " + n + " rules; the first " + n + ":\n";
  } else {
    text += n + (listed.size() == 1 ? " rule:\n" : " rules:\n");
  }
  for (const plan::Violation& v : listed) {
    text += "  " + DescribeViolation(v, options.rules) + "\n";
  }
  return text;
}

std::string NoPlanText(const PlanOptions& options,
                       const plan::PlanOutcome& outcome) {
  std::string text = "No valid plan";
  if (!options.max) {
    text += " of " + std::to_string(options.count) + " carriers";
  }
  if (outcome.largest) {
    return text + ". The most carriers any valid plan here holds: " +
           std::to_string(*outcome.largest) + ".\n";
  }
  if (outcome.proven && options.Counted()) {
    return text + " with these band counts.\n";
  }
  if (outcome.proven) {
    return text + "; how many carriers fit was not found in time.\n";
  }
  return text + " found before the time limit.\n";
}

// Per checked family its margin, then per checked family its closest
// product ({"carriers":[...],"product":...,"victim":...} or null).
void WriteFamilies(const PlanOptions& options, const plan::PlanFigures& figures,
                   cli::JsonWriter& json) {
  json.Key("margins").BeginObject();
  for (Family f : plan::kFamilies) {
    if (!plan::WindowOf(options.rules, f)) continue;
    json.Key(plan::FamilyName(f))
        .OptionalString(KhzText(figures.margins[static_cast<int>(f)]));
  }
  json.EndObject().Key("closest").BeginObject();
  for (Family f : plan::kFamilies) {
    if (!plan::WindowOf(options.rules, f)) continue;
    json.Key(plan::FamilyName(f));
    const auto& q = figures.closest[static_cast<int>(f)];
    if (!q) {
      json.Null();
      continue;
    }
    json.BeginObject();
    WriteCarriers(*q, json);
    json.Key("product").String(FormatKhz(q->product));
    json.Key("victim").String(FormatKhz(q->victim)).EndObject();
  }
  json.EndObject();
}

std::string FoundJson(const PlanOptions& options,
                      const plan::PlanOutcome& outcome,
                      const VerifiedPlan& verified) {
  const std::vector<Khz>& plan = outcome.plan;
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("plan").Strings(verified.texts);
  json.Key("count").Number(static_cast<std::int64_t>(plan.size()));
  json.Key("margin").OptionalString(KhzText(outcome.margin));
  WriteFamilies(options, plan::MeasurePlan(plan), json);
  json.Key("bands").BeginArray();
  for (Khz f : plan) json.String(plan::BandNameOf(options, f));
  json.EndArray().Key("proven").Bool(outcome.proven).Key("result");
  verified.checked ? json.String(verified.verdict) : json.Null();
  json.EndObject();
  return out + "\n";
}

// Standard error of a plan for people: the count, each carrier's band, the
// margins with their closest products, whether proven, the verdict.
std::string FoundFigures(const PlanOptions& options,
                         const plan::PlanOutcome& outcome,
                         const VerifiedPlan& verified, bool by_interrupt) {
  const std::vector<Khz>& plan = outcome.plan;
  std::string e = "count: " + std::to_string(plan.size()) + "\n";
  for (std::size_t i = 0; i < plan.size(); ++i) {
    e += "  " + verified.texts[i] + "  " + plan::BandNameOf(options, plan[i]) +
         "\n";
  }
  e += "margin: " +
       (outcome.margin ? FormatKhz(*outcome.margin) + " MHz"
                       : std::string("none (fewer than three carriers)")) +
       "\n";
  const plan::PlanFigures figures = plan::MeasurePlan(plan);
  for (Family f : plan::kFamilies) {
    if (!plan::WindowOf(options.rules, f)) continue;
    const int k = static_cast<int>(f);
    e += std::string(plan::FamilyName(f)) + " margin: ";
    if (const auto& q = figures.closest[k]) {
      e += FormatKhz(*figures.margins[k]) + " MHz (" + DescribeProduct(*q) +
           ")\n";
    } else {
      e += "none (too few carriers)\n";
    }
  }
  e += outcome.proven ? "proven best: yes\n"
       : by_interrupt ? "proven best: no (interrupted)\n"
                      : "proven best: no (time limit reached)\n";
  if (verified.checked) return e + cli::LfLineEnds(verified.verdict);
  return e +
         "verified by the planner's own rules (zelmar-check has 12 fields)\n";
}

}  // namespace

std::optional<std::string> KhzText(const std::optional<Khz>& khz) {
  if (!khz) return std::nullopt;
  return FormatKhz(*khz);
}

PlanReport UsageReport(std::string_view text) {
  return {kExitUsage, "", PlanMessage(text) + "\n"};
}

PlanReport InternalReport(std::string_view text) {
  return {kExitInternal, "",
          PlanMessage("internal error: " + std::string(text)) + "\n"};
}

PlanReport FixedBrokenReport(const PlanOptions& options,
                             const std::vector<plan::Violation>& violations) {
  if (violations.empty()) {
    return InternalReport("no rule broken by fixed carriers");
  }
  const bool truncated = violations.size() > kMaxListedViolations;
  const std::span<const plan::Violation> listed(
      violations.data(), truncated ? kMaxListedViolations : violations.size());
  if (options.json) {
    return {kExitNoPlan, FixedBrokenJson(options, listed, truncated), ""};
  }
  return {kExitNoPlan, "", FixedBrokenText(options, listed, truncated)};
}

PlanReport NoPlanReport(const PlanOptions& options,
                        const plan::PlanOutcome& outcome, bool by_interrupt) {
  if (by_interrupt) {
    return {kExitInterrupted, "",
            PlanMessage("interrupted before any plan was found") + "\n"};
  }
  if (!options.json) return {kExitNoPlan, "", NoPlanText(options, outcome)};
  std::string out;
  cli::JsonWriter json(out);
  BeginEmptyPlan(json);
  json.Key("largest");
  outcome.largest ? json.Number(*outcome.largest) : json.Null();
  json.Key("proven").Bool(outcome.proven).EndObject();
  return {kExitNoPlan, out + "\n", ""};
}

PlanReport FoundReport(const PlanOptions& options,
                       const plan::PlanOutcome& outcome,
                       const VerifiedPlan& verified, bool by_interrupt) {
  PlanReport report;
  report.status = by_interrupt ? kExitInterrupted : kExitOk;
  if (options.json) {
    report.out = FoundJson(options, outcome, verified);
    return report;
  }
  for (const std::string& t : verified.texts) report.out += t + "\n";
  report.err = FoundFigures(options, outcome, verified, by_interrupt);
  return report;
}

std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds) {
  std::string line =
      PlanMessage("searching plans of " + std::to_string(progress.carriers) +
                  " carriers, ");
  if (!progress.have_plan) {
    line += "none found yet";
  } else if (progress.best_margin) {
    line += "best margin " + FormatKhz(*progress.best_margin) + " MHz";
  } else {
    line += "plan found";
  }
  if (progress.bound) {
    line += " (at most " + FormatKhz(*progress.bound) + " MHz possible)";
  }
  line += ", " + std::to_string(progress.nodes / 1000) + "k nodes, " +
          std::to_string(static_cast<long long>(seconds)) + " s";
  return line;
}

}  // namespace zelmar::plan_cli
