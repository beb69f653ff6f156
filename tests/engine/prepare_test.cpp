// Preparation of the frequency set: parsing all twelve texts, ascending
// order, where the empty slots end up, and the empty flag.
#include "test_support.h"

namespace zelmar_test {
namespace {

using zelmar::PrepareFrequencySet;

struct PrepareCase {
  const char* name;
  FieldTexts texts;
  FrequencySet expected;
  bool empty;
};

TEST(PrepareFrequencySet, EdgeCases) {
  const FieldTexts twelveEmpty{};
  const FieldTexts noNumbers = {"0", "-0",  "0.000", "abc", "inf", "-",
                                ".", "nan", "-.",    " ",   "+",   "-0e9"};
  FieldTexts inF12{};
  inF12[11] = "806.125";
  FieldTexts inF7{};
  inF7[6] = "770.5";
  const FieldTexts twelveValues = {"806.5", "806.125", "770",   "806.25",
                                   "1",     "900",     "806.0", "0.5",
                                   "2e3",   "806.375", "10",    "806.126"};
  const std::vector<PrepareCase> cases = {
      {"twelve empty texts", twelveEmpty, Set({}), true},
      {"texts that read as zero", noNumbers, Set({}), true},
      {"one value in F12", inF12, Set({806.125}), false},
      {"one value in F7", inF7, Set({770.5}), false},
      {"two values swapped", Texts({"806.250", "806.125"}),
       Set({806.125, 806.25}), false},
      {"twelve values", twelveValues,
       Set({0.5, 1, 10, 770, 806.0, 806.125, 806.126, 806.25, 806.375, 806.5,
            900, 2000}),
       false},
      {"same value twice", Texts({"806.5", "", "806.125", "", "806.5", "1"}),
       Set({1, 806.125, 806.5, 806.5}), false},
      {"worked example",
       Texts({"806.250", "", "806.125", "  770.5", "abc", "806.125"}),
       Set({770.5, 806.125, 806.125, 806.25}), false},
      {"negative keeps empties in the middle", Texts({"-1", "806.1"}),
       Set({-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 806.1}), false},
      {"empty slot right before 0.1", Texts({"0.1", "-5"}),
       Set({-5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.1}), false},
      {"several negatives and positives",
       Texts({"3", "", "-2", "1", "-7", "", "", "-2"}),
       Set({-7, -2, -2, 0, 0, 0, 0, 0, 0, 0, 1, 3}), false},
      {"tiny value is a value", Texts({"806", "", "0.0004"}),
       Set({0.0004, 806}), false},
      {"tiny negative value", Texts({"-5e-324"}),
       Set({-std::numeric_limits<double>::denorm_min()}), false},
      {"infinity before the empties", Texts({"1e999", "", "806", "5"}),
       Set({5, 806, kInf}), false},
      {"infinities with a negative", Texts({"1e999", "-1e999", "5", "", "-5"}),
       Set({-kInf, -5, 0, 0, 0, 0, 0, 0, 0, 0, 5, kInf}), false},
      {"exponent letters", Texts({"1d3", "12.5e-1", "1E+3"}),
       Set({1.25, 1000, 1000}), false},
      {"full-width digits",
       Texts({"\xEF\xBC\x98\xEF\xBC\x90\xEF\xBC\x96", "806\xEF\xBC\x91"}),
       Set({806}), false},
      {"leading white space and full-width space",
       Texts({"\t\r\n 806.125",
              "\xE3\x80\x80"
              "770"}),
       Set({806.125}), false},
      {"up to six decimals", Texts({"806.012345", "770.1"}),
       Set({770.1, 806.012345}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto prepared = PrepareFrequencySet(c.texts);
    EXPECT_TRUE(SameSlots(c.expected, prepared.slots));
    EXPECT_EQ(c.empty, prepared.empty);
  }
}

// Texts with the value each one must read as.
struct PoolEntry {
  const char* text;
  double value;
};
const PoolEntry kPool[] = {
    {"", 0.0},
    {"0", 0.0},
    {"-0", -0.0},
    {"abc", 0.0},
    {".", 0.0},
    {"-", 0.0},
    {"806.125", 806.125},
    {"806.25", 806.25},
    {"806.250", 806.25},
    {"770.5", 770.5},
    {"0.0004", 0.0004},
    {"1d3", 1000.0},
    {"0.1", 0.1},
    {"1e999", kInf},
    {"-1e999", -kInf},
    {"-5", -5.0},
    {"-0.1", -0.1},
    {" 12.5e-1", 1.25},
    {"5e-324", std::numeric_limits<double>::denorm_min()},
    {"-5e-324", -std::numeric_limits<double>::denorm_min()},
};

// Random mixes of the pool: the prepared set is a reordering of the parsed
// values that satisfies every ordering rule, and the flag is right.
TEST(PrepareFrequencySet, RandomSetsKeepTheInvariants) {
  auto rng = Rng(0x5eed0101);
  constexpr std::size_t kPoolSize = std::size(kPool);
  for (int iteration = 0; iteration < 4000; ++iteration) {
    // Narrow pools now and then, so all-empty and all-negative sets occur.
    const std::size_t poolSize = iteration % 4 == 0 ? 7 : kPoolSize;
    FieldTexts texts;
    std::vector<double> parsed;
    for (auto& text : texts) {
      const auto& entry = kPool[rng() % poolSize];
      text = entry.text;
      parsed.push_back(entry.value);
    }
    SCOPED_TRACE(::testing::PrintToString(texts));
    const auto prepared = PrepareFrequencySet(texts);
    const auto& s = prepared.slots;

    // Same multiset (zero signs aside): compare both sorted the same way.
    std::vector<double> got(s.begin(), s.end());
    auto byValueThenBits = [](double a, double b) {
      if (a != b) return a < b;
      return a != 0.0 && Bits(a) < Bits(b);
    };
    std::sort(parsed.begin(), parsed.end(), byValueThenBits);
    std::sort(got.begin(), got.end(), byValueThenBits);
    for (std::size_t i = 0; i < kSlotCount; ++i)
      ASSERT_TRUE(SameSlotValue(parsed[i], got[i])) << "value " << i;

    const bool anyNegative =
        std::any_of(s.begin(), s.end(), [](double v) { return v < 0; });
    const bool allEmpty =
        std::all_of(s.begin(), s.end(), [](double v) { return v == 0; });
    EXPECT_EQ(allEmpty, prepared.empty);
    const auto firstEmpty = std::find(s.begin(), s.end(), 0.0) - s.begin();
    for (std::size_t i = 0; i + 1 < kSlotCount; ++i) {
      if (anyNegative || s[i + 1] != 0.0) {
        EXPECT_LE(s[i], s[i + 1]) << "slots " << i + 1 << ", " << i + 2;
      }
      if (!anyNegative && s[i] == 0.0) {
        EXPECT_EQ(0.0, s[i + 1]) << "value after an empty slot " << i + 1;
      }
    }
    if (!anyNegative) {
      // Non-empty values first, ascending; +inf is the last of them.
      for (std::ptrdiff_t i = 0; i < firstEmpty; ++i) {
        EXPECT_NE(0.0, s[i]);
        if (s[i] == kInf) {  // only further copies of +inf may follow
          EXPECT_EQ(kInf, s[firstEmpty - 1]);
        }
      }
    } else if (std::find(s.begin(), s.end(), kInf) != s.end()) {
      EXPECT_EQ(kInf, s[kSlotCount - 1]);
    }
  }
}

}  // namespace
}  // namespace zelmar_test
