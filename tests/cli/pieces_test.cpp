// Tests of the front end's pieces in-process: argument parsing, line
// splitting, UTF-8 checking and output formatting.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli.h"

namespace zelmar::cli {
namespace {

struct ArgumentCase {
  std::vector<std::string_view> args;
  bool json, batch, help, version;
  std::vector<std::string_view> texts;
  std::string error_part;  // empty: no error expected
};

// Names the case by its arguments in test listings.
void PrintTo(const ArgumentCase& c, std::ostream* os) {
  *os << "args:";
  for (std::string_view a : c.args) *os << " [" << a << "]";
}

class Arguments : public testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, Parse) {
  const ArgumentCase& c = GetParam();
  const ParsedArguments parsed = ParseArguments(c.args);
  if (!c.error_part.empty()) {
    EXPECT_NE(parsed.error.find(c.error_part), std::string::npos)
        << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    return;
  }
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.json, c.json);
  EXPECT_EQ(parsed.options.batch, c.batch);
  EXPECT_EQ(parsed.options.help, c.help);
  EXPECT_EQ(parsed.options.version, c.version);
  EXPECT_EQ(parsed.options.texts, c.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Arguments,
    testing::Values(
        ArgumentCase{{}, false, false, false, false, {}, ""},
        ArgumentCase{{"806", "--json", "807"},
                     true,
                     false,
                     false,
                     false,
                     {"806", "807"},
                     ""},
        ArgumentCase{{"--batch", "--json"}, true, true, false, false, {}, ""},
        ArgumentCase{{"--help", "--version"}, false, false, true, true, {}, ""},
        ArgumentCase{{"-", "--", "--json", "-5", "--", ""},
                     false,
                     false,
                     false,
                     false,
                     {"-", "--json", "-5", "--", ""},
                     ""},
        ArgumentCase{{"", "x"}, false, false, false, false, {"", "x"}, ""},
        ArgumentCase{{"-5"}, false, false, false, false, {}, "'-5'"},
        ArgumentCase{
            {"--", "-5", "--"}, false, false, false, false, {"-5", "--"}, ""},
        ArgumentCase{{"---"}, false, false, false, false, {}, "'---'"},
        ArgumentCase{
            {"--json", "-json"}, false, false, false, false, {}, "'-json'"},
        ArgumentCase{
            {"--batch", "x"}, false, false, false, false, {}, "--batch"},
        ArgumentCase{
            {"--batch", "-"}, false, false, false, false, {}, "--batch"},
        ArgumentCase{
            {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
            false,
            false,
            false,
            false,
            {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
            ""},
        ArgumentCase{{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                      "12", "--", "13"},
                     false,
                     false,
                     false,
                     false,
                     {},
                     "too many texts: 13"}));

TEST(Cli, QuoteForMessage) {
  EXPECT_EQ(QuoteForMessage("-x"), "-x");
  EXPECT_EQ(QuoteForMessage(std::string_view("a\0b\n\x1f\x7f", 6)),
            "a\\x00b\\x0A\\x1F\\x7F");
  EXPECT_EQ(QuoteForMessage("-ä"), "-ä");
  const std::string quoted = QuoteForMessage(std::string(100, 'x'));
  EXPECT_EQ(quoted, std::string(60, 'x') + "...");
  // A shortened text never ends inside a UTF-8 sequence.
  for (std::size_t pad = 0; pad < 4; ++pad) {
    std::string text(pad, '-');
    while (text.size() < 100) text += "あ";
    const std::string q = QuoteForMessage(text);
    ASSERT_TRUE(q.ends_with("..."));
    EXPECT_TRUE(IsValidUtf8(q)) << pad;
    EXPECT_LE(q.size(), 63u);
    EXPECT_GE(q.size(), 58u);
  }
}

struct Utf8Case {
  std::string text;
  bool valid;
};

TEST(Cli, Utf8Table) {
  const Utf8Case cases[] = {
      {"", true},
      {"abc", true},
      {std::string("\0", 1), true},
      {"\xc2\x80", true},          // U+0080
      {"\xdf\xbf", true},          // U+07FF
      {"\xe0\xa0\x80", true},      // U+0800
      {"\xed\x9f\xbf", true},      // U+D7FF
      {"\xee\x80\x80", true},      // U+E000
      {"\xef\xbf\xbf", true},      // U+FFFF
      {"\xf0\x90\x80\x80", true},  // U+10000
      {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF
      {"●周波数", true},
      {"\x80", false},
      {"\xbf", false},
      {"\xc0\x80", false},          // overlong NUL
      {"\xc1\xbf", false},          // overlong
      {"\xc2", false},              // truncated
      {"\xc2\x41", false},          // bad continuation
      {"\xe0\x9f\xbf", false},      // overlong
      {"\xed\xa0\x80", false},      // surrogate
      {"\xed\xbf\xbf", false},      // surrogate
      {"\xe3\x81", false},          // truncated
      {"\xf0\x8f\xbf\xbf", false},  // overlong
      {"\xf4\x90\x80\x80", false},  // above U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xff", false},
      {"\x82\x4f", false},  // code page 932
      {"a\xe3\x81\x82\xe3", false},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
  }
}

// The JSON parser checks the UTF-8 of strings by itself; both must agree on
// any byte string, so that no invalid text gets past either.
TEST(Cli, Utf8AgreesWithJsonParser) {
  std::mt19937 rng(12345);
  const std::uint8_t interesting[] = {'a',  '0',  0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                      0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
                                      0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int round = 0; round < 100000; ++round) {
    std::string text;
    const std::size_t length = rng() % 6;
    for (std::size_t i = 0; i < length; ++i) {
      text += static_cast<char>(rng() % 3 == 0 ? 0x80 + rng() % 0x80
                                               : interesting[rng() % 20]);
    }
    const bool parsed =
        nlohmann::json::accept("\"" + text + "\"", /*ignore_comments=*/false);
    ASSERT_EQ(IsValidUtf8(text), parsed) << testing::PrintToString(text);
  }
}

// Longer texts, mostly ASCII, which is checked eight bytes at a time: a
// fault at any place is still found.
TEST(Cli, Utf8InLongerTextsAgreesWithJsonParser) {
  std::mt19937 rng(0x5eed0902);
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 25, 'a');
    for (int faults = rng() % 3; faults > 0 && !text.empty(); --faults)
      text[rng() % text.size()] = static_cast<char>(0x80 + rng() % 0x80);
    const bool parsed = nlohmann::json::accept("\"" + text + "\"", false);
    ASSERT_EQ(IsValidUtf8(text), parsed) << testing::PrintToString(text);
  }
}

// The quick batch reader takes only lines the full reader takes, and fills
// the fields alike; and it takes the arrays of strings that scripts send.
TEST(Cli, QuickBatchReaderAgreesWithTheFullOne) {
  const char* const elements[] = {"\"806.125\"",
                                  "\"\"",
                                  "\"a\\\"b\\\\\"",
                                  "\"\\u0041\\u00e9\\/\"",
                                  "\"\\ud83d\\ude00\"",
                                  "\"\\ud800\"",
                                  "\"\\udc00x\"",
                                  "\"\xE2\x97\x8F\"",
                                  "\"\\n\\r\\t\"",
                                  "\"\t\"",
                                  "\"\\x\"",
                                  "\"\\u12\"",
                                  "1",
                                  "null",
                                  "{}",
                                  "{\"a\":\"b\"}",
                                  "[\"x\"]",
                                  "\"806",
                                  " \"1\" ",
                                  ""};
  const char* const around[] = {"",   "",   "",  " ",
                                "\r", "\f", "x", "\xEF\xBB\xBF"};
  std::mt19937 rng(0x5eed0901);
  int taken = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string line = around[rng() % 8];
    line += '[';
    const std::size_t count = rng() % 15;
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0) line += rng() % 30 == 0 ? "" : ",";
      // Mostly plain strings, so that many lines are good ones.
      line += elements[rng() % 3 == 0 ? rng() % std::size(elements) : 0];
    }
    line += rng() % 30 == 0 ? "" : "]";
    line += around[rng() % 8];
    FieldTexts quick;
    FieldTexts full;
    std::string error;
    const bool full_ok = ReadBatchFieldsFully(line, full, error);
    if (!ReadBatchFieldsQuickly(line, quick)) continue;
    ++taken;
    ASSERT_TRUE(full_ok) << testing::PrintToString(line) << error;
    ASSERT_EQ(full, quick) << testing::PrintToString(line);
  }
  EXPECT_GT(taken, 2000);
}

