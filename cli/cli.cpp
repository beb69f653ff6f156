#include "cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>

#ifndef ZELMAR_VERSION
#define ZELMAR_VERSION "0.0.0.0"
#endif

namespace zelmar::cli {
namespace {

// Output keeps keys in the order written, so the objects read naturally.
using OutJson = nlohmann::ordered_json;

// Answers are collected and written in blocks of about this size.
constexpr std::size_t kOutputBlock = 1 << 16;

// Longest piece of an argument quoted in an error message.
constexpr std::size_t kMaxQuoted = 60;

std::string Message(std::string_view text) {
  std::string line(kProgramName);
  line += ": ";
  line += text;
  return line;
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Fills `fields` from one --batch line or says in `error` why it cannot.
bool ReadBatchFields(std::string_view line, FieldTexts& fields,
                     std::string& error) {
  if (IsBlank(line)) {
    error = "blank line";
    return false;
  }
  // Checked before parsing so that the message names the actual fault
  // rather than a JSON syntax error somewhere in a string.
  if (!IsValidUtf8(line)) {
    error = "invalid UTF-8";
    return false;
  }
  nlohmann::json value;
  try {
    value = nlohmann::json::parse(line.begin(), line.end());
  } catch (const nlohmann::json::parse_error& e) {
    error = "not valid JSON (error at byte " + std::to_string(e.byte) + ")";
    return false;
  } catch (const nlohmann::json::exception&) {
    // A number too large for the parser, for instance.
    error = "not valid JSON";
    return false;
  }
  if (!value.is_array()) {
    error = "not a JSON array";
    return false;
  }
  if (value.size() > kSlotCount) {
    error = "more than " + std::to_string(kSlotCount) + " elements (" +
            std::to_string(value.size()) + ")";
    return false;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (!value[i].is_string()) {
      error = "element " + std::to_string(i + 1) + " is not a string";
      return false;
    }
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    fields[i] = std::move(value[i].get_ref<std::string&>());
  }
  return true;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string_view>& args) {
  ParsedArguments parsed;
  Options& options = parsed.options;
  bool options_ended = false;
  for (std::string_view arg : args) {
    if (options_ended || arg == "-" || !arg.starts_with('-')) {
      options.texts.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--batch") {
      options.batch = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      parsed.error = Message("unknown option '" + QuoteForMessage(arg) +
                             "' (put -- before texts that begin with '-')");
      return parsed;
    }
  }
  if (options.batch && !options.texts.empty()) {
    parsed.error = Message(
        "texts cannot be given with --batch (it reads JSON lines from "
        "standard input)");
  } else if (options.texts.size() > kSlotCount) {
    parsed.error =
        Message("too many texts: " + std::to_string(options.texts.size()) +
                " given, at most " + std::to_string(kSlotCount));
  }
  return parsed;
}

std::string UsageText() {
  return R"(Usage: zelmar-check [OPTIONS] [--] [TEXT ...]
Checks up to twelve wireless microphone frequencies (MHz) for third-order
intermodulation hits and close spacing, and prints the fields in ascending
order together with the result text.

  TEXT       the texts of fields F1, F2, ... (at most 12; missing ones are
             empty). Without TEXT, up to 12 lines of standard input are
             read, one field each, unless standard input is a terminal.
  --json     print one JSON object {"fields": [12 strings], "result": "..."}
  --batch    read JSON lines from standard input, each an array of up to 12
             strings, and answer each with one JSON object as for --json
             (or {"error": "...", "line": N} for a malformed line)
  --help     show this help and exit
  --version  show the version and exit
  --         end of options: later arguments are texts even when they begin
             with '-'

Exit status: 0 done, 1 some --batch line was malformed, 2 usage or I/O error.
)";
}

std::string VersionText() {
  return std::string(kProgramName) + " " + ZELMAR_VERSION + "\n";
}

std::string QuoteForMessage(std::string_view text) {
  bool shortened = false;
  if (text.size() > kMaxQuoted) {
    std::size_t cut = kMaxQuoted;
    // Do not split a UTF-8 sequence: back off over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    text = text.substr(0, cut);
    shortened = true;
  }
  std::string quoted;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    } else {
      quoted += c;
    }
  }
  if (shortened) quoted += "...";
  return quoted;
}

