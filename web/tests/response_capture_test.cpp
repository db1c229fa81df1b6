#include "response_capture.h"

#include <gtest/gtest.h>

#include <optional>

namespace quorvane {
namespace {

TEST(StatusTextOf, CutsTheStatusLineFromByteTen) {
  const struct {
    const char* headers;
    const char* status;
  } rows[] = {
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", "200 OK"},
      {"HTTP/1.1 404 Not Found\r\n\r\n", "404 Not Found"},
      {"HTTP/1.0 302 Moved Temporarily\r\n\r\n", "302 Moved Temporarily"},
      {"HTTP/1.1 200\r\n\r\n", "200"},
      // No "\r\n" from byte 10 on: empty.
      {"HTTP/1.1 200 OK", ""},
      {"HTTP/1.1\r\n", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.headers);
    EXPECT_EQ(StatusTextOf(row.headers).View(), row.status);
  }
}

TEST(NormaliseSetCookie, SpellsEveryOccurrenceOneWay) {
  EXPECT_EQ(NormaliseSetCookie("set-cookie: a\r\nSET-COOKIE: b\r\nX-sEt-CoOkIe-n: c\r\n").View(),
            "Set-Cookie: a\r\nSet-Cookie: b\r\nX-Set-Cookie-n: c\r\n");
}

TEST(CookieItemOf, TakesTheFirstPairOfTheLine) {
  const struct {
    const char* line;
    const char* item;
  } rows[] = {
      {"Set-Cookie: a=1; Path=/", "a=1"},
      {"Set-Cookie:  a=1 ; Path=/", "a=1"},
      {"Set-Cookie: b=2", "b=2"},
      {"Set-Cookie:b=2", "b=2"},
      {"Set-Cookie: id=deleted; expires=Thu, 01-Jan-1970 00:00:01 GMT", "id=deleted"},
      // With a ";" but no "Set-Cookie:" there is no item text.
      {"X-Set-Cookie-Note; v", ""},
      {"Set-Cookie: ;", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(CookieItemOf(row.line).View(), row.item);
  }
}

// The caller's variables, with entry values, and the targets pointing at them.
class CaptureTest : public ::testing::Test {
 protected:
  CaptureTargets Targets() {
    return CaptureTargets{.responseHeaders = &responseHeaders,
                          .statusText = &statusText,
                          .responseCookies = &responseCookies,
                          .redirectLocation = &redirectLocation,
                          .requestCookies = requestCookies ? &*requestCookies : nullptr,
                          .autoMergeCookies = autoMerge};
  }

  Text responseHeaders = "old headers";
  Text statusText = "713 old";
  Text responseCookies;
  Text redirectLocation = "keep";
  std::optional<Text> requestCookies;  // omitted
  bool autoMerge = true;
};

constexpr const char* kTwoCookies =
    "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nset-cookie: b=2\r\n\r\n";

TEST_F(CaptureTest, WritesStatusHeadersAndCookies) {
  CaptureResponse(kTwoCookies, Targets());
  EXPECT_EQ(statusText.View(), "200 OK");
  EXPECT_EQ(responseHeaders.View(),
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n\r\n");
  EXPECT_EQ(responseCookies.View(), "a=1; b=2");
  EXPECT_EQ(redirectLocation.View(), "keep");  // no Location line
}

TEST_F(CaptureTest, BuildsCookiesOnTheEntryValue) {
  const struct {
    const char* entry;
    const char* headers;
    const char* cookies;
  } rows[] = {
      // "; " between a non-empty entry value and the first new item.
      {"x=1", kTwoCookies, "x=1; a=1; b=2"},
      // Without new items the entry value stays whole.
      {"x=1", "HTTP/1.1 200 OK\r\n\r\n", "x=1"},
      {"", "HTTP/1.1 200 OK\r\n\r\n", ""},
      // An empty item still takes its place between separators.
      {"", "HTTP/1.1 200 OK\r\nX-Set-Cookie-Note; v\r\nSet-Cookie: b=2\r\n\r\n", "; b=2"},
      {"", "HTTP/1.1 200 OK\r\nSet-Cookie: b=2\r\nX-Set-Cookie-Note; v\r\n\r\n", "b=2; "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.entry) + " | " + row.headers);
    responseCookies = row.entry;
    CaptureResponse(row.headers, Targets());
    EXPECT_EQ(responseCookies.View(), row.cookies);
  }
}

TEST_F(CaptureTest, MergesIntoTheRequestCookiesWhenGiven) {
  const struct {
    const char* label;
    std::optional<const char*> request;
    bool autoMerge;
    const char* headers;
    const char* responseCookies;
    const char* requestAfter;  // null: omitted
  } rows[] = {
      {"new value first, then the old items", "a=1; b=2", true,
       "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; Path=/\r\n\r\n", "b=3; a=1", "b=3; a=1"},
      {"given empty still merges", "", true, "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n", "a=1",
       "a=1"},
      {"a deleted cookie disappears", "a=1; b=2", true,
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=deleted; expires=Thu, 01-Jan-1970 00:00:01 GMT\r\n\r\n",
       "b=2", "b=2"},
      {"no merge when switched off", "a=1", false, "HTTP/1.1 200 OK\r\nSet-Cookie: b=2\r\n\r\n",
       "b=2", "a=1"},
      {"no merge when omitted", std::nullopt, true, "HTTP/1.1 200 OK\r\nSet-Cookie: b=2\r\n\r\n",
       "b=2", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    responseCookies = Text();
    requestCookies = row.request ? std::optional<Text>(*row.request) : std::nullopt;
    autoMerge = row.autoMerge;
    CaptureResponse(row.headers, Targets());
    EXPECT_EQ(responseCookies.View(), row.responseCookies);
    if (row.requestAfter == nullptr) {
      EXPECT_FALSE(requestCookies.has_value());
    } else {
      ASSERT_TRUE(requestCookies.has_value());
      EXPECT_EQ(requestCookies->View(), row.requestAfter);
    }
  }
}

TEST_F(CaptureTest, TakesTheLastLocationLine) {
  const struct {
    const char* headers;
    const char* location;
  } rows[] = {
      {"HTTP/1.1 302 Found\r\nlocation: /next\r\n\r\n", "/next"},
      {"HTTP/1.1 301 Moved\r\nLOCATION: http://h/a\r\nLocation: /b\r\n\r\n", "/b"},
      {"HTTP/1.1 302 Found\r\nLocation: \r\n\r\n", ""},
      // Not a Location line: no space after the colon, or another name.
      {"HTTP/1.1 302 Found\r\nLocation:/x\r\n\r\n", "keep"},
      {"HTTP/1.1 201 Created\r\nContent-Location: /c\r\n\r\n", "keep"},
      {"HTTP/1.1 200 OK\r\n\r\n", "keep"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.headers);
    redirectLocation = "keep";
    CaptureResponse(row.headers, Targets());
    EXPECT_EQ(redirectLocation.View(), row.location);
  }
}

TEST(CaptureResponse, WritesOnlyTheTargetsGiven) {
  Text requestCookies = "a=1";
  CaptureResponse(kTwoCookies, CaptureTargets{.requestCookies = &requestCookies});
  EXPECT_EQ(requestCookies.View(), "a=1; b=2");
  CaptureResponse(kTwoCookies, CaptureTargets{});  // nothing to write, nothing breaks
}

}  // namespace
}  // namespace quorvane
