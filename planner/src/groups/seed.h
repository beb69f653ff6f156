// A start for the search of several groups: each group planned alone by the
// one-group search and the plans put together. Where the groups lie apart,
// as they mostly do, that is already a plan of the one-group search's
// quality; elsewhere it is where the repair starts.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "budget.h"
#include "zelmar/groups.h"

namespace zelmar::plan {

struct Seed {
  std::vector<Carrier> plan;  // the fixed carriers, then the pools'
  std::vector<int> pool;      // per carrier: its pool, -1 for fixed ones
  bool found = false;         // every group had a plan of its own
  // What the groups planned alone rule out for the whole (nullopt: nothing
  // known). A plan's carriers of one group, its fixed ones among them, are
  // a valid plan of that group alone, and the products among them are
  // judged by that group's own window: no plan of the whole has a 2tx3
  // headroom above a counted group's best margin alone less its window,
  // nor more new carriers in the open pool than its group alone holds.
  std::optional<Khz> headroom_possible;
  std::optional<int> open_possible;
};

// Spends at most `work` units of `budget` on each group.
Seed SeedFromGroups(const GroupRequest& request, Budget& budget,
                    std::uint64_t work);

}  // namespace zelmar::plan
