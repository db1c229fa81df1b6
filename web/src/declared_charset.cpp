#include "declared_charset.h"

#include <optional>

#include "quorvane/regex/regex_object.h"
#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

// Whether the bytes hold "<meta" in any letter case at any offset. Every match of the
// pattern begins with those five ASCII characters, which only ever come from five adjacent
// bytes, so bytes without them cannot match and most pages are spared making the expression
// engine. (A search by characters would not do: after a stray lead byte it steps over "<".)
bool HoldsMetaTagStart(std::string_view bytes) {
  constexpr std::string_view kStart = "<meta";
  for (size_t at = bytes.find('<'); at != std::string_view::npos; at = bytes.find('<', at + 1)) {
    if (bytes.size() - at < kStart.size()) return false;
    bool same = true;
    for (size_t i = 1; i < kStart.size() && same; ++i) {
      same = (bytes[at + i] | 0x20) == kStart[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

Text DeclaredCharset(const Text& pageText) {
  const Text head = TextLeft(pageText, 1024);
  if (!HoldsMetaTagStart(head.View())) return Text();
  RegexObject matcher;
  if (!matcher.Create("<meta.+?charset=[^\\w]?([-\\w]+)", head)) {
    return Text();
  }
  return matcher.GroupText(1, 1);
}

Text PageTextOf(std::string_view body) {
  // The head alone decides, so a body that is decoded is never first copied whole as text.
  const Text charset = DeclaredCharset(Text(body.substr(0, 1024)));
  if (!charset.Empty() && !TextEquals(charset, "gbk") && !TextEquals(charset, "gb2312")) {
    std::optional<Text> decoded = DecodeCharset(body, charset.View());
    if (decoded) return *std::move(decoded);
  }
  return Text(body);
}

}  // namespace quorvane
