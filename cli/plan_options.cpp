#include "plan_options.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "cli.h"
#include "plan_values.h"

namespace zelmar::plan_cli {

std::string PlanMessage(std::string_view text) {
  return cli::Message(text, kProgramName);
}

std::string QuoteFile(std::string_view name) {
  return "'" + cli::QuoteWhole(name) + "'";
}

std::string QuoteArgument(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += cli::QuoteForMessage(text);
  quoted += '\'';
  return quoted;
}

namespace {

using plan::Family;
using plan::FormatKhz;
using plan::Khz;

// The options given at most once (per group, where they belong to one), as
// far as read.
struct Seen {
  bool count = false, spacing = false, guard = false, spares = false,
       apart = false, label = false;
  std::array<bool, plan::kFamilyCount> window{};
};
struct SeenOnce {
  bool time = false, edge = false, threads = false, threshold = false,
       scan_unit = false, scan_guard = false, show = false, save = false,
       csv = false;
  Seen group;                          // of the group being read
  bool grouped = false;                // a --group was given
  plan::GroupOptions defaults;         // the rules given before the first group
  bool request = false;                // an option that only a request without
  std::string request_name;            // --show may have (its name)
  std::vector<std::string_view> free;  // arguments that are no option
};

bool TakesValue(std::string_view name) {
  return name == "--band" || name == "--tv" || name == "--tv-edge" ||
         name == "--exclude" || name == "--fixed" || name == "--count" ||
         name == "--spacing" || name == "--guard" || name == "--window" ||
         name == "--time-limit" || name == "--threads" || name == "--group" ||
         name == "--spares" || name == "--scan" || name == "--scan-threshold" ||
         name == "--scan-guard" || name == "--show" || name == "--save" ||
         name == "--csv" || name == "--scan-unit";
}

void Once(ArgumentReader& reader, std::string_view name, bool& seen) {
  if (seen) reader.Fail(std::string(name) + " given twice");
  seen = true;
}

void SetWindow(int family, Khz w, plan::Rules& rules) {
  if (family == 0) rules.guard = w;
  if (family == 1) rules.window_3tx3 = w;
  if (family == 2) rules.window_2tx5 = w;
}

// The family named `kind`, or -1.
int FamilyNamed(std::string_view kind) {
  for (Family f : plan::kFamilies) {
    if (kind == plan::FamilyName(f)) return static_cast<int>(f);
  }
  return -1;
}

// --window KIND=W, or --guard G as the same as --window 2tx3=G.
void ReadWindow(ArgumentReader& reader, std::string_view value, Seen& seen,
                plan::Rules& rules) {
  const auto [kind, width] = CountSuffix(value);
  const int family = width ? FamilyNamed(kind) : -1;
  if (family < 0) {
    reader.Fail("--window " + QuoteArgument(value) +
                ": expected KIND=W with KIND 2tx3, 3tx3 or 2tx5 and W in MHz");
    return;
  }
  if (seen.window[family]) {
    reader.Fail("--window " + std::string(kind) + " given twice");
  } else if (family == 0 && seen.guard) {
    reader.Fail("give --guard G or --window 2tx3=G, not both");
  }
  seen.window[family] = true;
  if (auto w = reader.Number("--window", value, *width, true)) {
    SetWindow(family, *w, rules);
  }
}

void ReadGuard(ArgumentReader& reader, std::string_view value, Seen& seen,
               plan::Rules& rules) {
  Once(reader, "--guard", seen.guard);
  if (seen.window[0]) {
    reader.Fail("give --guard G or --window 2tx3=G, not both");
  }
  if (auto g = reader.Number("--guard", value, value, true)) rules.guard = *g;
}

// A whole number from `low` to `most` given once: --count, --threads,
// --spares.
void ReadWhole(ArgumentReader& reader, std::string_view name,
               std::string_view value, int most, bool& seen, int& out,
               int low = 1) {
  Once(reader, name, seen);
  if (auto n = WholeNumber(value, low, most)) {
    out = *n;
  } else {
    reader.Fail(std::string(name) + " " + QuoteArgument(value) +
                ": expected a whole number from " + std::to_string(low) +
                " to " + std::to_string(most));
  }
}

void ReadSpacing(ArgumentReader& reader, std::string_view option,
                 std::string_view value, std::string_view text, Seen& seen,
                 plan::Rules& rules) {
  Once(reader, option, seen.spacing);
  if (auto s = reader.Number(option, value, text)) {
    rules.spacing = *s;
    if (*s < plan::kDefaultSpacing) {
      reader.Fail(std::string(option) + " " + QuoteArgument(value) +
                  ": below the check's own 0.125 MHz");
    }
  }
}

// One field of --group NAME,FIELD=VALUE,...
void ReadGroupField(ArgumentReader& reader, std::string_view value,
                    std::string_view field, Seen& seen,
                    plan::GroupOptions& group) {
  const auto [key, text] = CountSuffix(field);
  const int family = FamilyNamed(key);
  if (!text) {
    reader.Fail("--group " + QuoteArgument(value) + ": " +
                QuoteArgument(field) + " is not FIELD=VALUE");
  } else if (key == "label") {
    Once(reader, "label=", seen.label);
    group.label = std::string(*text);
  } else if (key == "spacing") {
    ReadSpacing(reader, "--group", value, *text, seen, group.rules);
  } else if (key == "apart") {
    Once(reader, "apart=", seen.apart);
    if (auto a = reader.Number("--group", value, *text, true)) group.apart = *a;
  } else if (key == "spares") {
    ReadWhole(reader, "spares=", *text, plan::kMaxCarriers, seen.spares,
              group.spares, 0);
  } else if (family >= 0) {
    if (seen.window[family]) reader.Fail(std::string(key) + "= given twice");
    seen.window[family] = true;
    if (auto w = reader.Number("--group", value, *text, true)) {
      SetWindow(family, *w, group.rules);
    }
  } else {
    reader.Fail("--group " + QuoteArgument(value) + ": unknown field " +
                QuoteArgument(key) +
                " (label, spacing, apart, 2tx3, 3tx3, 2tx5, spares)");
  }
}

// --group NAME[,FIELD=VALUE]...: a new group, which the band, fixed and
// count options after it fill. Rules given before the first group are
// every group's defaults.
void ReadGroup(ArgumentReader& reader, std::string_view value, SeenOnce& seen,
               PlanOptions& options) {
  const std::vector<std::string_view> fields = Split(value, ',');
  if (fields[0].empty()) {
    reader.Fail("--group " + QuoteArgument(value) + ": the group needs a name");
    return;
  }
  // Names and labels go into JSON, the show file and the sheet as they are.
  const bool printable =
      cli::IsValidUtf8(value) &&
      std::none_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
      });
  if (!printable) {
    reader.Fail("--group " + QuoteArgument(value) +
                ": names and labels must be UTF-8 text without control "
                "characters");
    return;
  }
  if (!seen.grouped) {
    const plan::GroupOptions& loose = options.first();
    if (!loose.bands.empty() || !loose.fixed.empty() || seen.group.count ||
        loose.max) {
      reader.Fail(
          "--band, --tv, --fixed, --count and --max go after the "
          "--group they belong to");
      return;
    }
  }
  if (!seen.grouped) {
    seen.defaults = options.first();
    options.groups.clear();
  }
  plan::GroupOptions group;
  group.rules = seen.defaults.rules;
  group.apart = seen.defaults.apart;
  group.spares = seen.defaults.spares;
  seen.grouped = true;
  seen.group = Seen{};
  group.name = std::string(fields[0]);
  group.label = group.name;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    ReadGroupField(reader, value, fields[i], seen.group, group);
  }
  options.groups.push_back(std::move(group));
}

