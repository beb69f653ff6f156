// End-to-end tests: the real zelmar-check binary, its arguments, standard
// input, standard output, standard error and exit status.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "cli.h"
#include "process.h"
#include "zelmar/engine.h"

namespace zelmar::test {
namespace {

using nlohmann::json;

// Golden outputs, byte for byte.
const std::string kHumanClose =
    "F1  806.125\nF2  806.250\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nF11\nF12\n\n"
    "●F1とF2は、0.125MHz接近しています。\n";
const std::string kHumanNoInput =
    "F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nF11\nF12\n\n"
    "周波数を入力してください。\n";
const std::string kHuman806125 =
    "F1  806.125\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nF11\nF12\n\n"
    "混信の恐れは低いと思われます。\n";
const std::string kHuman806100 =
    "F1  806.100\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nF11\nF12\n\n"
    "混信の恐れは低いと思われます。\n";
const std::string kHumanMinus5 =
    "F1  -5.000\nF2\nF3\nF4\nF5\nF6\nF7\nF8\nF9\nF10\nF11\nF12\n\n"
    "混信の恐れは低いと思われます。\n";

const std::string kJsonClose =
    R"({"fields":["806.125","806.250","","","","","","","","","",""],)"
    R"("result":"●F1とF2は、0.125MHz接近しています。\r\n","status":"conflicts",)"
    R"("findings":[{"kind":"close","pair":[1,2],"distance":"0.125"}]})"
    "\n";
const std::string kJsonNoInput =
    R"({"fields":["","","","","","","","","","","",""],)"
    R"("result":"周波数を入力してください。\r\n","status":"no-input",)"
    R"("findings":[]})"
    "\n";
const std::string kJson806100 =
    R"({"fields":["806.100","","","","","","","","","","",""],)"
    R"("result":"混信の恐れは低いと思われます。\r\n","status":"low-risk",)"
    R"("findings":[]})"
    "\n";
const std::string kJsonMinus5 =
    R"({"fields":["-5.000","","","","","","","","","","",""],)"
    R"("result":"混信の恐れは低いと思われます。\r\n","status":"low-risk",)"
    R"("findings":[]})"
    "\n";
const std::string kJsonMinus5And806125 =
    R"({"fields":["-5.000","","","","","","","","","","","806.125"],)"
    R"("result":"混信の恐れは低いと思われます。\r\n","status":"low-risk",)"
    R"("findings":[]})"
    "\n";

void ExpectSuccess(const ProcessResult& r, const std::string& expected_out) {
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, expected_out);
}

// A usage error: status 2, nothing on stdout, one line on stderr that
// starts with the program name and mentions `mentions`.
void ExpectUsageError(const ProcessResult& r, const std::string& mentions) {
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.rfind("zelmar-check: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.back(), '\n');
  EXPECT_NE(r.err.find(mentions), std::string::npos)
      << "'" << r.err << "' does not mention '" << mentions << "'";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(CheckBinary, TextsComeBackSortedWithResultForPeople) {
  ExpectSuccess(RunCheck({"806.250", "806.125"}), kHumanClose);
}

TEST(CheckBinary, JsonGivesExactBytes) {
  ExpectSuccess(RunCheck({"--json", "806.250", "806.125"}), kJsonClose);
}

TEST(CheckBinary, OptionsMayFollowTexts) {
  ExpectSuccess(RunCheck({"806.250", "--json", "806.125"}), kJsonClose);
}

TEST(CheckBinary, TwelveTextsFillEveryField) {
  std::vector<std::string> args;
  std::vector<std::string> fields;
  // 806.000, 806.500, ... 811.500 in reverse: sorted back, 0.5 MHz apart.
  for (int i = 11; i >= 0; --i) {
    args.push_back(std::to_string(806 + i / 2) + (i % 2 ? ".5" : ""));
  }
  for (int i = 0; i < 12; ++i) {
    fields.push_back(std::to_string(806 + i / 2) + (i % 2 ? ".500" : ".000"));
  }
  const ProcessResult r = RunCheck(args);
  EXPECT_EQ(r.exit_code, 0);
  // Every third field lies on a product of two others, so the result holds
  // intermodulation lines; the fields are what matters here.
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_GE(lines.size(), 14u);
  for (std::size_t i = 0; i < 12; ++i) {
    std::string expected = "F";
    expected += std::to_string(i + 1);
    expected += i < 9 ? "  " : " ";
    expected += fields[i];
    EXPECT_EQ(lines[i], expected);
  }
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13].rfind("●F3は、F1とF2の相互変調で混信", 0), 0u);
}

TEST(CheckBinary, HelpAndVersion) {
  ProcessResult r = RunCheck({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("Usage: zelmar-check [OPTIONS] [--] [TEXT ...]\n", 0),
            0u);
  for (const char* option : {"--json", "--batch", "--help", "--version"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
  // Help wins over texts and other options.
  EXPECT_EQ(RunCheck({"806", "--json", "--help"}).out, r.out);

  r = RunCheck({"--version"});
  ExpectSuccess(r, "zelmar-check " ZELMAR_VERSION "\n");
}

struct UsageErrorCase {
  std::vector<std::string> args;
  std::string input;
  std::string mentions;
};

// Test listings name a case by what its message must mention.
void PrintTo(const UsageErrorCase& c, std::ostream* os) { *os << c.mentions; }

class UsageErrors : public testing::TestWithParam<UsageErrorCase> {};

TEST_P(UsageErrors, ExitTwoWithOneLineOnStderr) {
  const UsageErrorCase& c = GetParam();
  ExpectUsageError(RunCheck(c.args, c.input), c.mentions);
}

std::vector<std::string> Texts(std::size_t count) {
  return std::vector<std::string>(count, "806.125");
}

std::string Lines(std::size_t count, const std::string& end = "\n") {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += std::to_string(800 + i) + end;
  }
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    CheckBinary, UsageErrors,
    testing::Values(
        UsageErrorCase{{"-5"}, "", "unknown option '-5' (put -- before"},
        UsageErrorCase{{"806.125", "-.5"}, "", "'-.5'"},
        UsageErrorCase{{"--bogus"}, "", "'--bogus'"},
        UsageErrorCase{{"--JSON"}, "", "'--JSON'"},
        UsageErrorCase{{"--json=1"}, "", "'--json=1'"},
        UsageErrorCase{{"-h"}, "", "'-h'"},
        UsageErrorCase{{"-x", "--", "-5"}, "", "'-x'"},
        // An option with a line break still gives a one-line message.
        UsageErrorCase{{"-a\nb\r"}, "", "'-a\\x0Ab\\x0D'"},
        UsageErrorCase{{"--" + std::string(30000, 'x')}, "", "xxx..."},
        UsageErrorCase{Texts(13), "", "13"},
        UsageErrorCase{{"--", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
                        "11", "12", "13"},
                       "",
                       "13"},
        UsageErrorCase{{"--batch", "806.125"}, "", "--batch"},
        UsageErrorCase{{"--batch", "--", "-5"}, "", "--batch"},
        UsageErrorCase{{}, Lines(13), "more than 12 lines"},
        UsageErrorCase{{}, Lines(13, "\r\n"), "more than 12 lines"},
        UsageErrorCase{{}, Lines(12) + "x", "more than 12 lines"},
        // A thirteenth line that is empty is still a line.
        UsageErrorCase{{}, Lines(12) + "\n", "more than 12 lines"},
        UsageErrorCase{
            {"--json"}, std::string(13, '\n'), "more than 12 lines"}));

TEST(CheckBinary, DoubleDashEndsOptions) {
  ExpectSuccess(RunCheck({"--", "-5"}), kHumanMinus5);
  // Options after "--" are texts (without digits: empty fields).
  ExpectSuccess(RunCheck({"--", "--json"}), kHumanNoInput);
  // A second "--" is a text too.
  ExpectSuccess(RunCheck({"--json", "--", "-5", "--", "806.125"}),
                kJsonMinus5And806125);
  // "-" alone is a text even before "--".
  ExpectSuccess(RunCheck({"-", "806.125"}), kHuman806125);
  // "--" with nothing after it: no texts, so standard input is read.
  ExpectSuccess(RunCheck({"--"}, "806.250\n806.125\n"), kHumanClose);
}

struct StdinCase {
  std::string name;
  std::string input;
  std::string human;  // the output without and with --json
  std::string json;
};

void PrintTo(const StdinCase& c, std::ostream* os) { *os << c.name; }

class StdinLines : public testing::TestWithParam<StdinCase> {};

TEST_P(StdinLines, OneFieldPerLine) {
  const StdinCase& c = GetParam();
  ExpectSuccess(RunCheck({}, c.input), c.human);
  ExpectSuccess(RunCheck({"--json"}, c.input), c.json);
}

INSTANTIATE_TEST_SUITE_P(
    CheckBinary, StdinLines,
    testing::Values(
        StdinCase{"Empty", "", kHumanNoInput, kJsonNoInput},
        StdinCase{"Lf", "806.250\n806.125\n", kHumanClose, kJsonClose},
        StdinCase{"CrLf", "806.250\r\n806.125\r\n", kHumanClose, kJsonClose},
        StdinCase{"LastLineWithoutEnd", "806.250\n806.125", kHumanClose,
                  kJsonClose},
        StdinCase{"SingleLineWithoutEnd", "806.1", kHuman806100, kJson806100},
        StdinCase{"BlankLinesAreEmptyFields", "\n\n\n806.250\r\n\n806.125",
                  kHumanClose, kJsonClose},
        StdinCase{"TwelveBlankLines", std::string(12, '\n'), kHumanNoInput,
                  kJsonNoInput}),
    [](const testing::TestParamInfo<StdinCase>& info) {
      return info.param.name;
    });

// Twelve full lines, with or without a last line end, read like twelve texts.
TEST(CheckBinary, StdinTwelveLinesMatchArguments) {
  std::vector<std::string> args;
  for (int i = 0; i < 12; ++i) args.push_back(std::to_string(800 + i));
  const ProcessResult from_args = RunCheck(args);
  EXPECT_EQ(from_args.exit_code, 0);
  EXPECT_EQ(SplitLines(from_args.out)[11], "F12 811.000");
  for (const std::string& input :
       {Lines(12), Lines(12, "\r\n"), Lines(11) + "811"}) {
    ExpectSuccess(RunCheck({}, input), from_args.out);
  }
}

TEST(CheckBinary, TextsWinOverStandardInput) {
  ExpectSuccess(RunCheck({"806.1"}, "806.250\n806.125\n"), kHuman806100);
}

TEST(CheckBinary, TerminalStdinGivesTwelveEmptyFields) {
  const ProcessResult r = RunCheck({}, {}, StdinKind::kTerminal);
  EXPECT_FALSE(r.timed_out) << "zelmar-check waited for terminal input";
  ExpectSuccess(r, kHumanNoInput);
  ExpectSuccess(RunCheck({"--json"}, {}, StdinKind::kTerminal), kJsonNoInput);
}

TEST(CheckBinary, NonAsciiBytesInTexts) {
  // Full-width digits (UTF-8), code page 932 bytes and stray high bytes all
  // end a number.
  ExpectSuccess(RunCheck({"８０６．１２５"}), kHumanNoInput);
  ExpectSuccess(RunCheck({"806.125\x82\x4f", "\xff\xfe", "806.250ＭＨｚ"}),
                kHumanClose);
  ExpectSuccess(RunCheck({},
                         "806.125\xe3\x80\x80\n\x81\x40"
                         "806\n"),
                kHuman806125);
  ExpectSuccess(RunCheck({"--json", "\x80", "806.1\xc3"}), kJson806100);
}

TEST(CheckBinary, LongTexts) {
  const std::string tail(30000, 'x');
  const std::string spaces(30000, ' ');
  // A Windows command line holds at most 32,767 characters.
  const std::size_t argument = RunsWindowsProgram() ? 15000 : 30000;
  ExpectSuccess(RunCheck({"806.250" + tail.substr(0, argument),
                          spaces.substr(0, argument) + "806.125"}),
                kHumanClose);
  ExpectSuccess(RunCheck({}, "806.250" + tail + "\r\n" + spaces + "806.125"),
                kHumanClose);
  // Twelve long lines are more than one read buffer.
  std::string input;
  for (int i = 0; i < 12; ++i) input += "806.125" + tail + "\n";
  const ProcessResult r = RunCheck({"--json"}, input);
  EXPECT_EQ(r.exit_code, 0);
  const json answer = json::parse(r.out);
  EXPECT_EQ(answer["fields"][11], "806.125");
  // Equal values end with eleven same-frequency lines.
  EXPECT_TRUE(answer["result"].get<std::string>().ends_with(
      "●F10とF11は、同一周波数です。\r\n●F11とF12は、同一周波数です。\r\n"));
}

struct BatchCase {
  std::string name;
  std::string line;  // without line end
  std::string answer;
};

void PrintTo(const BatchCase& c, std::ostream* os) { *os << c.name; }

class BatchLines : public testing::TestWithParam<BatchCase> {};

const std::string kCloseAnswer = kJsonClose;

std::string WithoutNewline(std::string text) {
  text.pop_back();
  return text;
}

TEST_P(BatchLines, AnsweredAmongGoodLines) {
  const BatchCase& c = GetParam();
  const std::string good = "[\"806.250\",\"806.125\"]";
  const std::string input = good + "\n" + c.line + "\n" + good + "\r\n";
  const ProcessResult r = RunCheck({"--batch"}, input);
  EXPECT_FALSE(r.timed_out);
  const bool malformed = c.answer.rfind("{\"error\":", 0) == 0;
  EXPECT_EQ(r.exit_code, malformed ? 1 : 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kCloseAnswer + c.answer + "\n" + kCloseAnswer);
}

INSTANTIATE_TEST_SUITE_P(
    CheckBinary, BatchLines,
    testing::Values(
        BatchCase{"Good", "[\"806.250\", \"806.125\"]",
                  WithoutNewline(kJsonClose)},
        BatchCase{"EmptyArray", "[]", WithoutNewline(kJsonNoInput)},
        BatchCase{"TrailingCr", "[\"-5\"]\r", WithoutNewline(kJsonMinus5)},
        BatchCase{"Escapes", "[\"\\u0038\\u0030\\u0036.1\\u0000x\"]",
                  WithoutNewline(kJson806100)},
        BatchCase{"Blank", "", "{\"error\":\"blank line\",\"line\":2}"},
        BatchCase{"BlankCr", "\r", "{\"error\":\"blank line\",\"line\":2}"},
        BatchCase{"Spaces", "  \t ", "{\"error\":\"blank line\",\"line\":2}"},
        BatchCase{"NotJson", "806.125 MHz",
                  "{\"error\":\"not valid JSON (error at byte 9)\","
                  "\"line\":2}"},
        BatchCase{"Unterminated", "[\"806.125\"",
                  "{\"error\":\"not valid JSON (error at byte 11)\","
                  "\"line\":2}"},
        BatchCase{"TrailingGarbage", "[\"806.125\"] x",
                  "{\"error\":\"not valid JSON (error at byte 13)\","
                  "\"line\":2}"},
        BatchCase{"HugeNumber", "[1e99999]",
                  "{\"error\":\"not valid JSON\",\"line\":2}"},
        BatchCase{"String", "\"806.125\"",
                  "{\"error\":\"not a JSON array\",\"line\":2}"},
        BatchCase{"Object", "{\"fields\":[]}",
                  "{\"error\":\"not a JSON array\",\"line\":2}"},
        BatchCase{"Number", "806.125",
                  "{\"error\":\"not a JSON array\",\"line\":2}"},
        BatchCase{"NumberElement", "[\"806.125\", 806.25]",
                  "{\"error\":\"element 2 is not a string\",\"line\":2}"},
        BatchCase{"NullElement", "[null]",
                  "{\"error\":\"element 1 is not a string\",\"line\":2}"},
        BatchCase{"NestedArray", "[[\"806.125\"]]",
                  "{\"error\":\"element 1 is not a string\",\"line\":2}"},
        BatchCase{"ThirteenElements",
                  "[\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\","
                  "\"10\",\"11\",\"12\",\"13\"]",
                  "{\"error\":\"more than 12 elements (13)\",\"line\":2}"},
        BatchCase{"InvalidUtf8InString", "[\"806.125\xff\"]",
                  "{\"error\":\"invalid UTF-8\",\"line\":2}"},
        BatchCase{"Cp932InString", "[\"806.125\x82\x4f\"]",
                  "{\"error\":\"invalid UTF-8\",\"line\":2}"},
        BatchCase{"SurrogateInUtf8", "[\"\xed\xa0\x80\"]",
                  "{\"error\":\"invalid UTF-8\",\"line\":2}"},
        BatchCase{"LoneSurrogateEscape", "[\"\\ud800\"]",
                  "{\"error\":\"not valid JSON (error at byte 9)\","
                  "\"line\":2}"}),
    [](const testing::TestParamInfo<BatchCase>& info) {
      return info.param.name;
    });

TEST(CheckBatch, EmptyInputGivesNothing) {
  ExpectSuccess(RunCheck({"--batch"}, ""), "");
}

TEST(CheckBatch, JsonTogetherWithBatchIsAccepted) {
  ExpectSuccess(RunCheck({"--json", "--batch"}, "[\"806.250\",\"806.125\"]"),
                kCloseAnswer);
}

TEST(CheckBatch, LineNumbersCountEveryLine) {
  const ProcessResult r =
      RunCheck({"--batch"}, "[]\n\nx\n[\"806.1\"]\r\n[1]\n[]\n\n[]");
  EXPECT_EQ(r.exit_code, 1);
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 8u);
  const int bad[] = {2, 3, 5, 7};
  for (int n = 1; n <= 8; ++n) {
    const json answer = json::parse(lines[n - 1]);
    if (std::find(std::begin(bad), std::end(bad), n) != std::end(bad)) {
      EXPECT_EQ(answer["line"], n);
      EXPECT_TRUE(answer["error"].is_string());
    } else {
      EXPECT_EQ(answer["fields"].size(), 12u);
    }
  }
}

TEST(CheckBatch, LongStrings) {
  const std::string tail(30000, 'x');
  std::string line = "[";
  for (int i = 0; i < 12; ++i) {
    line += std::string(i ? "," : "") + "\"" + std::to_string(806 + i) + tail +
            "\"";
  }
  line += "]";
  const ProcessResult r = RunCheck({"--batch"}, line + "\n" + line);
  ASSERT_EQ(r.exit_code, 0);
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], lines[1]);
  EXPECT_EQ(json::parse(lines[0])["fields"][11], "817.000");
}

