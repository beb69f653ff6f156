#include "zelmar_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace zelmar_gui {

zelmar::CheckResult RunEngine(const Texts& texts) {
  zelmar::FieldTexts fields;
  for (std::size_t i = 0; i < 12; ++i) fields[i] = Utf16ToUtf8(texts[i]);
  return zelmar::RunChannelCheck(fields);
}

std::wstring ExpectCalculateMatchesEngine(ZelmarSession& zelmar,
                                          const Texts& texts) {
  Texts held;
  for (int i = 0; i < 12; ++i) {
    EXPECT_TRUE(zelmar.SetField(i, texts[i])) << "WM_SETTEXT F" << i + 1;
    held[i] = zelmar.Field(i);
  }
  const zelmar::CheckResult expected = RunEngine(held);
  EXPECT_TRUE(zelmar.Command(kIdOk)) << "Calculate did not return";
  for (int i = 0; i < 12; ++i) {
    const std::wstring shown = zelmar.Field(i);
    EXPECT_EQ(shown, Utf8ToUtf16(expected.slotTexts[i]))
        << "F" << i + 1 << " shows \"" << Utf16ToUtf8(shown) << "\"";
  }
  const std::wstring result = zelmar.Result();
  EXPECT_EQ(result, Utf8ToUtf16(expected.resultText)) << "result box shows:\n"
                                                      << Utf16ToUtf8(result);
  EXPECT_TRUE(zelmar.Running());
  return result;
}

namespace {

std::wstring Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return Utf8ToUtf16(buffer);
}

std::wstring Junk(std::mt19937& random) {
  static const std::vector<std::wstring> pieces = {
      L"MHz", L"周波数", L"ｱﾌﾟﾘ",   L"８０６", L"．",     L"\u3000",
      L"●",   L"é",      L"\u00A0", L"\t",     L" ",      L"-",
      L"+",   L".",      L"e",      L"D",      L"\uFFFD", L"😀",
      L"x",   L"0",      L"5",      L"\\",     L"\u2212", L"\u00B7"};
  std::wstring text;
  const int n = std::uniform_int_distribution<int>(1, 5)(random);
  for (int i = 0; i < n; ++i)
    text += pieces[std::uniform_int_distribution<std::size_t>(
        0, pieces.size() - 1)(random)];
  return text;
}

}  // namespace

Texts RandomTexts(std::mt19937& random) {
  auto pick = [&](int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
  };
  static const double bases[] = {470.0, 540.25, 606.125, 779.5, 806.0};
  static const double steps[] = {0.125, 0.025, 0.0125, 0.1, 0.0625, 1.0};
  const double base = bases[pick(5)];
  const double step = steps[pick(6)];
  const int count = pick(13);
  std::vector<double> plan;
  for (int i = 0; i < count; ++i) {
    if (plan.size() >= 2 && pick(4) == 0) {
      // A third-order product of two chosen carriers, so hits are frequent.
      const double a =
          plan[static_cast<std::size_t>(pick(static_cast<int>(plan.size())))];
      const double b =
          plan[static_cast<std::size_t>(pick(static_cast<int>(plan.size())))];
      plan.push_back(2 * b - a);
    } else {
      plan.push_back(base + step * pick(40));
    }
  }
  Texts texts;
  std::vector<int> order(12);
  for (int i = 0; i < 12; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const double value = plan[i];
    std::wstring& text = texts[static_cast<std::size_t>(order[i])];
    switch (pick(12)) {
      case 0:
        text = Format("%.4f", value);
        break;
      case 1:
        text = Format("%.17g", value);
        break;
      case 2:
        text = Format("%.6e", value);
        break;
      case 3:
        text = L"-" + Format("%.3f", value);
        break;
      case 4:
        text = pick(2) ? L"1e999" : L"-1e999";
        break;
      case 5:
        text = L" \t" + Format("%.3f", value) + Junk(random);
        break;
      case 6:
        text = Junk(random);
        break;
      case 7:
        text = Format("%.3f", value / 100) + L"d2";
        break;
      case 8:
        text = Format("%.2f", value);
        break;
      default:
        text = Format("%.3f", value);
        break;
    }
  }
  return texts;
}

std::string Describe(const Texts& texts) {
  std::string out;
  for (std::size_t i = 0; i < 12; ++i) {
    std::string t = Utf16ToUtf8(texts[i]);
    if (t.size() > 40)
      t = t.substr(0, 40) + "...(" + std::to_string(t.size()) + " bytes)";
    out += (i ? "|" : "") + t;
  }
  return out;
}

}  // namespace zelmar_gui
