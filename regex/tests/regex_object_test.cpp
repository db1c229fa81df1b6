#include "quorvane/regex/regex_object.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "quorvane/text/code_page.h"
#include "quorvane/text/text.h"

namespace quorvane {
namespace {

// The two patterns the system runs, character for character.
constexpr char kPicturePattern[] = R"(<i class="img" style="background-image:url\((.*?).jpg?)";
constexpr char kCharsetPattern[] = R"(<meta.+?charset=[^\w]?([-\w]+))";

// Texts are written here in UTF-8 and compared in UTF-8, so that failures read plainly.
Text Gbk(const std::string& utf8) { return TextFromUtf8(utf8); }
std::string Utf8(const Text& text) { return TextToUtf8(text); }

std::string PictureOpening() { return R"(<i class="img" style="background-image:url()"; }

// ---- the picture-address pattern, all options omitted ----

TEST(RegexObjectPicturePattern, CapturesTheAddressBeforeTheExtension) {
  const std::string opening = PictureOpening();
  const std::string upperOpening = R"(<I CLASS="IMG" STYLE="BACKGROUND-IMAGE:URL()";
  struct Case {
    const char* name;
    std::string page;
    int32_t count;
    std::string group;  // group 1 of match 1
  };
  const Case cases[] = {
      {"jpg", opening + "abc.jpg)\"></i>", 1, "abc"},
      {"jpeg", opening + "abc.jpeg)\"></i>", 1, "abc"},
      {"capital letters", upperOpening + "ABC.JPG)\"></I>", 1, "ABC"},
      {"query after jpg", opening + "//ci.xiaohongshu.com/abc.jpg?imageView2/2/w/1080)", 1,
       "//ci.xiaohongshu.com/abc"},
      {"unescaped dot takes the x", opening + "xjpy.jpg)", 1, ""},
      {"address with Chinese around", "<p>笔记</p>" + opening + "//图/甲.jpg)<p>完</p>", 1,
       "//图/甲"},
      {"two elements on one line run together", opening + "a.png)\"></i>" + opening + "b.jpg)", 1,
       "a.png)\"></i>" + opening + "b"},
      {"two elements on two lines", opening + "a.png)\"></i>\n" + opening + "b.jpg)", 1, "b"},
      {"no element", "<html><body><i class=\"icon\"></i></body></html>", 0, ""},
      {"no extension before the line ends", opening + "abc.png)\n.jpg", 0, ""},
      {"empty page", "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(kPicturePattern, Gbk(c.page)));
    EXPECT_EQ(regex.MatchCount(), c.count);
    EXPECT_EQ(Utf8(regex.GroupText(1, 1)), c.group);
    EXPECT_EQ(regex.GroupCount(), c.count > 0 ? 1 : 0);
  }
}

TEST(RegexObjectPicturePattern, TakesEveryElementInOrderAsTheDownloadJobDoes) {
  std::string page = "<html><head><title>小红书</title></head><body>\n";
  std::vector<std::string> addresses;
  for (int i = 0; i < 25; ++i) {
    addresses.push_back("//sns-img-qc.xhscdn.com/1040g2sg31" + std::to_string(i));
    page += "<div>第" + std::to_string(i) + "张</div>" + PictureOpening() + addresses.back() +
            ".jpg?imageView2/2/w/1080/format/jpg)\"></i>";
  }
  page += "\n</body></html>";

  RegexObject regex;
  ASSERT_TRUE(regex.Create(kPicturePattern, Gbk(page)));
  ASSERT_EQ(regex.MatchCount(), static_cast<int32_t>(addresses.size()));
  for (int32_t i = 1; i <= regex.MatchCount(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Utf8(regex.GroupText(i, 1)), addresses[static_cast<std::size_t>(i - 1)]);
    // The optional "g" is taken when it is there.
    EXPECT_EQ(Utf8(regex.MatchText(i)),
              PictureOpening() + addresses[static_cast<std::size_t>(i - 1)] + ".jpg");
  }
}

TEST(RegexObjectPicturePattern, CaseSensitiveRunNeedsTheExactLetters) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create(kPicturePattern, R"(<I CLASS="IMG" STYLE="BACKGROUND-IMAGE:URL(A.JPG))",
                           /*caseSensitive=*/true));
  EXPECT_EQ(regex.MatchCount(), 0);
}

// ---- the character-set pattern, all options omitted ----

TEST(RegexObjectCharsetPattern, ReadsTheDeclaredCharacterSet) {
  struct Case {
    std::string head;
    int32_t count;
    std::string charset;
  };
  const Case cases[] = {
      {"<meta charset='utf-8'>", 1, "utf-8"},
      {"<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>", 1, "gb2312"},
      {"<meta charset=utf-8>", 1, "utf-8"},
      {"<META CHARSET='UTF-8'>", 1, "UTF-8"},
      {"<meta charset=\"GBK\" />", 1, "GBK"},
      {"<html><head><meta charset=\"big5\"><title>标题</title>", 1, "big5"},
      {"<meta charset=''>", 0, ""},  // the one optional quote, then no word character
      {"<meta charset = 'utf-8'>", 0, ""},
      {"<meta http-equiv='Content-Type'\ncontent='text/html; charset=gbk'>", 0, ""},
      {"<head><title>no declaration</title>", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(kCharsetPattern, Gbk(c.head)));
    EXPECT_EQ(regex.MatchCount(), c.count);
    EXPECT_EQ(Utf8(regex.GroupText(1, 1)), c.charset);
  }
}

// ---- numbers out of range ----

TEST(RegexObjectNumbers, OutOfRangeGivesTheEmptyText) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(b)", "abab"));
  ASSERT_EQ(regex.MatchCount(), 2);
  ASSERT_EQ(regex.GroupCount(), 1);
  struct Case {
    int32_t index;
    int32_t group;  // 0 asks MatchText
    std::string text;
  };
  const Case cases[] = {
      {1, 0, "b"},        {2, 0, "b"},        {0, 0, ""},         {3, 0, ""},
      {-1, 0, ""},        {INT32_MIN, 0, ""}, {INT32_MAX, 0, ""}, {1, 1, "b"},
      {1, 2, ""},         {1, -1, ""},        {0, 1, ""},         {3, 1, ""},
      {INT32_MIN, 1, ""}, {1, INT32_MIN, ""}, {1, INT32_MAX, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + ", " + std::to_string(c.group));
    if (c.group == 0) {
      EXPECT_EQ(Utf8(regex.MatchText(c.index)), c.text);
    } else {
      EXPECT_EQ(Utf8(regex.GroupText(c.index, c.group)), c.text);
    }
  }
}

