#include "rule_walk.h"

#include <algorithm>
#include <limits>

namespace zelmar::plan {
namespace {

// The moves a vacated channel stays closed: a few, plus a random part so
// that the walk does not fall into a cycle of its own length.
constexpr std::uint64_t kTabuMoves = 7;
constexpr std::uint64_t kTabuSpread = 8;
// One move in this many takes any carrier to a random channel where it
// breaks no more rules than where it stands: the walk drifts along the
// plateau of its valid part, which opens channels for the carrier that
// breaks one.
constexpr std::size_t kDriftIn = 4;
// Of the other moves, one in this many takes a carrier that breaks a rule
// to a random channel of at most one more broken rule than the least.
constexpr std::size_t kNoiseIn = 20;
constexpr int kNoiseSlack = 1;
constexpr int kNoAspiration = std::numeric_limits<int>::max();
constexpr std::uint64_t kNotLoaded = std::numeric_limits<std::uint64_t>::max();

}  // namespace

RuleWalk::RuleWalk(const ConflictRules& rules, std::span<const WalkPool> pools,
                   Meter& meter, Random& random)
    : pools_of_(pools.begin(), pools.end()), meter_(meter), random_(random) {
  counts_.reserve(pools.size());
  for (const WalkPool& pool : pools) {
    counts_.emplace_back(rules, pool.channels, pool.group);
    closed_until_.emplace_back(pool.channels.size(), 0);
  }
  loaded_at_.assign(pools.size(), kNotLoaded);
}

void RuleWalk::Start(std::span<const Khz> fixed,
                     std::span<const int> fixed_groups) {
  khz_.assign(fixed.begin(), fixed.end());
  groups_.assign(fixed_groups.begin(), fixed_groups.end());
  pools_.assign(fixed.size(), -1);
  fixed_ = fixed.size();
  std::fill(loaded_at_.begin(), loaded_at_.end(), kNotLoaded);
}

void RuleWalk::Place(int pool, Khz khz) {
  khz_.push_back(khz);
  groups_.push_back(pools_of_[static_cast<std::size_t>(pool)].group);
  pools_.push_back(pool);
  std::fill(loaded_at_.begin(), loaded_at_.end(), kNotLoaded);
}

void RuleWalk::PlaceCheapest(int pool) {
  const std::vector<int>& costs = CostsOf(pool, ConflictCount::kNoSkip);
  const int i = Cheapest(pool, costs, kNoAspiration);
  const std::span<const Khz> channels =
      pools_of_[static_cast<std::size_t>(pool)].channels;
  Place(pool, channels[i < 0 ? random_.Below(channels.size())
                             : static_cast<std::size_t>(i)]);
}

const std::vector<int>& RuleWalk::CostsOf(int pool, std::size_t skip) {
  ConflictCount& count = counts_[static_cast<std::size_t>(pool)];
  // A pool's count holds the plan as it stood at this move.
  if (loaded_at_[static_cast<std::size_t>(pool)] != move_) {
    count.Load(khz_, groups_);
    loaded_at_[static_cast<std::size_t>(pool)] = move_;
  }
  count.CostsWithout(skip, costs_);
  Charge(count);
  return costs_;
}

int RuleWalk::Cheapest(int pool, const std::vector<int>& costs, int aspire) {
  const std::vector<std::uint64_t>& closed =
      closed_until_[static_cast<std::size_t>(pool)];
  int pick = -1;
  int least = std::numeric_limits<int>::max();
  std::size_t ties = 0;
  for (std::size_t i = 0; i < costs.size(); ++i) {
    const int cost = costs[i];
    if (cost > least || (closed[i] > move_ && cost > aspire)) continue;
    if (cost < least) {
      least = cost;
      ties = 0;
    }
    if (random_.Below(++ties) == 0) pick = static_cast<int>(i);
  }
  return pick;
}

int RuleWalk::RandomOpen(int pool, const std::vector<int>& costs, int most) {
  const std::vector<std::uint64_t>& closed =
      closed_until_[static_cast<std::size_t>(pool)];
  int pick = -1;
  std::size_t ties = 0;
  for (std::size_t i = 0; i < costs.size(); ++i) {
    if (closed[i] <= move_ && costs[i] <= most && random_.Below(++ties) == 0) {
      pick = static_cast<int>(i);
    }
  }
  return pick;
}

bool RuleWalk::Settle(std::uint64_t stall) {
  fewest_ = std::numeric_limits<int>::max();
  for (std::uint64_t since = 0; since <= stall && !stopped_; ++move_) {
    const int broken = counts_.front().Broken(khz_, groups_, broken_by_);
    if (Charge(counts_.front())) break;
    if (broken == 0) return true;
    if (broken < fewest_) {
      fewest_ = broken;
      since = 0;
    } else {
      ++since;
    }
    Move(broken);
  }
  return false;
}

void RuleWalk::Move(int broken) {
  std::size_t out = khz_.size();
  int in = -1;
  const std::size_t free = khz_.size() - fixed_;
  if (free == 0) return;
  if (random_.Below(kDriftIn) == 0) {
    // Any carrier to a random channel that breaks no more than it does.
    out = fixed_ + random_.Below(free);
    const int pool = pools_[out];
    in = RandomOpen(pool, CostsOf(pool, out), broken_by_[out]);
  } else if (random_.Below(kNoiseIn) == 0) {
    // A carrier that breaks a rule to a channel of nearly the least cost.
    std::size_t seen = 0;
    for (std::size_t i = fixed_; i < khz_.size(); ++i) {
      if (broken_by_[i] > 0 && random_.Below(++seen) == 0) out = i;
    }
    if (out == khz_.size()) return;
    const int pool = pools_[out];
    const std::vector<int>& costs = CostsOf(pool, out);
    const int c = Cheapest(pool, costs, kNoAspiration);
    if (c >= 0) in = RandomOpen(pool, costs, costs[c] + kNoiseSlack);
  } else {
    // The move that leaves the fewest broken rules.
    int least = std::numeric_limits<int>::max();
    std::size_t ties = 0;
    for (std::size_t i = fixed_; i < khz_.size() && !stopped_; ++i) {
      if (broken_by_[i] == 0) continue;
      const int rest = broken - broken_by_[i];
      const std::vector<int>& costs = CostsOf(pools_[i], i);
      const int c = Cheapest(pools_[i], costs, fewest_ - rest - 1);
      if (c < 0) continue;
      const int total = rest + costs[static_cast<std::size_t>(c)];
      if (total > least) continue;
      if (total < least) {
        least = total;
        ties = 0;
      }
      if (random_.Below(++ties) == 0) {
        out = i;
        in = c;
      }
    }
  }
  if (stopped_ || out == khz_.size()) return;
  const int pool = pools_[out];
  const std::span<const Khz> channels =
      pools_of_[static_cast<std::size_t>(pool)].channels;
  const auto at = std::lower_bound(channels.begin(), channels.end(), khz_[out]);
  if (at != channels.end() && *at == khz_[out]) {
    closed_until_[static_cast<std::size_t>(pool)]
                 [static_cast<std::size_t>(at - channels.begin())] =
                     move_ + kTabuMoves + random_.Below(kTabuSpread);
  }
  if (in >= 0) khz_[out] = channels[static_cast<std::size_t>(in)];
}

}  // namespace zelmar::plan
