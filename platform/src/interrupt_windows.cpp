#include <windows.h>

#include <atomic>

#include "zelmar/platform/interrupt.h"

namespace zelmar::platform {
namespace {

// The console calls the handler on a thread of its own.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The status a shell gives a program that Ctrl-C ended.
constexpr UINT kInterruptedStatus = 130;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // A second interrupt ends the program at once, whatever it is doing.
  if (g_interrupted.exchange(true)) ExitProcess(kInterruptedStatus);
  return TRUE;
}

}  // namespace

// A console that ignores Ctrl-C (inherited from whoever started us) never
// calls the handler for it, so that choice stands without a look here.
void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Interrupted() { return g_interrupted.load(); }

}  // namespace zelmar::platform