// Options that belong to the group being read (the only one, without
// --group). True when `name` was one of them.
bool ReadGroupOption(ArgumentReader& reader, std::string_view name,
                     std::string_view value, Seen& seen,
                     plan::GroupOptions& group) {
  if (name == "--band") {
    if (auto band = ReadBand(reader, value)) group.bands.push_back(*band);
  } else if (name == "--tv") {
    if (auto tv = ReadTv(reader, value)) group.bands.push_back(*tv);
  } else if (name == "--fixed") {
    if (auto f = reader.Number(name, value, value)) group.fixed.push_back(*f);
  } else if (name == "--count") {
    ReadWhole(reader, name, value, plan::kMaxCarriers, seen.count, group.count);
  } else if (name == "--spacing") {
    ReadSpacing(reader, name, value, value, seen, group.rules);
  } else if (name == "--guard") {
    ReadGuard(reader, value, seen, group.rules);
  } else if (name == "--window") {
    ReadWindow(reader, value, seen, group.rules);
  } else if (name == "--spares") {
    ReadWhole(reader, name, value, plan::kMaxCarriers, seen.spares,
              group.spares, 0);
  } else {
    return false;
  }
  return true;
}

// A file name option given once.
void ReadFileName(ArgumentReader& reader, std::string_view name,
                  std::string_view value, bool& seen, std::string& out) {
  Once(reader, name, seen);
  if (value.empty()) reader.Fail(std::string(name) + " needs a file name");
  out = std::string(value);
}

