#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "zelmar/platform/streams.h"

namespace zelmar::platform {

void PrepareStandardStreams() {
  // A parent that ignores SIGPIPE would otherwise turn a closed pipe into
  // an error message per write.
  signal(SIGPIPE, SIG_DFL);
}

long ReadSome(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool IsTerminal(int fd) { return isatty(fd) != 0; }

void EndOnClosedOutput() {
  signal(SIGPIPE, SIG_DFL);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);  // only if the signal is blocked
}

}  // namespace zelmar::platform
