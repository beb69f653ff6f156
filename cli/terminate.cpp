// What a tool does when the C++ runtime must end it (an exception nobody
// catches, a noexcept broken): says so in one line and aborts. The
// runtime's own handler does the same but first names the exception's type
// with its demangler, some 40 KB of every executable for a message that
// should never be printed; defining the handler here keeps it out.
#include <cstdio>
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
  std::fputs("internal error: the program was terminated\n", stderr);
  std::abort();
}

}  // namespace __gnu_cxx
