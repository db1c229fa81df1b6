#include "quorvane/text/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "quorvane/text/text_array.h"
#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Gbk;
using testing_support::Hex;

std::vector<std::string> Members(const TextArray& array) {
  std::vector<std::string> members;
  for (const Text& member : array) members.emplace_back(member.View());
  return members;
}

// ---- the value itself ----

TEST(TextValueTest, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).View(), "ab");
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)).Length(), 0);
  Text built("x");
  built.Append(std::string_view("y\0z", 3)).AppendByte(0).AppendByte('w');
  EXPECT_EQ(built.View(), "xyw");
  EXPECT_TRUE(Text() == Text(""));
}

TEST(TextValueTest, AnEmptyViewWithoutStorageIsTheEmptyText) {
  EXPECT_TRUE(Text(std::string_view()).Empty());
  Text built("x");
  built.Append(std::string_view());
  EXPECT_EQ(built.View(), "x");
}

// ---- byte-counted parts ----

TEST(TextPartsTest, CountBytesAndClip) {
  const Text abc("abc");
  const struct {
    const char* name;
    Text result;
    std::string_view expected;
  } rows[] = {
      {"left -1", TextLeft(abc, -1), ""},
      {"left 0", TextLeft(abc, 0), ""},
      {"left 2", TextLeft(abc, 2), "ab"},
      {"left 9", TextLeft(abc, 9), "abc"},
      {"right 0", TextRight(abc, 0), ""},
      {"right 2", TextRight(abc, 2), "bc"},
      {"right 5", TextRight(abc, 5), "abc"},
      {"mid 0,2", TextMid(abc, 0, 2), ""},
      {"mid 1,2", TextMid(abc, 1, 2), "ab"},
      {"mid 3,5", TextMid(abc, 3, 5), "c"},
      {"mid 4,1", TextMid(abc, 4, 1), ""},
      {"mid 2,0", TextMid(abc, 2, 0), ""},
      {"mid 2,-1", TextMid(abc, 2, -1), ""},
      {"mid of empty", TextMid(Text(), 1, 1), ""},
      // Bytes, not characters: a two-byte character may be cut in half.
      {"left cuts a pair", TextLeft(Gbk("中a"), 1), "\xD6"},
      {"right cuts a pair", TextRight(Gbk("a中"), 1), "\xD0"},
      {"mid cuts a pair", TextMid(Gbk("中文"), 2, 2), "\xD0\xCE"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(row.result.View()), Hex(row.expected));
  }
}

TEST(TextPartsTest, ConcatAndCharFromCode) {
  EXPECT_EQ(ConcatText(Text("a"), Text(), Text("bc"), Gbk("中")).View(), "abc\xD6\xD0");
  EXPECT_EQ(ConcatText(Text("a"), "b").View(), "ab");
  EXPECT_EQ(ConcatText().Length(), 0);
  EXPECT_EQ(CharFromCode(0).Length(), 0);
  EXPECT_EQ(CharFromCode('A').View(), "A");
  EXPECT_EQ(CharFromCode(0xB0).View(), "\xB0");
}

TEST(TextPartsTest, AppendingPieceByPieceKeepsEveryByte) {
  Text built;
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    const char piece = static_cast<char>('a' + i % 26);
    built.Append(std::string_view(&piece, 1));
    expected += piece;
  }
  EXPECT_EQ(built.View(), expected);
}

// ---- FindText ----

struct FindRow {
  const char* name;
  Text text;
  Text target;
  int32_t start;
  bool ignoreCase;
  int32_t expected;
};

