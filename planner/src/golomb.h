// The optimal Golomb rulers: no k marks whose pairwise distances are all
// different span fewer units than the table says (OEIS A003022). With 3tx3
// checked, the carriers of a plan are such a ruler on the raster, so the
// table bounds how many fit a stretch of it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "zelmar/planner.h"

namespace zelmar::plan {

// The least span of 1, 2, ... marks.
inline constexpr std::array<int, 28> kGolombLength = {
    0,   1,   3,   6,   11,  17,  25,  34,  44,  55,  72,  85,  106, 127,
    151, 177, 199, 216, 246, 283, 333, 356, 372, 425, 480, 492, 553, 585};
static_assert(kGolombLength.size() <= kMaxCarriers);

// The least span of `marks` marks, or 0 where the table ends (no bound).
constexpr int GolombSpan(Khz marks) {
  if (marks < 1 || marks > static_cast<Khz>(kGolombLength.size())) return 0;
  return kGolombLength[static_cast<std::size_t>(marks - 1)];
}

// The most marks a span of `units` holds, or nullopt where the table ends.
constexpr std::optional<int> GolombMarksWithin(Khz units) {
  int marks = 1;
  while (marks < static_cast<int>(kGolombLength.size()) &&
         kGolombLength[static_cast<std::size_t>(marks)] <= units) {
    ++marks;
  }
  if (marks == static_cast<int>(kGolombLength.size())) return std::nullopt;
  return marks;
}
static_assert(GolombMarksWithin(84) == 11 && GolombMarksWithin(85) == 12);

}  // namespace zelmar::plan
