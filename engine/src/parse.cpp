// Number reading for field texts.
//
// The lexeme is validated and normalised here, byte by byte, because the
// standard conversions accept forms that must read differently (inf, nan,
// hexadecimal) and reject the exponent letters d and D. Only the final,
// canonical digit string goes to std::from_chars, which rounds correctly and
// knows no locale.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "zelmar/engine.h"

namespace zelmar {
namespace {

constexpr bool IsWhiteSpace(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

constexpr bool IsExponentLetter(unsigned char c) {
  return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

// Significant digits kept for the conversion. Any double, and any midpoint
// between two neighbouring doubles, has at most 768 significant digits, so
// the first 800 digits plus one sticky digit standing for a non-zero rest
// round exactly as the whole digit string does.
constexpr std::size_t kMaxDigits = 800;

// Exponents beyond this are far past both ends of the double range even after
// the longest mantissa a text can hold; saturating keeps the sums exact.
constexpr std::int64_t kExponentCap = std::int64_t{1} << 52;

// value = 0.digits * 10^exponent, digits without leading zeros.
// The digits live in a stack buffer with room behind them for the
// exponent of the canonical text that ToDouble converts.
struct Decimal {
  char digits[kMaxDigits + 1 + 24];
  std::size_t size = 0;
  std::int64_t exponent = 0;
};

// Reads the exponent digits at text[pos...] into a saturated magnitude.
std::int64_t ReadExponentDigits(std::string_view text, std::size_t pos) {
  std::int64_t magnitude = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    if (magnitude < kExponentCap)
      magnitude = magnitude * 10 + (text[pos] - '0');
  }
  return magnitude < kExponentCap ? magnitude : kExponentCap;
}

// Reads an optional exponent at text[pos]; returns its value, or 0 when the
// letter is not followed by (a sign and) at least one digit.
std::int64_t ReadExponent(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || !IsExponentLetter(text[pos])) return 0;
  ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos >= text.size() || !IsDigit(text[pos])) return 0;
  const std::int64_t magnitude = ReadExponentDigits(text, pos);
  return negative ? -magnitude : magnitude;
}

// Converts a normalised decimal (at most kMaxDigits + 1 digits, no trailing
// zeros) to the nearest double; the magnitude only.
double ToDouble(Decimal& d) {
  if (d.size == 0) return 0.0;
  // 0.d * 10^e lies in [10^(e-1), 10^e): beyond these bounds the result is
  // certainly infinite or zero.
  if (d.exponent > 310) return std::numeric_limits<double>::infinity();
  if (d.exponent < -330) return 0.0;
  // The canonical text "<digits>e<exponent>", written behind the digits.
  char* const end = d.digits + sizeof d.digits;
  char* text_end = d.digits + d.size;
  *text_end++ = 'e';
  text_end = std::to_chars(text_end, end,
                           d.exponent - static_cast<std::int64_t>(d.size))
                 .ptr;
  double value = 0.0;
  if (std::from_chars(d.digits, text_end, value).ec ==
      std::errc::result_out_of_range) {
    return d.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

}  // namespace

double ParseFrequencyText(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;

  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }

  Decimal decimal;
  bool sawDigit = false;
  bool sawPoint = false;
  bool droppedNonZero = false;
  std::size_t trailingZeros = 0;  // zeros held back until a non-zero follows
  for (; pos < text.size(); ++pos) {
    const unsigned char c = text[pos];
    if (c == '.' && !sawPoint) {
      sawPoint = true;
      continue;
    }
    if (!IsDigit(c)) break;
    sawDigit = true;
    const bool leading = decimal.size == 0 && c == '0';
    if (leading) {
      if (sawPoint) --decimal.exponent;
      continue;
    }
    if (!sawPoint) ++decimal.exponent;
    if (c == '0') {
      ++trailingZeros;
      continue;
    }
    if (droppedNonZero) continue;
    if (decimal.size + trailingZeros < kMaxDigits) {
      std::fill_n(decimal.digits + decimal.size, trailingZeros, '0');
      decimal.size += trailingZeros;
      decimal.digits[decimal.size++] = static_cast<char>(c);
    } else {
      // Keep the held zeros up to the limit, so that the sticky digit added
      // below stands after them and not in their place.
      std::fill(decimal.digits + decimal.size, decimal.digits + kMaxDigits,
                '0');
      decimal.size = kMaxDigits;
      droppedNonZero = true;
    }
    trailingZeros = 0;
  }
  // Rule: no digit means no number, and the sign of a non-number is lost.
  if (!sawDigit) return 0.0;

  if (droppedNonZero) decimal.digits[decimal.size++] = '1';
  const std::int64_t exponent = ReadExponent(text, pos);
  if (decimal.size != 0) decimal.exponent += exponent;

  const double magnitude = ToDouble(decimal);
  return negative ? -magnitude : magnitude;
}

}  // namespace zelmar
