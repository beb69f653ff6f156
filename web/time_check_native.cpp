// The native side of the WebAssembly speed comparison: the same C function
// that times RunChannelCheck inside the module, built for this machine.
//   usage: time_check_native RUNS FIELD...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zelmar_web.h"

extern "C" void zelmar_progress(const char*, std::uint32_t) {}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  // The list format of zelmar_web.h: count, then length and bytes each.
  std::string list;
  const auto put = [&](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) list += static_cast<char>(value >> (8 * i));
  };
  put(static_cast<std::uint32_t>(argc - 2));
  for (int i = 2; i < argc; ++i) {
    put(static_cast<std::uint32_t>(std::strlen(argv[i])));
    list += argv[i];
  }
  std::memcpy(zelmar_input(static_cast<std::uint32_t>(list.size())),
              list.data(), list.size());
  const auto runs = static_cast<std::uint32_t>(std::atol(argv[1]));
  std::printf("%.1f\n", zelmar_time_check(runs));
}
