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

// Path of the zelmar-check binary under test.
const char* CheckBinary();

ProcessResult RunCheck(const std::vector<std::string>& args,
                       std::string_view input = {},
                       StdinKind stdin_kind = StdinKind::kPipe);

}  // namespace zelmar::test
