#include "plan_cli.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli.h"
#include "zelmar/engine.h"

namespace zelmar::plan_cli {
namespace {

using plan::Family;
using plan::FormatKhz;
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

// Splits at `separator`.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// A whole number from `low` to `high`, or nullopt.
std::optional<int> WholeNumber(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
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

  // "=N" at the end of an option's value: a count of carriers.
  std::optional<int> Count(std::string_view option, std::string_view value,
                           std::string_view text) {
    const auto n = WholeNumber(text, 1, plan::kMaxCarriers);
    if (!n) {
      Fail(std::string(option) + " " + Quote(value) + ": the count " +
           Quote(text) + " is not a whole number from 1 to 64");
    }
    return n;
  }

  void Fail(std::string_view text) {
    if (error_.empty()) error_ = Message(text);
  }

 private:
  std::string& error_;
};

// Splits "TEXT=N" into TEXT and N (nullopt without "=").
std::pair<std::string_view, std::optional<std::string_view>> CountSuffix(
    std::string_view value) {
  const std::size_t equals = value.rfind('=');
  if (equals == std::string_view::npos) return {value, std::nullopt};
  return {value.substr(0, equals), value.substr(equals + 1)};
}

std::optional<BandOption> ReadBand(ArgumentReader& reader,
                                   std::string_view value) {
  const auto [text, count] = CountSuffix(value);
  BandOption option;
  option.text = std::string(text);
  if (count) {
    option.count = reader.Count("--band", value, *count);
    if (!option.count) return std::nullopt;
  }
  if (text == "b") {
    option.kind = BandOption::Kind::kBBand;
    option.band = plan::kBBand;
    return option;
  }
  const std::vector<std::string_view> parts = Split(text, ':');
  if (parts.size() < 2 || parts.size() > 3) {
    reader.Fail("--band " + Quote(value) + ": expected b, LOW:HIGH or " +
                "LOW:HIGH:STEP in MHz, with =N for a count");
    return std::nullopt;
  }
  const auto low = reader.Number("--band", value, parts[0]);
  const auto high = reader.Number("--band", value, parts[1]);
  if (!low || !high) return std::nullopt;
  option.band = {*low, *high, plan::kDefaultStep};
  if (parts.size() == 3) {
    const auto step = reader.Number("--band", value, parts[2]);
    if (!step) return std::nullopt;
    option.band.step = *step;
  }
  if (option.band.low > option.band.high) {
    reader.Fail("--band " + Quote(value) + ": LOW is above HIGH");
    return std::nullopt;
  }
  return option;
}

std::optional<BandOption> ReadTv(ArgumentReader& reader,
                                 std::string_view value) {
  const auto [text, count] = CountSuffix(value);
  BandOption option;
  option.kind = BandOption::Kind::kTv;
  option.text = std::string(text);
  if (count) {
    option.count = reader.Count("--tv", value, *count);
    if (!option.count) return std::nullopt;
  }
  const std::vector<std::string_view> parts = Split(text, ':');
  if (parts.size() > 2) {
    reader.Fail("--tv " + Quote(value) + ": expected LIST or LIST:STEP");
    return std::nullopt;
  }
  if (parts.size() == 2) {
    const auto step = reader.Number("--tv", value, parts[1]);
    if (!step) return std::nullopt;
    option.tv_step = *step;
  }
  for (std::string_view item : Split(parts[0], ',')) {
    const std::vector<std::string_view> ends = Split(item, '-');
    std::optional<int> first, last;
    if (ends.size() <= 2) {
      first = WholeNumber(ends.front(), plan::kFirstTvChannel,
                          plan::kLastTvChannel);
      last =
          WholeNumber(ends.back(), plan::kFirstTvChannel, plan::kLastTvChannel);
    }
    if (!first || !last || *first > *last) {
      reader.Fail("--tv " + Quote(value) + ": " + Quote(item) +
                  " is not a UHF TV channel from 13 to 52 or a range such as "
                  "35-37");
      return std::nullopt;
    }
    for (int c = *first; c <= *last; ++c) option.channels.push_back(c);
  }
  std::sort(option.channels.begin(), option.channels.end());
  option.channels.erase(
      std::unique(option.channels.begin(), option.channels.end()),
      option.channels.end());
  return option;
}

std::optional<plan::Range> ReadRange(ArgumentReader& reader,
                                     std::string_view value) {
  const std::vector<std::string_view> parts = Split(value, ':');
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

// Seconds with up to three decimals, as whole milliseconds.
std::optional<Khz> ReadSeconds(ArgumentReader& reader, std::string_view value) {
  const plan::NumberReading reading = plan::ReadMHz(value);
  const char* why = nullptr;
  switch (reading.error) {
    case plan::NumberError::kNone:
      return reading.khz;
    case plan::NumberError::kMalformed:
      why = "is not a number of seconds such as 2.5";
      break;
    case plan::NumberError::kTooManyDecimals:
      why = "has more than three decimals (1 ms is the finest step)";
      break;
    case plan::NumberError::kNotPositive:
    case plan::NumberError::kNegative:
      why = "is not above zero";
      break;
    case plan::NumberError::kTooLarge:
      why = "is not below 1000000 seconds";
      break;
  }
  reader.Fail("--time-limit " + Quote(value) + ": " + why);
  return std::nullopt;
}

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

OutJson ViolationJson(const plan::Violation& v) {
  OutJson j;
  if (v.rule == plan::Violation::Rule::kSpacing) {
    j["kind"] = "spacing";
    j["carriers"] = {FormatKhz(v.a), FormatKhz(v.b)};
    j["distance"] = FormatKhz(v.b - v.a);
    return j;
  }
  const plan::Product& q = v.product;
  j["kind"] = plan::FamilyName(q.family);
  j["carriers"] = OutJson::array();
  for (int i = 0; i < q.carrier_count; ++i) {
    j["carriers"].push_back(FormatKhz(q.carriers[i]));
  }
  j["product"] = FormatKhz(q.product);
  j["victim"] = FormatKhz(q.victim);
  j["distance"] = FormatKhz(q.Distance());
  return j;
}

FieldTexts TextsOf(const std::vector<Khz>& carriers) {
  FieldTexts fields;
  for (std::size_t i = 0; i < carriers.size() && i < kSlotCount; ++i) {
    fields[i] = FormatKhz(carriers[i]);
  }
  return fields;
}

PlanReport Internal(std::string_view text) {
  PlanReport report;
  report.status = kExitInternal;
  report.err = Message("internal error: " + std::string(text)) + "\n";
  return report;
}

PlanReport Usage(std::string_view text) {
  PlanReport report;
  report.status = kExitUsage;
  report.err = Message(text) + "\n";
  return report;
}

PlanReport FixedBroken(const PlanOptions& options, bool counted) {
  const std::vector<plan::Violation> violations =
      plan::FindViolations(options.fixed, options.rules);
  if (violations.empty()) return Internal("no rule broken by fixed carriers");
  PlanReport report;
  report.status = kExitNoPlan;
  const plan::Violation& first = violations.front();
  if (options.json) {
    OutJson j;
    j["plan"] = OutJson::array();
    j["count"] = 0;
    j["largest"] = counted ? OutJson() : OutJson(0);
    j["proven"] = true;
    j["broken"] = first.rule == plan::Violation::Rule::kSpacing
                      ? "spacing"
                      : "intermodulation";
    j["reason"] = "the fixed carriers already break " +
                  DescribeViolation(first, options.rules);
    j["violations"] = OutJson::array();
    for (const plan::Violation& v : violations) {
      j["violations"].push_back(ViolationJson(v));
    }
    report.out = j.dump() + "\n";
    return report;
  }
  report.err = "No plan: the fixed carriers already break " +
               std::to_string(violations.size()) +
               (violations.size() == 1 ? " rule:\n" : " rules:\n");
  for (const plan::Violation& v : violations) {
    report.err += "  " + DescribeViolation(v, options.rules) + "\n";
  }
  return report;
}

// The name of the band a carrier of the plan came from.
std::string BandName(const PlanOptions& options,
                     const std::vector<ResolvedBand>& resolved, Khz f) {
  if (std::find(options.fixed.begin(), options.fixed.end(), f) !=
      options.fixed.end()) {
    return "fixed";
  }
  for (const ResolvedBand& r : resolved) {
    const plan::Band& b = r.band;
    if (f < b.low || f > b.high || (f - b.low) % b.step != 0) continue;
    if (options.bands.empty()) {
      return "B ch " + std::to_string(plan::BBandChannel(f));
    }
    const BandOption& option = options.bands[r.option];
    switch (option.kind) {
      case BandOption::Kind::kBBand:
        return "B ch " + std::to_string(plan::BBandChannel(f));
      case BandOption::Kind::kTv:
        return "TV ch " + std::to_string(plan::TvChannelOf(f));
      case BandOption::Kind::kRange:
        return "band " + option.text;
    }
  }
  return "?";
}

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

}  // namespace

ParsedPlanArguments ParsePlanArguments(
    const std::vector<std::string_view>& args) {
  ParsedPlanArguments parsed;
  PlanOptions& options = parsed.options;
  ArgumentReader reader(parsed.error);
  bool have_count = false, have_spacing = false, have_guard = false,
       have_time = false, have_edge = false;
  std::array<bool, plan::kFamilyCount> have_window{};
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
    const bool takes_value = name == "--band" || name == "--tv" ||
                             name == "--tv-edge" || name == "--exclude" ||
                             name == "--fixed" || name == "--count" ||
                             name == "--spacing" || name == "--guard" ||
                             name == "--window" || name == "--time-limit";
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
    } else if (name == "--tv") {
      if (auto tv = ReadTv(reader, *value)) options.bands.push_back(*tv);
    } else if (name == "--tv-edge") {
      once(have_edge);
      if (auto e = reader.Number("--tv-edge", *value, *value, true)) {
        options.tv_edge = *e;
      }
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
      if (auto n = WholeNumber(*value, 1, plan::kMaxCarriers)) {
        options.count = *n;
      } else {
        reader.Fail("--count " + Quote(*value) +
                    ": expected a whole number from 1 to 64");
      }
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
      if (have_window[0]) {
        reader.Fail("give --guard G or --window 2tx3=G, not both");
      }
      if (auto g = reader.Number("--guard", *value, *value, true)) {
        options.rules.guard = *g;
      }
    } else if (name == "--window") {
      const auto [kind, width] = CountSuffix(*value);
      int family = -1;
      for (Family f : plan::kFamilies) {
        if (width && kind == plan::FamilyName(f)) family = static_cast<int>(f);
      }
      if (family < 0) {
        reader.Fail("--window " + Quote(*value) +
                    ": expected KIND=W with KIND 2tx3, 3tx3 or 2tx5 and W in "
                    "MHz");
        break;
      }
      if (have_window[family]) {
        reader.Fail("--window " + std::string(kind) + " given twice");
      } else if (family == 0 && have_guard) {
        reader.Fail("give --guard G or --window 2tx3=G, not both");
      }
      have_window[family] = true;
      if (auto w = reader.Number("--window", *value, *width, true)) {
        if (family == 0) options.rules.guard = *w;
        if (family == 1) options.rules.window_3tx3 = *w;
        if (family == 2) options.rules.window_2tx5 = *w;
      }
    } else if (name == "--time-limit") {
      once(have_time);
      if (auto ms = ReadSeconds(reader, *value)) options.time_limit_ms = *ms;
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

  // TV channels need the edge, which may come after them.
  for (const BandOption& option : options.bands) {
    for (int channel : option.channels) {
      if (!plan::TvChannelBand(channel, option.tv_step, options.tv_edge)) {
        reader.Fail("--tv " + Quote(option.text) + ": channel " +
                    std::to_string(channel) + " holds no multiple of " +
                    FormatKhz(option.tv_step) + " MHz with --tv-edge " +
                    FormatKhz(options.tv_edge));
        return parsed;
      }
    }
  }
  const std::size_t counted =
      std::count_if(options.bands.begin(), options.bands.end(),
                    [](const BandOption& b) { return b.count.has_value(); });
  const std::size_t fixed = options.fixed.size();
  if (counted > 0) {
    int sum = static_cast<int>(std::min<std::size_t>(fixed, 1000));
    for (const BandOption& b : options.bands) sum += b.count.value_or(0);
    if (counted != options.bands.size()) {
      reader.Fail(
          "when one --band or --tv has a count (=N), every one needs one");
    } else if (options.max) {
      reader.Fail(
          "--max does not go with band counts; the counts say how "
          "many carriers");
    } else if (sum > plan::kMaxCarriers) {
      reader.Fail("the band counts and fixed carriers make " +
                  std::to_string(sum) + " carriers, more than 64");
    } else if (have_count && options.count != sum) {
      reader.Fail("--count " + std::to_string(options.count) +
                  " differs from the band counts plus fixed carriers (" +
                  std::to_string(sum) + ")");
    } else {
      options.count = sum;
    }
    return parsed;
  }
  if (have_count == options.max) {
    reader.Fail(options.max ? "give either --count N or --max, not both"
                            : "give --count N or --max (see --help)");
  } else if (fixed > plan::kMaxCarriers) {
    reader.Fail("at most 64 fixed carriers");
  } else if (have_count && static_cast<std::size_t>(options.count) < fixed) {
    reader.Fail("--count " + std::to_string(options.count) + " is below the " +
                std::to_string(fixed) + " fixed carriers");
  }
  return parsed;
}

std::string PlanUsageText() {
  return R"(Usage: zelmar-plan [--band BAND[=N]]... [--tv LIST[:STEP][=N]]...
                   [--tv-edge E] [--exclude F|LOW:HIGH]... [--fixed F]...
                   (--count N | --max) [--spacing S] [--guard G]
                   [--window KIND=W]... [--time-limit SECONDS] [--json]
Finds the best plan of wireless microphone carriers (MHz, at most three
decimals): every two carriers more than the spacing apart, and every
intermodulation product of a checked family more than that family's window
away from every carrier not used to make it. The best plan has the largest
2tx3 margin (the smallest distance of such a product from a carrier), then
the largest 3tx3 and 2tx5 margins where checked, then the lowest
frequencies. Plans of up to 12 carriers also pass the channel check.

  --band LOW:HIGH[:STEP]  candidate channels LOW, LOW + STEP, ... up to HIGH
                          (STEP 0.125 unless given)
  --band b                the B band, 806.125:809.750:0.125 (806.125 is ch 1);
                          the default when neither --band nor --tv is given
  --tv LIST[:STEP]        Japanese UHF TV channels, e.g. 21,22,35-37 (13 to
                          52): channel N spans 470 + 6 (N - 13) MHz to 6 MHz
                          above; its carriers are the multiples of STEP
                          (default 0.025) from its low end + E up to but not
                          including its high end - E
  --tv-edge E             E for --tv in MHz (default 0)
  =N                      after --band or --tv: exactly N new carriers from
                          it; then every --band and --tv needs one, they
                          share no channel, and --count may be left out
  --exclude F|LOW:HIGH    remove a channel or a range (ends included)
  --fixed F               a carrier already in use, part of every plan
  --count N               the best plan of N carriers (1 to 64, fixed ones
                          included)
  --max                   the best plan of as many carriers as fit (at most 64)
  --spacing S             carriers more than S apart, S at least 0.125
                          (default 0.125)
  --window KIND=W         check the family KIND with window W (MHz, 0 or
                          more): 2tx3 (2a - b, always checked, W 0 unless
                          given), 3tx3 (a + b - c) or 2tx5 (3a - 2b)
  --guard G               the same as --window 2tx3=G
  --time-limit SECONDS    stop the search after this long (default 10); the
                          best plan so far is then printed, not proven best
  --json                  print one JSON object
  --help                  show this help and exit
  --version               show the version and exit

The frequencies go to standard output one per line, so that the plan pipes
into zelmar-check; the figures go to standard error. Ctrl-C prints the best
plan found so far and exits with status 130.

Exit status: 0 plan printed, 1 no valid plan of that size, 2 usage error or
I/O error, 3 internal error, 130 interrupted.
)";
}

std::string PlanVersionText() { return cli::VersionLine(kProgramName); }

std::vector<ResolvedBand> ResolveBands(const PlanOptions& options) {
  std::vector<ResolvedBand> resolved;
  if (options.bands.empty()) resolved.push_back({plan::kBBand, 0});
  for (std::size_t o = 0; o < options.bands.size(); ++o) {
    const BandOption& option = options.bands[o];
    if (option.kind != BandOption::Kind::kTv) {
      resolved.push_back({option.band, o});
      continue;
    }
    for (int channel : option.channels) {
      if (auto band =
              plan::TvChannelBand(channel, option.tv_step, options.tv_edge)) {
        resolved.push_back({*band, o});
      }
    }
  }
  return resolved;
}

PlanReport RunPlan(const PlanOptions& options, const plan::StopCheck& stop,
                   const std::function<bool()>& interrupted) {
  const std::vector<ResolvedBand> resolved = ResolveBands(options);
  std::vector<plan::Band> bands;
  for (const ResolvedBand& r : resolved) bands.push_back(r.band);
  const bool counted = !options.bands.empty() && options.bands[0].count;
  plan::PlanRequest request;
  plan::Candidates candidates =
      plan::BuildCandidates(bands, options.excludes, plan::kMaxCandidates);
  if (candidates.too_many) {
    return Usage(
        "more than 1000000 candidate channels; use fewer or narrower bands or "
        "a larger step");
  }
  std::string warnings;
  for (Khz f : options.fixed) {
    for (const plan::Range& r : options.excludes) {
      if (f >= r.low && f <= r.high) {
        warnings +=
            Message("warning: the fixed carrier " + FormatKhz(f) +
                    " MHz lies inside --exclude " + FormatKhz(r.low) + ":" +
                    FormatKhz(r.high) + "; it stays in every plan") +
            "\n";
      }
    }
  }
  if (candidates.channels.empty() && !options.excludes.empty() &&
      !plan::BuildCandidates(bands, {}, 1).channels.empty()) {
    warnings +=
        Message("warning: the exclusions leave no channel in the bands") + "\n";
  }
  if (counted) {
    // Each counted option's channels; no channel may be in two.
    request.groups.assign(candidates.channels.size(), 0);
    std::vector<std::size_t> owner(candidates.channels.size(),
                                   options.bands.size());
    for (std::size_t o = 0; o < options.bands.size(); ++o) {
      std::vector<plan::Band> own;
      for (const ResolvedBand& r : resolved) {
        if (r.option == o) own.push_back(r.band);
      }
      for (Khz f : plan::BuildCandidates(own, options.excludes).channels) {
        const std::size_t i = std::lower_bound(candidates.channels.begin(),
                                               candidates.channels.end(), f) -
                              candidates.channels.begin();
        if (owner[i] != options.bands.size()) {
          const auto name = [&](std::size_t k) {
            const BandOption& b = options.bands[k];
            return std::string(b.kind == BandOption::Kind::kTv ? "--tv "
                                                               : "--band ") +
                   Quote(b.text);
          };
          return Usage(name(owner[i]) + " and " + name(o) +
                       " share the channel " + FormatKhz(f) +
                       " MHz; bands with counts must not overlap");
        }
        owner[i] = o;
        request.groups[i] = static_cast<std::uint8_t>(o);
      }
      request.group_counts.push_back(*options.bands[o].count);
    }
  }
  request.candidates = std::move(candidates.channels);
  request.fixed = options.fixed;
  request.rules = options.rules;
  request.count = options.max ? 0 : options.count;

  const plan::PlanOutcome outcome = plan::FindBestPlan(request, stop);
  const bool by_interrupt = interrupted && interrupted();
  PlanReport report;
  if (outcome.status == plan::PlanOutcome::Status::kRefused) {
    return Usage(DescribeRequestError(outcome.error));
  }
  if (outcome.status == plan::PlanOutcome::Status::kFixedBroken) {
    report = FixedBroken(options, counted);
    report.err = warnings + report.err;
    return report;
  }
  report.err = warnings;

  if (outcome.status == plan::PlanOutcome::Status::kNone) {
    if (by_interrupt) {
      report.status = kExitInterrupted;
      report.err += Message("interrupted before any plan was found") + "\n";
      return report;
    }
    report.status = kExitNoPlan;
    if (options.json) {
      OutJson j;
      j["plan"] = OutJson::array();
      j["count"] = 0;
      j["largest"] = outcome.largest ? OutJson(*outcome.largest) : OutJson();
      j["proven"] = outcome.proven;
      report.out = j.dump() + "\n";
    } else {
      report.err += "No valid plan";
      if (!options.max) {
        report.err += " of " + std::to_string(options.count) + " carriers";
      }
      if (outcome.largest) {
        report.err += ". The most carriers any valid plan here holds: " +
                      std::to_string(*outcome.largest) + ".\n";
      } else if (outcome.proven) {
        report.err += " with these band counts.\n";
      } else {
        report.err += " found before the time limit.\n";
      }
    }
    return report;
  }

  // Every plan goes through the check (or, above its twelve fields, the
  // planner's own rules) before it is shown.
  const std::vector<Khz>& plan = outcome.plan;
  const bool checked = plan.size() <= kSlotCount;
  std::vector<std::string> texts;
  for (Khz f : plan) texts.push_back(FormatKhz(f));
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (texts[i] != FormatMHz(static_cast<double>(plan[i]) / 1000.0)) {
      return Internal("the frequency text " + texts[i] +
                      " differs from the check's own");
    }
  }
  std::string verdict;
  if (checked) {
    verdict = RunChannelCheck(TextsOf(plan)).resultText;
    if (verdict != kLowRiskText) {
      std::string plan_text;
      for (const std::string& t : texts) plan_text += " " + t;
      return Internal("the check does not call the plan" + plan_text +
                      " low-risk");
    }
  } else if (!plan::FindViolations(plan, options.rules, 1).empty()) {
    return Internal("the plan breaks the planner's own rules");
  }
  const plan::PlanFigures figures = plan::MeasurePlan(plan);
  report.status = by_interrupt ? kExitInterrupted : kExitOk;