std::string RandomFieldText(std::mt19937& rng) {
  static const char* const kOdd[] = {"",     "abc",     "-5",     "1e999",
                                     " 0.1", "806,125", "８０６", "0.0004",
                                     "\"",   "\\",      "\t",     "\x7f"};
  const std::uint32_t kind = rng() % 4;
  if (kind == 0) return kOdd[rng() % 12];
  // Raster values near each other, so that the checks have work to do.
  const std::uint32_t steps = rng() % 40;
  return std::to_string(806 + steps / 8) + "." +
         std::to_string(1000 + (steps % 8) * 125).substr(1);
}

// Every answer of a large batch (larger than the output block) must be what
// the engine gives for that line, in order, whatever the mix of lines.
TEST(CheckBatch, RandomSetsMatchTheEngine) {
  std::mt19937 rng(20240611);
  std::string input;
  std::vector<std::string> expected;
  for (int n = 1; n <= 3000; ++n) {
    if (rng() % 50 == 0) {
      input += "[1]\n";
      expected.push_back("{\"error\":\"element 1 is not a string\",\"line\":" +
                         std::to_string(n) + "}");
      continue;
    }
    FieldTexts fields;
    json array = json::array();
    const std::size_t count = rng() % 13;
    for (std::size_t i = 0; i < count; ++i) {
      fields[i] = RandomFieldText(rng);
      array.push_back(fields[i]);
    }
    input += array.dump() + (rng() % 2 ? "\r\n" : "\n");
    std::string answer = cli::FormatJson(RunChannelCheckWithFindings(fields));
    answer.pop_back();
    expected.push_back(answer);
  }
  const ProcessResult r = RunCheck({"--batch"}, input);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i], expected[i]) << "line " << i + 1;
  }
  EXPECT_GT(r.out.size(), std::size_t{1} << 17);
}

