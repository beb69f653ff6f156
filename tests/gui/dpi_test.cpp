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
    ASSERT_TRUE(zelmar.Query(ProbeCommand::kSendDpiChanged, reply,
                             zelmar.dialog(), request));
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
