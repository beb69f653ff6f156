#include <string_view>
#include <vector>

#include "entry.h"
#include "streams.h"

int main(int argc, char** argv) {
  zelmar::cli::PrepareStandardStreams();
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0),
                                           argv + argc);
  return zelmar::cli::RunProgram(args);
}
