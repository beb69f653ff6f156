// Number texts, candidate channels and the rules a plan obeys.
#include <algorithm>
#include <limits>
#include <queue>
#include <utility>

#include "zelmar/planner.h"

namespace zelmar::plan {

NumberReading ReadMHz(std::string_view text, bool allow_zero) {
  NumberReading reading;
  const auto fail = [&](NumberError error) {
    reading.khz = 0;
    reading.error = error;
    return reading;
  };
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;  // refused below, as not positive if it is a number
    ++i;
  }
  const std::size_t int_begin = i;
  Khz mhz = 0;
  bool too_large = false;
  while (i < text.size() && is_digit(text[i])) {
    mhz = mhz * 10 + (text[i] - '0');
    if (mhz > kMaxKhz / 1000) {
      too_large = true;
      mhz = kMaxKhz;  // keeps the arithmetic bounded
    }
    ++i;
  }
  if (i == int_begin) return fail(NumberError::kMalformed);
  Khz fraction = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    const std::size_t frac_begin = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    const std::size_t decimals = i - frac_begin;
    if (decimals == 0 || i != text.size()) {
      return fail(NumberError::kMalformed);
    }
    if (decimals > 3) return fail(NumberError::kTooManyDecimals);
    for (std::size_t k = 0; k < 3; ++k) {
      fraction =
          fraction * 10 + (k < decimals ? text[frac_begin + k] - '0' : 0);
    }
  }
  if (i != text.size()) return fail(NumberError::kMalformed);
  if (too_large) return fail(NumberError::kTooLarge);
  const Khz khz = mhz * 1000 + fraction;
  if (negative && (khz != 0 || !allow_zero)) {
    return fail(allow_zero ? NumberError::kNegative
                           : NumberError::kNotPositive);
  }
  if (khz == 0 && !allow_zero) return fail(NumberError::kNotPositive);
  if (khz > kMaxKhz) return fail(NumberError::kTooLarge);
  reading.khz = khz;
  return reading;
}

std::string_view DescribeNumberError(NumberError error) {
  switch (error) {
    case NumberError::kNone:
      return "is fine";
    case NumberError::kMalformed:
      return "is not a number of MHz such as 806.125";
    case NumberError::kTooManyDecimals:
      return "has more than three decimals (1 kHz is the finest step)";
    case NumberError::kNotPositive:
      return "is not above zero";
    case NumberError::kNegative:
      return "is below zero";
    case NumberError::kTooLarge:
      return "is not below 1000000 MHz";
  }
  return "is not a number";
}

std::string FormatKhz(Khz khz) {
  // Products can lie below zero; the magnitude is unsigned so that even the
  // lowest Khz has one.
  const std::uint64_t magnitude = khz < 0 ? 0 - static_cast<std::uint64_t>(khz)
                                          : static_cast<std::uint64_t>(khz);
  std::string text = khz < 0 ? "-" : "";
  text += std::to_string(magnitude / 1000);
  const int fraction = static_cast<int>(magnitude % 1000);
  text += '.';
  text += static_cast<char>('0' + fraction / 100);
  text += static_cast<char>('0' + fraction / 10 % 10);
  text += static_cast<char>('0' + fraction % 10);
  return text;
}

namespace {

// The first channel of `band` at or above `value`, or nullopt.
std::optional<Khz> ChannelAtOrAbove(const Band& band, Khz value) {
  if (value <= band.low) return band.low;
  const Khz steps = (value - band.low + band.step - 1) / band.step;
  const Khz channel = band.low + steps * band.step;
  if (channel > band.high) return std::nullopt;
  return channel;
}

}  // namespace

