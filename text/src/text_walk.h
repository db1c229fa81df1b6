// The character walk shared by the text operations, markers and cookie lists.
//
// A walk starts at an offset that it takes as a character start; from there a
// byte of 0x80 or above moves it on by two bytes, any other byte by one.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvane::text_walk {

inline constexpr std::size_t kNotFound = std::string_view::npos;

inline bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

// Whether the walk that starts at `from` reaches `offset` (from <= offset) as a
// character start. Reads only the run of lead-range bytes directly before
// `offset`, so the cost is the length of that run.
bool IsCharacterStart(std::string_view text, std::size_t from, std::size_t offset);

// The offset of the first character start at or after `from` (itself taken as a
// character start) where target (not empty) begins, comparing ASCII letters
// case-insensitively when ignoreCase is set; kNotFound when none. A broken
// pair at the end is compared at its own offset like any character.
std::size_t FindAtCharacterStart(std::string_view text, std::string_view target, std::size_t from,
                                 bool ignoreCase);

// The part of text that TrimSpaces keeps.
std::string_view TrimmedSpacesView(std::string_view text);

}  // namespace quorvane::text_walk
