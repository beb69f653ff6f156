#include "groups/seed.h"

#include <algorithm>

namespace zelmar::plan {
namespace {

// The one-group request of group g's pools and fixed carriers; false when
// its pools share a channel, which one-group requests do not allow.
bool OneGroupRequest(const GroupRequest& request, int g,
                     std::vector<int>& pools, PlanRequest& one) {
  one.rules = request.groups[g].rules;
  one.threads = 1;
  for (const Carrier& c : request.fixed) {
    if (c.group == g) one.fixed.push_back(c.khz);
  }
  for (std::size_t p = 0; p < request.pools.size(); ++p) {
    if (request.pools[p].group == g) pools.push_back(static_cast<int>(p));
  }
  if (pools.empty()) return false;
  const int fixed = static_cast<int>(one.fixed.size());
  if (pools.size() == 1) {
    const Pool& pool = request.pools[pools[0]];
    one.candidates = pool.channels;
    one.count = pool.count == 0 ? 0 : pool.count + fixed;
    return true;
  }
  std::vector<std::pair<Khz, std::uint8_t>> channels;
  one.count = fixed;
  for (std::size_t k = 0; k < pools.size(); ++k) {
    const Pool& pool = request.pools[pools[k]];
    for (Khz f : pool.channels) {
      channels.emplace_back(f, static_cast<std::uint8_t>(k));
    }
    one.group_counts.push_back(pool.count);
    one.count += pool.count;
  }
  std::sort(channels.begin(), channels.end());
  for (const auto& [f, k] : channels) {
    if (!one.candidates.empty() && one.candidates.back() == f) return false;
    one.candidates.push_back(f);
    one.groups.push_back(k);
  }
  return true;
}

// The pool among `pools` that holds channel f.
int PoolOf(const GroupRequest& request, const std::vector<int>& pools, Khz f) {
  for (int p : pools) {
    const std::vector<Khz>& channels = request.pools[p].channels;
    if (std::binary_search(channels.begin(), channels.end(), f)) return p;
  }
  return -1;
}

// What group g alone (request `one`) rules out for the whole.
void NoteAlone(const GroupRequest& request, int g, const PlanRequest& one,
               const PlanOutcome& outcome, Seed& seed) {
  const auto lower = [](auto& bound, auto value) {
    if (!bound || value < *bound) bound = value;
  };
  if (one.count == 0) {
    const int fixed = static_cast<int>(one.fixed.size());
    if (outcome.status == PlanOutcome::Status::kFound &&
        outcome.most_possible) {
      lower(seed.open_possible, *outcome.most_possible - fixed);
    } else if (outcome.status == PlanOutcome::Status::kNone &&
               outcome.largest) {
      lower(seed.open_possible, *outcome.largest - fixed);
    }
    return;
  }
  if (outcome.status == PlanOutcome::Status::kFound &&
      outcome.margin_possible) {
    lower(seed.headroom_possible,
          *outcome.margin_possible - request.groups[g].rules.guard);
  }
}

}  // namespace

Seed SeedFromGroups(const GroupRequest& request, Budget& budget,
                    std::uint64_t work) {
  Seed seed;
  seed.plan = request.fixed;
  seed.pool.assign(seed.plan.size(), -1);
  for (int g = 0; g < static_cast<int>(request.groups.size()); ++g) {
    std::vector<int> pools;
    PlanRequest one;
    if (!OneGroupRequest(request, g, pools, one)) {
      if (pools.empty()) continue;
      return seed;
    }
    // The group's search charges the whole search's budget, whose stop
    // it obeys, and ends after its own share.
    std::uint64_t spent = 0;
    const StopCheck stop = [&](const SearchProgress&) {
      spent += Budget::kLookInterval;
      return budget.Spend(Budget::kLookInterval) || spent >= work;
    };
    const PlanOutcome outcome = FindBestPlan(one, stop);
    NoteAlone(request, g, one, outcome, seed);
    if (outcome.status != PlanOutcome::Status::kFound) return seed;
    for (Khz f : outcome.plan) {
      if (std::find(one.fixed.begin(), one.fixed.end(), f) != one.fixed.end()) {
        continue;
      }
      seed.plan.push_back({f, g});
      seed.pool.push_back(PoolOf(request, pools, f));
    }
  }
  seed.found = true;
  return seed;
}

}  // namespace zelmar::plan
