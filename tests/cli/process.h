// Runs the real zelmar-check binary with given arguments and standard input
// and collects what it writes, so tests see exactly what a shell would.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelmar::test {

struct ProcessResult {
  int exit_code = -1;  // negative: killed by that signal
  bool timed_out = false;
  std::string out;
  std::string err;
};

enum class StdinKind {
  kPipe,      // `input` is written to a pipe, which is then closed
  kTerminal,  // a pseudo-terminal that stays open and silent
};

enum class StdoutKind {
  kPipe,         // collected whole
  kClosedEarly,  // closed after the first bytes, as `| head -c1` does
  kFull,         // /dev/full: every write fails with ENOSPC
};

// Path of the zelmar-check binary under test: $ZELMAR_CHECK when set (a
// Windows build, run by $ZELMAR_CLI_RUNNER, e.g. wine), else this build's.
const char* CheckBinary();
bool RunsWindowsProgram();

// Children start with the default disposition of SIGPIPE, as from a shell.
ProcessResult RunCheck(const std::vector<std::string>& args,
                       std::string_view input = {},
                       StdinKind stdin_kind = StdinKind::kPipe,
                       StdoutKind stdout_kind = StdoutKind::kPipe);

// zelmar-check started with pipes for standard input and output, to be
// talked to line by line; Finish() closes its input and waits for it.
class Coprocess {
 public:
  explicit Coprocess(const std::vector<std::string>& args);
  ~Coprocess();
  Coprocess(const Coprocess&) = delete;
  Coprocess& operator=(const Coprocess&) = delete;

  bool Write(std::string_view text);
  // The next line of output with its "\n"; empty when none came in time.
  std::string ReadLine(int timeout_ms);
  int Finish();  // the exit status

 private:
  int pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string pending_;
};

}  // namespace zelmar::test
