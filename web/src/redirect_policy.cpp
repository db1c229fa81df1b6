#include "redirect_policy.h"

namespace quorvane {

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

RedirectStep DecideRedirect(std::string_view fromScheme, std::string_view toScheme,
                            int redirectsSoFar) {
  if (toScheme != "http" && toScheme != "https") return RedirectStep::kFail;
  if (redirectsSoFar >= kMostRedirects) return RedirectStep::kFail;
  if (fromScheme == "https" && toScheme == "http") return RedirectStep::kStop;
  return RedirectStep::kFollow;
}

std::string MethodAfterRedirect(std::string_view method, int status) {
  if (status == 303 && method != "HEAD") return "GET";
  if ((status == 301 || status == 302) && method == "POST") return "GET";
  return std::string(method);
}

}  // namespace quorvane
