// The values of zelmar-plan's options, each read with the words of its
// refusal: numbers of MHz, counts, bands, TV channels, ranges, seconds and
// levels. One reader keeps the first refusal of a command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plan_options.h"

namespace zelmar::plan_cli {

// Splits at `separator`.
std::vector<std::string_view> Split(std::string_view text, char separator);

// A whole number from `low` to `high`, or nullopt.
std::optional<int> WholeNumber(std::string_view text, int low, int high);

// Splits "TEXT=N" into TEXT and N (nullopt without "=").
std::pair<std::string_view, std::optional<std::string_view>> CountSuffix(
    std::string_view value);

class ArgumentReader {
 public:
  explicit ArgumentReader(std::string& error) : error_(error) {}

  // One number of MHz within the value of `option`.
  std::optional<plan::Khz> Number(std::string_view option,
                                  std::string_view value, std::string_view text,
                                  bool allow_zero = false) {
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

std::optional<BandOption> ReadBand(ArgumentReader& reader,
                                   std::string_view value);
std::optional<BandOption> ReadTv(ArgumentReader& reader,
                                 std::string_view value);
std::optional<plan::Range> ReadRange(ArgumentReader& reader,
                                     std::string_view value);
// Seconds with up to three decimals, as whole milliseconds.
std::optional<plan::Khz> ReadSeconds(ArgumentReader& reader,
                                     std::string_view value);
// A level in dBm such as -85 or -85.5, for --scan-threshold.
std::optional<double> ReadLevel(ArgumentReader& reader, std::string_view value);

}  // namespace zelmar::plan_cli