std::vector<std::string> ReadAllLines(int fd, std::vector<bool>* newlines) {
  LineReader reader(fd);
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) {
    lines.push_back(line);
    if (newlines) newlines->push_back(reader.LastHadNewline());
  }
  EXPECT_FALSE(reader.Failed());
  return lines;
}

// Feeds `data` through a pipe in the given chunk sizes from another thread,
// so that the reader sees short reads at arbitrary places.
std::vector<std::string> ReadThroughPipe(const std::string& data,
                                         std::mt19937& rng,
                                         std::vector<bool>* newlines) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::vector<std::size_t> chunks;
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t chunk =
        std::min<std::size_t>(1 + rng() % 100000, data.size() - done);
    chunks.push_back(chunk);
    done += chunk;
  }
  std::thread writer([&] {
    std::size_t done = 0;
    for (std::size_t chunk : chunks) {
      EXPECT_TRUE(WriteAll(fds[1], std::string_view(data).substr(done, chunk)));
      done += chunk;
    }
    close(fds[1]);
  });
  std::vector<std::string> lines = ReadAllLines(fds[0], newlines);
  writer.join();
  close(fds[0]);
  return lines;
}

TEST(Cli, LineReaderSplitsLikeReference) {
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    // Lines from empty to well beyond the reader's 64 KiB buffer.
    std::string data;
    std::vector<std::string> expected;
    const int count = static_cast<int>(rng() % 30);
    for (int i = 0; i < count; ++i) {
      const std::size_t length = rng() % 4 == 0 ? rng() % 200000 : rng() % 20;
      std::string line(length, 'x');
      for (char& c : line) c = static_cast<char>(rng() % 255 + 1);
      for (char& c : line) {
        if (c == '\n') c = '\r';
      }
      expected.push_back(line);
      data += line;
      if (i + 1 < count || rng() % 2) data += '\n';
    }
    // A last line without "\n" but empty does not exist.
    if (!expected.empty() && expected.back().empty() && !data.ends_with('\n')) {
      expected.pop_back();
    }
    std::vector<bool> newlines;
    const std::vector<std::string> lines =
        ReadThroughPipe(data, rng, &newlines);
    ASSERT_EQ(lines, expected) << "round " << round;
    for (std::size_t i = 0; i + 1 < newlines.size(); ++i) {
      EXPECT_TRUE(newlines[i]);
    }
    if (!newlines.empty()) {
      EXPECT_EQ(newlines.back(), data.ends_with('\n'));
    }
  }
}