  if (options.json) {
    OutJson j;
    j["plan"] = texts;
    j["count"] = plan.size();
    j["margin"] =
        outcome.margin ? OutJson(FormatKhz(*outcome.margin)) : OutJson();
    OutJson margins = OutJson::object(), closest = OutJson::object();
    for (Family f : plan::kFamilies) {
      if (!plan::WindowOf(options.rules, f)) continue;
      const std::string name(plan::FamilyName(f));
      const int k = static_cast<int>(f);
      margins[name] = figures.margins[k]
                          ? OutJson(FormatKhz(*figures.margins[k]))
                          : OutJson();
      closest[name] = OutJson();
      if (const auto& q = figures.closest[k]) {
        OutJson c;
        c["carriers"] = OutJson::array();
        for (int i = 0; i < q->carrier_count; ++i) {
          c["carriers"].push_back(FormatKhz(q->carriers[i]));
        }
        c["product"] = FormatKhz(q->product);
        c["victim"] = FormatKhz(q->victim);
        closest[name] = c;
      }
    }
    j["margins"] = margins;
    j["closest"] = closest;
    j["bands"] = OutJson::array();
    for (Khz f : plan) j["bands"].push_back(BandName(options, resolved, f));
    j["proven"] = outcome.proven;
    j["result"] = checked ? OutJson(verdict) : OutJson();
    report.out = j.dump() + "\n";
    return report;
  }
  for (const std::string& t : texts) report.out += t + "\n";
  std::string& e = report.err;
  e += "count: " + std::to_string(plan.size()) + "\n";
  for (std::size_t i = 0; i < plan.size(); ++i) {
    e += "  " + texts[i] + "  " + BandName(options, resolved, plan[i]) + "\n";
  }
  e += "margin: " +
       (outcome.margin ? FormatKhz(*outcome.margin) + " MHz"
                       : std::string("none (fewer than three carriers)")) +
       "\n";
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
  if (checked) {
    e += cli::LfLineEnds(verdict);
  } else {
    e += "verified by the planner's own rules (zelmar-check has 12 fields)\n";
  }
  return report;
}

std::string FormatProgress(const plan::SearchProgress& progress,
                           double seconds) {
  std::string line = Message("searching plans of " +
                             std::to_string(progress.carriers) + " carriers, ");
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
