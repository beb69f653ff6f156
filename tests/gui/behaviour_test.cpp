// Calculate, Clear and the result box, compared with the engine for the
// same field texts; the about box from the system menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "zelmar/engine.h"
#include "zelmar_fixture.h"
#include "zelmar_texts.h"

namespace zelmar_gui {
namespace {

using BehaviourTest = ZelmarTest;

TEST_F(BehaviourTest, HandPickedSetsShowWhatTheEngineComputes) {
  const std::vector<Texts> sets = {
      {},
      {L"806.125"},
      {L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"806.125"},
      {L"806.250", L"806.125"},
      {L"806.1", L"806.0625"},
      {L"0.0004", L"-5"},
      {L"0", L"-0", L"abc", L"  ", L".", L"e5"},
      {L"806.000", L"806.500", L"807.000"},  // 2b - a hits
      {L"800", L"801", L"802", L"803", L"804", L"805", L"806", L"807", L"808",
       L"809", L"810", L"811"},  // every pair hits
      {L"806.125", L"806.125"},  // identical
      {L"1e999", L"-1e999", L"806"},
      {L" \t806.125xyz", L"8.0625d2", L"80612.5E-2", L"+806.375"},
      {L"８０６．１２５", L"周波数", L"806.125ＭＨｚ", L"-806.125"},
      {L"806.2", L"806.1", L"806.0", L"-806.0", L"-806.1", L"0.000"},
      {L"1e-400", L"4.9e-324", L"1.7976931348623157e308", L"1.8e308"},
      {L"999.9995", L"0.1245", L"0.0625", L"-0.0001"},
  };
  for (std::size_t i = 0; i < sets.size(); ++i) {
    SCOPED_TRACE("set " + std::to_string(i));
    ExpectCalculateMatchesEngine(zelmar, sets[i]);
  }
}

TEST_F(BehaviourTest, RandomSetsShowWhatTheEngineComputes) {
  std::mt19937 random(0x5A454C4Du);
  int reports = 0;
  for (int i = 0; i < 300; ++i) {
    const Texts texts = RandomTexts(random);
    SCOPED_TRACE("random set " + std::to_string(i) + ": " + Describe(texts));
    const std::wstring result = ExpectCalculateMatchesEngine(zelmar, texts);
    if (!result.empty() && result[0] == L'●') ++reports;
    if (HasFailure()) break;
  }
  // The generator must actually produce reports, or half the code is untested.
  EXPECT_GT(reports, 50);
}

TEST_F(BehaviourTest, ClearEmptiesFieldsAndResultOnly) {
  ExpectCalculateMatchesEngine(zelmar, Texts{L"806.250", L"806.125", L"807"});
  ASSERT_TRUE(zelmar.Click(kIdClear));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(zelmar.Field(i), L"");
  EXPECT_EQ(zelmar.Result(), L"");
  EXPECT_EQ(TextOf(zelmar.Item(kIdInfo)), L"Infomation");
  EXPECT_EQ(TextOf(zelmar.Item(kIdOk)), L"計\u3000算");
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(TextOf(zelmar.Item(kIdFlabel1 + i)),
              L"F" + std::to_wstring(i + 1));
  // A Calculate right after Clear asks for frequencies.
  ASSERT_TRUE(zelmar.Click(kIdOk));
  EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(std::string(zelmar::kNoInputText)));
  EXPECT_TRUE(zelmar.Running());
}

TEST_F(BehaviourTest, SecondCalculateWorksOnTheRewrittenFields) {
  const Texts first = {L"", L"806.0625", L"-3", L"0.0004", L"", L"806.1"};
  ExpectCalculateMatchesEngine(zelmar, first);
  // Press again without touching the fields: the input is what the first
  // run wrote (sorted, three decimals; 0.000 now reads as empty).
  Texts shown;
  for (int i = 0; i < 12; ++i) shown[i] = zelmar.Field(i);
  EXPECT_EQ(shown[0], L"-3.000");
  const zelmar::CheckResult expected = RunEngine(shown);
  ASSERT_TRUE(zelmar.Click(kIdOk));
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(zelmar.Field(i), Utf8ToUtf16(expected.slotTexts[i]))
        << "F" << i + 1;
  EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(expected.resultText));
  // Rewritten fields, run again.
  ExpectCalculateMatchesEngine(zelmar,
                               Texts{L"470.125", L"470.250", L"470.000"});
}

