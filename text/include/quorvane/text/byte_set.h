// ByteSet: a counted run of bytes (length 0 or more) that may hold zero bytes.
// It carries UTF-16LE strings, HTTP bodies and file contents. A
// default-constructed ByteSet is the empty byte set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quorvane/text/fatal_allocator.h"
#include "quorvane/text/text.h"

namespace quorvane {

class ByteSet {
 public:
  using Storage = std::basic_string<char, std::char_traits<char>, FatalOnFailureAllocator<char>>;

  ByteSet() = default;
  explicit ByteSet(std::string_view bytes) : bytes_(bytes.data(), bytes.size()) {}

  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  const unsigned char* Data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  unsigned char* MutableData() { return reinterpret_cast<unsigned char*>(bytes_.data()); }
  int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
  bool Empty() const { return bytes_.empty(); }

  // Appends in place, amortised linear.
  ByteSet& Append(std::string_view bytes) {
    bytes_.append(bytes.data(), bytes.size());
    return *this;
  }
  ByteSet& Append(const ByteSet& other) { return Append(other.View()); }
  void Reserve(int64_t bytes) { bytes_.reserve(static_cast<std::size_t>(bytes > 0 ? bytes : 0)); }
  void Resize(int64_t bytes) { bytes_.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0)); }

  friend bool operator==(const ByteSet& a, const ByteSet& b) { return a.bytes_ == b.bytes_; }

 private:
  Storage bytes_;
};

// Number of bytes (a byte set above 2 GiB reports INT32_MAX).
int32_t BytesLength(const ByteSet& bytes);
// count zero bytes; count <= 0 gives the empty byte set.
ByteSet BlankBytes(int32_t count);
// The first min(count, length) bytes; count <= 0 gives the empty byte set.
ByteSet BytesLeft(const ByteSet& bytes, int32_t count);
// The bytes of the text, without its terminator.
ByteSet ToBytes(const Text& text);
// A copy (the byte-set form of ToBytes).
ByteSet ToBytes(const ByteSet& bytes);
// The bytes before the first zero byte, or all bytes when none is zero.
Text BytesToText(const ByteSet& bytes);
// A copy of count bytes read at address; count <= 0 or a null address gives
// the empty byte set.
ByteSet BytesFromPointer(const void* address, int32_t count);

// The byte sets joined in order, in one allocation.
template <typename... Sets>
ByteSet ConcatBytes(const Sets&... sets) {
  ByteSet joined;
  joined.Reserve((int64_t{0} + ... + sets.Size()));
  (joined.Append(sets), ...);
  return joined;
}

}  // namespace quorvane
