#include "count_bounds.h"

#include <algorithm>

#include "golomb.h"
#include "raster.h"

namespace zelmar::plan {

int SpacedMost(std::span<const Khz> candidates, std::span<const Khz> fixed,
               Khz spacing) {
  int most = static_cast<int>(fixed.size());
  std::size_t next_fixed = 0;
  bool any = false;
  Khz last = 0;
  for (Khz x : candidates) {
    while (next_fixed < fixed.size() && fixed[next_fixed] <= x) {
      last = fixed[next_fixed++];
      any = true;
    }
    if (any && x - last <= spacing) continue;
    if (next_fixed < fixed.size() && fixed[next_fixed] - x <= spacing) {
      continue;
    }
    ++most;
    last = x;
    any = true;
  }
  return most;
}

int SpreadDifferencesMost(std::span<const Khz> candidates,
                          std::span<const Khz> fixed, const Rules& rules) {
  if (!rules.window_3tx3) return kMaxCarriers;
  const Raster raster = RasterOf(candidates, fixed);
  const Khz step = raster.step;
  const auto above = [step](Khz value) {  // the least multiple beyond it
    return (value / step + 1) * step;
  };
  const Khz span = raster.steps * step;
  const Khz least = above(rules.spacing);
  const Khz apart =
      above(std::min({rules.spacing, rules.guard, *rules.window_3tx3}));
  for (Khz n = 2; n <= kMaxCarriers; ++n) {
    const Khz differences = n * (n - 1) / 2;
    const Khz gaps = n - 1;
    const bool too_many = least > span ||
                          (differences - 1) * apart > span - least ||
                          gaps * least + apart * gaps * (gaps - 1) / 2 > span;
    if (too_many) return static_cast<int>(n - 1);
  }
  return kMaxCarriers;
}

int MostByRules(const PlanRequest& request, std::span<const Khz> fixed) {
  int most = static_cast<int>(std::min<std::size_t>(
      kMaxCarriers, fixed.size() + request.candidates.size()));
  most = std::min(most,
                  SpacedMost(request.candidates, fixed, request.rules.spacing));
  most = std::min(
      most, SpreadDifferencesMost(request.candidates, fixed, request.rules));
  if (request.rules.window_3tx3) {
    const auto golomb =
        GolombMarksWithin(RasterOf(request.candidates, fixed).steps);
    if (golomb) most = std::min(most, *golomb);
  }
  return std::max(most, static_cast<int>(fixed.size()));
}

}  // namespace zelmar::plan