TEST_F(BehaviourTest, TextTypedIntoTheResultBoxIsReplaced) {
  HWND box = zelmar.Item(kIdResult);
  ASSERT_TRUE(SetText(box, L"806.125 typed by the user\r\n999"));
  // Not read as input: with empty fields the result asks for frequencies.
  ASSERT_TRUE(zelmar.Command(kIdOk));
  EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(std::string(zelmar::kNoInputText)));
  ASSERT_TRUE(SetText(box, L"scribble"));
  ExpectCalculateMatchesEngine(zelmar, Texts{L"806.125"});
  ASSERT_TRUE(SetText(box, L"scribble again"));
  ASSERT_TRUE(zelmar.Command(kIdClear));
  EXPECT_EQ(zelmar.Result(), L"");
}

TEST_F(BehaviourTest, CalculateCommandsNeverEndTheDialog) {
  // The button, the IDOK command and a posted command all run the check.
  ASSERT_TRUE(zelmar.Click(kIdOk));
  EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(std::string(zelmar::kNoInputText)));
  ASSERT_TRUE(zelmar.SetField(0, L"806.125"));
  PostMessageW(zelmar.dialog(), WM_COMMAND, MAKEWPARAM(kIdOk, BN_CLICKED),
               reinterpret_cast<LPARAM>(zelmar.Item(kIdOk)));
  EXPECT_TRUE(WaitFor([&] {
    return zelmar.Result() == Utf8ToUtf16(std::string(zelmar::kLowRiskText));
  }));
  EXPECT_TRUE(zelmar.Running());
  EXPECT_TRUE(IsWindowVisible(zelmar.dialog()));
}

// --- commands without a control (menu, accelerator) -------------------------

TEST_F(BehaviourTest, CalculateCommandFromAcceleratorOrMenuRunsTheCheck) {
  struct Way {
    WORD code;
    const char* name;
  };
  const std::vector<Texts> sets = {
      {L"806.000", L"806.500", L"807.000"},
      {L"470.125", L"-3", L"abc", L"1e999"},
  };
  for (const Way way : {Way{1, "accelerator"}, Way{0, "menu"}}) {
    SCOPED_TRACE(way.name);
    ASSERT_TRUE(zelmar.Command(kIdClear));
    // Empty fields: the check asks for frequencies.
    ASSERT_TRUE(zelmar.CommandWithoutControl(kIdOk, way.code));
    EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(std::string(zelmar::kNoInputText)));
    for (const Texts& texts : sets) {
      Texts held;
      for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(zelmar.SetField(i, texts[i]));
        held[i] = zelmar.Field(i);
      }
      const zelmar::CheckResult expected = RunEngine(held);
      ASSERT_TRUE(zelmar.CommandWithoutControl(kIdOk, way.code));
      for (int i = 0; i < 12; ++i)
        EXPECT_EQ(zelmar.Field(i), Utf8ToUtf16(expected.slotTexts[i]))
            << "F" << i + 1;
      EXPECT_EQ(zelmar.Result(), Utf8ToUtf16(expected.resultText));
    }
    // The dialog stays open: the command is Calculate, not the end.
    EXPECT_TRUE(zelmar.Running());
    EXPECT_TRUE(IsWindowVisible(zelmar.dialog()));
  }
}

// --- about box -------------------------------------------------------------

HWND WaitForAbout(ZelmarSession& z) {
  HWND about = nullptr;
  WaitFor([&] {
    about = FindTopLevel(z.pid(), L"#32770", kAboutCaption);
    return about != nullptr;
  });
  return about;
}

