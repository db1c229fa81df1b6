// Random letter names: the draw's arithmetic for given counter readings, and the letters' ranges
// and case pattern with the real counter.
#include <cstdint>
#include <limits>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "quorvane/app/random_names.h"

namespace quorvane {
namespace {

// r for a reading, as the draw computes it: bits 16..30 of reading * 214013 + 2531011.
uint32_t Draw(uint32_t reading) { return ((reading * 214013u + 2531011u) >> 16) & 0x7FFFu; }

TEST(RandomInRangeTest, ArithmeticForAGivenReading) {
  struct Row {
    uint32_t reading;
    int32_t lo, hi;
    int32_t expected;
  };
  const Row rows[] = {
      // x = 2531011, r = 38: 38 mod 26 = 12.
      {0, 97, 122, 109},
      {0, 65, 90, 77},
      // hi 0 means 2147483647: the remainder never cuts r, so the result is lo + r.
      {0, 10, 0, 48},
      {0, 0, 0, 38},
      {0xFFFFFFFFu, 0, 0, static_cast<int32_t>(Draw(0xFFFFFFFFu))},
      // A one-value range.
      {123456789u, 5, 5, 5},
      // The multiply-add wraps modulo 2^32.
      {0x80000000u, 0, 100, static_cast<int32_t>(Draw(0x80000000u) % 101)},
      // Negative bounds: the divisor is taken unsigned.
      {0, -10, 10, -10 + 38 % 21},
      // The divisor 0 (hi == lo - 1) is never divided by: the whole circle, lo + r.
      {0, 100, 99, 138},
      {0, std::numeric_limits<int32_t>::min(), 0, std::numeric_limits<int32_t>::min() + 38},
      // lo + r wraps instead of overflowing.
      {0, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max() - 1,
       std::numeric_limits<int32_t>::min() + 37},
      {0, std::numeric_limits<int32_t>::max(), 0, std::numeric_limits<int32_t>::max()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.reading) + " " + std::to_string(row.lo) + ".." +
                 std::to_string(row.hi));
    EXPECT_EQ(RandomInRangeFromReading(row.reading, row.lo, row.hi), row.expected);
  }
}

// Over all 32768 values of r the 26 letters come up 1261 times (the first eight) or 1260.
TEST(RandomInRangeTest, LetterSpreadOverEveryDrawValue) {
  std::map<int32_t, int> counts;
  // Readings whose x >> 16 runs through 0..32767: x = k << 16, reading = (x - 2531011) / 214013
  // modulo 2^32 (214013 is odd, so it has an inverse).
  uint32_t inverse = 214013u;  // Newton's iteration for the inverse modulo 2^32
  for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
  for (uint32_t k = 0; k < 32768; ++k) {
    const uint32_t reading = ((k << 16) - 2531011u) * inverse;
    ASSERT_EQ(Draw(reading), k);
    ++counts[RandomInRangeFromReading(reading, 97, 122)];
  }
  ASSERT_EQ(counts.size(), 26u);
  for (const auto& [code, count] : counts) {
    SCOPED_TRACE(static_cast<char>(code));
    EXPECT_EQ(count, code < 97 + 8 ? 1261 : 1260);
  }
}

TEST(RandomInRangeTest, RealCounterStaysInRange) {
  for (int i = 0; i < 2000; ++i) {
    const int32_t lower = RandomInRange(97, 122);
    ASSERT_GE(lower, 97);
    ASSERT_LE(lower, 122);
    ASSERT_EQ(RandomInRange(5, 5), 5);
    const int32_t open = RandomInRange(10, 0);
    ASSERT_GE(open, 10);
    ASSERT_LE(open, 32777);
  }
}

TEST(RandomLettersTest, CasePatternByMode) {
  struct Row {
    int32_t count;
    LetterMode mode;
    const char* shape;  // l lower, u upper
  };
  const Row rows[] = {
      {0, 2, ""},     {-3, 0, ""},     {1, 2, "l"},
      {2, 2, "lu"},   {5, 7, "lulul"}, {5, -1, "lulul"},
      {4, 0, "llll"}, {4, 1, "uuuu"},  {15, 2, "lululululululul"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.count) + " mode " + std::to_string(row.mode));
    for (int round = 0; round < 50; ++round) {
      const Text letters = RandomLetters(row.count, row.mode);
      const std::string shape(row.shape);
      ASSERT_EQ(letters.Length(), static_cast<int32_t>(shape.size()));
      for (size_t i = 0; i < shape.size(); ++i) {
        const unsigned char c = letters.ByteAt(static_cast<int32_t>(i));
        if (shape[i] == 'l') {
          ASSERT_TRUE(c >= 'a' && c <= 'z') << letters.View();
        } else {
          ASSERT_TRUE(c >= 'A' && c <= 'Z') << letters.View();
        }
      }
    }
  }
}

// Each letter reads the counter anew, and the letter is the draw of that reading.
TEST(RandomLettersTest, OneCounterReadingPerLetter) {
  const Text letters = RandomLetters(4, 2, [] {
    static uint64_t reading = 0;
    return reading++;
  });
  const std::string expected = {static_cast<char>(RandomInRangeFromReading(0, 97, 122)),
                                static_cast<char>(RandomInRangeFromReading(1, 65, 90)),
                                static_cast<char>(RandomInRangeFromReading(2, 97, 122)),
                                static_cast<char>(RandomInRangeFromReading(3, 65, 90))};
  EXPECT_EQ(letters.View(), expected);
  // Only the low 32 bits of a reading count.
  const Text high = RandomLetters(1, 0, [] { return uint64_t{0x500000000}; });
  EXPECT_EQ(high.View(), "m");
}

}  // namespace
}  // namespace quorvane
