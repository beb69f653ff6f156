// The search against the plain model on random small cases, and the check
// run on every plan it gives.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "plan_model.h"
#include "zelmar/engine.h"
#include "zelmar/planner.h"

namespace zelmar::plan {
namespace {

std::string Show(const std::vector<Khz>& plan) {
  std::string text;
  for (Khz f : plan) {
    text += FormatKhz(f);
    text += ' ';
  }
  return text;
}

bool CheckCallsLowRisk(const std::vector<Khz>& plan) {
  FieldTexts texts;
  for (std::size_t i = 0; i < plan.size(); ++i) texts[i] = FormatKhz(plan[i]);
  return RunChannelCheck(texts).resultText == kLowRiskText;
}

struct RandomCase {
  std::vector<Band> bands;
  std::vector<Range> excludes;
  PlanRequest request;
};

RandomCase MakeCase(std::mt19937_64& rng) {
  auto pick = [&](Khz low, Khz high) {
    return std::uniform_int_distribution<Khz>(low, high)(rng);
  };
  static constexpr Khz kSteps[] = {1, 25, 50, 100, 125, 125, 200, 250, 333};
  static constexpr Khz kSpacings[] = {125, 125, 150, 200, 250, 400};
  static constexpr Khz kGuards[] = {0, 0, 0, 1, 10, 25, 75, 200};
  RandomCase c;
  const Khz base = pick(1, 3) == 1 ? pick(1, 2'000) : pick(470'000, 810'000);
  for (int b = pick(1, 2); b > 0; --b) {
    const Khz step = kSteps[pick(0, 8)];
    const Khz low = base + pick(0, 1'500);
    c.bands.push_back({low, low + step * pick(0, 12), step});
  }
  for (int e = pick(0, 2); e > 0; --e) {
    const Khz low = base + pick(0, 2'500);
    c.excludes.push_back({low, low + (pick(0, 1) ? 0 : pick(0, 500))});
  }
  for (int f = pick(0, 5) / 2; f > 0; --f) {
    c.request.fixed.push_back(base + pick(-300, 3'000));
    if (c.request.fixed.back() <= 0) c.request.fixed.back() = 1;
  }
  c.request.rules.spacing = kSpacings[pick(0, 5)];
  c.request.rules.guard = kGuards[pick(0, 7)];
  const int fixed = static_cast<int>(c.request.fixed.size());
  c.request.count = pick(0, 2) == 0 ? 0 : pick(std::max(1, fixed), 7);
  c.request.candidates = BuildCandidates(c.bands, c.excludes).channels;
  return c;
}

TEST(PlanSearch, AgreesWithTheModelOnRandomSmallCases) {
  std::mt19937_64 rng(20261208);
  int found = 0, none = 0, broken = 0;
  for (int round = 0; round < 4000; ++round) {
    const RandomCase c = MakeCase(rng);
    const PlanRequest& r = c.request;
    SCOPED_TRACE("round " + std::to_string(round) + ", candidates " +
                 Show(r.candidates) + "fixed " + Show(r.fixed) + "spacing " +
                 std::to_string(r.rules.spacing) + " guard " +
                 std::to_string(r.rules.guard) + " count " +
                 std::to_string(r.count));
    ASSERT_EQ(r.candidates, model::Channels(c.bands, c.excludes));
    const model::Answer want =
        model::Solve(r.candidates, r.fixed, r.rules, r.count);
    const PlanOutcome got = FindBestPlan(r, {});
    ASSERT_TRUE(got.proven);
    if (want.fixed_broken) {
      ++broken;
      EXPECT_EQ(got.status, PlanOutcome::Status::kFixedBroken);
      EXPECT_EQ(got.largest, 0);
    } else if (want.plan.empty()) {
      ++none;
      EXPECT_EQ(got.status, PlanOutcome::Status::kNone);
      EXPECT_EQ(got.largest, want.largest);
    } else {
      ++found;
      ASSERT_EQ(got.status, PlanOutcome::Status::kFound);
      EXPECT_EQ(Show(got.plan), Show(want.plan));
      EXPECT_EQ(got.margin, want.margin);
      EXPECT_EQ(got.margin, PlanMargin(got.plan));
      EXPECT_TRUE(CheckCallsLowRisk(got.plan));
    }
  }
  // The generator reaches every kind of answer often enough to matter.
  EXPECT_GT(found, 2000);
  EXPECT_GT(none, 200);
  EXPECT_GT(broken, 140);
}

// A stop asked at once still leaves a valid plan when one was found, and
// never claims a proof.
TEST(PlanSearch, StoppedSearchKeepsAValidPlanUnproven) {
  PlanRequest r;
  r.candidates =
      BuildCandidates(std::vector<Band>{{470'000, 714'000, 25}}, {}).channels;
  ASSERT_EQ(r.candidates.size(), 9761u);
  r.count = 12;
  int asked = 0;
  const PlanOutcome got = FindBestPlan(r, [&](const SearchProgress& p) {
    EXPECT_EQ(p.carriers, 12);
    return ++asked >= 3;
  });
  EXPECT_EQ(asked, 3);
  ASSERT_EQ(got.status, PlanOutcome::Status::kFound);
  EXPECT_FALSE(got.proven);
  ASSERT_EQ(got.plan.size(), 12u);
  EXPECT_EQ(FindViolation(got.plan, r.rules).rule, Violation::Rule::kNone);
  EXPECT_EQ(got.margin, PlanMargin(got.plan));
  EXPECT_TRUE(CheckCallsLowRisk(got.plan));
}

}  // namespace
}  // namespace zelmar::plan
