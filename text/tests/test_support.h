// Helpers shared by the text tests.
#pragma once

#include <string>
#include <string_view>

#include "quorvane/text/byte_set.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/text.h"

namespace quorvane::testing_support {

// A text from UTF-8 source, in code page 936.
inline Text Gbk(std::string_view utf8) { return TextFromUtf8(utf8); }

// A text from raw bytes written as a string literal with \x escapes.
inline Text Raw(std::string_view bytes) { return Text(bytes); }

// A byte set from raw bytes (may hold zeros): Bytes({'a', 0, 'b'}) or a literal with its size.
inline ByteSet Bytes(std::string_view bytes) { return ByteSet(bytes); }

// Hex of the bytes, for readable failure messages: "61 00 62".
inline std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char byte : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

}  // namespace quorvane::testing_support
