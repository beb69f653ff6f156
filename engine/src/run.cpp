// One Calculate run: texts in, display texts, findings and result text out.
#include "text.h"
#include "zelmar/engine.h"

namespace zelmar {
namespace {

// Fills `result` and `findings` in place, so that neither run function
// copies or moves the twelve texts afterwards.
CheckStatus Run(const FieldTexts& texts, CheckResult& result,
                Findings& findings) {
  const PreparedSet prepared = PrepareFrequencySet(texts);
  if (prepared.empty) {
    result.resultText = kNoInputText;
    return CheckStatus::kNoInput;
  }
  FindIntermodulation(prepared.slots, findings);
  FindSpacing(prepared.slots, findings);
  char text[text::kMaxMHzSize];
  for (std::size_t k = 0; k < kSlotCount; ++k) {
    const double value = prepared.slots[k];
    if (!IsEmptySlot(value)) {
      result.slotTexts[k].assign(text, text::WriteMHz(value, text));
    }
  }
  if (findings.empty()) {
    result.resultText = kLowRiskText;
    return CheckStatus::kLowRisk;
  }
  result.resultText = RenderReport(findings);
  return CheckStatus::kConflicts;
}

}  // namespace

CheckReport RunChannelCheckWithFindings(const FieldTexts& texts) {
  CheckReport report;
  report.status = Run(texts, report.result, report.findings);
  return report;
}

CheckResult RunChannelCheck(const FieldTexts& texts) {
  CheckResult result;
  Findings findings;
  Run(texts, result, findings);
  return result;
}

}  // namespace zelmar