void CheckAboutBox(ZelmarSession& z, HWND about) {
  EXPECT_FALSE(IsWindowEnabled(z.dialog()));
  EXPECT_EQ(GetWindow(about, GW_OWNER), z.dialog());
  const DWORD style = static_cast<DWORD>(GetWindowLongW(about, GWL_STYLE));
  EXPECT_EQ(style & 0x80C800C0u, 0x80C800C0u) << std::hex << style;
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  std::vector<HWND> children;
  for (HWND c = GetWindow(about, GW_CHILD); c != nullptr;
       c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  ASSERT_EQ(children.size(), 4u);
  ProbeReply icons{};
  ASSERT_TRUE(z.Query(ProbeCommand::kIcons, icons, z.dialog()));
  for (std::size_t i = 0; i < 4; ++i) {
    const ControlSpec& spec = kAboutControls[i];
    SCOPED_TRACE("about control #" + std::to_string(i + 1));
    EXPECT_EQ(static_cast<short>(GetDlgCtrlID(children[i])), spec.id);
    EXPECT_EQ(ClassOf(children[i]), spec.className);
    const DWORD cs = static_cast<DWORD>(GetWindowLongW(children[i], GWL_STYLE));
    const DWORD kept = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | 0xFFFF;
    EXPECT_EQ(cs & kept, spec.style & kept) << std::hex << cs;
    EXPECT_EQ(GetWindowLongW(children[i], GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY,
              0);
    if (i != 0) {  // the icon has no text
      EXPECT_EQ(TextOf(children[i]), spec.text);
    }
    ProbeReply mapped{};
    ASSERT_TRUE(z.Query(ProbeCommand::kMapDialogRect, mapped, about,
                        RECT{spec.x, spec.y, spec.w, spec.h}));
    RECT r{};
    GetWindowRect(children[i], &r);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, mapped.rect.left);
    EXPECT_EQ(r.top, mapped.rect.top);
    if (i != 0) {  // an icon control takes the size of its icon
      EXPECT_EQ(r.right - r.left, mapped.rect.right);
      EXPECT_EQ(r.bottom - r.top, mapped.rect.bottom);
    }
  }
  DWORD_PTR icon = 0;
  SendMessageTimeoutW(children[0], STM_GETICON, 0, 0, SMTO_NORMAL,
                      kWaitTimeoutMs, &icon);
  EXPECT_EQ(static_cast<std::int64_t>(icon), icons.values[2])
      << "IDR_MAINFRAME";
  ProbeReply mapped{};
  ASSERT_TRUE(z.Query(ProbeCommand::kMapDialogRect, mapped, about,
                      RECT{0, 0, 235, 55}));
  RECT client{};
  GetClientRect(about, &client);
  EXPECT_EQ(client.right, mapped.rect.right);
  EXPECT_EQ(client.bottom, mapped.rect.bottom);
  ProbeReply font{};
  ASSERT_TRUE(z.Query(ProbeCommand::kFontOf, font, about));
  EXPECT_EQ(std::wstring(font.font.lfFaceName), L"ＭＳ Ｐゴシック");
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(font.font.lfHeight, -MulDiv(9, dpi, 72));
  EXPECT_TRUE(WaitFor([&] { return z.Focus() == children[3]; }))
      << "focus on OK";
  DWORD_PTR defId = 0;
  SendMessageTimeoutW(about, DM_GETDEFID, 0, 0, SMTO_NORMAL, kWaitTimeoutMs,
                      &defId);
  EXPECT_EQ(LOWORD(defId), IDOK);
}

bool WaitAboutClosed(ZelmarSession& z) {
  return WaitFor([&] {
    return FindTopLevel(z.pid(), L"#32770", kAboutCaption) == nullptr &&
           IsWindowEnabled(z.dialog());
  });
}

TEST_F(BehaviourTest, AboutBoxFromSystemMenuDisablesMainAndKeepsFields) {
  InjectProbe();
  ExpectCalculateMatchesEngine(zelmar, Texts{L"806.250", L"806.125"});
  ASSERT_TRUE(zelmar.SetField(5, L"typed 123"));
  std::vector<std::wstring> before;
  for (int i = 0; i < 12; ++i) before.push_back(zelmar.Field(i));
  before.push_back(zelmar.Result());

  struct Way {
    WPARAM command;
    const char* close;
  };
  for (const Way way : {Way{0x0010, "ok"}, Way{0x001F, "escape"},
                        Way{0x0013, "enter"}, Way{0x0010 | 0x000A, "close"}}) {
    SCOPED_TRACE(std::string("command ") + std::to_string(way.command) + ", " +
                 way.close);
    PostMessageW(zelmar.dialog(), WM_SYSCOMMAND, way.command, 0);
    HWND about = WaitForAbout(zelmar);
    ASSERT_NE(about, nullptr) << "about box did not open";
    CheckAboutBox(zelmar, about);
    const std::string how = way.close;
    if (how == "ok") {
      PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
    } else if (how == "close") {
      PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      ASSERT_TRUE(zelmar.BringToFront(about));
      PressKey(how == "escape" ? VK_ESCAPE : VK_RETURN);
    }
    ASSERT_TRUE(WaitAboutClosed(zelmar));
    EXPECT_TRUE(zelmar.Running());
    for (int i = 0; i < 12; ++i)
      EXPECT_EQ(zelmar.Field(i), before[i]) << "F" << i + 1;
    EXPECT_EQ(zelmar.Result(), before[12]);
  }
  // Command 0x0020 is no about command: it must not open the box.
  PostMessageW(zelmar.dialog(), WM_SYSCOMMAND, 0x0020, 0);
  Sleep(300);
  EXPECT_EQ(FindTopLevel(zelmar.pid(), L"#32770", kAboutCaption), nullptr);
}

}  // namespace
}  // namespace zelmar_gui
