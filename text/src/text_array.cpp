#include "quorvane/text/text_array.h"

#include "quorvane/text/code_page.h"
#include "quorvane/text/fatal_error.h"

namespace quorvane {

const Text& TextArray::operator[](int32_t index) const {
  if (index < 1) {
    static const Text kBelowOne = TextFromUtf8(u8"数组成员引用下标必须大于等于1");
    FatalError(4, kBelowOne);
  }
  if (index > Size()) {
    static const Text kAboveCount = TextFromUtf8(u8"数组成员引用下标超出定义范围");
    FatalError(1, kAboveCount);
  }
  return members_[static_cast<std::size_t>(index) - 1];
}

}  // namespace quorvane
