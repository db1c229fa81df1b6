#include "quorvane/text/byte_set.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Hex;

constexpr std::string_view kWithZeros("a\0b", 3);

TEST(ByteSetTest, LengthsAndBlanks) {
  EXPECT_EQ(BytesLength(ByteSet()), 0);
  EXPECT_EQ(BytesLength(ByteSet(kWithZeros)), 3);
  const struct {
    int32_t count;
    std::string_view expected;
  } rows[] = {
      {-1, ""}, {0, ""}, {1, std::string_view("\0", 1)}, {3, std::string_view("\0\0\0", 3)}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.count);
    EXPECT_EQ(Hex(BlankBytes(row.count).View()), Hex(row.expected));
  }
}

TEST(ByteSetTest, BytesLeft) {
  const ByteSet three(kWithZeros);
  const struct {
    int32_t count;
    std::string_view expected;
  } rows[] = {{10, kWithZeros}, {3, kWithZeros}, {2, kWithZeros.substr(0, 2)}, {0, ""}, {-4, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.count);
    EXPECT_EQ(Hex(BytesLeft(three, row.count).View()), Hex(row.expected));
  }
}

TEST(ByteSetTest, TextAndBytes) {
  const struct {
    const char* name;
    std::string_view bytes;
    std::string_view text;
  } rows[] = {
      {"zero in the middle", kWithZeros, "a"},         {"no zero", "ab", "ab"},
      {"zero first", std::string_view("\0a", 2), ""},  {"empty", "", ""},
      {"two-byte characters", "\xD6\xD0", "\xD6\xD0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(BytesToText(ByteSet(row.bytes)).View(), row.text);
  }
  EXPECT_EQ(ToBytes(Text("\xD6\xD0x")).View(), "\xD6\xD0x");  // no terminator
  EXPECT_EQ(ToBytes(Text()).Size(), 0);
  EXPECT_EQ(ToBytes(ByteSet(kWithZeros)).View(), kWithZeros);
}

TEST(ByteSetTest, BytesFromPointer) {
  const char buffer[] = {'x', 0, 'y', 0};
  EXPECT_EQ(Hex(BytesFromPointer(buffer, 4).View()), "78 00 79 00");
  EXPECT_EQ(BytesFromPointer(buffer, 0).Size(), 0);
  EXPECT_EQ(BytesFromPointer(buffer, -1).Size(), 0);
  EXPECT_EQ(BytesFromPointer(nullptr, 4).Size(), 0);
}

TEST(ByteSetTest, ConcatBytesKeepsZeros) {
  const ByteSet joined =
      ConcatBytes(ByteSet(kWithZeros), ByteSet(), ByteSet(std::string_view("\0", 1)));
  EXPECT_EQ(Hex(joined.View()), "61 00 62 00");
  EXPECT_EQ(ConcatBytes().Size(), 0);
}

TEST(ByteSetTest, AppendingPieceByPieceKeepsEveryByte) {
  ByteSet built;
  for (int i = 0; i < 100000; ++i) built.Append(std::string_view("\0", 1));
  EXPECT_EQ(built.Size(), 100000);
  EXPECT_EQ(built, BlankBytes(100000));
}

}  // namespace
}  // namespace quorvane
