#include "plan_report.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "cli.h"
#include "json_writer.h"
#include "plan_words.h"
#include "scan_report.h"
#include "zelmar/show/request.h"

namespace zelmar::plan_cli {
namespace {

using plan::Family;
using plan::FormatKhz;
using plan::Khz;

// The start of every answer without a plan: {"plan":[],"count":0,...
void BeginEmptyPlan(cli::JsonWriter& json) {
  json.BeginObject().Key("plan").BeginArray().EndArray();
  json.Key("count").Number(0);
}

std::string FixedBrokenJson(const PlanOptions& options,
                            const BrokenRules& broken) {
  std::string out;
  cli::JsonWriter json(out);
  BeginEmptyPlan(json);
  json.Key("largest");
  options.first().Counted() || options.Grouped() ? json.Null() : json.Number(0);
  json.Key("proven").Bool(true);
  json.Key("broken").String(broken.first_spacing ? "spacing"
                                                 : "intermodulation");
  json.Key("reason").String("the fixed carriers already break " +
                            broken.reasons.front());
  json.Key("violations").BeginArray().Raw(broken.json).EndArray();
  json.Key("truncated").Bool(broken.truncated).EndObject();
  return out + "\n";
}

std::string FixedBrokenText(const BrokenRules& broken) {
  const std::string n = std::to_string(broken.reasons.size());
  std::string text = "No plan: the fixed carriers already break ";
  if (broken.truncated) {
    text += "more than " + n + " rules; the first " + n + ":\n";
  } else {
    text += n + (broken.reasons.size() == 1 ? " rule:\n" : " rules:\n");
  }
  for (const std::string& reason : broken.reasons) {
    text += "  " + reason + "\n";
  }
  return text;
}

std::string NoPlanText(const PlanOptions& options, bool proven,
                       const std::optional<int>& largest) {
  const plan::GroupOptions& group = options.first();
  std::string text = "No valid plan";
  if (!options.Grouped() && !group.max) {
    text += " of " + std::to_string(group.count) + " carriers";
  }
  if (largest) {
    return text + ". The most carriers any valid plan here holds: " +
           std::to_string(*largest) + ".\n";
  }
  if (proven && options.Grouped()) return text + " with these groups.\n";
  if (proven && group.Counted()) {
    return text + " with these band counts.\n";
  }
  if (proven) {
    return text + "; how many carriers fit was not found in time.\n";
  }
  return text + " found before the time limit.\n";
}

// Per checked family its margin, then per checked family its closest
// product ({"carriers":[...],"product":...,"victim":...} or null).
void WriteFamilies(const plan::SettledRequest& request,
                   const plan::PlanFigures& figures, cli::JsonWriter& json) {
  json.Key("margins").BeginObject();
  for (Family f : plan::kFamilies) {
    if (!request.Checks(f)) continue;
    json.Key(plan::FamilyName(f))
        .OptionalString(KhzText(figures.margins[static_cast<int>(f)]));
  }
  json.EndObject().Key("closest").BeginObject();
  for (Family f : plan::kFamilies) {
    if (!request.Checks(f)) continue;
    json.Key(plan::FamilyName(f));
    const auto& q = figures.closest[static_cast<int>(f)];
    if (!q) {
      json.Null();
      continue;
    }
    json.BeginObject();
    WriteProduct(*q, json);
    json.EndObject();
  }
  json.EndObject();
}

// Per checked family the smallest headroom (null where nothing is judged).
void WriteHeadroom(const plan::SettledRequest& request,
                   const plan::GroupFigures& figures, cli::JsonWriter& json) {
  json.Key("headroom").BeginObject();
  for (Family f : plan::kFamilies) {
    if (!request.Checks(f)) continue;
    json.Key(plan::FamilyName(f))
        .OptionalString(KhzText(figures.headroom[static_cast<int>(f)]));
  }
  json.EndObject();
}

std::vector<Khz> Frequencies(std::span<const plan::Carrier> carriers) {
  std::vector<Khz> khz;
  for (const plan::Carrier& c : carriers) khz.push_back(c.khz);
  return khz;
}

// "groups":[...],"labels":[...] of carriers.
void WriteGroupsAndLabels(const PlanOptions& options,
                          std::span<const plan::Carrier> carriers,
                          const std::vector<std::string>& labels,
                          cli::JsonWriter& json) {
  json.Key("groups").BeginArray();
  for (const plan::Carrier& c : carriers) {
    json.String(options.groups[c.group].name);
  }
  json.EndArray().Key("labels").Strings(labels);
}

void WriteSpares(const PlanOptions& options,
                 const plan::SettledRequest& request, const PlanView& view,
                 cli::JsonWriter& json) {
  json.Key("spares").BeginArray();
  const std::vector<std::string> labels = request.SpareLabelsOf(view.spares);
  for (std::size_t i = 0; i < view.spares.size(); ++i) {
    const plan::Carrier& c = view.spares[i];
    json.BeginObject().Key("frequency").String(FormatKhz(c.khz));
    json.Key("group").String(options.groups[c.group].name);
    json.Key("label").String(labels[i]);
    json.Key("band").String(request.BandNameOf(c)).EndObject();
  }
  json.EndArray();
}

// Each carrier's place in a signal the scans show, if any.
std::vector<std::optional<InSignal>> SignalsOf(
    const PlanOptions& options, std::span<const plan::Carrier> carriers) {
  std::vector<std::optional<InSignal>> signals;
  for (const plan::Carrier& c : carriers) {
    signals.push_back(SignalNear(options, c.khz));
  }
  return signals;
}

std::size_t CountIn(const std::vector<std::optional<InSignal>>& signals) {
  return static_cast<std::size_t>(
      std::count_if(signals.begin(), signals.end(),
                    [](const auto& s) { return s.has_value(); }));
}

bool WantsSpares(const PlanOptions& options) {
  for (const plan::GroupOptions& g : options.groups) {
    if (g.spares > 0) return true;
  }
  return false;
}

std::string FoundJson(const PlanOptions& options,
                      const plan::SettledRequest& request, const PlanView& view,
                      const VerifiedPlan& verified) {
  const std::vector<Khz> plan = Frequencies(view.plan);
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("plan").Strings(verified.texts);
  json.Key("count").Number(static_cast<std::int64_t>(plan.size()));
  const plan::PlanFigures figures = plan::MeasurePlan(plan);
  json.Key("margin").OptionalString(KhzText(figures.margins[0]));
  WriteFamilies(request, figures, json);
  WriteHeadroom(request, plan::MeasureGroups(view.plan, request.rules()), json);
  json.Key("bands").BeginArray();
  for (const plan::Carrier& c : view.plan) {
    json.String(request.BandNameOf(c));
  }
  json.EndArray();
  WriteGroupsAndLabels(options, view.plan, request.LabelsOf(view.plan), json);
  if (WantsSpares(options)) WriteSpares(options, request, view, json);
  if (!view.scan_json.empty()) json.Key("scan").Raw(view.scan_json);
  const auto signals = SignalsOf(options, view.plan);
  if (!options.scan_excludes.empty()) {
    json.Key("in_signal").BeginArray();
    for (const auto& in : signals) {
      if (!in) {
        json.Null();
        continue;
      }
      json.BeginObject();
      WriteInSignal(options, *in, json);
      json.EndObject();
    }
    json.EndArray();
  }
  json.Key("proven").Bool(view.proven);
  json.Key("possible").BeginObject().Key("carriers");
  if (view.possible.carriers) {
    json.Number(static_cast<std::int64_t>(*view.possible.carriers));
  } else {
    json.Null();
  }
  json.Key(options.Grouped() ? "headroom" : "margin")
      .OptionalString(KhzText(view.possible.figure))
      .EndObject();
  json.Key("result");
  if (!verified.checked) {
    json.Null();
  } else {
    json.String(CountIn(signals) > 0 ? kInSignalText : verified.verdict);
  }
  json.EndObject();
  return out + "\n";
}

// Per checked family: "2tx3 margin: 0.250 MHz (...)" and, with groups, the
// headroom and its product.
std::string FamilyLines(const PlanOptions& options,
                        const plan::SettledRequest& request,
                        const PlanView& view) {
  const plan::PlanFigures figures = plan::MeasurePlan(Frequencies(view.plan));
  const plan::GroupFigures judged =
      plan::MeasureGroups(view.plan, request.rules());
  std::string e;
  for (Family f : plan::kFamilies) {
    if (!request.Checks(f)) continue;
    const int k = static_cast<int>(f);
    e += std::string(plan::FamilyName(f)) + " margin: ";
    if (const auto& q = figures.closest[k]) {
      e += FormatKhz(*figures.margins[k]) + " MHz (" + DescribeProduct(*q) +
           ")\n";
    } else {
      e += "none (too few carriers)\n";
    }
    if (!options.Grouped()) continue;
    e += std::string(plan::FamilyName(f)) + " headroom: ";
    if (const auto& t = judged.tightest[k]) {
      e += FormatKhz(t->Headroom()) + " MHz beyond the window " +
           FormatKhz(t->window) + " MHz of group " +
           GroupNameOf(options, t->victim_group) + " (" +
           DescribeProduct(t->product) + ")\n";
    } else {
      e += "none (no product reaches a group that checks it)\n";
    }
  }
  return e;
}

std::string SpareLines(const PlanOptions& options,
                       const plan::SettledRequest& request,
                       const PlanView& view) {
  if (!WantsSpares(options)) return "";
  std::string e = "spares: " + std::to_string(view.spares.size()) + "\n";
  const std::vector<std::string> labels = request.SpareLabelsOf(view.spares);
  for (std::size_t i = 0; i < view.spares.size(); ++i) {
    const plan::Carrier& c = view.spares[i];
    e += "  " + FormatKhz(c.khz) + "  " +
         (labels[i].empty() ? "" : labels[i] + "  ") + request.BandNameOf(c) +
         "\n";
  }
  return e;
}

// Beside an unproven plan, what the search has ruled out: "ruled out: more
// than 26 carriers; a 2tx3 margin above 0.300 MHz (this plan's)".
std::string RuledOutLine(const PlanOptions& options,
                         const plan::SettledRequest& request,
                         const PlanView& view) {
  std::vector<std::string> parts;
  if (const auto& most = view.possible.carriers) {
    std::string part = "more than " + std::to_string(*most) +
                       (*most == 1 ? " carrier" : " carriers");
    for (std::size_t g = 0; options.Grouped() && g < options.groups.size();
         ++g) {
      if (options.groups[g].max) {
        part = "more than " + std::to_string(*most) + " new " +
               (*most == 1 ? "carrier" : "carriers") + " in group " +
               GroupNameOf(options, static_cast<int>(g));
      }
    }
    parts.push_back(part);
  }
  if (const auto& figure = view.possible.figure) {
    const plan::PlanFigures figures = plan::MeasurePlan(Frequencies(view.plan));
    const std::string_view what =
        options.Grouped() ? "a 2tx3 headroom above " : "a 2tx3 margin above ";
    std::string part = std::string(what) + FormatKhz(*figure) + " MHz";
    const bool reached =
        options.Grouped()
            ? view.possible.figure ==
                  plan::MeasureGroups(view.plan, request.rules()).headroom[0]
            : view.possible.figure == figures.margins[0];
    if (reached) part += " (this plan's is the largest)";
    parts.push_back(part);
  }
  if (parts.empty()) return "";
  std::string line = "ruled out: " + parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) line += "; " + parts[i];
  return line + "\n";
}

// Standard error of a plan for people: the count, each carrier's band (and
// with groups its label and group), the margins with their closest
// products, the spares, whether proven, the verdict.
std::string FoundFigures(const PlanOptions& options,
                         const plan::SettledRequest& request,
                         const PlanView& view, const VerifiedPlan& verified,
                         bool by_interrupt) {
  const std::vector<std::string> labels = request.LabelsOf(view.plan);
  const auto signals = SignalsOf(options, view.plan);
  std::string e = "count: " + std::to_string(view.plan.size()) + "\n";
  for (std::size_t i = 0; i < view.plan.size(); ++i) {
    const plan::Carrier& c = view.plan[i];
    e += "  " + verified.texts[i] + "  ";
    if (options.Grouped()) {
      e += labels[i] + "  " + GroupNameOf(options, c.group) + "  ";
    }
    e += request.BandNameOf(c);
    if (signals[i]) e += "  " + DescribeInSignal(options, *signals[i]);
    e += "\n";
  }
  const auto margin = plan::MeasurePlan(Frequencies(view.plan)).margins[0];
  e += "margin: " +
       (margin ? FormatKhz(*margin) + " MHz"
               : std::string("none (fewer than three carriers)")) +
       "\n";
  e += FamilyLines(options, request, view) + SpareLines(options, request, view);
  e += view.proven    ? "proven best: yes\n"
       : by_interrupt ? "proven best: no (interrupted)\n"
                      : "proven best: no (time limit reached)\n";
  if (!view.proven) e += RuledOutLine(options, request, view);
  if (const std::size_t in = CountIn(signals); in > 0) {
    e += "not low risk: " + std::to_string(in) +
         (in == 1 ? " carrier lies" : " carriers lie") +
         " in a signal the scans show\n";
    return verified.checked ? e + cli::LfLineEnds(kInSignalText) : e;
  }
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
                             const BrokenRules& broken) {
  if (broken.reasons.empty()) {
    return InternalReport("no rule broken by fixed carriers");
  }
  if (options.json) {
    return {kExitNoPlan, FixedBrokenJson(options, broken), ""};
  }
  return {kExitNoPlan, "", FixedBrokenText(broken)};
}

BrokenRules BrokenRulesOf(const PlanOptions& options,
                          const std::vector<plan::Violation>& violations) {
  BrokenRules broken;
  broken.truncated = violations.size() > kMaxListedViolations;
  cli::JsonWriter json(broken.json);
  for (std::size_t i = 0; i < violations.size() && i < kMaxListedViolations;
       ++i) {
    broken.reasons.push_back(
        DescribeViolation(violations[i], options.first().rules));
    WriteViolation(violations[i], json);
  }
  broken.first_spacing = !violations.empty() &&
                         violations[0].rule == plan::Violation::Rule::kSpacing;
  return broken;
}

BrokenRules BrokenRulesOf(const PlanOptions& options,
                          const plan::GroupViolations& violations) {
  BrokenRules broken;
  broken.truncated = violations.more;
  cli::JsonWriter json(broken.json);
  for (const plan::Finding& f : violations.listed) {
    broken.reasons.push_back(DescribeFinding(options, f));
    WriteFinding(options, f, json);
  }
  broken.first_spacing =
      !violations.listed.empty() &&
      violations.listed[0].kind == plan::Finding::Kind::kSpacing;
  return broken;
}

PlanReport NoPlanReport(const PlanOptions& options, bool proven,
                        const std::optional<int>& largest, bool by_interrupt) {
  if (by_interrupt) {
    return {kExitInterrupted, "",
            PlanMessage("interrupted before any plan was found") + "\n"};
  }
  if (!options.json) {
    return {kExitNoPlan, "", NoPlanText(options, proven, largest)};
  }
  std::string out;
  cli::JsonWriter json(out);
  BeginEmptyPlan(json);
  json.Key("largest");
  largest ? json.Number(*largest) : json.Null();
  json.Key("proven").Bool(proven).EndObject();
  return {kExitNoPlan, out + "\n", ""};
}

PlanReport FoundReport(const PlanOptions& options,
                       const plan::SettledRequest& request,
                       const PlanView& view, const VerifiedPlan& verified,
                       bool by_interrupt) {
  PlanReport report;
  report.status = by_interrupt ? kExitInterrupted : kExitOk;
  if (options.json) {
    report.out = FoundJson(options, request, view, verified);
    return report;
  }
  for (const std::string& t : verified.texts) report.out += t + "\n";
  report.err = FoundFigures(options, request, view, verified, by_interrupt);
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
