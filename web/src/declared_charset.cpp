#include "declared_charset.h"

#include <optional>

#include "quorvane/regex/regex_object.h"
#include "quorvane/text/code_page.h"

namespace quorvane {

Text DeclaredCharset(const Text& pageText) {
  RegexObject matcher;
  if (!matcher.Create("<meta.+?charset=[^\\w]?([-\\w]+)", TextLeft(pageText, 1024))) {
    return Text();
  }
  return matcher.GroupText(1, 1);
}

Text RedecodeDeclaredCharset(Text pageText, std::string_view body) {
  const Text charset = DeclaredCharset(pageText);
  if (charset.Empty() || TextEquals(charset, "gbk") || TextEquals(charset, "gb2312")) {
    return pageText;
  }
  std::optional<Text> decoded = DecodeCharset(body, charset.View());
  return decoded ? *std::move(decoded) : pageText;
}

}  // namespace quorvane