TEST(FindTextTest, EdgeRules) {
  const FindRow rows[] = {
      // start clipping; positions count from the whole text
      {"from 4", "abcabc", "c", 4, false, 6},
      {"from 7", "abcabc", "c", 7, false, -1},
      {"from 0", "abcabc", "c", 0, false, 3},
      {"from -5", "abcabc", "c", -5, false, 3},
      {"from lowest", "abcabc", "c", INT32_MIN, false, 3},
      {"from highest", "abcabc", "c", INT32_MAX, false, -1},
      {"at the very start", "abc", "abc", 1, false, 1},
      {"longer than text", "ab", "abc", 1, false, -1},
      {"at the very end", "abc", "bc", 2, false, 2},
      // empty targets give 1, not start
      {"empty target", "abc", "", 2, false, 1},
      {"empty target at last byte", "abc", "", 3, false, 1},
      {"empty target past end", "abc", "", 4, false, -1},
      {"empty in empty", "", "", 1, false, -1},
      {"in empty", "", "a", 1, false, -1},
      // case
      {"ignore case", "aB", "b", 1, true, 2},
      {"case matters", "aB", "b", 1, false, -1},
      {"ignore case in target", "xyz", "YZ", 1, true, 2},
      {"ignore case not for digits", "a1", "A!", 1, true, -1},
      {"ignore case as second byte", "\x81\x41", "\x81\x61", 1, true, 1},
      {"ignore case other bytes exact", "\xC1", "\xE1", 1, true, -1},
      // never at a second byte
      {"second byte", "\x81\x41", "A", 1, false, -1},
      {"after a pair", Gbk("中A"), "A", 1, false, 3},
      {"two-byte target", Gbk("a中文"), Gbk("文"), 1, false, 4},
      {"two-byte target misaligned", "\xD6\xD6\xD0", "\xD6\xD0", 1, false, -1},
      {"start on a second byte", "\x81\x41", "A", 2, false, 2},
      {"start on a second byte shifts the walk", "\xD6\xD6\xD0", "\xD6\xD0", 2, false, 2},
      // broken pair: compared at its own offset, then the walk ends
      {"broken pair matches itself", "ab\x81", "\x81", 1, false, 3},
      {"broken pair ends the walk", "a\x81", "b", 1, false, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindText(row.text, row.target, row.start, row.ignoreCase), row.expected);
  }
  EXPECT_EQ(FindText(Text("abcabc"), Text("b")), 2);  // omitted start counts as 1
}

// The walk as the rules state it, one character at a time.
int32_t ReferenceFind(std::string_view text, std::string_view target, int32_t start,
                      bool ignoreCase) {
  const int64_t from = std::max<int64_t>(int64_t{start} - 1, 0);
  if (from >= static_cast<int64_t>(text.size())) return -1;
  if (target.empty()) return 1;
  auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
  std::size_t at = static_cast<std::size_t>(from);
  while (text.size() - at >= target.size()) {
    bool equal = true;
    for (std::size_t i = 0; i < target.size() && equal; ++i) {
      const auto a = static_cast<unsigned char>(text[at + i]);
      const auto b = static_cast<unsigned char>(target[i]);
      equal = ignoreCase ? fold(a) == fold(b) : a == b;
    }
    if (equal) return static_cast<int32_t>(at + 1);
    if (static_cast<unsigned char>(text[at]) >= 0x80) {
      if (at + 1 == text.size()) return -1;
      at += 2;
    } else {
      at += 1;
    }
  }
  return -1;
}

// Mixed texts drawn from a few bytes that collide often: lead bytes whose
// pairs contain the target's bytes, ASCII letters of both cases.
std::string RandomMixed(std::mt19937& random, std::size_t length) {
  static const unsigned char kBytes[] = {'a', 'A', 'b', 'B', ';', ' ', 0x81, 0xA1, 0xD6, 0xD0};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kBytes - 1);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(kBytes[pick(random)]);
  return text;
}

TEST(FindTextTest, MatchesTheCharacterWalkOnRandomTexts) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> lengthOf(0, 40);
  std::uniform_int_distribution<int> targetLengthOf(1, 3);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomMixed(random, static_cast<std::size_t>(lengthOf(random)));
    const std::string target =
        RandomMixed(random, static_cast<std::size_t>(targetLengthOf(random)));
    const int32_t start =
        std::uniform_int_distribution<int32_t>(-1, static_cast<int32_t>(text.size()) + 1)(random);
    const bool ignoreCase = (round & 1) != 0;
    const int32_t expected = ReferenceFind(text, target, start, ignoreCase);
    ASSERT_EQ(FindText(Text(text), Text(target), start, ignoreCase), expected)
        << "text " << Hex(text) << " target " << Hex(target) << " start " << start << " ignoreCase "
        << ignoreCase;
  }
}

