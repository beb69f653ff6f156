// Prints what the engine makes of a fixed, generated corpus: the bits and the
// shown text of every number text read, the shown text of random doubles of
// every binade, and whole runs of random field sets. Two builds of the engine
// that print the same bytes read and show every one of them alike
// (scripts/engine-differential.sh compares this tree with another revision).
//   usage: engine_texts COUNT
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "zelmar/engine.h"

namespace {

std::mt19937_64 rng(12345);

std::uint64_t Below(std::uint64_t n) { return rng() % n; }

std::string Digits(std::uint64_t n, bool nonzero_first) {
  std::string s;
  for (std::uint64_t i = 0; i < n; ++i) {
    s += static_cast<char>(
        '0' + (i == 0 && nonzero_first ? 1 + Below(9) : Below(10)));
  }
  return s;
}

// Each piece is drawn in its own statement, so the order is the same with
// every compiler.
std::string Text() {
  std::string s;
  switch (Below(10)) {
    case 0:  // plain decimals
      s = Digits(1 + Below(4), true) + ".";
      s += Digits(Below(6), false);
      break;
    case 1:  // long mantissas
      s = Digits(1 + Below(800), false) + ".";
      s += Digits(Below(400), false);
      break;
    case 2:  // exponents across the whole range
      s = Digits(1 + Below(20), true) + "e";
      s += std::to_string(static_cast<int>(Below(700)) - 350);
      break;
    case 3:  // tiny values and subnormals
      s = "0." + std::string(Below(330), '0');
      s += Digits(1 + Below(30), true);
      break;
    case 4:  // near the overflow threshold, with d and E
      s = Digits(1 + Below(17), true) + ".";
      s += Digits(Below(17), false);
      s += Below(2) ? "d" : "E";
      s += std::to_string(Below(40) + 290);
      break;
    case 5:  // near the underflow threshold
      s = Digits(1 + Below(17), true) + ".";
      s += Digits(Below(17), false);
      s += "e-" + std::to_string(Below(30) + 300);
      break;
    case 6: {  // 25 digits of a random double: near halfway points
      std::uint64_t bits = rng();
      double v = 0;
      std::memcpy(&v, &bits, sizeof v);
      if (!(v == v) || v - v != 0) v = 806.125;
      char text[64];
      std::snprintf(text, sizeof text, "%.25e", v < 0 ? -v : v);
      s = text;
      break;
    }
    case 7:  // huge mantissas scaled down
      s = Digits(1 + Below(1200), true) + "e-";
      s += std::to_string(Below(1500));
      break;
    case 8:  // white space, signs and a trailing letter
      s = std::string("  ") + (Below(2) ? "-" : "+");
      s += Digits(1 + Below(5), false) + ".";
      s += Digits(Below(30), false) + "x";
      break;
    default:  // thousands of digits, exponents far out
      s = Digits(1 + Below(3000), false) + "e";
      s += std::to_string(static_cast<int>(Below(4000)) - 2000);
      break;
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 100000;
  for (long i = 0; i < count; ++i) {
    const double v = zelmar::ParseFrequencyText(Text());
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    std::printf("%016llx %s\n", static_cast<unsigned long long>(bits),
                zelmar::FormatMHz(v).c_str());
  }
  for (long i = 0; i < count; ++i) {
    std::uint64_t bits = rng();
    if (i % 2) {  // every binade alike
      bits = (bits & 0x800FFFFFFFFFFFFFull) | (Below(2047) << 52);
    }
    if (i % 5 == 0) bits &= ~((std::uint64_t{1} << Below(53)) - 1);
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    std::printf("%s\n", zelmar::FormatMHz(v).c_str());
  }
  for (long i = 0; i < count / 10; ++i) {
    zelmar::FieldTexts fields;
    for (std::string& field : fields) {
      if (Below(3) != 0) field = Text().substr(0, 40);
    }
    const zelmar::CheckResult r = zelmar::RunChannelCheck(fields);
    for (const std::string& text : r.slotTexts)
      std::printf("%s|", text.c_str());
    std::printf("%s\n", r.resultText.c_str());
  }
}
