// Cookie lists: items "name=value" (or a bare name) separated by ";" or "; ".
// Lists made here use "; " between items and no separator at the end. Names
// are everything before the first "=", spaces trimmed, compared byte for byte.
#pragma once

#include <cstdint>

#include "quorvane/text/text.h"
#include "quorvane/text/text_array.h"

namespace quorvane {

// Folds newList (the cookies a server just set) into oldList. The result holds
// newList's items in order, then oldList's items whose names newList lacks (of
// several old items with one name the first wins); items ending in
// "=deleted" are left out and exact repeats go. Spaces are removed everywhere
// first (also inside values). On return oldList holds the result and newList
// its input without spaces.
// MergeCookies("a=1; b=2", "b=3; c=4") == "b=3; c=4; a=1".
Text MergeCookies(Text& oldList, Text& newList);

// The item's name: the text before the first "=" (the whole item without
// one), spaces trimmed; "=x" has the empty name.
Text CookieName(const Text& item);

// Whether some member of items has that name.
bool HasCookieName(const TextArray& items, const Text& name);

// The list without exact repeats, first occurrences kept in place; a trailing
// separator is dropped. DedupeList("a; b; a; ", "; ") == "a; b".
Text DedupeList(const Text& list, const Text& separator);

// The 1-based index of the first member equal to text, or -1.
int32_t FindMember(const TextArray& array, const Text& text);

}  // namespace quorvane
