// What scans take: each scan's noise floor and threshold, its occupied
// ranges with the guard, several scans at their own thresholds, and a
// carrier found in a signal.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

using Ends = std::vector<std::pair<Khz, Khz>>;
Ends EndsOf(const std::vector<Range>& ranges) {
  Ends ends;
  for (const Range& r : ranges) ends.emplace_back(r.low, r.high);
  return ends;
}

Scan ScanOf(std::vector<ScanBin> bins) {
  Scan scan;
  scan.bins = std::move(bins);
  return scan;
}

// A scan of 25 kHz bins from `low`: noise spread 2 dB about `noise`, and
// `signal` dBm (spread 10 dB) from `from` to `to`.
Scan PlacedScan(Khz low, Khz high, double noise, Khz from, Khz to,
                double signal, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  std::vector<ScanBin> bins;
  for (Khz f = low; f + 25 <= high; f += 25) {
    const bool in = from <= f && f < to;
    const double dbm =
        in ? signal + 5 * spread(random) : noise + spread(random);
    bins.push_back({f, f + 25, dbm});
  }
  return ScanOf(std::move(bins));
}

TEST(ScanFloor, FindsTheFloorUnderASignalWiderThanHalfTheScan) {
  // 1388-1411 MHz, a signal over 1391-1409 MHz: 78% of the bins.
  const Scan scan =
      PlacedScan(1'388'000, 1'411'000, -96, 1'391'000, 1'409'000, -45, 1);
  const NoiseFloor floor = FindNoiseFloor(scan);
  ASSERT_EQ(floor.status, NoiseFloor::Status::kFound);
  EXPECT_NEAR(floor.dbm, -96, 1.0);
  const Scan one[] = {scan};
  const ScanOccupancy o = Occupied(one, std::nullopt, 0);
  ASSERT_FALSE(o.floor_unknown);
  EXPECT_TRUE(o.scans[0].threshold_from_floor);
  EXPECT_EQ(o.scans[0].threshold_dbm, floor.dbm + kThresholdAboveFloor);
  EXPECT_EQ(EndsOf(o.excluded), (Ends{{1'391'000, 1'409'000}}));
}

TEST(ScanFloor, EachScanAtItsOwnFloorBeforeTheyAreMerged) {
  // Noise at -100 and at -84 dBm; the first scan's signal at -84 dBm is 16
  // dB above its own floor, and below what the second scan calls noise.
  const Scan quiet =
      PlacedScan(640'000, 644'000, -100, 641'800, 641'900, -84, 2);
  const Scan loud = PlacedScan(640'000, 644'000, -84, 643'000, 643'100, -40, 3);
  const Scan both[] = {quiet, loud};
  const ScanOccupancy o = Occupied(both, std::nullopt, 0);
  ASSERT_EQ(o.scans.size(), 2u);
  EXPECT_NEAR(o.scans[0].floor.dbm, -100, 1.0);
  EXPECT_NEAR(o.scans[1].floor.dbm, -84, 1.0);
  EXPECT_EQ(EndsOf(o.excluded), (Ends{{641'800, 641'900}, {643'000, 643'100}}));
  // One threshold for both, as given: the quiet scan's signal stays.
  const ScanOccupancy given = Occupied(both, -70.0, 0);
  EXPECT_FALSE(given.scans[0].threshold_from_floor);
  EXPECT_EQ(EndsOf(given.excluded), (Ends{{643'000, 643'100}}));
}