TEST(RegexObjectNumbers, GroupZeroIsNoGroup) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("a(b)", "ab"));
  EXPECT_EQ(Utf8(regex.GroupText(1, 0)), "");
  EXPECT_EQ(Utf8(regex.GroupText(1, 1)), "b");
}

// ---- fresh, refused and failed runs ----

void ExpectAnswersAsFresh(const RegexObject& regex) {
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.GroupCount(), 0);
  EXPECT_EQ(Utf8(regex.MatchText(1)), "");
  EXPECT_EQ(Utf8(regex.GroupText(1, 1)), "");
  EXPECT_EQ(Utf8(regex.Replace("x")), "");
}

TEST(RegexObjectState, FreshObjectAnswersEmpty) {
  const RegexObject regex;
  ExpectAnswersAsFresh(regex);
  EXPECT_EQ(Utf8(regex.GetPattern()), "");
  EXPECT_EQ(Utf8(regex.Replace()), "");
  int32_t position = 7;
  EXPECT_EQ(Utf8(regex.MatchText(1, &position)), "");
  EXPECT_EQ(position, -2);  // nothing to search in
  position = 7;
  EXPECT_EQ(Utf8(regex.GroupText(1, 1, &position)), "");
  EXPECT_EQ(position, -2);
}

TEST(RegexObjectState, RefusedPatternFailsAndAnswersAsFresh) {
  const char* refused[] = {"(abc", "a)", "[ab", "\\", "a{2,1}", "*a", "a**", "\\k", "(?<n"};
  for (const char* pattern : refused) {
    SCOPED_TRACE(pattern);
    RegexObject regex;
    ASSERT_TRUE(regex.Create("b", "abc"));  // a previous run is discarded
    EXPECT_FALSE(regex.Create(pattern, "abc(abc) a{2,1} *a"));
    ExpectAnswersAsFresh(regex);
    EXPECT_EQ(Utf8(regex.GetPattern()), pattern);  // the engine still holds what was written
  }
}