struct FieldLinesCase {
  std::string input;
  FieldReadStatus status;
  std::vector<std::string> fields;
};

TEST(Cli, ReadFieldLines) {
  const FieldLinesCase cases[] = {
      {"", FieldReadStatus::kOk, {}},
      {"a", FieldReadStatus::kOk, {"a"}},
      {"a\r\nb\r\n", FieldReadStatus::kOk, {"a", "b"}},
      {"a\r\r\n", FieldReadStatus::kOk, {"a\r"}},
      // Only a "\r" before a line end belongs to the line end.
      {"a\n\rb\r", FieldReadStatus::kOk, {"a", "\rb\r"}},
      {"\n\nc", FieldReadStatus::kOk, {"", "", "c"}},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       FieldReadStatus::kOk,
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12",
       FieldReadStatus::kOk,
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
      {std::string(12, '\n'), FieldReadStatus::kOk, {}},
      {std::string(13, '\n'), FieldReadStatus::kTooManyLines, {}},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\r\n\r",
       FieldReadStatus::kTooManyLines,
       {}},
  };
  for (const FieldLinesCase& c : cases) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(WriteAll(fds[1], c.input));
    close(fds[1]);
    LineReader reader(fds[0]);
    FieldTexts fields;
    const FieldReadStatus status = ReadFieldLines(reader, fields);
    close(fds[0]);
    const std::string name = testing::PrintToString(c.input);
    EXPECT_EQ(status, c.status) << name;
    if (c.status != FieldReadStatus::kOk) continue;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      EXPECT_EQ(fields[i], i < c.fields.size() ? c.fields[i] : "") << name;
    }
  }
}

TEST(Cli, ReadErrorIsReported) {
  LineReader reader(-1);
  FieldTexts fields;
  EXPECT_EQ(ReadFieldLines(reader, fields), FieldReadStatus::kReadError);
  EXPECT_TRUE(reader.Failed());
}

