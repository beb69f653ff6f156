// Close-spacing check of neighbouring slots: the inclusive threshold on the
// computed difference, same-frequency lines, empty, negative and infinite
// slots.
#include "test_support.h"

namespace zelmar_test {
namespace {

// The lines of this one check, as a run renders them.
std::string Spacing(const FrequencySet& s) {
  zelmar::Findings findings;
  zelmar::FindSpacing(s, findings);
  return zelmar::RenderReport(findings);
}

struct SpacingCase {
  FrequencySet slots;
  std::vector<std::string> lines;
};

TEST(CheckSpacing, EdgeCases) {
  const std::vector<SpacingCase> cases = {
      {Set({806.125, 806.250}), {"●F1とF2は、0.125MHz接近しています。\r\n"}},
      {Set({800.000, 800.125}), {CloseLine(1, "0.125")}},
      {Set({806.125, 806.125}), {"●F1とF2は、同一周波数です。\r\n"}},
      {Set({806.125, 806.125, 806.125}),
       {"●F1とF2は、同一周波数です。\r\n", "●F2とF3は、同一周波数です。\r\n"}},
      // Both computed distances are 0.10000000000002274.
      {Set({806.000, 806.100, 806.200}),
       {CloseLine(1, "0.100"), CloseLine(2, "0.100")}},
      // Exactly 0.0625, a tie that rounds up.
      {Set({806.125, 806.1875}), {CloseLine(1, "0.063")}},
      {Set({806.000, 806.126}), {}},
      // Across 512 the difference of texts 0.125 apart falls on either side.
      {Set({511.877, 512.002}), {CloseLine(1, "0.125")}},
      {Set({511.878, 512.003}), {}},
      {Set({806.125}), {}},
      {Set({}), {}},
      // Negative values: the second pair is -0.05 and an empty slot.
      {Set({-0.10, -0.05}), {CloseLine(1, "0.050"), CloseLine(2, "0.050")}},
      {Set({-5, -5}), {}},
      {Set({-5, -5, 0, 0}), {}},
      {Set({0.0, 0.1}), {CloseLine(1, "0.100")}},
      {Set({-1, 0.0, 0.1, 5}), {CloseLine(2, "0.100")}},
      {Set({-1, -0.0, 0.1, 5}), {CloseLine(2, "0.100")}},
      // The highest pair, and a positive slot followed by empty ones.
      {Set({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 806.0, 806.125}),
       {CloseLine(11, "0.125")}},
      {Set({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 806.0, 806.0}), {SameLine(11)}},
      // inf - inf is no number: not close, but the values are equal.
      {Set({806.000, kInf, kInf}), {SameLine(2)}},
      {Set({-kInf, -kInf}), {}},
      {Set({806.0, kInf}), {}},
      // Prints 0.000 yet is close, not the same frequency.
      {Set({806.125, 806.1254}), {CloseLine(1, "0.000")}},
      {Set({5e-324, 1e-323}), {CloseLine(1, "0.000")}},
      // Not sorted: a falling pair has a negative difference.
      {Set({806.25, 806.125}), {}},
      {Set({806.125, 806.25, 806.375, 806.5, 806.625, 806.75, 806.875, 807.0,
            807.125, 807.25, 807.375, 807.5}),
       {CloseLine(1, "0.125"), CloseLine(2, "0.125"), CloseLine(3, "0.125"),
        CloseLine(4, "0.125"), CloseLine(5, "0.125"), CloseLine(6, "0.125"),
        CloseLine(7, "0.125"), CloseLine(8, "0.125"), CloseLine(9, "0.125"),
        CloseLine(10, "0.125"), CloseLine(11, "0.125")}},
      {Set({1, 1.05, 1.05, 3, 3.125, 3.2, 3.2, 3.2}),
       {CloseLine(1, "0.050"), SameLine(2), CloseLine(4, "0.125"),
        CloseLine(5, "0.075"), SameLine(6), SameLine(7)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.slots));
    EXPECT_EQ(Join(c.lines), Spacing(c.slots));
  }
}

// Random sets near the threshold against the direct reading of the rules.
TEST(CheckSpacing, MatchesRulesOnRandomSets) {
  const std::vector<double> grid = {0.0,     -0.0,    -0.05,   -0.1,    0.1,
                                    kInf,    -kInf,   806.0,   806.1,   806.125,
                                    806.2,   806.25,  806.375, 511.877, 512.002,
                                    511.878, 512.003, 806.1254};
  auto rng = Rng(0x5eed0301);
  for (int iteration = 0; iteration < 3000; ++iteration) {
    FrequencySet s;
    for (auto& v : s) v = grid[rng() % grid.size()];
    if (iteration % 2 == 0) std::sort(s.begin(), s.end());
    SCOPED_TRACE(::testing::PrintToString(s));
    ASSERT_EQ(ModelSpacing(s), Spacing(s));
  }
}

}  // namespace
}  // namespace zelmar_test
