// Writes COUNT random frequency sets as --batch input lines (JSON arrays of
// strings), the same lines for the same SEED on every machine: only the raw
// output of std::mt19937 is used, whose sequence the standard fixes.
//
// Usage: zelmar_batch_input COUNT SEED > sets.jsonl

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

// A frequency on the 25 kHz raster, mostly in the bands wireless
// microphones use, sometimes a typo or an empty field.
std::string RandomEntry(std::mt19937& rng) {
  const std::uint32_t kind = rng() % 20;
  if (kind == 0) return "";
  if (kind == 1) return "806,125";
  const std::uint32_t base_khz = kind < 12 ? 806000 : 470000;
  const std::uint32_t span_khz = kind < 12 ? 4000 : 244000;
  const std::uint32_t khz = base_khz + (rng() % (span_khz / 25)) * 25;
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u", khz / 1000, khz % 1000);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s COUNT SEED\n", argv[0]);
    return 2;
  }
  const unsigned long count = std::strtoul(argv[1], nullptr, 10);
  std::mt19937 rng(
      static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
  std::string line;
  for (unsigned long n = 0; n < count; ++n) {
    line.assign(1, '[');
    const std::uint32_t entries = 1 + rng() % 12;
    for (std::uint32_t i = 0; i < entries; ++i) {
      if (i > 0) line += ',';
      line += '"';
      line += RandomEntry(rng);
      line += '"';
    }
    line += "]\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
