#include "quorvane/text/cookies.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Gbk;

TextArray ArrayOf(std::initializer_list<const char*> members) {
  TextArray array;
  for (const char* member : members) ArrayAppend(array, Text(member));
  return array;
}

TEST(MergeCookiesTest, Merges) {
  const struct {
    const char* name;
    Text oldList;
    Text newList;
    std::string_view expected;
  } rows[] = {
      {"new value replaces old", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"deleted cookie goes", "a=1; b=2", "a=deleted", "b=2"},
      {"old empty", "", "x=1", "x=1"},
      {"new empty", "a=1", "", "a=1"},
      {"both empty", "", "", ""},
      {"first old item of a name wins", "a=1;a=2", "", "a=1"},
      {"new items of one name both stay", "", "a=1;a=2", "a=1; a=2"},
      {"exact repeats go", "", "a=1;a=1", "a=1"},
      {"bare name", "flag=1", "flag", "flag"},
      {"names are case-sensitive", "A=1", "a=2", "a=2; A=1"},
      {"spaces removed", "a = 1 ;b=2", "", "a=1; b=2"},
      {"spaces removed inside values", "a=x y", "", "a=xy"},
      {"full-width spaces removed", Gbk("a=1;　b=2"), "", "a=1; b=2"},
      {"trailing separator adds nothing", "a=1;", "", "a=1"},
      {"empty slot stays", "a=1;;b=2", "c=3", "c=3; a=1; ; b=2"},
      {"old deleted item goes", "x=deleted; y=1", "", "y=1"},
      {"deleted only at the end", "a=deletedx", "", "a=deletedx"},
      {"deleted new hides every old of its name", "a=1;a=2;b=1", "a=deleted", "b=1"},
      {"name before the first equals", "a=b=c", "a=d", "a=d"},
      {"two-byte names", Gbk("名=1"), Gbk("名=2"), "\xC3\xFB=2"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Text oldList = row.oldList;
    Text newList = row.newList;
    const Text merged = MergeCookies(oldList, newList);
    EXPECT_EQ(merged.View(), row.expected);
    EXPECT_EQ(oldList.View(), row.expected);
    EXPECT_EQ(newList.View(), RemoveSpaces(row.newList).View());
  }
}

TEST(MergeCookiesTest, SameVariableForBothLists) {
  Text both("a=1; b = 2");
  const Text merged = MergeCookies(both, both);
  EXPECT_EQ(merged.View(), "a=1; b=2");
  EXPECT_EQ(both.View(), "a=1; b=2");
}

TEST(MergeCookiesTest, ManyCookiesStayLinear) {
  // Thousands of distinct names: a quadratic merge would take seconds here.
  Text oldList;
  Text newList;
  for (int i = 0; i < 20000; ++i) {
    oldList.Append(ConcatText(Text("o"), Text(std::to_string(i)), "=1;"));
    newList.Append(ConcatText(Text("n"), Text(std::to_string(i)), "=1;"));
  }
  const Text merged = MergeCookies(oldList, newList);
  EXPECT_EQ(FindText(merged, Text("n0=1; n1=1;")), 1);
  EXPECT_EQ(TextRight(merged, 10).View(), "; o19999=1");
}

TEST(CookieNameTest, Names) {
  const struct {
    Text item;
    std::string_view expected;
  } rows[] = {
      {"a=1", "a"},           {" a =1", "a"}, {"flag", "flag"}, {"=x", ""},
      {"a=b=c", "a"},         {"", ""},       {"  ", ""},       {"\xA1\xA1k\xA1\xA1=v", "k"},
      {"\x81=x=y", "\x81=x"},  // "=" as a second byte does not end the name
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(CookieName(row.item).View(), row.expected);
  }
}

TEST(HasCookieNameTest, ComparesNamesByteForByte) {
  const TextArray items = ArrayOf({"a=1", " b =2", "flag"});
  EXPECT_TRUE(HasCookieName(items, Text("a")));
  EXPECT_TRUE(HasCookieName(items, Text("b")));
  EXPECT_TRUE(HasCookieName(items, Text("flag")));
  EXPECT_FALSE(HasCookieName(items, Text("A")));
  EXPECT_FALSE(HasCookieName(items, Text("1")));
  EXPECT_FALSE(HasCookieName(TextArray(), Text("")));
  EXPECT_TRUE(HasCookieName(ArrayOf({"=x"}), Text("")));
}

TEST(DedupeListTest, Lists) {
  const struct {
    const char* name;
    Text list;
    Text separator;
    std::string_view expected;
  } rows[] = {
      {"repeats and trailing separator", "a; b; a; ", "; ", "a; b"},
      {"first occurrence stays in place", "b;a;b;c;a", ";", "b;a;c"},
      {"empty members count", "a;;b;;c", ";", "a;;b;c"},
      {"empty list", "", "; ", ""},
      {"empty separator keeps the list", "a;a", "", "a;a"},
      {"case matters", "a;A", ";", "a;A"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DedupeList(row.list, row.separator).View(), row.expected);
  }
}

TEST(FindMemberTest, Indexes) {
  const TextArray array = ArrayOf({"a", "", "b", "a"});
  EXPECT_EQ(FindMember(array, Text("a")), 1);
  EXPECT_EQ(FindMember(array, Text("")), 2);
  EXPECT_EQ(FindMember(array, Text("b")), 3);
  EXPECT_EQ(FindMember(array, Text("c")), -1);
  EXPECT_EQ(FindMember(TextArray(), Text("")), -1);
  EXPECT_EQ(FindMember(TextArray(), Text("a")), -1);
}

}  // namespace
}  // namespace quorvane
