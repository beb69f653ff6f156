// UTF-16 (the window system's texts) <-> UTF-8 (the engine's texts): at the
// boundary between the dialog and the engine, for the tools' arguments and
// console streams, and in the GUI test driver, which compares what the
// dialog shows with what the engine computes. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace zelmar::platform {

// Unpaired surrogates become U+FFFD; for the engine any such character
// simply ends a number, as any other non-ASCII character does.
std::string Utf16ToUtf8(std::wstring_view text);

// Malformed byte sequences become U+FFFD.
std::wstring Utf8ToUtf16(std::string_view text);

}  // namespace zelmar::platform
