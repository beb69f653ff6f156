// Runs of the exact search shared between two threads against the same runs
// on one: where a run ends, the plan is the one thread's, whichever thread
// met it first; a run its budget cuts short says so.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "plan_model.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

using Result = Searcher::Result;

std::string Show(const Result& r) {
  if (!r.found) return "none";
  std::string s;
  for (int i = 0; i < r.size; ++i) s += std::to_string(r.plan[i]) + " ";
  return s + "@" + std::to_string(r.score.m[0]) + "/" +
         std::to_string(r.score.m[1]) + "/" + std::to_string(r.score.m[2]);
}

// A wide request of 64 to a few hundred candidates: bands on rasters of
// their own, fixed carriers among them.
PlanRequest RandomWide(std::mt19937_64& rng, std::vector<Khz>& fixed) {
  auto pick = [&](Khz low, Khz high) {
    return std::uniform_int_distribution<Khz>(low, high)(rng);
  };
  PlanRequest r;
  std::vector<Band> bands;
  do {
    bands.clear();
    for (int b = pick(2, 3); b > 0; --b) {
      const Khz step = pick(1, 8) * 25, low = 600'000 + pick(0, 30'000);
      bands.push_back({low, low + step * pick(10, 90), step});
    }
    r.candidates = model::Channels(bands, {});
  } while (r.candidates.size() < 64);
  fixed.clear();
  for (int f = pick(0, 2); f > 0; --f) {
    fixed.push_back(600'000 + pick(0, 30'000));
  }
  std::sort(fixed.begin(), fixed.end());
  r.rules.spacing = pick(125, 400);
  r.rules.guard = pick(0, 2'000);
  if (pick(0, 3) == 0) r.rules.window_3tx3 = pick(0, 100);
  if (pick(0, 4) == 0) r.rules.window_2tx5 = pick(0, 50);
  return r;
}

TEST(SharedRun, TwoThreadsGiveTheOneThreadsPlan) {
  std::mt19937_64 rng(20261210);
  const StopCheck never;
  int runs = 0, found = 0, cut = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<Khz> fixed;
    const PlanRequest r = RandomWide(rng, fixed);
    if (!model::Judge(fixed, r.rules).valid) continue;
    const int target = static_cast<int>(fixed.size()) + 3 + round % 3;
    Budget budget(never);
    Searcher one(r, fixed, target, budget);
    Searcher two(r, fixed, target, budget);
    two.SetThreads(2);
    // The best plan; the first plan at its margin, below it and above it;
    // the best again from its own score, which only the first plan of that
    // score meets; plans from a given lowest carrier.
    Searcher::RunOptions best;
    best.target = target;
    best.mode = Searcher::Mode::kBest;
    const Result top = one.Run(best);
    std::vector<Searcher::RunOptions> asks = {best};
    if (top.found) {
      for (Khz m : {top.score.m[0], top.score.m[0] / 2, top.score.m[0] + 1}) {
        Searcher::RunOptions first;
        first.target = target;
        first.threshold = m;
        asks.push_back(first);
      }
      Searcher::RunOptions tie = best;
      tie.floor = top.score;
      tie.accept_equal = true;
      asks.push_back(tie);
    }
    Searcher::RunOptions lowest;
    lowest.target = target;
    lowest.lowest = r.candidates.size() / 8;
    asks.push_back(lowest);
    for (const Searcher::RunOptions& ask : asks) {
      SCOPED_TRACE("round " + std::to_string(round) + " threshold " +
                   std::to_string(ask.threshold) + " mode " +
                   std::to_string(static_cast<int>(ask.mode)));
      const Result want = one.Run(ask);
      ASSERT_FALSE(one.cut());
      const Result got = two.Run(ask);
      EXPECT_FALSE(two.cut());
      EXPECT_EQ(Show(got), Show(want));
      ++runs;
      found += want.found;
      // Cut short, a run that would have found a plan says so.
      Searcher::RunOptions short_ask = ask;
      short_ask.node_budget = 3;
      const Result part = two.Run(short_ask);
      if (want.found && !part.found) {
        EXPECT_TRUE(two.cut());
        ++cut;
      }
    }
  }
  EXPECT_GT(runs, 200);
  EXPECT_GT(found, 100);
  EXPECT_GT(cut, 50);
}

}  // namespace
}  // namespace zelmar::plan
