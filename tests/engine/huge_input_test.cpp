// Field texts far longer than anyone types: tens of thousands to a million
// bytes of white space, digits, exponent digits and every byte value. The
// reader must neither crash nor lose precision on them, so each case is
// checked against a value known independently of the engine: a double
// literal, a correctly rounded quotient or product of two exact doubles, or
// a power of two whose decimal digits are generated here.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "zelmar/engine.h"

namespace {

using zelmar::ParseFrequencyText;

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Bits(double v) {
  char buf[64];
  std::snprintf(
      buf, sizeof buf, "%.17g (0x%016llx)", v,
      static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
  return buf;
}

// Bit-exact comparison, so that -0.0 and +0.0 are told apart.
::testing::AssertionResult SameDouble(double actual, double expected) {
  if (std::bit_cast<std::uint64_t>(actual) ==
      std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << Bits(actual) << ", want " << Bits(expected);
}

// The double nearest to m * 10^e for m < 2^53 and |e| <= 22: both factors
// are exact doubles, so the one IEEE operation rounds the exact result once.
double Exact(std::uint64_t m, int e) {
  double p = 1.0;
  for (int i = 0; i < (e < 0 ? -e : e); ++i) p *= 10.0;  // exact up to 1e22
  const double md = static_cast<double>(m);
  return e < 0 ? md / p : md * p;
}

std::string Repeat(std::string_view piece, std::size_t count) {
  std::string s;
  s.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) s.append(piece);
  return s;
}

// Decimal digits of a non-negative integer held as little-endian base-10
// digits; enough arithmetic to write powers of two and five exactly.
struct BigDecimal {
  std::vector<std::uint8_t> digits{1};  // the value 1

  void Multiply(std::uint64_t factor) {
    std::uint64_t carry = 0;
    for (auto& d : digits) {
      const std::uint64_t x = d * factor + carry;  // < 2^64 for factor < 2^59
      d = static_cast<std::uint8_t>(x % 10);
      carry = x / 10;
    }
    for (; carry != 0; carry /= 10) {
      digits.push_back(static_cast<std::uint8_t>(carry % 10));
    }
  }
  void Decrement() {
    for (auto& d : digits) {
      if (d != 0) {
        --d;
        break;
      }
      d = 9;
    }
    while (digits.size() > 1 && digits.back() == 0) digits.pop_back();
  }
  std::string Text() const {
    std::string s;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
      s += static_cast<char>('0' + *it);
    }
    return s;
  }
};

BigDecimal Power(std::uint64_t base, int exponent) {
  BigDecimal b;
  for (int i = 0; i < exponent; ++i) b.Multiply(base);
  return b;
}

// ---------------------------------------------------------------------------
// Every byte value at every place of a number.

enum class ByteKind {
  kWhite,
  kPlus,
  kMinus,
  kDigit,
  kPoint,
  kExpLetter,
  kOther
};

ByteKind KindOf(unsigned char b) {
  switch (b) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return ByteKind::kWhite;
    case '+':
      return ByteKind::kPlus;
    case '-':
      return ByteKind::kMinus;
    case '.':
      return ByteKind::kPoint;
    case 'e':
    case 'E':
    case 'd':
    case 'D':
      return ByteKind::kExpLetter;
    default:
      return b >= '0' && b <= '9' ? ByteKind::kDigit : ByteKind::kOther;
  }
}

struct PlaceCase {
  const char* name;
  const char* before;  // the byte goes between these two
  const char* after;
  // Expected value for the byte b of the given kind (d is b - '0').
  double (*expected)(ByteKind kind, int d);
};

