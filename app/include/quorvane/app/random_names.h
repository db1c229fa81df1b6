// Random letter names for saved pictures. Nothing is kept between calls: every draw reads the
// time-stamp counter anew and passes its low 32 bits once through a linear congruential step,
// so the letters cannot be reproduced, only their ranges and case pattern.
#pragma once

#include <cstdint>

#include "quorvane/text/text.h"

namespace quorvane {

// Letter case of RandomLetters: 0 lower case, 1 upper case, any other value alternates
// (odd positions lower case, even positions upper case).
using LetterMode = int32_t;

// A source of counter readings; RandomLetters reads it once per letter.
using CounterReader = uint64_t (*)();

// The draw's arithmetic for one counter reading (its low 32 bits are used):
//   x = reading * 214013 + 2531011 (mod 2^32), r = (x >> 16) & 0x7FFF (0..32767),
//   hi 0 counts as 2147483647, d = hi - lo + 1 taken as unsigned 32 bits,
//   result lo + (r mod d), wrapping to a 32-bit integer.
// So the result never exceeds lo + 32767. A divisor of 0 (hi == lo - 1, or lo == INT32_MIN
// with hi 0 or INT32_MAX: the whole 2^32 circle) gives lo + r, the remainder by 2^32.
// RandomInRangeFromReading(0, 97, 122) == 97 + (38 mod 26) == 109 ('m').
int32_t RandomInRangeFromReading(uint32_t reading, int32_t lo, int32_t hi);

// One draw from the inclusive range lo..hi with a fresh counter reading. Callers pass lo <= hi,
// or hi 0 for "up to 2147483647"; RandomInRange(5, 5) is always 5.
int32_t RandomInRange(int32_t lo = 0, int32_t hi = 0);

// count letters, each a separate draw with its own counter reading from readCounter: 97..122
// for lower case, 65..90 for upper case, chosen by mode. A position p counts as odd when
// fmod(p, 2.0) lies within 1e-7 of 1.0. count < 1 gives the empty text.
// RandomLetters(2, 2) is one lower-case then one upper-case letter.
Text RandomLetters(int32_t count, LetterMode mode, CounterReader readCounter);
Text RandomLetters(int32_t count = 0, LetterMode mode = 0);

}  // namespace quorvane
