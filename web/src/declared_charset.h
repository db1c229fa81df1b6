// Re-decoding a page from the character set its head declares in a meta tag.
#pragma once

#include <string_view>

#include "quorvane/text/text.h"

namespace quorvane {

// The name captured by "<meta.+?charset=[^\w]?([-\w]+)" (letter case ignored) in the first
// 1024 bytes of pageText; empty when nothing matches.
Text DeclaredCharset(const Text& pageText);

// pageText (the body up to its first zero byte) re-decoded from the declared character set:
// unchanged when none is declared or the name is "gbk" or "gb2312" (byte for byte, so "GBK"
// is decoded); otherwise the whole body read as that character set into code page 936 text
// with "?" for what it cannot show. A name no converter knows leaves pageText unchanged.
Text RedecodeDeclaredCharset(Text pageText, std::string_view body);

}  // namespace quorvane
