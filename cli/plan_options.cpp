#include "plan_options.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "cli.h"

namespace zelmar::plan_cli {

std::string PlanMessage(std::string_view text) {
  return cli::Message(text, kProgramName);
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
    std::string what = std::string(option) + " " + QuoteArgument(value) + ": ";
    if (text != value) what += QuoteArgument(text) + " ";
    Fail(what + std::string(plan::DescribeNumberError(reading.error)));
    return std::nullopt;
  }

  // "=N" at the end of an option's value: a count of carriers.
  std::optional<int> Count(std::string_view option, std::string_view value,
                           std::string_view text) {
    const auto n = WholeNumber(text, 1, plan::kMaxCarriers);
    if (!n) {
      Fail(std::string(option) + " " + QuoteArgument(value) + ": the count " +
           QuoteArgument(text) + " is not a whole number from 1 to 64");
    }
    return n;
  }

  void Fail(std::string_view text) {
    if (error_.empty()) error_ = PlanMessage(text);
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
    reader.Fail("--band " + QuoteArgument(value) +
                ": expected b, LOW:HIGH or " +
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
    reader.Fail("--band " + QuoteArgument(value) + ": LOW is above HIGH");
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
    reader.Fail("--tv " + QuoteArgument(value) +
                ": expected LIST or LIST:STEP");
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
      reader.Fail("--tv " + QuoteArgument(value) + ": " + QuoteArgument(item) +
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
    reader.Fail("--exclude " + QuoteArgument(value) +
                ": expected F or LOW:HIGH in " + "MHz");
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
      reader.Fail("--exclude " + QuoteArgument(value) + ": LOW is above HIGH");
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
  reader.Fail("--time-limit " + QuoteArgument(value) + ": " + why);
  return std::nullopt;
}

// The options given at most once, as far as read.
struct Seen {
  bool count = false, spacing = false, guard = false, time = false,
       edge = false, threads = false;
  std::array<bool, plan::kFamilyCount> window{};
};

bool TakesValue(std::string_view name) {
  return name == "--band" || name == "--tv" || name == "--tv-edge" ||
         name == "--exclude" || name == "--fixed" || name == "--count" ||
         name == "--spacing" || name == "--guard" || name == "--window" ||
         name == "--time-limit" || name == "--threads";
}

void Once(ArgumentReader& reader, std::string_view name, bool& seen) {
  if (seen) reader.Fail(std::string(name) + " given twice");
  seen = true;
}

// --window KIND=W, or --guard G as the same as --window 2tx3=G.
void ReadWindow(ArgumentReader& reader, std::string_view value, Seen& seen,
                plan::Rules& rules) {
  const auto [kind, width] = CountSuffix(value);
  int family = -1;
  for (Family f : plan::kFamilies) {
    if (width && kind == plan::FamilyName(f)) family = static_cast<int>(f);
  }
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
    if (family == 0) rules.guard = *w;
    if (family == 1) rules.window_3tx3 = *w;
    if (family == 2) rules.window_2tx5 = *w;
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

// A whole number from 1 to `most` given once: --count, --threads.
void ReadWhole(ArgumentReader& reader, std::string_view name,
               std::string_view value, int most, bool& seen, int& out) {
  Once(reader, name, seen);
  if (auto n = WholeNumber(value, 1, most)) {
    out = *n;
  } else {
    reader.Fail(std::string(name) + " " + QuoteArgument(value) +
                ": expected a whole number from 1 to " + std::to_string(most));
  }
}

void ReadSpacing(ArgumentReader& reader, std::string_view value, Seen& seen,
                 plan::Rules& rules) {
  Once(reader, "--spacing", seen.spacing);
  if (auto s = reader.Number("--spacing", value, value)) {
    rules.spacing = *s;
    if (*s < plan::kDefaultSpacing) {
      reader.Fail("--spacing " + QuoteArgument(value) +
                  ": below the check's own 0.125 MHz");
    }
  }
}

// An option with its value.
void ReadValueOption(ArgumentReader& reader, std::string_view name,
                     std::string_view value, Seen& seen, PlanOptions& options) {
  if (name == "--band") {
    if (auto band = ReadBand(reader, value)) options.bands.push_back(*band);
  } else if (name == "--tv") {
    if (auto tv = ReadTv(reader, value)) options.bands.push_back(*tv);
  } else if (name == "--tv-edge") {
    Once(reader, name, seen.edge);
    if (auto e = reader.Number(name, value, value, true)) options.tv_edge = *e;
  } else if (name == "--exclude") {
    if (auto range = ReadRange(reader, value)) {
      options.excludes.push_back(*range);
    }
  } else if (name == "--fixed") {
    if (auto f = reader.Number(name, value, value)) options.fixed.push_back(*f);
  } else if (name == "--count") {
    ReadWhole(reader, name, value, plan::kMaxCarriers, seen.count,
              options.count);
  } else if (name == "--spacing") {
    ReadSpacing(reader, value, seen, options.rules);
  } else if (name == "--guard") {
    ReadGuard(reader, value, seen, options.rules);
  } else if (name == "--window") {
    ReadWindow(reader, value, seen, options.rules);
  } else if (name == "--time-limit") {
    Once(reader, name, seen.time);
    if (auto ms = ReadSeconds(reader, value)) options.time_limit_ms = *ms;
  } else if (name == "--threads") {
    ReadWhole(reader, name, value, plan::kMaxThreads, seen.threads,
              options.threads);
  }
}

// An option without a value, or an argument that is none.
void ReadFlag(ArgumentReader& reader, std::string_view name,
              PlanOptions& options) {
  if (name == "--max") {
    options.max = true;
  } else if (name == "--json") {
    options.json = true;
  } else if (name == "--help") {
    options.help = true;
  } else if (name == "--version") {
    options.version = true;
  } else if (name.starts_with("-")) {
    reader.Fail("unknown option " + QuoteArgument(name) + " (see --help)");
  } else {
    reader.Fail("unexpected argument " + QuoteArgument(name) + " (see --help)");
  }
}

// TV channels need the edge, which may come after them.
void CheckTvChannels(ArgumentReader& reader, const PlanOptions& options) {
  for (const BandOption& option : options.bands) {
    for (int channel : option.channels) {
      if (!plan::TvChannelBand(channel, option.tv_step, options.tv_edge)) {
        reader.Fail("--tv " + QuoteArgument(option.text) + ": channel " +
                    std::to_string(channel) + " holds no multiple of " +
                    FormatKhz(option.tv_step) + " MHz with --tv-edge " +
                    FormatKhz(options.tv_edge));
        return;
      }
    }
  }
}

// With band counts, --count is their sum plus the fixed carriers.
void SettleBandCounts(ArgumentReader& reader, const Seen& seen,
                      PlanOptions& options) {
  const std::size_t counted =
      std::count_if(options.bands.begin(), options.bands.end(),
                    [](const BandOption& b) { return b.count.has_value(); });
  int sum = static_cast<int>(std::min<std::size_t>(options.fixed.size(), 1000));
  for (const BandOption& b : options.bands) sum += b.count.value_or(0);
  if (counted != options.bands.size()) {
    reader.Fail(
        "when one --band or --tv has a count (=N), every one needs one");
  } else if (options.max) {
    reader.Fail(
        "--max does not go with band counts; the counts say how many "
        "carriers");
  } else if (sum > plan::kMaxCarriers) {
    reader.Fail("the band counts and fixed carriers make " +
                std::to_string(sum) + " carriers, more than 64");
  } else if (seen.count && options.count != sum) {
    reader.Fail("--count " + std::to_string(options.count) +
                " differs from the band counts plus fixed carriers (" +
                std::to_string(sum) + ")");
  } else {
    options.count = sum;
  }
}

// Without band counts, exactly one of --count and --max.
void CheckCount(ArgumentReader& reader, const Seen& seen,
                const PlanOptions& options) {
  const std::size_t fixed = options.fixed.size();
  if (seen.count == options.max) {
    reader.Fail(options.max ? "give either --count N or --max, not both"
                            : "give --count N or --max (see --help)");
  } else if (fixed > plan::kMaxCarriers) {
    reader.Fail("at most 64 fixed carriers");
  } else if (seen.count && static_cast<std::size_t>(options.count) < fixed) {
    reader.Fail("--count " + std::to_string(options.count) + " is below the " +
                std::to_string(fixed) + " fixed carriers");
  }
}

}  // namespace

ParsedPlanArguments ParsePlanArguments(
    const std::vector<std::string_view>& args) {
  ParsedPlanArguments parsed;
  PlanOptions& options = parsed.options;
  ArgumentReader reader(parsed.error);
  Seen seen;
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
      ReadFlag(reader, name, options);
    }
  }
  if (!parsed.error.empty() || options.help || options.version) return parsed;
  CheckTvChannels(reader, options);
  if (!parsed.error.empty()) return parsed;
  const auto has_count = [](const BandOption& b) {
    return b.count.has_value();
  };
  if (std::any_of(options.bands.begin(), options.bands.end(), has_count)) {
    SettleBandCounts(reader, seen, options);
  } else {
    CheckCount(reader, seen, options);
  }
  return parsed;
}

std::string PlanVersionText() { return cli::VersionLine(kProgramName); }

}  // namespace zelmar::plan_cli
