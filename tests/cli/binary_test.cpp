// End-to-end tests: the real zelmar-check binary, its arguments, standard
// input, standard output, standard error and exit status.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

const std::string kClose125 = "●F1とF2は、0.125MHz接近しています。\r\n";
const std::string kNoInput = "周波数を入力してください。\r\n";
const std::string kLowRisk = "混信の恐れは低いと思われます。\r\n";

// The people-oriented output for the given leading field texts (the rest
// empty) and result text, written out independently of the program.
std::string HumanOutput(const std::vector<std::string>& fields,
                        const std::string& result) {
  static const char* const kLabels[] = {"F1 ", "F2 ", "F3 ", "F4 ",
                                        "F5 ", "F6 ", "F7 ", "F8 ",
                                        "F9 ", "F10", "F11", "F12"};
  std::string out;
  for (std::size_t i = 0; i < 12; ++i) {
    std::string label = kLabels[i];
    if (i < fields.size() && !fields[i].empty()) {
      out += label + " " + fields[i] + "\n";
    } else {
      out += label.substr(0, label.find(' ')) + "\n";
    }
  }
  out += '\n';
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (result.compare(i, 2, "\r\n") == 0) continue;  // keep only the "\n"
    out += result[i];
  }
  return out;
}

std::string JsonOutput(const std::vector<std::string>& fields,
                       const std::string& result) {
  std::string out = "{\"fields\":[";
  for (std::size_t i = 0; i < 12; ++i) {
    if (i > 0) out += ',';
    out += '"';
    if (i < fields.size()) out += fields[i];
    out += '"';
  }
  std::string escaped;
  for (char c : result) {
    if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return out + "],\"result\":\"" + escaped + "\"}\n";
}

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
  ExpectSuccess(RunCheck({"806.250", "806.125"}),
                HumanOutput({"806.125", "806.250"}, kClose125));
}

TEST(CheckBinary, JsonGivesExactBytes) {
  const ProcessResult r = RunCheck({"--json", "806.250", "806.125"});
  ExpectSuccess(r,
                "{\"fields\":[\"806.125\",\"806.250\",\"\",\"\",\"\",\"\","
                "\"\",\"\",\"\",\"\",\"\",\"\"],\"result\":\"●F1とF2は、"
                "0.125MHz接近しています。\\r\\n\"}\n");
}

TEST(CheckBinary, OptionsMayFollowTexts) {
  ExpectSuccess(RunCheck({"806.250", "--json", "806.125"}),
                JsonOutput({"806.125", "806.250"}, kClose125));
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
  ExpectSuccess(RunCheck({"--", "-5"}), HumanOutput({"-5.000"}, kLowRisk));
  // Options after "--" are texts (without digits: empty fields).
  ExpectSuccess(RunCheck({"--", "--json"}), HumanOutput({}, kNoInput));
  // A second "--" is a text too.
  ExpectSuccess(
      RunCheck({"--json", "--", "-5", "--", "806.125"}),
      JsonOutput({"-5.000", "", "", "", "", "", "", "", "", "", "", "806.125"},
                 kLowRisk));
  // "-" alone is a text even before "--".
  ExpectSuccess(RunCheck({"-", "806.125"}), HumanOutput({"806.125"}, kLowRisk));
  // "--" with nothing after it: no texts, so standard input is read.
  ExpectSuccess(RunCheck({"--"}, "806.250\n806.125\n"),
                HumanOutput({"806.125", "806.250"}, kClose125));
}

struct StdinCase {
  std::string name;
  std::string input;
  std::vector<std::string> fields;
  std::string result;
};

void PrintTo(const StdinCase& c, std::ostream* os) { *os << c.name; }

class StdinLines : public testing::TestWithParam<StdinCase> {};

TEST_P(StdinLines, OneFieldPerLine) {
  const StdinCase& c = GetParam();
  ExpectSuccess(RunCheck({}, c.input), HumanOutput(c.fields, c.result));
  ExpectSuccess(RunCheck({"--json"}, c.input), JsonOutput(c.fields, c.result));
}

