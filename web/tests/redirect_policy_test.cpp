#include "redirect_policy.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(IsRedirectStatus, CoversThePermanentAndTemporaryRedirects) {
  for (int status : {301, 302, 303, 307, 308}) EXPECT_TRUE(IsRedirectStatus(status)) << status;
  for (int status : {0, 200, 300, 304, 305, 306, 309, 400}) {
    EXPECT_FALSE(IsRedirectStatus(status)) << status;
  }
}

TEST(DecideRedirect, FollowsHttpTargetsAtMostTenTimesAndNeverDownToHttp) {
  const struct {
    const char* from;
    const char* to;
    int redirectsSoFar;
    RedirectStep step;
  } rows[] = {
      {"http", "http", 0, RedirectStep::kFollow},
      {"http", "https", 0, RedirectStep::kFollow},
      {"https", "https", 9, RedirectStep::kFollow},
      // From https down to http: the redirect response is the final one.
      {"https", "http", 0, RedirectStep::kStop},
      // Targets of other kinds and an eleventh redirect fail.
      {"http", "ftp", 0, RedirectStep::kFail},
      {"http", "", 0, RedirectStep::kFail},
      {"http", "http", 10, RedirectStep::kFail},
      {"https", "http", 10, RedirectStep::kFail},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.from) + " -> " + row.to + " after " +
                 std::to_string(row.redirectsSoFar));
    EXPECT_EQ(DecideRedirect(row.from, row.to, row.redirectsSoFar), row.step);
  }
}

TEST(MethodAfterRedirect, TurnsPostIntoGetAsBrowsersDo) {
  const struct {
    const char* method;
    int status;
    const char* next;
  } rows[] = {
      {"POST", 301, "GET"},   {"POST", 302, "GET"}, {"POST", 303, "GET"},  {"POST", 307, "POST"},
      {"POST", 308, "POST"},  {"PUT", 301, "PUT"},  {"PUT", 302, "PUT"},   {"PUT", 303, "GET"},
      {"DELETE", 303, "GET"}, {"GET", 303, "GET"},  {"HEAD", 303, "HEAD"}, {"HEAD", 301, "HEAD"},
      {"PUT", 307, "PUT"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.method) + " " + std::to_string(row.status));
    EXPECT_EQ(MethodAfterRedirect(row.method, row.status), row.next);
  }
}

}  // namespace
}  // namespace quorvane
