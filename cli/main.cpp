// zelmar-check: the channel check of the Zelmar dialog on the command line.
// See UsageText() in cli.cpp for what it accepts.

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "zelmar/platform/entry.h"

namespace {

using namespace zelmar::cli;

int Fail(std::string_view message) {
  WriteAll(kStderrFd, std::string(message) + "\n");
  return kExitUsage;
}

int Emit(const std::string& text) {
  if (WriteAll(kStdoutFd, text)) return kExitOk;
  ReportWriteError(errno);
  return kExitUsage;
}

}  // namespace

int zelmar::platform::RunProgram(const std::vector<std::string_view>& args) {
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.error.empty()) return Fail(parsed.error);
  const Options& options = parsed.options;
  if (options.help) return Emit(UsageText());
  if (options.version) return Emit(VersionText());
  if (options.batch) return RunBatch(kStdinFd, kStdoutFd);

  zelmar::FieldTexts fields;
  if (!options.texts.empty()) {
    fields = FieldsFromTexts(options.texts);
  } else if (!IsTerminal(kStdinFd)) {
    LineReader reader(kStdinFd);
    switch (ReadFieldLines(reader, fields)) {
      case FieldReadStatus::kOk:
        break;
      case FieldReadStatus::kTooManyLines:
        return Fail(
            Message("more than 12 lines on standard input (one line per "
                    "field)"));
      case FieldReadStatus::kReadError: {
        const int error = reader.Error();
        return Fail(Message(std::string("cannot read standard input: ") +
                            std::strerror(error)));
      }
    }
  }

  const zelmar::CheckReport report =
      zelmar::RunChannelCheckWithFindings(fields);
  return Emit(options.json ? FormatJson(report) : FormatHuman(report.result));
}
