// Third-order intermodulation check: the exact lines and their order for the
// documented cases, all 440 line texts, and a brute-force comparison on
// random sets where hits are frequent.
#include "test_support.h"

namespace zelmar_test {
namespace {

// The lines of this one check, as a run renders them.
std::string Intermod(const FrequencySet& s) {
  zelmar::Findings findings;
  zelmar::FindIntermodulation(s, findings);
  return zelmar::RenderReport(findings);
}

struct IntermodCase {
  FrequencySet slots;
  std::vector<std::string> lines;
};

TEST(CheckIntermodulation, EdgeCases) {
  const std::vector<IntermodCase> cases = {
      {Set({806.125, 806.250, 806.375}),
       {"●F3は、F1とF2の相互変調で混信\r\n",
        "●F1は、F2とF3の相互変調で混信\r\n"}},
      {Set({799.5, 800.0, 800.5, 801.0}),
       {"●F3は、F1とF2の相互変調で混信\r\n",
        "●F4は、F2とF3の相互変調で混信\r\n",
        "●F2は、F3とF4の相互変調で混信\r\n"}},
      {Set({801.0, 801.0, 803.0, 805.0}),
       {"●F4は、F1とF3の相互変調で混信\r\n",
        "●F4は、F2とF3の相互変調で混信\r\n",
        "●F1は、F3とF4の相互変調で混信\r\n"}},
      {Set({806.0, 806.5, 807.5, 809.0}),
       {"●F4は、F1とF3の相互変調で混信\r\n",
        "●F1は、F3とF4の相互変調で混信\r\n"}},
      {Set({800.0, 800.0, 800.0}),
       {"●F3は、F1とF2の相互変調で混信\r\n",
        "●F1は、F2とF3の相互変調で混信\r\n"}},
      {Set({770.1, 770.2, 770.3}), {}},
      {Set({772.480, 772.507, 772.534}), {}},
      {Set({100.0, 200.0}), {}},
      {Set({-2.0, 1.0, 4.0}), {"●F1は、F2とF3の相互変調で混信\r\n"}},
      {Set({0.0, 1.0, 2.0}), {"●F1は、F2とF3の相互変調で混信\r\n"}},
      {Set({-0.0, 1.0, 2.0}), {"●F1は、F2とF3の相互変調で混信\r\n"}},
      // Slot 12 as upper victim, slot 1 as lower victim of the last pairs.
      {Set({0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 11, 12}),
       {"●F12は、F10とF11の相互変調で混信\r\n",
        "●F10は、F11とF12の相互変調で混信\r\n"}},
      {Set({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3}),
       {"●F12は、F1とF11の相互変調で混信\r\n",
        "●F1は、F11とF12の相互変調で混信\r\n"}},
      {Set({1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3}),
       {"●F12は、F1とF2の相互変調で混信\r\n",
        "●F1は、F2とF12の相互変調で混信\r\n"}},
      // The check does not assume sorted input. Descending, the pair (2,3)
      // has the upper product 0.0, which hits the empty slot F4.
      {Set({3.0, 2.0, 1.0}),
       {"●F3は、F1とF2の相互変調で混信\r\n",
        "●F4は、F2とF3の相互変調で混信\r\n"}},
      // Infinite products equal infinite victims; inf - inf is no number.
      {Set({1.0, kInf, kInf}), {"●F3は、F1とF2の相互変調で混信\r\n"}},
      {Set({kInf, kInf, kInf}), {}},
      {Set({-kInf, 1.0, 2.0}), {}},
      // The difference is rounded before the product: (2^53 + 2) - 1 ties
      // to 2^53, so the upper product is 2^54, while 2 * (2^53 + 2) - 1
      // would round to 2^54 + 4.
      {Set({1.0, 9007199254740994.0, 18014398509481984.0}),
       {"●F3は、F1とF2の相互変調で混信\r\n"}},
      {Set({1.0, 9007199254740994.0, 18014398509481988.0}), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.slots));
    EXPECT_EQ(Join(c.lines), Intermod(c.slots));
  }
}

TEST(CheckIntermodulation, RasterOfTwelveEighthSteps) {
  FrequencySet s{};
  for (std::size_t i = 0; i < kSlotCount; ++i) s[i] = 806.125 + 0.125 * i;
  const std::string text = Intermod(s);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end;
       (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end + 2 - start));
  ASSERT_EQ(42u, lines.size());
  EXPECT_EQ("●F3は、F1とF2の相互変調で混信\r\n", lines[0]);
  EXPECT_EQ("●F5は、F1とF3の相互変調で混信\r\n", lines[1]);
  EXPECT_EQ("●F7は、F1とF4の相互変調で混信\r\n", lines[2]);
  EXPECT_EQ("●F10は、F11とF12の相互変調で混信\r\n", lines.back());
  EXPECT_NE(std::string::npos, text.find("●F8は、F4とF6の相互変調で混信\r\n"));
  EXPECT_EQ(std::string::npos, text.find("F1とF12"));
  EXPECT_EQ(ModelIntermod(s), text);
}

