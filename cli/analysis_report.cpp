#include "analysis_report.h"

#include <cstdint>

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

struct Rig {
  std::vector<plan::Carrier> carriers;
  std::string error;  // empty when read
};

// A line without its surrounding blanks.
std::string_view Trimmed(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

// The frequencies of standard input, one per line; blank lines skipped.
Rig ReadRigLines(std::string_view input) {
  Rig rig;
  std::size_t number = 0;
  while (!input.empty()) {
    const std::size_t end = input.find('\n');
    const std::string_view line = Trimmed(input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    ++number;
    if (line.empty()) continue;
    const plan::NumberReading r = plan::ReadMHz(line);
    if (r.error != plan::NumberError::kNone) {
      rig.error = "standard input, line " + std::to_string(number) + ": " +
                  QuoteArgument(line) + " " +
                  std::string(plan::DescribeNumberError(r.error));
      return rig;
    }
    rig.carriers.push_back({r.khz, 0});
  }
  return rig;
}

Rig RigOf(const PlanOptions& options, const std::optional<std::string>& input,
          std::span<const plan::Carrier> saved) {
  Rig rig;
  rig.carriers.assign(saved.begin(), saved.end());
  for (Khz f : options.rig) rig.carriers.push_back({f, 0});
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    for (Khz f : options.groups[g].fixed) {
      rig.carriers.push_back({f, static_cast<int>(g)});
    }
  }
  if (rig.carriers.empty() && input) rig = ReadRigLines(*input);
  if (!rig.error.empty()) return rig;
  if (rig.carriers.empty()) {
    rig.error = "--analyze: no frequencies to analyse";
  } else if (rig.carriers.size() > plan::kMaxCarriers) {
    rig.error = "--analyze: more than 64 frequencies";
  }
  return rig;
}

// The carriers that lie in a signal the scans show: a broken rule each.
struct Signals {
  std::vector<std::pair<plan::Carrier, InSignal>> in;
};

Signals SignalsOf(const PlanOptions& options,
                  const std::vector<plan::Carrier>& rig) {
  Signals signals;
  for (const plan::Carrier& c : rig) {
    if (auto in = SignalNear(options, c.khz)) signals.in.emplace_back(c, *in);
  }
  return signals;
}

std::string AnalysisText(const PlanOptions& options,
                         const plan::SettledRequest& request,
                         const std::vector<plan::Carrier>& rig,
                         const plan::GroupFigures& figures,
                         const plan::GroupViolations& violations,
                         const Signals& signals) {
  const std::vector<std::string> labels = request.LabelsOf(rig);
  std::string t = "carriers: " + std::to_string(rig.size()) + "\n";
  for (std::size_t i = 0; i < rig.size(); ++i) {
    t += "  " + FormatKhz(rig[i].khz);
    if (options.Grouped()) {
      t += "  " + labels[i] + "  " + GroupNameOf(options, rig[i].group);
    }
    t += "\n";
  }
  for (Family f : plan::kFamilies) {
    if (!request.Checks(f)) continue;
    const int k = static_cast<int>(f);
    const std::string name(plan::FamilyName(f));
    t += name + " margin: ";
    t += figures.closest[k] ? FormatKhz(*figures.margins[k]) + " MHz (" +
                                  DescribeProduct(*figures.closest[k]) + ")\n"
                            : "none (too few carriers)\n";
    t += name + " headroom: ";
    t += figures.tightest[k]
             ? FormatKhz(figures.tightest[k]->Headroom()) + " MHz (" +
                   DescribeProduct(figures.tightest[k]->product) + ")\n"
             : "none (too few carriers)\n";
  }
  const std::size_t n = violations.listed.size() + signals.in.size();
  t += "violations: " + std::string(violations.more ? "more than " : "") +
       std::to_string(n) + "\n";
  for (const auto& [carrier, in] : signals.in) {
    t += "  the scans: " + FormatKhz(carrier.khz) + " MHz" +
         InGroup(options, carrier.group) + " lies " +
         DescribeInSignal(options, in) + "\n";
  }
  for (const plan::Finding& f : violations.listed) {
    t += "  " + DescribeFinding(options, f) + "\n";
  }
  return t + (n == 0 ? "valid: yes\n" : "valid: no\n");
}

std::string AnalysisJson(const PlanOptions& options,
                         const plan::SettledRequest& request,
                         const std::vector<plan::Carrier>& rig,
                         const plan::GroupFigures& figures,
                         const plan::GroupViolations& violations,
                         const Signals& signals) {
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("carriers").BeginArray();
  for (const plan::Carrier& c : rig) json.String(FormatKhz(c.khz));
  json.EndArray().Key("count").Number(static_cast<std::int64_t>(rig.size()));
  json.Key("groups").BeginArray();
  for (const plan::Carrier& c : rig) {
    json.String(options.groups[c.group].name);
  }
  json.EndArray().Key("labels").Strings(request.LabelsOf(rig));
  for (const char* what : {"margins", "headroom"}) {
    const bool margins = what[0] == 'm';
    json.Key(what).BeginObject();
    for (Family f : plan::kFamilies) {
      if (!request.Checks(f)) continue;
      const int k = static_cast<int>(f);
      json.Key(plan::FamilyName(f))
          .OptionalString(
              KhzText(margins ? figures.margins[k] : figures.headroom[k]));
    }
    json.EndObject();
  }
  json.Key("violations").BeginArray();
  for (const auto& [carrier, in] : signals.in) {
    json.BeginObject().Key("kind").String("signal");
    json.Key("carrier").String(FormatKhz(carrier.khz));
    json.Key("group").String(options.groups[carrier.group].name);
    WriteInSignal(options, in, json);
    json.EndObject();
  }
  for (const plan::Finding& f : violations.listed) {
    WriteFinding(options, f, json);
  }
  json.EndArray().Key("truncated").Bool(violations.more);
  json.Key("valid")
      .Bool(violations.listed.empty() && signals.in.empty())
      .EndObject();
  return out + "\n";
}

}  // namespace

PlanReport RunAnalysis(const PlanOptions& options,
                       const plan::SettledRequest& request,
                       const std::optional<std::string>& input,
                       std::span<const plan::Carrier> saved) {
  const Rig rig = RigOf(options, input, saved);
  if (!rig.error.empty()) return UsageReport(rig.error);
  const std::vector<plan::Carrier> sorted = plan::Ascending(rig.carriers);
  const plan::GroupFigures figures =
      plan::MeasureGroups(sorted, request.rules());
  const plan::GroupViolations violations = plan::FindGroupViolations(
      sorted, request.rules(), kMaxAnalysedViolations);
  const Signals signals = SignalsOf(options, sorted);
  PlanReport report;
  report.status =
      violations.listed.empty() && signals.in.empty() ? kExitOk : kExitNoPlan;
  report.out = options.json ? AnalysisJson(options, request, sorted, figures,
                                           violations, signals)
                            : AnalysisText(options, request, sorted, figures,
                                           violations, signals);
  return report;
}

}  // namespace zelmar::plan_cli
