// The rules a set of carriers breaks, counted one instance at a time, for
// the walk that looks for a valid plan of a given size by moving one
// carrier at a time to where it breaks the fewest (conflict_walk.cpp). An
// instance is
//  - spacing: two carriers not more than the spacing apart (equal ones
//    too);
//  - 2tx3: a carrier a and a pair {b, c} of others with |2a - b - c| within
//    the guard (the product 2a - b near c, or 2a - c near b);
//  - 3tx3: two disjoint pairs whose sums lie within the window (a + b - c
//    near d);
//  - 2tx5: an ordered triple with |3a - 2b - c| within the window.
// A set breaks none exactly when it is a valid plan. The costs of every
// candidate at once come from the values the carriers put in the way: each
// value marks the run of candidates it meets in a difference array, so
// that costs take the products of the plan plus the candidates, not their
// product; the costs without one carrier take away only the values that
// carrier makes.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan {

class ConflictCount {
 public:
  // Families are counted where the rules check them; `candidates`
  // ascending, kept for the count's lifetime.
  ConflictCount(const Rules& rules, std::span<const Khz> candidates);

  // The carriers whose costs the candidates are judged against.
  void Load(std::span<const Khz> carriers);
  // For each candidate x, the instances x would break with the loaded
  // carriers, but for carrier `skip` where it is one of them (x counted as
  // one more carrier, even where it equals one).
  void CostsWithout(std::size_t skip, std::vector<int>& costs);
  static constexpr std::size_t kNoSkip = static_cast<std::size_t>(-1);

  // For each carrier, the instances it is in; returns their number.
  int Broken(std::span<const Khz> carriers, std::vector<int>& per_carrier);

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

  Rules rules_;
  std::span<const Khz> cand_;
  // Where the candidates lie on a raster of few steps, the index of the
  // first candidate at or above each raster step.
  Khz origin_ = 0, step_ = 0;
  std::vector<std::uint32_t> rank_;
  std::vector<Khz> carriers_;
  std::vector<int> loaded_;  // the difference array of every value
  std::vector<int> diff_;
  std::vector<Khz> sorted_;
  std::vector<int> order_;
  std::uint64_t work_ = 0;
};

}  // namespace zelmar::plan
