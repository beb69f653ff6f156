// Three-decimal number texts.
//
// The rounding is done on decimal digits in two stages: the exact stored value
// is rounded half up to 17 significant digits, and that decimal half up at the
// third decimal. So 0.0625 gives 0.063 and 0.1245 (stored just below) gives
// 0.125, which a single correctly rounded conversion would not.
#include <algorithm>
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

// |value| = mantissa * 2^exponent with an odd mantissa (0 for zero).
struct BinaryValue {
  std::uint64_t mantissa;
  int exponent;
};

BinaryValue Decompose(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  if (mantissa == 0) return {0, 0};
  const int zeros = std::countr_zero(mantissa);
  return {mantissa >> zeros, exponent + zeros};
}

// |value| * 10^decimals as a 64-bit integer, where decimals = -exponent is
// the number of decimals of the exact expansion (m * 2^-d has exactly d of
// them); false when it does not fit. Covers raster frequencies cheaply.
bool ScaleToInteger(BinaryValue v, std::uint64_t& scaled) {
  if (v.exponent >= 0) {
    if (v.exponent >= std::countl_zero(v.mantissa)) return false;
    scaled = v.mantissa << v.exponent;
    return true;
  }
  if (v.exponent < -27) return false;  // 5^28 no longer fits in 64 bits
  std::uint64_t power_of_five = 1;
  for (int i = 0; i < -v.exponent; ++i) power_of_five *= 5;
  return !__builtin_mul_overflow(v.mantissa, power_of_five, &scaled);
}

// Decimal digits without the point, on the stack. digits[0] is a spare
// leading zero, so a carry out of the first real digit needs no shifting.
struct DecimalDigits {
  // At most 309 integer digits and 1074 decimals, the spare zero, and room
  // for the zeros that rounding may append.
  char digits[1400];
  std::size_t size = 0;
  std::size_t point = 0;  // digits before the decimal point
};

// The exact decimal expansion of |value|, with at least one digit before the
// point.
void ExactDigits(double value, DecimalDigits& d) {
  char* const begin = d.digits + 1;
  char* const end = d.digits + sizeof d.digits - kDecimals - 1;
  d.digits[0] = '0';
  const BinaryValue binary = Decompose(value);
  const auto fraction =
      static_cast<std::size_t>(binary.exponent < 0 ? -binary.exponent : 0);
  char* last = nullptr;
  if (std::uint64_t scaled = 0; ScaleToInteger(binary, scaled)) {
    last = std::to_chars(begin, end, scaled).ptr;
    const auto length = static_cast<std::size_t>(last - begin);
    if (length <= fraction) {  // e.g. 125 with 3 decimals: 0.125
      const std::size_t shift = fraction + 1 - length;
      std::copy_backward(begin, last, last + shift);
      std::fill(begin, begin + shift, '0');
      last += shift;
    }
  } else {
    last = std::to_chars(begin, end, std::fabs(value), std::chars_format::fixed,
                         static_cast<int>(fraction))
               .ptr;
    if (char* dot = std::find(begin, last, '.'); dot != last) {
      last = std::copy(dot + 1, last, dot);
    }
  }
  d.size = static_cast<std::size_t>(last - d.digits);
  d.point = d.size - fraction;
}

// Keeps the first `keep` digits, rounding half up in magnitude on the digit
// after them; fills with zeros when there are fewer. The spare leading zero
// takes a carry out of the first digit.
void RoundHalfUp(DecimalDigits& d, std::size_t keep) {
  if (d.size <= keep) {
    std::fill(d.digits + d.size, d.digits + keep, '0');
    d.size = keep;
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.size = keep;
  if (!up) return;
  for (std::size_t i = keep; i-- > 0;) {
    if (d.digits[i] != '9') {
      ++d.digits[i];
      return;
    }
    d.digits[i] = '0';
  }
}

}  // namespace

std::string FormatMHz(double value) {
  if (std::isnan(value)) return "nan";
  // Read back by ParseFrequencyText as the same infinity, so a second run on
  // the rewritten fields keeps the slot.
  if (std::isinf(value)) return value < 0 ? "-1e999" : "1e999";

  DecimalDigits d;
  ExactDigits(value, d);
  const char* const first = std::find_if(d.digits, d.digits + d.size,
                                         [](char c) { return c != '0'; });
  if (first != d.digits + d.size) {
    RoundHalfUp(
        d, static_cast<std::size_t>(first - d.digits) + kSignificantDigits);
  }
  RoundHalfUp(d, d.point + kDecimals);

  // Integer digits without leading zeros, but at least one.
  std::size_t start = 0;
  while (start + 1 < d.point && d.digits[start] == '0') ++start;
  std::string text;
  text.reserve(d.point - start + kDecimals + 2);
  if (value < 0) text += '-';
  text.append(d.digits + start, d.point - start);
  text += '.';
  text.append(d.digits + d.point, kDecimals);
  return text;
}

}  // namespace zelmar
