#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>

extern char** environ;

namespace zelmar::test {
namespace {

// A hung child (for instance one that waits on a terminal) fails the test
// instead of blocking the whole suite.
constexpr auto kTimeout = std::chrono::seconds(30);

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + " failed");
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    Check(pipe2(fds, O_CLOEXEC) == 0, "pipe2");
    read = fds[0];
    write = fds[1];
  }
};

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

const char* CheckBinary() { return ZELMAR_CHECK_PATH; }

ProcessResult RunCheck(const std::vector<std::string>& args,
                       std::string_view input, StdinKind stdin_kind) {
  // The child may exit before reading all input; that must not kill us.
  signal(SIGPIPE, SIG_IGN);

  Pipe out;
  Pipe err;
  int child_stdin = -1;
  int input_fd = -1;     // our end of the stdin pipe
  int terminal_fd = -1;  // pseudo-terminal master, kept open while running
  if (stdin_kind == StdinKind::kPipe) {
    Pipe in;
    child_stdin = in.read;
    input_fd = in.write;
  } else {
    terminal_fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Check(terminal_fd >= 0, "posix_openpt");
    Check(grantpt(terminal_fd) == 0 && unlockpt(terminal_fd) == 0,
          "grantpt/unlockpt");
    child_stdin = open(ptsname(terminal_fd), O_RDWR | O_NOCTTY | O_CLOEXEC);
    Check(child_stdin >= 0, "open pseudo-terminal");
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child_stdin, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);

  std::vector<char*> argv;
  std::string program = CheckBinary();
  argv.push_back(program.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr,
                                  argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CloseFd(child_stdin);
  CloseFd(out.write);
  CloseFd(err.write);
  Check(spawned == 0, "posix_spawn");

  if (input_fd >= 0) {
    fcntl(input_fd, F_SETFL, fcntl(input_fd, F_GETFL) | O_NONBLOCK);
    if (input.empty()) CloseFd(input_fd);
  }

  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + kTimeout;
  char buffer[1 << 16];
  while (out.read >= 0 || err.read >= 0) {
    pollfd fds[3];
    nfds_t count = 0;
    auto add = [&](int fd, short events) {
      if (fd >= 0) fds[count++] = pollfd{fd, events, 0};
    };
    add(out.read, POLLIN);
    add(err.read, POLLIN);
    add(input_fd, POLLOUT);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    const int ready = poll(fds, count, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == input_fd) {
        const ssize_t n = write(input_fd, input.data(), input.size());
        if (n > 0) input.remove_prefix(static_cast<std::size_t>(n));
        if ((n < 0 && errno != EAGAIN) || input.empty()) CloseFd(input_fd);
        continue;
      }
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == out.read ? result.out : result.err)
            .append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseFd(fds[i].fd == out.read ? out.read : err.read);
      }
    }
  }
  CloseFd(input_fd);
  CloseFd(out.read);
  CloseFd(err.read);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  CloseFd(terminal_fd);
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exit_code = -WTERMSIG(status);
  }
  return result;
}

}  // namespace zelmar::test