// An option with its value.
void ReadValueOption(ArgumentReader& reader, std::string_view name,
                     std::string_view value, SeenOnce& seen,
                     PlanOptions& options) {
  if (name != "--show" && name != "--time-limit" && name != "--threads" &&
      name != "--save" && name != "--csv" && !seen.request) {
    seen.request = true;
    seen.request_name = std::string(name);
  }
  if (ReadGroupOption(reader, name, value, seen.group, options.groups.back())) {
    return;
  }
  if (name == "--group") {
    ReadGroup(reader, value, seen, options);
  } else if (name == "--tv-edge") {
    Once(reader, name, seen.edge);
    if (auto e = reader.Number(name, value, value, true)) options.tv_edge = *e;
  } else if (name == "--exclude") {
    if (auto range = ReadRange(reader, value)) {
      options.excludes.push_back(*range);
    }
  } else if (name == "--time-limit") {
    Once(reader, name, seen.time);
    if (auto ms = ReadSeconds(reader, value)) options.time_limit_ms = *ms;
  } else if (name == "--threads") {
    ReadWhole(reader, name, value, plan::kMaxThreads, seen.threads,
              options.threads);
  } else if (name == "--scan") {
    if (value.empty()) reader.Fail("--scan needs a file name");
    options.scans.emplace_back(value);
  } else if (name == "--scan-threshold") {
    Once(reader, name, seen.threshold);
    options.scan_threshold = ReadLevel(reader, value);
  } else if (name == "--scan-unit") {
    Once(reader, name, seen.scan_unit);
    options.scan_unit = plan::ReadScanUnit(value);
    if (!options.scan_unit) {
      reader.Fail("--scan-unit " + QuoteArgument(value) +
                  ": expected MHz, kHz, Hz or GHz");
    }
  } else if (name == "--scan-guard") {
    Once(reader, name, seen.scan_guard);
    if (auto g = reader.Number(name, value, value, true))
      options.scan_guard = *g;
  } else if (name == "--show") {
    ReadFileName(reader, name, value, seen.show, options.show);
  } else if (name == "--save") {
    ReadFileName(reader, name, value, seen.save, options.save);
  } else if (name == "--csv") {
    ReadFileName(reader, name, value, seen.csv, options.csv);
  }
}

// An option without a value, or an argument that is none.
void ReadFlag(ArgumentReader& reader, std::string_view name, SeenOnce& seen,
              PlanOptions& options) {
  if (name == "--max") {
    options.groups.back().max = true;
    seen.request = true;
    seen.request_name = "--max";
  } else if (name == "--json") {
    options.json = true;
  } else if (name == "--analyze") {
    options.analyze = true;
  } else if (name == "--help") {
    options.help = true;
  } else if (name == "--version") {
    options.version = true;
  } else if (name.starts_with("-") && name.size() > 1) {
    reader.Fail("unknown option " + QuoteArgument(name) + " (see --help)");
  } else {
    seen.free.push_back(name);
  }
}

// The frequencies of --analyze given as arguments.
void ReadRig(ArgumentReader& reader, const SeenOnce& seen,
             PlanOptions& options) {
  for (std::string_view text : seen.free) {
    if (!options.analyze) {
      reader.Fail("unexpected argument " + QuoteArgument(text) +
                  " (see --help)");
      return;
    }
    if (auto f = reader.Number("--analyze", text, text))
      options.rig.push_back(*f);
  }
}

}  // namespace

ParsedPlanArguments ParsePlanArguments(
    const std::vector<std::string_view>& args) {
  ParsedPlanArguments parsed;
  PlanOptions& options = parsed.options;
  ArgumentReader reader(parsed.error);
  SeenOnce seen;
  for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    const std::size_t equals = name.find('=');
    if (name.starts_with("--") && equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (TakesValue(name) && !value) {
      if (i + 1 == args.size()) {
        reader.Fail(std::string(name) + " needs a value");
        break;
      }
      value = args[++i];
    }
    if (TakesValue(name)) {
      ReadValueOption(reader, name, *value, seen, options);
    } else if (value) {
      reader.Fail("option " + QuoteArgument(name) + " takes no value");
    } else {
      ReadFlag(reader, name, seen, options);
    }
  }
  if (!parsed.error.empty() || options.help || options.version) return parsed;
  ReadRig(reader, seen, options);
  if (!parsed.error.empty()) return parsed;
  if (options.save == "-" && options.csv == "-") {
    reader.Fail("--save - and --csv - cannot both take standard output");
    return parsed;
  }
  if (!options.show.empty()) {
    if (seen.request) {
      reader.Fail(seen.request_name +
                  " does not go with --show, whose file holds the request");
    }
    return parsed;
  }
  // A rig to analyse needs no count.
  if (options.analyze) return parsed;
  const plan::OptionsCheck check = plan::SettleOptions(options);
  if (check.error != plan::OptionsError::kNone) {
    reader.Fail(DescribeOptionsCheck(options, check));
  }
  return parsed;
}

std::string PlanVersionText() { return cli::VersionLine(kProgramName); }

}  // namespace zelmar::plan_cli
