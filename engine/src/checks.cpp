// The two checks of a run. Every comparison is an exact comparison of doubles
// computed in the order given below; no tolerance, no rounding to kHz.
#include "zelmar/engine.h"

namespace zelmar {
namespace {

std::string IntermodulationLine(std::size_t victim, std::size_t j,
                                std::size_t k) {
  return "●" + SlotLabel(victim) + "は、" + SlotLabel(j) + "と" + SlotLabel(k) +
         "の相互変調で混信\r\n";
}

std::string CloseSpacingLine(std::size_t k, double distance) {
  return "●" + SlotLabel(k) + "と" + SlotLabel(k + 1) + "は、" +
         FormatMHz(distance) + "MHz接近しています。\r\n";
}

std::string SameFrequencyLine(std::size_t k) {
  return "●" + SlotLabel(k) + "と" + SlotLabel(k + 1) +
         "は、同一周波数です。\r\n";
}

// The first slot hit by a product of the pair (j, k), 1-based: first the
// slots above the pair against the upper product, then those below it
// against the lower product. 0 when nothing is hit.
std::size_t FirstVictim(const FrequencySet& s, std::size_t j, std::size_t k) {
  // Slot n is s[n - 1]. The difference is rounded first and both products
  // are made from it, not as 2*s[k] - s[j].
  const double d = s[k - 1] - s[j - 1];
  const double upper = d + s[k - 1];
  const double lower = s[j - 1] - d;
  for (std::size_t x = k + 1; x <= kSlotCount; ++x) {
    if (upper == s[x - 1]) return x;
  }
  for (std::size_t x = 1; x < j; ++x) {
    if (lower == s[x - 1]) return x;
  }
  return 0;
}

}  // namespace

std::string SlotLabel(std::size_t position) {
  return "F" + std::to_string(position);
}

void CheckIntermodulation(const FrequencySet& s, ReportText& report) {
  for (std::size_t j = 1; j < kSlotCount; ++j) {
    for (std::size_t k = j + 1; k <= kSlotCount; ++k) {
      // Only the pair itself must hold two real carriers; a victim is never
      // tested, so even an empty slot can be named.
      if (!(s[j - 1] > 0.0 && s[k - 1] > 0.0)) continue;
      if (const std::size_t victim = FirstVictim(s, j, k); victim != 0) {
        report.AppendLine(IntermodulationLine(victim, j, k));
      }
    }
  }
}

void CheckSpacing(const FrequencySet& s, ReportText& report) {
  for (std::size_t k = 1; k < kSlotCount; ++k) {
    const double low = s[k - 1];
    const double high = s[k];
    const double distance = high - low;
    if (distance <= kCloseSpacingMHz && distance > 0) {
      report.AppendLine(CloseSpacingLine(k, distance));
    } else if (high == low && low > 0 && high > 0) {
      report.AppendLine(SameFrequencyLine(k));
    }
  }
}

}  // namespace zelmar
