#include "quorvane/regex/match_collection.h"

#include <algorithm>

namespace quorvane {

int32_t SubMatchCollection::Count() const { return owner_->groupCount_; }

std::optional<std::u16string_view> SubMatchCollection::Item(int32_t index) const {
  if (index < 0 || index >= owner_->groupCount_) return std::nullopt;
  return owner_->SpanText(match_, index + 1);
}

std::u16string_view RegExpMatch::Value() const { return owner_->SpanText(match_, 0); }

int32_t RegExpMatch::FirstIndex() const {
  return owner_->firstIndex_[static_cast<std::size_t>(match_)];
}

SubMatchCollection RegExpMatch::SubMatches() const { return SubMatchCollection(owner_, match_); }

MatchCollection::MatchCollection(int32_t groupCount) : groupCount_(std::max(groupCount, 0)) {}

std::optional<RegExpMatch> MatchCollection::Item(int32_t index) const {
  if (index < 0 || index >= Count()) return std::nullopt;
  return RegExpMatch(this, index);
}

std::u16string_view MatchCollection::SpanText(int32_t match, int32_t range) const {
  const std::size_t rangesPerMatch = static_cast<std::size_t>(groupCount_) + 1;
  const Span& span =
      spans_[static_cast<std::size_t>(match) * rangesPerMatch + static_cast<std::size_t>(range)];
  if (span.offset == kNotCaptured) return {};
  return std::u16string_view(texts_).substr(span.offset, span.length);
}

void MatchCollection::Append(std::u16string_view subject, std::span<const std::size_t> offsets) {
  const std::size_t ranges = static_cast<std::size_t>(groupCount_) + 1;
  auto rangeAt = [&](std::size_t range, std::size_t& start, std::size_t& end) {
    if (2 * range + 1 >= offsets.size()) return false;
    start = offsets[2 * range];
    end = offsets[2 * range + 1];
    return start != kNotCaptured && start <= end && end <= subject.size();
  };

  // The stretch that the match and its groups cover (a group inside a
  // lookaround may lie outside the match) is copied once; the spans point into it.
  std::size_t matchStart = 0;
  std::size_t matchEnd = 0;
  if (!rangeAt(0, matchStart, matchEnd)) matchStart = matchEnd = 0;  // only a faulty engine
  std::size_t coverStart = matchStart;
  std::size_t coverEnd = matchEnd;
  for (std::size_t range = 1; range < ranges; ++range) {
    std::size_t start = 0;
    std::size_t end = 0;
    if (!rangeAt(range, start, end)) continue;
    coverStart = std::min(coverStart, start);
    coverEnd = std::max(coverEnd, end);
  }

  const std::size_t base = texts_.size();
  texts_.append(subject.substr(coverStart, coverEnd - coverStart));
  firstIndex_.push_back(static_cast<int32_t>(matchStart));
  spans_.push_back(Span{base + (matchStart - coverStart), matchEnd - matchStart});
  for (std::size_t range = 1; range < ranges; ++range) {
    std::size_t start = 0;
    std::size_t end = 0;
    if (rangeAt(range, start, end)) {
      spans_.push_back(Span{base + (start - coverStart), end - start});
    } else {
      spans_.push_back(Span{kNotCaptured, 0});
    }
  }
}

namespace {

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Appends replacement with its "$" tokens expanded for one match.
void AppendExpansion(std::u16string& out, std::u16string_view replacement,
                     std::u16string_view subject, const RegExpMatch& match) {
  const std::u16string_view value = match.Value();
  const std::size_t matchStart = static_cast<std::size_t>(match.FirstIndex());
  const std::size_t matchEnd = matchStart + value.size();
  const SubMatchCollection groups = match.SubMatches();
  const int32_t groupCount = groups.Count();

  std::size_t i = 0;
  while (i < replacement.size()) {
    const char16_t unit = replacement[i];
    if (unit != u'$' || i + 1 == replacement.size()) {
      out.push_back(unit);
      ++i;
      continue;
    }
    const char16_t next = replacement[i + 1];
    if (next == u'$') {
      out.push_back(u'$');
      i += 2;
    } else if (next == u'&') {
      out.append(value);
      i += 2;
    } else if (next == u'`') {
      out.append(subject.substr(0, matchStart));
      i += 2;
    } else if (next == u'\'') {
      out.append(subject.substr(std::min(matchEnd, subject.size())));
      i += 2;
    } else if (IsDigit(next)) {
      // Two digits when a second follows and that group exists, else one.
      std::size_t digits = 1;
      int32_t number = next - u'0';
      if (i + 2 < replacement.size() && IsDigit(replacement[i + 2])) {
        const int32_t twoDigit = number * 10 + (replacement[i + 2] - u'0');
        if (twoDigit <= groupCount) {
          digits = 2;
          number = twoDigit;
        }
      }
      if (number >= 1 && number <= groupCount) {
        out.append(groups.Item(number - 1).value_or(std::u16string_view()));
      } else {
        out.append(replacement.substr(i, 1 + digits));
      }
      i += 1 + digits;
    } else {
      out.push_back(u'$');
      ++i;
    }
  }
}

}  // namespace

std::u16string ReplaceMatches(std::u16string_view subject, const MatchCollection& matches,
                              std::u16string_view replacement) {
  std::u16string out;
  out.reserve(subject.size());
  std::size_t copiedUpTo = 0;
  for (int32_t index = 0; index < matches.Count(); ++index) {
    const RegExpMatch match = *matches.Item(index);
    const std::size_t start = static_cast<std::size_t>(match.FirstIndex());
    if (start < copiedUpTo || start > subject.size()) continue;
    out.append(subject.substr(copiedUpTo, start - copiedUpTo));
    AppendExpansion(out, replacement, subject, match);
    copiedUpTo = std::min(start + match.Value().size(), subject.size());
  }
  out.append(subject.substr(copiedUpTo));
  return out;
}

}  // namespace quorvane
