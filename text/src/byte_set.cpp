#include "quorvane/text/byte_set.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvane {

int32_t BytesLength(const ByteSet& bytes) {
  return static_cast<int32_t>(std::min<int64_t>(bytes.Size(), std::numeric_limits<int32_t>::max()));
}

ByteSet BlankBytes(int32_t count) {
  ByteSet blank;
  blank.Resize(count);
  return blank;
}

ByteSet BytesLeft(const ByteSet& bytes, int32_t count) {
  if (count <= 0) return ByteSet();
  return ByteSet(bytes.View().substr(0, static_cast<std::size_t>(count)));
}

ByteSet ToBytes(const Text& text) { return ByteSet(text.View()); }

ByteSet ToBytes(const ByteSet& bytes) { return bytes; }

Text BytesToText(const ByteSet& bytes) { return Text(bytes.View()); }

ByteSet BytesFromPointer(const void* address, int32_t count) {
  if (address == nullptr || count <= 0) return ByteSet();
  return ByteSet(
      std::string_view(static_cast<const char*>(address), static_cast<std::size_t>(count)));
}

}  // namespace quorvane
