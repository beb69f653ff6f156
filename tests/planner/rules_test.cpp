// Number texts, candidate channels, and the claim that a plan valid in whole
// kilohertz is always low-risk for the check's doubles.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "plan_model.h"
#include "zelmar/engine.h"
#include "zelmar/planner.h"

namespace zelmar::plan {
namespace {

TEST(PlanNumbers, ReadMHzTakesOnlyPlainDecimalsWithAtMostThreeDecimals) {
  const std::pair<const char*, Khz> good[] = {
      {"806.125", 806'125}, {"806.1", 806'100},   {"806", 806'000},
      {"0.001", 1},         {"0806.50", 806'500}, {"999999.999", kMaxKhz}};
  for (const auto& [text, khz] : good) {
    EXPECT_EQ(ReadMHz(text).error, NumberError::kNone) << text;
    EXPECT_EQ(ReadMHz(text).khz, khz) << text;
  }
  const std::pair<NumberError, std::vector<const char*>> bad[] = {
      {NumberError::kTooManyDecimals, {"806.1250", "0.0001"}},
      {NumberError::kTooLarge, {"1000000", "99999999999999999999"}},
      {NumberError::kNotPositive, {"0", "0.000", "-806.125", "-0"}},
      {NumberError::kMalformed,
       {"", ".5", "806.", "+806", "8e2", " 806", "806 ", "806,125", "806.1.2",
        "0x10", "inf", "806.12a"}}};
  for (const auto& [error, texts] : bad) {
    for (const char* text : texts) {
      EXPECT_EQ(ReadMHz(text).error, error) << text;
      EXPECT_EQ(ReadMHz(text).khz, 0) << text;
    }
  }
  EXPECT_EQ(ReadMHz("0.000", true).error, NumberError::kNone);
}

// The planner's own text of a frequency is the check's text of the same
// value, for every kilohertz up to the largest accepted.
TEST(PlanNumbers, FormatKhzAgreesWithTheCheckAndReadsBack) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<Khz> any(1, kMaxKhz);
  for (int i = 0; i < 200'000; ++i) {
    const Khz khz = i < 2000   ? i + 1
                    : i < 4000 ? kMaxKhz - (i - 2000)
                               : any(rng);
    const std::string text = FormatKhz(khz);
    ASSERT_EQ(text, FormatMHz(static_cast<double>(khz) / 1000.0)) << khz;
    ASSERT_EQ(ReadMHz(text).khz, khz) << text;
  }
}

TEST(PlanCandidates, HugeBandsStopAtTheCapAndHugeExclusionsAreOneJump) {
  const std::vector<Band> all{{1, kMaxKhz, 1}};
  EXPECT_EQ(BuildCandidates(all, {}).channels.size(), kMaxCandidates);
  EXPECT_TRUE(BuildCandidates(all, {}).too_many);
  EXPECT_EQ(BuildCandidates(all, std::vector<Range>{{2, kMaxKhz - 1}}).channels,
            (std::vector<Khz>{1, kMaxKhz}));
}

// Random plans, many of them just inside the rules (spacing 126 kHz,
// products 1 kHz off a carrier) and near powers of two, where the check's
// doubles round differently: whenever the integer rules hold, the check
// finds nothing, so zelmar-plan's internal error cannot be reached.
TEST(PlanRules, ValidInKilohertzMeansLowRiskForTheCheck) {
  std::mt19937_64 rng(12);
  auto pick = [&](Khz low, Khz high) {
    return std::uniform_int_distribution<Khz>(low, high)(rng);
  };
  int valid = 0;
  for (int round = 0; round < 300'000; ++round) {
    Khz base = pick(1, kMaxKhz / 2);
    if (round % 2 == 0) base = (Khz{1} << pick(0, 29)) - pick(0, 3000);
    std::vector<Khz> plan;
    const int size = static_cast<int>(pick(2, 12));
    Khz x = std::max<Khz>(base, 1);
    for (int i = 0; i < size; ++i) {
      plan.push_back(x);
      x += pick(0, 3) == 0 ? pick(126, 129) : pick(126, 5000);
    }
    // Pull one carrier 1 kHz off (or onto) a product of two others.
    if (size >= 3 && pick(0, 1) == 0) {
      const Khz product = 2 * plan[1] - plan[0] + pick(-1, 1);
      if (product > plan[1] + 125) plan[2] = product;
    }
    if (plan.back() > kMaxKhz) continue;
    const Rules rules;
    const bool ok = FindViolation(plan, rules).rule == Violation::Rule::kNone;
    ASSERT_EQ(ok, model::Judge(plan, rules).valid);
    if (!ok) continue;
    ++valid;
    FieldTexts texts;
    for (std::size_t i = 0; i < plan.size(); ++i) texts[i] = FormatKhz(plan[i]);
    ASSERT_EQ(RunChannelCheck(texts).resultText, kLowRiskText)
        << texts[0] << " " << texts[1] << " " << texts[2];
  }
  EXPECT_GT(valid, 100'000);
}

}  // namespace
}  // namespace zelmar::plan