TEST(FindTextTest, FindsAfterLongRunsOfTwoByteCharacters) {
  // Long runs of lead-range bytes before a candidate decide its parity.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "\xD6\xD0";
  const std::string evenRun = text + "x";
  EXPECT_EQ(FindText(Text(evenRun), Text("x")), 10001);
  const std::string oddRun = "\xD6" + text.substr(0, text.size() - 1) + "x" + "x";
  // The x after an odd run is a second byte; the next one is a character.
  EXPECT_EQ(FindText(Text(oddRun), Text("x")), 10001);
}

// ---- ReplaceText ----

TEST(ReplaceTextTest, EdgeRules) {
  const struct {
    const char* name;
    Text text;
    Text target;
    Text replacement;
    bool caseSensitive;
    std::string_view expected;
  } rows[] = {
      {"ignoring case", "AbAB", "ab", "x", false, "xx"},
      {"case sensitive", "AbAB", "ab", "x", true, "AbAB"},
      {"omitted replacement", "a;b", ";", Text(), true, "ab"},
      {"no overlap", "aaa", "aa", "b", true, "ba"},
      {"not searched again", "aa", "a", "aa", true, "aaaa"},
      {"empty text", "", "a", "b", true, ""},
      {"empty target", "abc", "", "x", true, "abc"},
      {"never at a second byte",
       "\x81\x41"
       "A",
       "A", "z", true, "\x81\x41z"},
      {"two-byte target", Gbk("中文中"), Gbk("中"), "-", true, "-\xCE\xC4-"},
      {"tail shorter than target kept", "abc\x81", "xy", "z", true, "abc\x81"},
      {"broken pair met by the walk dropped", "abc\x81", "b", "B", true, "aBc"},
      {"broken pair after a match", "a\x81", "a", "", true, ""},
      {"broken pair that matches is replaced", "a\x81", "\x81", "!", true, "a!"},
      {"target longer than text", "ab", "abc", "x", true, "ab"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(ReplaceText(row.text, row.target, row.replacement, row.caseSensitive).View()),
              Hex(row.expected));
  }
}

std::string ReferenceReplace(std::string_view text, std::string_view target,
                             std::string_view replacement, bool caseSensitive) {
  if (text.empty() || target.empty()) return std::string(text);
  auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
  std::string result;
  std::size_t at = 0;
  while (text.size() - at >= target.size()) {
    bool equal = true;
    for (std::size_t i = 0; i < target.size() && equal; ++i) {
      const auto a = static_cast<unsigned char>(text[at + i]);
      const auto b = static_cast<unsigned char>(target[i]);
      equal = caseSensitive ? a == b : fold(a) == fold(b);
    }
    if (equal) {
      result += replacement;
      at += target.size();
    } else if (static_cast<unsigned char>(text[at]) >= 0x80) {
      if (at + 1 == text.size()) return result;
      result += text.substr(at, 2);
      at += 2;
    } else {
      result += text[at++];
    }
  }
  result += text.substr(at);
  return result;
}

TEST(ReplaceTextTest, MatchesTheCharacterWalkOnRandomTexts) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> lengthOf(0, 30);
  std::uniform_int_distribution<int> targetLengthOf(1, 3);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomMixed(random, static_cast<std::size_t>(lengthOf(random)));
    const std::string target =
        RandomMixed(random, static_cast<std::size_t>(targetLengthOf(random)));
    const bool caseSensitive = (round & 1) != 0;
    ASSERT_EQ(Hex(ReplaceText(Text(text), Text(target), Text("<>"), caseSensitive).View()),
              Hex(ReferenceReplace(text, target, "<>", caseSensitive)))
        << "text " << Hex(text) << " target " << Hex(target);
  }
}

// ---- SplitText ----

