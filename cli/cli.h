// Pieces of the zelmar-check command-line front end, kept apart from main()
// so that argument handling, input reading and output formatting can be
// tested on their own. Nothing here computes frequencies: every result comes
// from zelmar::RunChannelCheck.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "json_writer.h"
#include "zelmar/engine.h"
#include "zelmar/platform/streams.h"

namespace zelmar::cli {

// The tools read and write through the platform's byte streams.
using platform::EndOnClosedOutput;
using platform::IsTerminal;
using platform::kStderrFd;
using platform::kStdinFd;
using platform::kStdoutFd;
using platform::ReadSome;
using platform::WriteAll;

// zelmar-check's own name; zelmar-plan has its own, and no message takes
// either by default.
inline constexpr std::string_view kCheckProgramName = "zelmar-check";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadBatchLine = 1;  // some --batch line was malformed
inline constexpr int kExitUsage = 2;         // bad arguments or failed I/O

struct Options {
  bool json = false;
  bool batch = false;
  bool help = false;
  bool version = false;
  std::vector<std::string_view> texts;  // field texts F1, F2, ... in order
};

struct ParsedArguments {
  Options options;
  std::string error;  // one line without "\n"; empty when the call is valid
};

// Reads the arguments after the program name. Options may stand anywhere
// before "--"; "-" alone is a text.
ParsedArguments ParseArguments(const std::vector<std::string_view>& args);

std::string UsageText();
// "PROGRAM VERSION\n", for any of the tools.
std::string VersionLine(std::string_view program);
std::string VersionText();

// Makes an argument printable on one line of an error message: control bytes
// become \xNN and very long arguments are shortened.
std::string QuoteForMessage(std::string_view text);
// The same, never shortened: for file names, which a user must find whole.
std::string QuoteWhole(std::string_view text);

// Splits a byte stream into lines: a line ends at "\n", which is not part of
// it; bytes after the last "\n" form one more line, unless reading failed
// before the end of the input, which leaves no partial line. Reads in large
// chunks, because --batch has to handle hundreds of thousands of lines quickly.
// Reads the file descriptor directly (not through stdio) so that a line typed
// on a terminal is available at once.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  // Stores the next line in `line`; false when the input is exhausted.
  bool Next(std::string& line);
  // Whether the line last returned by Next() ended with "\n".
  bool LastHadNewline() const { return last_had_newline_; }
  // True when at least one more byte is to come.
  bool HasMore() { return pos_ < end_ || Refill(); }
  // True when a whole line is buffered, so that Next() need not read.
  bool HasBufferedLine() const;
  // True when reading stopped because of an error rather than end of input.
  bool Failed() const { return error_ != 0; }
  int Error() const { return error_; }

 private:
  bool Refill();

  int fd_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool last_had_newline_ = false;
  int error_ = 0;  // errno of a failed read
};

enum class FieldReadStatus { kOk, kTooManyLines, kReadError };

// Reads up to kSlotCount lines, one field each; a "\r" before the "\n" is
// dropped. Fields without a line stay empty. Any byte after the twelfth line
// makes the input too long.
FieldReadStatus ReadFieldLines(LineReader& reader, FieldTexts& fields);

// Fields F1, F2, ... from the given texts (at most kSlotCount of them).
FieldTexts FieldsFromTexts(const std::vector<std::string_view>& texts);

// For people: "F1  806.125" per field ("F2" alone when empty), a blank line,
// then the result text with "\n" line ends.
std::string FormatHuman(const CheckResult& result);

// One line: {"fields":[12 strings],"result":"...","status":"...",
// "findings":[...]} and "\n".
std::string FormatJson(const CheckReport& report);
void AppendJson(const CheckReport& report, std::string& out);

// The findings as a JSON array of objects, one per result line:
// {"kind":"intermodulation","victim":5,"pair":[2,4]},
// {"kind":"close","pair":[3,4],"distance":"0.125"}, {"kind":"same",...}.
void AppendFindingsJson(const Findings& findings, std::string& out);

// Answers one --batch input line (without its "\n") by appending one JSON
// line to `out`: the result object, or {"error":"...","line":N} when the line
// is not a JSON array of at most kSlotCount strings. Returns false for the
// latter.
bool AppendBatchAnswer(std::string_view line, std::size_t line_number,
                       std::string& out);

// The two readers of a --batch line. The quick one fills `fields` from a
// line that is a JSON array of at most kSlotCount strings, and returns false
// for any other line (and perhaps for some such lines), leaving `fields` in
// any state. The full one reads any line the way the answers promise, and
// says in `error` what is wrong with it; both fill `fields` alike.
bool ReadBatchFieldsQuickly(std::string_view line, FieldTexts& fields);
bool ReadBatchFieldsFully(std::string_view line, FieldTexts& fields,
                          std::string& error);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The --batch loop: answers every line of `in_fd` on `out_fd`. Answers are
// collected and written in blocks, and whenever the next line has not
// arrived yet, so that a program that writes one line and waits for its
// answer gets it. Returns the exit status; I/O failures are reported on
// standard error.
int RunBatch(int in_fd, int out_fd);

// "PROGRAM: TEXT", the form of every message on standard error.
std::string Message(std::string_view text, std::string_view program);

// Says on standard error that writing standard output failed with `error`;
// a closed pipe instead ends the program at once and quietly.
void ReportWriteError(int error, std::string_view program);

// The text with every "\r\n" line end as a plain "\n".
std::string LfLineEnds(std::string_view text);

}  // namespace zelmar::cli
