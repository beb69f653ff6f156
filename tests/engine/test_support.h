// Shared helpers for the engine unit tests: bit-exact double comparison, set
// and text builders, the expected message lines, and an exact decimal
// expansion of binary values that serves as the independent oracle for the
// number reading and formatting tests.
#pragma once

#include <gtest/gtest.h>
#include <zelmar/engine.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar_test {

using zelmar::FieldTexts;
using zelmar::FrequencySet;
using zelmar::kSlotCount;

inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }
inline double FromBits(std::uint64_t b) { return std::bit_cast<double>(b); }

inline std::string Describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g (0x%016llx)", v,
                static_cast<unsigned long long>(Bits(v)));
  return buf;
}

// Bit-for-bit equality, so that -0.0 differs from 0.0 and every ulp counts.
inline ::testing::AssertionResult SameBits(double expected, double actual) {
  if (Bits(expected) == Bits(actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected " << Describe(expected) << ", got " << Describe(actual);
}

// Equality of slot contents where 0.0 and -0.0 are the same empty slot.
inline bool SameSlotValue(double a, double b) {
  return (a == 0.0 && b == 0.0) || Bits(a) == Bits(b);
}

inline ::testing::AssertionResult SameSlots(const FrequencySet& expected,
                                            const FrequencySet& actual) {
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    if (!SameSlotValue(expected[i], actual[i]))
      return ::testing::AssertionFailure()
             << "slot F" << i + 1 << ": expected " << Describe(expected[i])
             << ", got " << Describe(actual[i]);
  }
  return ::testing::AssertionSuccess();
}

// Slots from 1 on; the rest stay 0.0 (empty).
inline FrequencySet Set(std::initializer_list<double> values) {
  FrequencySet s{};
  std::copy(values.begin(), values.end(), s.begin());
  return s;
}

// Field texts from F1 on; the rest stay empty.
inline FieldTexts Texts(std::initializer_list<const char*> texts) {
  FieldTexts t{};
  std::size_t i = 0;
  for (const char* text : texts) t[i++] = text;
  return t;
}

inline std::string Label(std::size_t position) {
  std::string label(1, 'F');
  label += std::to_string(position);
  return label;
}

// The three kinds of report line, assembled from their fixed pieces (by
// appending, which keeps GCC 12's -Wrestrict false positive quiet).
inline std::string Concat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (auto piece : pieces) text.append(piece);
  return text;
}
inline std::string ImLine(std::size_t victim, std::size_t j, std::size_t k) {
  return Concat({"●", Label(victim), "は、", Label(j), "と", Label(k),
                 "の相互変調で混信\r\n"});
}
inline std::string CloseLine(std::size_t k, std::string_view distance) {
  return Concat({"●", Label(k), "と", Label(k + 1), "は、", distance,
                 "MHz接近しています。\r\n"});
}
inline std::string SameLine(std::size_t k) {
  return Concat(
      {"●", Label(k), "と", Label(k + 1), "は、同一周波数です。\r\n"});
}

inline std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line;
  return all;
}

// ---------------------------------------------------------------------------
// Exact decimal arithmetic on digit strings, independent of any floating-point
// conversion in the library or the engine.

// The exact decimal value of m * 2^e2 as "<integer digits>.<fraction digits>"
// (integer part "0" when below one, fraction without trailing zeros and
// possibly empty, so the text may end in ".").
inline std::string ExactDecimal(std::uint64_t m, int e2) {
  constexpr std::uint32_t kBase = 1000000000;  // little-endian base-1e9 limbs
  std::vector<std::uint32_t> limbs;
  for (std::uint64_t v = m; v != 0; v /= kBase)
    limbs.push_back(static_cast<std::uint32_t>(v % kBase));
  auto multiply = [&](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto& limb : limbs) {
      std::uint64_t x = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(x % kBase);
      carry = x / kBase;
    }
    for (; carry != 0; carry /= kBase)
      limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
  };
  // m * 2^e2 = m * 5^-e2 / 10^-e2 for negative e2.
  const std::uint32_t factor = e2 >= 0 ? 2 : 5;
  for (int n = e2 >= 0 ? e2 : -e2; n > 0; --n) multiply(factor);
  std::string digits;
  for (std::size_t i = limbs.size(); i-- > 0;) {
    char buf[16];
    std::snprintf(buf, sizeof buf, i + 1 == limbs.size() ? "%u" : "%09u",
                  static_cast<unsigned>(limbs[i]));
    digits += buf;
  }
  if (digits.empty()) digits.push_back('0');
  std::size_t scale = e2 >= 0 ? 0 : static_cast<std::size_t>(-e2);
  if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
  std::string fraction = digits.substr(digits.size() - scale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return digits.substr(0, digits.size() - scale) + "." + fraction;
}

