// The two checks of a run and the lines they lead to. Every comparison is an
// exact comparison of doubles computed in the order given below; no
// tolerance, no rounding to kHz.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "text.h"
#include "zelmar/engine.h"

namespace zelmar {
namespace {

// ---------------------------------------------------------------------------
// Finding

Finding PairFinding(FindingKind kind, std::size_t first, std::size_t second,
                    std::size_t victim = 0, double distance = 0.0) {
  return {kind, static_cast<std::uint8_t>(victim),
          static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second),
          distance};
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

// The number m of values when slots 1 to m hold positive values in
// ascending order and the rest are empty, the shape a prepared set without
// negative values has; 0 otherwise.
std::size_t SortedCarrierCount(const FrequencySet& s) {
  std::size_t m = 0;
  while (m < kSlotCount && s[m] > 0.0 && (m == 0 || s[m - 1] <= s[m])) ++m;
  for (std::size_t x = m; x < kSlotCount; ++x) {
    if (!IsEmptySlot(s[x])) return 0;
  }
  return m;
}

// FirstVictim for every pair of such a set, with the same products and the
// same first match, found by two cursors instead of a scan per pair. For a
// fixed j, as k grows the rounded products move monotonically: the upper one
// up and the lower one down. So the first slot above k not below the upper
// product, and the first slot not below the lower product, only ever move
// one way. The upper product is positive, so the empty slots after the
// values never match it; every slot below j holds a value.
void FindIntermodulationSorted(const FrequencySet& s, std::size_t m,
                               Findings& findings) {
  for (std::size_t j = 0; j + 1 < m; ++j) {
    std::size_t up = j + 1;  // 0-based cursor for the upper product
    std::size_t down = j;    // 0-based cursor for the lower product
    for (std::size_t k = j + 1; k < m; ++k) {
      const double d = s[k] - s[j];
      const double upper = d + s[k];
      const double lower = s[j] - d;
      if (up <= k) up = k + 1;
      while (up < m && s[up] < upper) ++up;
      while (down > 0 && s[down - 1] >= lower) --down;
      std::size_t victim = 0;
      if (up < m && s[up] == upper) {
        victim = up + 1;
      } else if (down < j && s[down] == lower) {
        victim = down + 1;
      }
      if (victim != 0) {
        findings.Add(
            PairFinding(FindingKind::kIntermodulation, j + 1, k + 1, victim));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Rendering. Lines are written with fixed-size copies: a label is copied as
// four bytes and the write position advanced by its real length, so each
// line needs a few bytes of slack behind it.

struct Label {
  char bytes[4];
  std::size_t size;
};

constexpr Label kLabels[kSlotCount + 1] = {
    {"", 0},    {"F1", 2},  {"F2", 2}, {"F3", 2}, {"F4", 2},
    {"F5", 2},  {"F6", 2},  {"F7", 2}, {"F8", 2}, {"F9", 2},
    {"F10", 3}, {"F11", 3}, {"F12", 3}};
static_assert(kSlotCount == 12, "one label per slot");
constexpr std::size_t kMaxLabelSize = 3;
constexpr std::size_t kSlack = sizeof(Label::bytes);

constexpr std::string_view kBullet = "●";
constexpr std::string_view kIs = "は、";
constexpr std::string_view kAnd = "と";
constexpr std::string_view kIntermodulationTail = "の相互変調で混信\r\n";
constexpr std::string_view kCloseTail = "MHz接近しています。\r\n";
constexpr std::string_view kSameTail = "は、同一周波数です。\r\n";

// A close distance is above 0 and at most 0.125, so its text is "0.ddd".
constexpr std::size_t kMaxDistanceSize = 5;

constexpr std::size_t kMaxLineSize =
    kBullet.size() + 3 * kMaxLabelSize + kIs.size() + kAnd.size() +
    std::max({kIntermodulationTail.size(), kMaxDistanceSize + kCloseTail.size(),
              kSameTail.size()});

char* Put(char* out, std::string_view piece) {
  std::memcpy(out, piece.data(), piece.size());
  return out + piece.size();
}

char* PutLabel(char* out, std::size_t position) {
  const Label& label = kLabels[position];
  std::memcpy(out, label.bytes, sizeof label.bytes);
  return out + label.size;
}

// The text of the last distance written, since the distances of a report
// repeat: on a raster every close pair is the same step apart.
class DistanceText {
 public:
  std::string_view For(double distance) {
    if (size_ == 0 || !(distance == distance_)) {
      distance_ = distance;
      size_ = text::WriteMHz(distance, text_);
      // Guards kMaxLineSize; only a value outside (0, 0.125] could exceed it.
      if (size_ > kMaxDistanceSize) std::abort();
    }
    return {text_, size_};
  }

 private:
  double distance_ = 0.0;
  std::size_t size_ = 0;
  char text_[text::kMaxMHzSize];
};

// Writes the line of one finding at `out` and returns its end. Needs
// kMaxLineSize + kSlack bytes at `out`.
char* WriteLine(const Finding& f, DistanceText& distances, char* out) {
  out = Put(out, kBullet);
  switch (f.kind) {
    case FindingKind::kIntermodulation:
      out = PutLabel(out, f.victim);
      out = Put(out, kIs);
      out = PutLabel(out, f.first);
      out = Put(out, kAnd);
      out = PutLabel(out, f.second);
      return Put(out, kIntermodulationTail);
    case FindingKind::kCloseSpacing:
      out = PutLabel(out, f.first);
      out = Put(out, kAnd);
      out = PutLabel(out, f.second);
      out = Put(out, kIs);
      out = Put(out, distances.For(f.distance));
      return Put(out, kCloseTail);
    case FindingKind::kSameFrequency:
      out = PutLabel(out, f.first);
      out = Put(out, kAnd);
      out = PutLabel(out, f.second);
      return Put(out, kSameTail);
  }
  std::abort();  // not a kind
}

void AppendFindingLines(const Findings& findings, ReportText& report) {
  DistanceText distances;
  char line[kMaxLineSize + kSlack];
  for (const Finding& f : findings) {
    const char* end = WriteLine(f, distances, line);
    report.AppendLine({line, static_cast<std::size_t>(end - line)});
  }
}

}  // namespace

std::string SlotLabel(std::size_t position) {
  std::string label = "F";
  label += std::to_string(position);
  return label;
}

void FindIntermodulation(const FrequencySet& s, Findings& findings) {
  if (const std::size_t count = SortedCarrierCount(s); count != 0) {
    FindIntermodulationSorted(s, count, findings);
    return;
  }
  for (std::size_t j = 1; j < kSlotCount; ++j) {
    for (std::size_t k = j + 1; k <= kSlotCount; ++k) {
      // Only the pair itself must hold two real carriers; a victim is never
      // tested, so even an empty slot can be named.
      if (!(s[j - 1] > 0.0 && s[k - 1] > 0.0)) continue;
      if (const std::size_t victim = FirstVictim(s, j, k); victim != 0) {
        findings.Add(PairFinding(FindingKind::kIntermodulation, j, k, victim));
      }
    }
  }
}

void FindSpacing(const FrequencySet& s, Findings& findings) {
  for (std::size_t k = 1; k < kSlotCount; ++k) {
    const double low = s[k - 1];
    const double high = s[k];
    const double distance = high - low;
    if (distance <= kCloseSpacingMHz && distance > 0) {
      findings.Add(
          PairFinding(FindingKind::kCloseSpacing, k, k + 1, 0, distance));
    } else if (high == low && low > 0 && high > 0) {
      findings.Add(PairFinding(FindingKind::kSameFrequency, k, k + 1));
    }
  }
}

std::string RenderReport(const Findings& findings) {
  char buffer[kMaxFindings * kMaxLineSize + kSlack];
  DistanceText distances;
  char* end = buffer;
  for (const Finding& f : findings) end = WriteLine(f, distances, end);
  return std::string(buffer, end);
}

void CheckIntermodulation(const FrequencySet& s, ReportText& report) {
  Findings findings;
  FindIntermodulation(s, findings);
  AppendFindingLines(findings, report);
}

void CheckSpacing(const FrequencySet& s, ReportText& report) {
  Findings findings;
  FindSpacing(s, findings);
  AppendFindingLines(findings, report);
}

}  // namespace zelmar
