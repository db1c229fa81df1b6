// RegExpEngine: the platform's regular-expression engine behind one small
// interface, working on UTF-16 strings. On Linux it is PCRE2's 16-bit library
// with JIT compilation (regexp_engine_pcre2.cpp); another platform supplies
// its own MakeRegExpEngine.
//
// Dialect (ECMAScript-style): "." is any character but a line feed; \w is
// [A-Za-z0-9_] and \d, \s are ASCII; lazy and greedy quantifiers; numbered
// groups; \uhhhh and \xhh escapes; IgnoreCase makes letters match regardless
// of case; Multiline lets ^ and $ match at line feeds, and without it $
// matches only at the very end. An unpaired surrogate in the subject matches
// nothing but never makes a run fail.
//
// Global runs never overlap: the next search starts where the previous match
// ended, or one character further on after an empty match.
//
// Nothing here throws, prints or ends the program.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "quorvane/regex/match_collection.h"

namespace quorvane {

class RegExpEngine {
 public:
  virtual ~RegExpEngine() = default;

  // A fresh engine has IgnoreCase, Multiline and Global false and the empty Pattern.
  virtual void SetIgnoreCase(bool ignoreCase) = 0;
  virtual bool IgnoreCase() const = 0;
  virtual void SetMultiline(bool multiline) = 0;
  virtual bool Multiline() const = 0;
  virtual void SetGlobal(bool global) = 0;
  virtual bool Global() const = 0;
  virtual void SetPattern(std::u16string_view pattern) = 0;
  // The pattern as written, also when the engine refuses it.
  virtual std::u16string_view Pattern() const = 0;

  // Runs the pattern over subject: every match when Global, else at most the
  // first. An empty collection when nothing matched; null when the pattern is
  // refused or the run hit the engine's limits (never a partial collection).
  // A const engine may run on several threads at once.
  virtual std::shared_ptr<const MatchCollection> Execute(std::u16string_view subject) const = 0;

  // subject with the matches of Execute replaced (ReplaceMatches' rules);
  // std::nullopt where Execute gives null.
  virtual std::optional<std::u16string> Replace(std::u16string_view subject,
                                                std::u16string_view replacement) const = 0;
};

// A fresh engine of this platform; null when none can be made.
std::unique_ptr<RegExpEngine> MakeRegExpEngine();

}  // namespace quorvane
