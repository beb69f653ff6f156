// Buffers of whole cache lines. Each worker of a search writes its own
// buffers on every node; two workers' buffers that shared a line would
// pass it back and forth between the cores, and a search on two threads
// was seen to run no faster than on one where the heap happened to lay
// them side by side.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace zelmar::plan {

inline constexpr std::size_t kCacheLine = 64;

template <class T>
struct LineAllocator {
  using value_type = T;
  LineAllocator() = default;
  template <class U>
  explicit LineAllocator(const LineAllocator<U>&) {}
  static std::size_t Bytes(std::size_t n) {
    return (n * sizeof(T) + kCacheLine - 1) / kCacheLine * kCacheLine;
  }
  T* allocate(std::size_t n) {
    return static_cast<T*>(
        ::operator new (Bytes(n), std::align_val_t{kCacheLine}));
  }
  // The unsized form: clang leaves sized deallocation off by default.
  void deallocate(T* p, std::size_t) {
    ::operator delete (p, std::align_val_t{kCacheLine});
  }
  friend bool operator==(const LineAllocator&, const LineAllocator&) {
    return true;
  }
};

template <class T>
using LineVector = std::vector<T, LineAllocator<T>>;

}  // namespace zelmar::plan
