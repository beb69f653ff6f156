// Number texts, candidate channels, and the claim that a plan valid in whole
// kilohertz is always low-risk for the check's doubles.
#include <gtest/gtest.h>

#include <limits>
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

// Products may lie below zero: their text keeps the sign, as the check's
// own text of the same value does, at the edges of each thousand.
TEST(PlanNumbers, FormatKhzWritesNegativeValuesWithTheirSign) {
  for (const Khz khz : {Khz{0}, Khz{-1}, Khz{-80}, Khz{-999}, Khz{-1000},
                        Khz{-1001}, Khz{-70'000}, -kMaxKhz, kMaxKhz}) {
    const std::string text = FormatKhz(khz);
    EXPECT_EQ(text, FormatMHz(static_cast<double>(khz) / 1000.0)) << khz;
    EXPECT_EQ(text.starts_with('-'), khz < 0) << text;
    EXPECT_EQ(text.substr(khz < 0), FormatKhz(khz < 0 ? -khz : khz)) << text;
  }
  const std::string lowest = FormatKhz(std::numeric_limits<Khz>::min());
  EXPECT_EQ(lowest.substr(1, lowest.size() - 5),
            std::to_string(std::numeric_limits<Khz>::max() / 1000));
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

namespace zelmar::plan {
namespace {

// Hand-checked products of each family: the margin and its witness.
TEST(PlanFamilies, MarginsAndWitnessesOfHandCheckedPlans) {
  struct Case {
    std::vector<Khz> plan;
    Family family;
    std::optional<Khz> margin;
    Product witness;  // when a margin is expected
  };
  const Case cases[] = {
      // 2*806.375 - 806.125 = 806.625, 0.250 from 806.875.
      {{806'125, 806'375, 806'875},
       Family::k2tx3,
       250,
       {Family::k2tx3, {806'125, 806'375}, 2, 806'625, 806'875}},
      // 806.125 + 806.875 = 806.250 + 806.750: a product on a carrier.
      {{806'125, 806'250, 806'750, 806'875},
       Family::k3tx3,
       0,
       {Family::k3tx3, {806'125, 806'250, 806'875}, 3, 806'750, 806'750}},
      // 806.125 + 807.750 - 806.500 = 807.375, 0.125 from 807.250.
      {{806'125, 806'500, 807'250, 807'750},
       Family::k3tx3,
       125,
       {Family::k3tx3, {806'125, 806'500, 807'750}, 3, 807'375, 807'250}},
      // 3*806.500 - 2*806.125 = 807.250, 0.250 from 807.500.
      {{806'125, 806'500, 807'500},
       Family::k2tx5,
       250,
       {Family::k2tx5, {806'125, 806'500}, 2, 807'250, 807'500}},
      {{806'125, 806'500}, Family::k2tx3, std::nullopt, {}},
      {{806'125, 806'500, 807'000}, Family::k3tx3, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    const PlanFigures figures = MeasurePlan(c.plan);
    const int f = static_cast<int>(c.family);
    EXPECT_EQ(figures.margins[f], c.margin) << c.plan[0];
    if (!c.margin) continue;
    const Product& q = *figures.closest[f];
    EXPECT_EQ(q.carriers, c.witness.carriers);
    EXPECT_EQ(q.product, c.witness.product);
    EXPECT_EQ(q.victim, c.witness.victim);
  }
  // A window makes the same plans invalid, one violation per coincidence.
  Rules rules;
  rules.window_3tx3 = 125;
  const std::vector<Khz> plan = {806'125, 806'500, 807'250, 807'750};
  const auto found = FindViolations(plan, rules);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].product.family, Family::k3tx3);
}

TEST(PlanPresets, BBandAndTvChannels) {
  EXPECT_EQ(BBandChannel(806'125), 1);
  EXPECT_EQ(BBandChannel(809'750), 30);
  EXPECT_EQ(BBandChannel(806'200), 0);
  EXPECT_EQ(TvChannelRange(13).low, 470'000);
  EXPECT_EQ(TvChannelRange(52).high, 710'000);
  const Band ch21 = *TvChannelBand(21, 25, 0);
  EXPECT_EQ(ch21.low, 518'000);
  EXPECT_EQ(ch21.high, 523'975);  // the channel's high end is not a carrier
  const Band edged = *TvChannelBand(21, 125, 100);
  EXPECT_EQ(edged.low, 518'125);
  EXPECT_EQ(edged.high, 523'875);
  EXPECT_FALSE(TvChannelBand(12, 25, 0));
  EXPECT_FALSE(TvChannelBand(21, 7'500, 0));
  EXPECT_FALSE(TvChannelBand(21, 25, 3'000));
  EXPECT_EQ(TvChannelOf(523'999), 21);
  EXPECT_EQ(TvChannelOf(524'000), 22);
  EXPECT_EQ(TvChannelOf(469'999), 0);
}

// The library refuses what it cannot take, with a code, before any search.
TEST(PlanRequests, RefusedWithACode) {
  const auto refused = [](auto change) {
    PlanRequest r;
    r.candidates = {806'125, 806'375, 806'625};
    r.count = 2;
    change(r);
    const PlanOutcome o = FindBestPlan(r, {});
    EXPECT_EQ(o.status == PlanOutcome::Status::kRefused,
              o.error != RequestError::kNone);
    return o.error;
  };
  EXPECT_EQ(refused([](PlanRequest&) {}), RequestError::kNone);
  EXPECT_EQ(refused([](PlanRequest& r) { r.count = 65; }),
            RequestError::kCountTooLarge);
  EXPECT_EQ(refused([](PlanRequest& r) { r.fixed.assign(65, 1); }),
            RequestError::kTooManyFixed);
  EXPECT_EQ(refused([](PlanRequest& r) {
              r.fixed = {1, 2, 3};
            }),
            RequestError::kCountBelowFixed);
  EXPECT_EQ(refused([](PlanRequest& r) { r.fixed = {kMaxKhz + 1}; }),
            RequestError::kFrequencyOutOfRange);
  EXPECT_EQ(refused([](PlanRequest& r) { r.rules.spacing = 124; }),
            RequestError::kSpacingBelowCheck);
  EXPECT_EQ(refused([](PlanRequest& r) {
              r.candidates = {2, 1};
            }),
            RequestError::kCandidatesUnordered);
  EXPECT_EQ(refused([](PlanRequest& r) { r.group_counts = {1}; }),
            RequestError::kBadGroups);
  EXPECT_EQ(refused([](PlanRequest& r) {
              r.groups = {0, 0, 0};
              r.group_counts = {1};
            }),
            RequestError::kCountNotGroupSum);
}

}  // namespace
}  // namespace zelmar::plan
