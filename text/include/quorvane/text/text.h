// Text: a byte string in code page 936 (GBK) that never holds a zero byte.
//
// A byte below 0x80 is a one-byte character; a byte of 0x80 or above is the
// lead byte of a two-byte character. Lengths and positions count bytes;
// positions count from 1. A default-constructed Text is the empty text, so a
// variable that holds nothing reads as the empty text everywhere.
//
// Every operation reads its arguments without changing them and returns a new
// value. None throws: a failed allocation ends the program through FatalError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quorvane/text/fatal_allocator.h"

namespace quorvane {

class Text {
 public:
  using Storage = std::basic_string<char, std::char_traits<char>, FatalOnFailureAllocator<char>>;

  Text() = default;
  // The bytes up to (not including) the first zero byte; null gives the empty text.
  Text(const char* zeroTerminated);  // NOLINT(google-explicit-constructor): literals read naturally
  // The bytes up to the first zero byte, or all of them when none is zero.
  explicit Text(std::string_view bytes);

  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  const char* CStr() const { return bytes_.c_str(); }
  int32_t Length() const { return static_cast<int32_t>(bytes_.size()); }
  bool Empty() const { return bytes_.empty(); }
  // The byte at a 0-based offset; the caller keeps the offset below Length().
  unsigned char ByteAt(int32_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }

  // Appends in place, amortised linear: the way to build a long text piece by piece.
  // Bytes from the first zero byte on are not appended.
  Text& Append(std::string_view bytes);
  Text& Append(const Text& other) { return Append(other.View()); }
  // Lets literals be appended (and passed to ConcatText) without ambiguity.
  Text& Append(const char* zeroTerminated) {
    return zeroTerminated == nullptr ? *this : Append(std::string_view(zeroTerminated));
  }
  Text& AppendByte(unsigned char byte);  // a zero byte appends nothing
  void Reserve(int32_t bytes);

  friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }

 private:
  Storage bytes_;
};

// ---- lengths and byte-counted parts (these may split a two-byte character) ----

int32_t TextLength(const Text& text);
// The first min(count, length) bytes; count <= 0 gives the empty text.
Text TextLeft(const Text& text, int32_t count);
// The last min(count, length) bytes; count <= 0 gives the empty text.
Text TextRight(const Text& text, int32_t count);
// min(count, length - start + 1) bytes from the 1-based start; start < 1,
// start > length or count <= 0 give the empty text.
Text TextMid(const Text& text, int32_t start, int32_t count);

// ---- character walks (never match at the second byte of a two-byte character) ----

// 1-based position of the first occurrence of target at or after start, or -1.
// start <= 0 searches from the first byte (omitted start counts as 1); the walk
// begins at offset start-1 even when that is a second byte. An empty target
// gives 1 whenever anything is searched (start within the text), else -1.
// ignoreCase folds ASCII letters only (also as second bytes). A broken pair
// (lead byte as last byte) is compared at its own offset, then the walk ends.
int32_t FindText(const Text& text, const Text& target, int32_t start = 1, bool ignoreCase = false);

// Every occurrence of target replaced, left to right, never overlapping and
// never searched again. An empty text or empty target gives the text unchanged.
// caseSensitive false folds ASCII letters. A broken pair met by the walk is
// dropped and ends the walk.
Text ReplaceText(const Text& text, const Text& target, const Text& replacement = Text(),
                 bool caseSensitive = false);

class TextArray;
// The pieces between exact separators. "" gives no members; an empty separator
// gives the whole text as one member; an empty remainder after the last
// separator adds no member ("a;" -> "a"; ";" -> ""; "a;;b" -> "a","","b").
TextArray SplitText(const Text& text, const Text& separator);

// Spaces are the byte 0x20 and the full-width space A1 A1; nothing else.
// Leading and trailing spaces removed; a broken pair at the end is cut off and
// the spaces directly before it then stay.
Text TrimSpaces(const Text& text);
// Every space removed; a broken pair at the end is dropped.
Text RemoveSpaces(const Text& text);

// 0 when equal, else -1 or 1 comparing character units (lead*256+second for a
// two-byte character). caseSensitive false upper-cases ASCII letters and
// two-byte characters (through their Unicode upper-case form) first.
int32_t CompareText(const Text& a, const Text& b, bool caseSensitive);
// Same length and the same bytes.
bool TextEquals(const Text& a, const Text& b);

// The texts joined in order, in one allocation.
template <typename... Texts>
Text ConcatText(const Texts&... texts) {
  Text joined;
  joined.Reserve((0 + ... + TextLength(texts)));
  (joined.Append(texts), ...);
  return joined;
}

// A one-byte text holding that byte; 0 gives the empty text.
Text CharFromCode(unsigned char code);

}  // namespace quorvane