Candidates BuildCandidates(std::span<const Band> bands,
                           std::span<const Range> excludes, std::size_t cap) {
  // Excluded ranges, sorted and merged, so that one forward pass finds the
  // range around any ascending value.
  std::vector<Range> excluded(excludes.begin(), excludes.end());
  std::sort(excluded.begin(), excluded.end(),
            [](const Range& x, const Range& y) { return x.low < y.low; });
  std::vector<Range> merged;
  for (const Range& r : excluded) {
    if (!merged.empty() && r.low <= merged.back().high + 1) {
      merged.back().high = std::max(merged.back().high, r.high);
    } else {
      merged.push_back(r);
    }
  }

  // A k-way merge of the bands' arithmetic sequences; an excluded range is
  // stepped over in one jump per band, however many channels it holds.
  using Entry = std::pair<Khz, std::size_t>;  // next channel, band index
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  for (std::size_t b = 0; b < bands.size(); ++b) {
    if (bands[b].low <= bands[b].high && bands[b].step > 0) {
      queue.emplace(bands[b].low, b);
    }
  }
  Candidates result;
  std::size_t range = 0;
  while (!queue.empty()) {
    const auto [channel, b] = queue.top();
    queue.pop();
    while (range < merged.size() && merged[range].high < channel) ++range;
    std::optional<Khz> next;
    if (range < merged.size() && merged[range].low <= channel) {
      next = ChannelAtOrAbove(bands[b], merged[range].high + 1);
    } else {
      if (result.channels.empty() || result.channels.back() != channel) {
        if (result.channels.size() == cap) {
          result.too_many = true;
          return result;
        }
        result.channels.push_back(channel);
      }
      if (channel + bands[b].step <= bands[b].high) {
        next = channel + bands[b].step;
      }
    }
    if (next) queue.emplace(*next, b);
  }
  return result;
}

int BBandChannel(Khz khz) {
  if (khz < kBBand.low || khz > kBBand.high) return 0;
  if ((khz - kBBand.low) % kBBand.step != 0) return 0;
  return static_cast<int>((khz - kBBand.low) / kBBand.step) + 1;
}

Range TvChannelRange(int channel) {
  const Khz low = 470'000 + kTvChannelWidth * (channel - kFirstTvChannel);
  return Range{low, low + kTvChannelWidth};
}

std::optional<Band> TvChannelBand(int channel, Khz step, Khz edge) {
  if (channel < kFirstTvChannel || channel > kLastTvChannel || step <= 0 ||
      edge < 0 || edge > kTvChannelWidth) {
    return std::nullopt;
  }
  const Range range = TvChannelRange(channel);
  const Khz from = range.low + edge;  // included
  const Khz to = range.high - edge;   // excluded
  const Khz low = (from + step - 1) / step * step;
  const Khz high = (to - 1) / step * step;  // the last multiple below `to`
  if (to <= from || low > high) return std::nullopt;
  return Band{low, high, step};
}

int TvChannelOf(Khz khz) {
  const Range first = TvChannelRange(kFirstTvChannel);
  const Range last = TvChannelRange(kLastTvChannel);
  if (khz < first.low || khz >= last.high) return 0;
  return kFirstTvChannel +
         static_cast<int>((khz - first.low) / kTvChannelWidth);
}

std::string_view FamilyName(Family family) {
  switch (family) {
    case Family::k2tx3:
      return "2tx3";
    case Family::k3tx3:
      return "3tx3";
    case Family::k2tx5:
      return "2tx5";
  }
  return "?";
}

std::optional<Khz> WindowOf(const Rules& rules, Family family) {
  switch (family) {
    case Family::k2tx3:
      return rules.guard;
    case Family::k3tx3:
      return rules.window_3tx3;
    case Family::k2tx5:
      return rules.window_2tx5;
  }
  return std::nullopt;
}

namespace {

// Calls visit(product) for every product of every family and a carrier not
// used to make it, in a sorted plan; each coincidence once per family (a
// 2tx3 distance |2a - b - c| once, as 2a - b near c with b < c; a 3tx3
// distance |a + b - c - d| once, as a + b - c near d with the pair {a, b}
// holding the smallest of the four and c < d). `visit` returns false to stop.
// Families outside `families` are left out.
template <typename Visit>
void ForEachProduct(const std::vector<Khz>& p,
                    const std::array<bool, kFamilyCount>& families,
                    Visit&& visit) {
  const std::size_t n = p.size();
  const auto at = [&](Family family, std::initializer_list<Khz> carriers,
                      Khz product, Khz victim) {
    Product q;
    q.family = family;
    for (Khz c : carriers) {
      // Insertion into the ascending list (at most three).
      int k = q.carrier_count++;
      for (; k > 0 && q.carriers[k - 1] > c; --k) {
        q.carriers[k] = q.carriers[k - 1];
      }
      q.carriers[k] = c;
    }
    q.product = product;
    q.victim = victim;
    return visit(q);
  };
  for (std::size_t a = 0; a < n && families[0]; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      for (std::size_t c = b + 1; c < n; ++c) {
        if (c == a) continue;
        if (!at(Family::k2tx3, {p[a], p[b]}, 2 * p[a] - p[b], p[c])) return;
      }
    }
  }
  for (std::size_t a = 0; a < n && families[1]; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      for (std::size_t c = a + 1; c < n; ++c) {
        if (c == b) continue;
        for (std::size_t d = c + 1; d < n; ++d) {
          if (d == b) continue;
          if (!at(Family::k3tx3, {p[a], p[b], p[c]}, p[a] + p[b] - p[c],
                  p[d])) {
            return;
          }
        }
      }
    }
  }
  for (std::size_t a = 0; a < n && families[2]; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        if (!at(Family::k2tx5, {p[a], p[b]}, 3 * p[a] - 2 * p[b], p[c])) {
          return;
        }
      }
    }
  }
}