// m and e2 with |v| = m * 2^e2, for finite v.
inline void Decompose(double v, std::uint64_t& m, int& e2) {
  std::uint64_t b = Bits(v) & 0x7FFFFFFFFFFFFFFFull;
  int exponent = static_cast<int>(b >> 52);
  m = b & 0xFFFFFFFFFFFFFull;
  if (exponent == 0) {
    e2 = -1074;
  } else {
    m |= 1ull << 52;
    e2 = exponent - 1075;
  }
}

inline std::string ExactDecimal(double v) {
  std::uint64_t m;
  int e2;
  Decompose(v, m, e2);
  return ExactDecimal(m, e2);
}

// Adds one unit in the last place of a string of decimal digits; the string
// grows by one digit when every digit was a 9.
inline void IncrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The two-stage rounding of the result field, worked on the exact decimal:
// half up to 17 significant digits, then half up at the third decimal.
inline std::string ModelFormatMHz(double v) {
  std::string exact = ExactDecimal(v);
  std::size_t point = exact.find('.');
  std::string digits = exact.substr(0, point) + exact.substr(point + 1);
  long pointPos = static_cast<long>(point);  // digits before the point
  std::size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return "0.000";
  digits.erase(0, lead);
  pointPos -= static_cast<long>(lead);
  if (digits.size() > 17) {
    bool up = digits[17] >= '5';
    digits.resize(17);
    if (up) {
      IncrementDigits(digits);
      if (digits.size() > 17) {  // 99..9 became 100..0
        digits.pop_back();
        ++pointPos;
      }
    }
  }
  // digits[i] weighs 10^(pointPos - 1 - i); the thousandths digit has index
  // pointPos + 2 and the deciding fourth decimal index pointPos + 3.
  long keep = pointPos + 3;
  std::string scaled;  // the value times 1000, before the final rounding
  for (long i = 0; i < keep; ++i)
    scaled += i < static_cast<long>(digits.size()) ? digits[i] : '0';
  if (keep >= 0 && keep < static_cast<long>(digits.size()) &&
      digits[keep] >= '5')
    IncrementDigits(scaled);
  if (scaled.size() < 4) scaled.insert(0, 4 - scaled.size(), '0');
  std::size_t intLen = scaled.size() - 3;
  std::string intPart = scaled.substr(0, intLen);
  intPart.erase(0, std::min(intPart.find_first_not_of('0'), intLen - 1));
  return (v < 0 ? "-" : "") + intPart + "." + scaled.substr(intLen);
}

// Straight from the rules: pairs in lexicographic order, both slots above
// zero, difference rounded first, upper victims before lower ones, first
// match only.
inline std::string ModelIntermod(const FrequencySet& s) {
  std::string out;
  for (std::size_t j = 0; j < kSlotCount; ++j) {
    for (std::size_t k = j + 1; k < kSlotCount; ++k) {
      if (!(s[j] > 0.0 && s[k] > 0.0)) continue;
      const double d = s[k] - s[j];
      const double upper = d + s[k];
      const double lower = s[j] - d;
      std::size_t victim = 0;
      for (std::size_t x = k + 1; x < kSlotCount && !victim; ++x)
        if (upper == s[x]) victim = x + 1;
      for (std::size_t x = 0; x < j && !victim; ++x)
        if (lower == s[x]) victim = x + 1;
      if (victim) out += ImLine(victim, j + 1, k + 1);
    }
  }
  return out;
}

// Adjacent pairs: close when 0 < d <= 0.125 on the computed difference,
// else the same frequency when both are equal and above zero.
inline std::string ModelSpacing(const FrequencySet& s) {
  std::string out;
  for (std::size_t k = 0; k + 1 < kSlotCount; ++k) {
    const double d = s[k + 1] - s[k];
    if (d <= 0.125 && d > 0)
      out += CloseLine(k + 1, ModelFormatMHz(d));
    else if (s[k + 1] == s[k] && s[k] > 0 && s[k + 1] > 0)
      out += SameLine(k + 1);
  }
  return out;
}

// A deterministic generator per test so that failures reproduce.
inline std::mt19937_64 Rng(std::uint64_t seed) { return std::mt19937_64(seed); }

}  // namespace zelmar_test
