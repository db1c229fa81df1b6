// Transfer: one plain HTTP(S) exchange that gathers the body, for callers
// that need no more than a GET (the picture fetch). Never throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvane/text/byte_set.h"

namespace quorvane {

struct TransferRequest {
  std::string url{};  // absolute http:// or https:// address, sent as it is
  std::string userName{};
  std::string password{};                  // Basic, only when both are non-empty
  std::string userAgent{};                 // empty: no User-Agent line
  std::vector<std::string> headerLines{};  // "Name: value", sent in this order
  bool http10 = false;                     // speak HTTP/1.0 instead of HTTP/1.1
  bool followRedirects = true;             // http and https targets only, at most 10
  int32_t timeoutMilliseconds = 30000;     // connect limit and receive inactivity limit
};

struct TransferResult {
  ByteSet body{};          // what arrived of the final response's body
  int32_t statusCode = 0;  // the final response's status, 0 when none came
  bool complete = false;   // the exchange ended normally with the whole body
};

TransferResult Transfer(const TransferRequest& request);

}  // namespace quorvane
