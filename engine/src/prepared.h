// The prepared set as a run uses it internally: with the field texts that
// can be shown as they are.
#pragma once

#include <array>
#include <string>

#include "zelmar/engine.h"

namespace zelmar::detail {

struct PreparedTexts {
  PreparedSet set;
  // For each slot, the field text its value came from when that text is the
  // one FormatMHz writes for the value; nullptr when the text must be
  // written, and for empty slots.
  std::array<const std::string*, kSlotCount> shown{};
};

PreparedTexts PrepareWithShownTexts(const FieldTexts& texts);

}  // namespace zelmar::detail
