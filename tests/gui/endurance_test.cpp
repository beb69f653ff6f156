// Endurance: 10,000 Calculate and Clear presses and 100 about boxes must not
// leak GDI objects, USER objects or kernel handles in Zelmar's process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "zelmar/engine.h"
#include "zelmar_fixture.h"
#include "zelmar_texts.h"

namespace zelmar_gui {
namespace {

struct Counts {
  long long gdi = -1, user = -1, handles = -1;  // seen from this process
  long long gdiInside = -1, userInside = -1, handlesInside = -1;  // probe
};

Counts Measure(ZelmarSession& z) {
  Counts c;
  c.gdi = GetGuiResources(z.process(), GR_GDIOBJECTS);
  c.user = GetGuiResources(z.process(), GR_USEROBJECTS);
  DWORD handles = 0;
  if (GetProcessHandleCount(z.process(), &handles)) c.handles = handles;
  ProbeReply reply{};
  if (z.Query(ProbeCommand::kResourceCounts, reply)) {
    c.gdiInside = reply.values[0];
    c.userInside = reply.values[1];
    c.handlesInside = reply.values[2];
  }
  return c;
}

void Print(const char* when, const Counts& c) {
  std::printf(
      "%s: GDI %lld/%lld, USER %lld/%lld, handles %lld/%lld (outside/inside)\n",
      when, c.gdi, c.gdiInside, c.user, c.userInside, c.handles,
      c.handlesInside);
}

void Rounds(ZelmarSession& z, int count) {
  const Texts texts = {L"806.250", L"806.125", L"806.000", L"806.500"};
  const std::wstring expected = FromUtf8(RunEngine(texts).resultText);
  for (int i = 0; i < count; ++i) {
    // Every tenth run checks a full set; the others check an empty one,
    // which keeps the endurance run within a few minutes under Wine.
    if (i % 10 == 0) {
      for (int f = 0; f < 4; ++f) ASSERT_TRUE(z.SetField(f, texts[f]));
    }
    ASSERT_TRUE(z.Command(kIdOk));
    if (i % 1000 == 0) {
      ASSERT_EQ(z.Result(), expected) << "round " << i;
    }
    ASSERT_TRUE(z.Command(kIdClear));
  }
  ASSERT_EQ(z.Result(), L"");
}

void AboutBoxes(ZelmarSession& z, int count) {
  for (int i = 0; i < count; ++i) {
    PostMessageW(z.dialog(), WM_SYSCOMMAND, kIdmAboutBox, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      about = FindTopLevel(z.pid(), L"#32770", kAboutCaption);
      return about != nullptr;
    })) << "about box "
        << i;
    PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
    ASSERT_TRUE(WaitFor([&] {
      return !IsWindow(about) && IsWindowEnabled(z.dialog());
    })) << "about box "
        << i << " did not close";
  }
}

void ExpectNoGrowth(const char* what, long long before, long long after,
                    long long slack) {
  if (before < 0 || after < 0) {
    std::printf("%s: not available on this platform\n", what);
    return;
  }
  EXPECT_LE(after, before + slack)
      << what << " grew from " << before << " to " << after;
}

using Endurance = ZelmarTest;

TEST_F(Endurance, CalculateClearAndAboutBoxDoNotLeak) {
  InjectProbe();
  const ULONGLONG start = GetTickCount64();
  Rounds(zelmar, 200);  // warm-up: caches, fonts, edit buffers
  AboutBoxes(zelmar, 5);
  const Counts warm = Measure(zelmar);
  Print("after warm-up", warm);
  Rounds(zelmar, 10000);
  const Counts afterRounds = Measure(zelmar);
  Print("after 10000 Calculate+Clear", afterRounds);
  AboutBoxes(zelmar, 100);
  const Counts end = Measure(zelmar);
  Print("after 100 about boxes", end);
  std::printf("endurance took %llu s\n", (GetTickCount64() - start) / 1000);
  if (warm.gdi == 0 && warm.user == 0) {
    std::printf(
        "GetGuiResources gives 0 here: GUI object leaks are not measurable\n");
  }
  if (warm.handles == 0 && warm.handlesInside == 0) {
    std::printf(
        "GetProcessHandleCount gives 0 here: handle leaks are not "
        "measurable\n");
  }
  const long long slack = 8;
  ExpectNoGrowth("GDI objects", warm.gdi, end.gdi, slack);
  ExpectNoGrowth("USER objects", warm.user, end.user, slack);
  ExpectNoGrowth("handles", warm.handles, end.handles, slack);
  ExpectNoGrowth("GDI objects (inside)", warm.gdiInside, end.gdiInside, slack);
  ExpectNoGrowth("USER objects (inside)", warm.userInside, end.userInside,
                 slack);
  ExpectNoGrowth("handles (inside)", warm.handlesInside, end.handlesInside,
                 slack);
  EXPECT_TRUE(zelmar.Running());
}

}  // namespace
}  // namespace zelmar_gui
