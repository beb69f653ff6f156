#include <signal.h>

#include "zelmar/platform/interrupt.h"

namespace zelmar::platform {
namespace {

volatile sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace zelmar::platform
