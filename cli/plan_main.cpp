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
#include "zelmar/platform/files.h"
#include "zelmar/platform/interrupt.h"

namespace {

using namespace zelmar::plan_cli;
using zelmar::cli::kStderrFd;
using zelmar::cli::kStdoutFd;
using zelmar::cli::WriteAll;

int Fail(std::string_view line, int status) {
  WriteAll(kStderrFd, line);
  return status;
}

// The files and standard input the run reads, or the message of the first
// that cannot be read.
std::string ReadInputs(const PlanOptions& options, PlanInputs& inputs) {
  std::string error;
  const auto read = [&](const std::string& path) {
    auto text = zelmar::platform::ReadWholeFile(path, error);
    if (!text) error = PlanMessage(QuoteFile(path) + ": " + error);
    return text;
  };
  if (!options.show.empty()) {
    inputs.show = read(options.show);
    if (!inputs.show) return error;
  }
  for (const std::string& scan : options.scans) {
    auto text = read(scan);
    if (!text) return error;
    inputs.scans.push_back(std::move(*text));
  }
  bool named = !options.rig.empty() || !options.show.empty();
  for (const auto& group : options.groups)
    named = named || !group.fixed.empty();
  if (options.analyze && !named) {
    std::string text;
    char buffer[1 << 16];
    long n = 0;
    while ((n = zelmar::cli::ReadSome(zelmar::cli::kStdinFd, buffer,
                                      sizeof buffer)) > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    }
    if (n < 0) return PlanMessage("standard input: cannot be read");
    inputs.rig = std::move(text);
  }
  return "";
}

// Writes the show and the sheet the run made, each whole or not at all.
std::string WriteOutputs(const PlanOptions& options, const PlanReport& report) {
  std::string error;
  const auto write = [&](const std::string& path, const std::string& bytes) {
    if (path.empty() || path == "-") return true;
    if (zelmar::platform::WriteWholeFile(path, bytes, error)) return true;
    error = PlanMessage(QuoteFile(path) + ": " + error);
    return false;
  };
  if (!report.show_text.empty() && !write(options.save, report.show_text)) {
    return error;
  }
  if (!report.csv_text.empty() && !write(options.csv, report.csv_text)) {
    return error;
  }
  return "";
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
    zelmar::platform::CatchInterrupts();
    const zelmar::plan::StopCheck stop =
        [&](const zelmar::plan::SearchProgress& progress) {
          const auto now = Clock::now();
          if (now - start >= limit || zelmar::platform::Interrupted()) {
            return true;
          }
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
    PlanInputs inputs;
    if (std::string error = ReadInputs(options, inputs); !error.empty()) {
      return Fail(error + "\n", kExitUsage);
    }
    report = RunPlan(options, inputs, stop, zelmar::platform::Interrupted);
    if (progress_shown) WriteAll(kStderrFd, "\r\033[K");
    if (std::string error = WriteOutputs(options, report); !error.empty()) {
      report.status = kExitUsage;
      report.err += error + "\n";
    }
    if (options.csv == "-") report.out = report.csv_text;
    if (options.save == "-") report.out = report.show_text;
  }
  // The plan first, then its figures (or the error) on standard error.
  if (!report.out.empty() && !WriteAll(kStdoutFd, report.out)) {
    zelmar::cli::ReportWriteError(errno, zelmar::plan_cli::kProgramName);
    return kExitUsage;
  }
  if (!report.err.empty()) WriteAll(kStderrFd, report.err);
  return report.status;
}
