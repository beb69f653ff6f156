// zelmar-plan: the best carrier plans that the channel check calls low-risk.
// See PlanUsageText() in plan_cli.cpp for what it accepts.

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "plan_cli.h"
#include "zelmar/platform/entry.h"

namespace {

using namespace zelmar::plan_cli;
using zelmar::cli::kStderrFd;
using zelmar::cli::kStdoutFd;
using zelmar::cli::WriteAll;

int Fail(std::string_view line, int status) {
  WriteAll(kStderrFd, line);
  return status;
}

}  // namespace

int zelmar::platform::RunProgram(const std::vector<std::string_view>& args) {
  const ParsedPlanArguments parsed = ParsePlanArguments(args);
  if (!parsed.error.empty()) return Fail(parsed.error + "\n", kExitUsage);
  const PlanOptions& options = parsed.options;
  PlanReport report;
  if (options.help) {
    report.out = PlanUsageText();
  } else if (options.version) {
    report.out = PlanVersionText();
  } else {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto limit = std::chrono::milliseconds(options.time_limit_ms);
    const bool show_progress = zelmar::cli::IsTerminal(kStderrFd);
    bool progress_shown = false;
    auto last_shown = start;
    const zelmar::plan::StopCheck stop =
        [&](const zelmar::plan::SearchProgress& progress) {
          const auto now = Clock::now();
          if (now - start >= limit) return true;
          if (show_progress && now - start > std::chrono::seconds(1) &&
              now - last_shown >= std::chrono::milliseconds(250)) {
            last_shown = now;
            const double seconds =
                std::chrono::duration<double>(now - start).count();
            std::string line = FormatProgress(progress, seconds);
            line.insert(line.begin(), '\r');
            line += "\033[K";
            WriteAll(kStderrFd, line);
            progress_shown = true;
          }
          return false;
        };
    report = RunPlan(options, stop);
    if (progress_shown) WriteAll(kStderrFd, "\r\033[K");
  }
  if (!report.err.empty()) return Fail(report.err, report.status);
  if (!WriteAll(kStdoutFd, report.out)) {
    zelmar::cli::ReportWriteError(errno, kProgramName);
    return kExitUsage;
  }
  return report.status;
}
