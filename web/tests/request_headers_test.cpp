#include "request_headers.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {
namespace {

constexpr const char* kAgent =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n";
constexpr const char* kAccept = "Accept: text/html, application/xhtml+xml, */*\r\n";
constexpr const char* kEncoding = "Accept-Encoding: gbk, GB2312\r\n";
constexpr const char* kLanguage = "Accept-Language: zh-cn\r\n";
constexpr const char* kFormType = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr const char* kNoCache = "Cache-Control: no-cache\r\n";

TEST(MethodName, FollowsTheMethodTable) {
  const struct {
    int32_t code;
    const char* name;
  } rows[] = {{0, "GET"},
              {1, "POST"},
              {2, "HEAD"},
              {3, "PUT"},
              {4, "OPTIONS"},
              {5, "DELETE"},
              {6, "TRACE"},
              {7, "CONNECT"},
              // Codes outside the table send GET.
              {8, "GET"},
              {-1, "GET"},
              {INT_MAX, "GET"},
              {INT_MIN, "GET"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_STREQ(MethodName(row.code), row.name);
  }
}

TEST(TimeoutMilliseconds, MakesOneLimitFromTheSeconds) {
  const struct {
    int32_t seconds;
    int32_t milliseconds;
  } rows[] = {
      {0, 30000},
      {-5, 30000},
      {INT_MIN, 30000},  // 0 or less: 30 seconds
      {1, 1000},
      {2, 2000},
      {10, 10000},
      // Above 2147483 s the milliseconds would not fit 32 bits: the largest that does.
      {2147483, 2147483000},
      {2147484, 2147483000},
      {INT_MAX, 2147483000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.seconds);
    EXPECT_EQ(TimeoutMilliseconds(row.seconds), row.milliseconds);
  }
}

TEST(AssembleRequestHeaderText, AddsEachDefaultLineWhoseProbeIsAbsent) {
  const Text noCookies;
  const Text someCookies = "a=1; b=2";
  const struct {
    const char* label;
    const char* extra;
    int32_t method;
    const Text* cookies;
    std::string expected;
  } rows[] = {
      // A plain GET: rows 1, 2, 3, 4 and 6, in that order.
      {"plain GET", "", 0, nullptr,
       std::string(kAgent) + kAccept + kEncoding + kLanguage + kNoCache},
      // The caller's lines come first; a probe found in them keeps that default out.
      {"own agent, other case", "user-agent: x", 0, nullptr,
       std::string("user-agent: x\r\n") + kAccept + kEncoding + kLanguage + kNoCache},
      {"probe found inside a longer name", "X-Accept: 1", 0, nullptr,
       std::string("X-Accept: 1\r\n") + kAgent + kEncoding + kLanguage + kNoCache},
      {"Accept-Encoding does not hold the Accept probe", "Accept-Encoding: x", 0, nullptr,
       std::string("Accept-Encoding: x\r\n") + kAgent + kAccept + kLanguage + kNoCache},
      {"probe needs the space", "Cache-Control:no-store", 0, nullptr,
       std::string("Cache-Control:no-store\r\n") + kAgent + kAccept + kEncoding + kLanguage +
           kNoCache},
      {"several lines", "A: 1\r\nAccept-Language: en", 0, nullptr,
       std::string("A: 1\r\nAccept-Language: en\r\n") + kAgent + kAccept + kEncoding + kNoCache},
      // Content-Type only for POST, and its probe compares exactly.
      {"POST", "", 1, nullptr,
       std::string(kAgent) + kAccept + kEncoding + kLanguage + kFormType + kNoCache},
      {"POST with a lower-case type", "content-type: a/b", 1, nullptr,
       std::string("content-type: a/b\r\n") + kAgent + kAccept + kEncoding + kLanguage + kFormType +
           kNoCache},
      {"POST with its own type", "Content-Type: a/b", 1, nullptr,
       std::string("Content-Type: a/b\r\n") + kAgent + kAccept + kEncoding + kLanguage + kNoCache},
      {"PUT gets no type", "", 3, nullptr,
       std::string(kAgent) + kAccept + kEncoding + kLanguage + kNoCache},
      // The Cookie line needs a non-empty cookie list.
      {"cookies given empty", "", 0, &noCookies,
       std::string(kAgent) + kAccept + kEncoding + kLanguage + kNoCache},
      {"cookies given", "", 0, &someCookies,
       std::string(kAgent) + kAccept + kEncoding + kLanguage + kNoCache + "Cookie: a=1; b=2\r\n"},
      {"own Cookie line", "cookie: z=9", 0, &someCookies,
       std::string("cookie: z=9\r\n") + kAgent + kAccept + kEncoding + kLanguage + kNoCache},
      {"Set-Cookie holds the Cookie probe", "Set-Cookie: q=1", 0, &someCookies,
       std::string("Set-Cookie: q=1\r\n") + kAgent + kAccept + kEncoding + kLanguage + kNoCache},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(AssembleRequestHeaderText(row.extra, row.method, row.cookies).View(), row.expected);
  }
}

std::optional<std::vector<std::string>> Apply(const char* headerText) {
  const std::optional<std::vector<Text>> lines = ApplyHeaderText(headerText);
  if (!lines) return std::nullopt;
  std::vector<std::string> result;
  for (const Text& line : *lines) result.emplace_back(line.View());
  return result;
}

TEST(ApplyHeaderText, AddsOrReplacesByName) {
  using Lines = std::vector<std::string>;
  const struct {
    const char* text;
    Lines expected;
  } rows[] = {
      {"A: 1\r\nB: 2\r\n", {"A: 1", "B: 2"}},
      {"A: 1\r\nB: 2", {"A: 1", "B: 2"}},
      {"", {}},
      {"\r\n\r\nA: 1\r\n\r\n", {"A: 1"}},
      {"X:1", {"X:1"}},
      // A later line of the same name (letter case ignored) replaces the earlier in its place.
      {"A: 1\r\nB: 2\r\na: 3\r\n", {"a: 3", "B: 2"}},
      {"content-type: a/b\r\nAccept: x\r\nContent-Type: application/x-www-form-urlencoded\r\n",
       {"Content-Type: application/x-www-form-urlencoded", "Accept: x"}},
      // An empty value removes the line; for a name not present it adds nothing.
      {"A: 1\r\nB: 2\r\nA:\r\n", {"B: 2"}},
      {"A: 1\r\nA: \t \r\nA: 2\r\n", {"A: 2"}},
      {"A:\r\nB: 1", {"B: 1"}},
      // Values keep their bytes.
      {"A: 1; b=\"c: d\"\r\n", {"A: 1; b=\"c: d\""}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const std::optional<Lines> lines = Apply(row.text);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, row.expected);
  }
}

TEST(ApplyHeaderText, RefusesLinesThatCannotBeHeaders) {
  const char* const rows[] = {
      "no colon", ": value", "A B: c", "A\tB: c", "A: 1\r\nbad", "A: b\rc", "A: b\nc", "A\n: b",
  };
  for (const char* text : rows) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ApplyHeaderText(text).has_value());
  }
}

TEST(ApplyHeaderText, TurnsTheAssembledTextIntoTheLinesOnTheWire) {
  // A POST whose caller wrote the type in lower case: the default line replaces it in place.
  const Text text = AssembleRequestHeaderText("content-type: a/b\r\nX-Accept: 1", 1, nullptr);
  const std::optional<std::vector<Text>> lines = ApplyHeaderText(text);
  ASSERT_TRUE(lines.has_value());
  std::vector<std::string> names;
  for (const Text& line : *lines) names.push_back(HeaderName(line));
  EXPECT_EQ(names,
            (std::vector<std::string>{"Content-Type", "X-Accept", "User-Agent", "Accept-Encoding",
                                      "Accept-Language", "Cache-Control"}));
  EXPECT_EQ((*lines)[0].View(), "Content-Type: application/x-www-form-urlencoded");
}

}  // namespace
}  // namespace quorvane