INSTANTIATE_TEST_SUITE_P(
    CheckBinary, StdinLines,
    testing::Values(
        StdinCase{"Empty", "", {}, kNoInput},
        StdinCase{
            "Lf", "806.250\n806.125\n", {"806.125", "806.250"}, kClose125},
        StdinCase{"CrLf",
                  "806.250\r\n806.125\r\n",
                  {"806.125", "806.250"},
                  kClose125},
        StdinCase{"LastLineWithoutEnd",
                  "806.250\n806.125",
                  {"806.125", "806.250"},
                  kClose125},
        StdinCase{"SingleLineWithoutEnd", "806.1", {"806.100"}, kLowRisk},
        StdinCase{"BlankLinesAreEmptyFields",
                  "\n\n\n806.250\r\n\n806.125",
                  {"806.125", "806.250"},
                  kClose125},
        StdinCase{"TwelveBlankLines", std::string(12, '\n'), {}, kNoInput}),
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
  ExpectSuccess(RunCheck({"806.1"}, "806.250\n806.125\n"),
                HumanOutput({"806.100"}, kLowRisk));
}

TEST(CheckBinary, TerminalStdinGivesTwelveEmptyFields) {
  const ProcessResult r = RunCheck({}, {}, StdinKind::kTerminal);
  EXPECT_FALSE(r.timed_out) << "zelmar-check waited for terminal input";
  ExpectSuccess(r, HumanOutput({}, kNoInput));
  ExpectSuccess(RunCheck({"--json"}, {}, StdinKind::kTerminal),
                JsonOutput({}, kNoInput));
}

TEST(CheckBinary, NonAsciiBytesInTexts) {
  // Full-width digits (UTF-8), code page 932 bytes and stray high bytes all
  // end a number.
  ExpectSuccess(RunCheck({"８０６．１２５"}), HumanOutput({}, kNoInput));
  ExpectSuccess(RunCheck({"806.125\x82\x4f", "\xff\xfe", "806.250ＭＨｚ"}),
                HumanOutput({"806.125", "806.250"}, kClose125));
  ExpectSuccess(RunCheck({},
                         "806.125\xe3\x80\x80\n\x81\x40"
                         "806\n"),
                HumanOutput({"806.125"}, kLowRisk));
  ExpectSuccess(RunCheck({"--json", "\x80", "806.1\xc3"}),
                JsonOutput({"806.100"}, kLowRisk));
}

TEST(CheckBinary, LongTexts) {
  const std::string tail(30000, 'x');
  const std::string spaces(30000, ' ');
  ExpectSuccess(RunCheck({"806.250" + tail, spaces + "806.125"}),
                HumanOutput({"806.125", "806.250"}, kClose125));
  ExpectSuccess(RunCheck({}, "806.250" + tail + "\r\n" + spaces + "806.125"),
                HumanOutput({"806.125", "806.250"}, kClose125));
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

const std::string kCloseAnswer = JsonOutput({"806.125", "806.250"}, kClose125);

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
        BatchCase{
            "Good", "[\"806.250\", \"806.125\"]",
            WithoutNewline(JsonOutput({"806.125", "806.250"}, kClose125))},
        BatchCase{"EmptyArray", "[]",
                  "{\"fields\":[\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
                  "\"\",\"\",\"\"],\"result\":\"周波数を入力してください。"
                  "\\r\\n\"}"},
        BatchCase{"TrailingCr", "[\"-5\"]\r",
                  "{\"fields\":[\"-5.000\",\"\",\"\",\"\",\"\",\"\",\"\","
                  "\"\",\"\",\"\",\"\",\"\"],\"result\":\"混信の恐れは低いと思"
                  "われます。\\r\\n\"}"},
        BatchCase{"Escapes", "[\"\\u0038\\u0030\\u0036.1\\u0000x\"]",
                  "{\"fields\":[\"806.100\",\"\",\"\",\"\",\"\",\"\",\"\","
                  "\"\",\"\",\"\",\"\",\"\"],\"result\":\"混信の恐れは低いと思"
                  "われます。\\r\\n\"}"},
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
    std::string answer = cli::FormatJson(RunChannelCheck(fields));
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
  for (int round = 0; round < 25; ++round) {
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
    EXPECT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer["fields"].size(), 12u);
    EXPECT_EQ(answer["result"].get<std::string>().substr(
                  answer["result"].get<std::string>().size() - 2),
              "\r\n");
  }
}

}  // namespace
}  // namespace zelmar::test
