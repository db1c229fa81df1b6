// When and how a response's redirect is followed, as WinHTTP does by default.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// At most this many redirects are followed for one request.
inline constexpr int kMostRedirects = 10;

// 301, 302, 303, 307 and 308 redirect (when the response has a Location line).
bool IsRedirectStatus(int status);

enum class RedirectStep {
  kFollow,  // request the target next
  kStop,    // not followed: this response is the final one
  kFail,    // the redirect cannot be followed: nothing usable came back
};

// Whether a redirect from a fromScheme address to a toScheme address ("http", "https", any
// other for a target of another kind) is followed after redirectsSoFar earlier ones:
// https -> http is not followed (the redirect response is the final one); a target that is
// neither http nor https, or an eleventh redirect, fails.
RedirectStep DecideRedirect(std::string_view fromScheme, std::string_view toScheme,
                            int redirectsSoFar);

// The method of the request that follows a redirect with this status: 303 turns every method
// but HEAD into GET; 301 and 302 turn POST into GET; 307 and 308 keep it.
std::string MethodAfterRedirect(std::string_view method, int status);

}  // namespace quorvane
