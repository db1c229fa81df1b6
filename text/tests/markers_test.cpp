#include "quorvane/text/markers.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Gbk;

TEST(TextBetweenTest, EdgeRules) {
  const struct {
    const char* name;
    Text text;
    Text left;
    Text right;
    int32_t start;
    bool ignoreCase;
    std::string_view expected;
  } rows[] = {
      {"first pair", "x=[1][2]", "[", "]", 0, false, "1"},
      {"from start 5", "x=[1][2]", "[", "]", 5, false, "2"},
      {"negative start searches from the first byte", "x=[1][2]", "[", "]", -3, false, "1"},
      {"start past the text", "x=[1]", "[", "]", 9, false, ""},
      {"quote markers", "k=\"v\"", Gbk("k=#引号"), Gbk("#引号"), 0, false, "v"},
      {"several quote markers", "a=\"\"b\"", Gbk("#引号#引号"), Gbk("#引号"), 0, false, "b"},
      {"left missing", "abc", "[", "]", 0, false, ""},
      {"right missing after left", "]x[abc", "[", "]", 0, false, ""},
      {"right directly after left", "[]", "[", "]", 0, false, ""},
      {"empty left inside the text", "abc;d", "", ";", 3, false, "abc"},
      {"empty left past the text", "abc;d", "", ";", 9, false, ""},
      {"empty right", "[abc]", "[", "", 0, false, ""},
      {"cookie header line", "Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 0, false, " a=1"},
      {"ignoring case", "SET-COOKIE: a=1;", "Set-Cookie:", ";", 0, true, " a=1"},
      {"case matters", "SET-COOKIE: a=1;", "Set-Cookie:", ";", 0, false, ""},
      {"two-byte markers", Gbk("【中】"), Gbk("【"), Gbk("】"), 0, false, "\xD6\xD0"},
      {"marker never at a second byte", "\x81[[a]", "[", "]", 0, false, "a"},
      {"only a second byte holds the marker", "\x81[a]", "[", "]", 0, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TextBetween(row.text, row.left, row.right, row.start, row.ignoreCase).View(),
              row.expected);
  }
}

TEST(TextBetweenTest, DefaultsSearchFromTheStartCaseSensitively) {
  EXPECT_EQ(TextBetween(Text("<a><b>"), Text("<"), Text(">")).View(), "a");
  EXPECT_EQ(TextBetween(Text("<A>"), Text("<a"), Text(">")).View(), "");
}

}  // namespace
}  // namespace quorvane
