// The rules a set of carriers breaks, counted one instance at a time, for
// the walks that look for a valid plan of a given size by moving one
// carrier at a time to where it breaks the fewest (conflict_walk.cpp, and
// the walk of several device groups). An instance is
//  - spacing: two carriers not more than their groups' spacing apart
//    (equal ones too);
//  - 2tx3: a carrier a and a pair {b, c} of others with |2a - b - c| within
//    the window of b's or c's group (the product 2a - b near c, or 2a - c
//    near b);
//  - 3tx3: two disjoint pairs whose sums lie within the window of any of
//    the four carriers' groups (a + b - c near d, and so on);
//  - 2tx5: an ordered triple with |3a - 2b - c| within the window of c's
//    group.
// A set breaks none exactly when it is a valid plan. The costs of every
// candidate at once come from the values the carriers put in the way: each
// value marks the run of candidates it meets in a difference array, so
// that costs take the products of the plan plus the candidates, not their
// product; the costs without one carrier take away only the values that
// carrier makes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "zelmar/groups.h"
#include "zelmar/planner.h"

namespace zelmar::plan {

// The rules as the count reads them: per group, its window for each
// family (-1: the group does not judge the family), and per two groups,
// what their carriers must be more than apart.
struct ConflictRules {
  std::vector<std::array<Khz, kFamilyCount>> window;
  std::vector<std::vector<Khz>> spacing;

  static ConflictRules OfGroups(std::span<const GroupRules> groups);
  static ConflictRules OneGroup(const Rules& rules);
  int groups() const { return static_cast<int>(window.size()); }
};

class ConflictCount {
 public:
  // `candidates` ascending, all of group `group`, kept for the count's
  // lifetime.
  ConflictCount(const ConflictRules& rules, std::span<const Khz> candidates,
                int group = 0);

  // The carriers whose costs the candidates are judged against, with their
  // groups (none given: every carrier of group 0).
  void Load(std::span<const Khz> carriers, std::span<const int> groups = {});
  // For each candidate x, the instances x would break with the loaded
  // carriers, but for carrier `skip` where it is one of them (x counted as
  // one more carrier, even where it equals one).
  void CostsWithout(std::size_t skip, std::vector<int>& costs);
  static constexpr std::size_t kNoSkip = static_cast<std::size_t>(-1);

  // For each carrier, the instances it is in; returns their number.
  int Broken(std::span<const Khz> carriers, std::span<const int> groups,
             std::vector<int>& per_carrier);

  // The values marked, candidates summed and tuples met since the last
  // call, for the search's budget.
  std::uint64_t TakeWork() { return std::exchange(work_, 0); }

 private:
  // The first candidate at or above `value`, as an index.
  std::size_t FirstAtOrAbove(Khz value) const;
  // Marks, with `sign`, the candidates x for which |multiple x - value| is
  // within `window`.
  void Mark(std::vector<int>& diff, Khz value, int multiple, Khz window,
            int sign);
  // Marks every value made by a tuple of the loaded carriers that holds
  // carrier `only` (kNoSkip: every tuple).
  void MarkValues(std::vector<int>& diff, std::size_t only, int sign);
  Khz Window(int group, int family) const {
    return rules_.window[static_cast<std::size_t>(group)]
                        [static_cast<std::size_t>(family)];
  }

  ConflictRules rules_;
  std::span<const Khz> cand_;
  int group_;
  // Per family, whether any group judges it, and the largest window.
  std::array<bool, kFamilyCount> checked_{};
  std::array<Khz, kFamilyCount> widest_{};
  Khz widest_spacing_ = 0;
  // Where the candidates lie on a raster of few steps, the index of the
  // first candidate at or above each raster step.
  Khz origin_ = 0, step_ = 0;
  std::vector<std::uint32_t> rank_;
  std::vector<Khz> carriers_;
  std::vector<int> groups_;
  std::vector<int> loaded_;  // the difference array of every value
  std::vector<int> diff_;
  std::vector<Khz> sorted_;
  std::vector<int> order_;
  std::uint64_t work_ = 0;
};

}  // namespace zelmar::plan
