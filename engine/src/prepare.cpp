// Turning the twelve field texts into the sorted, compacted frequency set.
#include <algorithm>

#include "prepared.h"
#include "text.h"

namespace zelmar {
namespace detail {

// The rule is an insertion sort of all twelve values, each going in front of
// the first earlier value greater than or equal to it, followed by a rotation
// of the empty slots that lead the set to its end. Both are computed here
// from the values alone: equal values other than the two zeros are the same
// double, so their order cannot show, and both zeros are empty slots. Sorted,
// the empty slots lie between the negative and the positive values; they
// lead only when there is no negative value, and then the rotation moves them
// behind the positive values (all of them, or eleven when every slot is
// empty, which is the same set).
PreparedTexts PrepareWithShownTexts(const FieldTexts& texts) {
  PreparedTexts prepared;  // every slot empty, no text shown
  FrequencySet& values = prepared.set.slots;
  auto& shown = prepared.shown;
  std::size_t count = 0;
  std::size_t negatives = 0;
  for (const std::string& text : texts) {
    if (text.empty()) continue;  // the most common text; it reads as 0
    const text::FieldValue read = text::ReadFieldText(text);
    if (IsEmptySlot(read.value)) continue;
    std::size_t target = count++;
    for (; target > 0 && values[target - 1] >= read.value; --target) {
      values[target] = values[target - 1];
      shown[target] = shown[target - 1];
    }
    values[target] = read.value;
    shown[target] = read.shown_form ? &text : nullptr;
    if (read.value < 0) ++negatives;
  }
  prepared.set.empty = count == 0;
  if (negatives != 0) {
    // Move the positive values to the end, from the last one down, so that
    // none is overwritten before it is moved.
    const std::size_t gap = kSlotCount - count;
    for (std::size_t i = count; gap != 0 && i-- > negatives;) {
      values[i + gap] = values[i];
      shown[i + gap] = shown[i];
      values[i] = 0.0;
      shown[i] = nullptr;
    }
  }
  return prepared;
}

}  // namespace detail

PreparedSet PrepareFrequencySet(const FieldTexts& texts) {
  return detail::PrepareWithShownTexts(texts).set;
}

}  // namespace zelmar
