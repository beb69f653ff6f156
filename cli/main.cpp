// zelmar-check: the channel check of the Zelmar dialog on the command line.
// See UsageText() in cli.cpp for what it accepts.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace {

using namespace zelmar::cli;

int Fail(std::string_view message) {
  WriteAll(STDERR_FILENO, std::string(message) + "\n");
  return kExitUsage;
}

int Emit(const std::string& text) {
  if (WriteAll(STDOUT_FILENO, text)) return kExitOk;
  return Fail(std::string(kProgramName) +
              ": cannot write standard output: " + std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0),
                                           argv + argc);
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.error.empty()) return Fail(parsed.error);
  const Options& options = parsed.options;
  if (options.help) return Emit(UsageText());
  if (options.version) return Emit(VersionText());

  const bool stdin_is_terminal = isatty(STDIN_FILENO) != 0;
  if (options.batch) {
    return RunBatch(STDIN_FILENO, STDOUT_FILENO, stdin_is_terminal);
  }

  zelmar::FieldTexts fields;
  if (!options.texts.empty()) {
    fields = FieldsFromTexts(options.texts);
  } else if (!stdin_is_terminal) {
    LineReader reader(STDIN_FILENO);
    switch (ReadFieldLines(reader, fields)) {
      case FieldReadStatus::kOk:
        break;
      case FieldReadStatus::kTooManyLines:
        return Fail(std::string(kProgramName) +
                    ": more than 12 lines on standard input (one line per "
                    "field)");
      case FieldReadStatus::kReadError:
        return Fail(
            std::string(kProgramName) +
            ": cannot read standard input: " + std::strerror(reader.Error()));
    }
  }

  const zelmar::CheckResult result = zelmar::RunChannelCheck(fields);
  return Emit(options.json ? FormatJson(result) : FormatHuman(result));
}