TEST(ScanFloor, SaysWhenTheFloorCannotBeTold) {
  const Scan few = PlacedScan(0, 25 * 19, -90, 0, 0, 0, 4);
  EXPECT_EQ(FindNoiseFloor(few).status, NoiseFloor::Status::kTooFewBins);
  // 95% of the bins a signal 40 dB over the noise.
  const Scan high = PlacedScan(0, 25'000, -100, 1'250, 25'000, -60, 5);
  const NoiseFloor mostly = FindNoiseFloor(high);
  EXPECT_EQ(mostly.status, NoiseFloor::Status::kMostlyHigh);
  // Every bin 2 dB from the next: no 3 dB of levels holds 5% of them.
  std::vector<ScanBin> spread;
  for (int i = 0; i < 100; ++i)
    spread.push_back({i * 10, i * 10 + 9, -2.0 * i});
  EXPECT_EQ(FindNoiseFloor(ScanOf(spread)).status,
            NoiseFloor::Status::kNoCluster);
  const Scan scans[] = {PlacedScan(0, 25'000, -100, 0, 0, 0, 6), high};
  const ScanOccupancy o = Occupied(scans, std::nullopt, 100);
  EXPECT_EQ(o.floor_unknown, std::optional<std::size_t>(1));
  EXPECT_TRUE(o.excluded.empty());
  EXPECT_FALSE(Occupied(scans, -80.0, 100).floor_unknown.has_value());
}

TEST(ScanOccupancy, GuardWidensAndMergesTouchingRangesStrongestFirst) {
  const Scan scan[] = {ScanOf({{50, 60, -30},
                               {1000, 1010, -10},
                               {1011, 1020, -20},
                               {1100, 1110, -99},
                               {1221, 1231, -5},
                               {5000, 5001, -10}})};
  const ScanOccupancy occupancy = Occupied(scan, -60.0, 100);
  EXPECT_EQ(EndsOf(occupancy.excluded),
            (Ends{{0, 160}, {900, 1331}, {4900, 5101}}));
  EXPECT_EQ(occupancy.excluded_khz, 160 + 431 + 201);
  std::vector<Range> strongest;
  for (const OccupiedRange& r : occupancy.strongest)
    strongest.push_back(r.range);
  EXPECT_EQ(EndsOf(strongest),
            (Ends{{1221, 1231}, {1000, 1020}, {5000, 5001}, {50, 60}}));
  EXPECT_EQ(occupancy.strongest[1].peak_dbm, -10);
  // A guard of 99 leaves a kilohertz between the middle two; a level equal
  // to the threshold is not above it.
  EXPECT_EQ(Occupied(scan, -60.0, 99).excluded.size(), 4u);
  EXPECT_EQ(Occupied(scan, -10.0, 0).excluded.size(), 1u);
}

TEST(ScanOccupancy, MergeKeepsTheHighestLevelOfEachBin) {
  const Scan scans[] = {ScanOf({{10, 20, -50}, {30, 40, -60}}),
                        ScanOf({{10, 20, -40}, {15, 25, -70}})};
  EXPECT_EQ(
      MergeScans(scans).bins,
      (std::vector<ScanBin>{{10, 20, -40}, {15, 25, -70}, {30, 40, -60}}));
}

TEST(ScanOccupancy, SignalAtFindsTheStrongestRangeWithinTheGuard) {
  const Scan scans[] = {ScanOf({{1000, 1010, -30}, {2000, 2010, -50}}),
                        ScanOf({{1005, 1020, -20}})};
  const ScanOccupancy o = Occupied(scans, -60.0, 100);
  const std::pair<Khz, std::optional<double>> cases[] = {
      {899, std::nullopt},  {900, -30.0},  {1005, -20.0}, {1120, -20.0},
      {1121, std::nullopt}, {1950, -50.0}, {2110, -50.0}, {2111, std::nullopt},
  };
  for (const auto& [khz, peak] : cases) {
    const std::optional<SignalHit> hit = SignalAt(o, khz, 100);
    ASSERT_EQ(hit.has_value(), peak.has_value()) << khz;
    if (hit) {
      EXPECT_EQ(hit->range.peak_dbm, *peak) << khz;
    }
  }
  EXPECT_EQ(SignalAt(o, 1005, 100)->scan, 1u);
}

}  // namespace
}  // namespace zelmar::plan
