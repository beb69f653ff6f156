// The walks of the search of several groups: the greedy start, the repair
// of plans that break rules, and the improvement walks.
#include <algorithm>
#include <limits>

#include "groups/search.h"

namespace zelmar::plan {
namespace {

constexpr int kGreedyAttempts = 8;

}  // namespace

int GroupSearch::BestChannel(const Placed& placed, int pool, Khz avoid,
                             Random& random, Score& score) {
  const std::vector<Khz>& channels = request_.pools[pool].channels;
  const int group = request_.pools[pool].group;
  const std::size_t n = channels.size();
  const std::size_t stride = n > kLookedAt ? n / kLookedAt : 1;
  const std::size_t offset = stride > 1 ? random.Below(stride) : 0;
  int best = -1;
  std::size_t ties = 0;
  const std::uint64_t cost = tables_.Cost(static_cast<int>(placed.plan.size()));
  for (std::size_t i = offset; i < n; i += stride) {
    if (channels[i] == avoid) continue;
    if (meter_.Charge(cost)) return -1;
    const auto s =
        tables_.ScoreWith(placed.plan, placed.score, {channels[i], group},
                          best < 0 ? nullptr : &score);
    if (!s) continue;
    if (best < 0 || *s > score) {
      best = static_cast<int>(i);
      score = *s;
      ties = 1;
    } else if (*s == score && random.Below(++ties) == 0) {
      best = static_cast<int>(i);
    }
  }
  return best;
}

Placed GroupSearch::Greedy(Random& random) {
  Placed best;
  for (int attempt = 0; attempt < kGreedyAttempts && !stopped(); ++attempt) {
    Placed p;
    p.plan = request_.fixed;
    p.pool.assign(p.plan.size(), -1);
    const auto score = tables_.ScoreOf(p.plan);
    if (!score) return best;
    p.score = *score;
    bool dead = false;
    for (int pool : order_) {
      const int group = request_.pools[pool].group;
      for (int t = 0; pool == open_ || t < request_.pools[pool].count; ++t) {
        if (p.plan.size() == kMaxCarriers) break;
        Score s;
        const int i = attempt > 0 && t == 0 && pool != open_
                          ? -2
                          : BestChannel(p, pool, 0, random, s);
        int chosen = i;
        if (i == -2) {  // a random valid channel to start from
          const auto& ch = request_.pools[pool].channels;
          for (std::size_t k = 0, at = random.Below(ch.size());
               k < ch.size() && chosen < 0; ++k, at = (at + 1) % ch.size()) {
            if (auto r = tables_.ScoreWith(p.plan, p.score, {ch[at], group})) {
              chosen = static_cast<int>(at);
              s = *r;
            }
          }
        }
        if (chosen < 0) {
          dead = pool != open_;
          break;
        }
        p.plan.push_back({request_.pools[pool].channels[chosen], group});
        p.pool.push_back(pool);
        p.score = s;
      }
      if (dead || stopped()) break;
    }
    if (dead || stopped()) continue;
    p.found = true;
    const bool larger = !best.found || p.plan.size() > best.plan.size();
    if (larger || (p.plan.size() == best.plan.size() &&
                   BetterGroupPlan(p.plan, p.score, best.plan, best.score))) {
      best = p;
    }
  }
  return best;
}

std::size_t GroupSearch::PickOut(const Placed& current, Random& random) {
  const std::size_t fixed = request_.fixed.size();
  const std::size_t n = current.plan.size();
  if (random.Below(2) == 0) return fixed + random.Below(n - fixed);
  // A carrier of the tightest product: of 2tx3 mostly, now and then of a
  // later family, whose headroom counts once the earlier ones are at best.
  meter_.Charge(tables_.Cost(static_cast<int>(n)) * n);
  const GroupFigures figures = MeasureGroups(current.plan, request_.groups);
  int family = 0;
  while (family + 1 < kFamilyCount && random.Below(3) == 0) ++family;
  for (int f = family; f >= 0; --f) {
    const std::optional<Finding>& tightest = figures.tightest[f];
    if (!tightest) continue;
    const Product& q = tightest->product;
    std::vector<std::size_t> involved;
    for (std::size_t i = fixed; i < n; ++i) {
      const Khz khz = current.plan[i].khz;
      if (khz == q.victim ||
          std::find(q.carriers.begin(), q.carriers.begin() + q.carrier_count,
                    khz) != q.carriers.begin() + q.carrier_count) {
        involved.push_back(i);
      }
    }
    if (!involved.empty()) return involved[random.Below(involved.size())];
  }
  return fixed + random.Below(n - fixed);
}

void GroupSearch::Walk(Placed& best, std::uint64_t moves, Random& random) {
  Placed current = best;
  const std::size_t fixed = request_.fixed.size();
  const std::size_t n = current.plan.size();
  if (n == fixed) return;
  Khz tabu = 0;
  for (std::uint64_t m = 0; m < moves && !stopped(); ++m) {
    const std::size_t out = PickOut(current, random);
    Placed rest = current;
    const Carrier removed = rest.plan[out];
    const int pool = rest.pool[out];
    rest.plan.erase(rest.plan.begin() + static_cast<std::ptrdiff_t>(out));
    rest.pool.erase(rest.pool.begin() + static_cast<std::ptrdiff_t>(out));
    meter_.Charge(tables_.Cost(static_cast<int>(n)) * n);
    rest.score = *tables_.ScoreOf(rest.plan);
    Score s;
    const int i = BestChannel(rest, pool, tabu, random, s);
    if (i < 0) continue;
    if (s < current.score && random.Below(8) != 0) continue;
    tabu = removed.khz;
    rest.plan.push_back({request_.pools[pool].channels[i], removed.group});
    rest.pool.push_back(pool);
    rest.score = s;
    current = std::move(rest);
    if (BetterGroupPlan(current.plan, current.score, best.plan, best.score)) {
      best = current;
      Offer(best);
    }
  }
}

}  // namespace zelmar::plan
