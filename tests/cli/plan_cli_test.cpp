// zelmar-plan: its arguments, its answers in both forms, and the real binary.
#include "plan_cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "zelmar/engine.h"

namespace zelmar::plan_cli {
namespace {

using nlohmann::json;

ParsedPlanArguments Parse(const std::vector<std::string>& args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  return ParsePlanArguments(views);
}

PlanReport RunArgs(const std::vector<std::string>& args,
                   const plan::StopCheck& stop = {}) {
  const ParsedPlanArguments parsed = Parse(args);
  EXPECT_EQ(parsed.error, "");
  return RunPlan(parsed.options, stop);
}

json RunJson(std::vector<std::string> args, int status) {
  args.push_back("--json");
  const PlanReport report = RunArgs(args);
  EXPECT_EQ(report.status, status);
  EXPECT_EQ(report.err, "");
  EXPECT_TRUE(report.out.ends_with("\n"));
  EXPECT_EQ(report.out.find('\n'), report.out.size() - 1);  // one line
  return json::parse(report.out);
}

std::vector<std::string> Keys(const json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  std::sort(keys.begin(), keys.end());
  return keys;
}

// A found plan: its shape, and the check's verdict on its texts.
void ExpectPlanShape(const json& j) {
  EXPECT_EQ(Keys(j), (std::vector<std::string>{"count", "margin", "plan",
                                               "proven", "result"}));
  ASSERT_TRUE(j["plan"].is_array());
  EXPECT_EQ(j["count"], j["plan"].size());
  FieldTexts texts;
  std::vector<plan::Khz> khz;
  for (std::size_t i = 0; i < j["plan"].size(); ++i) {
    texts[i] = j["plan"][i].get<std::string>();
    const plan::NumberReading r = plan::ReadMHz(texts[i]);
    ASSERT_EQ(r.error, plan::NumberError::kNone) << texts[i];
    EXPECT_EQ(plan::FormatKhz(r.khz), texts[i]);
    if (!khz.empty()) {
      EXPECT_LT(khz.back(), r.khz);  // ascending
    }
    khz.push_back(r.khz);
  }
  EXPECT_EQ(j["result"], std::string(kLowRiskText));
  EXPECT_EQ(RunChannelCheck(texts).resultText, kLowRiskText);
  const auto margin = plan::PlanMargin(khz);
  if (margin) {
    EXPECT_EQ(j["margin"], plan::FormatKhz(*margin));
  } else {
    EXPECT_TRUE(j["margin"].is_null());
  }
}

TEST(PlanCli, BBandPlansInJson) {
  json six = RunJson({"--count", "6"}, kExitOk);
  ExpectPlanShape(six);
  EXPECT_EQ(six["count"], 6);
  EXPECT_EQ(six["proven"], true);

  json most = RunJson({"--max"}, kExitOk);
  ExpectPlanShape(most);
  EXPECT_EQ(most["proven"], true);
  const int largest = most["count"];
  EXPECT_GE(largest, 6);

  // One more than the largest has no plan; the answer names the largest.
  json none = RunJson({"--count", std::to_string(largest + 1)}, kExitNoPlan);
  EXPECT_EQ(none, json::parse(R"({"plan": [], "count": 0, "proven": true,
                                  "largest": )" +
                              std::to_string(largest) + "}"));
}

TEST(PlanCli, SmallPlansHaveNoMargin) {
  for (const char* count : {"1", "2"}) {
    json j = RunJson({"--count", count, "--band", "806.000:806.500"}, kExitOk);
    ExpectPlanShape(j);
    EXPECT_TRUE(j["margin"].is_null());
    EXPECT_EQ(j["plan"][0], "806.000");  // the lowest plan wins the tie
  }
}

TEST(PlanCli, FixedCarriersThatBreakTheRulesSayWhich) {
  json spacing =
      RunJson({"--count", "3", "--fixed", "806.125", "--fixed", "806.200"}, 1);
  EXPECT_EQ(spacing["plan"], json::array());
  EXPECT_EQ(spacing["count"], 0);
  EXPECT_EQ(spacing["largest"], 0);
  EXPECT_EQ(spacing["proven"], true);
  EXPECT_EQ(spacing["broken"], "spacing");
  EXPECT_EQ(spacing["findings"],
            json::array({"●F1とF2は、0.075MHz接近しています。"}));

  json products = RunJson({"--max", "--fixed", "806.125", "--fixed", "806.375",
                           "--fixed", "806.625"},
                          1);
  EXPECT_EQ(products["broken"], "intermodulation");
  EXPECT_EQ(products["findings"],
            json::array({"●F3は、F1とF2の相互変調で混信",
                         "●F1は、F2とF3の相互変調で混信"}));

  // Only the guard is broken: the check itself finds nothing to name.
  json guard = RunJson({"--max", "--guard", "0.010", "--fixed", "806.125",
                        "--fixed", "806.375", "--fixed", "806.630"},
                       1);
  EXPECT_EQ(guard["broken"], "intermodulation");
  EXPECT_EQ(guard["findings"], json::array());

  const PlanReport human =
      RunArgs({"--count", "3", "--fixed", "806.125", "--fixed", "806.200"});
  EXPECT_EQ(human.status, kExitNoPlan);
  EXPECT_NE(human.out.find("spacing rule"), std::string::npos);
  EXPECT_NE(human.out.find("●F1とF2は、0.075MHz接近しています。\n"),
            std::string::npos);
}

TEST(PlanCli, HumanOutputListsThePlanThenItsFigures) {
  const PlanReport report = RunArgs({"--count", "3", "--fixed", "806.125"});
  ASSERT_EQ(report.status, kExitOk);
  json j = RunJson({"--count", "3", "--fixed", "806.125"}, kExitOk);
  std::string want;
  for (const auto& f : j["plan"]) want += f.get<std::string>() + "\n";
  want += "\ncount: 3\nmargin: " + j["margin"].get<std::string>() +
          " MHz\nproven best: yes\n\n混信の恐れは低いと思われます。\n";
  EXPECT_EQ(report.out, want);
}

TEST(PlanCli, StoppedSearchesAreNotProven) {
  const auto stop_now = [](const plan::SearchProgress&) { return true; };
  const ParsedPlanArguments wide =
      Parse({"--count", "12", "--band", "470.000:714.000:0.025", "--json"});
  const PlanReport found = RunPlan(wide.options, stop_now);
  ASSERT_EQ(found.status, kExitOk);
  json j = json::parse(found.out);
  ExpectPlanShape(j);
  EXPECT_EQ(j["proven"], false);

  // Twelve carriers more than 10 MHz from every product do not fit 94 MHz;
  // stopped before that is proven, the answer knows no largest.
  const ParsedPlanArguments b = Parse(
      {"--count", "12", "--band", "806:900:0.025", "--guard", "10", "--json"});
  const PlanReport none = RunPlan(b.options, stop_now);
  ASSERT_EQ(none.status, kExitNoPlan);
  EXPECT_EQ(json::parse(none.out),
            json::parse(R"({"plan": [], "count": 0, "largest": null,
                            "proven": false})"));
}

struct Refusal {
  std::vector<std::string> args;
  const char* says;
};

TEST(PlanCli, RefusesBadArgumentsWithOneLine) {
  const Refusal refusals[] = {
      {{}, "give --count N or --max"},
      {{"--count", "3", "--max"}, "not both"},
      {{"--count", "0"}, "1 to 12"},
      {{"--count", "13"}, "1 to 12"},
      {{"--count", "3x"}, "1 to 12"},
      {{"--count", "3", "--count", "4"}, "--count given twice"},
      {{"--count"}, "--count needs a value"},
      {{"--max", "--band", "806.1250:807"}, "more than three decimals"},
      {{"--max", "--band", "807:806"}, "LOW is above HIGH"},
      {{"--max", "--band", "806:807:0"}, "not above zero"},
      {{"--max", "--band", "806:807:-1"}, "not above zero"},
      {{"--max", "--band", "806"}, "LOW:HIGH"},
      {{"--max", "--band", "806:807:1:2"}, "LOW:HIGH"},
      {{"--max", "--band", "8e2:807"}, "not a number of MHz"},
      {{"--max", "--fixed", "0"}, "not above zero"},
      {{"--max", "--fixed", "-806.125"}, "not above zero"},
      {{"--max", "--fixed", "806.1 "}, "not a number"},
      {{"--max", "--fixed", "1000000"}, "below 1000000 MHz"},
      {{"--max", "--exclude", "807:806"}, "LOW is above HIGH"},
      {{"--max", "--exclude", "1:2:3"}, "F or LOW:HIGH"},
      {{"--max", "--spacing", "0.1"}, "below the check's own 0.125"},
      {{"--max", "--guard", "-1"}, "not above zero"},
      {{"--max", "--time-limit", "0"}, "not above zero"},
      {{"--max", "--jsn"}, "unknown option '--jsn'"},
      {{"--max", "--json=1"}, "takes no value"},
      {{"--max", "806.125"}, "unexpected argument '806.125'"},
      {{"--max", "--fixed", "a\nb"}, "a\\x0Ab"},
      {{"--count", "2", "--fixed", "806", "--fixed", "807", "--fixed", "808"},
       "below the 3 fixed carriers"},
  };
  for (const Refusal& r : refusals) {
    const ParsedPlanArguments parsed = Parse(r.args);
    SCOPED_TRACE(r.says);
    EXPECT_TRUE(parsed.error.starts_with("zelmar-plan: ")) << parsed.error;
    EXPECT_NE(parsed.error.find(r.says), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
  std::vector<std::string> thirteen{"--max"};
  for (int i = 0; i < 13; ++i) {
    thirteen.push_back("--fixed=" + std::to_string(800 + i));
  }
  EXPECT_NE(Parse(thirteen).error.find("at most 12 fixed"), std::string::npos);

  const PlanReport huge = RunArgs({"--max", "--band", "1:2000:0.001"});
  EXPECT_EQ(huge.status, kExitUsage);
  EXPECT_EQ(huge.out, "");
  EXPECT_EQ(huge.err,
            "zelmar-plan: more than 1000000 candidate channels; use fewer or "
            "narrower bands or a larger step\n");
}

TEST(PlanCli, AcceptsBothValueForms) {
  const ParsedPlanArguments parsed =
      Parse({"--band=806.000:807.000:0.2", "--exclude", "806.4:806.6",
             "--fixed=806.3", "--count=4", "--spacing", "0.15", "--guard=0",
             "--time-limit", "2.5", "--json"});
  ASSERT_EQ(parsed.error, "");
  const PlanOptions& o = parsed.options;
  ASSERT_EQ(o.bands.size(), 1u);
  EXPECT_EQ(o.bands[0].step, 200);
  EXPECT_EQ(o.excludes[0].high, 806'600);
  EXPECT_EQ(o.fixed, std::vector<plan::Khz>{806'300});
  EXPECT_EQ(o.count, 4);
  EXPECT_EQ(o.rules.spacing, 150);
  EXPECT_EQ(o.time_limit_ms, 2500);
  EXPECT_TRUE(o.json);
}

// The real binary: streams and exit statuses as a shell sees them.
struct Ran {
  int status = -1;
  std::string out, err;
};

Ran RunBinary(const std::vector<std::string>& args) {
  int out[2], err[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(err), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    std::vector<char*> argv{const_cast<char*>(ZELMAR_PLAN_PATH)};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  Ran ran;
  char buffer[4096];
  for (auto [fd, text] : {std::pair{out[0], &ran.out}, {err[0], &ran.err}}) {
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text->append(buffer, n);
    close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

TEST(PlanBinary, ExitStatusesAndStreams) {
  const Ran ok = RunBinary({"--count", "6", "--json"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.err, "");  // no progress when standard error is no terminal
  ExpectPlanShape(json::parse(ok.out));

  const Ran none = RunBinary({"--count", "12"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "");

  const Ran usage = RunBinary({"--count", "6", "--fixed", "806.1255"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");
  EXPECT_TRUE(usage.err.starts_with("zelmar-plan: --fixed '806.1255': "));
  EXPECT_EQ(usage.err.find('\n'), usage.err.size() - 1);

  const Ran help = RunBinary({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, PlanUsageText());
  const Ran version = RunBinary({"--version"});
  EXPECT_EQ(version.out, std::string("zelmar-plan ") + ZELMAR_VERSION + "\n");
}

}  // namespace
}  // namespace zelmar::plan_cli
