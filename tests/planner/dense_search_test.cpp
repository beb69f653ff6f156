// The dense search against the plain model on random narrow rasters, and
// on published values: the largest sets without three terms in arithmetic
// progression (OEIS A003002) and the optimal Golomb rulers (A003022).
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dense/search.h"
#include "plan_model.h"

namespace zelmar::plan {
namespace {

struct Case {
  PlanRequest request;
  std::vector<Khz> fixed;  // sorted
  model::Counts counts;
};

Case RandomCase(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  Case c;
  // A 250 kHz raster lets neighbours join, a 125 kHz one does not; channels
  // scattered over a 25 kHz raster of 240 steps take bitmaps of words.
  const int kind = pick(3);
  const Khz unit = kind == 1 ? 250 : 125;
  const Khz step = kind == 2 ? 25 : unit;
  const int steps = kind == 2 ? 240 : 6 + pick(6);
  std::set<Khz> channels;
  while (kind == 2 && channels.size() < 9) channels.insert(pick(steps + 1));
  for (int k = 0; k <= steps && kind != 2; ++k) {
    if (pick(6) != 0) channels.insert(k);
  }
  for (Khz k : channels) c.request.candidates.push_back(800'000 + step * k);
  for (int k = pick(3) == 0 ? 1 + pick(2) : 0; k > 0; --k) {
    c.fixed.push_back(800'000 + step * (pick(steps + 5) - 2));
  }
  std::sort(c.fixed.begin(), c.fixed.end());
  c.request.fixed = c.fixed;
  Rules& rules = c.request.rules;
  rules.guard = std::array<Khz, 4>{0, 0, unit, 2 * unit + 10}[pick(4)];
  if (pick(3) == 0) rules.window_3tx3 = pick(2) * unit;
  if (pick(3) == 0) rules.window_2tx5 = pick(2) * (unit - 1);
  if (pick(4) == 0) {
    c.counts.counts = {1 + pick(2), 1 + pick(2)};
    for (Khz f : c.request.candidates) {
      const int g = f < 800'000 + step * steps / 2 ? 0 : 1;
      c.request.groups.push_back(static_cast<std::uint8_t>(g));
      c.counts.group[f] = g;
    }
    c.request.group_counts = c.counts.counts;
  }
  return c;
}

TEST(DenseSearch, MatchesTheModel) {
  std::mt19937 rng(20261209);
  const StopCheck never;
  for (int round = 0; round < 400; ++round) {
    const Case c = RandomCase(rng);
    const PlanRequest& r = c.request;
    if (r.candidates.empty()) continue;
    SCOPED_TRACE(round);
    ASSERT_TRUE(DenseApplies(r, c.fixed));
    const model::Answer most =
        model::Solve(r.candidates, r.fixed, r.rules, 0, {});
    DenseQuery query;
    query.target = static_cast<int>(c.fixed.size() + rng() % 5);
    if (!c.counts.counts.empty()) {
      query.target = static_cast<int>(c.fixed.size()) + c.counts.counts[0] +
                     c.counts.counts[1];
    }
    // Now and then up to 64 steps of the 25 kHz raster: runs across words.
    for (Khz& a : query.at_least) {
      a = static_cast<Khz>(rng() % 3 * 200 + (rng() % 2) * (rng() % 1600));
    }
    const std::optional<std::vector<Khz>> first = model::FirstOf(
        r.candidates, r.fixed, r.rules, static_cast<std::size_t>(query.target),
        query.at_least, c.counts);
    // Valid plans stay valid without a carrier: every size up to the
    // largest has one.
    const int limit =
        round % 2 == 0 ? kMaxCarriers : static_cast<int>(rng() % 6);
    const int fixed_count = static_cast<int>(c.fixed.size());
    const int size = limit < fixed_count
                         ? 0
                         : std::min(limit, static_cast<int>(most.plan.size()));
    for (int threads : {1, 2}) {
      // Odd rounds build the table from the start.
      query.probe_nodes = round % 2 == 0 ? kDenseProbeNodes : 0;
      Budget budget(never);
      const DenseLargest got =
          DenseFindLargest(r, c.fixed, limit, budget, threads);
      EXPECT_TRUE(got.proven);
      EXPECT_EQ(got.size, size);
      EXPECT_EQ(got.plan.size(), static_cast<std::size_t>(size));
      EXPECT_TRUE(FindViolations(got.plan, r.rules).empty());
      const DenseAnswer answer =
          DenseFindFirst(r, c.fixed, query, budget, threads);
      ASSERT_EQ(answer.status, first ? DenseAnswer::Status::kFound
                                     : DenseAnswer::Status::kNone);
      if (first) {
        EXPECT_EQ(answer.plan, *first);
      }
    }
  }
}

// A question at the rules' own margins starts from the table the largest
// plan's proof built, whole or cut short by a limit, and answers as the
// question that builds its own, on less work.
TEST(DenseSearch, AQuestionStartsFromTheLargestPlansTable) {
  std::mt19937 rng(20261210);
  const StopCheck never;
  int asked = 0, saved = 0;
  for (int round = 0; round < 300; ++round) {
    const Case c = RandomCase(rng);
    const PlanRequest& r = c.request;
    if (r.candidates.empty()) continue;
    SCOPED_TRACE(round);
    const int fixed_count = static_cast<int>(c.fixed.size());
    const int limit = round % 2 == 0
                          ? kMaxCarriers
                          : fixed_count + static_cast<int>(rng() % 4);
    Budget budget(never);
    DenseTable table;
    const DenseLargest most =
        DenseFindLargest(r, c.fixed, limit, budget, 1, &table);
    ASSERT_TRUE(most.proven);
    for (int target = fixed_count; target <= most.size + 1; ++target) {
      DenseQuery query;
      query.target = target;
      query.probe_nodes = 0;
      if (!c.counts.counts.empty()) {
        query.target = fixed_count + c.counts.counts[0] + c.counts.counts[1];
      }
      Budget plain(never), from_table(never);
      const DenseAnswer again = DenseFindFirst(r, c.fixed, query, plain, 1);
      query.known = &table;
      const DenseAnswer answer =
          DenseFindFirst(r, c.fixed, query, from_table, 1);
      EXPECT_EQ(answer.status, again.status);
      EXPECT_EQ(answer.plan, again.plan);
      EXPECT_LE(from_table.nodes(), plain.nodes());
      ++asked;
      saved += from_table.nodes() < plain.nodes();
    }
  }
  EXPECT_GT(asked, 500);
  EXPECT_GT(saved, asked / 4);
}

// The largest plan's search cut by small caps of work and asked again with
// the table it left goes on where it stopped: the same size, proven, and a
// table from which questions answer as they do without one.
TEST(DenseSearch, ALargestPlanSearchGoesOnWhereItStopped) {
  std::mt19937 rng(20261211);
  const StopCheck never;
  int resumed = 0;
  for (int round = 0; round < 24; ++round) {
    // 40 to 70 channels of 125 kHz, a few left out, with and without 3tx3
    // and 2tx5 windows: large enough for the caps to cut.
    Case c;
    PlanRequest& r = c.request;
    const int channels = 40 + static_cast<int>(rng() % 31);
    for (int k = 0; k < channels; ++k) {
      if (rng() % 8 != 0) r.candidates.push_back(800'000 + 125 * k);
    }
    r.rules.spacing = 125;
    r.rules.guard = 125 * static_cast<Khz>(rng() % 2);
    if (round % 3 == 0) r.rules.window_3tx3 = 0;
    if (round % 4 == 1) r.rules.window_2tx5 = 0;
    SCOPED_TRACE(round);
    Budget whole(never);
    const DenseLargest once =
        DenseFindLargest(r, c.fixed, kMaxCarriers, whole, 1);
    ASSERT_TRUE(once.proven);
    Budget budget(never);
    DenseTable table;
    DenseLargest turn;
    int turns = 0;
    for (std::uint64_t cap = 2'000; !turn.proven; cap *= 2, ++turns) {
      CappedBudget capped(budget, cap);
      turn = DenseFindLargest(r, c.fixed, kMaxCarriers, capped.budget(), 1,
                              &table);
      ASSERT_LT(turns, 64);
    }
    resumed += turns > 1;
    EXPECT_EQ(turn.size, once.size);
    EXPECT_EQ(turn.plan.size(), static_cast<std::size_t>(once.size));
    EXPECT_TRUE(FindViolations(turn.plan, r.rules).empty());
    DenseQuery query;
    query.target = once.size;
    query.probe_nodes = 0;
    if (!c.counts.counts.empty()) {
      query.target = static_cast<int>(c.fixed.size()) + c.counts.counts[0] +
                     c.counts.counts[1];
    }
    Budget plain(never), from_table(never);
    const DenseAnswer again = DenseFindFirst(r, c.fixed, query, plain, 1);
    query.known = &table;
    const DenseAnswer answer = DenseFindFirst(r, c.fixed, query, from_table, 1);
    EXPECT_EQ(answer.status, again.status);
    EXPECT_EQ(answer.plan, again.plan);
  }
  EXPECT_GT(resumed, 12);
}

// Beyond the model's reach: two threads give the one thread's plan, and it
// keeps the rules and the margins asked.
TEST(DenseSearch, ThreadsAgree) {
  std::mt19937 rng(7);
  const StopCheck never;
  for (int round = 0; round < 12; ++round) {
    PlanRequest r;
    for (int k = 0; k < 40; ++k) {
      if (rng() % 5 != 0) r.candidates.push_back(800'000 + 125 * k);
    }
    r.rules.window_3tx3 = round % 2 == 0 ? std::optional<Khz>(0) : std::nullopt;
    DenseQuery query;
    query.target = 6 + static_cast<int>(rng() % 3);
    query.at_least[0] = 125 * static_cast<Khz>(1 + rng() % 3);
    std::vector<Khz> plans[2];
    for (int threads : {1, 2}) {
      Budget budget(never);
      const DenseAnswer got = DenseFindFirst(r, {}, query, budget, threads);
      ASSERT_NE(got.status, DenseAnswer::Status::kStopped);
      plans[threads - 1] = got.plan;
    }
    EXPECT_EQ(plans[0], plans[1]);
    if (plans[0].empty()) continue;
    EXPECT_TRUE(FindViolations(plans[0], r.rules).empty());
    EXPECT_GE(MeasurePlan(plans[0]).margins[0], query.at_least[0]);
  }
}

TEST(DenseSearch, StopsWhenAsked) {
  PlanRequest r;
  for (int k = 0; k < 80; ++k) r.candidates.push_back(800'000 + 250 * k);
  int asked = 0;
  const StopCheck second_look = [&](const SearchProgress&) {
    return ++asked > 1;
  };
  Budget budget(second_look);
  const DenseLargest most = DenseFindLargest(r, {}, kMaxCarriers, budget, 2);
  EXPECT_FALSE(most.proven);
  EXPECT_EQ(static_cast<int>(most.plan.size()), most.size);
  EXPECT_TRUE(FindViolations(most.plan, r.rules).empty());
  asked = 0;
  Budget again(second_look);
  DenseQuery query;
  query.target = 22;
  EXPECT_EQ(DenseFindFirst(r, {}, query, again, 1).status,
            DenseAnswer::Status::kStopped);
}

TEST(DenseSearch, TakesNarrowRastersOnly) {
  PlanRequest r;
  r.candidates = {806'125, 806'130, 810'000};  // a 5 kHz raster
  EXPECT_TRUE(DenseApplies(r, {}));
  const std::vector<Khz> far = {806'125 + 5 * (kMaxDenseSteps + 1)};
  EXPECT_FALSE(DenseApplies(r, far));
}

int Largest(Khz step, int channels, std::optional<Khz> window_3tx3) {
  PlanRequest r;
  for (int k = 0; k < channels; ++k) r.candidates.push_back(800'000 + step * k);
  r.rules.window_3tx3 = window_3tx3;
  const StopCheck never;
  Budget budget(never);
  return DenseFindLargest(r, {}, kMaxCarriers, budget, 2).size;
}

// Steps large enough to be shared out, with their lowest subtrees split
// further into subtrees of longer prefixes: two threads give the one
// thread's plan, the lexicographically first of the last step that found.
TEST(DenseSearch, SharedStepsGiveTheOneThreadsPlan) {
  struct Shared {
    Khz step;
    int channels;
    std::optional<Khz> window_3tx3;
    int most;  // published, or the one thread's count where not
  };
  const Shared kCases[] = {{250, 58, std::nullopt, 19}, {250, 56, 0, 10}};
  for (const Shared& c : kCases) {
    PlanRequest r;
    for (int k = 0; k < c.channels; ++k) {
      r.candidates.push_back(800'000 + c.step * k);
    }
    r.rules.window_3tx3 = c.window_3tx3;
    const StopCheck never;
    DenseLargest got[2];
    for (int threads : {1, 2}) {
      Budget budget(never);
      got[threads - 1] = DenseFindLargest(r, {}, kMaxCarriers, budget, threads);
    }
    EXPECT_EQ(got[0].size, c.most);
    EXPECT_EQ(got[1].size, c.most);
    EXPECT_EQ(got[0].plan, got[1].plan);
    EXPECT_TRUE(FindViolations(got[1].plan, r.rules).empty());
  }
}

TEST(DenseSearch, PublishedValues) {
  // r(n): adjacent channels allowed, no windows.
  EXPECT_EQ(Largest(250, 20, std::nullopt), 9);
  EXPECT_EQ(Largest(250, 26, std::nullopt), 11);
  EXPECT_EQ(Largest(250, 41, std::nullopt), 16);
  // Exact 3tx3: a Golomb ruler of 8 marks needs length 34.
  EXPECT_EQ(Largest(250, 34, 0), 7);
  EXPECT_EQ(Largest(250, 35, 0), 8);
  // The first optimal rulers in ascending order, as published (the other
  // of each pair is the mirror image).
  const std::vector<std::vector<Khz>> rulers = {
      {0, 1, 5, 12, 25, 27, 35, 41, 44}, {0, 1, 6, 10, 23, 26, 34, 41, 53, 55}};
  for (const std::vector<Khz>& marks : rulers) {
    PlanRequest r;
    for (Khz k = 0; k <= marks.back(); ++k) {
      r.candidates.push_back(800'000 + 250 * k);
    }
    r.rules.window_3tx3 = 0;
    std::vector<Khz> want;
    for (Khz k : marks) want.push_back(800'000 + 250 * k);
    DenseQuery query;
    query.target = static_cast<int>(marks.size());
    const StopCheck never;
    Budget budget(never);
    EXPECT_EQ(DenseFindFirst(r, {}, query, budget, 2).plan, want);
  }
}

}  // namespace
}  // namespace zelmar::plan
