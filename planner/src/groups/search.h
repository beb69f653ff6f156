// The search of a request of several device groups, in rooms of its own:
// a greedy start, a repair and the improvement walks (walk.cpp), a
// branch and bound over the pools (exact.cpp), and FindGroupPlan,
// which runs them in rounds (plan.cpp). Every carrier added is
// scored incrementally (headroom.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "budget.h"
#include "groups/headroom.h"
#include "groups/seed.h"
#include "searcher/searcher.h"

namespace zelmar::plan {

// Channels a walk or a greedy step looks at per carrier, at most; beyond
// it an evenly spread sample with a random offset.
constexpr std::size_t kLookedAt = 1024;

struct Placed {
  std::vector<Carrier> plan;  // fixed carriers first, then the pools'
  std::vector<int> pool;      // per carrier: its pool, -1 for fixed ones
  Score score;
  bool found = false;
};

class GroupSearch {
 public:
  GroupSearch(const GroupRequest& request, Budget& budget)
      : request_(request),
        tables_(request.groups),
        budget_(budget),
        meter_(budget) {
    for (std::size_t p = 0; p < request.pools.size(); ++p) {
      if (request.pools[p].count == 0) {
        open_ = static_cast<int>(p);
      } else {
        order_.push_back(static_cast<int>(p));
      }
    }
    if (open_ >= 0) order_.push_back(open_);
  }

  int open() const { return open_; }
  const GroupTables& tables() const { return tables_; }
  bool stopped() const { return budget_.stopped(); }

  // A valid plan, each carrier at the best place left for it in turn;
  // the open pool filled as far as it goes. Later attempts start each pool
  // from a random channel.
  Placed Greedy(Random& random);

  // A valid plan with `open_count` carriers in the open pool, from a plan
  // that breaks rules, by the walk on broken rules (rule_walk.h) over every
  // pool's channels. Not found when `moves` moves in a row break no fewer
  // rules than the fewest.
  // A `start` (a seed) is where the repair begins, less any open-pool
  // carriers past `open_count`.
  Placed Repair(int open_count, std::uint64_t moves, Random& random,
                const Seed* start = nullptr);

  // The seed as a plan: found when it keeps every rule.
  Placed Seeded(const Seed& seed) const {
    Placed p;
    if (!seed.found) return p;
    p.plan = seed.plan;
    p.pool = seed.pool;
    if (const auto score = tables_.ScoreOf(p.plan)) {
      p.score = *score;
      p.found = true;
    }
    return p;
  }

  // Improves `best` by moving one carrier at a time within its pool.
  void Walk(Placed& best, std::uint64_t moves, Random& random);

  // The branch and bound. kFirst: any valid plan with `open_count` carriers
  // in the open pool. kBest: the best plan better than `best`, which it
  // replaces. True when the run went to its end.
  bool Exact(bool first, int open_count, std::uint64_t node_budget,
             Placed& best);

  void Offer(const Placed& p) {
    const std::vector<Carrier> sorted = Ascending(p.plan);
    std::vector<Khz> khz;
    std::vector<int> groups;
    for (const Carrier& c : sorted) {
      khz.push_back(c.khz);
      groups.push_back(c.group);
    }
    budget_.NoteBest(khz, p.score, groups);
  }

 private:
  int Need(int pool, int open_count) const {
    return pool == open_ ? open_count : request_.pools[pool].count;
  }
  // The best channel of `pool` for a new carrier of `placed` (its score in
  // `score`), or -1; channels in `avoid` are left out.
  int BestChannel(const Placed& placed, int pool, Khz avoid, Random& random,
                  Score& score);
  bool Descend(std::size_t k, int taken, std::size_t from);
  // The carrier a walk moves next: at random, or one of the product that
  // holds the score down. Never a fixed one.
  std::size_t PickOut(const Placed& current, Random& random);

  const GroupRequest& request_;
  GroupTables tables_;
  Budget& budget_;
  Meter meter_;
  std::vector<int> order_;  // counted pools, then the open one
  int open_ = -1;
  // Exact search state.
  bool first_ = false;
  int open_count_ = 0;
  std::uint64_t node_end_ = 0, nodes_ = 0;
  bool cut_ = false;
  std::vector<Carrier> stack_;
  std::vector<Score> scores_;
  Placed* best_ = nullptr;
};

}  // namespace zelmar::plan
