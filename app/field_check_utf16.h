// The Calculate button's computation in the dialog's own text form, UTF-16:
// the twelve field texts in, the twelve field texts and the result text
// out. Pure: no window is touched here (zelmar::shell holds the shell's
// parts that are not window code; zelmar::win the window layer).
#pragma once

#include <array>
#include <string>

#include "zelmar/engine.h"

namespace zelmar::shell {

using FieldTextsW = std::array<std::wstring, kSlotCount>;

struct ShownTexts {
  FieldTextsW fields;  // entry k - 1 goes into field Fk
  std::wstring result;
};

ShownTexts CheckFieldTexts(const FieldTextsW& fields);

}  // namespace zelmar::shell
