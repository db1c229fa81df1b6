#include "quorvane/text/code_page.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

TEST(AnsiToWideTest, KnownPairs) {
  const struct {
    std::string_view gbk;
    std::string_view utf16le;
  } rows[] = {
      {"", ""},
      {"a", std::string_view("a\0\0\0", 4)},
      {"\xD6\xD0", std::string_view("\x2D\x4E\0\0", 4)},
      {"\xA1\xA1", std::string_view("\x00\x30\0\0", 4)},
      {"\x80", std::string_view("\xAC\x20\0\0", 4)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Hex(row.gbk));
    EXPECT_EQ(Hex(AnsiToWide(Text(row.gbk)).View()), Hex(row.utf16le));
  }
}

TEST(WideToAnsiTest, KnownPairs) {
  const struct {
    std::string_view utf16le;
    std::string_view gbk;
  } rows[] = {
      {std::string_view("\x2D\x4E\0\0", 4), "\xD6\xD0"},
      {std::string_view("a\0b\0", 4), "ab"},
      {std::string_view("a\0\0\0b\0", 6), "a"},
      {std::string_view("a\0b", 3), "a"},
      {"", ""},
      {std::string_view("\x3D\xD8\x00\xDE", 4), "?"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Hex(row.utf16le));
    EXPECT_EQ(Hex(WideToAnsi(Bytes(row.utf16le)).View()), Hex(row.gbk));
  }
}

}  // namespace
}  // namespace quorvane
