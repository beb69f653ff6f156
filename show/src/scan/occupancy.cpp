// From scans' levels to the ranges a plan keeps clear of: each scan taken
// at its own threshold, then the ranges of all of them as one.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "scan/bins.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

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

// Ascending ranges merged where they overlap or touch (no kilohertz
// between them), the highest peak kept.
std::vector<OccupiedRange> MergeRanges(std::vector<OccupiedRange> ranges) {
  std::stable_sort(ranges.begin(), ranges.end(),
                   [](const OccupiedRange& a, const OccupiedRange& b) {
                     return a.range.low < b.range.low;
                   });
  std::vector<OccupiedRange> merged;
  for (const OccupiedRange& r : ranges) {
    if (!merged.empty() && r.range.low <= merged.back().range.high + 1) {
      OccupiedRange& last = merged.back();
      last.range.high = std::max(last.range.high, r.range.high);
      last.peak_dbm = std::max(last.peak_dbm, r.peak_dbm);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

Range Guarded(const Range& r, Khz guard) {
  return {std::max<Khz>(r.low - guard, 0), std::min(r.high + guard, kMaxKhz)};
}

ScanTaken Take(const Scan& scan, std::optional<double> threshold_dbm) {
  ScanTaken taken;
  taken.floor = FindNoiseFloor(scan);
  taken.threshold_from_floor = !threshold_dbm.has_value();
  taken.threshold_dbm =
      threshold_dbm.value_or(taken.floor.dbm + kThresholdAboveFloor);
  if (!scan.bins.empty()) {
    taken.low = scan.bins.front().low;
    for (const ScanBin& bin : scan.bins) {
      taken.high = std::max(taken.high, bin.high);
    }
  }
  return taken;
}

}  // namespace

Scan MergeScans(std::span<const Scan> scans) {
  Scan merged;
  if (scans.empty()) return merged;
  merged.format = scans.front().format;
  merged.unit = scans.front().unit;
  merged.unit_from = scans.front().unit_from;
  std::size_t total = 0;
  for (const Scan& scan : scans) total += scan.bins.size();
  merged.bins.reserve(total);
  for (const Scan& scan : scans) {
    merged.bins.insert(merged.bins.end(), scan.bins.begin(), scan.bins.end());
    merged.unmeasured += scan.unmeasured;
  }
  KeepHighest(merged.bins, BinKey{});
  return merged;
}

ScanOccupancy Occupied(std::span<const Scan> scans,
                       std::optional<double> threshold_dbm, Khz guard) {
  ScanOccupancy result;
  for (std::size_t i = 0; i < scans.size(); ++i) {
    result.scans.push_back(Take(scans[i], threshold_dbm));
    if (!threshold_dbm && !result.floor_unknown &&
        result.scans.back().floor.status != NoiseFloor::Status::kFound) {
      result.floor_unknown = i;
    }
  }
  if (result.floor_unknown) return result;
  std::vector<OccupiedRange> all;
  for (std::size_t i = 0; i < scans.size(); ++i) {
    ScanTaken& taken = result.scans[i];
    taken.occupied = OccupiedRanges(scans[i].bins, taken.threshold_dbm);
    all.insert(all.end(), taken.occupied.begin(), taken.occupied.end());
  }
  std::vector<OccupiedRange> merged = MergeRanges(std::move(all));
  guard = std::clamp<Khz>(guard, 0, kMaxKhz);
  for (const OccupiedRange& r : merged) {
    const Range g = Guarded(r.range, guard);
    if (!result.excluded.empty() && g.low <= result.excluded.back().high + 1) {
      result.excluded.back().high =
          std::max(result.excluded.back().high, g.high);
    } else {
      result.excluded.push_back(g);
    }
  }
  for (const Range& r : result.excluded) result.excluded_khz += r.high - r.low;
  std::stable_sort(merged.begin(), merged.end(),
                   [](const OccupiedRange& a, const OccupiedRange& b) {
                     return a.peak_dbm > b.peak_dbm;
                   });
  result.strongest = std::move(merged);
  return result;
}

std::optional<SignalHit> SignalAt(const ScanOccupancy& occupancy, Khz khz,
                                  Khz guard) {
  guard = std::clamp<Khz>(guard, 0, kMaxKhz);
  std::optional<SignalHit> hit;
  for (std::size_t i = 0; i < occupancy.scans.size(); ++i) {
    const ScanTaken& taken = occupancy.scans[i];
    // The ranges are ascending and apart, so are their ends with the guard:
    // the first whose guarded high end reaches khz is the only candidate
    // besides those after it that start below khz + guard.
    auto it = std::lower_bound(taken.occupied.begin(), taken.occupied.end(),
                               khz, [&](const OccupiedRange& r, Khz f) {
                                 return Guarded(r.range, guard).high < f;
                               });
    for (; it != taken.occupied.end() && Guarded(it->range, guard).low <= khz;
         ++it) {
      if (!hit || it->peak_dbm > hit->range.peak_dbm) {
        hit = SignalHit{i, *it, taken.threshold_dbm};
      }
    }
  }
  return hit;
}

}  // namespace zelmar::plan
