// Tests of the shell's pure parts: the UTF-16 <-> UTF-8 boundary, the
// Calculate mapping over it, the help file name and DPI scaling. Runs under
// Wine.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "field_check_utf16.h"
#include "window.h"
#include "zelmar/platform/text_utf.h"

namespace zelmar::shell {
namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;
using win::HelpFilePath;
using win::HelpPathFor;
using win::ScaleForDpi;

// Encodes one code point as UTF-16 (no validation; the tests pick valid
// ones or deliberately lone surrogates).
void AppendCodePoint(std::wstring& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

TEST(TextUtf, KnownEncodings) {
  struct Case {
    std::wstring utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {L"", ""},
      {L"806.125", "806.125"},
      {L"計\u3000算", "\xE8\xA8\x88\xE3\x80\x80\xE7\xAE\x97"},
      {L"\u25CF", "\xE2\x97\x8F"},          // the report's bullet
      {L"\uFF71", "\xEF\xBD\xB1"},          // half-width katakana
      {L"\U0001F3A4", "\xF0\x9F\x8E\xA4"},  // a surrogate pair
      {std::wstring(1, L'\0') + L"1", std::string(1, '\0') + "1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
  }
}

TEST(TextUtf, MalformedInputBecomesReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(L"8" + std::wstring(1, wchar_t(0xDC00)) + L"9"),
            "8\xEF\xBF\xBD"
            "9");
  EXPECT_EQ(Utf8ToUtf16("8\xFF"
                        "9"),
            L"8\uFFFD9");
}

TEST(TextUtf, RandomTextsSurviveTheRoundTrip) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> plane(0, 3);
  for (int n = 0; n < 2000; ++n) {
    std::wstring text;
    for (int i = length(random); i > 0; --i) {
      char32_t c;
      switch (plane(random)) {
        case 0:  // ASCII, where the engine reads numbers
          c = std::uniform_int_distribution<char32_t>(1, 0x7F)(random);
          break;
        case 1:  // below the surrogates
          c = std::uniform_int_distribution<char32_t>(0x80, 0xD7FF)(random);
          break;
        case 2:  // above the surrogates
          c = std::uniform_int_distribution<char32_t>(0xE000, 0xFFFF)(random);
          break;
        default:  // supplementary planes
          c = std::uniform_int_distribution<char32_t>(0x10000,
                                                      0x10FFFF)(random);
      }
      AppendCodePoint(text, c);
    }
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  }
}

FieldTextsW Fields(std::initializer_list<std::wstring> first) {
  FieldTextsW fields;
  std::size_t i = 0;
  for (const std::wstring& text : first) fields[i++] = text;
  return fields;
}

TEST(CheckFieldTexts, NothingEnteredAsksForFrequencies) {
  for (const FieldTextsW& fields :
       {Fields({}), Fields({L"0", L"-0", L"abc", L"\uFF18\uFF10\uFF16"})}) {
    const ShownTexts shown = CheckFieldTexts(fields);
    EXPECT_EQ(shown.result, L"周波数を入力してください。\r\n");
    for (const std::wstring& field : shown.fields) EXPECT_EQ(field, L"");
  }
}

TEST(CheckFieldTexts, FieldsComeBackSortedWithThreeDecimals) {
  const ShownTexts shown = CheckFieldTexts(
      Fields({L"", L"806.1", L"", L"770.5MHz", L"  806.0625\u3000"}));
  EXPECT_EQ(shown.fields[0], L"770.500");
  EXPECT_EQ(shown.fields[1], L"806.063");
  EXPECT_EQ(shown.fields[2], L"806.100");
  for (std::size_t i = 3; i < kSlotCount; ++i) EXPECT_EQ(shown.fields[i], L"");
  // 806.0625 and 806.1 are 0.0375 apart: one close-spacing line.
  ASSERT_FALSE(shown.result.empty());
  EXPECT_EQ(shown.result.front(), L'\u25CF');
  EXPECT_EQ(shown.result.substr(shown.result.size() - 2), L"\r\n");
  EXPECT_NE(shown.result.find(L"F2"), std::wstring::npos);
  EXPECT_NE(shown.result.find(L"F3"), std::wstring::npos);
}

TEST(CheckFieldTexts, WellSpacedSetIsLowRisk) {
  const ShownTexts shown = CheckFieldTexts(Fields({L"806.125"}));
  EXPECT_EQ(shown.fields[0], L"806.125");
  EXPECT_EQ(shown.result, L"混信の恐れは低いと思われます。\r\n");
}

// The shell adds nothing of its own: whatever the texts, it shows exactly
// what the engine gives for their UTF-8 form.
TEST(CheckFieldTexts, RandomTextsMatchTheEngineRun) {
  std::mt19937 random(7);
  const std::wstring pieces[] = {L"806",    L".",  L"125", L"5", L"-",
                                 L"e2",     L" ",  L"0",   L"7", L"\u3000",
                                 L"ＭＨｚ", L"０", L"d-1", L"+", L"99"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> count(0, 5);
  for (int n = 0; n < 300; ++n) {
    FieldTextsW fields;
    FieldTexts utf8;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      for (int k = count(random); k > 0; --k) fields[i] += pieces[pick(random)];
      utf8[i] = Utf16ToUtf8(fields[i]);
    }
    const ShownTexts shown = CheckFieldTexts(fields);
    const CheckResult expected = RunChannelCheck(utf8);
    ASSERT_EQ(Utf16ToUtf8(shown.result), expected.resultText);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      ASSERT_EQ(Utf16ToUtf8(shown.fields[i]), expected.slotTexts[i]);
    }
  }
}

TEST(HelpPathFor, ReplacesTheLastExtensionOfTheFileName) {
  struct Case {
    const wchar_t* module;
    const wchar_t* help;
  };
  const Case cases[] = {
      {L"C:\\Tools\\Zelmar.exe", L"C:\\Tools\\Zelmar.HLP"},
      {L"C:\\Tools\\Zelmar.v1.EXE", L"C:\\Tools\\Zelmar.v1.HLP"},
      {L"C:\\Tools.d\\Zelmar", L"C:\\Tools.d\\Zelmar.HLP"},
      {L"Z:/work/Zelmar.exe", L"Z:/work/Zelmar.HLP"},
      {L"Zelmar", L"Zelmar.HLP"},
      {L"", L".HLP"},
  };
  for (const Case& c : cases) EXPECT_EQ(HelpPathFor(c.module), c.help);
}

TEST(HelpFilePath, NamesThisProgramWithTheHelpExtension) {
  const std::wstring path = HelpFilePath(nullptr);
  const std::wstring tail = L"\\zelmar_app_tests.HLP";
  ASSERT_GE(path.size(), tail.size());
  EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
}

TEST(ScaleForDpi, KeepsTheProportionOfPixelsAt96Dpi) {
  EXPECT_EQ(ScaleForDpi(30, 96), 30);
  EXPECT_EQ(ScaleForDpi(30, 120), 38);  // 37.5, rounded away from 0
  EXPECT_EQ(ScaleForDpi(30, 144), 45);
  EXPECT_EQ(ScaleForDpi(30, 192), 60);
}

}  // namespace
}  // namespace zelmar::shell
