// For the fuzz build only: qpdf 11.3's headers do not compile with clang 14 in C++20
// (JSON.hh destroys a vector of a type not yet complete), so the one file that includes
// them, labelfit/write.cpp, is compiled as C++17 with this in front of it. It gives the
// std::span that labelfit.h uses with the standard library's own template signature and
// layout (a pointer, then the count), so that the functions and records it passes link
// and agree with the C++20 files around it.
#pragma once

#if __cplusplus < 202002L
#include <array>
#include <cstddef>
#include <iterator>
#include <type_traits>
#include <vector>

namespace std {

inline constexpr size_t dynamic_extent = static_cast<size_t>(-1);

template <typename T, size_t Extent = dynamic_extent>
class span {
  static_assert(Extent == dynamic_extent, "only spans of dynamic extent");

 public:
  using element_type = T;
  using value_type = remove_cv_t<T>;
  using size_type = size_t;
  using pointer = T *;
  using reference = T &;
  using iterator = T *;

  constexpr span() noexcept = default;
  constexpr span(T *data, size_t count) noexcept : data_(data), size_(count) {}
  template <typename U, typename A, typename = enable_if_t<is_convertible_v<U (*)[], T (*)[]>>>
  span(vector<U, A> &v) noexcept : data_(v.data()), size_(v.size()) {}
  template <typename U, typename A, typename = enable_if_t<is_convertible_v<const U (*)[], T (*)[]>>>
  span(const vector<U, A> &v) noexcept : data_(v.data()), size_(v.size()) {}

  constexpr T *data() const noexcept { return data_; }
  constexpr size_t size() const noexcept { return size_; }
  constexpr bool empty() const noexcept { return size_ == 0; }
  constexpr T &operator[](size_t i) const noexcept { return data_[i]; }
  constexpr T *begin() const noexcept { return data_; }
  constexpr T *end() const noexcept { return data_ + size_; }
  constexpr span subspan(size_t offset, size_t count = dynamic_extent) const noexcept {
    return {data_ + offset, count == dynamic_extent ? size_ - offset : count};
  }

 private:
  T *data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace std
#endif
