// The main dialog as it runs: window, controls, layout, tab order, initial
// state, and what only the probe inside Zelmar can read (fonts, icons, dialog
// units, system menu, help request).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "zelmar_fixture.h"

namespace zelmar_gui {
namespace {

// A dialog made in this process from Zelmar's own IDD_MAIN template, with
// Zelmar's manifest active, shows which runtime styles the platform derives
// from the template; Zelmar's windows must carry exactly those.
class ReferenceDialog {
 public:
  ReferenceDialog() {
    module_ = LoadLibraryExW(
        Options().exePath.c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module_ == nullptr) return;
    HRSRC res = FindResourceExW(module_, RT_DIALOG, MAKEINTRESOURCEW(kIddMain),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (res == nullptr) return;
    auto* bytes =
        static_cast<const BYTE*>(LockResource(LoadResource(module_, res)));
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(module_, res));
    DWORD style = 0;
    std::memcpy(&style, copy.data() + 12, 4);  // DLGTEMPLATEEX.style
    style &= ~WS_VISIBLE;                      // never steal the foreground
    std::memcpy(copy.data() + 12, &style, 4);

    ACTCTXW actctx{};
    actctx.cbSize = sizeof(actctx);
    actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    actctx.lpSource = Options().exePath.c_str();
    actctx.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&actctx);
    ULONG_PTR cookie = 0;
    const bool active =
        context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie);
    window_ = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr),
        reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), nullptr, IgnoreMessages,
        0);
    if (active) DeactivateActCtx(0, cookie);
    if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
  }
  ~ReferenceDialog() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HWND window() const { return window_; }

 private:
  static INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
  }

  HMODULE module_ = nullptr;
  HWND window_ = nullptr;
};

using DialogTest = ZelmarTest;

TEST_F(DialogTest, MainWindowClassCaptionAndStyleMatchTemplate) {
  HWND dlg = zelmar.dialog();
  EXPECT_EQ(ClassOf(dlg), L"#32770");
  EXPECT_EQ(TextOf(dlg), L"Zelmar");
  EXPECT_EQ(GetParent(dlg), nullptr);
  EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(dlg, GWL_EXSTYLE));
  // Every template bit is there; no minimise or maximise box, no resizing.
  EXPECT_EQ(style & 0x90C800C0u, 0x90C800C0u) << std::hex << style;
  EXPECT_EQ(
      style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u)
      << std::hex << style;
  EXPECT_NE(exStyle & WS_EX_APPWINDOW, 0u) << std::hex << exStyle;
  EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0u) << std::hex << exStyle;
  EXPECT_TRUE(IsWindowEnabled(dlg));

  ReferenceDialog reference;
  ASSERT_NE(reference.window(), nullptr);
  EXPECT_EQ(style,
            static_cast<DWORD>(GetWindowLongW(reference.window(), GWL_STYLE)) |
                WS_VISIBLE)
      << std::hex << style;
  EXPECT_EQ(exStyle,
            static_cast<DWORD>(GetWindowLongW(reference.window(), GWL_EXSTYLE)))
      << std::hex << exStyle;
}

TEST_F(DialogTest, ThirtyControlsWithIdsClassesStylesAndTexts) {
  const std::vector<HWND> children = ChildrenInOrder(zelmar.dialog());
  ASSERT_EQ(children.size(), 30u);
  ReferenceDialog reference;
  ASSERT_NE(reference.window(), nullptr);
  const std::vector<HWND> refChildren = ChildrenInOrder(reference.window());
  ASSERT_EQ(refChildren.size(), 30u);
  for (std::size_t i = 0; i < 30; ++i) {
    const ControlSpec& spec = kMainControls[i];
    HWND child = children[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1) + " id " +
                 std::to_string(spec.id));
    EXPECT_EQ(GetDlgCtrlID(child), spec.id);
    EXPECT_EQ(ClassOf(child), spec.className);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    const DWORD exStyle =
        static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE));
    EXPECT_EQ(style,
              static_cast<DWORD>(GetWindowLongW(refChildren[i], GWL_STYLE)))
        << std::hex << style << " tabled " << spec.style;
    EXPECT_EQ(exStyle,
              static_cast<DWORD>(GetWindowLongW(refChildren[i], GWL_EXSTYLE)))
        << std::hex << exStyle;
    // Bits the platform never takes away: child, visible, tab stop, group,
    // and the kind of control.
    const DWORD kept = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | 0xFFFF;
    EXPECT_EQ(style & kept, spec.style & kept) << std::hex << style;
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowEnabled(child));
    // The credit line too: one line of text, as the table has it.
    EXPECT_EQ(TextOf(child), spec.text);
  }
}

