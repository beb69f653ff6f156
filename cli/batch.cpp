// zelmar-check --batch: reading the lines, answering each, and the loop
// that writes the answers.
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "cli.h"

namespace zelmar::cli {
namespace {

// Answers are collected and written in blocks of about this size.
constexpr std::size_t kOutputBlock = 1 << 16;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Reads a --batch line as JSON events, without building a document: the
// top-level value must be an array of at most kSlotCount strings, which go
// straight into the fields. Every event is taken to the end of the line, so
// that a syntax error anywhere is reported before a wrong shape.
class BatchLineReader {
 public:
  explicit BatchLineReader(FieldTexts& fields) : fields_(fields) {}

  // Says in `error` what is wrong with the line; empty when it is good.
  void Read(std::string_view line, std::string& error) {
    using Json = nlohmann::json;
    Json::sax_parse(line.begin(), line.end(), this);
    if (failed_) {
      error = syntax_error_;
    } else if (!top_is_array_) {
      error = "not a JSON array";
    } else if (elements_ > kSlotCount) {
      // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on the
      // same text built with operator+ for i686.
      error = "more than ";
      error += std::to_string(kSlotCount);
      error += " elements (";
      error += std::to_string(elements_);
      error += ')';
    } else if (first_non_string_ != 0) {
      error =
          "element " + std::to_string(first_non_string_) + " is not a string";
    }
  }

  // The event interface of nlohmann::json::sax_parse.
  bool null() { return Value(); }
  bool boolean(bool) { return Value(); }
  bool number_integer(std::int64_t) { return Value(); }
  bool number_unsigned(std::uint64_t) { return Value(); }
  bool number_float(double, const std::string&) { return Value(); }
  bool binary(nlohmann::json::binary_t&) { return Value(); }
  bool string(std::string& text) {
    if (depth_ == 1) {
      if (elements_ < kSlotCount) fields_[elements_] = std::move(text);
      ++elements_;
    }
    return true;
  }
  bool start_object(std::size_t) { return Open(false); }
  bool start_array(std::size_t) { return Open(true); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(std::string&) { return true; }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::json::exception& e) {
    failed_ = true;
    // A syntax error names its byte; any other failure (a number too large
    // for the parser, for instance) is simply not valid JSON.
    if (const auto* syntax =
            dynamic_cast<const nlohmann::json::parse_error*>(&e)) {
      syntax_error_ =
          "not valid JSON (error at byte " + std::to_string(syntax->byte) + ")";
    } else {
      syntax_error_ = "not valid JSON";
    }
    return false;
  }

 private:
  // A value that is not a string: at the top level not an array, inside it
  // an element of the wrong kind.
  bool Value() {
    if (depth_ == 1) {
      ++elements_;
      if (first_non_string_ == 0) first_non_string_ = elements_;
    }
    return true;
  }
  bool Open(bool array) {
    if (depth_ == 0) top_is_array_ = array;
    if (depth_ == 1) Value();
    ++depth_;
    return true;
  }
  bool Close() {
    --depth_;
    return true;
  }

  FieldTexts& fields_;
  std::size_t depth_ = 0;
  bool top_is_array_ = false;
  std::size_t elements_ = 0;
  std::size_t first_non_string_ = 0;  // 1-based; 0 while all are strings
  bool failed_ = false;
  std::string syntax_error_;
};

// Fills `fields` from one --batch line or says in `error` why it cannot:
// the quick reader first, the full one for every line it does not take.
bool ReadBatchFields(std::string_view line, FieldTexts& fields,
                     std::string& error) {
  if (ReadBatchFieldsQuickly(line, fields)) return true;
  fields = FieldTexts{};
  return ReadBatchFieldsFully(line, fields, error);
}

}  // namespace

bool ReadBatchFieldsFully(std::string_view line, FieldTexts& fields,
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
  BatchLineReader reader(fields);
  reader.Read(line, error);
  return error.empty();
}

bool AppendBatchAnswer(std::string_view line, std::size_t line_number,
                       std::string& out) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  FieldTexts fields;
  std::string error;
  if (!ReadBatchFields(line, fields, error)) {
    out += "{\"error\":";
    AppendJsonString(error, out);
    out += ",\"line\":";
    out += std::to_string(line_number);
    out += "}\n";
    return false;
  }
  AppendJson(RunChannelCheckWithFindings(fields), out);
  return true;
}

int RunBatch(int in_fd, int out_fd) {
  LineReader reader(in_fd);
  std::string line;
  std::string out;
  out.reserve(kOutputBlock + 4096);
  std::size_t line_number = 0;
  bool all_good = true;
  auto flush = [&]() {
    if (out.empty() || WriteAll(out_fd, out)) {
      out.clear();
      return true;
    }
    ReportWriteError(errno, kCheckProgramName);
    return false;
  };
  for (;;) {
    // Before a read that may wait for input, the answers so far go out.
    if ((out.size() >= kOutputBlock || !reader.HasBufferedLine()) && !flush()) {
      return kExitUsage;
    }
    if (!reader.Next(line)) break;
    all_good &= AppendBatchAnswer(line, ++line_number, out);
  }
  if (!flush()) return kExitUsage;
  if (reader.Failed()) {
    WriteAll(kStderrFd, Message(std::string("cannot read standard input: ") +
                                    std::strerror(reader.Error()) + "\n",
                                kCheckProgramName));
    return kExitUsage;
  }
  return all_good ? kExitOk : kExitBadBatchLine;
}

}  // namespace zelmar::cli
