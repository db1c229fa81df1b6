#include "quorvane/text/text.h"

#include <algorithm>
#include <cstring>

#include "code_page_case.h"
#include "quorvane/text/text_array.h"
#include "text_walk.h"

namespace quorvane {

namespace text_walk {

namespace {

unsigned char FoldAscii(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

bool IsAsciiLetter(unsigned char byte) {
  const unsigned char lower = byte | 0x20;
  return lower >= 'a' && lower <= 'z';
}

bool EqualsIgnoringCase(const unsigned char* a, const unsigned char* b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (a[i] != b[i] && FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// The next offset in [from, last] holding byte, found with memchr; cached in
// `next` until the walk passes it.
std::size_t NextOccurrence(const unsigned char* data, unsigned char byte, std::size_t from,
                           std::size_t last, std::size_t& next) {
  if (next != kNotFound && next >= from) return next;  // also "none left" (kNotFound - 1)
  const void* hit = std::memchr(data + from, byte, last - from + 1);
  next = hit == nullptr ? kNotFound - 1
                        : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
  return next;
}

}  // namespace

bool IsCharacterStart(std::string_view text, std::size_t from, std::size_t offset) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t runStart = offset;
  while (runStart > from && IsLeadByte(data[runStart - 1])) --runStart;
  // runStart is a character start: either the walk's own start, or the byte
  // before it is below 0x80 and so ends a character. From there every byte is
  // a lead-range byte, so the characters pair them up.
  return ((offset - runStart) & 1) == 0;
}

std::size_t FindAtCharacterStart(std::string_view text, std::string_view target, std::size_t from,
                                 bool ignoreCase) {
  const std::size_t length = text.size();
  const std::size_t targetLength = target.size();
  if (targetLength == 0 || from > length || length - from < targetLength) return kNotFound;
  const std::size_t last = length - targetLength;  // the last offset where target fits
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const auto* wanted = reinterpret_cast<const unsigned char*>(target.data());

  const unsigned char first = wanted[0];
  const bool twoFirsts = ignoreCase && IsAsciiLetter(first);
  const unsigned char upperFirst = twoFirsts ? FoldAscii(first) : first;
  const unsigned char lowerFirst = static_cast<unsigned char>(upperFirst | 0x20);
  // Cached candidate offsets; kNotFound - 1 marks "no more of this byte".
  constexpr std::size_t kExhausted = kNotFound - 1;
  std::size_t nextUpper = kNotFound;
  std::size_t nextLower = kNotFound;

  std::size_t walk = from;  // always a character start
  while (walk <= last) {
    std::size_t candidate = NextOccurrence(data, upperFirst, walk, last, nextUpper);
    if (twoFirsts) {
      candidate = std::min(candidate, NextOccurrence(data, lowerFirst, walk, last, nextLower));
    }
    if (candidate == kExhausted) return kNotFound;
    if (!IsCharacterStart(text, walk, candidate)) {
      walk = candidate + 1;  // candidate is a second byte, so its pair ends there
      continue;
    }
    const bool matches = ignoreCase ? EqualsIgnoringCase(data + candidate, wanted, targetLength)
                                    : std::memcmp(data + candidate, wanted, targetLength) == 0;
    if (matches) return candidate;
    walk = candidate + (IsLeadByte(data[candidate]) ? 2 : 1);
  }
  return kNotFound;
}

std::string_view TrimmedSpacesView(std::string_view text) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t length = text.size();
  auto spaceWidth = [&](std::size_t at) -> std::size_t {
    if (data[at] == 0x20) return 1;
    if (data[at] == 0xA1 && at + 1 < length && data[at + 1] == 0xA1) return 2;
    return 0;
  };
  std::size_t begin = 0;
  while (begin < length) {
    const std::size_t width = spaceWidth(begin);
    if (width == 0) break;
    begin += width;
  }
  std::size_t end = length;
  std::size_t runStart = kNotFound;  // where the latest run of spaces began
  std::size_t at = begin;
  while (at < length) {
    const std::size_t width = spaceWidth(at);
    if (width != 0) {
      if (runStart == kNotFound) runStart = at;
      at += width;
      continue;
    }
    if (IsLeadByte(data[at]) && at + 1 == length) {
      end = at;  // a broken pair is cut off; the spaces before it stay
      runStart = kNotFound;
      break;
    }
    runStart = kNotFound;
    at += IsLeadByte(data[at]) ? 2 : 1;
  }
  if (runStart != kNotFound) end = runStart;
  return text.substr(begin, end - begin);
}

}  // namespace text_walk

using text_walk::IsLeadByte;
using text_walk::kNotFound;

// ---- Text ----

Text::Text(const char* zeroTerminated) {
  if (zeroTerminated != nullptr) bytes_.assign(zeroTerminated);
}

Text::Text(std::string_view bytes) { Append(bytes); }

Text& Text::Append(std::string_view bytes) {
  if (bytes.empty()) return *this;  // an empty view may carry a null pointer, which memchr refuses
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const std::size_t count =
      zero == nullptr ? bytes.size()
                      : static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data());
  bytes_.append(bytes.data(), count);
  return *this;
}

Text& Text::AppendByte(unsigned char byte) {
  if (byte != 0) bytes_.push_back(static_cast<char>(byte));
  return *this;
}

void Text::Reserve(int32_t bytes) {
  if (bytes > 0) bytes_.reserve(static_cast<std::size_t>(bytes));
}

// ---- lengths and byte-counted parts ----

int32_t TextLength(const Text& text) { return text.Length(); }

Text TextLeft(const Text& text, int32_t count) {
  if (count <= 0) return Text();
  return Text(text.View().substr(0, static_cast<std::size_t>(count)));
}

Text TextRight(const Text& text, int32_t count) {
  if (count <= 0) return Text();
  const std::string_view bytes = text.View();
  const std::size_t keep = std::min(bytes.size(), static_cast<std::size_t>(count));
  return Text(bytes.substr(bytes.size() - keep));
}

Text TextMid(const Text& text, int32_t start, int32_t count) {
  if (start < 1 || start > text.Length() || count <= 0) return Text();
  return Text(
      text.View().substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(count)));
}

