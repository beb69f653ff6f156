// The repair of a plan of several groups: the walk on broken rules over
// every pool's channels, each group judged by its own windows and kept
// from the others by the spacing between groups.
#include "conflicts.h"
#include "groups/search.h"
#include "rule_walk.h"

namespace zelmar::plan {

Placed GroupSearch::Repair(int open_count, std::uint64_t moves, Random& random,
                           const Seed* start) {
  Placed p;
  const ConflictRules rules = ConflictRules::OfGroups(request_.groups);
  std::vector<WalkPool> pools;
  for (const Pool& pool : request_.pools) {
    pools.push_back({pool.channels, pool.group});
  }
  RuleWalk walk(rules, pools, meter_, random);
  std::vector<Khz> fixed_khz;
  std::vector<int> fixed_groups;
  for (const Carrier& c : request_.fixed) {
    fixed_khz.push_back(c.khz);
    fixed_groups.push_back(c.group);
  }
  walk.Start(fixed_khz, fixed_groups);
  std::vector<int> placed(request_.pools.size(), 0);
  for (std::size_t i = request_.fixed.size();
       start != nullptr && i < start->plan.size(); ++i) {
    const int pool = start->pool[i];
    if (pool < 0 || placed[pool] == Need(pool, open_count)) continue;
    ++placed[pool];
    walk.Place(pool, start->plan[i].khz);
  }
  for (int pool : order_) {
    for (int t = placed[pool]; t < Need(pool, open_count); ++t) {
      walk.PlaceCheapest(pool);
    }
  }
  if (walk.khz().size() == request_.fixed.size()) return p;
  if (!walk.Settle(moves)) return p;
  for (std::size_t i = 0; i < walk.khz().size(); ++i) {
    p.plan.push_back({walk.khz()[i], walk.groups()[i]});
    p.pool.push_back(walk.pools()[i]);
  }
  if (const auto score = tables_.ScoreOf(p.plan)) {
    p.score = *score;
    p.found = true;
  }
  return p;
}

}  // namespace zelmar::plan
