#include "response_capture.h"

#include "quorvane/text/cookies.h"
#include "quorvane/text/markers.h"
#include "quorvane/text/text_array.h"

namespace quorvane {

Text StatusTextOf(const Text& rawHeaders) {
  const int32_t end = FindText(rawHeaders, "\r\n", 10, false);
  if (end == -1) return Text();
  return TextMid(rawHeaders, 10, end - 10);
}

Text NormaliseSetCookie(const Text& rawHeaders) {
  return ReplaceText(rawHeaders, "Set-Cookie", "Set-Cookie", false);
}

Text CookieItemOf(const Text& setCookieLine) {
  if (FindText(setCookieLine, ";", 1, false) != -1) {
    return TrimSpaces(TextBetween(setCookieLine, "Set-Cookie:", ";"));
  }
  return TrimSpaces(ReplaceText(setCookieLine, "Set-Cookie:", Text(), false));
}

void CaptureResponse(const Text& rawHeaders, const CaptureTargets& targets) {
  if (targets.statusText != nullptr) *targets.statusText = StatusTextOf(rawHeaders);
  const Text headers = NormaliseSetCookie(rawHeaders);
  if (targets.responseHeaders != nullptr) *targets.responseHeaders = headers;

  Text cookies = targets.responseCookies != nullptr ? *targets.responseCookies : Text();
  bool firstItem = true;
  const TextArray lines = SplitText(headers, "\r\n");
  for (const Text& line : lines) {
    if (FindText(line, "Set-Cookie", 1, false) != -1) {
      // The separator goes between items, and between a non-empty entry value and the first
      // item, so that an entry list "x=1" and an item "a=1" make "x=1; a=1".
      if (!firstItem || !cookies.Empty()) cookies.Append("; ");
      cookies.Append(CookieItemOf(line));
      firstItem = false;
    }
    if (targets.redirectLocation != nullptr &&
        CompareText(TextLeft(line, 10), "Location: ", false) == 0) {
      *targets.redirectLocation = TextMid(line, 11, TextLength(line) - 10);
    }
  }

  if (targets.autoMergeCookies && targets.requestCookies != nullptr) {
    Text newList = cookies;
    cookies = MergeCookies(*targets.requestCookies, newList);
  }
  if (targets.responseCookies != nullptr) *targets.responseCookies = cookies;
}

}  // namespace quorvane
