// FindGroupPlan: the best plan of several device groups. A greedy start and
// improvement walks find good plans early; a branch and bound over the
// pools (each pool's channels in ascending order, every node bounded by
// its own score, which only falls as carriers are added) proves the best
// where it runs to its end. Rounds of growing budgets alternate the two,
// as FindBestPlan does for one group.
#include <algorithm>
#include <limits>

#include "budget.h"
#include "group_score.h"
#include "group_seed.h"
#include "searcher.h"

namespace zelmar::plan {
namespace {

constexpr int kGreedyAttempts = 8;
// Work each group's own search may spend on the seed: about 0.1 s.
constexpr std::uint64_t kSeedWork = 4'000'000;
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
  // that breaks rules: one carrier of a broken rule at a time moves to the
  // channel of its pool where it breaks the fewest. Not found when `moves`
  // moves leave rules broken.
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
  // The channel of `pool` where a carrier breaks the fewest rules beside
  // `rest`, ties broken at random, `avoid` left out.
  Khz FewestConflicts(std::span<const Carrier> rest, int pool, Khz avoid,
                      Random& random, int& conflicts);

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

Khz GroupSearch::FewestConflicts(std::span<const Carrier> rest, int pool,
                                 Khz avoid, Random& random, int& conflicts) {
  const Pool& p = request_.pools[pool];
  const std::size_t n = p.channels.size();
  const std::size_t looked = std::min(n, kLookedAt / 4);
  const std::uint64_t cost = tables_.Cost(static_cast<int>(rest.size()));
  Khz best = 0;
  std::size_t ties = 0;
  conflicts = std::numeric_limits<int>::max();
  for (std::size_t k = 0; k < looked; ++k) {
    const Khz f = looked == n ? p.channels[k] : p.channels[random.Below(n)];
    if (f == avoid) continue;
    if (meter_.Charge(cost)) break;
    const int c = tables_.ConflictsWith(rest, {f, p.group}, conflicts);
    if (c < conflicts) {
      conflicts = c;
      best = f;
      ties = 1;
    } else if (c == conflicts && random.Below(++ties) == 0) {
      best = f;
    }
  }
  return best;
}

Placed GroupSearch::Repair(int open_count, std::uint64_t moves, Random& random,
                           const Seed* start) {
  Placed p;
  p.plan = request_.fixed;
  p.pool.assign(p.plan.size(), -1);
  const std::size_t fixed = p.plan.size();
  std::vector<int> placed(request_.pools.size(), 0);
  for (std::size_t i = fixed; start != nullptr && i < start->plan.size(); ++i) {
    const int pool = start->pool[i];
    if (pool < 0 || placed[pool] == Need(pool, open_count)) continue;
    ++placed[pool];
    p.plan.push_back(start->plan[i]);
    p.pool.push_back(pool);
  }
  int conflicts = 0;
  for (int pool : order_) {
    for (int t = placed[pool]; t < Need(pool, open_count); ++t) {
      const Khz f = FewestConflicts(p.plan, pool, 0, random, conflicts);
      p.plan.push_back({f, request_.pools[pool].group});
      p.pool.push_back(pool);
    }
  }
  if (p.plan.size() == fixed) return p;
  std::vector<Carrier> rest;
  std::vector<int> broken;
  Khz left = 0;
  for (std::uint64_t m = 0; m < moves && !stopped(); ++m) {
    broken.clear();
    for (std::size_t i = fixed; i < p.plan.size(); ++i) {
      rest = p.plan;
      rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
      if (meter_.Charge(tables_.Cost(static_cast<int>(rest.size())))) break;
      if (tables_.ConflictsWith(rest, p.plan[i], 0) > 0) {
        broken.push_back(static_cast<int>(i));
      }
    }
    if (broken.empty()) {
      if (auto score = tables_.ScoreOf(p.plan)) {
        p.score = *score;
        p.found = true;
      }
      return p;
    }
    const std::size_t i = broken[random.Below(broken.size())];
    rest = p.plan;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
    // Now and then a random channel: a way out of a plateau.
    const std::vector<Khz>& channels = request_.pools[p.pool[i]].channels;
    const Khz f =
        random.Below(16) == 0
            ? channels[random.Below(channels.size())]
            : FewestConflicts(rest, p.pool[i], left, random, conflicts);
    if (f == 0) continue;
    left = p.plan[i].khz;
    p.plan[i].khz = f;
  }
  return p;
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

bool GroupSearch::Exact(bool first, int open_count, std::uint64_t node_budget,
                        Placed& best) {
  first_ = first;
  open_count_ = open_count;
  nodes_ = 0;
  node_end_ = node_budget;
  cut_ = false;
  best_ = &best;
  stack_ = request_.fixed;
  scores_.clear();
  const auto root = tables_.ScoreOf(stack_);
  if (!root) return true;
  scores_.push_back(*root);
  stack_.reserve(kMaxCarriers);
  Descend(0, 0, 0);
  return !cut_;
}

// Places the next carrier of pool order_[k] (`taken` of it placed, the
// next from channel `from` on). Returns true to end the run.
bool GroupSearch::Descend(std::size_t k, int taken, std::size_t from) {
  while (k < order_.size() && taken == Need(order_[k], open_count_)) {
    ++k;
    taken = 0;
    from = 0;
  }
  const Score score = scores_.back();  // scores_ grows below
  if (k == order_.size()) {
    if (first_ || !best_->found ||
        BetterGroupPlan(stack_, score, best_->plan, best_->score)) {
      best_->plan = stack_;
      best_->score = score;
      best_->found = true;
      best_->pool.clear();
      best_->pool.assign(request_.fixed.size(), -1);
      for (std::size_t i = 0; i < order_.size(); ++i) {
        for (int t = 0; t < Need(order_[i], open_count_); ++t) {
          best_->pool.push_back(order_[i]);
        }
      }
      Offer(*best_);
    }
    return first_;
  }
  const int pool = order_[k];
  const Pool& p = request_.pools[pool];
  const std::size_t need = static_cast<std::size_t>(Need(pool, open_count_));
  for (std::size_t i = from; i + (need - taken) <= p.channels.size(); ++i) {
    if (++nodes_ > node_end_ && node_end_ != 0) {
      cut_ = true;
      return true;
    }
    if (meter_.Charge(tables_.Cost(static_cast<int>(stack_.size())))) {
      cut_ = true;
      return true;
    }
    // A node's score only falls below it: one below the best is cut, one
    // equal to it may still lead to lower frequencies.
    const bool floored = !first_ && best_->found;
    const auto s = tables_.ScoreWith(stack_, score, {p.channels[i], p.group},
                                     floored ? &best_->score : nullptr);
    if (!s) continue;
    stack_.push_back({p.channels[i], p.group});
    scores_.push_back(*s);
    const bool end = Descend(k, taken + 1, i + 1);
    stack_.pop_back();
    scores_.pop_back();
    if (end) return true;
  }
  return false;
}

// The open pool's carriers in a plan.
int OpenCount(const Placed& p, int open) {
  return static_cast<int>(std::count(p.pool.begin(), p.pool.end(), open));
}

void Fill(GroupOutcome& outcome, const Placed& p) {
  outcome.status = PlanOutcome::Status::kFound;
  outcome.plan = Ascending(p.plan);
}

}  // namespace

GroupOutcome FindGroupPlan(const GroupRequest& request, const StopCheck& stop) {
  GroupOutcome outcome;
  outcome.error = CheckGroupRequest(request);
  if (outcome.error != GroupRequestError::kNone) {
    outcome.status = PlanOutcome::Status::kRefused;
    return outcome;
  }
  if (!FindGroupViolations(request.fixed, request.groups, 1).listed.empty()) {
    outcome.status = PlanOutcome::Status::kFixedBroken;
    outcome.proven = true;
    return outcome;
  }
  Budget budget(stop);
  GroupSearch search(request, budget);
  Random random;
  const int open = search.open();
  Placed best = search.Greedy(random);
  const Seed seed = SeedFromGroups(request, budget, kSeedWork);
  const Placed seeded = search.Seeded(seed);
  if (seeded.found &&
      (!best.found || OpenCount(seeded, open) > OpenCount(best, open) ||
       (OpenCount(seeded, open) == OpenCount(best, open) &&
        BetterGroupPlan(seeded.plan, seeded.score, best.plan, best.score)))) {
    best = seeded;
  }
  std::uint64_t nodes = 20'000;
  // Without a greedy plan, the first plan (none in the open pool) is the
  // repair's to find or the exact search's to rule out.
  int open_count = best.found ? OpenCount(best, open) : 0;
  bool size_known = open < 0;
  if (!best.found) {
    for (std::uint64_t moves = 256;; moves *= 2) {
      Placed first = search.Repair(open_count, moves, random,
                                   seed.found ? &seed : nullptr);
      if (first.found) {
        best = first;
        break;
      }
      if (search.stopped()) return outcome;
      const bool done = search.Exact(true, open_count, nodes, first);
      if (first.found) {
        best = first;
        break;
      }
      if (done) {
        outcome.status = PlanOutcome::Status::kNone;
        outcome.proven = !search.stopped();
        outcome.nodes = budget.nodes();
        return outcome;
      }
      if (search.stopped()) return outcome;
      nodes *= 2;
    }
  }
  search.Offer(best);
  // The open pool's size: one more carrier while a plan holds it.
  while (!size_known && !search.stopped()) {
    if (best.plan.size() >= kMaxCarriers) {
      size_known = true;
      break;
    }
    Placed larger;
    const bool done = search.Exact(true, open_count + 1, nodes, larger);
    if (larger.found) {
      best = larger;
      ++open_count;
      search.Offer(best);
    } else if (done) {
      size_known = true;
    } else {
      search.Walk(best, 64, random);
      nodes *= 2;
    }
  }
  bool proven = false;
  for (std::uint64_t moves = 64; size_known && !search.stopped();
       moves *= 2, nodes *= 2) {
    search.Walk(best, moves, random);
    if (search.Exact(false, open_count, nodes, best)) {
      proven = !search.stopped();
      break;
    }
  }
  Fill(outcome, best);
  outcome.proven = proven;
  if (proven && open >= 0) outcome.largest = open_count;
  outcome.nodes = budget.nodes();
  return outcome;
}

std::vector<Khz> FindSpares(std::span<const Carrier> plan,
                            std::span<const GroupRules> groups, int group,
                            std::span<const Khz> channels, int count) {
  const GroupTables tables(groups);
  const auto score = tables.ScoreOf(plan);
  std::vector<std::pair<Score, Khz>> usable;
  if (!score || count <= 0) return {};
  for (Khz f : channels) {
    if (auto s = tables.ScoreWith(plan, *score, {f, group})) {
      usable.emplace_back(*s, f);
    }
  }
  const std::size_t k = std::min<std::size_t>(count, usable.size());
  std::partial_sort(usable.begin(), usable.begin() + k, usable.end(),
                    [](const auto& a, const auto& b) {
                      return a.first != b.first ? a.first > b.first
                                                : a.second < b.second;
                    });
  std::vector<Khz> spares;
  for (std::size_t i = 0; i < k; ++i) spares.push_back(usable[i].second);
  return spares;
}

}  // namespace zelmar::plan