std::vector<Khz> Sorted(std::span<const Khz> plan) {
  std::vector<Khz> sorted(plan.begin(), plan.end());
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

}  // namespace

PlanFigures MeasurePlan(std::span<const Khz> plan) {
  PlanFigures figures;
  ForEachProduct(Sorted(plan), {true, true, true}, [&](const Product& q) {
    const int f = static_cast<int>(q.family);
    if (!figures.margins[f] || q.Distance() < *figures.margins[f]) {
      figures.margins[f] = q.Distance();
      figures.closest[f] = q;
    }
    return true;
  });
  return figures;
}

std::vector<Violation> FindViolations(std::span<const Khz> plan,
                                      const Rules& rules, std::size_t limit) {
  const std::vector<Khz> sorted = Sorted(plan);
  std::vector<Violation> found;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    for (std::size_t j = i + 1; j < sorted.size(); ++j) {
      if (sorted[j] - sorted[i] > rules.spacing) break;
      if (found.size() == limit) return found;
      Violation v;
      v.rule = Violation::Rule::kSpacing;
      v.a = sorted[i];
      v.b = sorted[j];
      found.push_back(v);
    }
  }
  const std::array<bool, kFamilyCount> checked = {
      true, rules.window_3tx3.has_value(), rules.window_2tx5.has_value()};
  ForEachProduct(sorted, checked, [&](const Product& q) {
    const std::optional<Khz> window = WindowOf(rules, q.family);
    if (q.Distance() > *window) return true;
    if (found.size() == limit) return false;
    Violation v;
    v.rule = Violation::Rule::kProducts;
    v.product = q;
    found.push_back(v);
    return true;
  });
  return found;
}

Violation FindViolation(std::span<const Khz> plan, const Rules& rules) {
  const std::vector<Violation> found = FindViolations(plan, rules, 1);
  return found.empty() ? Violation{} : found.front();
}

RequestError CheckRequest(const PlanRequest& request) {
  const int fixed = static_cast<int>(
      std::min<std::size_t>(request.fixed.size(), kMaxCarriers + 1));
  if (request.count < 0 || request.count > kMaxCarriers) {
    return RequestError::kCountTooLarge;
  }
  if (fixed > kMaxCarriers) return RequestError::kTooManyFixed;
  if (request.count > 0 && request.count < fixed) {
    return RequestError::kCountBelowFixed;
  }
  const Rules& rules = request.rules;
  for (const std::optional<Khz>& w :
       {std::optional<Khz>(rules.spacing), std::optional<Khz>(rules.guard),
        rules.window_3tx3, rules.window_2tx5}) {
    if (w && (*w < 0 || *w > kMaxKhz)) {
      return RequestError::kFrequencyOutOfRange;
    }
  }
  if (rules.spacing < kDefaultSpacing) return RequestError::kSpacingBelowCheck;
  for (Khz f : request.fixed) {
    if (f <= 0 || f > kMaxKhz) return RequestError::kFrequencyOutOfRange;
  }
  if (request.candidates.size() > kMaxCandidates) {
    return RequestError::kTooManyCandidates;
  }
  Khz previous = 0;
  for (Khz f : request.candidates) {
    if (f > kMaxKhz) return RequestError::kFrequencyOutOfRange;
    if (f <= previous) return RequestError::kCandidatesUnordered;
    previous = f;
  }
  if (request.group_counts.empty()) {
    if (!request.groups.empty()) return RequestError::kBadGroups;
    return RequestError::kNone;
  }
  if (request.group_counts.size() > kMaxGroups ||
      request.groups.size() != request.candidates.size()) {
    return RequestError::kBadGroups;
  }
  for (std::uint8_t g : request.groups) {
    if (g >= request.group_counts.size()) return RequestError::kBadGroups;
  }
  long long sum = fixed;
  for (int n : request.group_counts) {
    if (n < 1 || n > kMaxCarriers) return RequestError::kBadGroups;
    sum += n;
  }
  if (sum != request.count) return RequestError::kCountNotGroupSum;
  return RequestError::kNone;
}

}  // namespace zelmar::plan
