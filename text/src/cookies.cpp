#include "quorvane/text/cookies.h"

#include <string_view>
#include <unordered_set>
#include <vector>

#include "text_walk.h"

namespace quorvane {

namespace {

// The name of a cookie item as a view into it: the bytes before the first
// "=" at a character start, spaces trimmed.
std::string_view NameOf(std::string_view item) {
  const std::size_t equals = text_walk::FindAtCharacterStart(item, "=", 0, false);
  return text_walk::TrimmedSpacesView(item.substr(0, equals));
}

bool EndsDeleted(std::string_view item) {
  constexpr std::string_view kDeleted = "=deleted";
  return item.size() >= kDeleted.size() && item.substr(item.size() - kDeleted.size()) == kDeleted;
}

}  // namespace

Text MergeCookies(Text& oldList, Text& newList) {
  const Text oldItems = RemoveSpaces(oldList);
  const Text newItems = RemoveSpaces(newList);
  const TextArray olds = SplitText(oldItems, Text(";"));
  const TextArray news = SplitText(newItems, Text(";"));

  // Every new item stays; an old item stays when no item kept before it has
  // its name. The views point into olds and news, which do not change below.
  std::vector<std::string_view> merged;
  merged.reserve(static_cast<std::size_t>(olds.Size() + news.Size()));
  std::unordered_set<std::string_view> names;
  for (const Text& item : news) {
    merged.push_back(item.View());
    names.insert(NameOf(item.View()));
  }
  for (const Text& item : olds) {
    if (names.insert(NameOf(item.View())).second) merged.push_back(item.View());
  }

  const Text separator("; ");
  Text joined;
  joined.Reserve(oldItems.Length() + newItems.Length() + 2 * static_cast<int32_t>(merged.size()));
  for (const std::string_view item : merged) {
    if (EndsDeleted(item)) continue;
    joined.Append(item);
    joined.Append(separator);
  }
  const Text result = DedupeList(TextLeft(joined, TextLength(joined) - 2), separator);
  newList = newItems;
  oldList = result;
  return result;
}

Text CookieName(const Text& item) { return Text(NameOf(item.View())); }

bool HasCookieName(const TextArray& items, const Text& name) {
  for (const Text& item : items) {
    if (NameOf(item.View()) == name.View()) return true;
  }
  return false;
}

Text DedupeList(const Text& list, const Text& separator) {
  const TextArray parts = SplitText(list, separator);
  std::unordered_set<std::string_view> seen;  // views into parts
  Text kept;
  kept.Reserve(list.Length() + separator.Length());
  for (const Text& part : parts) {
    if (!seen.insert(part.View()).second) continue;
    kept.Append(part);
    kept.Append(separator);
  }
  return TextLeft(kept, TextLength(kept) - TextLength(separator));
}

int32_t FindMember(const TextArray& array, const Text& text) {
  for (int32_t index = 1; index <= array.Size(); ++index) {
    if (TextEquals(array[index], text)) return index;
  }
  return -1;
}

}  // namespace quorvane
