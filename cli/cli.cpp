#include "cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

// The one version of the project, from project() in the top CMakeLists.txt.
#ifndef ZELMAR_VERSION
#error "ZELMAR_VERSION must be defined by the build"
#endif

namespace zelmar::cli {
namespace {

// Longest piece of an argument quoted in an error message.
constexpr std::size_t kMaxQuoted = 60;

std::string_view StatusName(CheckStatus status) {
  switch (status) {
    case CheckStatus::kNoInput:
      return "no-input";
    case CheckStatus::kLowRisk:
      return "low-risk";
    case CheckStatus::kConflicts:
      return "conflicts";
  }
  return "unknown";
}

std::string_view KindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::kIntermodulation:
      return "intermodulation";
    case FindingKind::kCloseSpacing:
      return "close";
    case FindingKind::kSameFrequency:
      return "same";
  }
  return "unknown";
}

void WriteFinding(const Finding& f, JsonWriter& json) {
  json.BeginObject().Key("kind").String(KindName(f.kind));
  if (f.kind == FindingKind::kIntermodulation) {
    json.Key("victim").Number(f.victim);
  }
  json.Key("pair").BeginArray().Number(f.first).Number(f.second).EndArray();
  if (f.kind == FindingKind::kCloseSpacing) {
    json.Key("distance").String(FormatMHz(f.distance));
  }
  json.EndObject();
}

void WriteFindings(const Findings& findings, JsonWriter& json) {
  json.BeginArray();
  for (const Finding& f : findings) WriteFinding(f, json);
  json.EndArray();
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
                                 "' (put -- before texts that begin with '-')",
                             kCheckProgramName);
      return parsed;
    }
  }
  if (options.batch && !options.texts.empty()) {
    parsed.error = Message(
        "texts cannot be given with --batch (it reads JSON lines from "
        "standard input)",
        kCheckProgramName);
  } else if (options.texts.size() > kSlotCount) {
    parsed.error =
        Message("too many texts: " + std::to_string(options.texts.size()) +
                    " given, at most " + std::to_string(kSlotCount),
                kCheckProgramName);
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
  --json     print one JSON object {"fields": [12 strings], "result": "...",
             "status": "...", "findings": [...]}
  --batch    read JSON lines from standard input, each an array of up to 12
             strings, and answer each with one JSON object as for --json
             (or {"error": "...", "line": N} for a malformed line)
  --help     show this help and exit
  --version  show the version and exit
  --         end of options: later arguments are texts even when they begin
             with '-'

Exit status: 0 done, 1 some --batch line was malformed, 2 usage or I/O error.
A closed output pipe ends the program at once and quietly (by SIGPIPE).
)";
}

std::string VersionLine(std::string_view program) {
  return std::string(program) + " " + ZELMAR_VERSION + "\n";
}

std::string VersionText() { return VersionLine(kCheckProgramName); }

namespace {

std::string Quote(std::string_view text, std::size_t most) {
  bool shortened = false;
  if (text.size() > most) {
    std::size_t cut = most;
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

}  // namespace

std::string QuoteForMessage(std::string_view text) {
  return Quote(text, kMaxQuoted);
}

std::string QuoteWhole(std::string_view text) {
  return Quote(text, text.size());
}

bool LineReader::Refill() {
  if (eof_ || error_ != 0) return false;
  const long n = ReadSome(fd_, buffer_.data(), buffer_.size());
  if (n > 0) {
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
    return true;
  }
  if (n == 0) {
    eof_ = true;
  } else {
    error_ = errno;
  }
  return false;
}

bool LineReader::HasBufferedLine() const {
  return std::memchr(buffer_.data() + pos_, '\n', end_ - pos_) != nullptr;
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
    if (!Refill()) {
      // A last line without "\n" counts only when the input really ended.
      if (Failed()) line.clear();
      return !Failed();
    }
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
  out += LfLineEnds(result.resultText);
  return out;
}

void AppendJson(const CheckReport& report, std::string& out) {
  const CheckResult& result = report.result;
  JsonWriter json(out);
  json.BeginObject()
      .Key("fields")
      .Strings(result.slotTexts)
      .Key("result")
      .String(result.resultText)
      .Key("status")
      .String(StatusName(report.status))
      .Key("findings");
  WriteFindings(report.findings, json);
  json.EndObject();
  out += '\n';
}

void AppendFindingsJson(const Findings& findings, std::string& out) {
  JsonWriter json(out);
  WriteFindings(findings, json);
}

std::string FormatJson(const CheckReport& report) {
  std::string out;
  AppendJson(report, out);
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  constexpr std::size_t kWord = sizeof(std::uint64_t);
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  while (p < end) {
    // ASCII, the bulk of a batch line, eight bytes at a time.
    if (static_cast<std::size_t>(end - p) >= kWord) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, kWord);
      if ((word & kHighBits) == 0) {
        p += kWord;
        continue;
      }
    }
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

std::string Message(std::string_view text, std::string_view program) {
  std::string line(program);
  line += ": ";
  line += text;
  return line;
}

std::string LfLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t crlf = text.find("\r\n", start);
    if (crlf == std::string_view::npos) {
      out += text.substr(start);
      break;
    }
    out += text.substr(start, crlf - start);
    out += '\n';
    start = crlf + 2;
  }
  return out;
}

void ReportWriteError(int error, std::string_view program) {
  if (error == EPIPE) EndOnClosedOutput();
  WriteAll(kStderrFd, Message(std::string("cannot write standard output: ") +
                                  std::strerror(error) + "\n",
                              program));
}

}  // namespace zelmar::cli
