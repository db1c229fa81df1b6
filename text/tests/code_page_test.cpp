#include "quorvane/text/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Bytes;
using testing_support::Gbk;
using testing_support::Hex;

// ---- AnsiToWide ----

TEST(AnsiToWideTest, KnownPairs) {
  const struct {
    const char* name;
    std::string_view gbk;
    std::string_view utf16le;
  } rows[] = {
      {"empty: no terminator", "", ""},
      {"ASCII", "a", std::string_view("a\0\0\0", 4)},
      {"中", "\xD6\xD0", std::string_view("\x2D\x4E\0\0", 4)},
      {"full-width space", "\xA1\xA1", std::string_view("\x00\x30\0\0", 4)},
      {"0x80 is the euro sign", "\x80", std::string_view("\xAC\x20\0\0", 4)},
      {"mixed", "a\xD6\xD0z", std::string_view("a\0\x2D\x4Ez\0\0\0", 8)},
      {"丄 keeps its ASCII second byte", "\x81\x41", std::string_view("\x04\x4E\0\0", 4)},
      {"0xFF as Windows reads it", "\xFF", std::string_view("\xF5\xF8\0\0", 4)},
      // Sequences code page 936 does not define read as U+FFFD.
      {"broken pair at the end", "a\x81", std::string_view("a\0\xFD\xFF\0\0", 6)},
      {"lead byte before a space", "\x81 ", std::string_view("\xFD\xFF \0\0\0", 6)},
      {"lead byte before DEL", "\x81\x7F", std::string_view("\xFD\xFF\x7F\0\0\0", 6)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(AnsiToWide(Text(row.gbk)).View()), Hex(row.utf16le));
  }
}

// ---- WideToAnsi ----

TEST(WideToAnsiTest, KnownPairs) {
  const struct {
    const char* name;
    std::string_view utf16le;
    std::string_view gbk;
  } rows[] = {
      {"中 with terminator", std::string_view("\x2D\x4E\0\0", 4), "\xD6\xD0"},
      {"no terminator", std::string_view("a\0b\0", 4), "ab"},
      {"stops at the first zero unit", std::string_view("a\0\0\0b\0", 6), "a"},
      {"odd last byte ignored", std::string_view("a\0b", 3), "a"},
      {"single byte", "a", ""},
      {"empty", "", ""},
      {"zero unit first", std::string_view("\0\0a\0", 4), ""},
      {"zero byte inside a unit is no terminator", std::string_view("\0\x4E", 2), "\xD2\xBB"},
      {"full-width space", std::string_view("\x00\x30", 2), "\xA1\xA1"},
      {"euro sign", "\xAC\x20", "\x80"},
      // What code page 936 cannot show comes out as "?".
      {"U+1F600", "\x3D\xD8\x00\xDE", "?"},
      {"unpaired high surrogate",
       std::string_view("\x3D\xD8"
                        "a\0",
                        4),
       "?a"},
      {"unpaired low surrogate",
       std::string_view("\x00\xDE"
                        "a\0",
                        4),
       "?a"},
      {"high surrogate at the end", std::string_view("a\0\x3D\xD8", 4), "a?"},
      {"U+00C0 has no exact form", std::string_view("\xC0\x00", 2), "?"},
      {"U+FFFD", "\xFD\xFF", "?"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(WideToAnsi(Bytes(row.utf16le)).View()), Hex(row.gbk));
  }
}

TEST(WideToAnsiTest, UnalignedBytes) {
  // A byte set cut out of a larger buffer at an odd offset.
  const std::string buffer(
      "x\x2D\x4E"
      "a\0",
      5);
  const ByteSet bytes = BytesFromPointer(buffer.data() + 1, 4);
  EXPECT_EQ(Hex(WideToAnsi(bytes).View()), "D6 D0 61");
}

TEST(CodePageTest, EveryTwoByteCharacterRoundTrips) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int second = 0x40; second <= 0xFE; ++second) {
      if (second == 0x7F) continue;
      const char pair[] = {static_cast<char>(lead), static_cast<char>(second), 0};
      const ByteSet wide = AnsiToWide(Text(pair));
      ASSERT_EQ(wide.Size(), 4) << Hex(pair);
      if (wide.View().substr(0, 2) == "\xFD\xFF") continue;  // not defined
      ASSERT_EQ(Hex(WideToAnsi(wide).View()), Hex(pair));
      ++checked;
    }
  }
  EXPECT_GT(checked, 21000);  // GBK defines 21886 two-byte characters plus user areas
}

