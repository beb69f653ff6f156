// Device groups against the plain model (group_model.h): the search's best
// plan and the open group's size, the measured headroom, every broken rule
// and the spares, on random small requests.
#include <gtest/gtest.h>

#include "budget.h"
#include "group_model.h"
#include "groups/apart.h"
#include "zelmar/groups.h"

namespace zelmar::plan {
namespace {

using model::Lcg;

std::optional<Khz> MaybeWindow(Lcg& r) {
  const int pick = r.Below(4);
  if (pick == 0) return std::nullopt;
  return std::array<Khz, 3>{0, 50, 150}[pick - 1];
}

GroupRules RandomRules(Lcg& r) {
  GroupRules g;
  g.rules.spacing = r.Below(3) == 0 ? 250 : 125;
  g.rules.guard = r.Below(3) == 0 ? 100 : 0;
  g.rules.window_3tx3 = MaybeWindow(r);
  g.rules.window_2tx5 = r.Below(3) == 0 ? MaybeWindow(r) : std::nullopt;
  g.apart = r.Below(3) == 0 ? 600 : 0;
  return g;
}

// Channels on a raster of 25 or 125 kHz near 800 MHz, shared in part
// between groups so that their carriers meet.
std::vector<Khz> RandomChannels(Lcg& r) {
  const Khz step = r.Below(2) ? 125 : 75;
  const Khz low = 800'000 + 125 * r.Below(12);
  std::vector<Khz> channels;
  for (int i = 0, n = 3 + r.Below(4); i < n; ++i) {
    channels.push_back(low + step * i);
  }
  return channels;
}

GroupRequest RandomRequest(Lcg& r) {
  GroupRequest request;
  const int groups = 2 + r.Below(2);
  bool open = false;
  for (int g = 0; g < groups; ++g) {
    request.groups.push_back(RandomRules(r));
    const int count = open || r.Below(4) ? 1 + r.Below(2) : 0;
    open = open || count == 0;
    request.pools.push_back(Pool{g, RandomChannels(r), count});
  }
  if (r.Below(4) == 0) request.fixed.push_back({801'000 + 125 * r.Below(8), 0});
  request.threads = 1;
  return request;
}

// Whether the search's answer, proven, is the model's: its plan, or none
// where the model has none. True where there is a plan to look at further.
bool IsTheModelsPlan(const GroupOutcome& outcome,
                     const model::GroupAnswer& expected) {
  EXPECT_TRUE(outcome.proven);
  if (!expected.plan) {
    EXPECT_EQ(outcome.status, PlanOutcome::Status::kNone);
    return false;
  }
  EXPECT_EQ(outcome.status, PlanOutcome::Status::kFound);
  if (outcome.status != PlanOutcome::Status::kFound) return false;
  EXPECT_EQ(outcome.plan, *expected.plan);
  return true;
}

TEST(Groups, TheSearchAgreesWithTheModel) {
  Lcg r{20261209};
  for (int round = 0; round < 120; ++round) {
    const GroupRequest request = RandomRequest(r);
    const GroupOutcome outcome = FindGroupPlan(request, {});
    const model::GroupAnswer expected = model::BestGroupPlan(request);
    SCOPED_TRACE(round);
    if (!model::JudgeGroups(request.fixed, request.groups).valid) {
      EXPECT_EQ(outcome.status, PlanOutcome::Status::kFixedBroken);
      continue;
    }
    if (!IsTheModelsPlan(outcome, expected)) continue;
    EXPECT_EQ(outcome.largest, expected.largest);
    EXPECT_EQ(outcome.most_possible, expected.largest);
    EXPECT_EQ(outcome.headroom_possible,
              MeasureGroups(outcome.plan, request.groups).headroom[0]);
  }
}

// Groups whose channels lie far apart (near 200, 400 and 800 MHz), where no
// product can reach another group, are each planned alone, and the answer
// is the model's, proven at once; one more group among the first's
// channels, which may meet it, leaves the whole search to answer, as the
// model does.
TEST(Groups, GroupsThatCannotMeetArePlannedAlone) {
  Lcg r{20261211};
  int alone = 0;
  for (int round = 0; round < 80; ++round) {
    GroupRequest request;
    const int groups = 2 + r.Below(2);
    for (int g = 0; g < groups; ++g) {
      request.groups.push_back(RandomRules(r));
      // A 3tx3 window sees the products a + b - c of two groups, which
      // land beside the group's own carriers: such groups meet.
      if (round % 2 == 0) request.groups.back().rules.window_3tx3.reset();
      std::vector<Khz> channels = RandomChannels(r);
      for (Khz& f : channels) f = f / (1 << g) - 100 * g;
      request.pools.push_back(Pool{g, channels, 2 + r.Below(2)});
    }
    if (r.Below(4) == 0) {
      request.fixed.push_back({request.pools[0].channels.front() - 1'000, 0});
    }
    const bool meets = round % 4 == 3;
    if (meets) {
      request.groups.push_back(RandomRules(r));
      request.pools.push_back(Pool{groups, request.pools[0].channels, 1});
    }
    request.threads = 1;
    SCOPED_TRACE(round);
    const StopCheck never;
    Budget budget(never);
    const ApartAnswer apart =
        PlanApart(request, GroupTables(request.groups), budget);
    if (meets) {
      EXPECT_EQ(apart.status, ApartAnswer::Status::kNotApart);
    }
    alone += apart.status != ApartAnswer::Status::kNotApart;
    const GroupOutcome outcome = FindGroupPlan(request, {});
    const model::GroupAnswer expected = model::BestGroupPlan(request);
    // The groups' own plans, put together, are the model's best.
    EXPECT_EQ(apart.status == ApartAnswer::Status::kNone,
              apart.status != ApartAnswer::Status::kNotApart && !expected.plan);
    if (apart.status == ApartAnswer::Status::kFound && expected.plan) {
      EXPECT_EQ(Ascending(apart.plan), *expected.plan);
    }
    IsTheModelsPlan(outcome, expected);
  }
  EXPECT_GT(alone, 10);
}

TEST(Groups, WhatACutSearchRulesOutNoPlanHas) {
  // Groups of three carriers, so that each alone has a margin, stopped
  // after a few looks: no plan of the model's has more headroom than the
  // search rules out.
  Lcg r{20261211};
  int bounded = 0;
  for (int round = 0; round < 150; ++round) {
    GroupRequest request = RandomRequest(r);
    request.groups.resize(2);  // a third would take the model too long
    std::erase_if(request.pools, [](const Pool& p) { return p.group > 1; });
    for (Pool& pool : request.pools) {
      if (pool.count != 0) pool.count = 3;
      pool.channels.clear();
      const Khz low = 800'000 + 500 * pool.group + 125 * r.Below(3);
      for (Khz k = 0; k < 8; ++k) pool.channels.push_back(low + 250 * k);
    }
    request.fixed.clear();
    int looks = 0;
    const int allowed = r.Below(3);
    const GroupOutcome outcome = FindGroupPlan(
        request, [&](const SearchProgress&) { return ++looks > allowed; });
    const model::GroupAnswer expected = model::BestGroupPlan(request);
    SCOPED_TRACE(round);
    if (outcome.status != PlanOutcome::Status::kFound || !expected.plan) {
      continue;
    }
    const auto best = MeasureGroups(*expected.plan, request.groups).headroom[0];
    if (outcome.headroom_possible && best) {
      ++bounded;
      EXPECT_GE(*outcome.headroom_possible, *best);
    }
    if (outcome.most_possible && expected.largest) {
      EXPECT_GE(*outcome.most_possible, *expected.largest);
    }
  }
  EXPECT_GT(bounded, 10);
}

// The request with group g moved to place `to[g]`, its pools and fixed
// carriers with it.
GroupRequest Permuted(const GroupRequest& request, const std::vector<int>& to) {
  GroupRequest moved = request;
  for (std::size_t g = 0; g < to.size(); ++g) {
    moved.groups[to[g]] = request.groups[g];
    moved.names[to[g]] = request.names[g];
  }
  for (Pool& pool : moved.pools) pool.group = to[pool.group];
  std::reverse(moved.pools.begin(), moved.pools.end());
  for (Carrier& c : moved.fixed) c.group = to[c.group];
  return moved;
}

TEST(Groups, TheOrderOfTheGroupsChangesNoAnswer) {
  // Named in their given order, the model's ties (the lower group first)
  // are the names'; every other order of the same groups gives the same
  // plan, each carrier in the group of the same name.
  Lcg r{20261210};
  for (int round = 0; round < 80; ++round) {
    GroupRequest request = RandomRequest(r);
    const int groups = static_cast<int>(request.groups.size());
    // Groups alike in all but their counts tie on the same frequencies.
    if (r.Below(2) == 0) {
      for (int g = 1; g < groups; ++g) {
        request.groups[g] = request.groups[0];
        request.pools[g].channels = request.pools[0].channels;
      }
    }
    for (int g = 0; g < groups; ++g) {
      request.names.push_back(std::string(1, static_cast<char>('a' + g)));
    }
    SCOPED_TRACE(round);
    const GroupOutcome outcome = FindGroupPlan(request, {});
    const model::GroupAnswer expected = model::BestGroupPlan(request);
    if (outcome.status != PlanOutcome::Status::kFound) continue;
    ASSERT_TRUE(expected.plan);
    EXPECT_EQ(outcome.plan, *expected.plan);
    std::vector<int> to(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g) to[g] = groups - 1 - g;
    if (r.Below(2) == 0) std::rotate(to.begin(), to.begin() + 1, to.end());
    const GroupOutcome moved = FindGroupPlan(Permuted(request, to), {});
    ASSERT_EQ(moved.status, PlanOutcome::Status::kFound);
    std::vector<Carrier> back = moved.plan;
    for (Carrier& c : back) {
      c.group = static_cast<int>(std::find(to.begin(), to.end(), c.group) -
                                 to.begin());
    }
    EXPECT_EQ(back, outcome.plan);
    EXPECT_EQ(moved.largest, outcome.largest);
  }
}

TEST(Groups, FiguresViolationsAndSparesAgreeWithTheModel) {
  Lcg r{7};
  for (int round = 0; round < 300; ++round) {
    const std::vector<GroupRules> groups = {RandomRules(r), RandomRules(r)};
    std::vector<Carrier> plan;
    for (int i = 0, n = 3 + r.Below(4); i < n; ++i) {
      plan.push_back({800'000 + 125 * r.Below(24), r.Below(2)});
    }
    plan = Ascending(plan);
    SCOPED_TRACE(round);
    const model::GroupJudgement j = model::JudgeGroups(plan, groups);
    const GroupViolations found = FindGroupViolations(plan, groups);
    EXPECT_EQ(static_cast<int>(found.listed.size()), j.broken);
    EXPECT_FALSE(found.more);
    EXPECT_EQ(FindGroupViolations(plan, groups, 1).more, j.broken > 1);
    const GroupFigures figures = MeasureGroups(plan, groups);
    for (int f = 0; f < kFamilyCount; ++f) {
      EXPECT_EQ(figures.headroom[f], j.headroom[f]) << "family " << f;
      if (figures.tightest[f]) {
        EXPECT_EQ(figures.tightest[f]->Headroom(), *figures.headroom[f]);
      }
    }
    if (!j.valid) continue;
    std::vector<Khz> channels;
    for (Khz f = 799'000; f <= 804'000; f += 125) channels.push_back(f);
    const int group = r.Below(2), count = 1 + r.Below(3);
    EXPECT_EQ(FindSpares(plan, groups, group, channels, count),
              model::SparesOf(plan, groups, group, channels, count));
  }
}

TEST(Groups, CarriersOfTwoGroupsKeepTheLargerDistance) {
  std::vector<GroupRules> g(3);
  g[0].rules.spacing = 125;
  g[1].rules.spacing = 300;
  g[2].apart = 4'000;
  const struct {
    int a, b;
    Khz least;
  } cases[] = {{0, 0, 125}, {1, 1, 300},   {0, 1, 300},
               {2, 2, 125}, {0, 2, 4'000}, {2, 1, 4'000}};
  for (const auto& c : cases) {
    EXPECT_EQ(SpacingBetween(g, c.a, c.b), c.least) << c.a << " " << c.b;
  }
}

TEST(Groups, RequestsOutsideTheRulesAreRefused) {
  GroupRequest two_open;
  two_open.groups.resize(2);
  two_open.pools = {{0, {800'000}, 0}, {1, {801'000}, 0}};
  EXPECT_EQ(CheckGroupRequest(two_open), GroupRequestError::kTwoOpenPools);
  GroupRequest unordered;
  unordered.groups.resize(1);
  unordered.pools = {{0, {801'000, 800'000}, 1}};
  EXPECT_EQ(CheckGroupRequest(unordered), GroupRequestError::kBadPool);
  GroupRequest too_many;
  too_many.groups.resize(2);
  too_many.pools = {{0, {800'000}, 40}, {1, {900'000}, 30}};
  EXPECT_EQ(CheckGroupRequest(too_many), GroupRequestError::kTooManyCarriers);
  GroupRequest narrow;
  narrow.groups.resize(1);
  narrow.groups[0].rules.spacing = 100;
  EXPECT_EQ(CheckGroupRequest(narrow), GroupRequestError::kSpacingBelowCheck);
  GroupRequest unnamed = narrow;
  unnamed.groups[0].rules.spacing = kDefaultSpacing;
  unnamed.names = {"one", "two"};
  EXPECT_EQ(CheckGroupRequest(unnamed), GroupRequestError::kBadNames);
}

}  // namespace
}  // namespace zelmar::plan
