// Capturing the final response's header block into the caller's out-parameters: the status
// text, the headers with "Set-Cookie" spelled one way, the cookies the response set (merged
// into the request's cookie list on request) and the redirect location.
#pragma once

#include "quorvane/text/text.h"

namespace quorvane {

// The text from byte 10 of the headers up to the first "\r\n" from there:
// "HTTP/1.1 404 Not Found\r\n..." -> "404 Not Found". Empty when no "\r\n" follows byte 10.
Text StatusTextOf(const Text& rawHeaders);

// The headers with every "Set-Cookie", in any letter case, written "Set-Cookie".
Text NormaliseSetCookie(const Text& rawHeaders);

// The cookie item of a header line that contains "Set-Cookie": with a ";" in the line, the
// text after the first "Set-Cookie:" up to the next ";" (empty when either is missing);
// without one, the line with every "Set-Cookie:" (any letter case) removed; spaces trimmed.
// "Set-Cookie: a=1; Path=/" -> "a=1"; "Set-Cookie: b=2" -> "b=2".
Text CookieItemOf(const Text& setCookieLine);

// The pieces of the capture the caller asked for; null members are not written.
struct CaptureTargets {
  Text* responseHeaders = nullptr;   // out: the normalised header block
  Text* statusText = nullptr;        // out: replaced by the status text
  Text* responseCookies = nullptr;   // in/out: built on its entry value
  Text* redirectLocation = nullptr;  // out: written only when a Location line exists
  Text* requestCookies = nullptr;    // given: the merge's old list, rewritten in place
  bool autoMergeCookies = true;
};

// Captures rawHeaders (status line and header lines, each ended by "\r\n", then an empty line):
//   1. status text (StatusTextOf);
//   2. the headers normalised (NormaliseSetCookie), split at "\r\n";
//   3. each line containing "Set-Cookie" (exact case) gives one cookie item (CookieItemOf);
//      the items are joined by "; " and follow the entry value of *responseCookies, with "; "
//      between a non-empty entry value and the first item; without items the entry value
//      stays as it is;
//   4. a line whose first 10 bytes are "Location: " (letter case ignored) sets the location
//      to the rest of the line; a later one wins;
//   5. with autoMergeCookies and requestCookies given (also when empty), the cookies become
//      MergeCookies(*requestCookies, cookies), which also leaves them in *requestCookies.
void CaptureResponse(const Text& rawHeaders, const CaptureTargets& targets);

}  // namespace quorvane
