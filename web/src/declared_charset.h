// Re-decoding a page from the character set its head declares in a meta tag.
#pragma once

#include <string_view>

#include "quorvane/text/text.h"

namespace quorvane {

// The name captured by "<meta.+?charset=[^\w]?([-\w]+)" (letter case ignored) in the first
// 1024 bytes of pageText; empty when nothing matches.
Text DeclaredCharset(const Text& pageText);

// The page text of a response body: the body up to its first zero byte, re-decoded when its
// first 1024 bytes declare a character set other than "gbk" and "gb2312" (byte for byte, so
// "GBK" is decoded): the whole body read as that character set into code page 936 text with
// "?" for what it cannot show. A name no converter knows leaves the body's bytes.
Text PageTextOf(std::string_view body);

}  // namespace quorvane
