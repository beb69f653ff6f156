#include "plan_cli.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli.h"
#include "zelmar/engine.h"

namespace zelmar::plan_cli {
namespace {

using plan::Khz;
using OutJson = nlohmann::ordered_json;

std::string Message(std::string_view text) {
  return cli::Message(text, kProgramName);
}

std::string Quote(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += cli::QuoteForMessage(text);
  quoted += '\'';
  return quoted;
}

// Splits at ':'.
std::vector<std::string_view> SplitColons(std::string_view text) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t colon = text.find(':');
    parts.push_back(text.substr(0, colon));
    if (colon == std::string_view::npos) return parts;
    text.remove_prefix(colon + 1);
  }
}

class ArgumentReader {
 public:
  explicit ArgumentReader(std::string& error) : error_(error) {}

  // One number of MHz within the value of `option`.
  std::optional<Khz> Number(std::string_view option, std::string_view value,
                            std::string_view text, bool allow_zero = false) {
    const plan::NumberReading reading = plan::ReadMHz(text, allow_zero);
    if (reading.error == plan::NumberError::kNone) return reading.khz;
    std::string what = std::string(option) + " " + Quote(value) + ": ";
    if (text != value) what += Quote(text) + " ";
    Fail(what + std::string(plan::DescribeNumberError(reading.error)));
    return std::nullopt;
  }

  void Fail(std::string_view text) {
    if (error_.empty()) error_ = Message(text);
  }

 private:
  std::string& error_;
};

std::optional<plan::Band> ReadBand(ArgumentReader& reader,
                                   std::string_view value) {
  const std::vector<std::string_view> parts = SplitColons(value);
  if (parts.size() < 2 || parts.size() > 3) {
    reader.Fail("--band " + Quote(value) + ": expected LOW:HIGH or " +
                "LOW:HIGH:STEP in MHz");
    return std::nullopt;
  }
  plan::Band band;
  const auto low = reader.Number("--band", value, parts[0]);
  const auto high = reader.Number("--band", value, parts[1]);
  if (!low || !high) return std::nullopt;
  band.low = *low;
  band.high = *high;
  if (parts.size() == 3) {
    const auto step = reader.Number("--band", value, parts[2]);
    if (!step) return std::nullopt;
    band.step = *step;
  }
  if (band.low > band.high) {
    reader.Fail("--band " + Quote(value) + ": LOW is above HIGH");
    return std::nullopt;
  }
  return band;
}

std::optional<plan::Range> ReadRange(ArgumentReader& reader,
                                     std::string_view value) {
  const std::vector<std::string_view> parts = SplitColons(value);
  if (parts.size() > 2) {
    reader.Fail("--exclude " + Quote(value) + ": expected F or LOW:HIGH in " +
                "MHz");
    return std::nullopt;
  }
  const auto low = reader.Number("--exclude", value, parts[0]);
  if (!low) return std::nullopt;
  plan::Range range{*low, *low};
  if (parts.size() == 2) {
    const auto high = reader.Number("--exclude", value, parts[1]);
    if (!high) return std::nullopt;
    range.high = *high;
    if (range.low > range.high) {
      reader.Fail("--exclude " + Quote(value) + ": LOW is above HIGH");
      return std::nullopt;
    }
  }
  return range;
}

std::optional<int> ReadCount(ArgumentReader& reader, std::string_view value) {
  int count = 0;
  bool ok = !value.empty() && value.size() <= 2;
  for (char c : value) {
    if (!ok || c < '0' || c > '9') {
      ok = false;
      break;
    }
    count = count * 10 + (c - '0');
  }
  if (!ok || count < 1 || count > plan::kMaxCarriers) {
    reader.Fail("--count " + Quote(value) + ": expected a whole number from " +
                "1 to 12");
    return std::nullopt;
  }
  return count;
}

std::string Lines(std::string_view text) {
  // The check's "\r\n" line ends as plain "\n".
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) continue;
    out += text[i];
  }
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    lines.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return lines;
}