TEST(SplitTextTest, EdgeRules) {
  const struct {
    const char* name;
    Text text;
    Text separator;
    std::vector<std::string> expected;
  } rows[] = {
      {"empty text", "", ";", {}},
      {"empty separator", "a;b", "", {"a;b"}},
      {"plain", "a;b", ";", {"a", "b"}},
      {"empty middle member", "a;;b", ";", {"a", "", "b"}},
      {"leading separator", ";a", ";", {"", "a"}},
      {"no member for an empty remainder", "a;", ";", {"a"}},
      {"separator only", ";", ";", {""}},
      {"two separators", ";;", ";", {"", ""}},
      {"long separator", "a; b; ", "; ", {"a", "b"}},
      {"no separator", "abc", ";", {"abc"}},
      {"never at a second byte", "\x81;", ";", {"\x81;"}},
      {"broken pair stays in the last member", "a;b\x81", ";", {"a", "b\x81"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Members(SplitText(row.text, row.separator)), row.expected);
  }
}

// ---- TrimSpaces and RemoveSpaces ----

TEST(SpacesTest, TrimSpaces) {
  const struct {
    const char* name;
    Text text;
    std::string_view expected;
  } rows[] = {
      {"both ends", "  a b  ", "a b"},
      {"full-width spaces",
       "\xA1\xA1"
       "a\xA1\xA1",
       "a"},
      {"mixed spaces", " \xA1\xA1 a \xA1\xA1 ", "a"},
      {"tabs are not spaces", "\t a \t", "\t a \t"},
      {"spaces only", " \xA1\xA1 ", ""},
      {"empty", "", ""},
      {"inner spaces stay", "a  b", "a  b"},
      {"broken pair cut, spaces before it stay", "a  \x81", "a  "},
      {"broken pair alone", "\xA1", ""},
      {"A1 with another second byte is no space", " \xA1\xA2 ", "\xA1\xA2"},
      {"A1 A1 across characters is no space", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0"},
      {"a space as second byte stays", "\xB0\xA1\xA1 ", "\xB0\xA1\xA1 "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(TrimSpaces(row.text).View()), Hex(row.expected));
  }
}

TEST(SpacesTest, RemoveSpaces) {
  const struct {
    const char* name;
    Text text;
    std::string_view expected;
  } rows[] = {
      {"full-width and plain", Gbk("a　b c"), "abc"},
      {"tabs stay", "\ta\t", "\ta\t"},
      {"spaces only", "  \xA1\xA1", ""},
      {"broken pair dropped", "a b\x81", "ab"},
      {"A1 A1 across characters stays", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0"},
      {"a space as second byte stays", "\xA1 ", "\xA1 "},
      {"two-byte characters stay", Gbk(" 中 文 "), "\xD6\xD0\xCE\xC4"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(RemoveSpaces(row.text).View()), Hex(row.expected));
  }
}

// ---- CompareText and TextEquals ----

TEST(CompareTextTest, Units) {
  const struct {
    const char* name;
    Text a;
    Text b;
    bool caseSensitive;
    int32_t expected;
  } rows[] = {
      {"equal", "abc", "abc", true, 0},
      {"both empty", "", "", true, 0},
      {"shorter first", "ab", "abc", true, -1},
      {"longer first", "abc", "ab", true, 1},
      {"byte order", "abd", "abc", true, 1},
      {"two-byte above one-byte", Gbk("中"), "z", true, 1},
      {"case matters", "a", "A", true, 1},
      {"ASCII letters folded", "hello", "HeLLo", false, 0},
      {"folded then ordered", "a", "B", false, -1},
      {"full-width letters folded", Gbk("ａｂ"), Gbk("ＡＢ"), false, 0},
      {"Greek folded", Gbk("α"), Gbk("Α"), false, 0},
      {"Cyrillic folded", Gbk("я"), Gbk("Я"), false, 0},
      {"small Roman numeral folded", Gbk("ⅰ"), Gbk("Ⅰ"), false, 0},
      {"full-width case matters when sensitive", Gbk("ａ"), Gbk("Ａ"), true, 1},
      {"Chinese has no case", Gbk("中"), Gbk("文"), false, 1},
      {"second bytes are not folded", "\x81\x61", "\x81\x41", false, 1},
      {"broken pair below its pairs", "\x81", "\x81\x41", false, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CompareText(row.a, row.b, row.caseSensitive), row.expected);
  }
}

TEST(CompareTextTest, TextEquals) {
  EXPECT_TRUE(TextEquals(Text(), Text("")));
  EXPECT_TRUE(TextEquals(Gbk("中"), Text("\xD6\xD0")));
  EXPECT_FALSE(TextEquals(Text("a"), Text("A")));
  EXPECT_FALSE(TextEquals(Text("a"), Text("ab")));
}

}  // namespace
}  // namespace quorvane
