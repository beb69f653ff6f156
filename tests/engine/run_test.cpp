// The whole run behind the Calculate button: result text, slot texts, and
// what a second run over the texts written back into the fields gives.
#include <charconv>

#include "test_support.h"

namespace zelmar_test {
namespace {

using zelmar::kLowRiskText;
using zelmar::kNoInputText;
using zelmar::RunChannelCheck;

const std::string kNoInput = "周波数を入力してください。\r\n";
const std::string kLowRisk = "混信の恐れは低いと思われます。\r\n";

TEST(RunChannelCheck, FixedTexts) {
  EXPECT_EQ(kNoInput, kNoInputText);
  EXPECT_EQ(kLowRisk, kLowRiskText);
}

struct RunCase {
  const char* name;
  FieldTexts texts;
  std::vector<const char*> slotTexts;  // from F1 on; the rest empty
  std::string resultText;
};

TEST(RunChannelCheck, EdgeCases) {
  const FieldTexts noNumbers = {"0", "-0", "0.000", "abc", "",  "-",
                                ".", " ",  "inf",   "-.",  "+", "\xE3\x80\x80"};
  const std::vector<RunCase> cases = {
      {"all empty", FieldTexts{}, {}, kNoInput},
      {"all read as zero", noNumbers, {}, kNoInput},
      {"one value", Texts({"806.125"}), {"806.125"}, kLowRisk},
      {"fields come back sorted",
       Texts({"806.250", "806.125"}),
       {"806.125", "806.250"},
       CloseLine(1, "0.125")},
      {"three decimals",
       Texts({"806.1", "", "900"}),
       {"806.100", "900.000"},
       kLowRisk},
      {"tie rounds up",
       Texts({"806.0625", "1"}),
       {"1.000", "806.063"},
       kLowRisk},
      {"tiny value is a slot",
       Texts({"0.0004", "0.0008"}),
       {"0.000", "0.001"},
       CloseLine(1, "0.000")},
      {"0.000 read back is empty",
       Texts({"0.000", "0.001"}),
       {"0.001"},
       kLowRisk},
      {"negative", Texts({"-5"}), {"-5.000"}, kLowRisk},
      {"negative and positive",
       Texts({"0.1", "-5"}),
       {"-5.000", "", "", "", "", "", "", "", "", "", "", "0.100"},
       CloseLine(11, "0.100")},
      {"infinity", Texts({"1e999", "806"}), {"806.000", "1e999"}, kLowRisk},
      {"intermodulation lines before spacing lines",
       Texts({"806.375", "806.125", "806.250"}),
       {"806.125", "806.250", "806.375"},
       "●F3は、F1とF2の相互変調で混信\r\n"
       "●F1は、F2とF3の相互変調で混信\r\n"
       "●F1とF2は、0.125MHz接近しています。\r\n"
       "●F2とF3は、0.125MHz接近しています。\r\n"},
      {"same frequency three times",
       Texts({"800", "800.000", " 8e2"}),
       {"800.000", "800.000", "800.000"},
       "●F3は、F1とF2の相互変調で混信\r\n"
       "●F1は、F2とF3の相互変調で混信\r\n"
       "●F1とF2は、同一周波数です。\r\n"
       "●F2とF3は、同一周波数です。\r\n"},
      {"close but no intermodulation",
       Texts({"770.1", "770.2", "770.3"}),
       {"770.100", "770.200", "770.300"},
       CloseLine(1, "0.100") + CloseLine(2, "0.100")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = RunChannelCheck(c.texts);
    EXPECT_EQ(c.resultText, result.resultText);
    for (std::size_t i = 0; i < kSlotCount; ++i)
      EXPECT_EQ(i < c.slotTexts.size() ? c.slotTexts[i] : "",
                result.slotTexts[i])
          << "slot F" << i + 1;
  }
}

TEST(RunChannelCheck, SingleValueInAnyField) {
  for (std::size_t field = 0; field < kSlotCount; ++field) {
    FieldTexts texts{};
    texts[field] = "806.125";
    SCOPED_TRACE("field F" + std::to_string(field + 1));
    const auto result = RunChannelCheck(texts);
    EXPECT_EQ(kLowRisk, result.resultText);
    EXPECT_EQ("806.125", result.slotTexts[0]);
    for (std::size_t i = 1; i < kSlotCount; ++i)
      EXPECT_EQ("", result.slotTexts[i]);
  }
}

const char* const kPool[] = {
    "",        "",      "abc",     "0",        "-0",         "0.0004",
    "-0.0001", "806.1", "806.125", "806.25",   "806.375",    "806.0625",
    "806.5",   "-5",    "-0.05",   "0.1",      "1e999",      "-1e999",
    "770.1",   "770.2", "770.3",   "806.1254", "511.877",    "512.002",
    "800",     "801",   "802",     "803",      "  806.75MHz"};

FieldTexts RandomTexts(std::mt19937_64& rng) {
  FieldTexts texts;
  const std::size_t used = rng() % (kSlotCount + 1);
  for (std::size_t i = 0; i < kSlotCount; ++i)
    texts[i] = i < used ? kPool[rng() % std::size(kPool)] : "";
  std::shuffle(texts.begin(), texts.end(), rng);
  return texts;
}

// The run is the composition of its steps: the prepared set, the two
// checks' lines in order (or a fixed text), and a text per non-empty slot.
TEST(RunChannelCheck, ComposesPreparationChecksAndTexts) {
  auto rng = Rng(0x5eed0501);
  for (int iteration = 0; iteration < 3000; ++iteration) {
    const FieldTexts texts = RandomTexts(rng);
    SCOPED_TRACE(::testing::PrintToString(texts));
    const auto prepared = zelmar::PrepareFrequencySet(texts);
    const auto result = RunChannelCheck(texts);
    const std::string report =
        ModelIntermod(prepared.slots) + ModelSpacing(prepared.slots);
    EXPECT_EQ(prepared.empty   ? kNoInput
              : report.empty() ? kLowRisk
                               : report,
              result.resultText);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      const double v = prepared.slots[i];
      EXPECT_EQ(v == 0.0, result.slotTexts[i].empty()) << "slot " << i + 1;
      if (std::isfinite(v) && v != 0.0) {
        EXPECT_EQ(ModelFormatMHz(v), result.slotTexts[i]);
      }
    }
  }
}

// Texts in or near the form the run writes: a slot shows exactly what the
// model writes for the value, whether or not the field held that text.
TEST(RunChannelCheck, TextsInAndNearTheWrittenForm) {
  const char* const signs[] = {"", "", "-", "+", " "};
  const char* const tails[] = {"", "", "", "0", "5", "MHz", "e1", "."};
  auto rng = Rng(0x5eed0503);
  auto digits = [&](std::size_t n) {
    std::string d;
    for (std::size_t i = 0; i < n; ++i) d += "0599123"[rng() % 7];
    return d;
  };
  for (int iteration = 0; iteration < 3000; ++iteration) {
    FieldTexts texts;
    for (auto& t : texts) {
      const std::string integer = digits(rng() % 16);
      const std::string point = rng() % 8 == 0 ? "" : ".";
      t = signs[rng() % 5] + integer + point + digits(2 + rng() % 3) +
          tails[rng() % 8];
      if (t.find_first_not_of("-0123456789.") == std::string::npos &&
          std::count(t.begin(), t.end(), '.') <= 1 && t != "-") {
        double want = 0.0;
        std::from_chars(t.data(), t.data() + t.size(), want);
        ASSERT_TRUE(SameBits(want, zelmar::ParseFrequencyText(t))) << t;
      }
    }
    SCOPED_TRACE(::testing::PrintToString(texts));
    ASSERT_EQ(ModelRun(ParsedTexts(texts)).slotTexts,
              RunChannelCheck(texts).slotTexts);
  }
}

// Running again on the texts a run wrote back changes nothing, except that
// slots shown as 0.000 (or -0.000) are now empty and move like empty slots.
TEST(RunChannelCheck, SecondRunOnWrittenBackTexts) {
  auto rng = Rng(0x5eed0502);
  for (int iteration = 0; iteration < 3000; ++iteration) {
    const FieldTexts texts = RandomTexts(rng);
    SCOPED_TRACE(::testing::PrintToString(texts));
    const auto first = RunChannelCheck(texts);
    const auto second = RunChannelCheck(first.slotTexts);
    const auto third = RunChannelCheck(second.slotTexts);

    std::vector<std::string> expected(first.slotTexts.begin(),
                                      first.slotTexts.end());
    for (auto& text : expected)
      if (text == "0.000" || text == "-0.000") text.clear();
    const bool anyNegative = std::any_of(
        expected.begin(), expected.end(),
        [](const std::string& t) { return !t.empty() && t[0] == '-'; });
    if (!anyNegative)
      std::stable_partition(expected.begin(), expected.end(),
                            [](const std::string& t) { return !t.empty(); });
    for (std::size_t i = 0; i < kSlotCount; ++i)
      EXPECT_EQ(expected[i], second.slotTexts[i]) << "slot " << i + 1;
    EXPECT_EQ(second.slotTexts, third.slotTexts);
    EXPECT_EQ(second.resultText, third.resultText);
  }
}

}  // namespace
}  // namespace zelmar_test
