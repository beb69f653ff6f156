// Number reading for field texts.
//
// The lexeme is validated and normalised here, byte by byte, because the
// standard conversions accept forms that must read differently (inf, nan,
// hexadecimal) and reject the exponent letters d and D. Only the final,
// canonical digit string goes to fast_float, which rounds correctly, knows no
// locale and is the same on every build, WebAssembly's included (whose C++
// library has no std::from_chars for doubles).
#include <fast_float/fast_float.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

#include "text.h"
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
// The digits live in a stack buffer inside the canonical text that ToDouble
// converts, "0.<digits>e<exponent>": behind "0." and with room behind them
// for "e" and the exponent, which the range checks of ToDouble bound.
// fast_float reads the digits after a point eight at a time, and those
// before it one by one.
constexpr std::string_view kCanonicalPrefix = "0.";
constexpr std::size_t kExponentRoom =
    1 + std::numeric_limits<std::int64_t>::digits10 + 2;

struct Decimal {
  char text[kCanonicalPrefix.size() + kMaxDigits + 1 + kExponentRoom];
  std::size_t size = 0;
  std::int64_t exponent = 0;

  char* digits() { return text + kCanonicalPrefix.size(); }
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
  // The canonical text, written around the digits.
  std::copy(kCanonicalPrefix.begin(), kCanonicalPrefix.end(), d.text);
  char* const end = d.text + sizeof d.text;
  char* text_end = d.digits() + d.size;
  *text_end++ = 'e';
  const auto written = std::to_chars(text_end, end, d.exponent);
  if (written.ec != std::errc{}) std::abort();  // kExponentRoom is too small
  double value = 0.0;
  const auto read = fast_float::from_chars(d.text, written.ptr, value);
  if (read.ec == std::errc::result_out_of_range) {
    return d.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  // The text is well-formed by construction and must be read whole.
  if (read.ec != std::errc{} || read.ptr != written.ptr) std::abort();
  return value;
}

// The powers of ten that are exact doubles.
constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::size_t kMaxFastDecimals = std::size(kExactPowersOfTen) - 1;
constexpr std::uint64_t kMaxExactInteger = std::uint64_t{1} << 53;
// Nineteen digits always fit in 64 bits.
constexpr std::size_t kMaxFastDigits = 19;
static_assert(std::numeric_limits<std::uint64_t>::digits10 >= kMaxFastDigits);

// Plain decimals such as 806.125: without an exponent, with a mantissa of
// at most 2^53 and at most 22 decimals, the value is the quotient of two
// exactly held doubles, which one correctly rounded division gives.
bool FitsPlainDivision(std::size_t digits, std::size_t decimals,
                       std::uint64_t mantissa) {
  // More digits may have wrapped the mantissa around; no digit means no
  // number, which the exact path reads by its own rule.
  return digits != 0 && digits <= kMaxFastDigits &&
         decimals <= kMaxFastDecimals && mantissa <= kMaxExactInteger;
}

double DividePlain(std::uint64_t mantissa, std::size_t decimals) {
  return static_cast<double>(mantissa) / kExactPowersOfTen[decimals];
}

// A plain decimal has at most kMaxFastDigits digits and a point; one byte
// more shows where it ends.
constexpr std::size_t kMaxPlainScan = kMaxFastDigits + 2;

// A plain decimal at text[pos...], ended by any byte that is not a digit,
// the first point or an exponent letter. Returns false to leave every other
// text to the exact path, without reading a long digit string to its end.
bool ReadPlainDecimal(std::string_view text, std::size_t pos, double& value) {
  const char* p = text.data() + pos;
  const char* const end = p + std::min(text.size() - pos, kMaxPlainScan);
  std::uint64_t mantissa = 0;
  const char* const integer = p;
  while (p != end && IsDigit(*p)) mantissa = mantissa * 10 + (*p++ - '0');
  std::size_t digits = static_cast<std::size_t>(p - integer);
  std::size_t decimals = 0;
  if (p != end && *p == '.') {
    const char* const fraction = ++p;
    while (p != end && IsDigit(*p)) mantissa = mantissa * 10 + (*p++ - '0');
    decimals = static_cast<std::size_t>(p - fraction);
    digits += decimals;
  }
  // An exponent letter may start an exponent.
  if (!FitsPlainDivision(digits, decimals, mantissa) ||
      (p != end && IsExponentLetter(*p))) {
    return false;
  }
  value = DividePlain(mantissa, decimals);
  return true;
}

// A text in the form WriteMHz writes: an optional "-", integer digits
// without a leading zero (or a lone "0"), ".", three decimals and nothing
// else. With at most kMaxShownIntegerDigits integer digits such a text is
// exactly what WriteMHz writes for the value read from it: that value and its
// 17-digit rounding lie within 3e-9 of the text's decimal, far inside the
// 0.0005 that would change the third decimal.
constexpr std::size_t kMaxShownIntegerDigits = 7;

// The whole text as "[-]digits[.digits]", the texts the fields hold nearly
// always, read in one pass; false for any other text. Reads what the general
// path reads for such a text.
bool ReadWholePlainDecimal(std::string_view text, text::FieldValue& read) {
  // A sign, a point and more than kMaxFastDigits digits never fit.
  if (text.size() > 1 + kMaxFastDigits + 1) return false;
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const char* const first = p;
  const char* point = end;
  std::uint64_t mantissa = 0;
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit < 10) {
      mantissa = mantissa * 10 + digit;
    } else if (*p == '.' && point == end) {
      point = p;
    } else {
      return false;
    }
  }
  const bool has_point = point != end;
  const auto decimals =
      has_point ? static_cast<std::size_t>(end - point - 1) : 0;
  const auto digits =
      static_cast<std::size_t>(end - first) - (has_point ? 1 : 0);
  if (!FitsPlainDivision(digits, decimals, mantissa)) return false;
  const double magnitude = DividePlain(mantissa, decimals);
  read.value = negative ? -magnitude : magnitude;
  const std::size_t integer_digits = digits - decimals;
  read.shown_form = decimals == text::kShownDecimals && integer_digits != 0 &&
                    integer_digits <= kMaxShownIntegerDigits &&
                    (*first != '0' || integer_digits == 1);
  return true;
}

