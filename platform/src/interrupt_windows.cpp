#include <windows.h>

#include <atomic>

#include "zelmar/platform/interrupt.h"

namespace zelmar::platform {
namespace {

// The console calls the handler on a thread of its own.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted.store(true);
  return TRUE;
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Interrupted() { return g_interrupted.load(); }

}  // namespace zelmar::platform
