// Venue scans: each format read into bins, the lines refused with their
// numbers, and the ranges a scan excludes.
#include "zelmar/show/scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zelmar::plan {
namespace {

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
       ScanFormat::kFrequencyLevelCsv,
       {{805950, 806050, -95.5}, {806050, 806150, -80}, {806150, 806250, -90}}},
      // BOM, CR LF, a header; half-kilohertz ends widen outward.
      {"\xEF\xBB\xBF"
       "Frequency (MHz),Level (dBm)\r\n806.0625,-95.5\r\n\r\n806.125,-80\r\n",
       ScanFormat::kFrequencyLevelCsv,
       {{806031, 806094, -95.5}, {806093, 806157, -80}}},
      // Two sweeps: the highest level of each frequency, in any line order.
      {"806.1,-80\n806.0,-90\n806.0,-70\n806.1,-85\n",
       ScanFormat::kFrequencyLevelCsv,
       {{805950, 806050, -70}, {806050, 806150, -80}}},
      {"806.5,-50", ScanFormat::kFrequencyLevelCsv, {{806500, 806500, -50}}},
      {"\"Frequency (MHz)\",\"Level\"\n\"806.5\", \"-50\"\n",
       ScanFormat::kFrequencyLevelCsv,
       {{806500, 806500, -50}}},
      // A frequency with a level per sweep: the highest.
      {"806.0,-95,5\n806.1,-80,-85\n",
       ScanFormat::kFrequencyRows,
       {{805950, 806050, 5}, {806050, 806150, -80}}},
      {"806,125;-95,5\n806,250;-80\n",
       ScanFormat::kFrequencyLevel,
       {{806062, 806188, -95.5}, {806187, 806313, -80}}},
      {"MHz\tdBm\n806.1\t-95\n806.3 \t +3\n",
       ScanFormat::kFrequencyLevel,
       {{806000, 806200, -95}, {806200, 806400, 3}}},
      {kRfExplorerSweeps.c_str(),
       ScanFormat::kFrequencyColumns,
       {{805950, 806050, -95.5},
        {806050, 806150, -60},
        {806150, 806250, -85.25}}},
      {"Time;806,1;806,0\n12:00;-95,5;-80\n12:01;-90;-81\n",
       ScanFormat::kFrequencyColumns,
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
      {"\nTitle\n-806.0;-95;3\n", ScanError::kUnknownFormat, 3, "-806.0;-95;3"},
      {"-806.0,-95\n", ScanError::kUnknownFormat, 1, "-806.0,-95"},
      {"806.0\t-95\n\t-90\n", ScanError::kBadLine, 2, "\t-90"},
      {"806.0,-95\n806.1;-90\n", ScanError::kBadLine, 2, "806.1;-90"},
      {"806.0,-95\r\n\r\nfoo\r\n", ScanError::kBadLine, 3, "foo"},
      {"806.0,-95\nFrequency,Level\n", ScanError::kBadLine, 2,
       "Frequency,Level"},
      {"806.0,-90\n806.1,-9e1\n", ScanError::kBadLine, 2, "806.1,-9e1"},
      {"806.0,-90\n806.1,-90,,\n", ScanError::kBadLine, 2, "806.1,-90,,"},
      {"1000000000000,-90\n", ScanError::kFrequencyOutOfRange, 1, ""},
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
      {"2024-05-01, 12:00:00, 999999999000, 999999999000, 1000, 1, -50, -50\n",
       ScanError::kFrequencyOutOfRange, 1, ""},
  };
  for (const Bad& c : cases) {
    const ScanReading reading = ReadScan(c.text);
    EXPECT_EQ(reading.error, c.error) << c.text << DescribeScanReading(reading);
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

// The formats the field's tools write besides the plain ones, with their
// units, what measured nothing, and the name each keeps.
struct Field {
  std::string text;
  ScanFormat format;
  ScanUnit unit;
  UnitSource from;
  std::size_t unmeasured;
  std::vector<ScanBin> bins;
};

TEST(ScanRead, ReadsTheFieldsFormatsInTheirUnits) {
  const Field cases[] = {
      // A plot export in Hz: a header of column names, a comma at the end.
      {"x0003,y0003\n400000000,-104.48,\n400100000,-90,\n",
       ScanFormat::kFrequencyLevelCsv,
       ScanUnit::kHz,
       UnitSource::kMagnitudes,
       0,
       {{399950, 400050, -104.48}, {400050, 400150, -90}}},
      // A pocket analyser's sweeps in Hz, one row per frequency.
      {"2390000000.00,-116.03,-114.00,nan\n2390100000.00,-1.#J,-99,-98\n",
       ScanFormat::kFrequencyRows,
       ScanUnit::kHz,
       UnitSource::kMagnitudes,
       2,
       {{2389950, 2390050, -114}, {2390050, 2390150, -98}}},
      // kHz named in the column names, whatever the magnitudes say.
      {"Frequency [kHz];Level\n806000;-95\n806100;-inf\n806200;-80\n",
       ScanFormat::kFrequencyLevel,
       ScanUnit::kKhz,
       UnitSource::kHeader,
       1,
       {{805950, 806050, -95}, {806150, 806250, -80}}},
      // The kHz export: its block (with numbers), the column row, rows in
      // kHz with the level third (an empty one measured nothing), a footer.
      {"Receiver;R1\nRFUnit;dBm\nFrequency Range [kHz];470000;470050;25\n"
       "Frequency;RF level (%);RF level;Memory (%)\n"
       "470000;12;-95,5;0\n470025;;-80;0\n470050;3;;0\nEnd of scan\n",
       ScanFormat::kKhzExport,
       ScanUnit::kKhz,
       UnitSource::kFormat,
       1,
       {{469987, 470013, -95.5}, {470012, 470038, -80}}},
      {"RFUnit;dBuV\nFrequency;RF level (%);RF level\n470000;;7\n",
       ScanFormat::kKhzExport,
       ScanUnit::kKhz,
       UnitSource::kFormat,
       0,
       {{470000, 470000, -100}}},
      // Start, Stop and a rounded step over rows of levels: one row per
      // frequency (a column per sweep) ...
      {"Model,X,Start,87500000,Stop,87600000,fStep,33333,Each_Column="
       "One_sweep\n-90,-91\n-inf,-inf\n-50,-60\n-70,-75\n",
       ScanFormat::kStartStopRows,
       ScanUnit::kHz,
       UnitSource::kMagnitudes,
       2,
       {{87483, 87517, -90}, {87549, 87584, -50}, {87583, 87617, -70}}},
      // ... or, when a row holds a level per frequency, one row per sweep.
      {"Start,806000000,Stop,806200000,Step,100000\n-90,-80,-70\n-95,-60,"
       "-75\n",
       ScanFormat::kStartStopRows,
       ScanUnit::kHz,
       UnitSource::kMagnitudes,
       0,
       {{805950, 806050, -90}, {806050, 806150, -60}, {806150, 806250, -70}}},
      {"2024-05-01, 12:00:00, 806000000, 806300000, 100000, 10, -50, -inf, "
       "-nan\n",
       ScanFormat::kSdrSweep,
       ScanUnit::kHz,
       UnitSource::kFormat,
       2,
       {{806000, 806100, -50}}},
  };
  for (const Field& c : cases) {
    const ScanReading reading = ReadScan(c.text);
    ASSERT_EQ(reading.error, ScanError::kNone)
        << c.text << DescribeScanReading(reading);
    EXPECT_EQ(reading.scan.format, c.format) << c.text;
    EXPECT_EQ(reading.scan.unit, c.unit) << c.text;
    EXPECT_EQ(reading.scan.unit_from, c.from) << c.text;
    EXPECT_EQ(reading.scan.unmeasured, c.unmeasured) << c.text;
    EXPECT_EQ(reading.scan.bins, c.bins) << c.text;
  }
  EXPECT_EQ(ReadScan("Frequency;RF level (%);RF level\n1;;-9\nx\nx\n")
                .scan.footer_lines,
            2u);
}

TEST(ScanRead, UnitsFromMagnitudesOrAsGiven) {
  // Each unit's span of numbers: MHz below 10000, kHz below 10000000.
  const std::pair<const char*, ScanUnit> spans[] = {
      {"9999.999,-90\n", ScanUnit::kMhz},
      {"10000,-90\n", ScanUnit::kKhz},
      {"9999999,-90\n", ScanUnit::kKhz},
      {"10000000,-90\n", ScanUnit::kHz},
  };
  for (const auto& [text, unit] : spans) {
    EXPECT_EQ(ReadScan(text).scan.unit, unit) << text;
  }
  const std::string ambiguous = "9000,-90\n12000,-80\n";
  const ScanReading open = ReadScan(ambiguous);
  EXPECT_EQ(open.error, ScanError::kUnknownUnit);
  EXPECT_NE(open.detail.find("--scan-unit"), std::string::npos);
  const ScanReading given = ReadScan(ambiguous, ScanUnit::kMhz);
  ASSERT_EQ(given.error, ScanError::kNone);
  EXPECT_EQ(given.scan.unit_from, UnitSource::kGiven);
  EXPECT_EQ(given.scan.bins.back().high, 13'500'000);
  EXPECT_EQ(ReadScan("MHz,dBm\n806,-90\n", ScanUnit::kHz).error,
            ScanError::kUnitConflict);
  // The unit given makes a frequency too high; the message names it.
  const ScanReading high = ReadScan("x,y\n400000000,-90\n", ScanUnit::kMhz);
  EXPECT_EQ(high.error, ScanError::kFrequencyOutOfRange);
  EXPECT_EQ(high.line, 2u);
  EXPECT_NE(high.detail.find("400000000 MHz"), std::string::npos);
  EXPECT_EQ(ReadScanUnit("khz"), ScanUnit::kKhz);
  EXPECT_FALSE(ReadScanUnit("kHz ").has_value());
}

TEST(ScanRead, RefusalsNameTheFieldAtFault) {
  const std::pair<std::string, std::string> cases[] = {
      {"806.0,-90\n806.1,abc\n", "field 2 \"abc\" is no level"},
      {"806.0,-90,-91\n806.1,-90\n", "has 2 fields where 3 are read"},
      {"Sweep,806.0,806.1\n0,-90\n", "has 2 fields where the header has 3"},
      {"2024-05-01, 12:00:00, 806000000, 806300000, 0, 10, -50\n",
       "field 5 \"0\" is no step above zero"},
      {"Start,87500000,Stop,87600000,fStep,50000\n-90\n-91\n",
       "Start, Stop and the step give 3 frequencies, but there are 2 rows of "
       "1 fields"},
      {"806.0,nan\n806.1,-inf\n", "2 levels, none measured"},
      {"Frequency;RF level (%);RF level\n470000;5;x\n",
       "field 3 \"x\" is no level"},
      {"RFUnit;W\nFrequency;RF level (%);RF level\n470000;5;-9\n",
       "the RFUnit \"W\" is neither dBm nor dBuV"},
  };
  for (const auto& [text, detail] : cases) {
    const ScanReading reading = ReadScan(text);
    EXPECT_NE(reading.error, ScanError::kNone) << text;
    EXPECT_EQ(reading.detail, detail) << text;
  }
  EXPECT_EQ(ReadScan("806.0,nan\n").error, ScanError::kNothingMeasured);
}

}  // namespace
}  // namespace zelmar::plan
