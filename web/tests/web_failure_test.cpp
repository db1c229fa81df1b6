#include "web_failure.h"

#include <gtest/gtest.h>

#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

TEST(WebFailureMessage, NumbersEachFailurePointInCodePage936) {
  const struct {
    WebFailure failure;
    const char* utf8;
  } rows[] = {
      {WebFailure::kNone, ""},
      {WebFailure::kNoHttpSupport, "700 当前系统不支持WinHttp服务!"},
      {WebFailure::kBadAddress, "701 解析URL地址失败!"},
      {WebFailure::kSession, "702 创建WinHttp会话失败!"},
      {WebFailure::kConnection, "703 创建WinHttp连接失败!"},
      {WebFailure::kRequest, "704 创建WinHttp请求失败!"},
      {WebFailure::kTimeouts, "705 设置超时时间失败!"},
      {WebFailure::kCredentials, "707 设置代理凭证失败!"},
      {WebFailure::kCookies, "708 禁止自动设置Cookies失败!"},
      {WebFailure::kRedirects, "709 重定向设置失败!"},
      {WebFailure::kHeaders, "710 设置协议头失败!"},
      {WebFailure::kSend, "711 发送请求失败!"},
      {WebFailure::kNoResponse, "712 服务器未响应!"},
      {WebFailure::kBodyBroken, "713 读取数据失败!"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.utf8);
    const Text message = WebFailureMessage(row.failure);
    EXPECT_EQ(message, TextFromUtf8(row.utf8));
    EXPECT_EQ(TextToUtf8(message), row.utf8);  // the round trip loses nothing
  }
  // One byte check that the text is code page 936, not UTF-8: "服" is B7 FE there.
  EXPECT_EQ(WebFailureMessage(WebFailure::kNoResponse).View().substr(4, 4), "\xB7\xFE\xCE\xF1");
}

}  // namespace
}  // namespace quorvane
