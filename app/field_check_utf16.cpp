#include "field_check_utf16.h"

#include "zelmar/platform/text_utf.h"

namespace zelmar::shell {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

ShownTexts CheckFieldTexts(const FieldTextsW& fields) {
  FieldTexts texts;
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    texts[i] = Utf16ToUtf8(fields[i]);
  }
  const CheckResult result = RunChannelCheck(texts);
  ShownTexts shown;
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    shown.fields[i] = Utf8ToUtf16(result.slotTexts[i]);
  }
  shown.result = Utf8ToUtf16(result.resultText);
  return shown;
}

}  // namespace zelmar::shell
