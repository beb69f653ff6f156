// A walk over plans that break rules, as SAT solvers' walkers look for a
// model: the plan holds the carriers asked from the start, and each move
// takes one carrier that breaks a rule to a channel of its pool, the move
// that leaves the fewest broken rules of all the carriers that break one
// (conflicts.h), never to a channel a carrier left in the last few moves
// unless that breaks fewer rules than ever before. Now and then the carrier
// goes to a random channel of nearly the least cost instead, and often any
// carrier moves to a random channel where it breaks no more, so that the
// walk leaves the plateaus where one broken rule moves about. Where no
// rule is broken, the plan is valid. One group's searcher and the search
// of several groups both walk so.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "budget.h"
#include "conflicts.h"
#include "searcher/searcher.h"

namespace zelmar::plan {

// The channels (ascending) a pool's carriers take, and their group.
struct WalkPool {
  std::span<const Khz> channels;
  int group = 0;
};

class RuleWalk {
 public:
  RuleWalk(const ConflictRules& rules, std::span<const WalkPool> pools,
           Meter& meter, Random& random);

  // The carriers the walk starts from: `fixed` ones (with their groups),
  // which no move takes, and no others.
  void Start(std::span<const Khz> fixed, std::span<const int> fixed_groups);
  // Adds a carrier of `pool` at `khz`, or where it breaks the fewest rules.
  void Place(int pool, Khz khz);
  void PlaceCheapest(int pool);

  // Moves until no rule is broken (true), or `stall` moves in a row break
  // no fewer rules than the fewest (false), or the stop.
  bool Settle(std::uint64_t stall);

  std::span<const Khz> khz() const { return khz_; }
  std::span<const int> groups() const { return groups_; }
  std::span<const int> pools() const { return pools_; }  // -1: fixed
  std::size_t fixed() const { return fixed_; }
  bool stopped() const { return stopped_; }

 private:
  bool Charge(ConflictCount& count) {
    if (meter_.Charge(count.TakeWork())) stopped_ = true;
    return stopped_;
  }
  // The costs of pool p's channels beside every carrier but `skip`.
  const std::vector<int>& CostsOf(int pool, std::size_t skip);
  // The open channel of least cost in the pool (or, at `aspire` or below,
  // any), at random among ties; -1 where none is open.
  int Cheapest(int pool, const std::vector<int>& costs, int aspire);
  // An open channel of the pool of cost `most` or less, at random; -1
  // where none is.
  int RandomOpen(int pool, const std::vector<int>& costs, int most);
  // One move of a carrier that breaks a rule: the best, or at random.
  void Move(int broken);

  std::vector<WalkPool> pools_of_;
  std::vector<ConflictCount> counts_;  // one per pool
  std::vector<std::vector<std::uint64_t>> closed_until_;
  Meter& meter_;
  Random& random_;
  std::vector<Khz> khz_;
  std::vector<int> groups_, pools_;
  std::size_t fixed_ = 0;
  std::vector<int> broken_by_, costs_;
  // The move at which each pool's count last loaded the plan.
  std::vector<std::uint64_t> loaded_at_;
  std::uint64_t move_ = 0;
  int fewest_ = 0;
  bool stopped_ = false;
};

}  // namespace zelmar::plan