const PlaceCase kPlaces[] = {
    {"before the number", "", "5.25",
     [](ByteKind k, int d) {
       switch (k) {
         case ByteKind::kWhite:
         case ByteKind::kPlus:
           return 5.25;
         case ByteKind::kMinus:
           return -5.25;
         case ByteKind::kDigit:
           return Exact(static_cast<std::uint64_t>(d) * 1000 + 525, -2);
         case ByteKind::kPoint:
           return 0.5;  // ".5" then the second point ends it
         default:
           return 0.0;
       }
     }},
    {"after the sign", "-", "5.25",
     [](ByteKind k, int d) {
       switch (k) {
         case ByteKind::kDigit:
           return -Exact(static_cast<std::uint64_t>(d) * 1000 + 525, -2);
         case ByteKind::kPoint:
           return -0.5;
         default:
           return 0.0;  // no digit after the sign: +0.0
       }
     }},
    {"among the integer digits", "5", "5.25",
     [](ByteKind k, int d) {
       switch (k) {
         case ByteKind::kDigit:
           return Exact(50525 + static_cast<std::uint64_t>(d) * 1000, -2);
         case ByteKind::kPoint:
           return 5.5;
         case ByteKind::kExpLetter:
           return 500000.0;  // 5e5
         default:
           return 5.0;
       }
     }},
    {"among the decimals", "5.5", "5",
     [](ByteKind k, int d) {
       switch (k) {
         case ByteKind::kDigit:
           return Exact(5505 + static_cast<std::uint64_t>(d) * 10, -3);
         case ByteKind::kExpLetter:
           return 550000.0;  // 5.5e5
         default:
           return 5.5;
       }
     }},
    {"after the exponent letter", "5e", "x",
     [](ByteKind k, int d) {
       return k == ByteKind::kDigit ? Exact(5, d) : 5.0;
     }},
    {"after the exponent minus", "5e-", "x",
     [](ByteKind k, int d) {
       return k == ByteKind::kDigit ? Exact(5, -d) : 5.0;
     }},
    {"after the exponent plus", "5D+", "x",
     [](ByteKind k, int d) {
       return k == ByteKind::kDigit ? Exact(5, d) : 5.0;
     }},
    {"among the exponent digits", "5e1", "x",
     [](ByteKind k, int d) {
       return k == ByteKind::kDigit ? Exact(5, 10 + d) : 50.0;
     }},
    {"after the number", "5.25", "5",
     [](ByteKind k, int d) {
       switch (k) {
         case ByteKind::kDigit:
           return Exact(52500 + static_cast<std::uint64_t>(d) * 10 + 5, -4);
         case ByteKind::kExpLetter:
           return 525000.0;  // 5.25e5
         default:
           return 5.25;
       }
     }},
};

// 30,000 bytes of all six white-space bytes, and a tail that starts with a
// byte ending any number and then holds every byte value.
const std::string& LongWhite() {
  static const std::string s = Repeat(" \t\n\v\f\r", 5000);
  return s;
}
const std::string& LongTail() {
  static const std::string s = [] {
    std::string t = "x";
    for (int round = 0; round < 120; ++round) {
      for (int b = 0; b < 256; ++b) t += static_cast<char>(b);
    }
    return t;
  }();
  return s;
}

TEST(HugeInput, EveryByteAtEveryPlaceOfANumber) {
  for (const PlaceCase& place : kPlaces) {
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      const ByteKind kind = KindOf(byte);
      const double want = place.expected(kind, b - '0');
      std::string text = place.before;
      text += static_cast<char>(byte);
      text += place.after;
      SCOPED_TRACE(::testing::Message() << place.name << ", byte " << b);
      EXPECT_TRUE(SameDouble(ParseFrequencyText(text), want));
      // The same between 30,000 bytes of white space and 30,000 more bytes.
      const std::string padded = LongWhite() + text + LongTail();
      ASSERT_GE(padded.size(), 60000u);
      EXPECT_TRUE(SameDouble(ParseFrequencyText(padded), want));
    }
  }
}

TEST(HugeInput, TextOfOneByteValueRepeated) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(::testing::Message() << "byte " << b);
    const std::string text(30000, static_cast<char>(b));
    const bool digit = b >= '1' && b <= '9';
    EXPECT_TRUE(SameDouble(ParseFrequencyText(text), digit ? kInf : 0.0));
  }
}

// ---------------------------------------------------------------------------
// Long runs of mantissa digits.

TEST(HugeInput, LeadingZerosAreIgnored) {
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(SameDouble(ParseFrequencyText(zeros + "806.125"), 806.125));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("-") + zeros + "806.125"), -806.125));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(zeros), 0.0));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("-") + zeros), -0.0));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(zeros + "." + zeros), 0.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("-") + zeros + "." + zeros), -0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string(".") + zeros + "5"), 0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("-0.") + zeros + "1"), -0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(zeros + "." + zeros + "1e100001"), 1.0));
}

TEST(HugeInput, TrailingDigitsBelowTheLastBit) {
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("806.125") + zeros), 806.125));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("806.125") + zeros + "1"), 806.125));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("0.1") + zeros), 0.1));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("806.1") + zeros + "9"),
                         806.1));
}

// A non-zero digit after a run of zeros that reaches past the digits a
// converter keeps must still count at its own place, not next to the last
// kept digit.
TEST(HugeInput, NonZeroDigitAfterALongRunOfZeros) {
  for (std::size_t n :
       {700u, 767u, 768u, 769u, 797u, 798u, 799u, 800u, 801u, 1000u, 5000u}) {
    SCOPED_TRACE(n);
    const std::string zeros(n, '0');
    const std::string scale = std::to_string(n + 1);
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("1") + zeros + "1e-" + scale), 1.0));
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("806.1") + zeros + "9"), 806.1));
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("806.125") + zeros + "1"), 806.125));
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("999.99") + zeros + "45123e3"),
        999990.0));
  }
}

