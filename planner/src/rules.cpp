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
  if (negative) return fail(NumberError::kNotPositive);
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
    case NumberError::kTooLarge:
      return "is not below 1000000 MHz";
  }
  return "is not a number";
}

std::string FormatKhz(Khz khz) {
  std::string text = std::to_string(khz / 1000);
  const int fraction = static_cast<int>(khz % 1000);
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

std::optional<Khz> PlanMargin(std::span<const Khz> plan) {
  std::vector<Khz> sorted(plan.begin(), plan.end());
  std::sort(sorted.begin(), sorted.end());
  if (sorted.size() < 3) return std::nullopt;
  Khz margin = std::numeric_limits<Khz>::max();
  for (std::size_t m = 1; m + 1 < sorted.size(); ++m) {
    for (std::size_t l = 0; l < m; ++l) {
      for (std::size_t r = m + 1; r < sorted.size(); ++r) {
        const Khz d = sorted[l] + sorted[r] - 2 * sorted[m];
        margin = std::min(margin, d < 0 ? -d : d);
      }
    }
  }
  return margin;
}

Violation FindViolation(std::span<const Khz> plan, const Rules& rules) {
  std::vector<Khz> sorted(plan.begin(), plan.end());
  std::sort(sorted.begin(), sorted.end());
  Violation v;
  for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
    if (sorted[i + 1] - sorted[i] <= rules.spacing) {
      v.rule = Violation::Rule::kSpacing;
      v.a = sorted[i];
      v.b = sorted[i + 1];
      return v;
    }
  }
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    for (std::size_t j = i + 1; j < sorted.size(); ++j) {
      for (std::size_t k = 0; k < sorted.size(); ++k) {
        if (k == i || k == j) continue;
        const Khz a = sorted[i], b = sorted[j], c = sorted[k];
        for (const Khz product : {2 * b - a, 2 * a - b}) {
          const Khz d = product > c ? product - c : c - product;
          if (d <= rules.guard) {
            v.rule = Violation::Rule::kProducts;
            v.a = a;
            v.b = b;
            v.victim = c;
            v.product = product;
            return v;
          }
        }
      }
    }
  }
  return v;
}

}  // namespace zelmar::plan
