// The standard streams on Windows: binary byte streams when redirected, so
// that output is byte for byte that of the other systems; wide text when
// they are a console, so that Japanese shows whatever the code page.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "zelmar/platform/streams.h"
#include "zelmar/platform/text_utf.h"

namespace zelmar::platform {
namespace {

// The console behind a descriptor, or nullptr when it is redirected.
HANDLE ConsoleOf(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return nullptr;
  }
  return handle;
}

// Whether a failed write means that the reader closed the pipe, whichever
// way the system says it (Wine reports an invalid handle).
bool IsClosedPipe(int fd, DWORD error) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (GetFileType(handle) != FILE_TYPE_PIPE) return false;
  return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
         error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_INVALID_HANDLE;
}

// UTF-8 typed at the console, converted from the UTF-16 it delivers; bytes
// not yet handed out wait here. A surrogate pair split across two reads is
// held until its second half arrives.
struct ConsoleInput {
  std::string pending;
  wchar_t high_surrogate = 0;
};

ConsoleInput& StdinConsole() {
  static ConsoleInput input;  // one console input per process
  return input;
}

long ReadFromConsole(HANDLE console, char* buffer, std::size_t size) {
  ConsoleInput& input = StdinConsole();
  while (input.pending.empty()) {
    wchar_t wide[1024];
    DWORD count = 0;
    std::size_t start = 0;
    if (input.high_surrogate != 0) wide[start++] = input.high_surrogate;
    input.high_surrogate = 0;
    if (!ReadConsoleW(console, wide + start,
                      static_cast<DWORD>(std::size(wide) - start), &count,
                      nullptr)) {
      errno = EIO;
      return -1;
    }
    if (count == 0) return 0;
    std::size_t length = start + count;
    // Ctrl+Z at the start of a line ends the input, as on any console.
    if (wide[0] == 0x1A) return 0;
    if (wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) {
      input.high_surrogate = wide[--length];
    }
    std::wstring text(wide, length);
    // The console ends lines with "\r\n"; the readers expect "\n".
    for (std::size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) {
      text.erase(at, 1);
    }
    input.pending = Utf16ToUtf8(text);
  }
  const std::size_t n = std::min(size, input.pending.size());
  std::memcpy(buffer, input.pending.data(), n);
  input.pending.erase(0, n);
  return static_cast<long>(n);
}

}  // namespace

void PrepareStandardStreams() {
  for (int fd : {kStdinFd, kStdoutFd, kStderrFd}) _setmode(fd, _O_BINARY);
  // A progress line is redrawn with "\r" and an erase sequence, which a
  // console understands once asked to (older ones simply show it).
  if (HANDLE console = ConsoleOf(kStderrFd)) {
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

long ReadSome(int fd, char* buffer, std::size_t size) {
  if (HANDLE console = ConsoleOf(fd))
    return ReadFromConsole(console, buffer, size);
  const unsigned chunk = size > INT_MAX ? INT_MAX : static_cast<unsigned>(size);
  return _read(fd, buffer, chunk);
}

bool WriteAll(int fd, std::string_view data) {
  if (HANDLE console = ConsoleOf(fd)) {
    const std::wstring wide = Utf8ToUtf16(data);
    std::wstring_view rest = wide;
    while (!rest.empty()) {
      DWORD written = 0;
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16384));
      if (!WriteConsoleW(console, rest.data(), chunk, &written, nullptr) ||
          written == 0) {
        errno = EIO;
        return false;
      }
      rest.remove_prefix(written);
    }
    return true;
  }
  while (!data.empty()) {
    const unsigned chunk =
        data.size() > INT_MAX ? INT_MAX : static_cast<unsigned>(data.size());
    const int n = _write(fd, data.data(), chunk);
    if (n < 0) {
      if (IsClosedPipe(fd, GetLastError())) errno = EPIPE;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool IsTerminal(int fd) { return ConsoleOf(fd) != nullptr; }

void EndOnClosedOutput() {
  // Windows has no SIGPIPE; the status a POSIX shell shows for one.
  _exit(128 + 13);
}

}  // namespace zelmar::platform
