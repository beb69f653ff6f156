// The Calculate button's computation in the dialog's own text form: the
// twelve field texts in, the twelve field texts and the result text out.
// Pure: no window is touched here.
#pragma once

#include <array>
#include <string>

#include "zelmar/engine.h"

namespace zelmar::win {

using FieldTextsW = std::array<std::wstring, kSlotCount>;

struct ShownTexts {
  FieldTextsW fields;  // entry k - 1 goes into field Fk
  std::wstring result;
};

ShownTexts CheckFieldTexts(const FieldTextsW& fields);

}  // namespace zelmar::win