TEST(RegexObjectState, RunHittingTheMatchLimitFailsWithoutPartialResults) {
  // Nested repeats over a long run of a's backtrack without end; the limit
  // ends the run quickly instead. The matches before it are not kept.
  const Text subject(std::string("ab ab ") + std::string(40, 'a') + "!b");
  RegexObject regex;
  EXPECT_FALSE(regex.Create("(a+)+b", subject));
  ExpectAnswersAsFresh(regex);
  EXPECT_EQ(Utf8(regex.GetPattern()), "(a+)+b");
  // The same object runs normally afterwards.
  EXPECT_TRUE(regex.Create("(a+)+b", "aab"));
  EXPECT_EQ(Utf8(regex.MatchText(1)), "aab");
}

TEST(RegexObjectState, CreateWithoutMatchesStillSucceeds) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("a(b)", "xyz"));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.GroupCount(), 0);
  EXPECT_EQ(Utf8(regex.Replace("q")), "xyz");
}

TEST(RegexObjectState, EachCreateDiscardsThePreviousRun) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(a)(b)", "ab ab"));
  ASSERT_EQ(regex.MatchCount(), 2);
  ASSERT_TRUE(regex.Create("c", "c"));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.GroupCount(), 0);
  EXPECT_EQ(Utf8(regex.GroupText(1, 1)), "");
  EXPECT_EQ(Utf8(regex.GetPattern()), "c");
}

// ---- the quote marker ----

