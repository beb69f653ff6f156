// Texts the engine writes into caller-provided buffers, so that a run
// builds its report without temporary strings.
#pragma once

#include <cstddef>

namespace zelmar::text {

// The longest FormatMHz text: a sign, 309 integer digits, the point and
// three decimals.
inline constexpr std::size_t kMaxMHzSize = 1 + 309 + 1 + 3;

// Writes the FormatMHz text of `value` to `out` (room for kMaxMHzSize bytes)
// and returns its length.
std::size_t WriteMHz(double value, char* out);

}  // namespace zelmar::text