bool LineReader::Refill() {
  if (eof_ || error_ != 0) return false;
  for (;;) {
    const ssize_t n = read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      pos_ = 0;
      end_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      eof_ = true;
      return false;
    }
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
}

bool LineReader::Next(std::string& line) {
  line.clear();
  last_had_newline_ = false;
  if (!HasMore()) return false;
  for (;;) {
    const char* start = buffer_.data() + pos_;
    const std::size_t available = end_ - pos_;
    const void* newline = std::memchr(start, '\n', available);
    if (newline != nullptr) {
      const auto length =
          static_cast<std::size_t>(static_cast<const char*>(newline) - start);
      line.append(start, length);
      pos_ += length + 1;
      last_had_newline_ = true;
      return true;
    }
    line.append(start, available);
    pos_ = end_;
    if (!Refill()) return true;  // a last line without "\n"
  }
}

FieldReadStatus ReadFieldLines(LineReader& reader, FieldTexts& fields) {
  std::string line;
  for (std::size_t i = 0; i < kSlotCount && reader.Next(line); ++i) {
    if (reader.LastHadNewline() && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    fields[i] = std::move(line);
    line = std::string();
  }
  if (reader.HasMore()) return FieldReadStatus::kTooManyLines;
  return reader.Failed() ? FieldReadStatus::kReadError : FieldReadStatus::kOk;
}

FieldTexts FieldsFromTexts(const std::vector<std::string_view>& texts) {
  FieldTexts fields;
  for (std::size_t i = 0; i < texts.size() && i < kSlotCount; ++i) {
    fields[i] = std::string(texts[i]);
  }
  return fields;
}

std::string FormatHuman(const CheckResult& result) {
  std::string out;
  for (std::size_t k = 1; k <= kSlotCount; ++k) {
    const std::string& text = result.slotTexts[k - 1];
    std::string label = SlotLabel(k);
    out += label;
    if (!text.empty()) {
      // Labels are padded to "F12" width so the values line up.
      out.append(label.size() < 3 ? 4 - label.size() : 1, ' ');
      out += text;
    }
    out += '\n';
  }
  out += '\n';
  const std::string_view report = result.resultText;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t crlf = report.find("\r\n", start);
    if (crlf == std::string_view::npos) {
      out += report.substr(start);
      break;
    }
    out += report.substr(start, crlf - start);
    out += '\n';
    start = crlf + 2;
  }
  return out;
}

void AppendJson(const CheckResult& result, std::string& out) {
  OutJson object;
  object["fields"] = result.slotTexts;
  object["result"] = result.resultText;
  out += object.dump();
  out += '\n';
}

std::string FormatJson(const CheckResult& result) {
  std::string out;
  AppendJson(result, out);
  return out;
}

bool AppendBatchAnswer(std::string_view line, std::size_t line_number,
                       std::string& out) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  FieldTexts fields;
  std::string error;
  if (!ReadBatchFields(line, fields, error)) {
    OutJson object;
    object["error"] = error;
    object["line"] = line_number;
    out += object.dump();
    out += '\n';
    return false;
  }
  AppendJson(RunChannelCheck(fields), out);
  return true;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < length) return false;
    if (p[1] < low || p[1] > high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    p += length;
  }
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

int RunBatch(int in_fd, int out_fd, bool interactive) {
  LineReader reader(in_fd);
  std::string line;
  std::string out;
  out.reserve(kOutputBlock + 4096);
  std::size_t line_number = 0;
  bool all_good = true;
  auto flush = [&]() {
    if (WriteAll(out_fd, out)) {
      out.clear();
      return true;
    }
    const std::string error =
        Message("cannot write standard output: ") + std::strerror(errno) + "\n";
    WriteAll(STDERR_FILENO, error);
    return false;
  };
  while (reader.Next(line)) {
    all_good &= AppendBatchAnswer(line, ++line_number, out);
    if ((interactive || out.size() >= kOutputBlock) && !flush()) {
      return kExitUsage;
    }
  }
  if (!flush()) return kExitUsage;
  if (reader.Failed()) {
    WriteAll(STDERR_FILENO, Message("cannot read standard input: ") +
                                std::strerror(reader.Error()) + "\n");
    return kExitUsage;
  }
  return all_good ? kExitOk : kExitBadBatchLine;
}

}  // namespace zelmar::cli
