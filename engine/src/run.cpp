// One Calculate run: texts in, display texts, findings and result text out.
#include "prepared.h"
#include "text.h"
#include "zelmar/engine.h"

namespace zelmar {
namespace {

// Fills `result` and `findings` in place, so that neither run function
// copies or moves the twelve texts afterwards.
CheckStatus Run(const FieldTexts& texts, CheckResult& result,
                Findings& findings) {
  const detail::PreparedTexts prepared = detail::PrepareWithShownTexts(texts);
  const FrequencySet& slots = prepared.set.slots;
  if (prepared.set.empty) {
    result.resultText = kNoInputText;
    return CheckStatus::kNoInput;
  }
  FindIntermodulation(slots, findings);
  FindSpacing(slots, findings);
  char text[text::kMaxMHzSize];
  for (std::size_t k = 0; k < kSlotCount; ++k) {
    if (const std::string* shown = prepared.shown[k]; shown != nullptr) {
      result.slotTexts[k] = *shown;
    } else if (!IsEmptySlot(slots[k])) {
      result.slotTexts[k].assign(text, text::WriteMHz(slots[k], text));
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
