// Conversions between code page 936 texts and Unicode.
//
// Code page 936 is Windows' GBK table (0x80 is the euro sign). A character
// that code page 936 cannot show (also an unpaired surrogate) comes out as
// "?"; a byte sequence that it does not define (a lead byte without a valid
// second byte, a broken pair at the end) reads as U+FFFD, which in turn comes
// back as "?". Converters are opened once per thread and reused, so a
// conversion never reloads the tables. A conversion that cannot run at all
// (no converter) gives the empty result.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quorvane/text/byte_set.h"
#include "quorvane/text/text.h"

namespace quorvane {

// UTF-16LE units of the text followed by one zero unit (two zero bytes);
// the empty text gives the empty byte set (no terminator).
// "a" -> 61 00 00 00; "中" -> 2D 4E 00 00.
ByteSet AnsiToWide(const Text& text);

// The whole UTF-16LE units of bytes (an odd last byte is ignored) converted to
// code page 936, up to the first zero unit; the empty byte set gives "".
Text WideToAnsi(const ByteSet& utf16le);

// The same two conversions on native UTF-16 strings, without terminators.
std::u16string TextToUtf16(const Text& text);
Text Utf16ToText(std::u16string_view utf16);  // stops at the first zero unit

// UTF-8 <-> code page 936; for literals in source, file names and the console.
// Malformed UTF-8 comes out as "?".
Text TextFromUtf8(std::string_view utf8);  // stops at the first zero byte
// The same for u8"..." literals, which are char8_t arrays in C++20.
Text TextFromUtf8(std::u8string_view utf8);
std::string TextToUtf8(const Text& text);

// Reads bytes as the named character set (IANA or Windows names, any letter
// case) and returns code page 936 text with "?" for what it cannot show, up to
// the first zero character; bytes the set does not define also give "?".
// std::nullopt when no converter has that name (also for an empty name).
std::optional<Text> DecodeCharset(std::string_view bytes, std::string_view charsetName);

}  // namespace quorvane
