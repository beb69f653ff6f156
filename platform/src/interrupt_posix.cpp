#include <signal.h>

#include "zelmar/platform/interrupt.h"

namespace zelmar::platform {
namespace {

volatile sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

bool InterruptsIgnored() {
  struct sigaction current = {};
  return sigaction(SIGINT, nullptr, &current) == 0 &&
         current.sa_handler == SIG_IGN;
}

}  // namespace

void CatchInterrupts() {
  // Whoever started us with SIGINT ignored (nohup, a shell's background
  // job) meant it not to reach us.
  if (InterruptsIgnored()) return;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  // The first interrupt puts the default action back, so that a second one
  // ends the program at once, killed by SIGINT as a shell expects.
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace zelmar::platform
