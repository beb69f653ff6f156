// The dialog at the screen DPI of the run (96, or 144 for 150 % scaling):
// the heading's font keeps its 30 pixels at 96 DPI in proportion, also
// after a DPI change, and the layout fits the client area.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "zelmar_fixture.h"

namespace zelmar_gui {
namespace {

class DpiTest : public ZelmarTest {
 protected:
  LOGFONTW HeadingFont(std::int64_t& handle) {
    ProbeReply reply{};
    EXPECT_TRUE(
        zelmar.Query(ProbeCommand::kFontOf, reply, zelmar.Item(kIdInfo)));
    handle = reply.values[0];
    return reply.font;
  }
  std::int64_t DialogFont() {
    ProbeReply reply{};
    EXPECT_TRUE(zelmar.Query(ProbeCommand::kFontOf, reply, zelmar.dialog()));
    return reply.values[0];
  }
  // The labels F1-F12 whose texts in their own fonts (the ink ends at the
  // extent less the last C width) end beyond their client areas.
  std::string UnfitLabels() {
    std::string unfit;
    HDC screen = GetDC(nullptr);
    for (int id = kIdFlabel1; id < kIdFlabel1 + 12; ++id) {
      HWND label = zelmar.Item(id);
      const std::wstring text = TextOf(label);
      ProbeReply reply{};
      SIZE extent{};
      ABC last{};
      RECT client{};
      if (!text.empty() && zelmar.Query(ProbeCommand::kFontOf, reply, label)) {
        HGDIOBJ old = SelectObject(screen, CreateFontIndirectW(&reply.font));
        GetTextExtentPoint32W(screen, text.c_str(), int(text.size()), &extent);
        GetCharABCWidthsW(screen, text.back(), text.back(), &last);
        DeleteObject(SelectObject(screen, old));
      }
      GetClientRect(label, &client);
      if (extent.cx == 0 || extent.cx - last.abcC > client.right)
        unfit += Utf16ToUtf8(text) + " ";
    }
    ReleaseDC(nullptr, screen);
    return unfit;
  }
};

int HeadingHeight(UINT dpi) { return MulDiv(30, static_cast<int>(dpi), 96); }

TEST_F(DpiTest, HeadingAndLayoutFollowTheScreenDpi) {
  InjectProbe();
  const UINT dpi = Options().dpi;
  ProbeReply reply{};
  ASSERT_TRUE(zelmar.Query(ProbeCommand::kDpiOf, reply, zelmar.dialog()));
  // The run really is at that DPI, or this test would prove nothing.
  EXPECT_EQ(reply.values[1], dpi) << "LOGPIXELSY inside Zelmar";
  if (reply.values[0] != 0) {
    EXPECT_EQ(reply.values[0], dpi) << "GetDpiForWindow";
  }

  std::int64_t handle = 0;
  const LOGFONTW heading = HeadingFont(handle);
  ASSERT_NE(handle, 0);
  EXPECT_NE(handle, DialogFont());
  EXPECT_EQ(heading.lfHeight, HeadingHeight(dpi));
  EXPECT_EQ(std::wstring(heading.lfFaceName), L"ＭＳゴシック");

  RECT client{};
  GetClientRect(zelmar.dialog(), &client);
  for (HWND child : ChildrenInOrder(zelmar.dialog())) {
    SCOPED_TRACE("control id " + std::to_string(GetDlgCtrlID(child)));
    const RECT rect = RectIn(child, zelmar.dialog());
    EXPECT_GE(rect.left, client.left);
    EXPECT_GE(rect.top, client.top);
    EXPECT_LE(rect.right, client.right);
    EXPECT_LE(rect.bottom, client.bottom);
  }
  EXPECT_EQ(UnfitLabels(), "");
}

TEST_F(DpiTest, DpiChangeGivesTheHeadingItsOwnFontAtTheNewSize) {
  InjectProbe();
  const UINT first = Options().dpi;
  const UINT other = first == 192 ? 96 : 192;
  for (const UINT dpi : {other, first}) {
    SCOPED_TRACE("WM_DPICHANGED to " + std::to_string(dpi));
    ProbeReply reply{};
    RECT request{};
    request.left = static_cast<LONG>(dpi);
    for (int id = kIdFlabel1; id < kIdFlabel1 + 12; ++id)
      SetWindowPos(zelmar.Item(id), nullptr, 0, 0, 1, 1,
                   SWP_NOMOVE | SWP_NOZORDER);  // as if laid out anew
    ASSERT_TRUE(zelmar.Query(ProbeCommand::kSendDpiChanged, reply,
                             zelmar.dialog(), request));
    EXPECT_TRUE(WaitFor([&] { return UnfitLabels().empty(); }));
    std::int64_t handle = 0;
    const LOGFONTW heading = HeadingFont(handle);
    ASSERT_NE(handle, 0);
    EXPECT_NE(handle, DialogFont()) << "the heading lost its own font";
    EXPECT_EQ(heading.lfHeight, HeadingHeight(dpi));
    EXPECT_EQ(std::wstring(heading.lfFaceName), L"ＭＳゴシック");
  }
  EXPECT_EQ(TextOf(zelmar.Item(kIdInfo)), L"Infomation");
  EXPECT_TRUE(zelmar.Running());
}

}  // namespace
}  // namespace zelmar_gui