TEST(CodePageTest, LongTextRoundTrips) {
  Text text;
  for (int i = 0; i < 200000; ++i) text.Append(i % 3 == 0 ? "\xD6\xD0" : "ab");
  const ByteSet wide = AnsiToWide(text);
  EXPECT_EQ(wide.Size(), 2 * (text.Length() - 66667 + 1));
  EXPECT_EQ(WideToAnsi(wide), text);
}

// ---- native UTF-16 ----

TEST(Utf16Test, BothWays) {
  EXPECT_EQ(TextToUtf16(Gbk("a中")), u"a中");
  EXPECT_EQ(TextToUtf16(Text()), u"");
  EXPECT_EQ(Utf16ToText(u"a中").View(), "a\xD6\xD0");
  EXPECT_EQ(Utf16ToText(std::u16string_view(u"a\0b", 3)).View(), "a");
  EXPECT_EQ(Utf16ToText(u"").View(), "");
  EXPECT_EQ(Utf16ToText(u"\U0001F600!").View(), "?!");
}

// ---- UTF-8 ----

TEST(Utf8Test, FromUtf8) {
  const struct {
    const char* name;
    std::string_view utf8;
    std::string_view gbk;
  } rows[] = {
      {"ASCII", "abc", "abc"},
      {"Chinese", "中文", "\xD6\xD0\xCE\xC4"},
      {"stops at the first zero byte", std::string_view("a\0b", 3), "a"},
      {"not in code page 936", "\xF0\x9F\x98\x80", "?"},
      {"malformed",
       "a\xFF"
       "b",
       "a?b"},
      {"truncated sequence", "a\xE4\xB8", "a?"},
      {"empty", "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(TextFromUtf8(row.utf8).View()), Hex(row.gbk));
  }
  EXPECT_EQ(TextFromUtf8(u8"引号").View(), "\xD2\xFD\xBA\xC5");
}

TEST(Utf8Test, ToUtf8) {
  EXPECT_EQ(TextToUtf8(Text("a\xD6\xD0\xA1\xA1\x80")), "a中\u3000€");
  EXPECT_EQ(TextToUtf8(Text()), "");
  EXPECT_EQ(TextToUtf8(Text("a\x81")), "a\uFFFD");
}

// ---- DecodeCharset ----

TEST(DecodeCharsetTest, KnownSets) {
  const struct {
    const char* name;
    std::string_view bytes;
    std::string_view charset;
    std::string_view gbk;
  } rows[] = {
      {"UTF-8", "a中", "utf-8", "a\xD6\xD0"},
      {"letter case of the name", "a中", "UTF-8", "a\xD6\xD0"},
      {"Windows name", "\xD6\xD0", "cp936", "\xD6\xD0"},
      {"gb2312", "\xD6\xD0", "gb2312", "\xD6\xD0"},
      {"Latin-1 letter code page 936 has", "caf\xE9", "iso-8859-1", "caf\xA8\xA6"},
      {"Latin-1 letter code page 936 lacks", "\xC0", "iso-8859-1", "?"},
      {"windows-1252 euro", "\x80", "windows-1252", "\x80"},
      {"Shift_JIS", "\x93\xFA\x96\x7B", "shift_jis", "\xC8\xD5\xB1\xBE"},
      {"Big5", "\xA4\xA4", "big5", "\xD6\xD0"},
      {"UTF-16LE with zero bytes", std::string_view("a\0-N", 4), "utf-16le", "a\xD6\xD0"},
      {"stops at the first zero character", std::string_view("a\0b", 3), "utf-8", "a"},
      {"UTF-16 stops at a zero unit", std::string_view("a\0\0\0b\0", 6), "utf-16le", "a"},
      {"malformed UTF-8",
       "a\xFF"
       "b",
       "utf-8", "a?b"},
      {"undefined windows-1252 byte", "a\x81", "windows-1252", "a?"},
      {"not in code page 936", "\xF0\x9F\x98\x80", "utf-8", "?"},
      {"empty input", "", "utf-8", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<Text> decoded = DecodeCharset(row.bytes, row.charset);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(Hex(decoded->View()), Hex(row.gbk));
  }
}

TEST(DecodeCharsetTest, UnknownNames) {
  for (const std::string_view name : {std::string_view("no-such-charset"), std::string_view(""),
                                      std::string_view("utf-8\0x", 7)}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(DecodeCharset("abc", name).has_value());
  }
  // A known name after an unknown one still works.
  EXPECT_EQ(DecodeCharset("ok", "us-ascii").value_or(Text("failed")).View(), "ok");
}

TEST(DecodeCharsetTest, SwitchingBetweenSets) {
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(DecodeCharset("\xE4\xB8\xAD", "utf-8")->View(), "\xD6\xD0");
    EXPECT_EQ(DecodeCharset("\xA4\xA4", "big5")->View(), "\xD6\xD0");
  }
}

}  // namespace
}  // namespace quorvane
