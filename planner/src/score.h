// A plan's margins as the search ranks them.
#pragma once

#include <array>
#include <compare>
#include <limits>

#include "zelmar/planner.h"

namespace zelmar::plan {

constexpr Khz kNoMargin = std::numeric_limits<Khz>::max();
// Margins in family order; kNoMargin where nothing is measured (or the
// family is not checked). Larger is better, compared lexicographically.
struct Score {
  std::array<Khz, kFamilyCount> m{kNoMargin, kNoMargin, kNoMargin};
  // Written out: the WebAssembly build's C++ library has no std::array <=>.
  friend bool operator==(const Score& a, const Score& b) { return a.m == b.m; }
  friend std::strong_ordering operator<=>(const Score& a, const Score& b) {
    for (std::size_t k = 0; k < a.m.size(); ++k) {
      if (a.m[k] != b.m[k]) return a.m[k] <=> b.m[k];
    }
    return std::strong_ordering::equal;
  }
};

}  // namespace zelmar::plan
