// Ctrl-C (SIGINT; Ctrl-C and Ctrl-Break on a Windows console) as a flag that
// a long computation polls, so that it can end with what it has.
#pragma once

namespace zelmar::platform {

// From now on a first interrupt sets the flag instead of ending the program,
// and a second ends it at once (on POSIX killed by SIGINT, on Windows with
// status 130). Interrupts that the program was started with ignored stay
// ignored.
void CatchInterrupts();

// Whether an interrupt came since CatchInterrupts().
bool Interrupted();

}  // namespace zelmar::platform
