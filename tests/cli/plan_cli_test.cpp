// zelmar-plan: its arguments, its answers in both forms, and the real binary.
#include "plan_cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli.h"
#include "plan_test_support.h"
#include "zelmar/engine.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;
using test::Parse;
using test::RunArgs;
using test::RunJson;

// A found plan: its shape, its figures, and the check's verdict on it.
void ExpectPlanShape(const json& j) {
  ASSERT_EQ(j.size(), 12u);
  ASSERT_EQ(j["bands"].size(), j["plan"].size());
  ASSERT_EQ(j["groups"].size(), j["plan"].size());
  ASSERT_EQ(j["labels"].size(), j["plan"].size());
  EXPECT_EQ(j["margins"]["2tx3"], j["margin"]);
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
  const auto margin = plan::MeasurePlan(khz).margins[0];
  EXPECT_EQ(j["margin"], margin ? json(plan::FormatKhz(*margin)) : json());
  EXPECT_TRUE(j["proven"].is_boolean());
  // What is not ruled out is, for a proven plan, the plan itself.
  ASSERT_TRUE(j["possible"].is_object());
  if (j["proven"] == true && j["possible"].contains("margin")) {
    EXPECT_EQ(j["possible"]["margin"], j["margin"]);
  }
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
  // The frequencies alone on standard output, for zelmar-check; the figures
  // on standard error.
  std::string want, figures = "count: 3\n";
  for (std::size_t i = 0; i < 3; ++i) {
    want += j["plan"][i].get<std::string>() + "\n";
    figures += "  " + j["plan"][i].get<std::string>() + "  " +
               j["bands"][i].get<std::string>() + "\n";
  }
  const auto& q = j["closest"]["2tx3"];
  figures += "margin: " + j["margin"].get<std::string>() +
             " MHz\n2tx3 margin: " + j["margin"].get<std::string>() + " MHz (";
  const PlanReport report = RunArgs(args);
  EXPECT_EQ(report.out, want);
  EXPECT_TRUE(report.err.starts_with(figures)) << report.err;
  EXPECT_NE(report.err.find(" = " + q["product"].get<std::string>() + " MHz, " +
                            j["margin"].get<std::string>() + " MHz from " +
                            q["victim"].get<std::string>()),
            std::string::npos)
      << report.err;
  EXPECT_TRUE(report.err.ends_with(
      "proven best: yes\n混信の恐れは低いと思われます。\n"));
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
  EXPECT_EQ(spacing["violations"], json::parse(R"([{"kind": "spacing",
      "carriers": ["806.125", "806.200"], "distance": "0.075"}])"));
  // Every violation, each coincidence once: 806.375 is the middle of
  // 806.125 and 806.625, and 806.125 + 807.500 - 806.375 lies on 807.250.
  json products = RunJson({"--max", "--window", "3tx3=0", "--fixed", "806.125",
                           "--fixed", "806.375", "--fixed", "806.625",
                           "--fixed", "807.250", "--fixed", "807.500"},
                          kExitNoPlan);
  EXPECT_EQ(products["broken"], "intermodulation");
  const json& all = products["violations"];
  EXPECT_NE(std::find(all.begin(), all.end(), json::parse(R"({"kind": "2tx3",
      "carriers": ["806.125", "806.375"], "product": "806.625",
      "victim": "806.625", "distance": "0.000"})")),
            all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), json::parse(R"({"kind": "3tx3",
      "carriers": ["806.125", "806.375", "807.500"], "product": "807.250",
      "victim": "807.250", "distance": "0.000"})")),
            all.end());
  EXPECT_EQ(std::set<json>(all.begin(), all.end()).size(), all.size());
  const PlanReport text =
      RunArgs({"--max", "--fixed", "806.125", "--fixed", "806.375", "--fixed",
               "806.625", "--fixed", "806.200"});
  EXPECT_EQ(text.out, "");
  EXPECT_TRUE(text.err.starts_with(
      "No plan: the fixed carriers already break 2 rules:\n"))
      << text.err;
  // Only the guard is broken: the check itself has nothing to name.
  json guard = RunJson({"--max", "--guard", "0.010", "--fixed", "806.125",
                        "--fixed", "806.375", "--fixed", "806.630"},
                       kExitNoPlan);
  EXPECT_EQ(guard["broken"], "intermodulation");
  EXPECT_EQ(guard["violations"][0]["distance"], "0.005");
}

