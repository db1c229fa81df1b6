// MatchCollection: the matches of one run of a RegExpEngine, in order of
// position, with the text of each match and of each of its capturing groups.
//
// A collection is made and filled by an engine and never changes after that,
// so it may be shared freely. It keeps its own copy of the texts it hands out
// (not of the whole subject), and every read is O(1): Item(i).SubMatches()
// .Item(g) costs the same for the last match as for the first.
//
// Numbers count from 0 here, as the engine's do. Reading outside the range
// gives std::nullopt, never an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/text/fatal_allocator.h"

namespace quorvane {

class MatchCollection;

// The capturing groups of one match, in the order of their opening parentheses.
class SubMatchCollection {
 public:
  int32_t Count() const;
  // The text of group index (from 0); "" for a group that took no part in the
  // match; std::nullopt outside 0..Count()-1.
  std::optional<std::u16string_view> Item(int32_t index) const;

 private:
  friend class RegExpMatch;
  SubMatchCollection(const MatchCollection* owner, int32_t match) : owner_(owner), match_(match) {}
  const MatchCollection* owner_;
  int32_t match_;
};

// One match; a view that stays valid while its collection lives.
class RegExpMatch {
 public:
  // The matched text.
  std::u16string_view Value() const;
  // Where the match begins in the subject, in UTF-16 code units from 0.
  int32_t FirstIndex() const;
  SubMatchCollection SubMatches() const;

 private:
  friend class MatchCollection;
  RegExpMatch(const MatchCollection* owner, int32_t match) : owner_(owner), match_(match) {}
  const MatchCollection* owner_;
  int32_t match_;
};

class MatchCollection {
 public:
  // Marks a group that took no part in a match (PCRE2's PCRE2_UNSET has this value).
  static constexpr std::size_t kNotCaptured = static_cast<std::size_t>(-1);

  // An empty collection for a pattern with groupCount capturing groups.
  explicit MatchCollection(int32_t groupCount);

  int32_t Count() const { return static_cast<int32_t>(firstIndex_.size()); }
  // The match at index (from 0); std::nullopt outside 0..Count()-1.
  std::optional<RegExpMatch> Item(int32_t index) const;
  int32_t GroupCount() const { return groupCount_; }

  // For engines: adds the next match. offsets holds 2 * (GroupCount() + 1)
  // code-unit offsets into subject: [start, end) of the whole match, then of
  // each group, kNotCaptured for a group that took no part. Ranges outside
  // the subject, or missing from offsets, read as groups that took no part.
  // Copies the stretch of subject that the match and its groups cover.
  void Append(std::u16string_view subject, std::span<const std::size_t> offsets);

 private:
  friend class RegExpMatch;
  friend class SubMatchCollection;

  using Units =
      std::basic_string<char16_t, std::char_traits<char16_t>, FatalOnFailureAllocator<char16_t>>;
  struct Span {
    std::size_t offset;  // into texts_; kNotCaptured for a group that took no part
    std::size_t length;
  };

  std::u16string_view SpanText(int32_t match, int32_t range) const;

  int32_t groupCount_;
  Units texts_;
  std::vector<int32_t, FatalOnFailureAllocator<int32_t>> firstIndex_;
  std::vector<Span, FatalOnFailureAllocator<Span>> spans_;  // GroupCount() + 1 per match
};

// subject with each match of matches replaced by replacement expanded under
// ECMAScript's rules: "$$" is "$"; "$&" the match; "$`" the text before it;
// "$'" the text after it; "$n" and "$nn" (01..99) the group of that number,
// two digits only when that group exists ("$10" with one group is group 1
// then "0"), "" for a group that took no part; any other "$" stays as written
// ("$0", "$5" without a fifth group, a final "$"). Text between matches is kept.
std::u16string ReplaceMatches(std::u16string_view subject, const MatchCollection& matches,
                              std::u16string_view replacement);

}  // namespace quorvane