// --json on texts and --batch on the same texts as a JSON line agree.
TEST(CheckBatch, AgreesWithJsonOption) {
  std::mt19937 rng(7);
  // Fewer rounds where each run starts Wine.
  const int rounds = RunsWindowsProgram() ? 6 : 25;
  for (int round = 0; round < rounds; ++round) {
    std::vector<std::string> args{"--json", "--"};
    json array = json::array();
    const std::size_t count = rng() % 13;
    for (std::size_t i = 0; i < count; ++i) {
      std::string text = RandomFieldText(rng);
      args.push_back(text);
      array.push_back(text);
    }
    const ProcessResult single = RunCheck(args);
    const ProcessResult batch = RunCheck({"--batch"}, array.dump() + "\n");
    EXPECT_EQ(single.exit_code, 0);
    EXPECT_EQ(batch.exit_code, 0);
    EXPECT_EQ(single.out, batch.out) << array.dump();
    // The answer reads back as the object it claims to be.
    const json answer = json::parse(single.out);
    EXPECT_EQ(answer.size(), 4u);
    EXPECT_EQ(answer["fields"].size(), 12u);
    EXPECT_EQ(answer["findings"].empty(), answer["status"] != "conflicts");
    EXPECT_EQ(answer["result"].get<std::string>().substr(
                  answer["result"].get<std::string>().size() - 2),
              "\r\n");
  }
}

