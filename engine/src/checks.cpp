// The two checks of a run. Every comparison is an exact comparison of doubles
// computed in the order given below; no tolerance, no rounding to kHz.
#include <algorithm>
#include <string>

#include "zelmar/engine.h"

namespace zelmar {
namespace {

// A check line is short; building it on the stack keeps a full twelve-slot
// report (up to 76 lines) free of temporary strings.
class LineBuffer {
 public:
  LineBuffer& operator<<(std::string_view piece) {
    const std::size_t n = std::min(piece.size(), sizeof text_ - size_);
    piece.copy(text_ + size_, n);
    size_ += n;
    return *this;
  }
  std::string_view View() const { return {text_, size_}; }

 private:
  char text_[128];
  std::size_t size_ = 0;
};

std::string_view Label(std::size_t position) {
  static constexpr std::string_view kLabels[kSlotCount + 1] = {
      "",   "F1", "F2", "F3",  "F4",  "F5", "F6",
      "F7", "F8", "F9", "F10", "F11", "F12"};
  return kLabels[position];
}

void AppendIntermodulationLine(ReportText& report, std::size_t victim,
                               std::size_t j, std::size_t k) {
  LineBuffer line;
  line << "●" << Label(victim) << "は、" << Label(j) << "と" << Label(k)
       << "の相互変調で混信\r\n";
  report.AppendLine(line.View());
}

void AppendCloseSpacingLine(ReportText& report, std::size_t k,
                            double distance) {
  LineBuffer line;
  line << "●" << Label(k) << "と" << Label(k + 1) << "は、"
       << FormatMHz(distance) << "MHz接近しています。\r\n";
  report.AppendLine(line.View());
}

void AppendSameFrequencyLine(ReportText& report, std::size_t k) {
  LineBuffer line;
  line << "●" << Label(k) << "と" << Label(k + 1) << "は、同一周波数です。\r\n";
  report.AppendLine(line.View());
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
  std::string label = "F";
  label += std::to_string(position);
  return label;
}

void CheckIntermodulation(const FrequencySet& s, ReportText& report) {
  for (std::size_t j = 1; j < kSlotCount; ++j) {
    for (std::size_t k = j + 1; k <= kSlotCount; ++k) {
      // Only the pair itself must hold two real carriers; a victim is never
      // tested, so even an empty slot can be named.
      if (!(s[j - 1] > 0.0 && s[k - 1] > 0.0)) continue;
      if (const std::size_t victim = FirstVictim(s, j, k); victim != 0) {
        AppendIntermodulationLine(report, victim, j, k);
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
      AppendCloseSpacingLine(report, k, distance);
    } else if (high == low && low > 0 && high > 0) {
      AppendSameFrequencyLine(report, k);
    }
  }
}

}  // namespace zelmar
