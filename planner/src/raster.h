// The raster of a request: when every carrier lies on one raster, every gap
// and every distance (products included) is a whole number of its steps.
#pragma once

#include <algorithm>
#include <numeric>
#include <span>

#include "zelmar/planner.h"

namespace zelmar::plan {

struct Raster {
  Khz origin = 0;  // the lowest carrier
  Khz step = 1;    // 1 kHz where nothing sets it
  Khz steps = 0;   // from the lowest carrier to the highest
};

// The raster of the candidates (ascending) and the fixed carriers (sorted).
inline Raster RasterOf(std::span<const Khz> candidates,
                       std::span<const Khz> fixed) {
  if (candidates.empty() && fixed.empty()) return {};
  Khz low = candidates.empty() ? fixed.front() : candidates.front();
  Khz high = candidates.empty() ? fixed.back() : candidates.back();
  if (!fixed.empty()) {
    low = std::min(low, fixed.front());
    high = std::max(high, fixed.back());
  }
  Khz step = 0;
  for (Khz v : candidates) step = std::gcd(step, v - low);
  for (Khz v : fixed) step = std::gcd(step, v - low);
  Raster raster;
  raster.origin = low;
  raster.step = step == 0 ? 1 : step;
  raster.steps = (high - low) / raster.step;
  return raster;
}

}  // namespace zelmar::plan
