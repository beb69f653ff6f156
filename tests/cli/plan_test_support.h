// Runs zelmar-plan in process, as the tests of its answers do.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "plan_cli.h"

namespace zelmar::plan_cli::test {

inline ParsedPlanArguments Parse(const std::vector<std::string>& args) {
  return ParsePlanArguments({args.begin(), args.end()});
}

inline PlanReport RunArgs(const std::vector<std::string>& args,
                          const plan::StopCheck& stop = {},
                          const PlanInputs& inputs = {}) {
  const ParsedPlanArguments parsed = Parse(args);
  EXPECT_EQ(parsed.error, "");
  return RunPlan(parsed.options, inputs, stop);
}

inline nlohmann::json RunJson(std::vector<std::string> args, int status,
                              const plan::StopCheck& stop = {}) {
  args.push_back("--json");
  const PlanReport report = RunArgs(args, stop);
  EXPECT_EQ(report.status, status);
  EXPECT_EQ(report.err, "");
  EXPECT_EQ(report.out.find('\n'), report.out.size() - 1);  // one line
  return nlohmann::json::parse(report.out);
}

}  // namespace zelmar::plan_cli::test
