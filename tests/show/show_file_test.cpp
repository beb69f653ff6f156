// Show files read back as written, refused with the path and line of the
// fault, and the crew's sheet byte for byte.
#include "zelmar/show/show_file.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zelmar::plan {
namespace {

auto Fields(const BandOption& b) {
  return std::tie(b.kind, b.text, b.band.low, b.band.high, b.band.step,
                  b.channels, b.tv_step, b.count);
}
auto Fields(const GroupOptions& g) {
  return std::tie(g.name, g.label, g.fixed, g.count, g.max, g.rules.spacing,
                  g.rules.guard, g.rules.window_3tx3, g.rules.window_2tx5,
                  g.apart, g.spares);
}
auto Fields(const PlanSheet::Row& r) {
  return std::tie(r.label, r.group, r.khz, r.band, r.spare, r.fixed);
}
std::vector<std::pair<Khz, Khz>> Pairs(const std::vector<Range>& ranges) {
  std::vector<std::pair<Khz, Khz>> pairs;
  for (const Range& r : ranges) pairs.emplace_back(r.low, r.high);
  return pairs;
}

void ExpectSameShow(const ShowFile& a, const ShowFile& b) {
  EXPECT_EQ(a.request.tv_edge, b.request.tv_edge);
  EXPECT_EQ(Pairs(a.request.excludes), Pairs(b.request.excludes));
  EXPECT_EQ(Pairs(a.request.scan_excludes), Pairs(b.request.scan_excludes));
  ASSERT_EQ(a.request.groups.size(), b.request.groups.size());
  for (std::size_t g = 0; g < a.request.groups.size(); ++g) {
    const auto& bands = a.request.groups[g].bands;
    EXPECT_EQ(Fields(a.request.groups[g]), Fields(b.request.groups[g]));
    ASSERT_EQ(bands.size(), b.request.groups[g].bands.size());
    for (std::size_t i = 0; i < bands.size(); ++i) {
      EXPECT_EQ(Fields(bands[i]), Fields(b.request.groups[g].bands[i]));
    }
  }
  ASSERT_EQ(a.plan.has_value(), b.plan.has_value());
  if (!a.plan) return;
  EXPECT_EQ(a.plan->proven, b.plan->proven);
  EXPECT_EQ(a.plan->margins, b.plan->margins);
  EXPECT_EQ(a.plan->headroom, b.plan->headroom);
  ASSERT_EQ(a.plan->rows.size(), b.plan->rows.size());
  for (std::size_t i = 0; i < a.plan->rows.size(); ++i) {
    EXPECT_EQ(Fields(a.plan->rows[i]), Fields(b.plan->rows[i]));
  }
}

// Bands as the command line reads "b=2", "806.125:809.750:0.250=3",
// "21,22,23:0.050" and "30".
ShowFile TwoGroups() {
  ShowFile show;
  RequestOptions& request = show.request;
  request.tv_edge = 250;
  request.excludes = {{806'500, 806'750}, {807'000, 807'000}};
  request.scan_excludes = {{790'000, 791'200}};
  GroupOptions& hh = request.first();
  hh.name = hh.label = "HH";
  hh.bands.push_back({BandOption::Kind::kBBand, "b", kBBand, {}, 25, 2});
  hh.bands.push_back({BandOption::Kind::kRange,
                      "806.125:809.750:0.250",
                      {806'125, 809'750, 250},
                      {},
                      25,
                      3});
  hh.fixed = {806'125};
  hh.count = 6;
  hh.rules = {250, 50, 100, std::nullopt};
  hh.apart = 375;
  hh.spares = 2;
  GroupOptions& iem = request.groups.emplace_back();
  iem.name = "イヤモニ\n\x01";  // control characters are escaped
  iem.label = "IEM";
  iem.bands.push_back(
      {BandOption::Kind::kTv, "21,22,23:0.050", {}, {21, 22, 23}, 50, {}});
  iem.bands.push_back({BandOption::Kind::kTv, "30", {}, {30}, 25, {}});
  iem.max = true;
  iem.rules.window_2tx5 = 0;
  PlanSheet& sheet = show.plan.emplace();
  sheet.proven = true;
  sheet.margins = {250, 125, std::nullopt};
  sheet.headroom = {200, -80, std::nullopt};
  sheet.rows = {{"HH1", "HH", 806'125, "fixed", false, true},
                {"IEM1", "イヤモニ", 512'050, "TV ch 21", false, false},
                {"", "HH", 809'000, "B ch 24", true, false}};
  return show;
}

TEST(ShowFile, ReadsBackWhatItWrote) {
  ShowFile plain;
  plain.request.first().count = 8;
  for (const ShowFile& show : {TwoGroups(), plain}) {
    const std::string text = WriteShow(show);
    const ShowReading reading = ReadShow(text);
    ASSERT_EQ(reading.error, ShowError::kNone) << reading.path << "\n" << text;
    ExpectSameShow(reading.show, show);
    EXPECT_EQ(WriteShow(reading.show), text);
  }
  EXPECT_NE(WriteShow(TwoGroups()).find(R"("イヤモニ\n\u0001")"),
            std::string::npos);
}

// A file with only what has no default, a byte-order mark before it, gets
// every default, and is written in full.
TEST(ShowFile, FillsDefaultsAndWritesEveryField) {
  const ShowReading reading = ReadShow(
      "\xEF\xBB\xBF{\"format\": \"zelmar-show\", \"version\": 1, "
      "\"groups\": [{\"count\": 8}]}");
  ASSERT_EQ(reading.error, ShowError::kNone);
  EXPECT_EQ(WriteShow(reading.show), R"({
  "format": "zelmar-show",
  "version": 1,
  "tv_edge": "0.000",
  "excludes": [],
  "scan_excludes": [],
  "groups": [
    {
      "name": "",
      "label": "",
      "bands": [],
      "fixed": [],
      "count": 8,
      "spacing": "0.125",
      "apart": "0.000",
      "windows": {"2tx3": "0.000"},
      "spares": 0
    }
  ]
}
)");
}

// A file whose group (on line 5) is `group`.
std::string WithGroup(const std::string& group) {
  return "{\n  \"format\": \"zelmar-show\",\n  \"version\": 1,\n"
         "  \"groups\": [\n    " +
         group + "\n  ]\n}\n";
}
std::string WithRoot(const std::string& members) {
  return "{\"format\": \"zelmar-show\", \"version\": 1,\n" + members + "}";
}

TEST(ShowFile, RefusesMalformedFilesAtTheirFault) {
  using E = ShowError;
  const struct {
    std::string text;
    ShowError error;
    std::string path;
    std::size_t line;
  } cases[] = {
      {"", E::kSyntax, "", 1},
      {WithGroup("{\"count\": 8,\n  \"max\": tru}"), E::kSyntax, "", 6},
      {WithGroup("{\"count\": 8}") + "x", E::kSyntax, "", 8},
      {"[1]", E::kNotAShow, "", 1},
      {"{\"format\": \"zelmar-plan\"}", E::kNotAShow, "format", 1},
      {"{\"format\": \"zelmar-show\", \"version\": 2}", E::kVersion, "version",
       1},
      {"{\"format\": \"zelmar-show\", \"version\": 1.0}", E::kType, "version",
       1},
      {"{\"format\": \"zelmar-show\"}", E::kMissing, "version", 1},
      {WithRoot("\"groups\": [{\"count\": 1}], \"tv-edge\": \"0\""),
       E::kUnknownField, "tv-edge", 2},
      {WithRoot("\"groups\": []"), E::kBadValue, "groups", 2},
      {WithRoot("\"excludes\": [[\"806.5\"]]"), E::kBadValue, "excludes[0]", 2},
      {WithRoot("\"scan_excludes\": [[\"806.750\", \"806.5\"]]"), E::kBadValue,
       "scan_excludes[0]", 2},
      {WithRoot("\"excludes\": [[\"806.5\", 807]]"), E::kType, "excludes[0][1]",
       2},
      {WithRoot("\"tv_edge\": \"-1\""), E::kBadFrequency, "tv_edge", 2},
      {WithGroup("{}"), E::kMissing, "groups[0].count", 5},
      {WithGroup("{\"cuont\": 8}"), E::kUnknownField, "groups[0].cuont", 5},
      {WithGroup("{\"count\": 65}"), E::kBadValue, "groups[0].count", 5},
      {WithGroup("{\"count\": -1}"), E::kBadValue, "groups[0].count", 5},
      {WithGroup("{\"count\": 18446744073709551615}"), E::kBadValue,
       "groups[0].count", 5},
      {WithGroup("{\"count\": 8, \"max\": true}"), E::kBadValue,
       "groups[0].count", 5},
      {WithGroup("{\"max\": 1}"), E::kType, "groups[0].max", 5},
      {WithGroup("{\"count\": 8,\n \"spacing\": 0.125}"), E::kType,
       "groups[0].spacing", 6},
      {WithGroup("{\"count\": 8,\n\n \"spacing\": \"0\"}"), E::kBadFrequency,
       "groups[0].spacing", 7},
      {WithGroup("{\"count\": 8, \"fixed\": [\"806.1250\"]}"), E::kBadFrequency,
       "groups[0].fixed[0]", 5},
      {WithGroup("{\"count\": 8, \"windows\": {\"3tx3\": \"-0.1\"}}"),
       E::kBadFrequency, "groups[0].windows.3tx3", 5},
      {WithGroup("{\"count\": 8, \"windows\": {\"2tx4\": \"0\"}}"),
       E::kUnknownField, "groups[0].windows.2tx4", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"b\": true},\n"
                 "{\"low\": \"809\", \"high\": \"806\"}]}"),
       E::kBadValue, "groups[0].bands[1]", 6},
      {WithGroup("{\"count\": 8, \"bands\": [{\"b\": true, \"low\": \"8\"}]}"),
       E::kUnknownField, "groups[0].bands[0].low", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"b\": false}]}"), E::kBadValue,
       "groups[0].bands[0].b", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"high\": \"806\"}]}"),
       E::kMissing, "groups[0].bands[0].low", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"tv\": [21, 12]}]}"),
       E::kBadValue, "groups[0].bands[0].tv[1]", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"tv\": []}]}"), E::kBadValue,
       "groups[0].bands[0].tv", 5},
      {WithGroup("{\"count\": 8, \"bands\": [{\"b\": true, \"count\": 0}]}"),
       E::kBadValue, "groups[0].bands[0].count", 5},
      {WithRoot("\"groups\": [{\"count\": 1}],\n\"plan\": {\"carriers\": "
                "[{\"label\": \"A\"}]}"),
       E::kMissing, "plan.carriers[0].frequency", 3},
      {WithRoot("\"groups\": [{\"count\": 1}],\n\"plan\": {\"margins\": "
                "{\"2tx3\": \"--1\"}}"),
       E::kBadFrequency, "plan.margins.2tx3", 3},
  };
  for (const auto& c : cases) {
    const ShowReading reading = ReadShow(c.text);
    EXPECT_EQ(reading.error, c.error) << c.text;
    EXPECT_EQ(reading.path, c.path) << c.text;
    EXPECT_EQ(reading.line, c.line) << c.text;
  }
}

TEST(ShowFile, SheetIsCsvWithMarkAndCrLf) {
  PlanSheet sheet;
  sheet.rows = {
      {"HH1", "ハンド", 806'125, "B ch 1", false, false},
      {"a,b", "G", 512'050, "TV ch 21", false, false},
      {"say \"hi\"", "G", 809'000, "band 806.000:810.000:0.125", true, false}};
  EXPECT_EQ(WriteSheetCsv(sheet),
            "\xEF\xBB\xBFlabel,group,frequency,band,spare\r\n"
            "HH1,ハンド,806.125,B ch 1,no\r\n"
            "\"a,b\",G,512.050,TV ch 21,no\r\n"
            "\"say \"\"hi\"\"\",G,809.000,band 806.000:810.000:0.125,yes\r\n");
}

}  // namespace
}  // namespace zelmar::plan