TEST(HugeInput, IntegerDigitsBeyondTheRangeOverflow) {
  for (std::size_t n : {400u, 30000u, 100000u, 1000000u}) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("1") + Repeat("0", n)), kInf));
    EXPECT_TRUE(SameDouble(
        ParseFrequencyText(std::string("-") + Repeat("9", n) + ".5"), -kInf));
    EXPECT_TRUE(
        SameDouble(ParseFrequencyText(Repeat("1234567890", n / 10)), kInf));
  }
}

// 2^53 + 1 lies exactly between two doubles; the digits far behind it decide.
TEST(HugeInput, HalfwayDecidedByTheLastOfManyDigits) {
  const std::string zeros = Repeat("0", 100000);
  const double even = 9007199254740992.0;  // 2^53
  const double odd_up = 9007199254740994.0;
  EXPECT_TRUE(SameDouble(ParseFrequencyText("9007199254740993"), even));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("9007199254740993.") + zeros), even));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("9007199254740993.") + zeros + "1"),
      odd_up));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("9007199254740992.") +
                                            Repeat("9", 100000)),
                         even));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("9007199254740993") + zeros + "e-100000"),
      even));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("9007199254740993") + zeros + "1e-100001"),
      odd_up));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("12345678901234567.") +
                                            Repeat("8901234567", 100000)),
                         12345678901234568.0));
}

TEST(HugeInput, ManyDigitsScaledBackByTheExponent) {
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("1") + zeros + "e-100000"), 1.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("806125") + zeros + "d-100003"), 806.125));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("0.") + zeros + "806125E100003"),
      806.125));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("1") + Repeat("0", 1000000) + "e-1000000"),
      1.0));
}

// The largest double is 2^1024 - 2^971; halfway to 2^1024 lies H = 2^1024 -
// 2^970, which rounds to even, i.e. overflows.
TEST(HugeInput, DigitsAroundTheLargestDouble) {
  BigDecimal max = Power(2, 970);
  max.Multiply((std::uint64_t{1} << 53) - 1);
  max.Multiply(2);
  BigDecimal half = Power(2, 970);
  half.Multiply((std::uint64_t{1} << 54) - 1);
  BigDecimal below = half;
  below.Decrement();
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(SameDouble(ParseFrequencyText(max.Text()), DBL_MAX));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(max.Text() + "." + zeros), DBL_MAX));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(below.Text() + "." + Repeat("9", 100000)), DBL_MAX));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(half.Text()), kInf));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("-") + half.Text()), -kInf));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(half.Text() + "." + zeros + "1"), kInf));
}

// The smallest subnormal is 2^-1074; halfway to zero lies 2^-1075, which
// rounds to even, i.e. to zero.
TEST(HugeInput, DigitsAroundTheSmallestSubnormal) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const std::string half = Power(5, 1075).Text();  // 2^-1075 = 5^1075e-1075
  const std::string fraction =
      std::string(1075 - half.size(), '0') + half;  // 1075 decimals
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("0.") + fraction), 0.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("-0.") + fraction + zeros), -0.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("0.") + fraction + zeros + "1"), tiny));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(half + zeros + "e-101075"), 0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(half + "1" + zeros + "e-101076"), tiny));
  const std::string one_tiny =
      std::string(1074 - Power(5, 1074).Text().size(), '0') +
      Power(5, 1074).Text();
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("0.") + one_tiny), tiny));
}

// ---------------------------------------------------------------------------
// Long runs of exponent digits.

TEST(HugeInput, ExponentWithManyLeadingZeros) {
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1e") + zeros + "5"),
                         100000.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("1e-") + zeros + "5"), 1e-5));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1E+") + zeros + "5"),
                         100000.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("806.125d") + zeros), 806.125));
  EXPECT_TRUE(SameDouble(ParseFrequencyText("1e0005"), 100000.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("-2.5D-") + zeros + "1"), -0.25));
}

