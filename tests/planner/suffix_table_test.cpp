// The suffix table of wide rasters against the plain model: each entry is
// the most new carriers any valid plan draws from that candidate on, built
// whole or in slices, and a table that reaches the count hands out a valid
// plan of it.
#include <gtest/gtest.h>

#include <random>

#include "plan_model.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

TEST(SuffixTable, EveryEntryIsTheModelsLargestPlanFromThere) {
  std::mt19937_64 rng(20261210);
  auto pick = [&](Khz low, Khz high) {
    return std::uniform_int_distribution<Khz>(low, high)(rng);
  };
  const StopCheck never;
  int entries = 0, plans = 0;
  for (int round = 0; round < 150; ++round) {
    PlanRequest r;
    std::vector<Band> bands;
    for (int b = pick(2, 3); b > 0; --b) {
      const Khz step = pick(1, 8) * 50, low = 600'000 + pick(0, 20'000);
      bands.push_back({low, low + step * pick(0, 4), step});
    }
    r.candidates = model::Channels(bands, {});
    std::vector<Khz> fixed;
    for (int f = pick(0, 2); f > 0; --f)
      fixed.push_back(600'000 + pick(0, 20'000));
    std::sort(fixed.begin(), fixed.end());
    r.rules.spacing = pick(125, 400);
    r.rules.guard = pick(0, 3'000);  // the table's margin is one above it
    if (pick(0, 3) == 0) r.rules.window_3tx3 = pick(0, 100);
    // Fixed carriers that break a rule are refused before any search.
    if (!model::Judge(fixed, r.rules).valid) continue;
    const Khz threshold = r.rules.guard + 1;
    const int fixed_count = static_cast<int>(fixed.size());
    const int all = fixed_count + static_cast<int>(r.candidates.size());
    const auto largest = [&](std::size_t from) {
      const std::vector<Khz> tail(r.candidates.begin() + from,
                                  r.candidates.end());
      const model::Answer a = model::Solve(tail, fixed, r.rules, 0);
      return *a.largest - fixed_count;
    };
    Budget budget(never);
    Searcher whole(r, fixed, all, budget);
    whole.RefineSuffix(threshold, all, UINT64_MAX / 2);
    const SuffixTable& table = whole.suffix();
    ASSERT_EQ(table.from, 0u);
    for (std::size_t i = 0; i < r.candidates.size(); ++i, ++entries) {
      SCOPED_TRACE("round " + std::to_string(round) + " entry " +
                   std::to_string(i));
      EXPECT_EQ(table.most[i], largest(i));
    }
    // Built in slices of growing budgets, as the rounds build it, the table
    // goes on where the last slice ended and comes out the same.
    Searcher sliced(r, fixed, all, budget);
    for (std::uint64_t slice = 16; sliced.suffix().from != 0 || slice == 16;
         slice *= 2) {
      sliced.RefineSuffix(threshold, all, slice);
    }
    EXPECT_EQ(sliced.suffix().most, table.most);
    // Asked for the largest count, the table meets a plan of it.
    const int most = fixed_count + largest(0);
    if (most == fixed_count) continue;
    Searcher counted(r, fixed, all, budget);
    const Searcher::Result plan =
        counted.RefineSuffix(threshold, most, UINT64_MAX / 2);
    ASSERT_TRUE(plan.found);
    ASSERT_EQ(plan.size, most);
    const std::vector<Khz> carriers(plan.plan.begin(),
                                    plan.plan.begin() + most);
    EXPECT_TRUE(model::Judge(carriers, r.rules).valid);
    EXPECT_TRUE(counted.SuffixRefutes(threshold, most + 1));
    ++plans;
  }
  EXPECT_GT(entries, 1'000);
  EXPECT_GT(plans, 100);
}

}  // namespace
}  // namespace zelmar::plan