// A program that writes one line and waits for its answer gets it while
// the pipe stays open, line after line.
TEST(CheckBatch, AnswersAsACoprocess) {
  Coprocess check({"--batch"});
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(check.Write("[\"806.250\",\"806.125\"]\n"));
    EXPECT_EQ(check.ReadLine(10000), kJsonClose) << "round " << round;
  }
  ASSERT_TRUE(check.Write("[1]\n"));
  EXPECT_EQ(check.ReadLine(10000),
            "{\"error\":\"element 1 is not a string\",\"line\":4}\n");
  EXPECT_EQ(check.Finish(), 1);
}

std::string ManyBatchLines() {
  std::string input;
  for (int i = 0; i < 100000; ++i) input += "[\"806.250\",\"806.125\"]\n";
  return input;
}

// As other filters do: `zelmar-check --batch < big | head -c1` ends at once
// by SIGPIPE, without a message.
TEST(CheckBatch, ClosedOutputEndsQuietly) {
  const ProcessResult r = RunCheck({"--batch"}, ManyBatchLines(),
                                   StdinKind::kPipe, StdoutKind::kClosedEarly);
  EXPECT_FALSE(r.timed_out);
  // Windows has no SIGPIPE: there the status a shell shows for it.
  EXPECT_EQ(r.exit_code, RunsWindowsProgram() ? 128 + SIGPIPE : -SIGPIPE);
  EXPECT_EQ(r.err, "");
}

// Any other failed write is an I/O error: status 2 and one line.
TEST(CheckBatch, FullDiskIsAnError) {
  for (const auto& args : {std::vector<std::string>{"--batch"},
                           std::vector<std::string>{"--json"}}) {
    const ProcessResult r =
        RunCheck(args, "[\"806.125\"]\n", StdinKind::kPipe, StdoutKind::kFull);
    EXPECT_EQ(r.exit_code, 2) << args[0];
    EXPECT_EQ(r.err, "zelmar-check: cannot write standard output: " +
                         std::string(std::strerror(ENOSPC)) + "\n");
  }
}

}  // namespace
}  // namespace zelmar::test
