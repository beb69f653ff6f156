// How many carriers a valid plan may hold at most, from the candidates and
// the rules alone, before any search: the bounds a --max answer is proven
// against where its search ends early, and which end that search where it
// reaches them.
#pragma once

#include <span>

#include "zelmar/planner.h"

namespace zelmar::plan {

// Under the spacing alone: the fixed carriers and, from the lowest up,
// every candidate more than the spacing above the last one taken and
// below the next fixed carrier. Taking the lowest that fits never leaves
// less room above, so no plan holds more.
int SpacedMost(std::span<const Khz> candidates, std::span<const Khz> fixed,
               Khz spacing);

// With 3tx3 checked: n carriers have n (n - 1) / 2 differences, and any
// two of them differ by more than the least of the spacing (a shared end),
// the 2tx3 window (a shared middle) and the 3tx3 window (no shared end),
// each a whole number of raster steps above the spacing and at most the
// span. The n - 1 gaps between neighbours, so spread, add up to the span.
// kMaxCarriers where 3tx3 is not checked.
int SpreadDifferencesMost(std::span<const Khz> candidates,
                          std::span<const Khz> fixed, const Rules& rules);

// The least of these, of the optimal Golomb rulers of the span (3tx3 with
// a window of 0) and of the candidates and fixed carriers there are (at
// most kMaxCarriers); `fixed` sorted.
int MostByRules(const PlanRequest& request, std::span<const Khz> fixed);

}  // namespace zelmar::plan
