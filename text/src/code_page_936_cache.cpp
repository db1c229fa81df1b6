// The walks through the code page 936 cache. Runs of ASCII (which a cache is
// only built for when the converter reads and writes it as itself) go a block
// at a time, with SSE2 where the machine has it; the other characters one at
// a time, without branches on what the character is.
#include <algorithm>
#include <bit>
#include <cstring>

#include "code_page_936_cache.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvane {

namespace {

// Widens ASCII bytes from source[i] on into target, up to the first byte of
// 0x80 or above or the end. A block may write units past the run; target has
// room for one unit per byte left, and the caller writes over them.
void WidenAsciiRun(const unsigned char* source, std::size_t size, std::size_t& i,
                   char16_t*& target) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (size - i >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 8), _mm_unpackhi_epi8(bytes, zero));
    const unsigned highBits = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    if (highBits != 0) {
      const int ascii = std::countr_zero(highBits);
      i += ascii;
      target += ascii;
      return;
    }
    i += 16;
    target += 16;
  }
#else
  while (size - i >= 8) {
    uint64_t eight;
    std::memcpy(&eight, source + i, sizeof eight);
    if ((eight & 0x8080808080808080u) != 0) break;
    for (int k = 0; k < 8; ++k) target[k] = source[i + k];
    i += 8;
    target += 8;
  }
#endif
  while (i < size && source[i] < 0x80) *target++ = source[i++];
}

// Narrows eight units to target when all are ASCII; false (and target
// holding any eight bytes) when one is not.
bool NarrowAsciiBlock(const char16_t* source, char* target) {
#if defined(__SSE2__)
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(target), _mm_packus_epi16(units, units));
  return _mm_movemask_epi8(
             _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80))),
                             _mm_setzero_si128())) == 0xFFFF;
#else
  uint64_t four[2];
  std::memcpy(four, source, sizeof four);
  if (((four[0] | four[1]) & 0xFF80FF80FF80FF80u) != 0) return false;
  for (int k = 0; k < 8; ++k) target[k] = static_cast<char>(source[k]);
  return true;
#endif
}

}  // namespace

std::size_t ReadCachedCharacters(const CodePage936Reading& cache, std::string_view bytes,
                                 std::size_t& next, char16_t* out) {
  const auto* const source = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = next;
  char16_t* target = out;
  bool undecided = false;
  while (i < size && !undecided) {
    WidenAsciiRun(source, size, i, target);
    // Two-byte characters up to the next ASCII byte.
    while (i < size) {
      const unsigned lead = source[i];
      if (lead < 0x80) break;
      const char16_t unit =
          size - i < 2 ? 0 : cache.pairUnits[CodePage936Reading::PairIndex(lead, source[i + 1])];
      if (unit == 0) {
        undecided = true;
        break;
      }
      *target++ = unit;
      i += 2;
    }
  }
  next = i;
  return static_cast<std::size_t>(target - out);
}

std::size_t UndecidedPieceEnd(std::string_view bytes, std::size_t start) {
  if (start >= bytes.size()) return bytes.size();
  const auto end = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(start) + 1, bytes.end(),
                                [](char byte) { return static_cast<unsigned char>(byte) < 0x40; });
  return static_cast<std::size_t>(end - bytes.begin());
}

std::size_t WriteCachedCharacters(const CodePage936Writing& cache, std::u16string_view units,
                                  std::size_t& next, char* out, std::size_t room) {
  const char16_t* const source = units.data();
  const std::size_t size = units.size();
  std::size_t i = next;
  char* target = out;
  const char* const limit = out + room;
  // Eight units at a time: narrowed at once when all are ASCII, else each
  // looked up in the cache. Both bytes of a character are always stored; a
  // one-byte character advances by one, so the next one writes over the second.
  while (size - i >= 8 && limit - target >= 16) {
    if (NarrowAsciiBlock(source + i, target)) {
      i += 8;
      target += 8;
      continue;
    }
    for (const std::size_t blockEnd = i + 8; i < blockEnd; ++i) {
      const uint16_t bytes = cache.unitBytes[source[i]];
      if (bytes == 0) {
        next = i;
        return static_cast<std::size_t>(target - out);
      }
      const bool twoBytes = bytes > 0xFF;
      target[0] = static_cast<char>(twoBytes ? bytes >> 8 : bytes);
      target[1] = static_cast<char>(bytes & 0xFF);
      target += 1 + static_cast<int>(twoBytes);
    }
  }
  for (; i < size; ++i) {
    const uint16_t bytes = cache.unitBytes[source[i]];
    const bool twoBytes = bytes > 0xFF;
    if (bytes == 0 || limit - target < 1 + static_cast<int>(twoBytes)) break;
    if (twoBytes) *target++ = static_cast<char>(bytes >> 8);
    *target++ = static_cast<char>(bytes & 0xFF);
  }
  next = i;
  return static_cast<std::size_t>(target - out);
}

std::size_t UndecidedRunEnd(const CodePage936Writing& cache, std::u16string_view units,
                            std::size_t start) {
  if (start >= units.size()) return units.size();
  const auto end = std::find_if(units.begin() + static_cast<std::ptrdiff_t>(start) + 1, units.end(),
                                [&cache](char16_t unit) { return IsCached(cache, unit); });
  return static_cast<std::size_t>(end - units.begin());
}

std::size_t UnitsBeforeZero(const unsigned char* bytes, std::size_t units) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; units - i >= 8; i += 8) {
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
    const unsigned zeroBytes =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(eight, zero)));
    if (zeroBytes != 0) return i + std::countr_zero(zeroBytes) / 2;
  }
#endif
  while (i < units && (bytes[2 * i] | bytes[2 * i + 1]) != 0) ++i;
  return i;
}

}  // namespace quorvane