// The digits of a number at text[pos...]: the integer digits, and after a
// point the fraction digits. `end` is where the number's digits and point
// end.
struct DigitRuns {
  std::string_view integer;
  std::string_view fraction;
  std::size_t end = 0;
};

std::size_t DigitRunEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

DigitRuns FindDigitRuns(std::string_view text, std::size_t pos) {
  DigitRuns runs;
  runs.end = DigitRunEnd(text, pos);
  runs.integer = text.substr(pos, runs.end - pos);
  if (runs.end < text.size() && text[runs.end] == '.') {
    const std::size_t fraction = runs.end + 1;
    runs.end = DigitRunEnd(text, fraction);
    runs.fraction = text.substr(fraction, runs.end - fraction);
  }
  return runs;
}

// The significant digits of the runs, from the first non-zero digit to the
// last, into `decimal`: the first kMaxDigits of them, and a sticky '1' when a
// non-zero digit lies beyond. Leaves `decimal` empty for a zero.
void NormaliseDigits(DigitRuns runs, Decimal& decimal) {
  std::string_view& integer = runs.integer;
  std::string_view& fraction = runs.fraction;
  if (const std::size_t first = integer.find_first_not_of('0');
      first != std::string_view::npos) {
    integer.remove_prefix(first);
    decimal.exponent = static_cast<std::int64_t>(integer.size());
  } else {
    const std::size_t first_decimal = fraction.find_first_not_of('0');
    if (first_decimal == std::string_view::npos) return;
    integer = {};
    fraction.remove_prefix(first_decimal);
    decimal.exponent = -static_cast<std::int64_t>(first_decimal);
  }
  // npos + 1 is 0: a run of zeros only is dropped whole.
  fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
  if (fraction.empty()) {
    integer = integer.substr(0, integer.find_last_not_of('0') + 1);
  }
  const std::size_t total = integer.size() + fraction.size();
  const std::size_t kept = std::min(total, kMaxDigits);
  const std::size_t from_integer = std::min(integer.size(), kept);
  char* const digits = decimal.digits();
  std::copy_n(integer.data(), from_integer, digits);
  std::copy_n(fraction.data(), kept - from_integer, digits + from_integer);
  decimal.size = kept;
  if (total > kMaxDigits) digits[decimal.size++] = '1';
}

// Every other number: the digits normalised, then converted exactly.
// Nothing when no digit follows. Kept out of line so that the plain path
// does not set up its large frame.
[[gnu::noinline]] std::optional<double> ReadDecimal(std::string_view text,
                                                    std::size_t pos) {
  const DigitRuns runs = FindDigitRuns(text, pos);
  if (runs.integer.empty() && runs.fraction.empty()) return std::nullopt;
  Decimal decimal;
  NormaliseDigits(runs, decimal);
  const std::int64_t exponent = ReadExponent(text, runs.end);
  if (decimal.size != 0) decimal.exponent += exponent;
  return ToDouble(decimal);
}

// Any text, by the rules in full.
[[gnu::noinline]] double ReadAnyText(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;

  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return 0.0;
  double magnitude = 0.0;
  if (!ReadPlainDecimal(text, pos, magnitude)) {
    const std::optional<double> exact = ReadDecimal(text, pos);
    // Rule: no digit means no number, and the sign of a non-number is lost.
    if (!exact) return 0.0;
    magnitude = *exact;
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace

namespace text {

FieldValue ReadFieldText(std::string_view text) {
  FieldValue read;
  if (!ReadWholePlainDecimal(text, read)) read.value = ReadAnyText(text);
  return read;
}

}  // namespace text

double ParseFrequencyText(std::string_view text) {
  return text::ReadFieldText(text).value;
}

}  // namespace zelmar
