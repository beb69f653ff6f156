// Number reading of one field text: the accepted syntax, where a number ends,
// signed zeros, overflow and underflow, and correct rounding of texts of any
// length.
#include <charconv>

#include "test_support.h"

namespace zelmar_test {
namespace {

using zelmar::ParseFrequencyText;

constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
constexpr double kMax = std::numeric_limits<double>::max();

struct ParseCase {
  std::string text;
  double expected;
};

void ExpectParses(const std::vector<ParseCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text.substr(0, 80) + "\" (length " +
                 std::to_string(c.text.size()) + ")");
    EXPECT_TRUE(SameBits(c.expected, ParseFrequencyText(c.text)));
  }
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(ParseFrequencyText, WhiteSpaceAndForeignBytes) {
  ExpectParses({
      {"", 0.0},
      {"806.125", 806.125},
      {" 806.125", 806.125},
      {"\t\n\v\f\r 806.125", 806.125},
      {" \t \r\n -5", -5.0},
      {" \t\n", 0.0},
      // The full-width space (U+3000) is no white space: no number at all.
      {"\xE3\x80\x80"
       "806",
       0.0},
      {" \xE3\x80\x80"
       "806",
       0.0},
      {"\xC2\xA0"
       "806",
       0.0},  // no-break space
      {"\x08"
       "806",
       0.0},
      {"\x0E"
       "806",
       0.0},
      {"\x1F"
       "806",
       0.0},
      {std::string("\0"
                   "806",
                   4),
       0.0},
      {"806\xE3\x80\x80"
       "1",
       806.0},
  });
}

TEST(ParseFrequencyText, SignAndMantissa) {
  ExpectParses({
      {"+806.125", 806.125},
      {"-806.125", -806.125},
      {"+-5", 0.0},
      {"-+5", 0.0},
      {"--5", 0.0},
      {"- 5", 0.0},
      {"5.", 5.0},
      {".5", 0.5},
      {"-.5", -0.5},
      {"+.5", 0.5},
      {"000806.125000", 806.125},
      {"0000.0001e4", 1.0},
      {"123", 123.0},
      {"770.1", 770.1},
      {"806.012345", 806.012345},
      {"0.1", 0.1},
      {"0.3", 0.3},
      {"-0.05", -0.05},
  });
}

TEST(ParseFrequencyText, Exponent) {
  ExpectParses({
      {"1e5", 1e5},
      {"1E5", 1e5},
      {"1d5", 1e5},
      {"1D5", 1e5},
      {"1e+5", 1e5},
      {"1e-5", 1e-5},
      {"1D-5", 1e-5},
      {"1d+3", 1e3},
      {"1d3", 1000.0},
      {"1E+3", 1000.0},
      {"12.5e-1", 1.25},
      {"1e0005", 100000.0},
      {"1e-0005", 1e-5},
      {"5.e2", 500.0},
      {".5e1", 5.0},
      {"-.5D1", -5.0},
      {"8.06125e2", 806.125},
      // Without a digit after the letter (and its sign) the number ends
      // before the letter.
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1e-", 1.0},
      {"1ex", 1.0},
      {"1e-x", 1.0},
      {"1e 5", 1.0},
      {"1.e", 1.0},
      {"5e--3", 5.0},
      {"1E+-3", 1.0},
      {"1f5", 1.0},
      {".e5", 0.0},
      {"e5", 0.0},
      {"-e5", 0.0},
  });
}

TEST(ParseFrequencyText, FirstByteThatDoesNotFitEndsTheNumber) {
  ExpectParses({
      {"806.125MHz", 806.125},
      {"806.125.5", 806.125},
      {"806,125", 806.0},
      {"1 2", 1.0},
      {"1-2", 1.0},
      {"1+2", 1.0},
      {"1e2e3", 100.0},
      {"1e2.5", 100.0},
      {"0x10", 0.0},
      {"0X1p3", 0.0},
      {"1x", 1.0},
      {std::string("806\0"
                   "5",
                   5),
       806.0},
      // Full-width digits, full stop and half-width katakana are not ASCII.
      {"\xEF\xBC\x98\xEF\xBC\x90\xEF\xBC\x96", 0.0},  // ８０６
      {"806\xEF\xBC\x91", 806.0},                     // 806１
      {"806\xEF\xBC\x8E"
       "125",
       806.0},  // 806．125
      {"\xEF\xBD\xB1"
       "806",
       0.0},  // ｱ806
      {"806\x80"
       "5",
       806.0},
      {"806\xFF"
       "5",
       806.0},
  });
}

TEST(ParseFrequencyText, NoDigitsIsPositiveZero) {
  ExpectParses({
      {"inf", 0.0},
      {"infinity", 0.0},
      {"INF", 0.0},
      {"-inf", 0.0},
      {"+Infinity", 0.0},
      {"nan", 0.0},
      {"NaN", 0.0},
      {"-nan", 0.0},
      {".", 0.0},
      {"-.", 0.0},
      {"+.", 0.0},
      {"+", 0.0},
      {"-", 0.0},
      {"-abc", 0.0},
      {"abc", 0.0},
      {"- ", 0.0},
      {"-\xE3\x80\x80"
       "5",
       0.0},
  });
}

TEST(ParseFrequencyText, SignedZeroAndRangeLimits) {
  ExpectParses({
      {"0", 0.0},
      {"-0", -0.0},
      {"-0.000", -0.0},
      {"-.0", -0.0},
      {"-0e5", -0.0},
      {"+0", 0.0},
      {"0e999999", 0.0},
      {"-0e999999", -0.0},
      {"1e999", kInf},
      {"-1e999", -kInf},
      {"1e308", 1e308},
      {"1e309", kInf},
      {"1e-999", 0.0},
      {"-1e-999", -0.0},
      {"1.7976931348623157e308", kMax},
      {"1.7976931348623158e308", kMax},
      {"1.7976931348623159e308", kInf},
      {"-1.7976931348623159e308", -kInf},
      {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
      {"2.2250738585072012e-308", std::numeric_limits<double>::min()},
      {"2.2250738585072011e-308", FromBits(0x000FFFFFFFFFFFFFull)},
      {"4.9406564584124654e-324", kDenormMin},
      {"5e-324", kDenormMin},
      {"-5e-324", -kDenormMin},
      {"2.4703282292062327e-324", 0.0},         // just below half the minimum
      {"2.4703282292062328e-324", kDenormMin},  // just above it
      {"-2.4703282292062327e-324", -0.0},
      {"7.4109846876186982e-324", 2 * kDenormMin},
      // The exponent counter must not wrap around in any integer width.
      {"1e2147483648", kInf},
      {"1e4294967296", kInf},
      {"1e18446744073709551616", kInf},
      {"1e-2147483649", 0.0},
      {"1e-4294967297", 0.0},
      {"0.0001e18446744073709551620", kInf},
      {"100000e-18446744073709551616", 0.0},
  });
}

TEST(ParseFrequencyText, LongTexts) {
  ExpectParses({
      {"0." + Repeat('3', 50000), 0.33333333333333333333},
      {"1" + Repeat('0', 49999) + "e-49999", 1.0},
      {"0." + Repeat('0', 49999) + "1e50000", 1.0},
      {"0." + Repeat('0', 40000) + "1e40001", 1.0},
      {Repeat('9', 50000), kInf},
      {"-" + Repeat('9', 50000), -kInf},
      {"0." + Repeat('0', 49999) + "1", 0.0},
      {"-0." + Repeat('0', 49999) + "1", -0.0},
      {"0." + Repeat('0', 49999) + "1e49990", 1e-10},
      {"806.125" + Repeat('0', 50000), 806.125},
      {"806.125" + Repeat('0', 50000) + "1", 806.125},
      {Repeat('0', 50000) + "806.125", 806.125},
      {"1e" + Repeat('0', 300) + "5", 1e5},
      {"1e-" + Repeat('0', 300) + "5", 1e-5},
      {"1D+" + Repeat('0', 300) + "5", 1e5},
      {"1e" + Repeat('9', 300), kInf},
      {"1e-" + Repeat('9', 300), 0.0},
      {"0e" + Repeat('9', 300), 0.0},
      {"1" + Repeat('0', 400) + "e-400", 1.0},
  });
}

// Texts exactly halfway between two neighbouring doubles (ties go to the even
// one), and the same texts nudged up or down only by digits far beyond the
// 17th, some past the 770th significant digit.
TEST(ParseFrequencyText, CorrectRoundingAtHalfwayPoints) {
  std::vector<std::uint64_t> lowerBits = {
      0,  // 0 and the smallest subnormal
      1,  // two smallest subnormals
      2,
      0x000FFFFFFFFFFFFFull,  // largest subnormal and smallest normal
      0x0010000000000000ull,
      Bits(1.0),
      Bits(9007199254740992.0),  // 2^53 and 2^53 + 2
      Bits(9007199254740994.0),
      Bits(806.125),
      Bits(770.1),
      Bits(0.1),
      Bits(1e22),
      Bits(kMax),  // the upper neighbour is infinity
  };
  auto rng = Rng(0x5eed0001);
  for (int i = 0; i < 12; ++i)
    lowerBits.push_back(rng() % 0x7FEFFFFFFFFFFFFFull);

  const std::string tail(10000, '0');
  for (std::uint64_t lower : lowerBits) {
    const double below = FromBits(lower);
    const double above = FromBits(lower + 1);
    std::uint64_t m;
    int e2;
    Decompose(below, m, e2);
    // The midpoint (2m + 1) * 2^(e2 - 1) needs at most 55 bits.
    const std::string half = ExactDecimal(2 * m + 1, e2 - 1);
    std::string lowered = half;  // the midpoint minus one unit of its last
    for (std::size_t p = lowered.size(); p-- > 0;) {  // digit, then 9s
      if (lowered[p] == '.') continue;
      if (lowered[p] != '0') {
        --lowered[p];
        break;
      }
      lowered[p] = '9';
    }
    const double even = (lower & 1) == 0 ? below : above;
    SCOPED_TRACE("between " + Describe(below) + " and " + Describe(above));
    ExpectParses({
        {half, even},
        {"-" + half, -even},
        {half + tail, even},
        {half + tail + "1", above},
        {"-" + half + tail + "1", -above},
        {lowered + std::string(10000, '9'), below},
        {" +" + lowered + std::string(10000, '9') + "x", below},
    });
  }
  ExpectParses({
      {"9007199254740993", 9007199254740992.0},
      {"9007199254740995", 9007199254740996.0},
      {"9007199254740993.0000000000000000000001", 9007199254740994.0},
      {"9007199254740992.9999999999999999999999", 9007199254740992.0},
      {"90071992547409930e-1", 9007199254740992.0},
      {"0.90071992547409930000000000001e16", 9007199254740994.0},
  });
}

// Nineteen digits are read by one division; an exponent, or a twentieth
// digit just past them, sends the text to the exact path.
TEST(ParseFrequencyText, AroundTheNineteenDigitsOfAPlainDecimal) {
  ExpectParses({
      {" 1234567890.123456789x", 1234567890.123456789},
      {"1234567890123456789e1", 1234567890123456789e1},
      {"+123456789012345678.9d2", 123456789012345678.9e2},
      {"-1234567890.1234567891x", -1234567890.1234567891},
      {" 12345678901234567890 ", 12345678901234567890.0},
  });
}

// The same long digit string with its point anywhere, the exponent making up
// for it, reads as the same double: the digits kept and the sticky digit do
// not depend on where the integer digits end.
TEST(ParseFrequencyText, PointAnywhereInALongDigitString) {
  auto rng = Rng(0x5eed0003);
  for (int i = 0; i < 20; ++i) {
    const std::size_t length = 700 + rng() % 300;
    std::string digits = "5";
    while (digits.size() < length)
      digits += static_cast<char>('0' + rng() % 10);
    const double expected = ParseFrequencyText("0." + digits + "e-50");
    for (std::size_t point = 0; point <= digits.size();
         point += 1 + rng() % 60) {
      SCOPED_TRACE(point);
      const std::string text = digits.substr(0, point) + "." +
                               digits.substr(point) + "e-" +
                               std::to_string(50 + point);
      ASSERT_TRUE(SameBits(expected, ParseFrequencyText(text)));
    }
  }
}

// A digit far below the last bit (or one that decides a tie), at every
// distance up to beyond any fixed-size digit buffer a reader might keep.
TEST(ParseFrequencyText, LateDigitAtEveryPosition) {
  for (std::size_t n = 20; n <= 1200; ++n) {
    const std::string zeros(n, '0');
    SCOPED_TRACE(n);
    ExpectParses({
        {"806.125" + zeros + "1", 806.125},
        {"806.1" + zeros + "9", 806.1},
        {"1" + zeros + "1e-" + std::to_string(n + 1), 1.0},
        {"9007199254740993." + zeros + "1", 9007199254740994.0},
        {"9007199254740993" + zeros + "e-" + std::to_string(n),
         9007199254740992.0},
        {"0." + zeros + "1e" + std::to_string(n + 1), 1.0},
    });
  }
}

// Shortest round-trip texts of random doubles read back bit for bit, in
// every spelling the number syntax allows, and bytes after the end of the
// number never matter.
TEST(ParseFrequencyText, RandomRoundTripAndIgnoredSuffix) {
  auto rng = Rng(0x5eed0002);
  const std::vector<std::string> enders = {" ",
                                           "x",
                                           ",",
                                           "M",
                                           "MHz",
                                           "\xE3\x80\x80",
                                           "\x80",
                                           "#",
                                           "/",
                                           "\t",
                                           std::string(1, '\0')};
  const std::string anyBytes = "0123456789.+-eEdD x,\xE3\x80";
  for (int i = 0; i < 3000; ++i) {
    double d;
    switch (i % 3) {
      case 0:  // any finite double, subnormals included
        do d = FromBits(rng());
        while (!std::isfinite(d));
        break;
      case 1:  // the range where radio frequencies live
        d = std::ldexp(static_cast<double>(rng() >> 11), -53) * 3000.0;
        break;
      default:  // three decimals
        d = static_cast<double>(rng() % 3000000) / 1000.0;
    }
    char buf[400];
    const auto shortest = std::to_chars(buf, buf + sizeof buf, d);
    const std::string text(buf, shortest.ptr);
    const auto fixed =
        std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    const std::string fixedText(buf, fixed.ptr);
    SCOPED_TRACE("text " + text);

    std::vector<std::string> spellings = {text, fixedText, " \t\r\n" + text};
    if (d >= 0) spellings.push_back("+" + text);
    if (const auto e = text.find('e'); e != std::string::npos) {
      for (char letter : {'E', 'd', 'D'}) {
        std::string other = text;
        other[e] = letter;
        spellings.push_back(other);
      }
    }
    for (const auto& spelling : spellings) {
      EXPECT_TRUE(SameBits(d, ParseFrequencyText(spelling))) << spelling;
      std::string suffix = enders[rng() % enders.size()];
      for (std::size_t n = rng() % 6; n > 0; --n)
        suffix += anyBytes[rng() % anyBytes.size()];
      EXPECT_TRUE(SameBits(d, ParseFrequencyText(spelling + suffix)))
          << spelling + suffix;
    }
  }
}

}  // namespace
}  // namespace zelmar_test
