// Whether the dense search takes a request, and the request in raster
// positions.
#include <algorithm>

#include "dense/explorer.h"
#include "dense/search.h"
#include "raster.h"

namespace zelmar::plan {
namespace {

// The radius (in raster steps) of a family whose margin must reach
// `at_least` kHz: products at that many steps or fewer fall short. Capped
// where every product of the band would fall short anyway.
int Radius(Khz at_least, Khz step, int cap) {
  const Khz steps = (std::max<Khz>(at_least, 1) + step - 1) / step - 1;
  return static_cast<int>(std::min<Khz>(steps, cap));
}

}  // namespace

Khz DenseRasterStep(const PlanRequest& request, std::span<const Khz> fixed) {
  return RasterOf(request.candidates, fixed).step;
}

bool DenseApplies(const PlanRequest& request, std::span<const Khz> fixed) {
  if (request.candidates.empty()) return false;
  if (!request.group_counts.empty() &&
      (request.groups.size() != request.candidates.size() ||
       request.group_counts.size() > kMaxGroups)) {
    return false;
  }
  return RasterOf(request.candidates, fixed).steps <= kMaxDenseSteps;
}

namespace dense {

Problem MakeProblem(const PlanRequest& request, std::span<const Khz> fixed,
                    const std::array<Khz, kFamilyCount>& at_least) {
  const Raster raster = RasterOf(request.candidates, fixed);
  Problem p;
  p.origin = raster.origin;
  p.raster = raster.step;
  p.top = static_cast<int>(raster.steps);
  p.words = WordsFor(p.top + 1);
  const auto at = [&](Khz v) {
    return static_cast<int>((v - raster.origin) / raster.step);
  };
  p.candidate.assign(static_cast<std::size_t>(p.words), 0);
  for (Khz v : request.candidates) {
    const int q = at(v);
    p.position.push_back(q);
    p.candidate[static_cast<std::size_t>(q / kWordBits)] |= Word{1}
                                                            << (q % kWordBits);
  }
  for (Khz v : fixed) p.fixed.push_back(at(v));
  // Every product lies within 3 top of every carrier.
  const int cap = 3 * p.top + 1;
  const Rules& rules = request.rules;
  p.spacing =
      static_cast<int>(std::min<Khz>(rules.spacing / raster.step, p.top + 1));
  p.r2 = Radius(std::max(at_least[0], rules.guard + 1), raster.step, cap);
  if (rules.window_3tx3) {
    p.r3 =
        Radius(std::max(at_least[1], *rules.window_3tx3 + 1), raster.step, cap);
  }
  if (rules.window_2tx5) {
    p.r5 =
        Radius(std::max(at_least[2], *rules.window_2tx5 + 1), raster.step, cap);
  }
  const std::size_t positions = static_cast<std::size_t>(p.top) + 2;
  if (!request.group_counts.empty()) {
    p.group_need = request.group_counts;
    p.group_of.assign(positions, -1);
    p.group_after.assign(p.group_need.size(), std::vector<int>(positions, 0));
    for (std::size_t i = 0; i < p.position.size(); ++i) {
      p.group_of[static_cast<std::size_t>(p.position[i])] = request.groups[i];
    }
    for (std::size_t g = 0; g < p.group_need.size(); ++g) {
      std::vector<int>& after = p.group_after[g];
      for (std::size_t q = positions - 1; q-- > 0;) {
        after[q] = after[q + 1] + (p.group_of[q] == static_cast<int>(g));
      }
    }
  }
  p.shift_invariant = p.fixed.empty() &&
                      p.position.size() == static_cast<std::size_t>(p.top) + 1;
  // Nothing known yet: no bound but the trivial one.
  p.suffix.assign(positions, kMaxCarriers);
  p.suffix.back() = 0;
  return p;
}

}  // namespace dense
}  // namespace zelmar::plan
