// Whole files by UTF-8 name, the same on every system: read at once, and
// written whole or not at all (a temporary file beside the target, then a
// rename over it), so that a failed run never leaves half a show behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelmar::platform {

// The file's bytes, or nullopt with `error` set to the system's words.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::string& error);

// Replaces the file's contents with `bytes`; false with `error` set, the
// file then untouched.
bool WriteWholeFile(const std::string& path, std::string_view bytes,
                 std::string& error);

}  // namespace zelmar::platform
