// Picture addresses made canonical and split before the fetch.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "quorvane/app/picture_fetch.h"

namespace quorvane {
namespace {

TEST(CrackPictureAddressTest, SplitsAndResolvesWithoutEscaping) {
  struct Row {
    std::string url;
    std::string requestUrl;
    std::string userName;
    std::string password;
  };
  const Row rows[] = {
      {"http://host/a/b", "http://host/a/b", "", ""},
      {"HTTP://host/a", "http://host/a", "", ""},
      {"https://host:8443/a", "https://host:8443/a", "", ""},
      {"http://host", "http://host/", "", ""},
      {"http://host:", "http://host/", "", ""},
      {"http://host?x=1", "http://host/?x=1", "", ""},
      // Dot segments resolved; the query is left alone.
      {"http://h/a/./b/../c", "http://h/a/c", "", ""},
      {"http://h/../../a", "http://h/a", "", ""},
      {"http://h/a/b/..", "http://h/a/", "", ""},
      {"http://h/a/.", "http://h/a/", "", ""},
      {"http://h/a?x=/../y", "http://h/a?x=/../y", "", ""},
      // The fragment is cut off.
      {"http://h/a#top", "http://h/a", "", ""},
      {"http://h/a?q=1#x?y", "http://h/a?q=1", "", ""},
      // Nothing is escaped.
      {"http://h/a b/%41/\xD6\xD0", "http://h/a b/%41/\xD6\xD0", "", ""},
      // Credentials travel apart from the address.
      {"http://user:pw@h:81/a", "http://h:81/a", "user", "pw"},
      {"http://user@h/a", "http://h/a", "user", ""},
      {"http://[::1]:8080/a", "http://[::1]:8080/a", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    const std::optional<PictureAddress> address = CrackPictureAddress(row.url);
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->RequestUrl(), row.requestUrl);
    EXPECT_EQ(address->userName, row.userName);
    EXPECT_EQ(address->password, row.password);
  }
}

TEST(CrackPictureAddressTest, RefusesWhatCannotBeFetched) {
  const std::string rows[] = {
      "",
      "http:",
      "http:host/a",
      "http:///a",
      "ftp://host/a",
      "file:///etc/passwd",
      "//host/a",
      "http://host:0/a",
      "http://host:65536/a",
      "http://host:8x/a",
      "http://user@/a",
      // Size limits: host 256, user name and password 128, path 2048.
      "http://" + std::string(257, 'h') + "/a",
      "http://" + std::string(129, 'u') + "@h/a",
      "http://u:" + std::string(129, 'p') + "@h/a",
      "http://h/" + std::string(2048, 'p'),
  };
  for (const std::string& url : rows) {
    SCOPED_TRACE(url.substr(0, 40));
    EXPECT_FALSE(CrackPictureAddress(url).has_value());
  }
}

TEST(CrackPictureAddressTest, AcceptsPartsAtTheirLimits) {
  const std::string rows[] = {
      "http://" + std::string(256, 'h') + "/a",
      "http://" + std::string(128, 'u') + ":" + std::string(128, 'p') + "@h/a",
      "http://h/" + std::string(2047, 'p'),
  };
  for (const std::string& url : rows) {
    SCOPED_TRACE(url.substr(0, 40));
    EXPECT_TRUE(CrackPictureAddress(url).has_value());
  }
}

TEST(HttpGetFileTest, GivesNothingForAnAddressThatCannotBeSplit) {
  const char* const rows[] = {"", "http:", "http://", "ftp://127.0.0.1/a", "http://127.0.0.1:0/"};
  for (const char* url : rows) {
    SCOPED_TRACE(url);
    bool complete = true;
    EXPECT_TRUE(HttpGetFile(url, &complete).Empty());
    EXPECT_FALSE(complete);
  }
}

}  // namespace
}  // namespace quorvane
