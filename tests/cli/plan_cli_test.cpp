// zelmar-plan: its arguments, its answers in both forms, and the real binary.
#include "plan_cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "zelmar/engine.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;

ParsedPlanArguments Parse(const std::vector<std::string>& args) {
  return ParsePlanArguments({args.begin(), args.end()});
}

PlanReport RunArgs(const std::vector<std::string>& args,
                   const plan::StopCheck& stop = {}) {
  const ParsedPlanArguments parsed = Parse(args);
  EXPECT_EQ(parsed.error, "");
  return RunPlan(parsed.options, stop);
}

json RunJson(std::vector<std::string> args, int status,
             const plan::StopCheck& stop = {}) {
  args.push_back("--json");
  const PlanReport report = RunArgs(args, stop);
  EXPECT_EQ(report.status, status);
  EXPECT_EQ(report.err, "");
  EXPECT_EQ(report.out.find('\n'), report.out.size() - 1);  // one line
  return json::parse(report.out);
}

// A found plan: its shape, its figures, and the check's verdict on it.
void ExpectPlanShape(const json& j) {
  ASSERT_EQ(j.size(), 5u);
  ASSERT_EQ(j["count"], j["plan"].size());
  FieldTexts texts;
  std::vector<plan::Khz> khz;
  for (std::size_t i = 0; i < j["plan"].size(); ++i) {
    texts[i] = j["plan"][i].get<std::string>();
    khz.push_back(plan::ReadMHz(texts[i]).khz);
    EXPECT_EQ(plan::FormatKhz(khz.back()), texts[i]);
    EXPECT_TRUE(i == 0 || khz[i - 1] < khz[i]);  // ascending
  }
  EXPECT_EQ(j["result"], std::string(kLowRiskText));
  EXPECT_EQ(RunChannelCheck(texts).resultText, kLowRiskText);
  const auto margin = plan::PlanMargin(khz);
  EXPECT_EQ(j["margin"], margin ? json(plan::FormatKhz(*margin)) : json());
  EXPECT_TRUE(j["proven"].is_boolean());
}

TEST(PlanCli, BBandPlansInJson) {
  json six = RunJson({"--count=6"}, kExitOk);
  ExpectPlanShape(six);
  EXPECT_EQ(six["count"], 6);
  EXPECT_EQ(six["proven"], true);
  json most = RunJson({"--max"}, kExitOk);
  ExpectPlanShape(most);
  const int largest = most["count"];
  // One more than the largest has no plan; the answer names the largest.
  EXPECT_EQ(RunJson({"--count", std::to_string(largest + 1)}, kExitNoPlan),
            json::parse(R"({"plan": [], "count": 0, "proven": true,
                            "largest": )" +
                        std::to_string(largest) + "}"));
  // Without triples there is no margin, and the lowest plan wins the tie.
  json two = RunJson({"--count", "2", "--band=806.000:806.500"}, kExitOk);
  ExpectPlanShape(two);
  EXPECT_EQ(two["plan"], json::array({"806.000", "806.250"}));
}

TEST(PlanCli, HumanOutputListsThePlanThenItsFigures) {
  const std::vector<std::string> args{"--count", "3", "--fixed", "806.125"};
  json j = RunJson(args, kExitOk);
  std::string want;
  for (const auto& f : j["plan"]) want += f.get<std::string>() + "\n";
  want += "\ncount: 3\nmargin: " + j["margin"].get<std::string>() +
          " MHz\nproven best: yes\n\n混信の恐れは低いと思われます。\n";
  EXPECT_EQ(RunArgs(args).out, want);
}

TEST(PlanCli, FixedCarriersThatBreakTheRulesSayWhich) {
  json spacing =
      RunJson({"--count", "3", "--fixed", "806.125", "--fixed", "806.200"},
              kExitNoPlan);
  EXPECT_EQ(spacing["plan"], json::array());
  EXPECT_EQ(spacing["count"], 0);
  EXPECT_EQ(spacing["largest"], 0);
  EXPECT_EQ(spacing["proven"], true);
  EXPECT_EQ(spacing["broken"], "spacing");
  EXPECT_EQ(spacing["findings"], json::parse(R"([{"kind": "close",
      "pair": [1, 2], "distance": "0.075"}])"));
  json products = RunJson({"--max", "--fixed", "806.125", "--fixed", "806.375",
                           "--fixed", "806.625"},
                          kExitNoPlan);
  EXPECT_EQ(products["broken"], "intermodulation");
  EXPECT_EQ(products["findings"], json::parse(R"([
      {"kind": "intermodulation", "victim": 3, "pair": [1, 2]},
      {"kind": "intermodulation", "victim": 1, "pair": [2, 3]}])"));
  // Only the guard is broken: the check itself has nothing to name.
  json guard = RunJson({"--max", "--guard", "0.010", "--fixed", "806.125",
                        "--fixed", "806.375", "--fixed", "806.630"},
                       kExitNoPlan);
  EXPECT_EQ(guard["broken"], "intermodulation");
  EXPECT_EQ(guard["findings"], json::array());
}

