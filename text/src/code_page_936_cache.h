// A cache of what the code page 936 converter gives for each character, and
// the conversions that run through it.
//
// The cache is filled once from the converter itself and holds only answers
// that do not depend on the characters around them: plain ASCII, two-byte
// characters that read as one unit, and BMP units that write as one or two
// bytes. Everything else (reading: the bytes 0x80 and 0xFF, broken or
// undefined pairs; writing: surrogates, units without an exact form) is left
// to the converter: the walks below stop in front of such a character and the
// caller hands the converter a piece that begins and ends on character
// boundaries, then walks on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorvane {

struct CodePage936Reading {
  // The unit of the two bytes lead, second (lead 0x80 or above) at
  // PairIndex(lead, second); 0 where the converter must decide.
  std::array<char16_t, 0x8000> pairUnits{};

  static constexpr std::size_t PairIndex(unsigned lead, unsigned second) {
    return ((lead & 0x7Fu) << 8) | second;
  }
};

struct CodePage936Writing {
  // Per BMP unit: 0 where the converter must decide, a value below 0x100 for
  // a one-byte character, lead * 256 + second for a two-byte one.
  std::array<uint16_t, 0x10000> unitBytes{};
};

// Reads bytes from `next` on for as long as the cache knows every character,
// writing one unit per character to `out` (which has room for one unit per
// byte left), and moves `next` past them. Stops at the end or in front of the
// first character the converter must read. Returns the units written.
std::size_t ReadCachedCharacters(const CodePage936Reading& cache, std::string_view bytes,
                                 std::size_t& next, char16_t* out);

// Where the converter's piece that starts at `start` ends: at the next byte
// below 0x40 or at the end. Such a byte is never a second byte, so the
// converter begins a new character there whatever came before it (a cache is
// only built when the converter shows this for every byte pair).
std::size_t UndecidedPieceEnd(std::string_view bytes, std::size_t start);

// Writes units (holding no zero unit) from `next` on for as long as the cache
// knows every unit and `room` bytes of `out` suffice, and moves `next` past
// them. Returns the bytes written.
std::size_t WriteCachedCharacters(const CodePage936Writing& cache, std::u16string_view units,
                                  std::size_t& next, char* out, std::size_t room);

// Whether the cache knows how unit is written.
inline bool IsCached(const CodePage936Writing& cache, char16_t unit) {
  return cache.unitBytes[unit] != 0;
}

// Where the converter's run that starts at `start` ends: at the next unit the
// cache knows, or at the end. Known units are never surrogates, so a new
// character begins there.
std::size_t UndecidedRunEnd(const CodePage936Writing& cache, std::u16string_view units,
                            std::size_t start);

// How many of the first `units` two-byte units at bytes (in either byte
// order, at any address) come before the first zero unit.
std::size_t UnitsBeforeZero(const unsigned char* bytes, std::size_t units);

}  // namespace quorvane
