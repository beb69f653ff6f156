// Readings kept with the highest level per key (a frequency, a bin), for the
// scan reader and for merging scans.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "zelmar/show/scan.h"

namespace zelmar::plan {

struct BinKey {
  std::pair<Khz, Khz> operator()(const ScanBin& bin) const {
    return {bin.low, bin.high};
  }
};

// Sorts `items` by key and keeps one item per key, with the highest level.
// Input in key order (a single sweep) is not sorted again.
template <class T, class KeyOf>
void KeepHighest(std::vector<T>& items, KeyOf key) {
  const auto by_key = [&key](const T& a, const T& b) {
    return key(a) < key(b);
  };
  if (!std::is_sorted(items.begin(), items.end(), by_key)) {
    std::sort(items.begin(), items.end(), by_key);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (kept > 0 && key(items[kept - 1]) == key(items[i])) {
      items[kept - 1].dbm = std::max(items[kept - 1].dbm, items[i].dbm);
    } else {
      items[kept++] = items[i];
    }
  }
  items.resize(kept);
}

// Collects readings, at most kMaxScanBins keys. Whenever its storage is full
// and the readings came out of key order (a second sweep), it keeps the
// highest per key in place before growing, so that sweeps read again cost
// time but no memory.
template <class T, class KeyOf>
class HighestPerKey {
 public:
  explicit HighestPerKey(std::size_t expected) { items_.reserve(expected); }

  // False once more than kMaxScanBins keys are known to be held.
  bool Add(const T& item) {
    if (items_.size() == items_.capacity() && !ascending_) {
      KeepHighest(items_, KeyOf{});
      ascending_ = true;
      if (items_.size() > kMaxScanBins) return false;
      // More than half full still: grow now rather than compact again soon.
      if (items_.size() > items_.capacity() / 2) {
        items_.reserve(items_.capacity() * 2);
      }
    }
    if (!items_.empty() && !(KeyOf{}(items_.back()) < KeyOf{}(item))) {
      ascending_ = false;
    }
    items_.push_back(item);
    return !ascending_ || items_.size() <= kMaxScanBins;
  }

  // The readings in key order, one per key; false when more than
  // kMaxScanBins.
  bool Take(std::vector<T>& out) {
    KeepHighest(items_, KeyOf{});
    out = std::move(items_);
    return out.size() <= kMaxScanBins;
  }

 private:
  std::vector<T> items_;
  bool ascending_ = true;  // strictly, so every item has a key of its own
};

}  // namespace zelmar::plan
