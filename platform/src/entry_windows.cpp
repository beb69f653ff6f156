// Windows hands the arguments over as UTF-16 (wmain, linked with
// -municode); they reach the program as UTF-8 whatever the code page.
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/platform/entry.h"
#include "zelmar/platform/streams.h"
#include "zelmar/platform/text_utf.h"

int wmain(int argc, wchar_t** argv) {
  zelmar::platform::PrepareStandardStreams();
  std::vector<std::string> utf8;
  for (int i = 1; i < argc; ++i) {
    utf8.push_back(zelmar::platform::Utf16ToUtf8(argv[i]));
  }
  const std::vector<std::string_view> args(utf8.begin(), utf8.end());
  return zelmar::platform::RunProgram(args);
}
