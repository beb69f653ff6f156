// The exact phase on narrow rasters, where the dense search answers every
// question with a proof: the best margin of each checked family in turn, by
// bisection over whole raster steps (a plan found raises the floor to its
// own margin, a search without one lowers the ceiling), then the
// lexicographically first plan at those margins, which is the best plan.
//
// The climb is resumable: each call of Advance gets a cap of work, and a
// question cut by it is asked again, with a larger cap, at the next call.
// Between calls the improvement walks may hand it a better plan, which
// raises the floor without a question.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "budget.h"
#include "dense/search.h"
#include "score.h"

namespace zelmar::plan {

class RasterClimb {
 public:
  RasterClimb(const PlanRequest& request, std::span<const Khz> fixed,
              Budget& budget, int threads);

  // The first plan of `target` carriers: kFound, kNone (proven) or
  // kStopped.
  DenseAnswer First(int target);
  // The largest plan, up to `limit` carriers, within `cap` units of work
  // (not proven when the cap or the search's stop ended it).
  DenseLargest Largest(int limit, std::uint64_t cap);

  // Starts the climb for plans of `target` carriers from `plan` (valid).
  void Start(int target, std::span<const Khz> plan);
  // Takes `plan` (of the target size, valid) when it is better.
  void Offer(std::span<const Khz> plan);
  // Asks questions within `cap` units of work; true once the best plan is
  // proven.
  bool Advance(std::uint64_t cap);

  const std::vector<Khz>& best() const { return best_; }
  const Score& score() const { return score_; }
  bool stopped() const { return budget_.stopped(); }

 private:
  DenseAnswer Query(Budget& budget);
  void Keep(std::span<const Khz> plan, const Score& score);
  // Settles the current family once its floor and ceiling meet.
  void NextFamily();

  const PlanRequest& request_;
  std::span<const Khz> fixed_;
  Budget& budget_;
  int threads_;
  Khz raster_;
  int target_ = 0;
  std::vector<Khz> best_;
  Score score_;
  // The floors proven so far; the current family's is being climbed.
  std::array<Khz, kFamilyCount> at_least_{};
  std::size_t family_ = 0;  // kFamilyCount: the margins are settled
  Khz high_ = kNoMargin;    // the current family's ceiling (out of reach)
  bool done_ = false;
  // The table of the largest plan's proof, for the questions at its radii.
  DenseTable table_;
};

// The score the search gives a plan: the checked families' margins.
Score ScoreOf(std::span<const Khz> plan, const Rules& rules);

}  // namespace zelmar::plan
