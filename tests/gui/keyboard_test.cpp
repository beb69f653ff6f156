// Real key input (SendInput) into the foreground Zelmar dialog: Tab order,
// Enter, Escape, Alt+F4, and the window's Close command.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zelmar/engine.h"
#include "zelmar_fixture.h"
#include "zelmar_texts.h"

namespace zelmar_gui {
namespace {

using KeyboardTest = ZelmarTest;

void FocusItem(ZelmarSession& z, int id) {
  SendMessageW(z.dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(z.Item(id)),
               TRUE);
  ASSERT_TRUE(WaitFor([&] { return z.Focus() == z.Item(id); }))
      << "focus on " << id;
}

// The program ends on its own, with an ordinary exit code.
void ExpectEnds(ZelmarSession& z, const char* how) {
  DWORD code = 0xFFFFFFFF;
  ASSERT_TRUE(z.WaitExit(kWaitTimeoutMs, code)) << how << ": Zelmar still runs";
  EXPECT_LT(code, 0x80000000u) << how << ": exit code " << std::hex << code;
  std::printf("%s: exit code %lu\n", how, code);
}

TEST_F(KeyboardTest, TabAndShiftTabFollowTheTabOrder) {
  ASSERT_TRUE(zelmar.BringToFront());
  std::vector<int> expected = {2};
  for (int id = 1000; id <= 1011; ++id) expected.push_back(id);
  expected.push_back(1015);
  expected.push_back(1033);
  expected.push_back(1);
  for (int id : expected) {
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return zelmar.Focus() == zelmar.Item(id); }))
        << "Tab should reach " << id << ", focus is on "
        << GetDlgCtrlID(zelmar.Focus());
  }
  // Shift+Tab from Calculate goes back to the result box.
  INPUT keys[4] = {};
  for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_SHIFT;
  keys[1].ki.wVk = VK_TAB;
  keys[2].ki.wVk = VK_TAB;
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_SHIFT;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, keys, sizeof(INPUT));
  EXPECT_TRUE(
      WaitFor([&] { return zelmar.Focus() == zelmar.Item(kIdResult); }));
}

TEST_F(KeyboardTest, EnterInAFieldOrTheResultBoxRunsCalculate) {
  const Texts texts = {L"806.250", L"806.125", L"", L"806.000"};
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(zelmar.SetField(i, texts[i]));
  const zelmar::CheckResult expected = RunEngine(texts);
  ASSERT_TRUE(zelmar.BringToFront());
  FocusItem(zelmar, kIdFreq1 + 2);
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] {
    return zelmar.Result() == Utf8ToUtf16(expected.resultText);
  })) << Utf16ToUtf8(zelmar.Result());
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(zelmar.Field(i), Utf8ToUtf16(expected.slotTexts[i]));

  // Enter in the (multi-line) result box presses the default button too.
  ASSERT_TRUE(zelmar.Command(kIdClear));
  ASSERT_TRUE(zelmar.SetField(11, L"470.5"));
  FocusItem(zelmar, kIdResult);
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] {
    return zelmar.Result() == Utf8ToUtf16(std::string(zelmar::kLowRiskText));
  })) << Utf16ToUtf8(zelmar.Result());
  EXPECT_EQ(zelmar.Field(0), L"470.500");
  EXPECT_TRUE(zelmar.Running());
}

TEST_F(KeyboardTest, EnterOnClearClears) {
  ExpectCalculateMatchesEngine(zelmar, Texts{L"806.125"});
  ASSERT_TRUE(zelmar.BringToFront());
  FocusItem(zelmar, kIdClear);
  PressKey(VK_RETURN);
  EXPECT_TRUE(WaitFor(
      [&] { return zelmar.Field(0).empty() && zelmar.Result().empty(); }));
  EXPECT_TRUE(zelmar.Running());
}

TEST_F(KeyboardTest, EnterOnExitEndsTheProgram) {
  ASSERT_TRUE(zelmar.BringToFront());
  FocusItem(zelmar, kIdCancel);
  PressKey(VK_RETURN);
  ExpectEnds(zelmar, "Enter on Exit");
}

TEST_F(KeyboardTest, EscapeEndsTheProgram) {
  ASSERT_TRUE(zelmar.SetField(0, L"806.125"));  // nothing is asked or kept
  ASSERT_TRUE(zelmar.BringToFront());
  FocusItem(zelmar, kIdFreq1);
  PressKey(VK_ESCAPE);
  ExpectEnds(zelmar, "Escape");
}

TEST_F(KeyboardTest, AltF4EndsTheProgram) {
  ASSERT_TRUE(zelmar.BringToFront());
  PressKey(VK_F4, true);
  ExpectEnds(zelmar, "Alt+F4");
}

TEST_F(KeyboardTest, CloseCommandEndsTheProgram) {
  PostMessageW(zelmar.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectEnds(zelmar, "SC_CLOSE");
}

TEST_F(KeyboardTest, ExitButtonEndsTheProgramAndTheNextStartIsEmpty) {
  ASSERT_TRUE(zelmar.SetField(3, L"806.125"));
  PostMessageW(zelmar.Item(kIdCancel), BM_CLICK, 0, 0);
  ExpectEnds(zelmar, "Exit button");
  ZelmarSession again;
  std::string error;
  ASSERT_TRUE(again.Start(error)) << error;
  for (int i = 0; i < 12; ++i) EXPECT_EQ(again.Field(i), L"");
  EXPECT_EQ(again.Result(), L"");
  again.Close();
}

}  // namespace
}  // namespace zelmar_gui