TEST(RegexObjectQuoteMarker, MarkerBecomesADoubleQuoteOnlyWhenAsked) {
  struct Case {
    std::string pattern;
    bool quoteMarker;
    std::string heldPattern;
    int32_t count;
  };
  const Case cases[] = {
      {"a#引号b", true, "a\"b", 1},
      {"a#引号b", false, "a#引号b", 0},
      {"#引号(\\w+)#引号", true, "\"(\\w+)\"", 2},
      {"#引#引号号", true, "#引\"号", 0},
      {"#引 号", true, "#引 号", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + (c.quoteMarker ? " with marker" : " without marker"));
    RegexObject regex;
    ASSERT_TRUE(
        regex.Create(Gbk(c.pattern), R"(x a"b "one" "two")", false, true, true, c.quoteMarker));
    EXPECT_EQ(Utf8(regex.GetPattern()), c.heldPattern);
    EXPECT_EQ(regex.MatchCount(), c.count);
  }
}

// ---- the position search ----

TEST(RegexObjectPosition, GivesTheByteOffsetOfTheMatchText) {
  struct Case {
    const char* name;
    std::string subject;
    std::string pattern;
    bool caseSensitive;
    int32_t index;
    std::string text;
    int32_t position;
  };
  const Case cases[] = {
      {"second of two", "abcabc", "c", false, 2, "c", 5},
      {"first", "abcabc", "c", false, 1, "c", 2},
      // FirstIndex is 1 (one UTF-16 unit before), the byte offset 2.
      {"after a two-byte character", "中b", "b", false, 1, "b", 2},
      {"after several two-byte characters", "中文abc中文abc", "abc", false, 2, "abc", 11},
      {"case-sensitive search skips the capital", "Bb", "b", true, 1, "b", 1},
      // The search starts at the byte position equal to FirstIndex, one byte
      // early, so an earlier text that differs only in case is found first.
      {"ignoring case finds the capital first", "Bb", "b", false, 2, "b", 0},
      // Begun inside a two-byte character, the walk steps over the match.
      {"walk begun inside a character misses", "中中b", "b", false, 1, "b", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(Gbk(c.pattern), Gbk(c.subject), c.caseSensitive));
    int32_t position = 99;
    EXPECT_EQ(Utf8(regex.MatchText(c.index, &position)), c.text);
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexObjectPosition, GroupIsSearchedFromTheStartOfItsMatch) {
  struct Case {
    const char* name;
    std::string subject;
    std::string pattern;
    int32_t index;
    int32_t group;
    std::string text;
    int32_t position;
  };
  const std::string opening = PictureOpening();
  const Case cases[] = {
      {"picture address", "页" + opening + "abc.jpg)", kPicturePattern, 1, 1, "abc",
       static_cast<int32_t>(2 + opening.size())},
      // Groups carry no position of their own: the first "a" of the match is found.
      {"earlier equal text inside the match", "zaba", "(a)b(a)", 1, 2, "a", 1},
      {"empty group is found at once", "xab", "a(x?)b", 1, 1, "", 0},
      {"group out of range", "xab", "a(x?)b", 1, 2, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(Gbk(c.pattern), Gbk(c.subject)));
    int32_t position = 99;
    EXPECT_EQ(Utf8(regex.GroupText(c.index, c.group, &position)), c.text);
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexObjectPosition, MatchOutOfRangeSearchesForTheEmptyText) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("b", "abc"));
  int32_t position = 99;
  EXPECT_EQ(Utf8(regex.MatchText(5, &position)), "");
  EXPECT_EQ(position, 0);
  position = 99;
  EXPECT_EQ(Utf8(regex.GroupText(0, 1, &position)), "");
  EXPECT_EQ(position, 0);

  ASSERT_TRUE(regex.Create("b", ""));
  position = 99;
  EXPECT_EQ(Utf8(regex.MatchText(1, &position)), "");
  EXPECT_EQ(position, -2);
}

// ---- Replace ----

TEST(RegexObjectReplace, ExpandsEachReplacementToken) {
  struct Case {
    std::string pattern;
    std::string subject;
    bool global;
    std::string replacement;
    std::string result;
  };
  const Case cases[] = {
      // the whole match, the text before and after it, a dollar
      {"b", "abcb", true, "[$&]", "a[b]c[b]"},
      {"b", "abc", true, "[$`]", "a[a]c"},
      {"b", "abc", true, "[$']", "a[c]c"},
      {"b", "abc", true, "[$$]", "a[$]c"},
      {"b", "abc", true, "$", "a$c"},
      {"b", "abc", true, "$x$", "a$x$c"},
      // numbered groups
      {"(b)(c)", "abcd", true, "$2$1", "acbd"},
      {"(b)", "abc", true, "$01", "abc"},
      {"(b)", "abc", true, "$10", "ab0c"},  // no group 10: group 1, then "0"
      {"(b)", "abc", true, "$2", "a$2c"},
      {"(b)", "abc", true, "$0", "a$0c"},
      {"(b)", "abc", true, "$00", "a$00c"},
      {"b", "abc", true, "$1", "a$1c"},
      {"(x)?b", "abc", true, "[$1]", "a[]c"},  // a group that took no part
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", true, "$11$10$1", "kja"},
      // first match only, or every match
      {"b", "abcb", false, "x", "axcb"},
      {"b", "abcb", true, "x", "axcx"},
      {"b", "abcb", true, "", "ac"},
      {"x*", "abc", true, "-", "-a-b-c-"},
      {"z", "abc", true, "x", "abc"},
      // two-byte characters both ways
      {"文", "中文字", true, "[$&]", "中[文]字"},
      {"(\\w+)", "中ab文", true, "<$1>", "中<ab>文"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.replacement);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(Gbk(c.pattern), Gbk(c.subject), false, true, c.global));
    EXPECT_EQ(Utf8(regex.Replace(Gbk(c.replacement))), c.result);
  }
}

TEST(RegexObjectReplace, OmittedReplacementRemovesTheMatches) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("\\d", "a1b2c3"));
  EXPECT_EQ(Utf8(regex.Replace()), "abc");
}

// ---- copies ----

TEST(RegexObjectCopy, CopyKeepsItsRunWhenTheOriginalRunsAgain) {
  RegexObject original;
  ASSERT_TRUE(original.Create("(b)", Gbk("中abcb"), true));
  RegexObject copy(original);
  RegexObject assigned;
  ASSERT_TRUE(assigned.Create("q", "q"));
  assigned = original;

  ASSERT_TRUE(original.Create("z", "z"));
  EXPECT_EQ(original.MatchCount(), 1);
  for (const RegexObject* regex : {&copy, &assigned}) {
    SCOPED_TRACE(regex == &copy ? "copy" : "assigned");
    EXPECT_EQ(regex->MatchCount(), 2);
    EXPECT_EQ(Utf8(regex->GetPattern()), "(b)");
    int32_t position = 0;
    EXPECT_EQ(Utf8(regex->GroupText(1, 1, &position)), "b");
    EXPECT_EQ(position, 3);  // its own subject, with the two-byte character
    EXPECT_EQ(Utf8(regex->Replace("x")), "中axcx");
  }
}

