// Endurance: 10,000 Calculate and Clear presses and 100 about boxes must not
// leak GDI objects, USER objects or kernel handles in Zelmar's process.
//
// GetGuiResources and GetProcessHandleCount give real numbers on Windows but
// 0 under Wine, so the probe inside Zelmar's process also counts in ways
// that work on both: kernel handles by asking every handle value, windows by
// enumeration, and GDI and USER objects by the highest table slot that a
// fresh batch of objects reaches. At the end the probe leaks objects of each
// kind on purpose, which proves that the counters see such leaks.
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

// Growth allowed between the warmed-up state and the end of the run.
constexpr long long kSlack = 8;
// Objects of each kind the self-check leaks.
constexpr long long kLeak = 50;

struct Counter {
  const char* name;
  bool outside;  // read by the driver; otherwise a probe value
  int index;     // ResourceValue, or 0..2 for GDI/USER/handles outside
};

const Counter kCounters[] = {
    {"GetGuiResources GDI (driver)", true, 0},
    {"GetGuiResources USER (driver)", true, 1},
    {"GetProcessHandleCount (driver)", true, 2},
    {"GetGuiResources GDI", false, kGuiGdi},
    {"GetGuiResources USER", false, kGuiUser},
    {"GetProcessHandleCount", false, kHandleCount},
    {"kernel handles (scan)", false, kHandleScan},
    {"windows", false, kWindows},
    {"GDI high-water slot", false, kGdiHighWater},
    {"USER high-water slot", false, kUserHighWater},
    {"GDI slots in use", false, kGdiSlotsInUse},
};
constexpr int kCounterCount = sizeof(kCounters) / sizeof(kCounters[0]);

struct Counts {
  long long value[kCounterCount];
  long long operator[](int i) const { return value[i]; }
};

int CounterIndex(bool outside, int index) {
  for (int i = 0; i < kCounterCount; ++i)
    if (kCounters[i].outside == outside && kCounters[i].index == index)
      return i;
  return -1;
}

// A counter is usable when the platform gives it a real (non-zero) value.
bool Usable(const Counts& c, int i) { return c[i] > 0; }

::testing::AssertionResult Measure(ZelmarSession& z, Counts& c) {
  long long outside[3] = {GetGuiResources(z.process(), GR_GDIOBJECTS),
                          GetGuiResources(z.process(), GR_USEROBJECTS), -1};
  DWORD handles = 0;
  if (GetProcessHandleCount(z.process(), &handles)) outside[2] = handles;
  ProbeReply reply{};
  if (!z.Query(ProbeCommand::kResourceCounts, reply))
    return ::testing::AssertionFailure() << "the probe gave no counts";
  for (int i = 0; i < kCounterCount; ++i)
    c.value[i] = kCounters[i].outside ? outside[kCounters[i].index]
                                      : reply.values[kCounters[i].index];
  return ::testing::AssertionSuccess();
}

void PrintTable(const std::vector<std::pair<std::string, Counts>>& rows) {
  std::printf("%-32s", "counter");
  for (const auto& row : rows) std::printf(" %12s", row.first.c_str());
  std::printf("\n");
  for (int i = 0; i < kCounterCount; ++i) {
    std::printf("%-32s", kCounters[i].name);
    for (const auto& row : rows) std::printf(" %12lld", row.second[i]);
    std::printf("\n");
  }
}

void Rounds(ZelmarSession& z, int count) {
  const Texts texts = {L"806.250", L"806.125", L"806.000", L"806.500"};
  const std::wstring expected = Utf8ToUtf16(RunEngine(texts).resultText);
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
  ULONGLONG opening = 0, closing = 0;
  for (int i = 0; i < count; ++i) {
    const ULONGLONG t0 = GetTickCount64();
    PostMessageW(z.dialog(), WM_SYSCOMMAND, kIdmAboutBox, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      about = FindTopLevel(z.pid(), L"#32770", kAboutCaption);
      return about != nullptr;
    })) << "about box "
        << i;
    const ULONGLONG t1 = GetTickCount64();
    PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
    ASSERT_TRUE(WaitFor([&] {
      return !IsWindow(about) && IsWindowEnabled(z.dialog());
    })) << "about box "
        << i << " did not close";
    opening += t1 - t0;
    closing += GetTickCount64() - t1;
  }
  std::printf("%d about boxes: %llu ms to open, %llu ms to close each\n", count,
              opening / count, closing / count);
  std::fflush(stdout);
}

void ExpectNoGrowth(const Counts& before, const Counts& after,
                    const char* phase) {
  for (int i = 0; i < kCounterCount; ++i) {
    if (!Usable(before, i)) continue;
    EXPECT_LE(after[i], before[i] + kSlack)
        << kCounters[i].name << " grew from " << before[i] << " to " << after[i]
        << " during " << phase;
  }
}