// Each of the 440 possible lines, forced by a set where slots j and k hold
// 10 and 12 and the victim holds their product; every other slot is empty.
TEST(CheckIntermodulation, EveryVictimAndPairSpelledExactly) {
  int triples = 0;
  for (std::size_t j = 1; j <= kSlotCount; ++j) {
    for (std::size_t k = j + 1; k <= kSlotCount; ++k) {
      for (std::size_t x = 1; x <= kSlotCount; ++x) {
        if (x >= j && x <= k) continue;
        FrequencySet s{};
        s[j - 1] = 10.0;
        s[k - 1] = 12.0;
        s[x - 1] = x > k ? 14.0 : 8.0;
        SCOPED_TRACE(ImLine(x, j, k));
        const std::string text = Intermod(s);
        EXPECT_NE(std::string::npos, text.find(ImLine(x, j, k)));
        EXPECT_EQ(ModelIntermod(s), text);
        ++triples;
      }
    }
  }
  EXPECT_EQ(440, triples);
}

// Splits a report into (victim, j, k) triples; fails on any other text.
struct Triple {
  std::size_t x, j, k;
};
std::vector<Triple> ParseLines(const std::string& text) {
  std::vector<Triple> triples;
  std::size_t pos = 0;
  auto expect = [&](std::string_view piece) {
    if (text.compare(pos, piece.size(), piece) != 0) return false;
    pos += piece.size();
    return true;
  };
  auto label = [&](std::size_t& n) {
    if (!expect("F")) return false;
    n = 0;
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
      n = n * 10 + static_cast<std::size_t>(text[pos++] - '0');
    return pos > start && text[start] != '0' && n >= 1 && n <= kSlotCount;
  };
  while (pos < text.size()) {
    Triple t{};
    const bool ok = expect("●") && label(t.x) && expect("は、") && label(t.j) &&
                    expect("と") && label(t.k) &&
                    expect("の相互変調で混信\r\n");
    if (!ok) {
      ADD_FAILURE() << "malformed line at byte " << pos << " of " << text;
      break;
    }
    triples.push_back(t);
  }
  return triples;
}

// A small grid makes coinciding products common: eighth steps around 806,
// repeats, both zeros, negatives and infinities, in any order.
TEST(CheckIntermodulation, MatchesBruteForceOnRandomSets) {
  std::vector<double> grid = {0.0, -0.0, -0.125, -1.0, kInf, -kInf, 805.5};
  for (int i = -4; i <= 8; ++i) grid.push_back(806.0 + 0.125 * i);
  auto rng = Rng(0x5eed0201);
  int linesSeen = 0;
  for (int iteration = 0; iteration < 6000; ++iteration) {
    FrequencySet s;
    for (auto& v : s) v = grid[rng() % grid.size()];
    if (iteration % 2 == 0) std::sort(s.begin(), s.end());
    SCOPED_TRACE(::testing::PrintToString(s));
    const std::string text = Intermod(s);
    ASSERT_EQ(ModelIntermod(s), text);

    const auto triples = ParseLines(text);
    linesSeen += static_cast<int>(triples.size());
    EXPECT_LE(triples.size(), 65u);
    for (std::size_t i = 0; i < triples.size(); ++i) {
      const auto& t = triples[i];
      EXPECT_LT(t.j, t.k);
      EXPECT_TRUE(t.x < t.j || t.x > t.k) << "victim inside its own pair";
      EXPECT_TRUE(s[t.j - 1] > 0.0 && s[t.k - 1] > 0.0);
      if (i > 0) {  // strictly increasing pairs: one line per pair at most
        const auto& p = triples[i - 1];
        EXPECT_TRUE(p.j < t.j || (p.j == t.j && p.k < t.k));
      }
    }
  }
  EXPECT_GT(linesSeen, 10000);  // the grid really produces hits
}

}  // namespace
}  // namespace zelmar_test
