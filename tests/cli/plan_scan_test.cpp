// zelmar-plan --scan: what a scan takes out of the bands, and the files a
// run writes only when it gives an answer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "plan_cli.h"
#include "plan_test_support.h"
#include "scan_report.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;

// Two hops of an SDR sweep over 806-807 MHz in 25 kHz bins, the noise at
// -91 dBm: one strong bin at 806.250.
std::string Sweep() {
  std::string text;
  for (int hop = 0; hop < 2; ++hop) {
    const int low = 806'000'000 + hop * 500'000;
    text += "2026-12-09, 10:00:0" + std::to_string(hop) + ", " +
            std::to_string(low) + ", " + std::to_string(low + 500'000) +
            ", 25000, 10";
    for (int bin = 0; bin < 20; ++bin) {
      text += hop == 0 && bin == 10 ? ", -40.5" : ", -91";
    }
    text += "\n";
  }
  return text;
}
const std::string kSweep = Sweep();

PlanReport RunScans(std::vector<std::string> args,
                    std::vector<std::string> texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    args.push_back("--scan");
    args.push_back("scan" + std::to_string(i) + ".csv");
  }
  return test::RunArgs(args, {}, PlanInputs{{}, texts, {}});
}

TEST(PlanScans, TheScanTakesWhatIsAboveTheThreshold) {
  const PlanReport report =
      RunScans({"--band", "806:807", "--max", "--json"}, {kSweep});
  ASSERT_EQ(report.status, kExitOk) << report.err;
  const json j = json::parse(report.out);
  // The bin 806.250-806.275 widened by 0.1 MHz each side.
  EXPECT_EQ(j["scan"]["excluded"],
            json::array({json::array({"806.150", "806.375"})}));
  const json& file = j["scan"]["files"][0];
  EXPECT_EQ(file["floor_dbm"], "-91.0");
  EXPECT_EQ(file["threshold_dbm"], "-81.0");  // the floor + 10 dB
  EXPECT_TRUE(file["from_floor"].get<bool>());
  EXPECT_EQ(file["format"], "rtl_power/hackrf_sweep CSV");
  for (const json& f : j["plan"]) {
    const std::string mhz = f.get<std::string>();
    EXPECT_FALSE(mhz >= "806.150" && mhz <= "806.475") << mhz;
  }
  // A threshold above the strong bin takes nothing.
  const json none = json::parse(
      RunScans({"--max", "--json", "--scan-threshold", "-40"}, {kSweep}).out);
  EXPECT_EQ(none["scan"]["excluded"].size(), 0u);
  // Text: what the scan took, on standard error.
  const PlanReport text = RunScans({"--count", "3"}, {kSweep});
  for (const char* says :
       {"scans took 0.225 MHz in 1 range",
        "noise floor -91.0 dBm, threshold -81.0 dBm (10 dB above the floor"}) {
    EXPECT_NE(text.err.find(says), std::string::npos) << text.err;
  }
}

TEST(PlanScans, ACarrierInASignalIsNeverCalledLowRisk) {
  const std::vector<std::string> args = {"--band", "805:808", "--count",
                                         "3",      "--fixed", "806.3"};
  const PlanReport text = RunScans(args, {kSweep});
  ASSERT_EQ(text.status, kExitOk) << text.err;
  EXPECT_NE(text.err.find("806.300  fixed  in a signal: scan 'scan0.csv' "
                          "shows -40.5 dBm at 806.250-806.275 MHz"),
            std::string::npos)
      << text.err;
  EXPECT_NE(text.err.find("not low risk: 1 carrier"), std::string::npos);
  EXPECT_EQ(text.err.find("混信の恐れは低い"), std::string::npos) << text.err;
  std::vector<std::string> json_args = args;
  json_args.push_back("--json");
  const json j = json::parse(RunScans(json_args, {kSweep}).out);
  EXPECT_EQ(j["result"], std::string(kInSignalText));
  const auto at = std::find(j["plan"].begin(), j["plan"].end(), "806.300");
  const json& in = j["in_signal"][at - j["plan"].begin()];
  EXPECT_EQ(in["peak_dbm"], "-40.5");
  EXPECT_EQ(in["threshold_dbm"], "-81.0");
  // --analyze: a broken rule with the scan's level; status 1.
  const PlanReport analysed =
      RunScans({"--analyze", "806.3", "807", "--json"}, {kSweep});
  EXPECT_EQ(analysed.status, kExitNoPlan);
  const json a = json::parse(analysed.out);
  EXPECT_FALSE(a["valid"].get<bool>());
  EXPECT_EQ(a["violations"][0]["kind"], "signal");
  EXPECT_EQ(a["violations"][0]["carrier"], "806.300");
  EXPECT_EQ(a["violations"][0]["peak_dbm"], "-40.5");
}