TEST(RegexObjectCopy, CopyOutlivesTheOriginalAndCopiesAFreshState) {
  RegexObject fresh;
  RegexObject freshCopy(fresh);
  ExpectAnswersAsFresh(freshCopy);

  auto original = std::make_unique<RegexObject>();
  ASSERT_TRUE(original->Create("a(.)", "axay"));
  const RegexObject copy(*original);
  original.reset();
  EXPECT_EQ(copy.MatchCount(), 2);
  EXPECT_EQ(Utf8(copy.GroupText(2, 1)), "y");
  RegexObject self;
  ASSERT_TRUE(self.Create("a", "aa"));
  const RegexObject& alias = self;
  self = alias;
  EXPECT_EQ(self.MatchCount(), 2);
}

// ---- the dialect ----

TEST(RegexObjectDialect, MatchesAsTheEcmaScriptStyleRulesSay) {
  struct Case {
    const char* name;
    std::string pattern;
    std::string subject;
    bool caseSensitive;
    bool multiline;
    bool global;
    std::vector<std::string> matches;
  };
  const Case cases[] = {
      {"dot stops at a line feed", "a.c", "a\nc abc a\rc", false, true, true, {"abc", "a\rc"}},
      {"lazy run stops at a line feed", "<(.*?)>", "<a\nb> <c>", false, true, true, {"<c>"}},
      {"greedy", "a.*c", "abcabc", false, true, true, {"abcabc"}},
      {"lazy", "a.*?c", "abcabc", false, true, true, {"abc", "abc"}},
      {"dollar without multiline: very end only", "c$", "abc\nabc", false, false, true, {"c"}},
      {"dollar not before a final line feed", "c$", "abc\n", false, false, true, {}},
      {"dollar with multiline", "c$", "abc\nabc", false, true, true, {"c", "c"}},
      {"caret without multiline", "^a", "ab\nab", false, false, true, {"a"}},
      {"caret with multiline", "^a", "ab\nab", false, true, true, {"a", "a"}},
      {"carriage return is no line end", "b$", "ab\r\nab", false, true, true, {"b"}},
      {"word characters are ASCII", "\\w+", "中ab_9文é", false, true, true, {"ab_9"}},
      {"non-word class takes Chinese", "[^\\w]+", "ab中文cd", false, true, true, {"中文"}},
      {"hyphen first in a class is literal", "[-\\w]+", "utf-8;", false, true, true, {"utf-8"}},
      {"ignoring case in classes", "[a-c]+", "ABCd", false, true, true, {"ABC"}},
      {"case-sensitive", "abc", "ABC abc", true, true, true, {"abc"}},
      {"ignoring case beyond ASCII", "ａｂ", "ＡＢ", false, true, true, {"ＡＢ"}},
      {"only the first without global", "b", "abcb", false, true, false, {"b"}},
      {"matches never overlap", "aa", "aaaaa", false, true, true, {"aa", "aa"}},
      {"empty matches step one character on", "x*", "axb", false, true, true, {"", "x", "", ""}},
      {"empty matches around two-byte characters", "", "中文", false, true, true, {"", "", ""}},
      {"escaped parenthesis", "url\\((\\w+)\\)", "url(a)", false, true, true, {"url(a)"}},
      {"unicode escape", "\\u4E2D", "文中", false, true, true, {"中"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(
        regex.Create(Gbk(c.pattern), Gbk(c.subject), c.caseSensitive, c.multiline, c.global));
    ASSERT_EQ(regex.MatchCount(), static_cast<int32_t>(c.matches.size()));
    for (int32_t i = 1; i <= regex.MatchCount(); ++i) {
      EXPECT_EQ(Utf8(regex.MatchText(i)), c.matches[static_cast<std::size_t>(i - 1)]) << i;
    }
  }
}

TEST(RegexObjectDialect, GroupThatTookNoPartReadsEmpty) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(x)?(b)|(c)", "b c"));
  ASSERT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.GroupCount(), 3);
  struct Case {
    int32_t index;
    int32_t group;
    std::string text;
  };
  const Case cases[] = {{1, 1, ""}, {1, 2, "b"}, {1, 3, ""}, {2, 1, ""}, {2, 2, ""}, {2, 3, "c"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + "," + std::to_string(c.group));
    EXPECT_EQ(Utf8(regex.GroupText(c.index, c.group)), c.text);
  }
}

}  // namespace
}  // namespace quorvane
