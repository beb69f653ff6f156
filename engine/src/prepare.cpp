// Turning the twelve field texts into the sorted, compacted frequency set.
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
// the positive values.
void MoveEmptySlotsBack(FrequencySet& slots) {
  for (std::size_t pass = 0; pass + 1 < kSlotCount; ++pass) {
    if (!IsEmptySlot(slots[0])) continue;
    const double first = slots[0];
    for (std::size_t i = 0; i + 1 < kSlotCount; ++i) slots[i] = slots[i + 1];
    slots[kSlotCount - 1] = first;
  }
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
