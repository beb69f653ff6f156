// zelmar-plan with device groups, spares and --analyze: what the answers
// say, and what is refused.
#include <gtest/gtest.h>

#include "plan_cli.h"
#include "plan_test_support.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;
using test::Parse;
using test::RunArgs;
using test::RunJson;

TEST(PlanGroups, EveryCarrierHasItsGroupLabelAndBand) {
  const json j = RunJson({"--group", "HH,spares=2", "--band", "b=3", "--group",
                          "IEM,label=IE,apart=4,3tx3=0", "--band", "812:816=2"},
                         0);
  ASSERT_EQ(j["plan"].size(), 5u);
  EXPECT_EQ(j["groups"], json({"HH", "HH", "HH", "IEM", "IEM"}));
  EXPECT_EQ(j["labels"], json({"HH1", "HH2", "HH3", "IE1", "IE2"}));
  EXPECT_TRUE(j["proven"].get<bool>());
  // 3tx3 is checked because IEM gives a window; only IEM judges it.
  EXPECT_TRUE(j["headroom"].contains("3tx3"));
  // Apart: no IEM carrier within 4 MHz of a handheld.
  const double top_hh = std::stod(j["plan"][2].get<std::string>());
  EXPECT_GT(std::stod(j["plan"][3].get<std::string>()) - top_hh, 4.0);
  ASSERT_EQ(j["spares"].size(), 2u);
  for (const json& s : j["spares"]) {
    EXPECT_EQ(s["group"], "HH");
    EXPECT_TRUE(s["band"].get<std::string>().starts_with("B ch "));
  }
  EXPECT_EQ(j["spares"][0]["label"], "HH spare 1");
}

TEST(PlanGroups, OneGroupKeepsItsAnswerAndGainsHeadroom) {
  const json plain = RunJson({"--count", "5", "--window", "3tx3=0"}, 0);
  const json named = RunJson({"--group", "mic,3tx3=0", "--count", "5"}, 0);
  EXPECT_EQ(plain["plan"], named["plan"]);
  EXPECT_EQ(plain["margins"], named["margins"]);
  // One group: headroom is the margin beyond the window.
  EXPECT_EQ(plain["headroom"]["2tx3"], plain["margin"]);
  EXPECT_EQ(plain["groups"], json(std::vector<std::string>(5, "")));
}

TEST(PlanGroups, SparesKeepThePlanValid) {
  const json j = RunJson({"--count", "4", "--spares", "3"}, 0);
  ASSERT_EQ(j["spares"].size(), 3u);
  for (const json& s : j["spares"]) {
    std::vector<std::string> args = {"--analyze",
                                     s["frequency"].get<std::string>()};
    for (const json& f : j["plan"]) args.push_back(f.get<std::string>());
    EXPECT_EQ(RunArgs(args).status, kExitOk) << s;
  }
}

TEST(PlanGroups, AnalysisNamesEveryBrokenRule) {
  // 806.125 + 806.375 - 806.250... : a 2tx3 hit and a too-close pair.
  const PlanReport bad = RunArgs(
      {"--analyze", "806.125", "806.250", "806.375", "--window", "3tx3=0"});
  EXPECT_EQ(bad.status, kExitNoPlan);
  EXPECT_NE(bad.out.find("the spacing rule: 806.125 and 806.250 MHz are"),
            std::string::npos)
      << bad.out;
  EXPECT_NE(bad.out.find("2*806.250 - 806.125 = 806.375 MHz"),
            std::string::npos);
  EXPECT_NE(bad.out.find("valid: no"), std::string::npos);
  const PlanReport good =
      RunArgs({"--analyze", "--json"}, {},
              PlanInputs{{}, {}, "806.125\n\n807.000\r\n808.500\n"});
  EXPECT_EQ(good.status, kExitOk);
  const json j = json::parse(good.out);
  EXPECT_EQ(j["count"], 3);
  EXPECT_TRUE(j["valid"].get<bool>());
  EXPECT_EQ(j["violations"].size(), 0u);
  const PlanReport unreadable =
      RunArgs({"--analyze"}, {}, PlanInputs{{}, {}, "806.125\n806,250\n"});
  EXPECT_EQ(unreadable.status, kExitUsage);
  EXPECT_NE(unreadable.err.find("standard input, line 2: '806,250'"),
            std::string::npos);
}

TEST(PlanGroups, GroupsJudgeProductsByTheVictimsWindow) {
  // IEM's window hides nothing of HH: the product 2*806.375 - 806.125 =
  // 806.625 lies 0.375 MHz from HH's 807.000, beyond HH's 0.2 window but
  // within IEM's 0.5 window, were 807.000 an IEM carrier.
  const auto status = [](const char* group) {
    return RunArgs({"--analyze", "--group", "HH,2tx3=0.2", "--fixed", "806.125",
                    "--fixed", "806.375", "--group", group, "--fixed",
                    "807.000"})
        .status;
  };
  EXPECT_EQ(status("IEM,2tx3=0.5"), kExitNoPlan);
  EXPECT_EQ(status("IEM,2tx3=0.3"), kExitOk);
}

