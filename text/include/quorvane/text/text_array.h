// TextArray: an ordered list of texts numbered from 1. Reading a member
// outside 1..count ends the program through FatalError: code 4
// ("数组成员引用下标必须大于等于1") below 1, code 1
// ("数组成员引用下标超出定义范围") above the count.
#pragma once

#include <cstdint>
#include <vector>

#include "quorvane/text/fatal_allocator.h"
#include "quorvane/text/text.h"

namespace quorvane {

class TextArray {
 public:
  TextArray() = default;

  int32_t Size() const { return static_cast<int32_t>(members_.size()); }
  // The member at a 1-based index; out of range ends the program (see above).
  const Text& operator[](int32_t index) const;
  // Adds a copy of the text as the new last member.
  void Append(const Text& text) { members_.push_back(text); }
  void Append(Text&& text) { members_.push_back(std::move(text)); }

  auto begin() const { return members_.begin(); }
  auto end() const { return members_.end(); }

 private:
  std::vector<Text, FatalOnFailureAllocator<Text>> members_;
};

inline int32_t ArraySize(const TextArray& array) { return array.Size(); }
inline void ArrayAppend(TextArray& array, const Text& text) { array.Append(text); }

}  // namespace quorvane
