// The entry point of each command-line program: the system's own entry
// (entry_posix.cpp or entry_windows.cpp) sets the standard streams up and
// calls RunProgram, which each program defines, with the arguments after the
// program name, as UTF-8.
#pragma once

#include <string_view>
#include <vector>

namespace zelmar::platform {

int RunProgram(const std::vector<std::string_view>& args);

}  // namespace zelmar::platform