TEST(PlanCli, StoppedSearchesAreNotProven) {
  const auto stop_now = [](const plan::SearchProgress&) { return true; };
  json j = RunJson({"--count", "12", "--band", "470.000:714.000:0.025"},
                   kExitOk, stop_now);
  ExpectPlanShape(j);
  EXPECT_EQ(j["proven"], false);
  // Twelve carriers more than 10 MHz from every product do not fit 94 MHz;
  // stopped before that is proven, the answer knows no largest.
  EXPECT_EQ(
      RunJson({"--count", "12", "--band", "806:900:0.025", "--guard", "10"},
              kExitNoPlan, stop_now),
      json::parse(R"({"plan": [], "count": 0, "largest": null,
                            "proven": false})"));
}

TEST(PlanCli, RefusesBadArgumentsWithOneLine) {
  const std::pair<std::vector<std::string>, const char*> refusals[] = {
      {{}, "give --count N or --max"},
      {{"--count", "3", "--max"}, "not both"},
      {{"--count", "13"}, "1 to 12"},
      {{"--count", "3x"}, "1 to 12"},
      {{"--count=3", "--count", "4"}, "--count given twice"},
      {{"--count"}, "--count needs a value"},
      {{"--max", "--band", "806.1250:807"}, "more than three decimals"},
      {{"--max", "--band", "807:806"}, "LOW is above HIGH"},
      {{"--max", "--band", "806:807:0"}, "not above zero"},
      {{"--max", "--band", "806"}, "LOW:HIGH"},
      {{"--max", "--band", "8e2:807"}, "not a number of MHz"},
      {{"--max", "--fixed", "-806.125"}, "not above zero"},
      {{"--max", "--fixed", "1000000"}, "below 1000000 MHz"},
      {{"--max", "--exclude", "1:2:3"}, "F or LOW:HIGH"},
      {{"--max", "--spacing", "0.1"}, "below the check's own 0.125"},
      {{"--max", "--time-limit", "0"}, "not above zero"},
      {{"--max", "--jsn"}, "unknown option '--jsn'"},
      {{"--max", "--json=1"}, "takes no value"},
      {{"--max", "806.125"}, "unexpected argument '806.125'"},
      {{"--max", "--fixed", "a\nb"}, "a\\x0Ab"},
      {{"--count=2", "--fixed=806", "--fixed=807", "--fixed=808"},
       "below the 3 fixed carriers"},
  };
  for (const auto& [args, says] : refusals) {
    const std::string error = Parse(args).error;
    EXPECT_TRUE(error.starts_with("zelmar-plan: ")) << error;
    EXPECT_NE(error.find(says), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  const PlanReport huge = RunArgs({"--max", "--band", "1:2000:0.001"});
  EXPECT_EQ(huge.status, kExitUsage);
  EXPECT_EQ(huge.out, "");
  EXPECT_NE(huge.err.find("more than 1000000 candidate"), std::string::npos);
}

// The real binary, through a shell: exit status and both streams.
struct Ran {
  int status;
  std::string out, err;
};
// $ZELMAR_PLAN names a Windows build to test instead, run by
// $ZELMAR_CLI_RUNNER (Wine), as for zelmar-check.
std::string PlanCommand() {
  const char* program = std::getenv("ZELMAR_PLAN");
  const char* runner = std::getenv("ZELMAR_CLI_RUNNER");
  std::string command = runner != nullptr ? std::string(runner) + " " : "";
  return command + (program != nullptr ? program : ZELMAR_PLAN_PATH);
}

Ran RunBinary(const std::string& args) {
  const std::string base = ::testing::TempDir() + "zelmar_plan_test";
  const int raw = std::system(
      (PlanCommand() + " " + args + " >" + base + ".out 2>" + base + ".err")
          .c_str());
  const auto slurp = [](const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  };
  return {WEXITSTATUS(raw), slurp(base + ".out"), slurp(base + ".err")};
}

TEST(PlanBinary, ExitStatusesAndStreams) {
  const Ran ok = RunBinary("--count 6 --json");
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.err, "");  // no progress: standard error is no terminal
  ExpectPlanShape(json::parse(ok.out));
  EXPECT_EQ(RunBinary("--count 12").status, 1);
  const Ran usage = RunBinary("--count 6 --fixed 806.1255");
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");
  EXPECT_TRUE(usage.err.starts_with("zelmar-plan: --fixed '806.1255': "));
  EXPECT_EQ(usage.err.find('\n'), usage.err.size() - 1);
  EXPECT_EQ(RunBinary("--help").out, PlanUsageText());
}

}  // namespace
}  // namespace zelmar::plan_cli
