// JSON strings escaped eight bytes at a time, and the writer around them.
#include "json_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>

namespace zelmar::cli {
namespace {

// The bytes a JSON string cannot hold as they are.
constexpr std::array<bool, 256> kNeedsEscape = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = table['\\'] = true;
  return table;
}();

// A byte escaped takes at most six bytes: \u00XX.
constexpr std::size_t kMaxEscapedSize = 6;

char* WriteEscaped(unsigned char byte, char* p) {
  *p++ = '\\';
  switch (byte) {
    case '"':
    case '\\':
      *p++ = static_cast<char>(byte);
      return p;
    case '\b':
      *p++ = 'b';
      return p;
    case '\f':
      *p++ = 'f';
      return p;
    case '\n':
      *p++ = 'n';
      return p;
    case '\r':
      *p++ = 'r';
      return p;
    case '\t':
      *p++ = 't';
      return p;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  *p++ = 'u';
  *p++ = '0';
  *p++ = '0';
  *p++ = kHex[byte >> 4];
  *p++ = kHex[byte & 0xF];
  return p;
}

// Eight bytes at a time: the high bit of each byte below 0x20 or equal to
// '"' or '\\' set, and perhaps of some bytes above the first such byte (a
// borrow runs upwards), never below it; so the lowest marked byte is exactly
// the first byte to escape.
constexpr std::uint64_t kEachByte = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

constexpr std::uint64_t BytesBelow(std::uint64_t word, unsigned bound) {
  return (word - kEachByte * bound) & ~word & kHighBits;
}

constexpr std::uint64_t EscapeMarks(std::uint64_t word) {
  return BytesBelow(word, 0x20) | BytesBelow(word ^ (kEachByte * '"'), 1) |
         BytesBelow(word ^ (kEachByte * '\\'), 1);
}

// The mark words rely on memory order being significance order: a borrow in
// EscapeMarks runs toward more significant bytes, so only the lowest mark
// is sure to be real. On a big-endian machine that is the last byte in
// memory, not the first; no such build is made or tested.
static_assert(std::endian::native == std::endian::little,
              "the eight-byte escaping assumes a little-endian machine");

// The position in memory order of the first marked byte of a mark word.
std::size_t FirstMarked(std::uint64_t marks) {
  return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
}

// Writes `text` as a JSON string at `p`, which has room for
// MaxJsonStringSize(text.size()) bytes, and returns the end.
char* WriteJsonString(std::string_view text, char* p) {
  *p++ = '"';
  const char* in = text.data();
  const char* const end = in + text.size();
  constexpr std::size_t kWord = sizeof(std::uint64_t);
  // Eight bytes are copied whole, even when some need escaping: the room
  // left always exceeds them.
  while (static_cast<std::size_t>(end - in) >= kWord) {
    std::uint64_t word = 0;
    std::memcpy(&word, in, kWord);
    std::memcpy(p, in, kWord);
    const std::uint64_t marks = EscapeMarks(word);
    if (marks == 0) {
      in += kWord;
      p += kWord;
      continue;
    }
    const std::size_t plain = FirstMarked(marks);
    p = WriteEscaped(static_cast<unsigned char>(in[plain]), p + plain);
    in += plain + 1;
  }
  for (; in != end; ++in) {
    const auto byte = static_cast<unsigned char>(*in);
    if (kNeedsEscape[byte]) {
      p = WriteEscaped(byte, p);
    } else {
      *p++ = *in;
    }
  }
  *p++ = '"';
  return p;
}

constexpr std::size_t MaxJsonStringSize(std::size_t size) {
  return 2 + kMaxEscapedSize * size;
}

// Grows `out` by `room` bytes, lets `write` fill them from a pointer and
// cuts `out` to what was written: one size check, not one per byte.
template <typename Write>
void AppendWritten(std::size_t room, std::string& out, Write write) {
  const std::size_t start = out.size();
  out.resize(start + room);
  char* const end = write(out.data() + start);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace

void AppendJsonString(std::string_view text, std::string& out) {
  AppendWritten(MaxJsonStringSize(text.size()), out,
                [&](char* p) { return WriteJsonString(text, p); });
}

void JsonWriter::Separate() {
  if (after_value_) out_ += ',';
  after_value_ = true;
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  out_ += '{';
  after_value_ = false;
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_ += '}';
  after_value_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  out_ += '[';
  after_value_ = false;
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_ += ']';
  after_value_ = true;
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  Separate();
  AppendJsonString(key, out_);
  out_ += ':';
  after_value_ = false;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  Separate();
  AppendJsonString(text, out_);
  return *this;
}

JsonWriter& JsonWriter::Strings(std::span<const std::string> texts) {
  Separate();
  std::size_t room = 2 + texts.size();
  for (const std::string& text : texts) room += MaxJsonStringSize(text.size());
  AppendWritten(room, out_, [&](char* p) {
    *p++ = '[';
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) *p++ = ',';
      p = WriteJsonString(texts[i], p);
    }
    *p++ = ']';
    return p;
  });
  return *this;
}

JsonWriter& JsonWriter::Number(std::int64_t value) {
  Separate();
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  out_.append(digits, written.ptr);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view json) {
  Separate();
  out_ += json;
  return *this;
}

JsonWriter& JsonWriter::Null() {
  Separate();
  out_ += "null";
  return *this;
}

JsonWriter& JsonWriter::OptionalString(const std::optional<std::string>& text) {
  return text ? String(*text) : Null();
}

}  // namespace zelmar::cli
