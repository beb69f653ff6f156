// The count of broken rules that the walks on broken rules move by, against
// the model's literal count, for one group and several, on rasters with and
// without a table of steps.
#include "conflicts.h"

#include <gtest/gtest.h>

#include <random>

#include "budget.h"
#include "group_model.h"
#include "plan_model.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

struct Case {
  std::vector<GroupRules> groups;
  std::vector<Khz> candidates;  // of group `group`
  int group = 0;
  std::vector<Carrier> carriers;  // some may be equal

  std::vector<Khz> khz() const {
    std::vector<Khz> v;
    for (const Carrier& c : carriers) v.push_back(c.khz);
    return v;
  }
  std::vector<int> of_groups() const {
    std::vector<int> v;
    for (const Carrier& c : carriers) v.push_back(c.group);
    return v;
  }
};

// One to three groups under the rules of analog mics and in-ear monitors,
// and tighter and looser ones, some families judged by some groups only;
// candidates on a 25 kHz raster of a few MHz, or a few spread over more
// than a million 1 kHz steps.
Case RandomCase(std::mt19937_64& rng) {
  const auto pick = [&](Khz low, Khz high) {
    return low +
           static_cast<Khz>(rng() % static_cast<std::uint64_t>(high - low + 1));
  };
  Case c;
  // Windows of whole raster steps as often as not, so that values fall on
  // the edges of the windows.
  const Khz unit = pick(0, 1) == 0 ? 25 : 1;
  for (Khz g = pick(1, 3); g > 0; --g) {
    GroupRules r;
    r.rules.spacing = pick(0, 400 / unit) * unit;
    r.rules.guard = pick(0, 250 / unit) * unit;
    if (pick(0, 2) > 0) r.rules.window_3tx3 = pick(0, 200 / unit) * unit;
    if (pick(0, 2) == 0) r.rules.window_2tx5 = pick(0, 100 / unit) * unit;
    r.apart = pick(0, 1) == 0 ? 0 : pick(0, 1'000 / unit) * unit;
    c.groups.push_back(r);
  }
  const int groups = static_cast<int>(c.groups.size());
  c.group = static_cast<int>(pick(0, groups - 1));
  if (pick(0, 3) > 0) {
    const Khz low = pick(470, 700) * 1000;
    for (Khz f = low; f <= low + 4'000; f += 25) c.candidates.push_back(f);
  } else {
    for (int i = 0; i < 60; ++i) {
      c.candidates.push_back(pick(100'000, 1'300'000));
    }
    c.candidates.push_back(100'000);
    c.candidates.push_back(1'300'000);
    std::sort(c.candidates.begin(), c.candidates.end());
    c.candidates.erase(std::unique(c.candidates.begin(), c.candidates.end()),
                       c.candidates.end());
  }
  for (Khz n = pick(0, 9); n > 0; --n) {
    c.carriers.push_back({c.candidates[rng() % c.candidates.size()],
                          static_cast<int>(pick(0, groups - 1))});
  }
  return c;
}

TEST(ConflictCount, CountsWhatTheModelCounts) {
  std::mt19937_64 rng(20261211);
  for (int trial = 0; trial < 400; ++trial) {
    const Case c = RandomCase(rng);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ConflictCount count(ConflictRules::OfGroups(c.groups), c.candidates,
                        c.group);
    std::vector<int> per;
    const model::Broken want = model::BrokenRules(c.carriers, c.groups);
    ASSERT_EQ(count.Broken(c.khz(), c.of_groups(), per), want.total);
    EXPECT_EQ(per, want.per_carrier);
    EXPECT_EQ(want.total == 0, model::JudgeGroups(c.carriers, c.groups).valid);
  }
}

TEST(ConflictCount, CostsAreWhatACandidateAddsWithOrWithoutACarrier) {
  std::mt19937_64 rng(20261212);
  for (int trial = 0; trial < 200; ++trial) {
    const Case c = RandomCase(rng);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ConflictCount count(ConflictRules::OfGroups(c.groups), c.candidates,
                        c.group);
    count.Load(c.khz(), c.of_groups());
    const std::size_t skip = c.carriers.empty() || rng() % 3 == 0
                                 ? ConflictCount::kNoSkip
                                 : rng() % c.carriers.size();
    std::vector<Carrier> others = c.carriers;
    if (skip != ConflictCount::kNoSkip) {
      others.erase(others.begin() + static_cast<std::ptrdiff_t>(skip));
    }
    std::vector<int> costs;
    count.CostsWithout(skip, costs);
    ASSERT_EQ(costs.size(), c.candidates.size());
    const int before = model::BrokenRules(others, c.groups).total;
    for (std::size_t i = 0; i < c.candidates.size(); i += 1 + rng() % 7) {
      std::vector<Carrier> with = others;
      with.push_back({c.candidates[i], c.group});
      ASSERT_EQ(costs[i], model::BrokenRules(with, c.groups).total - before)
          << "candidate " << FormatKhz(c.candidates[i]);
    }
  }
}

// The walk finds plans of the model's largest size on small bands, each
// valid, and never a plan of a size that does not exist.
TEST(ConflictWalk, FindsTheLargestPlansOfSmallBands) {
  std::mt19937_64 rng(20261213);
  const StopCheck never;
  int asked = 0, found = 0;
  for (int trial = 0; trial < 24; ++trial) {
    PlanRequest r;
    const Khz low = 600'000 + 1'000 * static_cast<Khz>(rng() % 50);
    r.candidates =
        BuildCandidates(std::vector<Band>{{low, low + 3'000, 125}}, {})
            .channels;
    r.rules.spacing = 200 + static_cast<Khz>(rng() % 200);
    r.rules.guard = static_cast<Khz>(rng() % 150);
    if (trial % 2 == 0) r.rules.window_3tx3 = static_cast<Khz>(rng() % 100);
    if (trial % 3 == 0) r.rules.window_2tx5 = static_cast<Khz>(rng() % 60);
    const model::Answer most = model::Solve(r.candidates, {}, r.rules, 0);
    const int largest = most.largest.value_or(0);
    SCOPED_TRACE("trial " + std::to_string(trial) + " largest " +
                 std::to_string(largest));
    Budget budget(never);
    Searcher searcher(r, {}, largest + 1, budget);
    const Searcher::Result at =
        searcher.WalkConflicts({}, largest, largest, 20'000, false);
    ++asked;
    if (at.found) {
      ++found;
      const std::vector<Khz> plan(at.plan.begin(), at.plan.begin() + at.size);
      EXPECT_EQ(at.size, largest);
      EXPECT_TRUE(model::Judge(plan, r.rules).valid);
    }
    EXPECT_FALSE(
        searcher.WalkConflicts({}, largest + 1, largest + 1, 2'000, false)
            .found);
  }
  EXPECT_GE(found * 10, asked * 9);
}

// With counted bands, each band holds its count: the walk finds the
// model's plans of two bands on most requests that have one, and never a
// plan where there is none.
TEST(ConflictWalk, KeepsTheCountsOfTheBands) {
  std::mt19937_64 rng(20261214);
  const StopCheck never;
  int asked = 0, found = 0;
  for (int trial = 0; trial < 40; ++trial) {
    PlanRequest r;
    const Khz low = 600'000 + 1'000 * static_cast<Khz>(rng() % 50);
    const std::vector<Band> bands = {{low, low + 1'500, 125},
                                     {low + 2'000, low + 3'000, 125}};
    r.candidates = BuildCandidates(bands, {}).channels;
    model::Counts counts;
    for (Khz f : r.candidates) {
      r.groups.push_back(f <= bands[0].high ? 0 : 1);
      counts.group[f] = r.groups.back();
    }
    r.group_counts = {1 + static_cast<int>(rng() % 3),
                      1 + static_cast<int>(rng() % 3)};
    counts.counts = r.group_counts;
    r.count = r.group_counts[0] + r.group_counts[1];
    r.rules.spacing = 125 + static_cast<Khz>(rng() % 200);
    r.rules.guard = static_cast<Khz>(rng() % 150);
    if (trial % 2 == 0) r.rules.window_3tx3 = static_cast<Khz>(rng() % 100);
    const std::optional<std::vector<Khz>> want = model::BestOf(
        r.candidates, {}, r.rules, static_cast<std::size_t>(r.count), counts);
    SCOPED_TRACE("trial " + std::to_string(trial));
    Budget budget(never);
    Searcher searcher(r, {}, r.count, budget);
    const Searcher::Result got =
        searcher.WalkConflicts({}, r.count, r.count, 5'000, false);
    EXPECT_TRUE(!got.found || want) << "a plan where the model has none";
    if (!want) continue;
    ++asked;
    if (!got.found) continue;
    ++found;
    const std::vector<Khz> plan(got.plan.begin(), got.plan.begin() + got.size);
    EXPECT_TRUE(model::Judge(plan, r.rules).valid);
    std::vector<int> taken(2, 0);
    for (Khz f : plan) ++taken[static_cast<std::size_t>(counts.group.at(f))];
    EXPECT_EQ(taken, r.group_counts);
  }
  EXPECT_GT(asked, 20);
  EXPECT_GE(found * 10, asked * 9);
}

}  // namespace
}  // namespace zelmar::plan
