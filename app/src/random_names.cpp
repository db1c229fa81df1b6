#include "quorvane/app/random_names.h"

#include <cmath>

#include "quorvane/app/time_stamp_counter.h"

namespace quorvane {

int32_t RandomInRangeFromReading(uint32_t reading, int32_t lo, int32_t hi) {
  const uint32_t x = reading * 214013u + 2531011u;  // unsigned: wraps modulo 2^32
  const uint32_t r = (x >> 16) & 0x7FFFu;
  if (hi == 0) hi = 2147483647;
  const uint32_t divisor = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
  // A divisor of 0 stands for the whole 2^32 circle, where the remainder is r itself.
  const uint32_t offset = divisor == 0 ? r : r % divisor;
  return static_cast<int32_t>(static_cast<uint32_t>(lo) + offset);
}

int32_t RandomInRange(int32_t lo, int32_t hi) {
  return RandomInRangeFromReading(static_cast<uint32_t>(ReadTimeStampCounter()), lo, hi);
}

Text RandomLetters(int32_t count, LetterMode mode, CounterReader readCounter) {
  Text letters;
  if (count < 1) return letters;
  letters.Reserve(count);
  for (int32_t position = 1; position <= count; ++position) {
    bool lowerCase;
    if (mode == 0) {
      lowerCase = true;
    } else if (mode == 1) {
      lowerCase = false;
    } else {
      lowerCase = std::fabs(std::fmod(static_cast<double>(position), 2.0) - 1.0) <= 1e-7;
    }
    const uint32_t reading = static_cast<uint32_t>(readCounter());
    const int32_t code = lowerCase ? RandomInRangeFromReading(reading, 97, 122)
                                   : RandomInRangeFromReading(reading, 65, 90);
    letters.AppendByte(static_cast<unsigned char>(code));
  }
  return letters;
}

Text RandomLetters(int32_t count, LetterMode mode) {
  return RandomLetters(count, mode, &ReadTimeStampCounter);
}

}  // namespace quorvane
