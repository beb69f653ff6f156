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

struct ReadCase {
  const char* text;
  Khz khz;
  NumberError error;
};

TEST(PlanNumbers, ReadMHzTakesOnlyPlainDecimalsWithAtMostThreeDecimals) {
  using E = NumberError;
  const ReadCase cases[] = {
      {"806.125", 806'125, E::kNone},
      {"806.1", 806'100, E::kNone},
      {"806", 806'000, E::kNone},
      {"0.001", 1, E::kNone},
      {"0806.50", 806'500, E::kNone},
      {"999999.999", kMaxKhz, E::kNone},
      {"806.1250", 0, E::kTooManyDecimals},
      {"0.0001", 0, E::kTooManyDecimals},
      {"1000000", 0, E::kTooLarge},
      {"99999999999999999999", 0, E::kTooLarge},
      {"0", 0, E::kNotPositive},
      {"0.000", 0, E::kNotPositive},
      {"-806.125", 0, E::kNotPositive},
      {"-0", 0, E::kNotPositive},
      {"", 0, E::kMalformed},
      {".5", 0, E::kMalformed},
      {"806.", 0, E::kMalformed},
      {"+806", 0, E::kMalformed},
      {"8e2", 0, E::kMalformed},
      {" 806", 0, E::kMalformed},
      {"806 ", 0, E::kMalformed},
      {"806,125", 0, E::kMalformed},
      {"806.1.2", 0, E::kMalformed},
      {"0x10", 0, E::kMalformed},
      {"inf", 0, E::kMalformed},
      {"806.12a", 0, E::kMalformed},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.text);
    const NumberReading r = ReadMHz(c.text);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.khz, c.khz);
  }
  EXPECT_EQ(ReadMHz("0", true).error, NumberError::kNone);
  EXPECT_EQ(ReadMHz("0.000", true).khz, 0);
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

TEST(PlanCandidates, BandsMergeAndExclusionsCut) {
  std::mt19937_64 rng(11);
  auto pick = [&](Khz low, Khz high) {
    return std::uniform_int_distribution<Khz>(low, high)(rng);
  };
  for (int round = 0; round < 2000; ++round) {
    std::vector<Band> bands;
    std::vector<Range> excludes;
    for (int b = pick(0, 3); b > 0; --b) {
      const Khz low = pick(1, 2000), step = pick(1, 400);
      bands.push_back({low, low + pick(0, 3000), step});
    }
    for (int e = pick(0, 3); e > 0; --e) {
      const Khz low = pick(1, 4000);
      excludes.push_back({low, low + pick(0, 800)});
    }
    const std::vector<Khz> want = model::Channels(bands, excludes);
    ASSERT_EQ(BuildCandidates(bands, excludes).channels, want);
    if (!want.empty()) {
      const Candidates capped =
          BuildCandidates(bands, excludes, want.size() - 1);
      EXPECT_TRUE(capped.too_many);
      EXPECT_FALSE(BuildCandidates(bands, excludes, want.size()).too_many);
    }
  }
}

TEST(PlanCandidates, HugeBandsStopAtTheCapAndHugeExclusionsAreOneJump) {
  const std::vector<Band> all{{1, kMaxKhz, 1}};
  const Candidates capped = BuildCandidates(all, {});
  EXPECT_TRUE(capped.too_many);
  EXPECT_EQ(capped.channels.size(), kMaxCandidates);
  const std::vector<Range> most{{2, kMaxKhz - 1}};
  EXPECT_EQ(BuildCandidates(all, most).channels,
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

TEST(PlanRules, MarginIsTheSmallestProductDistance) {
  std::mt19937_64 rng(13);
  for (int round = 0; round < 20'000; ++round) {
    std::vector<Khz> plan;
    for (int i = std::uniform_int_distribution<int>(0, 7)(rng); i > 0; --i) {
      plan.push_back(std::uniform_int_distribution<Khz>(1, 5000)(rng));
    }
    ASSERT_EQ(PlanMargin(plan), model::Judge(plan, Rules{}).margin);
  }
}

}  // namespace
}  // namespace zelmar::plan
