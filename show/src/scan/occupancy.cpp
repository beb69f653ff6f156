// From a scan's levels to the ranges a plan keeps clear of.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "scan/bins.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

double MedianLevel(const std::vector<ScanBin>& bins) {
  if (bins.empty()) return 0;
  std::vector<double> levels;
  levels.reserve(bins.size());
  for (const ScanBin& bin : bins) levels.push_back(bin.dbm);
  const auto middle = levels.begin() + levels.size() / 2;
  std::nth_element(levels.begin(), middle, levels.end());
  if (levels.size() % 2 == 1) return *middle;
  // Halved first, so that no sum of two levels can overflow.
  return *std::max_element(levels.begin(), middle) / 2 + *middle / 2;
}

// Appends `range` to ascending `ranges`, merged with the last where they
// overlap or touch (no kilohertz between them).
void AppendMerged(std::vector<Range>& ranges, Range range) {
  if (!ranges.empty() && range.low <= ranges.back().high + 1) {
    ranges.back().high = std::max(ranges.back().high, range.high);
  } else {
    ranges.push_back(range);
  }
}

// The bins above the threshold, merged where they overlap or touch; in the
// order of the bins, so ascending.
std::vector<OccupiedRange> OccupiedRanges(const std::vector<ScanBin>& bins,
                                          double threshold) {
  std::vector<OccupiedRange> occupied;
  for (const ScanBin& bin : bins) {
    if (!(bin.dbm > threshold)) continue;
    if (!occupied.empty() && bin.low <= occupied.back().range.high + 1) {
      OccupiedRange& last = occupied.back();
      last.range.high = std::max(last.range.high, bin.high);
      last.peak_dbm = std::max(last.peak_dbm, bin.dbm);
    } else {
      occupied.push_back({{bin.low, bin.high}, bin.dbm});
    }
  }
  return occupied;
}

}  // namespace

Scan MergeScans(std::span<const Scan> scans) {
  Scan merged;
  if (scans.empty()) return merged;
  merged.format = scans.front().format;
  std::size_t total = 0;
  for (const Scan& scan : scans) total += scan.bins.size();
  merged.bins.reserve(total);
  for (const Scan& scan : scans) {
    merged.bins.insert(merged.bins.end(), scan.bins.begin(), scan.bins.end());
  }
  KeepHighest(merged.bins, BinKey{});
  return merged;
}

ScanOccupancy Occupied(const Scan& scan, std::optional<double> threshold_dbm,
                       Khz guard) {
  ScanOccupancy result;
  result.median_dbm = MedianLevel(scan.bins);
  result.threshold_from_median = !threshold_dbm.has_value();
  result.threshold_dbm =
      threshold_dbm.value_or(result.median_dbm + kThresholdAboveMedian);
  std::vector<OccupiedRange> occupied =
      OccupiedRanges(scan.bins, result.threshold_dbm);
  guard = std::clamp<Khz>(guard, 0, kMaxKhz);
  for (const OccupiedRange& range : occupied) {
    AppendMerged(result.excluded,
                 {std::max<Khz>(range.range.low - guard, 0),
                  std::min(range.range.high + guard, kMaxKhz)});
  }
  for (const Range& range : result.excluded) {
    result.excluded_khz += range.high - range.low;
  }
  std::stable_sort(occupied.begin(), occupied.end(),
                   [](const OccupiedRange& a, const OccupiedRange& b) {
                     return a.peak_dbm > b.peak_dbm;
                   });
  result.strongest = std::move(occupied);
  return result;
}

}  // namespace zelmar::plan