TEST_F(DialogTest, ControlRectanglesAreTheTabledDialogUnits) {
  InjectProbe();
  HWND dlg = zelmar.dialog();
  ProbeReply reply{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kMapDialogRect, reply, dlg,
                           RECT{0, 0, 371, 210}));
  RECT client{};
  GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, reply.rect.right);
  EXPECT_EQ(client.bottom, reply.rect.bottom);
  // The conversion is not the identity, or this test would prove nothing.
  EXPECT_NE(reply.rect.right, 371);

  const std::vector<HWND> children = ChildrenInOrder(dlg);
  ASSERT_EQ(children.size(), 30u);
  for (std::size_t i = 0; i < 30; ++i) {
    const ControlSpec& spec = kMainControls[i];
    SCOPED_TRACE("control id " + std::to_string(spec.id));
    // Position and size are converted separately, as the dialog manager does.
    ASSERT_TRUE(zelmar.Query(ProbeCommand::kMapDialogRect, reply, dlg,
                             RECT{spec.x, spec.y, spec.w, spec.h}));
    const RECT actual = RectIn(children[i], dlg);
    EXPECT_EQ(actual.left, reply.rect.left);
    EXPECT_EQ(actual.top, reply.rect.top);
    // A label may be widened to hold its text, up to its field.
    const HWND field = zelmar.Item(spec.id - kIdFlabel1 + kIdFreq1);
    if (Options().dpi == 96 || spec.id < kIdFlabel1 ||
        spec.id > kIdFlabel1 + 11)
      EXPECT_EQ(actual.right - actual.left, reply.rect.right);
    else
      EXPECT_LE(actual.right, RectIn(field, dlg).left);
    EXPECT_EQ(actual.bottom - actual.top, reply.rect.bottom);
  }
}

TEST_F(DialogTest, TabOrderCyclesThroughButtonsFieldsClearAndResult) {
  HWND dlg = zelmar.dialog();
  std::vector<int> expected = {1, 2};
  for (int id = 1000; id <= 1011; ++id) expected.push_back(id);
  expected.push_back(1015);
  expected.push_back(1033);
  expected.push_back(1);
  HWND item = zelmar.Item(kIdOk);
  std::vector<int> forward;
  for (std::size_t i = 1; i < expected.size(); ++i) {
    item = GetNextDlgTabItem(dlg, item, FALSE);
    forward.push_back(GetDlgCtrlID(item));
  }
  EXPECT_EQ(forward, std::vector<int>(expected.begin() + 1, expected.end()));
  // Shift+Tab walks the same ring backwards.
  std::vector<int> backward;
  item = zelmar.Item(kIdOk);
  for (std::size_t i = 1; i < expected.size(); ++i) {
    item = GetNextDlgTabItem(dlg, item, TRUE);
    backward.push_back(GetDlgCtrlID(item));
  }
  std::vector<int> reversed(expected.rbegin() + 1, expected.rend());
  EXPECT_EQ(backward, reversed);
}

TEST_F(DialogTest, InitialStateEmptyFieldsHeadingAndFocusOnCalculate) {
  for (int i = 0; i < 12; ++i) EXPECT_EQ(zelmar.Field(i), L"") << "F" << i + 1;
  EXPECT_EQ(zelmar.Result(), L"");
  EXPECT_EQ(TextOf(zelmar.Item(kIdInfo)), L"Infomation");
  EXPECT_EQ(zelmar.Focus(), zelmar.Item(kIdOk));
  DWORD_PTR defId = 0;
  ASSERT_TRUE(SendMessageTimeoutW(zelmar.dialog(), DM_GETDEFID, 0, 0,
                                  SMTO_NORMAL, kWaitTimeoutMs, &defId));
  EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
  EXPECT_EQ(LOWORD(defId), kIdOk);
  EXPECT_EQ(GetForegroundWindow(), zelmar.dialog());
}

