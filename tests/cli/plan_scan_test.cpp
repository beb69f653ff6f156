// zelmar-plan --scan: what a scan takes out of the bands, and the files a
// run writes only when it gives an answer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "plan_cli.h"
#include "plan_test_support.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;

// Two hops of an SDR sweep over 806-807 MHz: one strong bin at 806.250.
constexpr char kSweep[] =
    "2026-12-09, 10:00:00, 806000000, 806500000, 125000, 10, -90, -91, "
    "-40.5, -92\n"
    "2026-12-09, 10:00:01, 806500000, 807000000, 125000, 10, -90, -95, -93, "
    "-94\n";

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
  // The bin 806.250-806.375 widened by 0.1 MHz each side.
  EXPECT_EQ(j["scan"]["excluded"],
            json::array({json::array({"806.150", "806.475"})}));
  EXPECT_EQ(j["scan"]["threshold_dbm"], "-81.5");  // median -91.5 + 10
  EXPECT_TRUE(j["scan"]["from_median"].get<bool>());
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
  EXPECT_NE(text.err.find("scans took 0.325 MHz in 1 range"),
            std::string::npos)
      << text.err;
}

TEST(PlanScans, AnUnreadableScanNamesItsFileAndLine) {
  const std::pair<std::string, const char*> refusals[] = {
      {"806,000;-90,5\n806,125;-40\nbad\n", "'scan0.csv', line 3 'bad'"},
      {"", "'scan0.csv': "},
      {"hello\nworld\n", "'scan0.csv', line 1"},
  };
  for (const auto& [text, says] : refusals) {
    const PlanReport report = RunScans({"--count", "3", "--save", "x"}, {text});
    EXPECT_EQ(report.status, kExitUsage);
    EXPECT_NE(report.err.find(says), std::string::npos) << report.err;
    EXPECT_EQ(report.show_text, "");
  }
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
  EXPECT_NE(saved.str().find("[\"806.150\", \"806.475\"]"), std::string::npos)
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