// ---- character walks ----

int32_t FindText(const Text& text, const Text& target, int32_t start, bool ignoreCase) {
  const int64_t from = std::max<int64_t>(int64_t{start} - 1, 0);
  if (from >= text.Length()) return -1;
  if (target.Empty()) return 1;
  const std::size_t found = text_walk::FindAtCharacterStart(
      text.View(), target.View(), static_cast<std::size_t>(from), ignoreCase);
  return found == kNotFound ? -1 : static_cast<int32_t>(found + 1);
}

Text ReplaceText(const Text& text, const Text& target, const Text& replacement,
                 bool caseSensitive) {
  if (text.Empty() || target.Empty()) return text;
  const std::string_view bytes = text.View();
  const std::size_t targetLength = target.View().size();
  Text result;
  result.Reserve(text.Length());
  std::size_t walk = 0;
  for (;;) {
    const std::size_t found =
        text_walk::FindAtCharacterStart(bytes, target.View(), walk, !caseSensitive);
    if (found == kNotFound) break;
    result.Append(bytes.substr(walk, found - walk));
    result.Append(replacement);
    walk = found + targetLength;
  }
  // No match remains. A one-byte target walks to the very end, where a broken
  // pair is dropped; a longer target stops early and keeps the rest as it is.
  std::size_t end = bytes.size();
  if (targetLength == 1 && walk < end && IsLeadByte(text.ByteAt(static_cast<int32_t>(end - 1))) &&
      text_walk::IsCharacterStart(bytes, walk, end - 1)) {
    --end;
  }
  if (walk < end) result.Append(bytes.substr(walk, end - walk));
  return result;
}

TextArray SplitText(const Text& text, const Text& separator) {
  TextArray pieces;
  if (text.Empty()) return pieces;
  if (separator.Empty()) {
    pieces.Append(text);
    return pieces;
  }
  const std::string_view bytes = text.View();
  const std::size_t separatorLength = separator.View().size();
  std::size_t fieldStart = 0;
  for (;;) {
    const std::size_t found =
        text_walk::FindAtCharacterStart(bytes, separator.View(), fieldStart, false);
    if (found == kNotFound) break;
    pieces.Append(Text(bytes.substr(fieldStart, found - fieldStart)));
    fieldStart = found + separatorLength;
  }
  if (fieldStart < bytes.size()) pieces.Append(Text(bytes.substr(fieldStart)));
  return pieces;
}

Text TrimSpaces(const Text& text) { return Text(text_walk::TrimmedSpacesView(text.View())); }

Text RemoveSpaces(const Text& text) {
  const std::string_view bytes = text.View();
  const std::size_t length = bytes.size();
  Text result;
  result.Reserve(text.Length());
  std::size_t keptFrom = 0;  // start of the run of characters still to copy
  std::size_t at = 0;
  auto flush = [&](std::size_t upTo) {
    if (upTo > keptFrom) result.Append(bytes.substr(keptFrom, upTo - keptFrom));
  };
  while (at < length) {
    const unsigned char byte = text.ByteAt(static_cast<int32_t>(at));
    if (byte == 0x20) {
      flush(at);
      keptFrom = ++at;
    } else if (!IsLeadByte(byte)) {
      ++at;
    } else if (at + 1 == length) {
      break;  // a broken pair at the end is dropped
    } else if (byte == 0xA1 && text.ByteAt(static_cast<int32_t>(at + 1)) == 0xA1) {
      flush(at);
      at += 2;
      keptFrom = at;
    } else {
      at += 2;
    }
  }
  flush(at);
  return result;
}

namespace {

// The next comparison unit of a walk and the offset after it; 0 at the end.
// A broken pair counts as its lead byte times 256.
uint16_t NextUnit(std::string_view bytes, std::size_t& at) {
  if (at >= bytes.size()) return 0;
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (!IsLeadByte(lead)) {
    ++at;
    return lead;
  }
  const unsigned char second =
      at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[at + 1]) : 0;
  at += 2;
  return static_cast<uint16_t>(lead * 256 + second);
}

uint16_t UpperCaseUnit(uint16_t unit) {
  if (unit >= 'a' && unit <= 'z') return static_cast<uint16_t>(unit - 'a' + 'A');
  if (unit >= 0x8000) return UpperCaseDoubleByte(unit);
  return unit;
}

}  // namespace

int32_t CompareText(const Text& a, const Text& b, bool caseSensitive) {
  if (caseSensitive) {
    // Units compare like their bytes: a two-byte unit is above every one-byte
    // unit, as its lead byte is above every one-byte character.
    const int order = a.View().compare(b.View());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  std::size_t atA = 0;
  std::size_t atB = 0;
  for (;;) {
    const uint16_t unitA = UpperCaseUnit(NextUnit(a.View(), atA));
    const uint16_t unitB = UpperCaseUnit(NextUnit(b.View(), atB));
    if (unitA != unitB) return unitA < unitB ? -1 : 1;
    if (unitA == 0) return 0;
  }
}

bool TextEquals(const Text& a, const Text& b) { return a == b; }

Text CharFromCode(unsigned char code) {
  Text text;
  text.AppendByte(code);
  return text;
}

}  // namespace quorvane
