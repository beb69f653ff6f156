// Groups that cannot meet: where no product made with carriers of two
// groups, nor any product of one group's carriers, can come within a window
// of another group's channels, and the groups' channels lie farther apart
// than the spacing between them, every plan's rules are each group's own;
// and where such products also lie farther off than the closest of the
// groups' own, they rank no plan either.
// The best plan is then each group's own, asked of the one-group dense
// search: family by family, the most headroom the tightest group allows
// (each group's most at the floors already settled), then each group's
// first plan at those floors, in the order of their channels. Every
// question is proven, so the answer is.
#pragma once

#include <vector>

#include "budget.h"
#include "groups/headroom.h"
#include "zelmar/groups.h"

namespace zelmar::plan {

struct ApartAnswer {
  enum class Status {
    kNotApart,
    kStopped,
    kNone,
    kFound
  } status = Status::kNotApart;
  std::vector<Carrier> plan;  // fixed carriers first, then each group's
  std::vector<int> pool;      // per carrier: its pool, -1 for fixed ones
};

// kNotApart where the groups may meet or their products rank plans, a group
// has other than one counted pool, or a group's channels are not on a
// narrow raster.
ApartAnswer PlanApart(const GroupRequest& request, const GroupTables& tables,
                      Budget& budget);

}  // namespace zelmar::plan