TEST(HugeInput, ExponentBeyondEveryIntegerType) {
  const std::string nines = Repeat("9", 100000);
  const std::string ones = Repeat("1", 100000);
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1e") + nines), kInf));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("-1e") + nines), -kInf));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1e-") + nines), 0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("-1e-") + nines), -0.0));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1e") + ones), kInf));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("1d-") + ones), 0.0));
  // A zero stays zero however large the exponent (no 0 * inf = NaN).
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("0e") + nines), 0.0));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("-0.000e") + nines), -0.0));
  EXPECT_TRUE(SameDouble(ParseFrequencyText(std::string("0e-") + nines), 0.0));
  // Exponents that wrap around in 32 or 64 bits.
  const struct {
    const char* text;
    double want;
  } wraps[] = {
      {"1e2147483648", kInf},           {"1e-2147483649", 0.0},
      {"1e4294967296", kInf},           {"1e4294967297", kInf},
      {"1e-4294967295", 0.0},           {"1e9223372036854775808", kInf},
      {"1e18446744073709551616", kInf}, {"1e18446744073709551617", kInf},
      {"1e-18446744073709551615", 0.0}, {"-1e-18446744073709551616", -0.0},
  };
  for (const auto& w : wraps) {
    SCOPED_TRACE(w.text);
    EXPECT_TRUE(SameDouble(ParseFrequencyText(w.text), w.want));
  }
  // The mantissa's own scale and the exponent must not overflow together.
  const std::string zeros = Repeat("0", 100000);
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("0.") + zeros + "1e18446744073709551616"),
      kInf));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("1") + zeros + "e-18446744073709551616"),
      0.0));
  EXPECT_TRUE(SameDouble(
      ParseFrequencyText(std::string("1") + zeros + "e-9223372036854775808"),
      0.0));
}

TEST(HugeInput, ExponentCutShortByALongText) {
  const std::string tail = LongTail();
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("806.125e") + tail), 806.125));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("806.125e-") + tail), 806.125));
  EXPECT_TRUE(
      SameDouble(ParseFrequencyText(std::string("806.125D+") + tail), 806.125));
}

// ---------------------------------------------------------------------------
// Whole runs on huge texts.

zelmar::FieldTexts Grid(const std::string& before, const std::string& after) {
  zelmar::FieldTexts texts;
  const char* values[] = {"807.500", "806.125", "806.250", "806.375",
                          "806.500", "806.625", "806.750", "806.875",
                          "807.000", "807.125", "807.250", "807.375"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    texts[i] = before + values[i] + after;
  }
  return texts;
}

std::size_t CountOf(const std::string& text, std::string_view piece) {
  std::size_t n = 0;
  for (auto at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++n;
  }
  return n;
}

TEST(HugeInput, RunOnMillionByteTextsMatchesTheShortTexts) {
  const zelmar::CheckResult plain = zelmar::RunChannelCheck(Grid("", ""));
  // Steps of 0.125 MHz from 806.125: 42 intermodulation lines, then eleven
  // close lines.
  EXPECT_EQ(CountOf(plain.resultText, "の相互変調で混信\r\n"), 42u);
  EXPECT_EQ(CountOf(plain.resultText, "0.125MHz接近しています。\r\n"), 11u);
  EXPECT_TRUE(
      plain.resultText.starts_with("●F3は、F1とF2の相互変調で混信\r\n"));
  EXPECT_EQ(plain.slotTexts[0], "806.125");
  EXPECT_EQ(plain.slotTexts[11], "807.500");

  for (std::size_t n : {30000u, 1000000u}) {
    SCOPED_TRACE(n);
    const std::string white = Repeat("\t \r\n", n / 4);
    std::string junk = "MHz";
    junk += Repeat(
        "\x81\x40"
        "0123456789.eEdD+-",
        n / 20);
    const zelmar::CheckResult huge = zelmar::RunChannelCheck(Grid(white, junk));
    EXPECT_EQ(huge.resultText, plain.resultText);
    EXPECT_EQ(huge.slotTexts, plain.slotTexts);
  }
}

TEST(HugeInput, RunOnTwelveTextsOfOneByteValue) {
  const zelmar::CheckResult zeros = [] {
    zelmar::FieldTexts t;
    t.fill(std::string(30000, '0'));
    return zelmar::RunChannelCheck(t);
  }();
  std::string sameLines;
  for (int k = 1; k <= 11; ++k) {
    sameLines += std::string("●F") + std::to_string(k) + "とF" +
                 std::to_string(k + 1) + "は、同一周波数です。\r\n";
  }
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(::testing::Message() << "byte " << b);
    zelmar::FieldTexts texts;
    texts.fill(std::string(30000, static_cast<char>(b)));
    const zelmar::CheckResult r = zelmar::RunChannelCheck(texts);
    if (b >= '1' && b <= '9') {
      // Twelve infinities: their differences are NaN, so no intermodulation
      // and no close line, but each neighbour pair is the same frequency.
      EXPECT_EQ(r.resultText, sameLines);
      for (const std::string& s : r.slotTexts) {
        EXPECT_EQ(s, zelmar::FormatMHz(kInf));
      }
    } else {
      EXPECT_EQ(r.resultText, zelmar::kNoInputText);
      EXPECT_EQ(r.slotTexts, zeros.slotTexts);
      for (const std::string& s : r.slotTexts) EXPECT_EQ(s, "");
    }
  }
}

}  // namespace
