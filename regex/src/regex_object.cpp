#include "quorvane/regex/regex_object.h"

#include <optional>
#include <utility>

#include "quorvane/regex/match_collection.h"
#include "quorvane/regex/regexp_engine.h"
#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

// Stands for a double quote in patterns written where a quote is awkward.
const Text& QuoteMarker() {
  static const Text marker = TextFromUtf8("#引号");
  return marker;
}

// Match number index (from 1) of matches; std::nullopt out of range or without a run.
std::optional<RegExpMatch> MatchAt(const std::shared_ptr<const MatchCollection>& matches,
                                   int32_t index) {
  if (!matches || index < 1) return std::nullopt;
  return matches->Item(index - 1);
}

// The 0-based byte offset of target in the subject's code-page text, searched
// from the byte position equal to firstIndex (the engine's 0-based UTF-16
// index taken as a 1-based byte position, so the search begins no later than
// the match, also after two-byte characters); -2 when not found.
int32_t PositionOf(const std::u16string& subject, const Text& target, int32_t firstIndex,
                   bool ignoreCase) {
  const int32_t found = FindText(Utf16ToText(subject), target, firstIndex, ignoreCase);
  return found < 1 ? -2 : found - 1;
}

}  // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) = default;
RegexObject& RegexObject::operator=(const RegexObject& other) = default;

bool RegexObject::Create(const Text& pattern, const Text& subject, bool caseSensitive,
                         bool multiline, bool global, bool quoteMarker) {
  engine.reset();
  matches.reset();

  // Every run gets an engine of its own, so a copy that shares the previous
  // engine and collection never sees them change. There is no Singleline
  // setting to write: "." stops at line feeds by design.
  std::shared_ptr<RegExpEngine> fresh = MakeRegExpEngine();
  const Text effectivePattern =
      quoteMarker ? ReplaceText(pattern, QuoteMarker(), Text("\""), true) : pattern;
  if (fresh) {
    fresh->SetIgnoreCase(!caseSensitive);
    fresh->SetMultiline(multiline);
    fresh->SetGlobal(global);
    fresh->SetPattern(TextToUtf16(effectivePattern));
  }
  this->subject = TextToUtf16(subject);
  engine = std::move(fresh);
  if (engine) matches = engine->Execute(this->subject);
  return matches != nullptr;
}

Text RegexObject::GetPattern() const {
  if (!engine) return Text();
  return Utf16ToText(engine->Pattern());
}

Text RegexObject::Replace(const Text& replacement) const {
  if (!engine) return Text();
  const std::optional<std::u16string> replaced = engine->Replace(subject, TextToUtf16(replacement));
  return replaced ? Utf16ToText(*replaced) : Text();
}

int32_t RegexObject::MatchCount() const { return matches ? matches->Count() : 0; }

// An out-of-range number reads, as a refused item would, as the empty text at
// index 0; the position search then runs with those.
Text RegexObject::MatchText(int32_t index, int32_t* position) const {
  const std::optional<RegExpMatch> match = MatchAt(matches, index);
  Text text = match ? Utf16ToText(match->Value()) : Text();
  if (position != nullptr) {
    *position =
        PositionOf(subject, text, match ? match->FirstIndex() : 0, engine && engine->IgnoreCase());
  }
  return text;
}

Text RegexObject::GroupText(int32_t index, int32_t group, int32_t* position) const {
  const std::optional<RegExpMatch> match = MatchAt(matches, index);
  std::optional<std::u16string_view> groupText;
  if (match && group >= 1) groupText = match->SubMatches().Item(group - 1);
  Text text = groupText ? Utf16ToText(*groupText) : Text();
  if (position != nullptr) {
    *position =
        PositionOf(subject, text, match ? match->FirstIndex() : 0, engine && engine->IgnoreCase());
  }
  return text;
}

int32_t RegexObject::GroupCount() const {
  const std::optional<RegExpMatch> first = MatchAt(matches, 1);
  return first ? first->SubMatches().Count() : 0;
}

}  // namespace quorvane