FieldTexts TextsOf(const std::vector<Khz>& carriers) {
  FieldTexts fields;
  for (std::size_t i = 0; i < carriers.size() && i < kSlotCount; ++i) {
    fields[i] = plan::FormatKhz(carriers[i]);
  }
  return fields;
}

std::string MarginText(const std::optional<Khz>& margin) {
  return margin ? plan::FormatKhz(*margin) : std::string();
}

PlanReport Internal(std::string_view text) {
  PlanReport report;
  report.status = kExitInternal;
  report.err = Message("internal error: " + std::string(text)) + "\n";
  return report;
}

// Words for the rule the fixed carriers break.
std::string DescribeViolation(const plan::Violation& v,
                              const plan::Rules& rules) {
  using plan::FormatKhz;
  if (v.rule == plan::Violation::Rule::kSpacing) {
    return "the spacing rule: " + FormatKhz(v.a) + " and " + FormatKhz(v.b) +
           " MHz are " + FormatKhz(v.b - v.a) + " MHz apart, not more than " +
           FormatKhz(rules.spacing) + " MHz";
  }
  const Khz off =
      v.product > v.victim ? v.product - v.victim : v.victim - v.product;
  return "the intermodulation rule: the product " + FormatKhz(v.product) +
         " MHz of " + FormatKhz(v.a) + " and " + FormatKhz(v.b) + " MHz lies " +
         FormatKhz(off) + " MHz from " + FormatKhz(v.victim) +
         " MHz, not more than the guard " + FormatKhz(rules.guard) + " MHz";
}

PlanReport FixedBroken(const PlanOptions& options, std::vector<Khz> fixed) {
  std::sort(fixed.begin(), fixed.end());
  const plan::Violation v = plan::FindViolation(fixed, options.rules);
  const std::string words = DescribeViolation(v, options.rules);
  const CheckReport checked = RunChannelCheckWithFindings(TextsOf(fixed));
  const CheckResult& check = checked.result;
  std::vector<std::string> findings;
  if (check.resultText != kLowRiskText) findings = SplitLines(check.resultText);

  PlanReport report;
  report.status = kExitNoPlan;
  if (options.json) {
    OutJson j;
    j["plan"] = OutJson::array();
    j["count"] = 0;
    j["largest"] = 0;
    j["proven"] = true;
    j["broken"] = v.rule == plan::Violation::Rule::kSpacing ? "spacing"
                                                            : "intermodulation";
    j["reason"] = "the fixed carriers already break " + words;
    // The check's findings, as zelmar-check writes them.
    std::string findings_json;
    cli::AppendFindingsJson(checked.findings, findings_json);
    j["findings"] = OutJson::parse(findings_json);
    report.out = j.dump() + "\n";
    return report;
  }
  report.out = "No plan: the fixed carriers already break " + words + ".\n";
  if (!findings.empty()) {
    report.out += "The check of the fixed carriers finds:\n";
    for (std::size_t i = 0; i < fixed.size(); ++i) {
      report.out += "  " + SlotLabel(i + 1) + " " + check.slotTexts[i] + "\n";
    }
    for (const std::string& line : findings) report.out += line + "\n";
  }
  return report;
}

}  // namespace

plan::Band DefaultBand() { return plan::Band{806'125, 809'750, 125}; }