TEST_F(DialogTest, HeadingHasItsOwnFontAndOtherControlsTheDialogFont) {
  InjectProbe();
  ProbeReply dialogFont{}, heading{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kFontOf, dialogFont, zelmar.dialog()));
  ASSERT_TRUE(
      zelmar.Query(ProbeCommand::kFontOf, heading, zelmar.Item(kIdInfo)));
  ASSERT_NE(heading.values[0], 0);
  EXPECT_NE(heading.values[0], dialogFont.values[0]);
  const LOGFONTW& lf = heading.font;
  // 30 pixels at 96 DPI, in proportion at the DPI of the run.
  EXPECT_EQ(lf.lfHeight, MulDiv(30, static_cast<int>(Options().dpi), 96));
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfEscapement, 0);
  EXPECT_EQ(lf.lfOrientation, 0);
  EXPECT_EQ(lf.lfWeight, 0);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfUnderline, 0);
  EXPECT_EQ(lf.lfStrikeOut, 0);
  EXPECT_EQ(lf.lfCharSet, 0);
  EXPECT_EQ(lf.lfOutPrecision, 0);
  EXPECT_EQ(lf.lfClipPrecision, 0);
  EXPECT_EQ(lf.lfQuality, 0);
  EXPECT_EQ(lf.lfPitchAndFamily, 0);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"ＭＳゴシック");

  // The template font: 10 point "ＭＳ Ｐゴシック", DEFAULT_CHARSET.
  const LOGFONTW& df = dialogFont.font;
  EXPECT_EQ(std::wstring(df.lfFaceName), L"ＭＳ Ｐゴシック");
  EXPECT_EQ(df.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(df.lfItalic, 0);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(df.lfHeight, -MulDiv(10, dpi, 72));

  for (const ControlSpec& spec : kMainControls) {
    if (spec.id == kIdInfo) continue;
    HWND child = spec.id == -1 ? GetDlgItem(zelmar.dialog(), 0xFFFF)
                               : zelmar.Item(spec.id);
    if (child == nullptr) continue;
    ProbeReply reply{};
    ASSERT_TRUE(zelmar.Query(ProbeCommand::kFontOf, reply, child));
    EXPECT_EQ(reply.values[0], dialogFont.values[0]) << "control " << spec.id;
  }
}

TEST_F(DialogTest, BigAndSmallIconAreTheApplicationIcon) {
  InjectProbe();
  ProbeReply reply{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kIcons, reply, zelmar.dialog()));
  const std::int64_t big = reply.values[0], small = reply.values[1],
                     loaded = reply.values[2], dragged = reply.values[3];
  EXPECT_NE(loaded, 0);
  EXPECT_EQ(big, loaded);
  EXPECT_EQ(small, loaded);
  EXPECT_EQ(dragged, loaded) << "WM_QUERYDRAGICON";
  // The 32 x 32 image, loaded at the system's icon size for the DPI.
  const int size = MulDiv(32, static_cast<int>(Options().dpi), 96);
  EXPECT_EQ(reply.values[4], size);
  EXPECT_EQ(reply.values[5], size);
}

TEST_F(DialogTest, SystemMenuEndsWithSeparatorAndAboutEntry) {
  InjectProbe();
  ProbeReply reply{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kSystemMenu, reply, zelmar.dialog()));
  const int n = reply.menuCount;
  ASSERT_GE(n, 3);
  EXPECT_NE(reply.menuTypes[n - 2] & MFT_SEPARATOR, 0u);
  EXPECT_EQ(reply.menuIds[n - 2], 0u);
  EXPECT_EQ(
      reply.menuTypes[n - 1] & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW),
      0u);
  EXPECT_EQ(reply.menuIds[n - 1], static_cast<UINT>(kIdmAboutBox));
  EXPECT_EQ(std::wstring(reply.menuTexts[n - 1]), kAboutMenuText);
  // Exactly one about entry; the standard Close entry is still there.
  int about = 0, close = 0;
  for (int i = 0; i < n; ++i) {
    about += reply.menuIds[i] == static_cast<UINT>(kIdmAboutBox);
    close += reply.menuIds[i] == SC_CLOSE;
  }
  EXPECT_EQ(about, 1);
  EXPECT_EQ(close, 1);
}

