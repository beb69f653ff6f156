// The standard streams as plain byte streams, the same on every system:
// no line-end translation, no code-page conversion.
#pragma once

#include <cstddef>
#include <string_view>

namespace zelmar::platform {

inline constexpr int kStdinFd = 0;
inline constexpr int kStdoutFd = 1;
inline constexpr int kStderrFd = 2;

// Sets the streams up as byte streams, and makes a closed output pipe end
// the program as it ends other filters, whatever the parent arranged.
void PrepareStandardStreams();

// Reads at most `size` bytes: the count, 0 at the end of the input, or -1
// with errno set.
long ReadSome(int fd, char* buffer, std::size_t size);

// Writes all of `data`, retrying short writes; false on failure (errno set).
bool WriteAll(int fd, std::string_view data);

bool IsTerminal(int fd);

// Ends the program at once and quietly because its output has been closed.
[[noreturn]] void EndOnClosedOutput();

}  // namespace zelmar::platform
