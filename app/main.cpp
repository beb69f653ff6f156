// Zelmar.exe: plans the carrier frequencies of up to twelve wireless
// microphones in one modal dialog.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "freq_check_app.h"

// Replaces libstdc++'s default terminate handler, which writes the type of
// the uncaught exception to the standard error stream before it aborts: a
// GUI program has no such stream, and the handler's demangler alone is about
// 46 KB of the program. No exception leaves the dialog procedure anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CFreqCheckApp app(instance);
  return app.Run();
}
