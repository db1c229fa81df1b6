// Marker extraction.
#pragma once

#include <cstdint>

#include "quorvane/text/text.h"

namespace quorvane {

// The bytes strictly between the end of the first left marker found at or
// after start (FindText rules, start <= 0 searches from the first byte) and
// the first right marker that begins after it. In both markers every "#引号"
// stands for one double quote. The empty text when either marker is missing.
// An empty left marker counts as found at position 1 while start lies inside
// the text; an empty right marker always gives the empty text.
// TextBetween("Set-Cookie: a=1; path=/", "Set-Cookie:", ";") == " a=1".
Text TextBetween(const Text& text, const Text& left, const Text& right, int32_t start = 0,
                 bool ignoreCase = false);

}  // namespace quorvane
