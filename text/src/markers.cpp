#include "quorvane/text/markers.h"

#include "quorvane/text/code_page.h"

namespace quorvane {

namespace {

// Every quote marker in a marker stands for one double quote.
Text WithQuotes(const Text& marker) {
  static const Text kQuoteMarker = TextFromUtf8(u8"#引号");
  return ReplaceText(marker, kQuoteMarker, Text("\""), true);
}

}  // namespace

Text TextBetween(const Text& text, const Text& left, const Text& right, int32_t start,
                 bool ignoreCase) {
  const Text leftMarker = WithQuotes(left);
  const Text rightMarker = WithQuotes(right);
  const int32_t leftAt = FindText(text, leftMarker, start, ignoreCase);
  if (leftAt == -1) return Text();
  const int32_t contentStart = leftAt + TextLength(leftMarker);
  const int32_t rightAt = FindText(text, rightMarker, contentStart, ignoreCase);
  if (rightAt == -1) return Text();
  return TextMid(text, contentStart, rightAt - contentStart);
}

}  // namespace quorvane
