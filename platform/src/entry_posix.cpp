#include <string_view>
#include <vector>

#include "zelmar/platform/entry.h"
#include "zelmar/platform/streams.h"

int main(int argc, char** argv) {
  zelmar::platform::PrepareStandardStreams();
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0),
                                           argv + argc);
  return zelmar::platform::RunProgram(args);
}
