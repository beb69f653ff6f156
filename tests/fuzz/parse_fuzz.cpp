// Fuzzes ParseFrequencyText with arbitrary bytes and checks the reading rules
// that can be checked without a second decimal converter of our own:
//  - the result is never NaN;
//  - a text with no digit in its number reads as +0.0, whatever sign it has;
//  - the sign of a number with digits is the sign that was typed;
//  - the number alone (the lexeme) reads the same as the whole text;
//  - bytes appended after the byte that ends the number change nothing;
//  - the number reads as std::from_chars reads the same digits (a correctly
//    rounding converter for the forms it shares with our rules).
//
// Input layout: the text, optionally followed by a NUL byte and tail bytes
// that are appended behind the end of the number.
#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "zelmar/engine.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "parse_fuzz: %s (text of %zu bytes)\n", what,
               text.size());
  std::abort();
}

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsExponentLetter(char c) {
  return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

// Where the pieces of the number stand in a text, found by the reading rules
// alone (white space, sign, mantissa, exponent).
struct Lexeme {
  bool negative = false;
  bool hasDigits = false;
  std::size_t mantissaBegin = 0, mantissaEnd = 0;
  bool hasExponent = false;
  std::size_t exponentBegin = 0, exponentEnd = 0;  // sign and digits
  std::size_t end = 0;  // one past the last byte of the number
  // The first byte that the reader looked at and could not use. Nothing at
  // or after it can matter; npos when the text ran out first.
  std::size_t stop = std::string_view::npos;
};

Lexeme Scan(std::string_view t) {
  Lexeme lx;
  const std::size_t n = t.size();
  std::size_t i = 0;
  while (i < n && IsWhite(t[i])) ++i;
  if (i < n && (t[i] == '+' || t[i] == '-')) {
    lx.negative = t[i] == '-';
    ++i;
  }
  lx.mantissaBegin = i;
  bool point = false;
  while (i < n) {
    if (IsDigit(t[i])) {
      lx.hasDigits = true;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    ++i;
  }
  lx.mantissaEnd = lx.end = i;
  if (i < n) lx.stop = i;
  if (!lx.hasDigits || i >= n || !IsExponentLetter(t[i])) return lx;

  // An exponent letter is taken only together with at least one digit.
  std::size_t j = i + 1;
  if (j < n && (t[j] == '+' || t[j] == '-')) ++j;
  std::size_t k = j;
  while (k < n && IsDigit(t[k])) ++k;
  if (k > j) {
    lx.hasExponent = true;
    lx.exponentBegin = i + 1;
    lx.exponentEnd = lx.end = k;
    lx.stop = k < n ? k : std::string_view::npos;
  } else {
    lx.stop = j < n ? j : std::string_view::npos;
  }
  return lx;
}

void CheckAgainstFromChars(std::string_view t, const Lexeme& lx, double v) {
  // Longer numbers than the fuzzer's inputs are left to the unit tests.
  constexpr std::size_t kLongest = 8192;
  if (!lx.hasDigits || lx.end - lx.mantissaBegin > kLongest) return;
  std::string plain;
  if (lx.negative) plain += '-';
  plain.append(t.substr(lx.mantissaBegin, lx.mantissaEnd - lx.mantissaBegin));
  if (lx.hasExponent) {
    plain += 'e';  // from_chars knows no "d" exponent
    plain.append(t.substr(lx.exponentBegin, lx.exponentEnd - lx.exponentBegin));
  }
  double expected = 0.0;
  const auto [ptr, ec] =
      std::from_chars(plain.data(), plain.data() + plain.size(), expected);
  if (ec == std::errc::result_out_of_range) {
    // Beyond the range: infinity, or a zero or subnormal of the typed sign.
    if (!std::isinf(v) && !(std::fabs(v) < DBL_MIN)) {
      Fail("out-of-range decimal read as a normal finite value", t);
    }
    return;
  }
  if (ec != std::errc{} || ptr != plain.data() + plain.size()) {
    Fail("harness: from_chars refused a plain decimal", t);
  }
  if (!SameBits(v, expected)) Fail("differs from std::from_chars", t);
}

void CheckText(std::string_view text, std::string_view tail) {
  const double v = zelmar::ParseFrequencyText(text);
  if (std::isnan(v)) Fail("NaN result", text);

  const Lexeme lx = Scan(text);
  if (!lx.hasDigits) {
    if (!SameBits(v, 0.0)) Fail("text without digits is not +0.0", text);
  } else if (std::signbit(v) != lx.negative) {
    Fail("sign of the result differs from the typed sign", text);
  }
  if (std::none_of(text.begin(), text.end(), IsDigit) && !SameBits(v, 0.0)) {
    Fail("text without any ASCII digit is not +0.0", text);
  }

  if (lx.end < text.size() &&
      !SameBits(zelmar::ParseFrequencyText(text.substr(0, lx.end)), v)) {
    Fail("the number alone reads differently from the whole text", text);
  }

  if (lx.stop != std::string_view::npos) {
    std::string extended(text.substr(0, lx.stop + 1));
    extended.append(tail);
    if (!SameBits(zelmar::ParseFrequencyText(extended), v)) {
      Fail("bytes after the end of the number changed the value", text);
    }
  }

  CheckAgainstFromChars(text, lx, v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  if (nul == std::string_view::npos) {
    // Without a tail the text is appended to itself behind its number.
    CheckText(input, input);
  } else {
    CheckText(input.substr(0, nul), input.substr(nul + 1));
    CheckText(input, input.substr(0, nul));
  }
  return 0;
}