TEST(PlanGroups, RefusesBadGroupsWithOneLine) {
  const std::pair<std::vector<std::string>, const char*> refusals[] = {
      {{"--band", "b=2", "--group", "HH"}, "go after the --group"},
      {{"--group", "", "--band", "b=2"}, "the group needs a name"},
      {{"--group", "HH,colour=red"}, "unknown field 'colour'"},
      {{"--group", "H\xA4H", "--count", "2"}, "must be UTF-8 text"},
      {{"--group", "HH,label=\tA", "--count", "2"}, "must be UTF-8 text"},
      {{"--group", "HH,apart"}, "is not FIELD=VALUE"},
      {{"--group", "HH,spacing=0.1"}, "below the check's own 0.125"},
      {{"--group", "HH,3tx3=-1"}, "is below zero"},
      {{"--group", "HH,spares=65"}, "from 0 to 64"},
      {{"--group", "HH,label=A,label=B"}, "label= given twice"},
      {{"--group", "A", "--count", "2", "--group", "A", "--count", "2"},
       "two groups are named 'A'"},
      {{"--group", "A", "--group", "B"},
       "groups 'A' and 'B' both have no count"},
      {{"--group", "A", "--count", "40", "--group", "B", "--count", "30"},
       "make 70 carriers, more than 64"},
      {{"--group", "A", "--band", "b=2", "--tv", "21"},
       "group 'A': when one --band or --tv has a count"},
      {{"--max", "--analyze", "806,125"}, "is not a number of MHz"},
  };
  for (const auto& [args, says] : refusals) {
    const std::string error = Parse(args).error;
    EXPECT_TRUE(error.starts_with("zelmar-plan: ")) << error;
    EXPECT_NE(error.find(says), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace zelmar::plan_cli

namespace zelmar::plan_cli {
namespace {

PlanReport RunShow(std::vector<std::string> args, const std::string& text) {
  args.insert(args.begin(), {"--show", "show.json"});
  return test::RunArgs(args, {}, PlanInputs{text, {}, {}});
}

TEST(PlanShows, ASavedShowPlansAndChecksTheSameAgain) {
  const PlanReport first = test::RunArgs(
      {"--group", "HH,spares=1", "--band", "b=3", "--group", "IEM,apart=4",
       "--band", "812:816=2", "--exclude", "815:815.5", "--json", "--save",
       "show.json", "--csv", "sheet.csv"});
  ASSERT_EQ(first.status, kExitOk);
  const PlanReport again = RunShow({"--json"}, first.show_text);
  EXPECT_EQ(again.status, kExitOk);
  EXPECT_EQ(again.out, first.out);
  EXPECT_EQ(RunShow({"--analyze"}, first.show_text).status, kExitOk);
  // The sheet: a byte-order mark, CR LF, the spare last.
  EXPECT_TRUE(first.csv_text.starts_with(
      "\xEF\xBB\xBFlabel,group,frequency,band,spare\r\nHH1,HH,806.125,"))
      << first.csv_text;
  EXPECT_TRUE(first.csv_text.ends_with(",yes\r\n"));
}

TEST(PlanShows, BadShowFilesAreRefusedAndNothingIsSaved) {
  const std::pair<std::string, const char*> refusals[] = {
      {"{", "'show.json', line 1"},
      {R"({"format":"zelmar-show","version":1,"groups":[{"name":"A",)"
       R"("bands":[{"b":true}],"count":80}]})",
       "groups[0].count"},
      {R"({"format":"zelmar-show","version":1,"groups":[{"name":"A",)"
       R"("max":true},{"name":"B","max":true}]})",
       "only one group may take as many as fit"},
      {R"({"format":"zelmar-show","version":1,"groups":[{"name":"A",)"
       R"("count":1}],"plan":{"carriers":[{"frequency":"806.125",)"
       R"("group":"B"}]}})",
       "no group 'B'"},
  };
  for (const auto& [text, says] : refusals) {
    const PlanReport report = RunShow({"--save", "out.json"}, text);
    EXPECT_EQ(report.status, kExitUsage) << text;
    EXPECT_NE(report.err.find(says), std::string::npos) << report.err;
    EXPECT_EQ(report.show_text, "");
  }
  EXPECT_NE(Parse({"--max", "--save", "-", "--csv", "-"})
                .error.find("cannot both take standard output"),
            std::string::npos);
  EXPECT_NE(Parse({"--show", "a.json", "--band", "b=2"})
                .error.find("--band does not go with --show"),
            std::string::npos);
}

}  // namespace
}  // namespace zelmar::plan_cli