ParsedPlanArguments ParsePlanArguments(
    const std::vector<std::string_view>& args) {
  ParsedPlanArguments parsed;
  PlanOptions& options = parsed.options;
  ArgumentReader reader(parsed.error);
  bool have_count = false, have_spacing = false, have_guard = false,
       have_time = false;
  for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    std::string_view arg = args[i];
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (arg.starts_with("--")) {
      const std::size_t equals = arg.find('=');
      if (equals != std::string_view::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
      }
    }
    const bool takes_value = name == "--band" || name == "--exclude" ||
                             name == "--fixed" || name == "--count" ||
                             name == "--spacing" || name == "--guard" ||
                             name == "--time-limit";
    if (takes_value && !value) {
      if (i + 1 == args.size()) {
        reader.Fail(std::string(name) + " needs a value");
        break;
      }
      value = args[++i];
    }
    const auto once = [&](bool& seen) {
      if (seen) reader.Fail(std::string(name) + " given twice");
      seen = true;
    };
    if (name == "--band") {
      if (auto band = ReadBand(reader, *value)) options.bands.push_back(*band);
    } else if (name == "--exclude") {
      if (auto range = ReadRange(reader, *value)) {
        options.excludes.push_back(*range);
      }
    } else if (name == "--fixed") {
      if (auto f = reader.Number("--fixed", *value, *value)) {
        options.fixed.push_back(*f);
      }
    } else if (name == "--count") {
      once(have_count);
      if (auto count = ReadCount(reader, *value)) options.count = *count;
    } else if (name == "--spacing") {
      once(have_spacing);
      if (auto s = reader.Number("--spacing", *value, *value)) {
        options.rules.spacing = *s;
        if (*s < plan::kDefaultSpacing) {
          reader.Fail("--spacing " + Quote(*value) +
                      ": below the check's own 0.125 MHz");
        }
      }
    } else if (name == "--guard") {
      once(have_guard);
      if (auto g = reader.Number("--guard", *value, *value, true)) {
        options.rules.guard = *g;
      }
    } else if (name == "--time-limit") {
      once(have_time);
      // Seconds, read like MHz: thousandths become milliseconds.
      if (auto ms = reader.Number("--time-limit", *value, *value)) {
        options.time_limit_ms = *ms;
      }
    } else if (value) {
      reader.Fail("option " + Quote(name) + " takes no value");
    } else if (name == "--max") {
      options.max = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name.starts_with("-")) {
      reader.Fail("unknown option " + Quote(name) + " (see --help)");
    } else {
      reader.Fail("unexpected argument " + Quote(name) + " (see --help)");
    }
  }
  if (!parsed.error.empty() || options.help || options.version) return parsed;
  if (have_count == options.max) {
    reader.Fail(options.max ? "give either --count N or --max, not both"
                            : "give --count N or --max (see --help)");
  } else if (options.fixed.size() > plan::kMaxCarriers) {
    reader.Fail("at most 12 fixed carriers");
  } else if (have_count &&
             static_cast<std::size_t>(options.count) < options.fixed.size()) {
    reader.Fail("--count " + std::to_string(options.count) + " is below the " +
                std::to_string(options.fixed.size()) + " fixed carriers");
  }
  return parsed;
}

std::string PlanUsageText() {
  return R"(Usage: zelmar-plan [--band LOW:HIGH[:STEP]]... [--exclude F|LOW:HIGH]...
                   [--fixed F]... (--count N | --max) [--spacing S]
                   [--guard G] [--time-limit SECONDS] [--json]
Finds the best plan of wireless microphone carriers (MHz, at most three
decimals) that the channel check calls low-risk: every two carriers more than
the spacing apart, and every third-order product 2b - a or 2a - b of a pair
more than the guard away from every other carrier. The best plan has the
largest margin (the smallest distance of a product from a carrier), then the
lowest frequencies.

  --band LOW:HIGH[:STEP]  candidate channels LOW, LOW + STEP, ... up to HIGH
                          (STEP 0.125 unless given); default: the B band
                          806.125:809.750:0.125
  --exclude F|LOW:HIGH    remove a channel or a range (ends included)
  --fixed F               a carrier already in use, part of every plan
  --count N               the best plan of N carriers (1 to 12, fixed ones
                          included)
  --max                   the best plan of as many carriers as fit (at most 12)
  --spacing S             minimum spacing, at least 0.125 (default 0.125)
  --guard G               products must lie more than G away (default 0)
  --time-limit SECONDS    stop the search after this long (default 10); the
                          best plan so far is then printed, not proven best
  --json                  print one JSON object
  --help                  show this help and exit
  --version               show the version and exit

Exit status: 0 plan printed, 1 no valid plan of that size, 2 usage error,
3 internal error.
)";
}

std::string PlanVersionText() { return cli::VersionLine(kProgramName); }

PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop) {
  std::vector<plan::Band> bands = options.bands;
  if (bands.empty()) bands.push_back(DefaultBand());
  plan::PlanRequest request;
  plan::Candidates candidates =
      plan::BuildCandidates(bands, options.excludes, plan::kMaxCandidates);
  if (candidates.too_many) {
    PlanReport report;
    report.status = kExitUsage;
    report.err = Message(
                     "more than 1000000 candidate channels; use fewer or "
                     "narrower bands or a larger step") +
                 "\n";
    return report;
  }
  request.candidates = std::move(candidates.channels);
  request.fixed = options.fixed;
  request.rules = options.rules;
  request.count = options.max ? 0 : options.count;

  const plan::PlanOutcome outcome = plan::FindBestPlan(request, stop);
  if (outcome.status == plan::PlanOutcome::Status::kFixedBroken) {
    return FixedBroken(options, options.fixed);
  }

  PlanReport report;
  if (outcome.status == plan::PlanOutcome::Status::kNone) {
    report.status = kExitNoPlan;
    if (options.json) {
      OutJson j;
      j["plan"] = OutJson::array();
      j["count"] = 0;
      j["largest"] = outcome.largest ? OutJson(*outcome.largest) : OutJson();
      j["proven"] = outcome.proven;
      report.out = j.dump() + "\n";
    } else {
      report.out = "No valid plan";
      if (!options.max) {
        report.out += " of " + std::to_string(options.count) + " carriers";
      }
      if (outcome.largest) {
        report.out += ". The most carriers any valid plan here holds: " +
                      std::to_string(*outcome.largest) + ".\n";
      } else {
        report.out += " found before the time limit.\n";
      }
    }
    return report;
  }

  // Every plan goes through the check before it is shown.
  const FieldTexts texts = TextsOf(outcome.plan);
  for (std::size_t i = 0; i < outcome.plan.size(); ++i) {
    if (texts[i] != FormatMHz(static_cast<double>(outcome.plan[i]) / 1000.0)) {
      return Internal("the frequency text " + texts[i] +
                      " differs from the check's own");
    }
  }
  const CheckResult check = RunChannelCheck(texts);
  if (check.resultText != kLowRiskText) {
    std::string plan_text;
    for (std::size_t i = 0; i < outcome.plan.size(); ++i) {
      plan_text += (i ? " " : "") + texts[i];
    }
    return Internal("the check does not call the plan " + plan_text +
                    " low-risk");
  }

  if (options.json) {
    OutJson j;
    j["plan"] = OutJson::array();
    for (std::size_t i = 0; i < outcome.plan.size(); ++i) {
      j["plan"].push_back(texts[i]);
    }
    j["count"] = outcome.plan.size();
    j["margin"] =
        outcome.margin ? OutJson(MarginText(outcome.margin)) : OutJson();
    j["proven"] = outcome.proven;
    j["result"] = check.resultText;
    report.out = j.dump() + "\n";
    return report;
  }
  for (std::size_t i = 0; i < outcome.plan.size(); ++i) {
    report.out += texts[i] + "\n";
  }
  report.out += "\ncount: " + std::to_string(outcome.plan.size()) + "\n";
  report.out += "margin: " +
                (outcome.margin ? MarginText(outcome.margin) + " MHz"
                                : std::string("none (fewer than three "
                                              "carriers)")) +
                "\n";
  report.out += outcome.proven ? "proven best: yes\n"
                               : "proven best: no (time limit reached)\n";
  report.out += "\n" + Lines(check.resultText);
  return report;
}

std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds) {
  std::string line = Message("searching plans of " +
                             std::to_string(progress.carriers) + " carriers, ");
  if (!progress.have_plan) {
    line += "none found yet";
  } else if (progress.best_margin) {
    line += "best margin " + plan::FormatKhz(*progress.best_margin) + " MHz";
  } else {
    line += "plan found";
  }
  line += ", " + std::to_string(progress.nodes / 1000) + "k nodes, " +
          std::to_string(static_cast<long long>(seconds)) + " s";
  return line;
}

}  // namespace zelmar::plan_cli
