#include "quorvane/regex/match_collection.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {
namespace {

constexpr std::size_t kUnset = MatchCollection::kNotCaptured;

TEST(MatchCollection, ItemsOutOfRangeAreAbsent) {
  const std::u16string subject = u"abcabc";
  MatchCollection matches(1);
  const std::vector<std::size_t> first = {1, 3, 2, 3};
  const std::vector<std::size_t> second = {4, 6, kUnset, kUnset};
  matches.Append(subject, first);
  matches.Append(subject, second);

  ASSERT_EQ(matches.Count(), 2);
  EXPECT_EQ(matches.GroupCount(), 1);
  EXPECT_FALSE(matches.Item(-1).has_value());
  EXPECT_FALSE(matches.Item(2).has_value());
  const RegExpMatch match = *matches.Item(1);
  EXPECT_EQ(match.FirstIndex(), 4);
  EXPECT_EQ(match.Value(), u"bc");
  EXPECT_EQ(match.SubMatches().Count(), 1);
  EXPECT_EQ(match.SubMatches().Item(0), u"");  // took no part
  EXPECT_FALSE(match.SubMatches().Item(1).has_value());
  EXPECT_FALSE(match.SubMatches().Item(-1).has_value());
  EXPECT_EQ(matches.Item(0)->SubMatches().Item(0), u"c");
}

TEST(MatchCollection, KeepsItsTextsAfterTheSubjectIsGone) {
  MatchCollection matches(2);
  {
    std::u16string subject = u"xxabyy";
    const std::vector<std::size_t> offsets = {2, 4, 0, 2, 4, 6};  // groups outside the match
    matches.Append(subject, offsets);
    subject.assign(subject.size(), u'-');
  }
  const RegExpMatch match = *matches.Item(0);
  EXPECT_EQ(match.Value(), u"ab");
  EXPECT_EQ(match.SubMatches().Item(0), u"xx");
  EXPECT_EQ(match.SubMatches().Item(1), u"yy");
}

TEST(MatchCollection, BrokenOrMissingGroupRangesReadAsNoPart) {
  const std::u16string subject = u"abc";
  struct Case {
    const char* name;
    std::vector<std::size_t> offsets;
  };
  const Case cases[] = {
      {"beyond the subject", {0, 1, 2, 9}},
      {"end before start", {0, 1, 2, 1}},
      {"missing", {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MatchCollection matches(1);
    matches.Append(subject, c.offsets);
    EXPECT_EQ(matches.Item(0)->Value(), u"a");
    EXPECT_EQ(matches.Item(0)->SubMatches().Item(0), u"");
  }
}

TEST(MatchCollection, EmptyCollectionReplacesNothing) {
  const MatchCollection matches(3);
  EXPECT_EQ(matches.Count(), 0);
  EXPECT_EQ(ReplaceMatches(u"abc", matches, u"$&$1"), u"abc");
  EXPECT_EQ(ReplaceMatches(u"", matches, u"x"), u"");
}

TEST(MatchCollection, ReplacementTokensAtTheEdgesOfTheSubject) {
  const std::u16string subject = u"abc";
  MatchCollection matches(1);
  const std::vector<std::size_t> atStart = {0, 1, 0, 1};
  const std::vector<std::size_t> atEnd = {3, 3, kUnset, kUnset};
  matches.Append(subject, atStart);
  matches.Append(subject, atEnd);
  struct Case {
    std::u16string replacement;
    std::u16string result;
  };
  const Case cases[] = {
      {u"[$`]", u"[]bc[abc]"}, {u"[$']", u"[bc]bc[]"}, {u"[$1]", u"[a]bc[]"},
      {u"$", u"$bc$"},         {u"$$1", u"$1bc$1"},    {u"$<name>", u"$<name>bc$<name>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.replacement.begin(), c.replacement.end()));
    EXPECT_EQ(ReplaceMatches(subject, matches, c.replacement), c.result);
  }
}

}  // namespace
}  // namespace quorvane
