#include "declared_charset.h"

#include <gtest/gtest.h>

#include <string>

#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

TEST(DeclaredCharset, FindsTheNameInAMetaTagOfThePageHead) {
  const struct {
    const char* page;
    const char* charset;
  } rows[] = {
      {"<html><head><meta charset=\"utf-8\"></head>", "utf-8"},
      {"<meta charset=utf-8>", "utf-8"},
      {"<META CHARSET='Big5'>", "Big5"},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />", "gb2312"},
      {"<meta name=x><meta charset=\"windows-1252\">", "windows-1252"},
      {"<meta charset=\"\">", ""},
      {"<p>charset=utf-8</p>", ""},
      {"<meta\ncharset=utf-8>", ""},  // "." does not cross a line break
      {"<MeTa charset=big5>", "big5"},
      // Right after a byte that would start a two-byte character: the engine still sees it.
      {"<title>\xE4\xB8\xAD<meta charset=\"utf-8\">", "utf-8"},
      {"\xAD<meta charset=utf-8>", "utf-8"},
      {"", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.page);
    EXPECT_EQ(DeclaredCharset(row.page).View(), row.charset);
  }
}

TEST(DeclaredCharset, LooksAtTheFirst1024BytesOnly) {
  const std::string tag = "<meta charset=\"utf-8\">";
  const std::string within = std::string(1024 - tag.size(), ' ') + tag;
  // The name is cut at byte 1024 after its first two letters.
  const std::string straddling = std::string(1024 - 17, ' ') + tag;
  const std::string beyond = std::string(1024, ' ') + tag;
  EXPECT_EQ(DeclaredCharset(Text(within)).View(), "utf-8");
  EXPECT_EQ(DeclaredCharset(Text(straddling)).View(), "ut");
  EXPECT_EQ(DeclaredCharset(Text(beyond)).View(), "");
}

TEST(PageTextOf, DecodesFromAnyCharsetButGbkAndGb2312) {
  const std::string utf8Body = "<meta charset=\"utf-8\"><p>中文</p>";
  const Text gbkPage = TextFromUtf8("<meta charset=\"gbk\"><p>中文</p>");
  const Text gb2312Page = TextFromUtf8("<meta charset=\"gb2312\"><p>中文</p>");
  const std::string unknown = "<meta charset=\"x-no-such-set\">\xE4\xB8\xAD";
  const std::string latin = "<meta charset=\"windows-1252\">caf\xE9";
  const std::string plain = "<p>\xE4\xB8\xAD</p>";

  const struct {
    const char* label;
    std::string body;
    Text expected;
  } rows[] = {
      {"utf-8 is decoded", utf8Body, TextFromUtf8(utf8Body)},
      {"gbk stays as its bytes", std::string(gbkPage.View()), gbkPage},
      {"gb2312 stays as its bytes", std::string(gb2312Page.View()), gb2312Page},
      {"an unknown name leaves the bytes", unknown, Text(unknown)},
      {"windows-1252 is decoded", latin,
       ConcatText(Text("<meta charset=\"windows-1252\">caf"), TextFromUtf8("é"))},
      {"no declaration leaves the bytes", plain, Text(plain)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(PageTextOf(row.body), row.expected);
  }
}

TEST(PageTextOf, DecodesGbkInCapitalsThroughTheConverter) {
  // "GBK" is not "gbk" byte for byte, so the body goes through the converter, which cannot
  // read a lead byte before a space and puts something else in its place; "gbk" keeps the bytes.
  const std::string upper = "<meta charset=\"GBK\">\x81 x";
  const std::string lower = "<meta charset=\"gbk\">\x81 x";
  const Text decoded = PageTextOf(upper);
  EXPECT_EQ(TextLeft(decoded, 20).View(), upper.substr(0, 20));
  EXPECT_NE(decoded.View(), upper);
  EXPECT_EQ(PageTextOf(lower).View(), lower);
}

TEST(PageTextOf, EndsTheUndecodedPageAtItsFirstZeroByte) {
  const std::string body("<p>a</p>\0<p>b</p>", 17);
  EXPECT_EQ(PageTextOf(body).View(), "<p>a</p>");
  EXPECT_EQ(PageTextOf(std::string_view()).View(), "");
}

}  // namespace
}  // namespace quorvane
