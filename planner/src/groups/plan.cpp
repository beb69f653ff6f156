// FindGroupPlan: the best plan of several device groups. A greedy start, a
// seed of each group planned alone and improvement walks find good plans
// early; the branch and bound proves the best where it runs to its end.
// Rounds of growing budgets alternate the two, as FindBestPlan does for
// one group. And the spares beside a plan.
#include <algorithm>

#include "groups/apart.h"
#include "groups/search.h"
#include "raster.h"

namespace zelmar::plan {
namespace {

// Work each group's own search may spend on the seed: about 0.1 s.
constexpr std::uint64_t kSeedWork = 4'000'000;

// The open pool's carriers in a plan.
int OpenCount(const Placed& p, int open) {
  return static_cast<int>(std::count(p.pool.begin(), p.pool.end(), open));
}

void Fill(GroupOutcome& outcome, const Placed& p) {
  outcome.status = PlanOutcome::Status::kFound;
  outcome.plan = Ascending(p.plan);
}

// The least of what the seeds rule out.
struct Bounds {
  std::optional<Khz> headroom;
  std::optional<int> open;
  void Take(const Seed& seed) {
    Lower(headroom, seed.headroom_possible);
    Lower(open, seed.open_possible);
  }
  template <class T>
  static void Lower(std::optional<T>& bound, const std::optional<T>& value) {
    if (value && (!bound || *value < *bound)) bound = value;
  }
};

// The request with its groups in name order (see GroupRequest::names):
// `given[g]` is the given index of group g of `request`.
struct NameOrder {
  GroupRequest request;
  std::vector<int> given;
};
NameOrder InNameOrder(const GroupRequest& request) {
  const int groups = static_cast<int>(request.groups.size());
  NameOrder order;
  order.given.resize(static_cast<std::size_t>(groups));
  for (int g = 0; g < groups; ++g) order.given[g] = g;
  if (!request.names.empty()) {
    std::stable_sort(order.given.begin(), order.given.end(), [&](int a, int b) {
      return request.names[a] < request.names[b];
    });
  }
  std::vector<int> placed(static_cast<std::size_t>(groups));
  for (int g = 0; g < groups; ++g) placed[order.given[g]] = g;
  GroupRequest& r = order.request;
  r.threads = request.threads;
  for (int g = 0; g < groups; ++g) {
    r.groups.push_back(request.groups[order.given[g]]);
    if (!request.names.empty())
      r.names.push_back(request.names[order.given[g]]);
  }
  // A group's pools keep their own order; the groups' follow the names.
  for (int g = 0; g < groups; ++g) {
    for (const Pool& pool : request.pools) {
      if (pool.group != order.given[g]) continue;
      r.pools.push_back(pool);
      r.pools.back().group = g;
    }
  }
  for (const Carrier& c : request.fixed)
    r.fixed.push_back({c.khz, placed[c.group]});
  r.fixed = Ascending(r.fixed);
  return order;
}

GroupOutcome SearchInOrder(const GroupRequest& request, const StopCheck& stop);

// The step of every channel and fixed carrier: headrooms differ by whole
// steps of it.
Khz StepOf(const GroupRequest& request) {
  std::vector<Khz> all;
  for (const Carrier& c : request.fixed) all.push_back(c.khz);
  for (const Pool& pool : request.pools) {
    all.insert(all.end(), pool.channels.begin(), pool.channels.end());
  }
  std::sort(all.begin(), all.end());
  return RasterOf(all, {}).step;
}

// A plan of 2tx3 headroom `ask` or more, as the repair finds it from
// `from` within `moves` moves under every group's 2tx3 window widened by
// ask - 1 kHz (a headroom of ask is a distance of more than the window
// plus ask - 1), then scored under the request's own windows; not found
// where the repair leaves a rule broken.
Placed WithHeadroom(const GroupRequest& request, const GroupSearch& search,
                    const Placed& from, Khz ask, int open_count,
                    std::uint64_t moves, Budget& budget, Random& random) {
  GroupRequest widened = request;
  for (GroupRules& g : widened.groups) g.rules.guard += ask - 1;
  GroupSearch wide(widened, budget);
  Seed start;
  start.plan = from.plan;
  start.pool = from.pool;
  start.found = true;
  Placed p = wide.Repair(open_count, moves, random, &start);
  if (!p.found) return {};
  const std::optional<Score> score = search.tables().ScoreOf(p.plan);
  if (!score) return {};
  p.score = *score;
  return p;
}

// Raises the 2tx3 headroom of `best` one step at a time while the repair
// finds a plan of the next, up to what the seeds rule out: the walks move
// one carrier to a better place, where a higher headroom often needs
// several to move at once.
void ClimbHeadroom(const GroupRequest& request, GroupSearch& search,
                   Placed& best, const std::optional<Khz>& ruled_out,
                   int open_count, std::uint64_t moves, Budget& budget,
                   Random& random) {
  const Khz step = StepOf(request);
  while (!search.stopped() && best.score.m[0] != kNoMargin) {
    const Khz ask = best.score.m[0] + step;
    if (ruled_out && ask > *ruled_out) return;
    const Placed up = WithHeadroom(request, search, best, ask, open_count,
                                   moves, budget, random);
    if (!up.found ||
        !BetterGroupPlan(up.plan, up.score, best.plan, best.score)) {
      return;
    }
    best = up;
    search.Offer(best);
  }
}

}  // namespace

GroupOutcome FindGroupPlan(const GroupRequest& request, const StopCheck& stop) {
  GroupOutcome outcome;
  outcome.error = CheckGroupRequest(request);
  if (outcome.error != GroupRequestError::kNone) {
    outcome.status = PlanOutcome::Status::kRefused;
    return outcome;
  }
  const NameOrder order = InNameOrder(request);
  const std::vector<int>& given = order.given;
  const StopCheck given_stop = [&](const SearchProgress& progress) {
    if (!stop) return false;
    SearchProgress told = progress;
    for (int& g : told.best_groups) g = given[g];
    return stop(told);
  };
  outcome = SearchInOrder(order.request, stop ? given_stop : StopCheck());
  for (Carrier& c : outcome.plan) c.group = given[c.group];
  return outcome;
}

namespace {

GroupOutcome SearchInOrder(const GroupRequest& request, const StopCheck& stop) {
  GroupOutcome outcome;
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
  Bounds bounds;
  bounds.Take(seed);
  const Placed seeded = search.Seeded(seed);
  // Groups that cannot meet are each planned alone, proven.
  const ApartAnswer apart = PlanApart(request, search.tables(), budget);
  if (apart.status == ApartAnswer::Status::kNone) {
    outcome.status = PlanOutcome::Status::kNone;
    outcome.proven = true;
    outcome.nodes = budget.nodes();
    return outcome;
  }
  if (apart.status == ApartAnswer::Status::kFound) {
    Placed p;
    p.plan = apart.plan;
    p.pool = apart.pool;
    const std::optional<Score> score = search.tables().ScoreOf(p.plan);
    // Checked against what the other searches found: never claimed where
    // they beat it.
    if (score &&
        !(best.found &&
          BetterGroupPlan(best.plan, best.score, p.plan, *score)) &&
        !(seeded.found &&
          BetterGroupPlan(seeded.plan, seeded.score, p.plan, *score))) {
      p.score = *score;
      p.found = true;
      search.Offer(p);
      Fill(outcome, p);
      outcome.proven = true;
      outcome.headroom_possible = Searcher::MarginOf(p.score.m[0]);
      outcome.nodes = budget.nodes();
      return outcome;
    }
  }
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
  std::uint64_t seed_work = kSeedWork;
  for (std::uint64_t moves = 64; size_known && !search.stopped();
       moves *= 2, nodes *= 2) {
    // Each round the groups planned alone get twice the work: where they
    // lie apart, the one-group search's plans beat the walks'.
    seed_work *= 2;
    const Seed next = SeedFromGroups(request, budget, seed_work);
    bounds.Take(next);
    const Placed reseeded = search.Seeded(next);
    if (reseeded.found && OpenCount(reseeded, open) == open_count &&
        BetterGroupPlan(reseeded.plan, reseeded.score, best.plan, best.score)) {
      best = reseeded;
      search.Offer(best);
    }
    ClimbHeadroom(request, search, best, bounds.headroom, open_count, 4 * moves,
                  budget, random);
    search.Walk(best, moves, random);
    if (search.Exact(false, open_count, nodes, best)) {
      proven = !search.stopped();
      break;
    }
  }
  Fill(outcome, best);
  outcome.proven = proven;
  if (proven && open >= 0) outcome.largest = open_count;
  const std::optional<Khz> headroom = Searcher::MarginOf(best.score.m[0]);
  if (proven) {
    outcome.headroom_possible = headroom;
    if (open >= 0) outcome.most_possible = open_count;
  } else {
    outcome.headroom_possible = bounds.headroom;
    if (open >= 0 && size_known) {
      outcome.most_possible = open_count;
    } else if (open >= 0 && bounds.open) {
      outcome.most_possible = std::max(*bounds.open, open_count);
    }
  }
  outcome.nodes = budget.nodes();
  return outcome;
}

}  // namespace

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
