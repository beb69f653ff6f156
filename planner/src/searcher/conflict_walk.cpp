// Large plans by the walk on broken rules (rule_walk.h): the plan holds the
// size asked from the start (each counted band its count); once no rule is
// broken it is valid, and for the largest plan the walk adds one carrier
// where it breaks the fewest and goes on.
#include <algorithm>
#include <vector>

#include "rule_walk.h"
#include "searcher/searcher.h"

namespace zelmar::plan {

Searcher::Result Searcher::WalkConflicts(const Result& from, int target,
                                         int most, std::uint64_t stall,
                                         bool note) {
  Result best;
  budget_end_ = 0;
  cut_ = false;
  const std::size_t fixed_count = fixed_.size();
  most = std::min(most, capacity_);
  if (cand_.empty() || target > most ||
      target <= static_cast<int>(fixed_count)) {
    return best;
  }
  // Counted bands are pools of their own, each walked with its count; the
  // plan then has the size the counts give, and grows no further.
  int counted_total = static_cast<int>(fixed_count);
  for (int n : need_) counted_total += n;
  if (counted_ && target != counted_total) return best;
  if (counted_) most = target;
  std::vector<std::vector<Khz>> channels(counted_ ? need_.size() : 0);
  std::vector<WalkPool> pools;
  if (counted_) {
    for (std::size_t i = 0; i < cand_.size(); ++i) {
      channels[groups_[i]].push_back(cand_[i]);
    }
    for (std::size_t g = 0; g < channels.size(); ++g) {
      if (channels[g].empty() && need_[g] > 0) return best;
      pools.push_back({channels[g], 0});
    }
  } else {
    pools.push_back({cand_, 0});
  }
  const auto pool_of = [&](Khz f) {
    if (!counted_) return 0;
    const auto at = std::lower_bound(cand_.begin(), cand_.end(), f);
    return at != cand_.end() && *at == f
               ? static_cast<int>(
                     groups_[static_cast<std::size_t>(at - cand_.begin())])
               : -1;
  };
  Random random = WalkRandom(stall);
  RuleWalk walk(ConflictRules::OneGroup(rules_), pools, meter_, random);
  walk.Start(fixed_, std::vector<int>(fixed_count, 0));
  std::vector<int> placed(pools.size(), 0);
  const auto wanted = [&](std::size_t p) {
    return counted_ ? need_[p] : target - static_cast<int>(fixed_count);
  };
  for (int i = 0; i < from.size; ++i) {
    const Khz f = from.plan[static_cast<std::size_t>(i)];
    const int p = pool_of(f);
    if (p < 0 || std::binary_search(fixed_.begin(), fixed_.end(), f) ||
        placed[static_cast<std::size_t>(p)] >= wanted(p)) {
      continue;
    }
    ++placed[static_cast<std::size_t>(p)];
    walk.Place(p, f);
  }
  for (std::size_t p = 0; p < pools.size() && !walk.stopped(); ++p) {
    for (; placed[p] < wanted(p) && !walk.stopped(); ++placed[p]) {
      walk.PlaceCheapest(static_cast<int>(p));
    }
  }
  while (!walk.stopped() && walk.Settle(stall)) {
    if (!TakeValid(walk.khz().subspan(fixed_count), note, best) ||
        best.size >= most) {
      break;
    }
    walk.PlaceCheapest(0);
  }
  if (walk.stopped()) stopped_ = true;
  return best;
}

}  // namespace zelmar::plan
