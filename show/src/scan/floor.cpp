// A scan's noise floor from the histogram of its levels.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

// Levels are counted in classes of a decibel from kLowestClass up; those
// outside the classes count in the end ones (no receiver's noise lies
// there).
constexpr int kLowestClass = -400;
constexpr int kClasses = 800;
// The window of a class: the class and this many on each side.
constexpr int kWindowReach = 1;
constexpr int kPeakReach = static_cast<int>(kFloorPeakReachDb / kFloorClassDb);
static_assert(kFloorClassDb == 1.0, "classes are whole decibels");
static_assert(kPeakReach >= kWindowReach);

int ClassOf(double dbm) {
  const double k = std::floor(dbm / kFloorClassDb) - kLowestClass;
  return static_cast<int>(std::clamp(k, 0.0, double{kClasses - 1}));
}

struct Histogram {
  std::vector<std::size_t> count = std::vector<std::size_t>(kClasses, 0);
  std::vector<double> sum = std::vector<double>(kClasses, 0.0);

  std::size_t Window(int k) const {
    std::size_t n = 0;
    for (int j = std::max(k - kWindowReach, 0);
         j <= std::min(k + kWindowReach, kClasses - 1); ++j) {
      n += count[static_cast<std::size_t>(j)];
    }
    return n;
  }
  double WindowMean(int k) const {
    double s = 0;
    for (int j = std::max(k - kWindowReach, 0);
         j <= std::min(k + kWindowReach, kClasses - 1); ++j) {
      s += sum[static_cast<std::size_t>(j)];
    }
    return s / static_cast<double>(Window(k));
  }
};

// The lowest class whose window holds `least` bins and no fewer than any
// window within kPeakReach classes.
std::optional<int> LowestPeak(const Histogram& h, std::size_t least) {
  std::vector<std::size_t> window(kClasses);
  for (int k = 0; k < kClasses; ++k)
    window[static_cast<std::size_t>(k)] = h.Window(k);
  for (int k = 0; k < kClasses; ++k) {
    const std::size_t w = window[static_cast<std::size_t>(k)];
    if (w < least) continue;
    bool peak = true;
    for (int j = std::max(k - kPeakReach, 0);
         peak && j <= std::min(k + kPeakReach, kClasses - 1); ++j) {
      peak = window[static_cast<std::size_t>(j)] <= w;
    }
    if (peak) return k;
  }
  return std::nullopt;
}

}  // namespace

NoiseFloor FindNoiseFloor(const Scan& scan) {
  NoiseFloor floor;
  floor.bins = scan.bins.size();
  if (floor.bins < kMinFloorBins) return floor;
  Histogram h;
  for (const ScanBin& bin : scan.bins) {
    const auto k = static_cast<std::size_t>(ClassOf(bin.dbm));
    ++h.count[k];
    h.sum[k] += bin.dbm;
  }
  const auto least = static_cast<std::size_t>(
      std::ceil(kFloorShare * static_cast<double>(floor.bins)));
  const std::optional<int> peak = LowestPeak(h, least);
  if (!peak) {
    floor.status = NoiseFloor::Status::kNoCluster;
    return floor;
  }
  floor.near = h.Window(*peak);
  floor.dbm = h.WindowMean(*peak);
  const double threshold = floor.dbm + kThresholdAboveFloor;
  floor.above = static_cast<std::size_t>(
      std::count_if(scan.bins.begin(), scan.bins.end(),
                    [&](const ScanBin& b) { return b.dbm > threshold; }));
  floor.status = static_cast<double>(floor.above) >
                         kMaxShareAboveFloor * static_cast<double>(floor.bins)
                     ? NoiseFloor::Status::kMostlyHigh
                     : NoiseFloor::Status::kFound;
  return floor;
}

std::string DescribeNoiseFloor(const NoiseFloor& floor) {
  const std::string bins = std::to_string(floor.bins);
  switch (floor.status) {
    case NoiseFloor::Status::kFound:
      return "found";
    case NoiseFloor::Status::kTooFewBins:
      return "only " + bins + " bins; it takes " +
             std::to_string(kMinFloorBins);
    case NoiseFloor::Status::kNoCluster:
      return "no 3 dB of its levels holds 5% of its " + bins + " bins";
    case NoiseFloor::Status::kMostlyHigh:
      return std::to_string(floor.above) + " of its " + bins +
             " bins lie more than 10 dB above its lowest cluster of levels";
  }
  return "?";
}

}  // namespace zelmar::plan
