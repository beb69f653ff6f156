#include "plan_values.h"

#include <algorithm>

namespace zelmar::plan_cli {

using plan::FormatKhz;
using plan::Khz;

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

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

std::optional<double> ReadLevel(ArgumentReader& reader,
                                std::string_view value) {
  if (auto dbm = plan::ReadDbm(value)) return dbm;
  reader.Fail("--scan-threshold " + QuoteArgument(value) +
              ": expected a level in dBm such as -85");
  return std::nullopt;
}

}  // namespace zelmar::plan_cli
