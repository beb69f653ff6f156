// Texts the engine writes into caller-provided buffers, so that a run
// builds its report without temporary strings.
#pragma once

#include <cstddef>
#include <string_view>

namespace zelmar::text {

// The longest FormatMHz text: a sign, 309 integer digits, the point and
// three decimals.
inline constexpr std::size_t kMaxMHzSize = 1 + 309 + 1 + 3;

// Writes the FormatMHz text of `value` to `out` (room for kMaxMHzSize bytes)
// and returns its length.
std::size_t WriteMHz(double value, char* out);

// The decimals WriteMHz writes.
inline constexpr std::size_t kShownDecimals = 3;

// A field text read as ParseFrequencyText reads it, and whether the text is
// already the one WriteMHz writes for the value, so that it can be shown as
// it is. Not claimed for every such text, only for common, provable forms.
struct FieldValue {
  double value = 0.0;
  bool shown_form = false;
};
FieldValue ReadFieldText(std::string_view text);

}  // namespace zelmar::text
