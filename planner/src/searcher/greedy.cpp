// A first plan built greedily, for requests whose first plan in ascending
// order lies far in (counted bands far apart): the exact search would walk
// through every combination of the bands before it.
#include <algorithm>

#include "searcher/searcher.h"

namespace zelmar::plan {

Searcher::Result Searcher::Construct(int target, int attempts) {
  Result result;
  budget_end_ = 0;
  cut_ = false;
  const int free_count = target - static_cast<int>(fixed_.size());
  if (free_count <= 0 || cand_.empty() || target > capacity_) return result;
  constexpr std::size_t npos = static_cast<std::size_t>(-1);
  Random random;
  std::array<Khz, kMaxCarriers> chosen{};
  std::array<int, kMaxGroups> missing{};
  for (int attempt = 0; attempt < attempts; ++attempt) {
    std::copy(need_.begin(), need_.end(), missing.begin());
    int k = 0;
    for (; k < free_count; ++k) {
      if (Tick()) return result;
      const Level& level = stack_[Build(chosen.data(), k)];
      std::copy(level.carriers, level.carriers + level.n, sorted_.begin());
      std::sort(sorted_.begin(), sorted_.begin() + level.n);
      int group = -1;
      for (std::size_t g = 0; g < need_.size(); ++g) {
        const auto at = static_cast<std::size_t>(group);
        if (missing[g] > 0 &&
            (group < 0 || group_index_[g].size() * missing[at] <
                              group_index_[at].size() * missing[g])) {
          group = static_cast<int>(g);
        }
      }
      std::size_t pick = npos;
      if (attempt > 0 && k == 0) {
        const auto g = static_cast<std::size_t>(group);
        const std::size_t i =
            group < 0 ? random.Below(cand_.size())
                      : group_index_[g][random.Below(group_index_[g].size())];
        const auto o =
            std::lower_bound(sorted_.begin(), sorted_.begin() + level.n,
                             cand_[i] - rules_.spacing);
        const bool spaced =
            o == sorted_.begin() + level.n || *o > cand_[i] + rules_.spacing;
        if (spaced && Valid(stack_.ScoreWith(level, cand_[i]))) pick = i;
      }
      if (pick == npos) {
        Score score;
        pick = BestInsert(level, std::span<const Khz>(sorted_.data(), level.n),
                          {}, group, random, score);
      }
      if (pick == npos) break;
      chosen[static_cast<std::size_t>(k)] = cand_[pick];
      if (counted_) --missing[groups_[pick]];
    }
    if (k == free_count) {
      const Level& level = stack_[Build(chosen.data(), free_count)];
      result.found = true;
      result.size = level.n;
      std::copy(level.carriers, level.carriers + level.n, result.plan.begin());
      std::sort(result.plan.begin(), result.plan.begin() + level.n);
      result.score = level.score;
      return result;
    }
  }
  return result;
}

}  // namespace zelmar::plan
