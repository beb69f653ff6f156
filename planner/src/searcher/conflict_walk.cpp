// Large plans by the walk on broken rules (rule_walk.h): the plan holds the
// size asked from the start; once no rule is broken it is valid, and for
// the largest plan the walk adds one carrier where it breaks the fewest
// and goes on.
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
  if (counted_ || cand_.empty() || target > most ||
      target <= static_cast<int>(fixed_count)) {
    return best;
  }
  Random random = WalkRandom(stall);
  const WalkPool pool{cand_, 0};
  RuleWalk walk(ConflictRules::OneGroup(rules_), {&pool, 1}, meter_, random);
  walk.Start(fixed_, std::vector<int>(fixed_count, 0));
  for (int i = 0; i < from.size; ++i) {
    const Khz f = from.plan[static_cast<std::size_t>(i)];
    if (!std::binary_search(fixed_.begin(), fixed_.end(), f)) walk.Place(0, f);
  }
  while (static_cast<int>(walk.khz().size()) < target && !walk.stopped()) {
    walk.PlaceCheapest(0);
  }
  while (!walk.stopped() && walk.Settle(stall)) {
    const std::span<const Khz> free = walk.khz().subspan(fixed_count);
    const Level& level =
        stack_[Build(free.data(), static_cast<int>(free.size()))];
    // The count and the levels judge alike; a plan they disagree on is not
    // answered.
    if (!Valid(level.score)) break;
    best.found = true;
    best.size = level.n;
    std::copy(level.carriers, level.carriers + level.n, best.plan.begin());
    std::sort(best.plan.begin(), best.plan.begin() + level.n);
    best.score = level.score;
    if (note) NoteBest(best);
    if (level.n >= most) break;
    walk.PlaceCheapest(0);
  }
  if (walk.stopped()) stopped_ = true;
  return best;
}

}  // namespace zelmar::plan