TEST(PlanScans, AFloorThatCannotBeToldAsksForTheThreshold) {
  const std::string few = "806.0,-90\n806.1,-40\n";
  const PlanReport report = RunScans({"--count", "3"}, {few});
  EXPECT_EQ(report.status, kExitUsage);
  EXPECT_NE(report.err.find("'scan0.csv': its noise floor cannot be told "
                            "from its signals (only 2 bins; it takes 20)"),
            std::string::npos)
      << report.err;
  EXPECT_EQ(RunScans({"--count", "3", "--scan-threshold", "-60"}, {few}).status,
            kExitOk);
}

TEST(PlanScans, AnUnreadableScanNamesItsFileAndLine) {
  const std::pair<std::string, const char*> refusals[] = {
      {"806,000;-90,5\n806,125;-40\nbad\n", "'scan0.csv', line 3 'bad'"},
      {"", "'scan0.csv': "},
      {"hello\nworld\n", "'scan0.csv', line 1"},
      {"806.0,-90\n806.1,x\n",
       "line 2 '806.1,x': does not fit the format of "
       "the lines before: field 2 \"x\" is no level"},
      {"9000,-90\n12000,-80\n", "--scan-unit MHz, kHz or Hz says the unit"},
  };
  for (const auto& [text, says] : refusals) {
    const PlanReport report = RunScans({"--count", "3", "--save", "x"}, {text});
    EXPECT_EQ(report.status, kExitUsage);
    EXPECT_NE(report.err.find(says), std::string::npos) << report.err;
    EXPECT_EQ(report.show_text, "");
  }
  // A long file name is named whole.
  const std::string name = "venues/" + std::string(90, 'x') + "/scan.csv";
  const PlanReport named = test::RunArgs({"--max", "--scan", name}, {},
                                         PlanInputs{{}, {"bad\n"}, {}});
  EXPECT_NE(named.err.find("'" + name + "', line 1"), std::string::npos)
      << named.err;
  EXPECT_EQ(test::Parse({"--max", "--scan-unit", "mhz"}).error, "");
  EXPECT_NE(test::Parse({"--max", "--scan-unit", "Hertz"})
                .error.find("expected MHz, kHz, Hz or GHz"),
            std::string::npos);
  EXPECT_NE(test::Parse({"--max", "--scan-threshold", "-8O"})
                .error.find("expected a level in dBm"),
            std::string::npos);
}

// The real program: a show saved, read back, and a refused run that leaves
// the file it was to write alone.
TEST(PlanScans, FilesAreWrittenOnlyWithAnAnswer) {
  if (std::getenv("ZELMAR_CLI_RUNNER") != nullptr) GTEST_SKIP();
  const std::string dir =
      ::testing::TempDir() + "zelmar_save_" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  const std::string plan = ZELMAR_PLAN_PATH;
  const std::string show = dir + "/show.json", sheet = dir + "/sheet.csv";
  std::ofstream(dir + "/scan.csv") << kSweep;
  ASSERT_EQ(
      std::system((plan + " --count 3 --scan " + dir + "/scan.csv" +
                   " --save " + show + " --csv " + sheet + " >/dev/null 2>&1")
                      .c_str()),
      0);
  std::stringstream saved;
  saved << std::ifstream(show).rdbuf();
  EXPECT_NE(saved.str().find("[\"806.150\", \"806.375\"]"), std::string::npos)
      << saved.str();
  EXPECT_EQ(
      std::system((plan + " --show " + show + " >/dev/null 2>&1").c_str()), 0);
  // A bad scan: status 2, the saved show untouched.
  std::ofstream(dir + "/bad.csv") << "bad\n";
  EXPECT_NE(std::system((plan + " --count 3 --scan " + dir + "/bad.csv" +
                         " --save " + show + " 2>/dev/null")
                            .c_str()),
            0);
  std::stringstream after;
  after << std::ifstream(show).rdbuf();
  EXPECT_EQ(after.str(), saved.str());
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace zelmar::plan_cli
