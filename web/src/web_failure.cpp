#include "web_failure.h"

#include "quorvane/text/code_page.h"

namespace quorvane {

Text WebFailureMessage(WebFailure failure) {
  // Converted once: the source is UTF-8, the messages code page 936.
  static const Text kMessages[] = {
      Text(),
      TextFromUtf8("700 当前系统不支持WinHttp服务!"),
      TextFromUtf8("701 解析URL地址失败!"),
      TextFromUtf8("702 创建WinHttp会话失败!"),
      TextFromUtf8("703 创建WinHttp连接失败!"),
      TextFromUtf8("704 创建WinHttp请求失败!"),
      TextFromUtf8("705 设置超时时间失败!"),
      TextFromUtf8("707 设置代理凭证失败!"),
      TextFromUtf8("708 禁止自动设置Cookies失败!"),
      TextFromUtf8("709 重定向设置失败!"),
      TextFromUtf8("710 设置协议头失败!"),
      TextFromUtf8("711 发送请求失败!"),
      TextFromUtf8("712 服务器未响应!"),
      TextFromUtf8("713 读取数据失败!"),
  };
  return kMessages[static_cast<int>(failure)];
}

}  // namespace quorvane
