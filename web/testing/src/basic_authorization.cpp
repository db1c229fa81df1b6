#include <string>
#include <string_view>

#include "quorvane/testing/received_request.h"

namespace quorvane::testing {

std::string BasicAuthorizationValue(std::string_view user, std::string_view password) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string plain = std::string(user) + ":" + std::string(password);
  std::string encoded;
  for (size_t i = 0; i < plain.size(); i += 3) {
    unsigned chunk = static_cast<unsigned char>(plain[i]) << 16;
    if (i + 1 < plain.size()) chunk |= static_cast<unsigned char>(plain[i + 1]) << 8;
    if (i + 2 < plain.size()) chunk |= static_cast<unsigned char>(plain[i + 2]);
    encoded += kAlphabet[(chunk >> 18) & 63];
    encoded += kAlphabet[(chunk >> 12) & 63];
    encoded += i + 1 < plain.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    encoded += i + 2 < plain.size() ? kAlphabet[chunk & 63] : '=';
  }
  return "Basic " + encoded;
}

}  // namespace quorvane::testing
