// Ctrl-C (SIGINT; Ctrl-C and Ctrl-Break on a Windows console) as a flag that
// a long computation polls, so that it can end with what it has.
#pragma once

namespace zelmar::platform {

// From now on an interrupt sets the flag instead of ending the program.
void CatchInterrupts();

// Whether an interrupt came since CatchInterrupts().
bool Interrupted();

}  // namespace zelmar::platform
