// RegexObject: runs one regular expression over one subject and hands out the
// matches and their groups by numbers counted from 1.
//
// The dialect is ECMAScript-style: "." matches any character but a line feed,
// \w is [A-Za-z0-9_], lazy and greedy quantifiers, numbered groups. Texts are
// code page 936; the engine works on their UTF-16 form, and what comes back
// that code page 936 cannot show reads as "?".
//
// Nothing here throws, prints or ends the program: a failed step shows only
// in the results (false, 0, the empty text, position -2).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quorvane/text/text.h"

namespace quorvane {

class RegExpEngine;
class MatchCollection;

class RegexObject {
 public:
  // Fresh: MatchCount and GroupCount give 0; the text queries give "".
  RegexObject();
  ~RegexObject();
  // A copy shares the engine and the match collection (neither is ever
  // altered once made) and holds its own copy of the subject.
  RegexObject(const RegexObject& other);
  RegexObject& operator=(const RegexObject& other);

  // Discards the previous run, makes a fresh engine with these settings and
  // runs it over subject. With quoteMarker every "#引号" in pattern becomes a
  // double quote first. True when the engine ran (whether or not it found
  // anything); false when the pattern was refused or the run hit the
  // engine's limits, and then every query answers as when fresh.
  bool Create(const Text& pattern, const Text& subject, bool caseSensitive = false,
              bool multiline = true, bool global = true, bool quoteMarker = false);

  // The pattern as the engine holds it (after the quote-marker step); "" before any Create.
  Text GetPattern() const;

  // The subject with the matches replaced (every match when global, else the
  // first) under ECMAScript's rules: $1..$99, $&, $`, $', $$. "" before any
  // Create or after a failed one.
  Text Replace(const Text& replacement = Text()) const;

  int32_t MatchCount() const;

  // The text of match index (from 1); "" out of range. When position is given
  // it receives the 0-based byte offset of the match's text found in the
  // subject from the match's start, or -2 when not found.
  Text MatchText(int32_t index, int32_t* position = nullptr) const;

  // The text of group (from 1) of match index (from 1); "" out of range or for
  // a group that took no part. position as for MatchText, searching for the
  // group's text from the start of the whole match.
  Text GroupText(int32_t index, int32_t group, int32_t* position = nullptr) const;

  // The number of groups of the first match; 0 when nothing matched.
  int32_t GroupCount() const;

 private:
  std::shared_ptr<const RegExpEngine> engine;
  std::shared_ptr<const MatchCollection> matches;
  std::u16string subject;
};

}  // namespace quorvane
