// The two checks of a run and the lines they lead to. Every comparison is an
// exact comparison of doubles computed in the order given below; no
// tolerance, no rounding to kHz.
#include <algorithm>
#include <array>
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
// values never match it; every slot below j holds a value. Once the upper
// product is above the highest value and the lower one below the lowest
// value (or there is no value below j), no larger k can hit anything.
void FindIntermodulationSorted(const FrequencySet& s, std::size_t m,
                               Findings& findings) {
  const double highest = s[m - 1];
  for (std::size_t j = 0; j + 1 < m; ++j) {
    std::size_t up = j + 1;  // 0-based cursor for the upper product
    std::size_t down = j;    // 0-based cursor for the lower product
    for (std::size_t k = j + 1; k < m; ++k) {
      const double d = s[k] - s[j];
      const double upper = d + s[k];
      const double lower = s[j] - d;
      if (upper > highest && (j == 0 || lower < s[0])) break;
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
// Rendering. A line is put together from a few pieces, each a label with
// the fixed text around it, taken from tables made at compile time. Pieces
// are copied at their fixed size and the write position advanced by their
// real length, so a line needs some slack behind it.

constexpr std::string_view kLabelTexts[kSlotCount + 1] = {
    "",   "F1", "F2", "F3",  "F4",  "F5", "F6",
    "F7", "F8", "F9", "F10", "F11", "F12"};
constexpr std::size_t kMaxLabelSize = 3;

template <std::size_t kSize>
struct Piece {
  char bytes[kSize];
  std::size_t size;
};

// before + label + after for every slot position.
template <std::size_t kSize>
constexpr std::array<Piece<kSize>, kSlotCount + 1> LabelPieces(
    std::string_view before, std::string_view after) {
  std::array<Piece<kSize>, kSlotCount + 1> pieces{};
  for (std::size_t p = 1; p <= kSlotCount; ++p) {
    Piece<kSize>& piece = pieces[p];
    for (std::string_view part : {before, kLabelTexts[p], after}) {
      for (char c : part) piece.bytes[piece.size++] = c;
    }
  }
  return pieces;
}

// "●F3は、F1とF2の相互変調で混信\r\n"
constexpr auto kVictimPieces = LabelPieces<16>("●", "は、");
constexpr auto kFirstPieces = LabelPieces<8>("", "と");
constexpr auto kIntermodulationPieces =
    LabelPieces<32>("", "の相互変調で混信\r\n");
// "●F1とF2は、0.125MHz接近しています。\r\n", "●F1とF2は、同一周波数です。\r\n"
constexpr auto kPairPieces = LabelPieces<16>("●", "と");
constexpr auto kCloseSecondPieces = LabelPieces<16>("", "は、");
constexpr std::string_view kCloseTail = "MHz接近しています。\r\n";
constexpr auto kSameSecondPieces =
    LabelPieces<40>("", "は、同一周波数です。\r\n");

// A close distance is above 0 and at most 0.125, so its text is "0.ddd".
constexpr std::size_t kMaxDistanceSize = 5;

constexpr std::size_t kMaxLineSize =
    std::max({kVictimPieces[12].size + kFirstPieces[12].size +
                  kIntermodulationPieces[12].size,
              kPairPieces[12].size + kCloseSecondPieces[12].size +
                  kMaxDistanceSize + kCloseTail.size(),
              kPairPieces[12].size + kSameSecondPieces[12].size});
// A piece is copied at its full size, so a line needs as much room behind
// its real end as the largest piece has.
constexpr std::size_t kSlack = std::max(
    {sizeof(kVictimPieces[0].bytes), sizeof(kFirstPieces[0].bytes),
     sizeof(kIntermodulationPieces[0].bytes), sizeof(kPairPieces[0].bytes),
     sizeof(kCloseSecondPieces[0].bytes), sizeof(kSameSecondPieces[0].bytes)});
static_assert(kLabelTexts[kSlotCount].size() == kMaxLabelSize);

template <std::size_t kSize>
char* Put(char* out, const Piece<kSize>& piece) {
  std::memcpy(out, piece.bytes, kSize);
  return out + piece.size;
}

char* Put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
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
  switch (f.kind) {
    case FindingKind::kIntermodulation:
      out = Put(out, kVictimPieces[f.victim]);
      out = Put(out, kFirstPieces[f.first]);
      return Put(out, kIntermodulationPieces[f.second]);
    case FindingKind::kCloseSpacing:
      out = Put(out, kPairPieces[f.first]);
      out = Put(out, kCloseSecondPieces[f.second]);
      out = Put(out, distances.For(f.distance));
      return Put(out, kCloseTail);
    case FindingKind::kSameFrequency:
      out = Put(out, kPairPieces[f.first]);
      return Put(out, kSameSecondPieces[f.second]);
  }
  std::abort();  // not a kind
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

}  // namespace zelmar
