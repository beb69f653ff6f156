// The entry point of each command-line front end: the system's own entry
// (entry_posix.cpp or entry_windows.cpp) sets the standard streams up and
// calls RunProgram with the arguments after the program name, as UTF-8.
#pragma once

#include <string_view>
#include <vector>

namespace zelmar::cli {

int RunProgram(const std::vector<std::string_view>& args);

}  // namespace zelmar::cli
