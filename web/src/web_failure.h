// The failure points of a web request and the numbered message each one writes into the
// caller's status text. The numbers follow the steps of the request: 700 the platform check,
// 701 the address, 702 to 704 the session, connection and request, 705 the timeouts, 707 to 710
// the credential, cookie, redirect and header steps, 711 sending, 712 receiving the response,
// 713 reading the body. There is no 706.
#pragma once

#include "quorvane/text/text.h"

namespace quorvane {

enum class WebFailure {
  kNone,
  kNoHttpSupport,  // 700
  kBadAddress,     // 701
  kSession,        // 702
  kConnection,     // 703
  kRequest,        // 704
  kTimeouts,       // 705
  kCredentials,    // 707
  kCookies,        // 708
  kRedirects,      // 709
  kHeaders,        // 710
  kSend,           // 711
  kNoResponse,     // 712
  kBodyBroken,     // 713
};

// The message in code page 936, e.g. "712 服务器未响应!"; the empty text for kNone.
Text WebFailureMessage(WebFailure failure);

}  // namespace quorvane