// A terminal whose other side has closed fails with EIO after the data it
// holds: the whole line is answered, the partial one after it is not.
TEST(Cli, NoPartialLineAfterReadError) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  const std::string input = "[\"806.1\"]\n[\"806";
  ASSERT_EQ(write(slave, input.data(), input.size()),
            static_cast<ssize_t>(input.size()));
  close(slave);
  LineReader reader(master);
  std::string line;
  EXPECT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "[\"806.1\"]");
  EXPECT_FALSE(reader.Next(line));
  EXPECT_EQ(line, "");
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.Error(), EIO);
  close(master);
}

TEST(Cli, FieldsFromTexts) {
  const FieldTexts fields = FieldsFromTexts({"a", "", "c"});
  EXPECT_EQ(fields[0], "a");
  EXPECT_EQ(fields[1], "");
  EXPECT_EQ(fields[2], "c");
  for (std::size_t i = 3; i < kSlotCount; ++i) EXPECT_EQ(fields[i], "");
}

TEST(Cli, FormatHumanAlignsAndConvertsLineEnds) {
  CheckResult result;
  result.slotTexts[0] = "-5.000";
  result.slotTexts[8] = "806.125";
  result.slotTexts[9] = "1e999";
  result.slotTexts[11] = "0.000";
  result.resultText = "●one\r\n●two\r\nlast\rpart";
  EXPECT_EQ(FormatHuman(result),
            "F1  -5.000\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9  806.125\n"
            "F10 1e999\nF11\nF12 0.000\n\n●one\n●two\nlast\rpart");
}

// Every byte below 0x20, quote and backslash escaped, the rest as it is; a
// real parser reads the text back unchanged.
TEST(Cli, JsonStringEscapesAndReadsBack) {
  std::string text = "●\"q\"\\/\x7f";
  for (char c = 0; c < 0x20; ++c) text += c;
  std::string out;
  AppendJsonString(text, out);
  EXPECT_EQ(out,
            "\"●\\\"q\\\"\\\\/\x7f\\u0000\\u0001\\u0002\\u0003\\u0004"
            "\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
            "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018"
            "\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
  EXPECT_EQ(nlohmann::json::parse(out).get<std::string>(), text);
}

// Strings are escaped eight bytes at a time and byte by byte at their end:
// any byte at any place, beside plain and non-ASCII bytes, comes out as that
// byte escaped on its own.
TEST(Cli, JsonStringEscapesEveryByteAtEveryPlace) {
  auto inner = [](std::string_view text) {
    std::string out;
    AppendJsonString(text, out);
    return out.substr(1, out.size() - 2);
  };
  for (const char filler : {'a', '\xE3', '\x1f'}) {
    for (int byte = 0; byte < 256; ++byte) {
      for (std::size_t place = 0; place < 17; ++place) {
        std::string text(17, filler);
        text[place] = static_cast<char>(byte);
        std::string want;
        for (char c : text) want += inner(std::string(1, c));
        ASSERT_EQ(want, inner(text)) << byte << " at " << place;
      }
    }
  }
}

// The members of an answer, read back with a real parser: each kind of
// finding with its slots, in the order of the result lines.
TEST(Cli, JsonAnswerMembers) {
  const FieldTexts fields = {"806.375", "806.125", "806.250",
                             "807",     "807",     "806.1"};
  const auto answer = nlohmann::json::parse(
      FormatJson(zelmar::RunChannelCheckWithFindings(fields)));
  EXPECT_EQ(answer["status"], "conflicts");
  EXPECT_EQ(answer["fields"][0], "806.100");
  const auto expected = nlohmann::json::parse(R"([
      {"kind": "intermodulation", "victim": 4, "pair": [2, 3]},
      {"kind": "intermodulation", "victim": 2, "pair": [3, 4]},
      {"kind": "close", "pair": [1, 2], "distance": "0.025"},
      {"kind": "close", "pair": [2, 3], "distance": "0.125"},
      {"kind": "close", "pair": [3, 4], "distance": "0.125"},
      {"kind": "same", "pair": [5, 6]}])");
  EXPECT_EQ(answer["findings"], expected) << answer["result"];
  const auto& result = answer["result"].get_ref<const std::string&>();
  EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 6);
}

TEST(Cli, BatchAnswerReportsLineNumber) {
  std::string out;
  EXPECT_FALSE(AppendBatchAnswer("nope", 123456789, out));
  EXPECT_TRUE(AppendBatchAnswer("[]", 2, out));
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            "{\"error\":\"not valid JSON (error at byte 2)\","
            "\"line\":123456789}\n");
  EXPECT_EQ(out.back(), '\n');
}

}  // namespace
}  // namespace zelmar::cli