// A list of violations cut at its length says so, in both forms; a whole
// one says it is whole.
TEST(PlanCli, ViolationsPastTheListSayTheListIsCut) {
  const std::string listed = std::to_string(kMaxListedViolations);
  const struct {
    int fixed;
    bool cut;
    std::string says;
  } cases[] = {
      {64, true, "break more than " + listed + " rules; the first " + listed},
      {2, false, "break 1 rule:"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--count", std::to_string(c.fixed)};
    for (int i = 0; i < c.fixed; ++i) {
      args.insert(args.end(), {"--fixed", "806.125"});
    }
    const std::vector<plan::Khz> fixed(c.fixed, 806'125);
    const std::size_t all = plan::FindViolations(fixed, {}, SIZE_MAX).size();
    const json j = RunJson(args, kExitNoPlan);
    EXPECT_EQ(j["truncated"], c.cut);
    EXPECT_EQ(j["violations"].size(), c.cut ? kMaxListedViolations : all);
    EXPECT_EQ(all > kMaxListedViolations, c.cut);
    const PlanReport text = RunArgs(args);
    EXPECT_NE(text.err.find(c.says), std::string::npos) << c.fixed;
  }
}

// Presets, counted bands and families: the answer keeps every count, names
// every carrier's band, and measures what it says.
TEST(PlanCli, CountedBandsPresetsAndFamilies) {
  json j =
      RunJson({"--band", "b=3", "--tv", "21,23:0.125=2", "--tv-edge", "0.5",
               "--fixed", "700", "--window", "3tx3=0.05", "--window", "2tx5=0"},
              kExitOk);
  ExpectPlanShape(j);
  EXPECT_EQ(j["count"], 6);
  std::map<std::string, int> per_band;
  for (std::size_t i = 0; i < j["plan"].size(); ++i) {
    const std::string band = j["bands"][i];
    const plan::Khz f = plan::ReadMHz(j["plan"][i].get<std::string>()).khz;
    ++per_band[band.substr(0, 2)];
    if (band.starts_with("B ch ")) {
      EXPECT_EQ(band, "B ch " + std::to_string(plan::BBandChannel(f)));
    } else if (band.starts_with("TV ch ")) {
      // Channel 21 is 518-524 MHz, 23 is 530-536 MHz, without 0.5 MHz edges.
      EXPECT_TRUE((f >= 518'500 && f < 523'500) ||
                  (f >= 530'500 && f < 535'500))
          << f;
      EXPECT_EQ(band, "TV ch " + std::to_string(plan::TvChannelOf(f)));
    }
  }
  EXPECT_EQ(per_band,
            (std::map<std::string, int>{{"B ", 3}, {"TV", 2}, {"fi", 1}}));
  std::vector<plan::Khz> khz;
  for (const auto& f : j["plan"]) {
    khz.push_back(plan::ReadMHz(f.get<std::string>()).khz);
  }
  const plan::PlanFigures figures = plan::MeasurePlan(khz);
  EXPECT_EQ(j["margins"]["3tx3"], plan::FormatKhz(*figures.margins[1]));
  EXPECT_EQ(j["margins"]["2tx5"], plan::FormatKhz(*figures.margins[2]));
  EXPECT_GT(*figures.margins[1], 50);
  EXPECT_GT(*figures.margins[2], 0);
  // A counted band too small for its count: no plan, and no largest.
  EXPECT_EQ(RunJson({"--band", "806:806.25=3"}, kExitNoPlan),
            json::parse(R"({"plan": [], "count": 0, "largest": null,
                            "proven": true})"));
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
  // Cut at once, as many as fit are at most what the rules allow: 64 MHz
  // hold no 27 carriers whose differences lie more than 0.15 MHz apart.
  const std::vector<std::string> mics = {
      "--max",   "--band", "597:661:0.025", "--spacing", "0.4",
      "--guard", "0.2",    "--window",      "3tx3=0.15"};
  j = RunJson(mics, kExitOk, stop_now);
  EXPECT_EQ(j["proven"], false);
  EXPECT_EQ(j["possible"]["carriers"], 26);
  EXPECT_NE(
      RunArgs(mics, stop_now).err.find("\nruled out: more than 26 carriers\n"),
      std::string::npos);
}

TEST(PlanCli, RefusesBadArgumentsWithOneLine) {
  const std::pair<std::vector<std::string>, const char*> refusals[] = {
      {{}, "give --count N or --max"},
      {{"--count", "3", "--max"}, "not both"},
      {{"--count", "65"}, "1 to 64"},
      {{"--count", "3x"}, "1 to 64"},
      {{"--max", "--guard", "-1"}, "--guard '-1': is below zero"},
      {{"--max", "--time-limit", "1.0001"}, "(1 ms is the finest step)"},
      {{"--max", "--time-limit", "1000000"}, "not below 1000000 seconds"},
      {{"--max", "--time-limit", "1s"}, "not a number of seconds"},
      {{"--max", "--threads", "0"}, "--threads '0': expected a whole number"},
      {{"--max", "--threads", "65"}, "from 1 to 64"},
      {{"--max", "--threads", "1", "--threads", "2"}, "--threads given twice"},
      {{"--max", "--window", "3tx4=1"}, "KIND 2tx3, 3tx3 or 2tx5"},
      {{"--max", "--window", "3tx3"}, "KIND 2tx3, 3tx3 or 2tx5"},
      {{"--max", "--window", "3tx3=1", "--window=3tx3=2"}, "3tx3 given twice"},
      {{"--max", "--guard", "1", "--window", "2tx3=1"}, "not both"},
      {{"--max", "--window", "2tx5=-1"}, "is below zero"},
      {{"--max", "--tv", "12"}, "from 13 to 52"},
      {{"--max", "--tv", "20-19"}, "from 13 to 52"},
      {{"--max", "--tv", "21:7.5"}, "holds no multiple of 7.500 MHz"},
      {{"--max", "--tv", "21", "--tv-edge", "3"}, "holds no multiple"},
      {{"--band", "b=3", "--tv", "21"}, "every one needs one"},
      {{"--band", "b=0"}, "from 1 to 64"},
      {{"--band", "b=3", "--max"}, "--max does not go with band counts"},
      {{"--band", "b=3", "--count", "4"}, "differs from the band counts"},
      {{"--band", "b=60", "--band", "1:2=5"}, "more than 64"},
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
  const PlanReport shared = RunArgs({"--band", "b=2", "--band", "809:810=1"});
  EXPECT_EQ(shared.status, kExitUsage);
  EXPECT_NE(shared.err.find("share the channel 809.000 MHz"),
            std::string::npos);
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

// `args` may end in a redirection of standard output; `before` comes
// before the program, in the same shell. The status is the shell's: 128 + N
// when signal N ended the program.
Ran RunBinary(const std::string& args, const std::string& before = "") {
  // CTest runs the tests of this file side by side, each in a process of
  // its own: one file name per process.
  const std::string base =
      ::testing::TempDir() + "zelmar_plan_test_" + std::to_string(getpid());
  const int raw =
      std::system(("{ " + before + " " + PlanCommand() + " " + args + " ; } >" +
                   base + ".out 2>" + base + ".err")
                      .c_str());
  const auto slurp = [](const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    std::remove(path.c_str());
    return text.str();
  };
  const int status = WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
  return {status, slurp(base + ".out"), slurp(base + ".err")};
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
  // Its own name in write errors.
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) return;  // no /dev/full
  const Ran full = RunBinary("--count 6 >/dev/full");
  EXPECT_EQ(full.out, "");
  EXPECT_EQ(full.status, 2);
  EXPECT_TRUE(full.err.starts_with("zelmar-plan: cannot write")) << full.err;
}

// The plan pipes into the check.
TEST(PlanBinary, PipesIntoTheCheck) {
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) GTEST_SKIP();
  const std::string base = ::testing::TempDir() + "zelmar_plan_pipe";
  const int piped = std::system((PlanCommand() + " --count 8 2>/dev/null | " +
                                 ZELMAR_CHECK_PATH + " >" + base + ".out")
                                    .c_str());
  EXPECT_EQ(WEXITSTATUS(piped), 0);
  std::stringstream checked;
  checked << std::ifstream(base + ".out").rdbuf();
  std::remove((base + ".out").c_str());
  EXPECT_NE(checked.str().find("F8  "), std::string::npos);
  EXPECT_NE(checked.str().find(cli::LfLineEnds(kLowRiskText)),
            std::string::npos);
}

// Ctrl-C as a shell sends it: SIGINT to the program started in the
// foreground (a background job would have it ignored), which `exec` makes
// the shell itself, $$. Wine passes no signals on.
const std::string kInterruptAfterASecond = "(sleep 1; kill -INT $$) & exec";
const std::string kQuickToStop = "--count 12 --band 470:714:0.025 --json";

TEST(PlanBinary, InterruptGivesTheBestPlanSoFar) {
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) GTEST_SKIP();
  const Ran stopped = RunBinary(kQuickToStop, kInterruptAfterASecond);
  EXPECT_EQ(stopped.status, 130);
  const json j = json::parse(stopped.out);
  EXPECT_EQ(j["count"], 12);
  EXPECT_EQ(j["proven"], false);
}

// This search takes tens of seconds to come to a stop after the first
// SIGINT; the second ends it at once. SIGINTs sent close together may
// arrive as one, so they come every 0.2 s until the program has gone.
TEST(PlanBinary, SecondInterruptEndsAtOnce) {
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) GTEST_SKIP();
  const auto start = std::chrono::steady_clock::now();
  const Ran ended = RunBinary(
      "--band 1:1000:0.001 --count 64 --window 3tx3=0 --time-limit 60",
      "(sleep 1; for i in 1 2 3 4 5 6 7 8 9 10; do kill -INT $$ || break; "
      "sleep 0.2; done) 2>/dev/null & exec");
  EXPECT_EQ(ended.status, 130);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// Started with SIGINT ignored, as by nohup, it runs to its time limit.
TEST(PlanBinary, IgnoredInterruptStaysIgnored) {
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) GTEST_SKIP();
  const Ran ran = RunBinary(kQuickToStop + " --time-limit 3",
                            "trap '' INT; " + kInterruptAfterASecond);
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(json::parse(ran.out)["proven"], false);
}

}  // namespace
}  // namespace zelmar::plan_cli
