// Three-decimal number text: the two-stage rounding (17 significant digits
// half up, then half up at the third decimal), signs, very large and very
// small values, and infinities.
#include "test_support.h"

namespace zelmar_test {
namespace {

using zelmar::FormatMHz;
using zelmar::ParseFrequencyText;

struct FormatCase {
  double value;
  std::string text;
};

// Expected texts worked out on the exact binary value of each double.
TEST(FormatMHz, TwoStageRounding) {
  const std::vector<FormatCase> cases = {
      {806.125, "806.125"},
      {806.1, "806.100"},
      {806.0, "806.000"},
      {0.5, "0.500"},
      {0.1, "0.100"},
      {0.001, "0.001"},
      // Exact ties round up, not to even.
      {0.0625, "0.063"},
      {806.0625, "806.063"},
      {8.0625, "8.063"},
      {0.3125, "0.313"},
      // Stored just below the tie, but the 17-digit text is the tie itself:
      // 0.12449999999999999956 -> 0.12450000000000000.
      {0.1245, "0.125"},
      // 1.01249999999999995559 -> 1.0125000000000000 -> up.
      {1.0125, "1.013"},
      // 1.00449999999999994849 keeps ...9999 at 17 digits -> down.
      {1.0045, "1.004"},
      // 1.00049999999999994493 -> 1.0004999999999999 -> down.
      {1.0005, "1.000"},
      // 806.00049999999998818 -> 806.00049999999999 -> down.
      {806.0005, "806.000"},
      {806.0015, "806.001"},
      // 9.99949999999999938893 and 99.9994999999999976 stay below the tie.
      {9.9995, "9.999"},
      {99.9995, "99.999"},
      // 999.99950000000001182 is above it; the carry adds an integer digit.
      {999.9995, "1000.000"},
      {1.4995, "1.500"},
      {9.9999999999999982, "10.000"},
      {0.99999999999999994, "1.000"},  // 1 - 2^-53
      {0.0005, "0.001"},               // 0.00050000000000000001
      {0.0015, "0.002"},
      {0.0014999999999999999, "0.001"},  // 0.00149999999999999981
      {0.0004, "0.000"},
      // 0.00094999999999999999809 -> 0.00095000000000000000 -> up, while
      // 0.00449999999999999966 keeps ...9997 -> down.
      {0.00095, "0.001"},
      {0.0045, "0.004"},
      {0x1p-11, "0.000"},  // 0.00048828125
      {0.00025, "0.000"},
      {1e-5, "0.000"},
      {std::numeric_limits<double>::denorm_min(), "0.000"},
      {std::numeric_limits<double>::min(), "0.000"},
      {0.0, "0.000"},
      // Below zero only: a negative zero is not below zero.
      {-0.0, "0.000"},
      {-0.0001, "-0.000"},
      {-0.0004, "-0.000"},
      {-0.0005, "-0.001"},
      {-0.0625, "-0.063"},
      {-806.0625, "-806.063"},
      {-5.0, "-5.000"},
      {-1.0125, "-1.013"},
      {-std::numeric_limits<double>::denorm_min(), "-0.000"},
      // Integer parts past 17 digits are cut to 17 significant digits.
      {1e15, "1000000000000000.000"},
      {1e16, "10000000000000000.000"},
      {4503599627370495.5, "4503599627370495.500"},
      {1234567890123456.75, "1234567890123456.800"},
      {99999999999999.99, "99999999999999.984"},  // ...984375
      {123456789012345678.0, "123456789012345680.000"},
      {1152921504606846976.0, "1152921504606847000.000"},  // 2^60
      {12345678901234567890.0, "12345678901234567000.000"},
      {1e22, "10000000000000000000000.000"},
      // 1.00000000000000005250e300: the 18th digit 5 carries into the 17th.
      {1e300, "10000000000000001" + std::string(284, '0') + ".000"},
      {1e23, "99999999999999992000000.000"},  // 9.99999999999999916e22
      {std::numeric_limits<double>::max(),
       "17976931348623157" + std::string(292, '0') + ".000"},
      {-std::numeric_limits<double>::max(),
       "-17976931348623157" + std::string(292, '0') + ".000"},
      {kInf, "1e999"},
      {-kInf, "-1e999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Describe(c.value));
    EXPECT_EQ(c.text, FormatMHz(c.value));
    if (std::isfinite(c.value)) {
      EXPECT_EQ(c.text, ModelFormatMHz(c.value));
    }
  }
}

TEST(FormatMHz, InfinityReadsBack) {
  for (double v : {kInf, -kInf}) {
    SCOPED_TRACE(Describe(v));
    EXPECT_TRUE(SameBits(v, ParseFrequencyText(FormatMHz(v))));
  }
}

// Random finite doubles of every magnitude against the digit-string model.
TEST(FormatMHz, MatchesExactDecimalModel) {
  auto rng = Rng(0x5eed0401);
  for (int i = 0; i < 4000; ++i) {
    double v;
    switch (i % 4) {
      case 0:  // any bit pattern
        do v = FromBits(rng());
        while (!std::isfinite(v));
        break;
      case 1:  // the radio range, full precision
        v = std::ldexp(static_cast<double>(rng() >> 11), -53) * 2000.0;
        break;
      case 2:  // near ties at the fourth decimal
        v = (static_cast<double>(rng() % 2000000) + 0.5) / 1000.0;
        v = FromBits(Bits(v) + rng() % 5 - 2);
        break;
      default:  // magnitudes from 1e-6 to 1e24
        v = std::ldexp(1.0 + std::ldexp(static_cast<double>(rng() >> 12), -52),
                       static_cast<int>(rng() % 100) - 20);
    }
    if (rng() % 2) v = -v;
    SCOPED_TRACE(Describe(v));
    ASSERT_EQ(ModelFormatMHz(v), FormatMHz(v));
  }
}

// Large values are shown from the leading digits of a cut product: powers of
// two and their neighbours against the model.
TEST(FormatMHz, LargeValuesMatchExactDecimalModel) {
  for (int e = 60; e < 1024; ++e) {
    const double power = std::ldexp(1.0, e);
    for (double v :
         {power, std::nextafter(power, 0.0), std::nextafter(power, kInf)}) {
      SCOPED_TRACE(Describe(v));
      ASSERT_EQ(ModelFormatMHz(v), FormatMHz(v));
    }
  }
  // Nines right behind the 18th digit, where the cut limbs could carry:
  // 622617284061899262 999998523..., 212010779949183581 99999997204...
  for (double v : {0x1.a2b3c4d5e7a41p+952, 0x1.a2b3c4d72998ap+952,
                   0x1.d2b3c4d80b267p+452, 0x1.d2b3c4d9dabf5p+452}) {
    SCOPED_TRACE(Describe(v));
    EXPECT_EQ(ModelFormatMHz(v), FormatMHz(v));
  }
}

// A value typed with at most three decimals comes back with its own digits,
// filled up to three decimals.
TEST(FormatMHz, TypedThreeDecimalsComeBack) {
  auto rng = Rng(0x5eed0402);
  for (int i = 0; i < 4000; ++i) {
    const std::uint64_t integer = rng() % (i % 2 ? 1000 : 1000000000);
    const std::size_t decimals = rng() % 4;
    std::string fraction;
    for (std::size_t n = 0; n < decimals; ++n)
      fraction += static_cast<char>('0' + rng() % 10);
    if (integer == 0 && fraction.find_first_not_of('0') == std::string::npos)
      continue;  // zero is an empty slot, never formatted
    const std::string sign = rng() % 4 == 0 ? "-" : "";
    // "12." and "12" are both typed forms of twelve.
    const std::string typed = sign + std::to_string(integer) +
                              (decimals || i % 3 == 0 ? "." : "") + fraction;
    const std::string filled = sign + std::to_string(integer) + "." + fraction +
                               std::string(3 - decimals, '0');
    SCOPED_TRACE(typed);
    EXPECT_EQ(filled, FormatMHz(ParseFrequencyText(typed)));
  }
}

}  // namespace
}  // namespace zelmar_test