// Leaks kLeak objects of one kind inside Zelmar and checks that the counters
// meant to see that kind rise by about kLeak.
void ExpectLeakSeen(ZelmarSession& z, const char* kind, RECT leak,
                    std::vector<int> counters, Counts& last,
                    std::vector<std::pair<std::string, Counts>>& rows) {
  SCOPED_TRACE(std::string("deliberate leak of ") + kind);
  ProbeReply reply{};
  ASSERT_TRUE(z.Query(ProbeCommand::kLeak, reply, nullptr, leak));
  ASSERT_EQ(
      reply.values[0] + reply.values[1] + reply.values[2] + reply.values[3],
      kLeak)
      << "the probe could not create the objects";
  Counts now{};
  ASSERT_TRUE(Measure(z, now));
  rows.emplace_back(std::string("+") + kind, now);
  for (int i : counters) {
    if (!Usable(last, i)) continue;
    EXPECT_GE(now[i] - last[i], kLeak - 2)
        << kCounters[i].name << " missed the leak: " << last[i] << " -> "
        << now[i];
    EXPECT_LE(now[i] - last[i], kLeak + kSlack)
        << kCounters[i].name << ": " << last[i] << " -> " << now[i];
  }
  last = now;
}

using Endurance = ZelmarTest;

TEST_F(Endurance, CalculateClearAndAboutBoxDoNotLeak) {
  InjectProbe();
  const ULONGLONG start = GetTickCount64();
  std::vector<std::pair<std::string, Counts>> rows;
  Rounds(zelmar, 200);  // warm-up: caches, fonts, edit buffers
  AboutBoxes(zelmar, 5);
  Counts warm{};
  ASSERT_TRUE(Measure(zelmar, warm));
  rows.emplace_back("warm-up", warm);
  // Counters that work on every platform must have given real values.
  for (int index : {kHandleScan, kWindows, kGdiHighWater, kUserHighWater})
    ASSERT_TRUE(Usable(warm, CounterIndex(false, index)))
        << kCounters[CounterIndex(false, index)].name << " unavailable";

  const ULONGLONG roundsStart = GetTickCount64();
  Rounds(zelmar, 10000);
  std::printf("10000 Calculate+Clear rounds took %llu s\n",
              (GetTickCount64() - roundsStart) / 1000);
  std::fflush(stdout);
  Counts afterRounds{};
  ASSERT_TRUE(Measure(zelmar, afterRounds));
  rows.emplace_back("10000 rounds", afterRounds);
  AboutBoxes(zelmar, 100);
  Counts end{};
  ASSERT_TRUE(Measure(zelmar, end));
  rows.emplace_back("100 about", end);
  ExpectNoGrowth(warm, afterRounds, "10000 Calculate+Clear rounds");
  ExpectNoGrowth(afterRounds, end, "100 about boxes");
  ExpectNoGrowth(warm, end, "the whole run");
  EXPECT_TRUE(zelmar.Running());

  // Self-check: each kind of leak must show in the counters for that kind.
  const int gdi[] = {CounterIndex(true, 0), CounterIndex(false, kGuiGdi),
                     CounterIndex(false, kGdiHighWater),
                     CounterIndex(false, kGdiSlotsInUse)};
  const int handles[] = {CounterIndex(true, 2),
                         CounterIndex(false, kHandleCount),
                         CounterIndex(false, kHandleScan)};
  const int windows[] = {CounterIndex(true, 1), CounterIndex(false, kGuiUser),
                         CounterIndex(false, kWindows),
                         CounterIndex(false, kUserHighWater)};
  const int menus[] = {CounterIndex(true, 1), CounterIndex(false, kGuiUser),
                       CounterIndex(false, kUserHighWater)};
  Counts last = end;
  ExpectLeakSeen(zelmar, "brushes", RECT{kLeak, 0, 0, 0},
                 {std::begin(gdi), std::end(gdi)}, last, rows);
  ExpectLeakSeen(zelmar, "handles", RECT{0, kLeak, 0, 0},
                 {std::begin(handles), std::end(handles)}, last, rows);
  ExpectLeakSeen(zelmar, "windows", RECT{0, 0, kLeak, 0},
                 {std::begin(windows), std::end(windows)}, last, rows);
  ExpectLeakSeen(zelmar, "menus", RECT{0, 0, 0, kLeak},
                 {std::begin(menus), std::end(menus)}, last, rows);
  PrintTable(rows);
  std::printf("endurance took %llu s\n", (GetTickCount64() - start) / 1000);
}

}  // namespace
}  // namespace zelmar_gui
