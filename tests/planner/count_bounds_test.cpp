// The bounds on how many carriers fit, against every subset of small
// random requests: never below the most any valid plan holds, and the
// spacing's exact.
#include "count_bounds.h"

#include <gtest/gtest.h>

#include <random>

#include "plan_model.h"

namespace zelmar::plan {
namespace {

// The most carriers of any subset of the candidates that, with every
// fixed carrier, keeps `keeps`.
template <class Keeps>
int MostOfAnySubset(const std::vector<Khz>& candidates,
                    const std::vector<Khz>& fixed, Keeps&& keeps) {
  int most = -1;
  for (std::uint32_t mask = 0; mask < (1u << candidates.size()); ++mask) {
    std::vector<Khz> plan = fixed;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (mask >> i & 1) plan.push_back(candidates[i]);
    }
    std::sort(plan.begin(), plan.end());
    if (keeps(plan)) most = std::max(most, static_cast<int>(plan.size()));
  }
  return most;
}

bool Spaced(const std::vector<Khz>& plan, Khz spacing) {
  for (std::size_t i = 1; i < plan.size(); ++i) {
    if (plan[i] - plan[i - 1] <= spacing) return false;
  }
  return true;
}

struct Random {
  std::mt19937_64 engine{20261210};
  Khz Pick(std::initializer_list<Khz> values) {
    return *(values.begin() + engine() % values.size());
  }
  Khz Below(Khz n) { return static_cast<Khz>(engine() % n); }
};

// Up to 12 candidates on a raster, a few left out, and at most one fixed
// carrier on it.
PlanRequest RandomRequest(Random& r) {
  PlanRequest request;
  const Khz step = r.Pick({25, 50, 125});
  const Khz low = 600'000 + 1'000 * r.Below(10);
  for (int i = 0, n = 6 + r.Below(7); i < n; ++i) {
    if (r.Below(4) != 0) request.candidates.push_back(low + step * 2 * i);
  }
  if (r.Below(3) == 0)
    request.fixed.push_back(low + step * (1 + 2 * r.Below(6)));
  request.rules.spacing = r.Pick({125, 150, 200, 300});
  request.rules.guard = r.Pick({0, 25, 100, 200});
  if (r.Below(4) != 0) request.rules.window_3tx3 = r.Pick({0, 25, 100, 150});
  return request;
}

TEST(CountBounds, TheSpacingBoundIsTheMostOfAnySubset) {
  Random r;
  for (int round = 0; round < 300; ++round) {
    const PlanRequest q = RandomRequest(r);
    const int most = MostOfAnySubset(q.candidates, q.fixed, [&](const auto& p) {
      return Spaced(p, q.rules.spacing);
    });
    if (most < 0) continue;  // the fixed carriers alone are too close
    EXPECT_EQ(SpacedMost(q.candidates, q.fixed, q.rules.spacing), most)
        << round;
  }
}

TEST(CountBounds, NoValidPlanHoldsMoreThanTheRulesAllow) {
  Random r;
  int bound_below_spacing = 0;
  for (int round = 0; round < 300; ++round) {
    const PlanRequest q = RandomRequest(r);
    if (!model::Judge(q.fixed, q.rules).valid) continue;
    const int most = MostOfAnySubset(q.candidates, q.fixed, [&](const auto& p) {
      return model::Judge(p, q.rules).valid;
    });
    const int spread = SpreadDifferencesMost(q.candidates, q.fixed, q.rules);
    EXPECT_GE(spread, most) << round;
    EXPECT_GE(MostByRules(q, q.fixed), most) << round;
    bound_below_spacing +=
        spread < SpacedMost(q.candidates, q.fixed, q.rules.spacing);
  }
  // The spread of the differences bounds more than the spacing alone does
  // in a good share of the cases, or the check above would test little.
  EXPECT_GT(bound_below_spacing, 30);
}

TEST(CountBounds, TheDifferencesOfAPlanSpreadOverItsSpan) {
  // Eleven channels of 125 kHz, exact 3tx3: 4 carriers need 6 distinct
  // differences of at least two steps (spacing 0.125) in ten steps, which
  // fit; 5 need 10, and their gaps 2 + 3 + 4 + 5 steps exceed ten.
  PlanRequest q;
  for (Khz f = 806'125; f <= 807'375; f += 125) q.candidates.push_back(f);
  q.rules.window_3tx3 = 0;
  EXPECT_EQ(SpreadDifferencesMost(q.candidates, {}, q.rules), 4);
  q.rules.window_3tx3.reset();
  EXPECT_EQ(SpreadDifferencesMost(q.candidates, {}, q.rules), kMaxCarriers);
}

}  // namespace
}  // namespace zelmar::plan
