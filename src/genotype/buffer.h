// An owned, C-allocated array whose allocation failures are results, not
// exceptions, so each phase can show its own message. Shrinking keeps the
// leading contents.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <utility>

template <class T>
struct Buffer {
  T* data = nullptr;
  size_t size = 0;

  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  Buffer(Buffer&& other) noexcept
      : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      std::free(data);
      data = std::exchange(other.data, nullptr);
      size = std::exchange(other.size, 0);
    }
    return *this;
  }
  ~Buffer() { std::free(data); }

  // Replaces the contents by n zero-filled elements. False when out of memory.
  bool allocate_zeroed(size_t n) {
    reset();
    if (n == 0) return true;
    T* p = static_cast<T*>(std::calloc(n, sizeof(T)));
    if (p == nullptr) return false;
    data = p;
    size = n;
    return true;
  }
  // Replaces the contents by n uninitialised elements.
  bool allocate(size_t n) {
    reset();
    if (n == 0) return true;
    T* p = static_cast<T*>(std::malloc(n * sizeof(T)));
    if (p == nullptr) return false;
    data = p;
    size = n;
    return true;
  }
  // Changes the length to n, keeping the first min(n, size) elements.
  bool resize(size_t n) {
    if (n == 0) {
      reset();
      return true;
    }
    T* p = static_cast<T*>(std::realloc(data, n * sizeof(T)));
    if (p == nullptr) return false;
    data = p;
    size = n;
    return true;
  }
  void reset() {
    std::free(data);
    data = nullptr;
    size = 0;
  }
  T& operator[](size_t i) { return data[i]; }
  const T& operator[](size_t i) const { return data[i]; }
};
