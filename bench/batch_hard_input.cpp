// Writes COUNT --batch input lines of twelve texts each that are hard to read
// and to show: long digit strings, exact midpoints between neighbouring
// doubles, large and small exponents, values next to a rounding boundary of
// the third decimal, and ordinary raster values among them. The same lines
// for the same SEED on every machine: only the raw output of std::mt19937 is
// used, and every digit is computed here, not by printf.
//
// Usage: zelmar_batch_hard_input COUNT SEED > sets.jsonl

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::mt19937 rng;

std::uint32_t Below(std::uint32_t n) {
  return static_cast<std::uint32_t>(rng() % n);
}

std::string Digits(std::uint32_t count) {
  std::string digits;
  for (std::uint32_t i = 0; i < count; ++i) {
    digits += static_cast<char>('0' + Below(10));
  }
  return digits;
}

// "806.125" and the like: a step of the 25 kHz raster, in thousandths.
std::uint32_t RasterKhz() {
  return Below(2) ? 806000 + Below(160) * 25 : 470000 + Below(9760) * 25;
}

std::string Thousandths(std::uint64_t value) {
  std::string text = std::to_string(value / 1000) + ".";
  const std::string fraction = std::to_string(1000 + value % 1000);
  return text + fraction.substr(1);
}

// The exact decimal expansion of odd * 2^-shift (0 < shift), as
// "integer.fraction": the digits of odd * 5^shift with the point placed
// `shift` digits from the right.
std::string ExactBinaryFraction(std::uint64_t odd, int shift) {
  std::string digits = std::to_string(odd);  // most significant first
  for (int i = 0; i < shift; ++i) {
    unsigned carry = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
      const unsigned x = static_cast<unsigned>(*it - '0') * 5 + carry;
      *it = static_cast<char>('0' + x % 10);
      carry = x / 10;
    }
    if (carry != 0)
      digits.insert(digits.begin(), static_cast<char>('0' + carry));
  }
  const auto places = static_cast<std::size_t>(shift);
  if (digits.size() <= places) {
    digits = std::string(places + 1 - digits.size(), '0') + digits;
  }
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i + places == digits.size()) text.push_back('.');
    text.push_back(digits[i]);
  }
  return text;
}

// The midpoint between a raster value near 806 or 470-714 MHz and a
// neighbouring double (an ulp of 2^-43 or 2^-44), sometimes nudged
// just above or below by a long tail.
std::string Midpoint() {
  const std::uint64_t khz = RasterKhz();
  const int shift = khz >= 512000 ? 43 : 44;
  // The raster value is khz / 1000 = khz * 2^shift / 1000 ulps.
  const std::uint64_t ulps = (khz << shift) / 1000 + Below(64) - 32;
  std::string text = ExactBinaryFraction(2 * ulps + 1, shift + 1);
  const std::uint32_t kind = Below(3);
  const std::uint32_t tail = Below(300);
  if (kind == 1) return text + std::string(tail, '0') + "1";
  if (kind == 2) {  // the last digit of a midpoint is 5
    text.back() = '4';
    text += std::string(20 + tail, '9');
  }
  return text;
}

// A raster value with hundreds of trailing zeros and a digit after them.
std::string LongTail() {
  std::string text = Thousandths(RasterKhz());
  text += std::string(20 + Below(300), '0');
  text += static_cast<char>('1' + Below(9));
  return text;
}

// A raster value's digits spread over a long mantissa and an exponent.
std::string LongMantissa() {
  const std::uint32_t extra = 10 + Below(100);
  std::string text = std::to_string(RasterKhz());
  text += std::string(extra, '0');
  text += Digits(3);
  return text + "e-" + std::to_string(extra + 6);
}

// "d.ddd…" with up to sixteen decimals.
std::string Mantissa() {
  std::string text = std::to_string(1 + Below(9)) + ".";
  return text + Digits(Below(17));
}

std::string LargeExponent() {
  std::string text = Mantissa();
  text += Below(2) ? "e" : "E";
  return text + std::to_string(13 + Below(296));
}

std::string SmallExponent() {
  std::string text = Mantissa();
  text += Below(2) ? "e-" : "d-";
  return text + std::to_string(3 + Below(320));
}

// x.xxx5 and its neighbours: the stored value falls just above or below the
// halfway point of the third decimal.
std::string NearHalfThousandth() {
  std::uint64_t integer = RasterKhz() / 1000;
  if (Below(4) == 0) {  // up to thirteen integer digits
    integer = std::uint64_t{rng()} << 12;
    integer = (integer + Below(4096)) % 10'000'000'000'000;
  }
  std::string text = std::to_string(integer) + ".";
  text += Digits(3);
  switch (Below(4)) {
    case 0:
      return text + "5000000000001";
    case 1:
      return text + "49999999999999999";
    default:
      return text + "5";
  }
}

std::string ExponentForm() {
  const std::uint32_t khz = RasterKhz();
  switch (Below(3)) {
    case 0:
      return std::to_string(khz) + "e-3";
    case 1:
      return std::to_string(khz) + "d-3";
    default:
      return "0." + std::to_string(khz) + "E3";
  }
}

std::string HardText() {
  switch (Below(16)) {
    case 0:
    case 1:
      return Midpoint();
    case 2:
    case 3:
      return LongTail();
    case 4:
      return LongMantissa();
    case 5:
    case 6:
      return LargeExponent();
    case 7:
    case 8:
      return SmallExponent();
    case 9:
    case 10:
      return NearHalfThousandth();
    case 11:
      return ExponentForm();
    default:
      return Thousandths(RasterKhz());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s COUNT SEED\n", argv[0]);
    return 2;
  }
  const unsigned long count = std::strtoul(argv[1], nullptr, 10);
  rng.seed(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
  std::string line;
  for (unsigned long n = 0; n < count; ++n) {
    line.assign(1, '[');
    for (int i = 0; i < 12; ++i) {
      line += i > 0 ? ",\"" : "\"";
      line += HardText();
      line += '"';
    }
    line += "]\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
