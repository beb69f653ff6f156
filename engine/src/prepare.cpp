// Turning the twelve field texts into the sorted, compacted frequency set.
#include <algorithm>

#include "zelmar/engine.h"

namespace zelmar {
namespace {

// Insertion sort: each value goes in front of the first earlier value that is
// greater than or equal to it. The order of equal values (0.0 and -0.0 among
// them) follows from this rule, so it is spelled out rather than left to a
// library sort.
void SortAscending(FrequencySet& slots) {
  for (std::size_t k = 1; k < kSlotCount; ++k) {
    const double value = slots[k];
    std::size_t target = 0;
    while (target < k && slots[target] < value) ++target;
    for (std::size_t i = k; i > target; --i) slots[i] = slots[i - 1];
    slots[target] = value;
  }
}

// Rotates leading empty slots to the end. Only slot 1 is ever looked at, so
// with a negative value first the empty slots stay between the negative and
// the positive values. Each of the kSlotCount - 1 passes rotates the set by
// one place while slot 1 is empty, so together they rotate it by the number
// of leading empty slots, at most kSlotCount - 1.
void MoveEmptySlotsBack(FrequencySet& slots) {
  std::size_t leading = 0;
  while (leading + 1 < kSlotCount && IsEmptySlot(slots[leading])) ++leading;
  std::rotate(slots.begin(), slots.begin() + leading, slots.end());
}

bool AllSlotsEmpty(const FrequencySet& slots) {
  for (double value : slots) {
    if (!IsEmptySlot(value)) return false;
  }
  return true;
}

}  // namespace

PreparedSet PrepareFrequencySet(const FieldTexts& texts) {
  PreparedSet prepared;
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    prepared.slots[i] = ParseFrequencyText(texts[i]);
  }
  SortAscending(prepared.slots);
  MoveEmptySlotsBack(prepared.slots);
  prepared.empty = AllSlotsEmpty(prepared.slots);
  return prepared;
}

}  // namespace zelmar
