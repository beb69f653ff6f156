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
#include <string_view>

extern char** environ;

namespace zelmar::test {
namespace {

// A hung child (for instance one that waits on a terminal) fails the test
// instead of blocking the whole suite.
constexpr auto kTimeout = std::chrono::seconds(30);
// Starting Wine on a busy machine can take most of that.
constexpr auto kWindowsTimeout = std::chrono::seconds(120);

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

const char* CheckBinary() {
  const char* program = std::getenv("ZELMAR_CHECK");
  return program != nullptr && *program != '\0' ? program : ZELMAR_CHECK_PATH;
}

bool RunsWindowsProgram() {
  return std::string_view(CheckBinary()).ends_with(".exe");
}

namespace {

// Starts the binary with the given descriptors as its standard streams.
pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err) {
  // The child may exit before reading all input; that must not kill us,
  // but the child itself starts with the default, as from a shell.
  signal(SIGPIPE, SIG_IGN);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);

  // A Windows build runs under the runner the environment names (Wine).
  std::vector<char*> argv;
  std::string program = CheckBinary();
  const char* runner_name = std::getenv("ZELMAR_CLI_RUNNER");
  std::string runner = runner_name != nullptr ? runner_name : "";
  if (!runner.empty()) argv.push_back(runner.data());
  argv.push_back(program.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned =
      posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  Check(spawned == 0, "posix_spawn");
  return pid;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return -1;
}

}  // namespace

ProcessResult RunCheck(const std::vector<std::string>& args,
                       std::string_view input, StdinKind stdin_kind,
                       StdoutKind stdout_kind) {
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

  int child_stdout = out.write;
  if (stdout_kind == StdoutKind::kFull) {
    child_stdout = open("/dev/full", O_WRONLY | O_CLOEXEC);
    Check(child_stdout >= 0, "open /dev/full");
  }
  const pid_t pid = Spawn(args, child_stdin, child_stdout, err.write);
  if (child_stdout != out.write) CloseFd(child_stdout);
  CloseFd(child_stdin);
  CloseFd(out.write);
  CloseFd(err.write);

  if (input_fd >= 0) {
    fcntl(input_fd, F_SETFL, fcntl(input_fd, F_GETFL) | O_NONBLOCK);
    if (input.empty()) CloseFd(input_fd);
  }

  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() +
                        (RunsWindowsProgram() ? kWindowsTimeout : kTimeout);
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
      const bool from_out = fds[i].fd == out.read;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (from_out ? result.out : result.err)
            .append(buffer, static_cast<std::size_t>(n));
        if (from_out && stdout_kind == StdoutKind::kClosedEarly) {
          CloseFd(out.read);
        }
      } else if (n == 0 || errno != EINTR) {
        CloseFd(from_out ? out.read : err.read);
      }
    }
  }
  CloseFd(input_fd);
  CloseFd(out.read);
  CloseFd(err.read);

  result.exit_code = WaitForExit(pid);
  CloseFd(terminal_fd);
  return result;
}

Coprocess::Coprocess(const std::vector<std::string>& args) {
  Pipe in;
  Pipe out;
  pid_ = Spawn(args, in.read, out.write, STDERR_FILENO);
  close(in.read);
  close(out.write);
  in_ = in.write;
  out_ = out.read;
}

Coprocess::~Coprocess() {
  if (pid_ > 0) Finish();
}

bool Coprocess::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(in_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string Coprocess::ReadLine(int timeout_ms) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (const auto end = pending_.find('\n'); end != std::string::npos) {
      std::string line = pending_.substr(0, end + 1);
      pending_.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd{out_, POLLIN, 0};
    if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
      return {};
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) return {};
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

int Coprocess::Finish() {
  CloseFd(in_);
  char buffer[4096];
  while (read(out_, buffer, sizeof buffer) > 0) {
  }
  CloseFd(out_);
  const int status = WaitForExit(pid_);
  pid_ = -1;
  return status;
}

}  // namespace zelmar::test
