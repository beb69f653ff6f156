// One Calculate run: texts in, display texts and result text out.
#include "zelmar/engine.h"

namespace zelmar {

CheckResult RunChannelCheck(const FieldTexts& texts) {
  ReportText report;
  const PreparedSet prepared = PrepareFrequencySet(texts);
  CheckResult result;
  if (prepared.empty) {
    result.resultText = kNoInputText;
    return result;
  }
  CheckIntermodulation(prepared.slots, report);
  CheckSpacing(prepared.slots, report);
  for (std::size_t k = 0; k < kSlotCount; ++k) {
    const double value = prepared.slots[k];
    if (!IsEmptySlot(value)) result.slotTexts[k] = FormatMHz(value);
  }
  result.resultText =
      report.IsEmpty() ? std::string(kLowRiskText) : report.Text();
  return result;
}

}  // namespace zelmar
