// Venue scans: each format read into bins, the lines refused with their
// numbers, and the ranges a scan excludes.
#include "zelmar/show/scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zelmar::plan {
namespace {

using Ends = std::vector<std::pair<Khz, Khz>>;
Ends EndsOf(const std::vector<Range>& ranges) {
  Ends ends;
  for (const Range& r : ranges) ends.emplace_back(r.low, r.high);
  return ends;
}

struct Good {
  const char* text;
  ScanFormat format;
  std::vector<ScanBin> bins;
};

const std::string kRfExplorerSweeps =
    "RF Explorer CSV data file: RFExplorer PC Client - Format v004\r\n"
    "Start Frequency: 806MHZ\r\nStep Frequency: 100KHZ\r\n"
    "Total data entries: 2\r\nSteps per entry: 3\r\n"
    "Sweep,Date,Time,Milliseconds,0806.000,0806.100,0806.200\r\n"
    "0,5/1/2024,12:00:00,.125,-95.5,-60,-90\r\n"
    "1,5/1/2024,12:00:01,.250,-99,-70,-85.25\r\n";

TEST(ScanRead, ReadsEachFormat) {
  const Good cases[] = {
      {"806.000,-95.5\n806.100,-80.0\n806.200,-90\n",
       ScanFormat::kRfExplorer,
       {{805950, 806050, -95.5}, {806050, 806150, -80}, {806150, 806250, -90}}},
      // BOM, CR LF, a header; half-kilohertz ends widen outward.
      {"\xEF\xBB\xBF"
       "Frequency (MHz),Level (dBm)\r\n806.0625,-95.5\r\n\r\n806.125,-80\r\n",
       ScanFormat::kRfExplorer,
       {{806031, 806094, -95.5}, {806093, 806157, -80}}},
      // Two sweeps: the highest level of each frequency, in any line order.
      {"806.1,-80\n806.0,-90\n806.0,-70\n806.1,-85\n",
       ScanFormat::kRfExplorer,
       {{805950, 806050, -70}, {806050, 806150, -80}}},
      {"806.5,-50", ScanFormat::kRfExplorer, {{806500, 806500, -50}}},
      {"806,125;-95,5\n806,250;-80\n",
       ScanFormat::kFrequencyLevel,
       {{806062, 806188, -95.5}, {806187, 806313, -80}}},
      {"MHz\tdBm\n806.1\t-95\n806.3 \t +3\n",
       ScanFormat::kFrequencyLevel,
       {{806000, 806200, -95}, {806200, 806400, 3}}},
      {kRfExplorerSweeps.c_str(),
       ScanFormat::kRfExplorerSweeps,
       {{805950, 806050, -95.5},
        {806050, 806150, -60},
        {806150, 806250, -85.25}}},
      {"Time;806,1;806,0\n12:00;-95,5;-80\n12:01;-90;-81\n",
       ScanFormat::kRfExplorerSweeps,
       {{805950, 806050, -80}, {806050, 806150, -90}}},
      {"2024-05-01, 12:00:00, 806000000, 806300000, 100000.00, 10, -50.5, "
       "-60, -70\n"
       "2024-05-01, 12:00:05, 806000000, 806300000, 100000.00, 10, -40, -65, "
       "-75\n",
       ScanFormat::kSdrSweep,
       {{806000, 806100, -40}, {806100, 806200, -60}, {806200, 806300, -70}}},
      {"2024-05-01, 12:00:00.5, 806000000, 806004000, 1953.12, 4, -50, -51\n",
       ScanFormat::kSdrSweep,
       {{806000, 806002, -50}, {806001, 806004, -51}}},
  };
  for (const Good& c : cases) {
    const ScanReading reading = ReadScan(c.text);
    ASSERT_EQ(reading.error, ScanError::kNone) << c.text << reading.text;
    EXPECT_EQ(reading.scan.format, c.format) << c.text;
    EXPECT_EQ(reading.scan.bins, c.bins) << c.text;
  }
}

TEST(ScanRead, HeaderLinesOnlyBeforeTheFirstDataLine) {
  std::string text;
  for (std::size_t i = 0; i < kMaxScanHeaderLines; ++i) text += "title\n";
  EXPECT_EQ(ReadScan(text + "806,-90\n").error, ScanError::kNone);
  const ScanReading reading = ReadScan("x\n" + text + "806,-90\n");
  EXPECT_EQ(reading.error, ScanError::kUnknownFormat);
  EXPECT_EQ(reading.line, 1u);
}

struct Bad {
  std::string text;
  ScanError error;
  std::size_t line;
  std::string line_text;
};

TEST(ScanRead, RefusesWithTheLine) {
  const std::string sdr =
      "2024-05-01, 12:00:00, 806000000, 806300000, 100000, 10, -50\n";
  const std::string long_line = std::string(79, 'a') + "\xE6\x97\xA5";
  const Bad cases[] = {
      {"", ScanError::kEmpty, 0, ""},
      {"\xEF\xBB\xBF\r\n \t\n", ScanError::kEmpty, 0, ""},
      {"Sweep,806.0,806.1\n\n", ScanError::kEmpty, 0, ""},
      {"hello\nworld\n", ScanError::kUnknownFormat, 1, "hello"},
      {"\nTitle\n806.0;-95;3\n", ScanError::kUnknownFormat, 3, "806.0;-95;3"},
      {"806.0,-95,5\n", ScanError::kUnknownFormat, 1, "806.0,-95,5"},
      {"-806.0,-95\n", ScanError::kUnknownFormat, 1, "-806.0,-95"},
      {"806.0\t-95\n\t-90\n", ScanError::kBadLine, 2, "\t-90"},
      {"806.0,-95\n806.1;-90\n", ScanError::kBadLine, 2, "806.1;-90"},
      {"806.0,-95\r\n\r\nfoo\r\n", ScanError::kBadLine, 3, "foo"},
      {"806.0,-95\nFrequency,Level\n", ScanError::kBadLine, 2,
       "Frequency,Level"},
      {"806.0,-90\n806.1,nan\n", ScanError::kBadLine, 2, "806.1,nan"},
      {"806.0,-90\n806.1,-9e1\n", ScanError::kBadLine, 2, "806.1,-9e1"},
      {"806.0,-90\n806.1,-90,\n", ScanError::kBadLine, 2, "806.1,-90,"},
      {"806.0,-90\n" + long_line, ScanError::kBadLine, 2, std::string(79, 'a')},
      {"Sweep,806.0,806.1\n0,-90\n", ScanError::kBadLine, 2, "0,-90"},
      {"Sweep,806.0,806.1\n0,-90,-80\n\xEF\xBB\xBFSweep,806.0,806.1\n",
       ScanError::kBadLine, 3, "\xEF\xBB\xBFSweep,806.0,806.1"},
      {"Sweep,806.0,806.1\n0,-90,-80,-70\n", ScanError::kBadLine, 2,
       "0,-90,-80,-70"},
      {sdr + "2024-05-01, 12:00:01, 806000000, 806300000, 100000, 10, x\n",
       ScanError::kBadLine, 2, ""},
      // Its tab makes no header of an SDR line, since it has numbers.
      {"2024-05-01, 12:00:00,\t806000000, 806300000, 100000, 10, -50\n" + sdr,
       ScanError::kUnknownFormat, 1, ""},
      {"2024-05-01, 12:00:00, 806000000, 806300000, 0, 10, -50\n",
       ScanError::kUnknownFormat, 1, ""},
      {"1000000.001,-90\n", ScanError::kFrequencyOutOfRange, 1, ""},
      {"2024-05-01, 12:00:00, 999999999000, 999999999000, 1000, 1, -50, -50\n",
       ScanError::kFrequencyOutOfRange, 1, ""},
  };
  for (const Bad& c : cases) {
    const ScanReading reading = ReadScan(c.text);
    EXPECT_EQ(reading.error, c.error) << c.text;
    EXPECT_EQ(reading.line, c.line) << c.text;
    if (!c.line_text.empty()) {
      EXPECT_EQ(reading.text, c.line_text) << c.text;
    }
    EXPECT_TRUE(reading.scan.bins.empty()) << c.text;
  }
}

TEST(ScanRead, ReadDbmTakesPlainSignedDecimals) {
  EXPECT_EQ(ReadDbm("-85"), -85.0);
  EXPECT_EQ(ReadDbm("-85.5"), -85.5);
  EXPECT_EQ(ReadDbm("+3"), 3.0);
  for (const char* bad :
       {"", "-", "85.", ".5", "-85,5", " -85", "-85 ", "1e3", "inf", "--1"}) {
    EXPECT_FALSE(ReadDbm(bad).has_value()) << bad;
  }
}

Scan ScanOf(std::vector<ScanBin> bins) {
  return Scan{ScanFormat::kFrequencyLevel, std::move(bins)};
}

TEST(ScanOccupancy, DefaultThresholdIsTenAboveTheMedianAndStrict) {
  // Median of six: halfway between -80 and -75.
  const Scan scan = ScanOf({{1000, 1010, -100},
                            {1011, 1020, -90},
                            {1021, 1030, -80},
                            {1031, 1040, -75},
                            {1041, 1050, -74.5},
                            {1051, 1060, -50}});
  const ScanOccupancy occupancy = Occupied(scan, std::nullopt, 0);
  EXPECT_TRUE(occupancy.threshold_from_median);
  EXPECT_EQ(occupancy.median_dbm, -77.5);
  EXPECT_EQ(occupancy.threshold_dbm, -67.5);
  EXPECT_EQ(EndsOf(occupancy.excluded), (Ends{{1051, 1060}}));
  // A level equal to the threshold is not above it.
  const ScanOccupancy at = Occupied(scan, -75.0, 0);
  EXPECT_FALSE(at.threshold_from_median);
  EXPECT_EQ(EndsOf(at.excluded), (Ends{{1041, 1060}}));
  EXPECT_EQ(Occupied(Scan{}, std::nullopt, 100).excluded.size(), 0u);
}

TEST(ScanOccupancy, GuardWidensAndMergesTouchingRangesStrongestFirst) {
  const Scan scan = ScanOf({{50, 60, -30},
                            {1000, 1010, -10},
                            {1011, 1020, -20},
                            {1100, 1110, -99},
                            {1221, 1231, -5},
                            {5000, 5001, -10}});
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
  // A guard of 99 leaves a kilohertz between the middle two.
  EXPECT_EQ(Occupied(scan, -60.0, 99).excluded.size(), 4u);
}

TEST(ScanOccupancy, MergeKeepsTheHighestLevelOfEachBin) {
  const Scan scans[] = {ScanOf({{10, 20, -50}, {30, 40, -60}}),
                        ScanOf({{10, 20, -40}, {15, 25, -70}})};
  EXPECT_EQ(
      MergeScans(scans).bins,
      (std::vector<ScanBin>{{10, 20, -40}, {15, 25, -70}, {30, 40, -60}}));
}

}  // namespace
}  // namespace zelmar::plan
