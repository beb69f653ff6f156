// Findings as values: what each kind holds, their order, the status of a
// run, and the fast paths of the run checked against the reference model.
#include <charconv>

#include "test_support.h"

namespace zelmar_test {
namespace {

using zelmar::CheckStatus;
using zelmar::RunChannelCheckWithFindings;

ModelFinding Im(std::size_t victim, std::size_t j, std::size_t k) {
  return {FindingKind::kIntermodulation, victim, j, k};
}
ModelFinding Close(std::size_t k, double distance) {
  return {FindingKind::kCloseSpacing, 0, k, k + 1, distance};
}
ModelFinding Same(std::size_t k) {
  return {FindingKind::kSameFrequency, 0, k, k + 1};
}

std::string Lines(const std::vector<ModelFinding>& findings) {
  std::string text;
  for (const auto& f : findings) text += ModelLine(f);
  return text;
}

TEST(Findings, KindsOrderAndStatus) {
  struct Case {
    const char* name;
    FieldTexts texts;
    CheckStatus status;
    std::vector<ModelFinding> findings;
  };
  const std::vector<Case> cases = {
      {"no input", Texts({"", "abc", "-0"}), CheckStatus::kNoInput, {}},
      {"low risk", Texts({"806.125", "807"}), CheckStatus::kLowRisk, {}},
      {"intermodulation before spacing, each in its order",
       Texts({"806.375", "806.125", "806.250"}),
       CheckStatus::kConflicts,
       {Im(3, 1, 2), Im(1, 2, 3), Close(1, 0.125), Close(2, 0.125)}},
      {"the first victim only, upper before lower",
       Texts({"801", "800.5", "800", "799.5"}),
       CheckStatus::kConflicts,
       {Im(3, 1, 2), Im(4, 2, 3), Im(2, 3, 4)}},
      {"same frequency, and the computed distance",
       Texts({"806.35", "806", "806.35", "806.1"}),
       CheckStatus::kConflicts,
       {Close(1, 806.1 - 806.0), Same(3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto report = RunChannelCheckWithFindings(c.texts);
    EXPECT_EQ(c.status, report.status);
    const auto got = AsModel(report.findings);
    EXPECT_EQ(Lines(c.findings), Lines(got));
    EXPECT_EQ(c.findings, got);  // distances bit for bit, too
    EXPECT_EQ(report.result.resultText,
              zelmar::RunChannelCheck(c.texts).resultText);
  }
}

// Whole runs against the model: texts, status and findings, on raster
// entries that make many products coincide, and on the awkward texts.
TEST(Findings, RunMatchesModel) {
  const char* const pool[] = {
      "",      "806.125", "806.25",   "806.375", "806.5",  "806.625", "806.75",
      "807",   "807.25",  "808",      "-1",      "0.0004", "1e999",   "770.1",
      "770.2", "770.3",   "806.0625", "abc",     "-0",     "806.25"};
  auto rng = Rng(0x5eed0701);
  std::size_t findingsSeen = 0;
  for (int iteration = 0; iteration < 4000; ++iteration) {
    FieldTexts texts;
    for (auto& t : texts) t = pool[rng() % std::size(pool)];
    SCOPED_TRACE(::testing::PrintToString(texts));
    const auto report = RunChannelCheckWithFindings(texts);
    const auto want = ModelRun(ParsedTexts(texts));
    ASSERT_EQ(want.status, report.status);
    ASSERT_EQ(Lines(want.findings), Lines(AsModel(report.findings)));
    ASSERT_EQ(want.findings, AsModel(report.findings));
    ASSERT_EQ(want.resultText, report.result.resultText);
    ASSERT_EQ(want.slotTexts, report.result.slotTexts);
    findingsSeen += report.findings.size();
  }
  EXPECT_GT(findingsSeen, 20000u);
}

// Sets of the prepared shape (ascending positive values, empty slots last)
// take the cursor search; any other set the plain one. Both against the
// model, on a raster dense enough to make many products hit.
TEST(Findings, IntermodulationOnPreparedAndOtherSets) {
  std::vector<double> grid = {kInf, 1.0, 1e308};
  for (int i = 0; i < 14; ++i) grid.push_back(806.0 + 0.125 * i);
  auto rng = Rng(0x5eed0702);
  for (int iteration = 0; iteration < 6000; ++iteration) {
    std::vector<double> values(rng() % (kSlotCount + 1));
    for (auto& v : values) v = grid[rng() % grid.size()];
    if (iteration % 4 != 0) std::sort(values.begin(), values.end());
    FrequencySet s{};
    std::copy(values.begin(), values.end(), s.begin());
    SCOPED_TRACE(::testing::PrintToString(s));
    zelmar::Findings findings;
    zelmar::FindIntermodulation(s, findings);
    ASSERT_EQ(ModelIntermodFindings(s), AsModel(findings));
  }
}

// The FormatMHz fast range, 0.01 to 10^13, at every magnitude: values a few
// ulps around a tie at the fourth decimal, where the first rounding to 17
// digits decides, and raster values.
TEST(Findings, FormatMHzAroundTiesAtEveryMagnitude) {
  auto rng = Rng(0x5eed0703);
  for (int i = 0; i < 20000; ++i) {
    const double scale = std::pow(10.0, static_cast<int>(rng() % 16) - 2);
    const double base = std::floor(scale * static_cast<double>(rng() % 1000));
    double v = (i % 3 == 0)
                   ? base / 8.0 + 0.025 * static_cast<double>(rng() % 40)
                   : (base + 0.5) / 1000.0;
    v = FromBits(Bits(v) + rng() % 9 - 4);
    if (!(v > 0.0)) continue;
    SCOPED_TRACE(Describe(v));
    ASSERT_EQ(ModelFormatMHz(v), zelmar::FormatMHz(v));
  }
}

// Plain decimals take a shortcut (one division of exact doubles); it must
// round as a correct conversion does, also at its limits: 2^53, nineteen
// digits, 22 decimals.
TEST(Findings, PlainDecimalsReadLikeACorrectConversion) {
  auto rng = Rng(0x5eed0704);
  for (int i = 0; i < 20000; ++i) {
    std::string text = std::to_string(rng() >> (rng() % 64));
    const std::size_t point = rng() % (text.size() + 2);
    if (point <= text.size()) text.insert(text.size() - point, ".");
    if (i % 5 == 0)
      text.insert(text.find('.') + 1, std::string(rng() % 22, '0'));
    double want = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), want);
    SCOPED_TRACE(text);
    ASSERT_TRUE(SameBits(want, zelmar::ParseFrequencyText(text)));
  }
}

}  // namespace
}  // namespace zelmar_test
