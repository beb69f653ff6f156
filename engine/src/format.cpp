// Three-decimal number texts.
//
// The rounding is done on decimal digits in two stages: the exact stored value
// is rounded half up to 17 significant digits, and that decimal half up at the
// third decimal. So 0.0625 gives 0.063 and 0.1245 (stored just below) gives
// 0.125, which a single correctly rounded conversion would not.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

#include "text.h"
#include "zelmar/engine.h"

namespace zelmar {
namespace {

constexpr std::size_t kSignificantDigits = 17;
constexpr std::size_t kDecimals = text::kShownDecimals;

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

// Digits of the exact expansion of a finite double: its integer part has at
// most 309 digits, and m * 2^-d has exactly d decimals, at most 1074.
constexpr std::size_t kMaxIntegerDigits = 309;
constexpr std::size_t kMaxFractionDigits = 1074;
static_assert(std::numeric_limits<double>::max_exponent10 + 1 ==
              kMaxIntegerDigits);
static_assert(-(std::numeric_limits<double>::min_exponent - 1) +
                  std::numeric_limits<double>::digits - 1 ==
              kMaxFractionDigits);
static_assert(text::kMaxMHzSize >= 1 + kMaxIntegerDigits + 1 + kDecimals);

// Decimal digits without the point, on the stack. digits[0] is a spare
// leading zero, so a carry out of the first real digit needs no shifting;
// rounding may append up to kDecimals zeros.
struct DecimalDigits {
  char digits[1 + kMaxIntegerDigits + kMaxFractionDigits + kDecimals];
  std::size_t size = 0;
  std::size_t point = 0;  // digits before the decimal point
};

std::size_t Put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return text.size();
}

// The end of what std::to_chars wrote; DecimalDigits is sized so that it
// cannot run out of room.
char* Checked(std::to_chars_result result) {
  if (result.ec != std::errc{}) std::abort();
  return result.ptr;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "747576777879808182838485868788899091929394959697989900";

// Limbs of nine decimal digits, least significant first.
constexpr std::uint64_t kLimbBase = 1'000'000'000;
constexpr int kLimbDigits = 9;

// Up to 2^32 or 5^13 per multiplication: a limb times it plus a carry stays
// below 2^64.
constexpr int kMaxDoublings = 32;
constexpr int kMaxFives = 13;

// base^0, base^1, ... base^(count - 1).
template <std::uint64_t kBase, std::size_t kCount>
constexpr std::array<std::uint64_t, kCount> PowersOf() {
  std::array<std::uint64_t, kCount> powers{};
  std::uint64_t power = 1;
  for (auto& p : powers) {
    p = power;
    power *= kBase;
  }
  return powers;
}
constexpr auto kPowersOfFive = PowersOf<5, kMaxFives + 1>();

// Multiplies the number in limbs[0, count) by factor; returns the new count.
std::size_t MultiplyLimbs(std::uint32_t* limbs, std::size_t count,
                          std::size_t capacity, std::uint64_t factor) {
  std::uint64_t carry = 0;
  for (std::size_t j = 0; j < count; ++j) {
    const std::uint64_t x = limbs[j] * factor + carry;
    carry = x / kLimbBase;
    limbs[j] = static_cast<std::uint32_t>(x - carry * kLimbBase);
  }
  for (; carry != 0; carry /= kLimbBase) {
    if (count == capacity) std::abort();  // the caller's bound is wrong
    limbs[count++] = static_cast<std::uint32_t>(carry % kLimbBase);
  }
  return count;
}

// The nine digits of a limb, leading zeros included.
char* WriteLimb(std::uint32_t limb, char* out) {
  for (int i = kLimbDigits - 2; i > 0; i -= 2) {
    std::memcpy(out + i, kDigitPairs + 2 * (limb % 100), 2);
    limb /= 100;
  }
  out[0] = static_cast<char>('0' + limb);
  return out + kLimbDigits;
}

// The digits of the number in limbs[0, count), count > 0, without leading
// zeros.
char* WriteLimbs(const std::uint32_t* limbs, std::size_t count, char* out,
                 char* end) {
  out = Checked(std::to_chars(out, end, limbs[count - 1]));
  if (end - out < static_cast<std::ptrdiff_t>((count - 1) * kLimbDigits)) {
    std::abort();
  }
  for (std::size_t j = count - 1; j-- > 0;) out = WriteLimb(limbs[j], out);
  return out;
}

// The digits of the integer mantissa * 2^exponent (exponent >= 0) or
// mantissa * 5^-exponent (exponent < 0), the exact expansion's digits without
// the point, for the values ScaleToInteger cannot hold. Own code rather than
// std::to_chars with a precision, whose tables would be most of the
// WebAssembly build.
char* WriteScaledDigits(BinaryValue v, char* out, char* end) {
  // 2^53 * 5^1074 < 10^767 and 2^1024 < 10^309: 86 limbs hold either.
  std::array<std::uint32_t, 86> limbs;  // limbs[count...] are unused
  std::size_t count = 0;
  for (std::uint64_t m = v.mantissa; m != 0; m /= kLimbBase) {
    limbs[count++] = static_cast<std::uint32_t>(m % kLimbBase);
  }
  const bool doubling = v.exponent >= 0;
  int steps = doubling ? v.exponent : -v.exponent;
  while (steps > 0) {
    const int now = std::min(steps, doubling ? kMaxDoublings : kMaxFives);
    steps -= now;
    const std::uint64_t factor =
        doubling ? std::uint64_t{1} << now : kPowersOfFive[now];
    count = MultiplyLimbs(limbs.data(), count, limbs.size(), factor);
  }
  if (count == 0) return Checked(std::to_chars(out, end, 0));
  return WriteLimbs(limbs.data(), count, out, end);
}

// ---------------------------------------------------------------------------
// Leading digits of large values. The two roundings read only the first
// kSignificantDigits + 1 significant digits of the expansion, so for
// mantissa * 2^exponent those digits and the digit count are enough. The
// product is cut to its top kKeptLimbs limbs A whenever it grows beyond them;
// as A is then at least 10^27, each cut lowers it by less than a factor
// 1 + 10^-27, and after n cuts the value lies in [A, A (1 + 2n 10^-27)) times
// a power of 10^9, below A + 2n (top limb + 1). Where both ends share the
// digits read, so does the value.

constexpr std::size_t kKeptLimbs = 4;
constexpr std::size_t kReadDigits = kSignificantDigits + 1;
// A cut product has every digit read, and nine to spare.
static_assert((kKeptLimbs - 1) * kLimbDigits + 1 >= kReadDigits + kLimbDigits);

using LeadingLimbs = std::array<std::uint32_t, kKeptLimbs + 2>;

// Adds `addend` to limbs[0, count); returns the new count.
std::size_t AddToLimbs(LeadingLimbs& limbs, std::size_t count,
                       std::uint64_t addend) {
  for (std::size_t j = 0; addend != 0; ++j) {
    if (j == count) limbs[count++] = 0;
    const std::uint64_t x = limbs[j] + addend;
    limbs[j] = static_cast<std::uint32_t>(x % kLimbBase);
    addend = x / kLimbBase;
  }
  return count;
}

// The first kReadDigits digits of mantissa * 2^exponent (exponent >= 0)
// followed by zeros up to its length; nullptr when the cut product leaves
// them open, or when it needed no cut and the exact digits are cheap.
char* WriteLeadingDigits(BinaryValue v, char* out, char* end) {
  LeadingLimbs limbs{};
  std::size_t count = 0;
  for (std::uint64_t m = v.mantissa; m != 0; m /= kLimbBase) {
    limbs[count++] = static_cast<std::uint32_t>(m % kLimbBase);
  }
  std::size_t dropped = 0;  // limbs cut off
  std::uint64_t cuts = 0;
  for (int steps = v.exponent; steps > 0;) {
    const int now = std::min(steps, kMaxDoublings);
    steps -= now;
    count = MultiplyLimbs(limbs.data(), count, limbs.size(),
                          std::uint64_t{1} << now);
    if (count > kKeptLimbs) {
      const std::size_t cut = count - kKeptLimbs;
      std::copy(limbs.begin() + cut, limbs.begin() + count, limbs.begin());
      count = kKeptLimbs;
      dropped += cut;
      ++cuts;
    }
  }
  if (cuts == 0) return nullptr;
  LeadingLimbs upper = limbs;
  const std::size_t upper_count = AddToLimbs(
      upper, count, 2 * cuts * (limbs[count - 1] + std::uint64_t{1}));
  char low[(kKeptLimbs + 1) * kLimbDigits];
  char high[sizeof low];
  const char* const low_end =
      WriteLimbs(limbs.data(), count, low, std::end(low));
  const char* const high_end =
      WriteLimbs(upper.data(), upper_count, high, std::end(high));
  if (high_end - high != low_end - low ||
      !std::equal(low, low + kReadDigits, high)) {
    return nullptr;
  }
  const auto length =
      static_cast<std::size_t>(low_end - low) + dropped * kLimbDigits;
  if (static_cast<std::size_t>(end - out) < length) std::abort();
  out = std::copy_n(low, kReadDigits, out);
  return std::fill_n(out, length - kReadDigits, '0');
}

// The decimal expansion of |value|, with at least one digit before the
// point: exact in every digit the two roundings read, the first
// kSignificantDigits + 1 significant ones; in large values the digits behind
// them may stand as zeros.
void ExactDigits(double value, DecimalDigits& d) {
  char* const begin = d.digits + 1;
  char* const end = d.digits + sizeof d.digits - kDecimals - 1;
  d.digits[0] = '0';
  const BinaryValue binary = Decompose(value);
  const auto fraction =
      static_cast<std::size_t>(binary.exponent < 0 ? -binary.exponent : 0);
  char* last = nullptr;
  if (std::uint64_t scaled = 0; ScaleToInteger(binary, scaled)) {
    last = Checked(std::to_chars(begin, end, scaled));
  } else if (binary.exponent < 0 ||
             (last = WriteLeadingDigits(binary, begin, end)) == nullptr) {
    last = WriteScaledDigits(binary, begin, end);
  }
  const auto length = static_cast<std::size_t>(last - begin);
  if (length <= fraction) {  // e.g. 125 with 3 decimals: 0.125
    const std::size_t shift = fraction + 1 - length;
    std::copy_backward(begin, last, last + shift);
    std::fill(begin, begin + shift, '0');
    last += shift;
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

// ---------------------------------------------------------------------------
// The fast path, for |value| < 10^13: every frequency, every distance between
// two of them, and the tiny values such distances can be.
//
// |value| * 1000 = m * 125 * 2^-s exactly, with m the 53-bit significand, so
// the thousandths q and the rest F / 2^s come from one multiplication. With
// n integer digits (n = 0 below 1, -1 below 0.1, -2 below 0.01 …) the first
// rounding keeps D = 17 - n decimals; it leaves the thousandths alone unless
// it carries the rest up to one half, which happens exactly when the rest is
// at least 1/2 - 1/(2u) with u = 10^(D - 3), an even number here since D > 3.
//
// Below 2^-11 = 0.00048828125 the 17-digit rounding cannot reach 0.0005, so
// such values show as 0.000; from 2^-11 up, s is at most 60.

constexpr double kFastZeroLimit = 0x1p-11;
constexpr double kFastLimit = 1e13;
constexpr int kFastMaxIntegerDigits = 13;
constexpr int kFastMinIntegerDigits = -3;  // 0.0001 < 2^-11

constexpr std::size_t kMaxFastDecimals =
    kSignificantDigits + static_cast<std::size_t>(-kFastMinIntegerDigits);
constexpr std::size_t kMinFastDecimals =
    kSignificantDigits - kFastMaxIntegerDigits;
static_assert(kMinFastDecimals > kDecimals, "u must be an even power of ten");

constexpr auto kPowersOfTen = PowersOf<10, kMaxFastDecimals - kDecimals + 1>();

// Digits left of the point: 10^(n-1) <= x < 10^n, for x >= 2^-11. The
// doubles 0.1, 0.01 and 0.001 each lie just above their power of ten, so no
// double falls between the two.
int IntegerDigits(double x) {
  if (x < 1.0) {
    if (x >= 0.1) return 0;
    if (x >= 0.01) return -1;
    return x >= 0.001 ? -2 : -3;
  }
  int n = 1;
  double bound = 10.0;  // powers of ten up to 1e22 are exact
  while (x >= bound) {
    ++n;
    bound *= 10.0;
  }
  return n;
}

// Whether a * b <= limit, for any 64-bit a and b.
bool ProductAtMost(std::uint64_t a, std::uint64_t b, std::uint64_t limit) {
  constexpr std::uint64_t kLow32 = 0xFFFFFFFF;
  const std::uint64_t ll = (a & kLow32) * (b & kLow32);
  const std::uint64_t lh = (a & kLow32) * (b >> 32);
  const std::uint64_t hl = (a >> 32) * (b & kLow32);
  const std::uint64_t hh = (a >> 32) * (b >> 32);
  const std::uint64_t middle = (ll >> 32) + (lh & kLow32) + (hl & kLow32);
  const std::uint64_t high = hh + (lh >> 32) + (hl >> 32) + (middle >> 32);
  const std::uint64_t low = (middle << 32) | (ll & kLow32);
  return high == 0 && low <= limit;
}

// "[-]integer.ddd" for a value given in thousandths.
std::size_t WriteThousandths(std::uint64_t thousandths, bool negative,
                             char* out) {
  std::uint64_t integer = thousandths / 1000;
  const auto fraction = static_cast<unsigned>(thousandths % 1000);
  // Frequencies have three or four integer digits: tested first.
  std::size_t integer_digits = integer >= 100 && integer < 10000
                                   ? (integer >= 1000 ? 4 : 3)
                                   : (integer >= 10 ? 2 : 1);
  for (std::uint64_t bound = kPowersOfTen[integer_digits];
       integer >= bound && integer_digits + 1 < kPowersOfTen.size();
       bound *= 10) {
    ++integer_digits;
  }
  const std::size_t size = (negative ? 1 : 0) + integer_digits + 1 + kDecimals;
  char* p = out + size;
  p -= 2;
  std::memcpy(p, kDigitPairs + 2 * (fraction % 100), 2);
  *--p = static_cast<char>('0' + fraction / 100);
  *--p = '.';
  for (; integer >= 10; integer /= 100) {
    if (integer < 100) {
      p -= 2;
      std::memcpy(p, kDigitPairs + 2 * integer, 2);
      integer = 0;
      break;
    }
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (integer % 100), 2);
  }
  if (p > out + (negative ? 1 : 0)) *--p = static_cast<char>('0' + integer);
  if (negative) *--p = '-';
  return size;
}

// The thousandths of 2^-11 <= x < 10^13 after the two roundings.
std::uint64_t RoundedThousandths(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const std::uint64_t m =
      (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  // x = m * 2^(biased - 1075), so x * 1000 = m * 125 * 2^-s with s from 6
  // (below 10^13) to 60 (from 2^-11); m * 125 < 2^60.
  const int s = 1075 - static_cast<int>(bits >> 52) - 3;
  const std::uint64_t scaled = m * 125;
  std::uint64_t thousandths = scaled >> s;
  const std::uint64_t rest = scaled & ((std::uint64_t{1} << s) - 1);
  const std::uint64_t half = std::uint64_t{1} << (s - 1);
  if (rest >= half) {
    ++thousandths;
  } else if (rest >= half - half / 8) {  // u >= 10: the window is narrower
    const auto decimals = static_cast<std::size_t>(
        static_cast<int>(kSignificantDigits) - IntegerDigits(x));
    const std::uint64_t u = kPowersOfTen[decimals - kDecimals];
    if (ProductAtMost(u, 2 * (half - rest), 2 * half)) ++thousandths;
  }
  return thousandths;
}

bool WriteMHzFast(double value, char* out, std::size_t& size) {
  const double x = std::fabs(value);
  if (!(x < kFastLimit)) return false;  // NaN too
  const std::uint64_t thousandths =
      x < kFastZeroLimit ? 0 : RoundedThousandths(x);
  size = WriteThousandths(thousandths, value < 0, out);
  return true;
}

std::size_t WriteMHzExact(double value, char* out);

}  // namespace

namespace text {

std::size_t WriteMHz(double value, char* out) {
  std::size_t size = 0;
  return WriteMHzFast(value, out, size) ? size : WriteMHzExact(value, out);
}

}  // namespace text

namespace {

// Every other value, digit by digit on the exact expansion. Kept out of line
// so that the fast path does not set up its large frame.
[[gnu::noinline]] std::size_t WriteMHzExact(double value, char* out) {
  if (std::isnan(value)) return Put(out, "nan");
  // Read back by ParseFrequencyText as the same infinity, so a second run on
  // the rewritten fields keeps the slot.
  if (std::isinf(value)) return Put(out, value < 0 ? "-1e999" : "1e999");

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
  char* p = out;
  if (value < 0) *p++ = '-';
  p = std::copy(d.digits + start, d.digits + d.point, p);
  *p++ = '.';
  p = std::copy_n(d.digits + d.point, kDecimals, p);
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::string FormatMHz(double value) {
  char text[text::kMaxMHzSize];
  return std::string(text, text::WriteMHz(value, text));
}

}  // namespace zelmar