// F1 wherever the focus is, and the help command without a control (from a
// menu or accelerator): each asks once for the program's .HLP file at the
// main dialog's context, and changes nothing in the dialog.
TEST_F(DialogTest, HelpRequestNamesTheProgramsHlpFileAndTemplateContext) {
  InjectProbe();
  ProbeReply reply{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kHookHelp, reply))
      << "no WinHelpA/WinHelpW import in Zelmar.exe";
  std::printf("help import patched: %s\n", Utf16ToUtf8(reply.text).c_str());

  std::wstring expectedFile = Options().exePath;
  expectedFile.erase(expectedFile.find_last_of(L'.'));
  expectedFile += L".HLP";
  auto helpCalls = [&](ProbeReply& record) -> long {
    record = ProbeReply{};
    if (!zelmar.Query(ProbeCommand::kHelpRecord, record)) return -1;
    return static_cast<long>(record.values[0]);
  };
  auto expectCall = [&](long calls, const char* how) {
    SCOPED_TRACE(how);
    ProbeReply record{};
    ASSERT_TRUE(WaitFor([&] { return helpCalls(record) >= calls; }))
        << "no help request";
    EXPECT_EQ(record.values[0], calls) << "exactly one help request";
    EXPECT_EQ(record.values[1], HELP_CONTEXT);
    EXPECT_EQ(record.values[2], 0x20000 + kIddMain);
    const std::wstring file = record.text;
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file.substr(file.size() - 4), L".HLP") << Utf16ToUtf8(file);
    EXPECT_EQ(
        CompareStringOrdinal(file.c_str(), -1, expectedFile.c_str(), -1, TRUE),
        CSTR_EQUAL)
        << Utf16ToUtf8(file) << " vs " << Utf16ToUtf8(expectedFile);
  };

  ASSERT_TRUE(zelmar.BringToFront());
  PressKey(VK_F1);
  expectCall(1, "F1 on Calculate");
  // F1 with the focus in a field asks for the same help.
  SendMessageW(zelmar.dialog(), WM_NEXTDLGCTL,
               reinterpret_cast<WPARAM>(zelmar.Item(kIdFreq1 + 4)), TRUE);
  ASSERT_TRUE(
      WaitFor([&] { return zelmar.Focus() == zelmar.Item(kIdFreq1 + 4); }));
  PressKey(VK_F1);
  expectCall(2, "F1 in F5");
  // And with the focus in the result box.
  SendMessageW(zelmar.dialog(), WM_NEXTDLGCTL,
               reinterpret_cast<WPARAM>(zelmar.Item(kIdResult)), TRUE);
  ASSERT_TRUE(
      WaitFor([&] { return zelmar.Focus() == zelmar.Item(kIdResult); }));
  PressKey(VK_F1);
  expectCall(3, "F1 in the result box");
  // The help command from a menu, without a control.
  ASSERT_TRUE(zelmar.CommandWithoutControl(kIdHelpCommand, 0));
  expectCall(4, "help command without a control");
  // Asking for help changes nothing in the dialog.
  EXPECT_TRUE(zelmar.Running());
  EXPECT_TRUE(IsWindowEnabled(zelmar.dialog()));
  EXPECT_EQ(zelmar.Result(), L"");

  // Calculate commands from a menu or accelerator ask for no help.
  ASSERT_TRUE(zelmar.CommandWithoutControl(kIdOk, 1));
  ASSERT_TRUE(zelmar.CommandWithoutControl(kIdOk, 0));
  EXPECT_EQ(helpCalls(reply), 4);
}

}  // namespace
}  // namespace zelmar_gui
