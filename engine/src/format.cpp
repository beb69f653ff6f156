// Three-decimal number texts.
//
// The rounding is done on decimal digits in two stages: the exact stored value
// is rounded half up to 17 significant digits, and that decimal half up at the
// third decimal. So 0.0625 gives 0.063 and 0.1245 (stored just below) gives
// 0.125, which a single correctly rounded conversion would not.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "zelmar/engine.h"

namespace zelmar {
namespace {

constexpr std::size_t kSignificantDigits = 17;
constexpr std::size_t kDecimals = 3;

// Number of decimals in the exact decimal expansion of a finite double:
// m * 2^e with m odd has exactly -e of them when e < 0.
int ExactFractionDigits(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  if (mantissa == 0) return 0;
  exponent += std::countr_zero(mantissa);
  return exponent < 0 ? -exponent : 0;
}

// The exact decimal digits of |value| without the point; `point` receives
// the number of integer digits.
std::string ExactDigits(double value, std::size_t& point) {
  // At most 309 integer digits and 1074 decimals.
  char buffer[1400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                    std::chars_format::fixed, ExactFractionDigits(value));
  std::string digits(buffer, result.ptr);
  point = digits.find('.');
  if (point == std::string::npos) {
    point = digits.size();
  } else {
    digits.erase(point, 1);
  }
  return digits;
}

// Keeps the first `keep` digits, rounding half up in magnitude on the digit
// after them. A carry out of the first digit lengthens the integer part.
void RoundHalfUp(std::string& digits, std::size_t& point, std::size_t keep) {
  if (digits.size() <= keep) {
    digits.append(keep - digits.size(), '0');
    return;
  }
  const bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (!up) return;
  for (std::size_t i = keep; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  ++point;
}

}  // namespace

std::string FormatMHz(double value) {
  if (std::isnan(value)) return "nan";
  // Read back by ParseFrequencyText as the same infinity, so a second run on
  // the rewritten fields keeps the slot.
  if (std::isinf(value)) return value < 0 ? "-1e999" : "1e999";

  std::size_t point = 0;
  std::string digits = ExactDigits(value, point);
  const std::size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos) {
    RoundHalfUp(digits, point, first + kSignificantDigits);
  }
  RoundHalfUp(digits, point, point + kDecimals);

  std::string text = value < 0 ? "-" : "";
  const std::size_t integerStart =
      std::min(digits.find_first_not_of('0'), point - 1);
  text.append(digits, integerStart, point - integerStart);
  text += '.';
  text.append(digits, point, kDecimals);
  return text;
}

}  // namespace zelmar
