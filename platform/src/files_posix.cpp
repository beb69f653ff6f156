#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zelmar/platform/files.h"

namespace zelmar::platform {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting what close reports (a delayed write error).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::string& error) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return bytes;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

bool WriteWholeFile(const std::string& path, std::string_view bytes,
                 std::string& error) {
  std::string temporary = path + ".XXXXXX";
  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) {
    error = std::strerror(errno);
    return false;
  }
  const auto fail = [&] {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  };
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail();
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  // mkstemp makes the file private; a show is an ordinary file.
  if (::fchmod(fd.get(), 0644) != 0 || ::fsync(fd.get()) != 0 || !fd.Close()) {
    return fail();
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail();
  return true;
}

}  // namespace zelmar::platform
