#include "quorvane/regex/regexp_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {
namespace {

constexpr char16_t kPicturePattern[] = uR"(<i class="img" style="background-image:url\((.*?).jpg?)";

std::unique_ptr<RegExpEngine> Engine(std::u16string_view pattern, bool global = true,
                                     bool ignoreCase = true, bool multiline = true) {
  std::unique_ptr<RegExpEngine> engine = MakeRegExpEngine();
  if (engine) {
    engine->SetIgnoreCase(ignoreCase);
    engine->SetMultiline(multiline);
    engine->SetGlobal(global);
    engine->SetPattern(pattern);
  }
  return engine;
}

using Found = std::vector<std::pair<int32_t, std::u16string>>;  // FirstIndex, Value

Found AllMatches(const MatchCollection& matches) {
  Found found;
  for (int32_t i = 0; i < matches.Count(); ++i) {
    const RegExpMatch match = *matches.Item(i);
    found.emplace_back(match.FirstIndex(), std::u16string(match.Value()));
  }
  return found;
}

TEST(RegExpEngine, FreshEngineHasTheDefaultSettings) {
  const std::unique_ptr<RegExpEngine> engine = MakeRegExpEngine();
  ASSERT_NE(engine, nullptr);
  EXPECT_FALSE(engine->IgnoreCase());
  EXPECT_FALSE(engine->Multiline());
  EXPECT_FALSE(engine->Global());
  EXPECT_EQ(engine->Pattern(), u"");
  // The empty pattern matches once, at the start, when not global.
  const std::shared_ptr<const MatchCollection> matches = engine->Execute(u"ab");
  ASSERT_NE(matches, nullptr);
  EXPECT_EQ(AllMatches(*matches), (Found{{0, u""}}));
}

TEST(RegExpEngine, SettingsWrittenAfterThePatternTakeEffect) {
  const std::unique_ptr<RegExpEngine> engine = MakeRegExpEngine();
  engine->SetPattern(u"^B");
  engine->SetIgnoreCase(true);
  engine->SetMultiline(true);
  engine->SetGlobal(true);
  EXPECT_TRUE(engine->IgnoreCase());
  EXPECT_TRUE(engine->Multiline());
  EXPECT_TRUE(engine->Global());
  EXPECT_EQ(engine->Pattern(), u"^B");
  const std::shared_ptr<const MatchCollection> matches = engine->Execute(u"b\nb");
  ASSERT_NE(matches, nullptr);
  EXPECT_EQ(AllMatches(*matches), (Found{{0, u"b"}, {2, u"b"}}));
}

TEST(RegExpEngine, GlobalRunsAdvanceAsEcmaScriptDoes) {
  struct Case {
    const char* name;
    std::u16string pattern;
    std::u16string subject;
    Found found;
  };
  const Case cases[] = {
      {"empty match steps one unit on", u"x*", u"axb", {{0, u""}, {1, u"x"}, {2, u""}, {3, u""}}},
      {"empty pattern on the empty subject", u"", u"", {{0, u""}}},
      {"lazy empty repeats", u"a*?", u"aa", {{0, u""}, {1, u""}, {2, u""}}},
      {"next search starts where the match ended", u"aba", u"ababa", {{0, u"aba"}}},
      {"FirstIndex counts UTF-16 units", u"b", u"中b文b", {{1, u"b"}, {3, u"b"}}},
      {"a surrogate pair is two units", u"b", u"\U0001F600b", {{2, u"b"}}},
      {"empty match steps over a surrogate pair", u"", u"\U0001F600", {{0, u""}, {2, u""}}},
      {"dot takes a surrogate pair whole", u".", u"\U0001F600a", {{0, u"\U0001F600"}, {2, u"a"}}},
      {"an unpaired surrogate matches nothing",
       u".",
       u"a\xD800"
       u"b",
       {{0, u"a"}, {2, u"b"}}},
      {"an unpaired low surrogate too",
       u"b+",
       u"\xDC00"
       u"bb",
       {{1, u"bb"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<RegExpEngine> engine = Engine(c.pattern);
    const std::shared_ptr<const MatchCollection> matches = engine->Execute(c.subject);
    ASSERT_NE(matches, nullptr);
    EXPECT_EQ(AllMatches(*matches), c.found);
  }
}

TEST(RegExpEngine, GroupsInsideLookaroundsKeepTheirText) {
  struct Case {
    std::u16string pattern;
    std::u16string subject;
    std::u16string value;
    std::u16string group;
  };
  const Case cases[] = {
      {u"a(?=(bc))", u"xabc", u"a", u"bc"},
      {u"(?<=(xa))b", u"xab", u"b", u"xa"},
      {u"(a)|b", u"b", u"b", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern.begin(), c.pattern.end()));
    const std::shared_ptr<const MatchCollection> matches = Engine(c.pattern)->Execute(c.subject);
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 1);
    const RegExpMatch match = *matches->Item(0);
    EXPECT_EQ(match.Value(), c.value);
    ASSERT_EQ(match.SubMatches().Count(), 1);
    EXPECT_EQ(match.SubMatches().Item(0), c.group);
  }
}

TEST(RegExpEngine, RefusedPatternGivesNoCollection) {
  const char16_t* refused[] = {u"(a", u"a)", u"[a", u"\\", u"a{3,2}", u"+", u"(*UCP)\\w"};
  for (const char16_t* pattern : refused) {
    SCOPED_TRACE(std::string(pattern, pattern + std::u16string_view(pattern).size()));
    const std::unique_ptr<RegExpEngine> engine = Engine(pattern);
    EXPECT_EQ(engine->Execute(u"a(a)"), nullptr);
    EXPECT_EQ(engine->Replace(u"a(a)", u"x"), std::nullopt);
    EXPECT_EQ(engine->Pattern(), pattern);
  }
}

TEST(RegExpEngine, ReplaceFollowsGlobal) {
  EXPECT_EQ(Engine(u"(a)", true)->Replace(u"abab", u"<$1$&>"), u"<aa>b<aa>b");
  EXPECT_EQ(Engine(u"(a)", false)->Replace(u"abab", u"<$1$&>"), u"<aa>bab");
}

// ---- limits: a run either completes or fails cleanly, never crashes or hangs ----

TEST(RegExpEngineLimits, RunawayBacktrackingFailsTheRun) {
  const char16_t* patterns[] = {u"(a+)+b", u"(a|aa)+b", u"(?:a*)*b"};
  const std::u16string subject = std::u16string(64, u'a') + u"!b";
  for (const char16_t* pattern : patterns) {
    SCOPED_TRACE(std::string(pattern, pattern + std::u16string_view(pattern).size()));
    const std::unique_ptr<RegExpEngine> engine = Engine(pattern);
    EXPECT_EQ(engine->Execute(subject), nullptr);
    EXPECT_EQ(engine->Replace(subject, u"x"), std::nullopt);
  }
}

TEST(RegExpEngineLimits, LongLazyRunOverOneLineStillCompletes) {
  // An element opening whose address never reaches ".jp": the lazy group runs
  // to the end of a 4 Mi-unit line at that one start position.
  std::u16string page = uR"(<i class="img" style="background-image:url()";
  page.append(std::size_t{4} << 20, u'x');
  page += uR"(<i class="img" style="background-image:url(b.jpg))";
  const std::shared_ptr<const MatchCollection> matches = Engine(kPicturePattern)->Execute(page);
  ASSERT_NE(matches, nullptr);
  ASSERT_EQ(matches->Count(), 1);
  EXPECT_EQ(matches->Item(0)->SubMatches().Item(0)->size(), (std::size_t{4} << 20) + 44);
}

TEST(RegExpEngineLimits, LongLineWithoutAnyMarkerCompletesEmpty) {
  std::u16string line;
  while (line.size() < (std::size_t{16} << 20))
    line += u"<div class=\"c\"><a href=\"/u\">中文</a></div>";
  const std::shared_ptr<const MatchCollection> matches = Engine(kPicturePattern)->Execute(line);
  ASSERT_NE(matches, nullptr);
  EXPECT_EQ(matches->Count(), 0);
}

TEST(RegExpEngineLimits, DeepRepetitionCompletesOrFailsCleanly) {
  // One backtracking point per character: bounded by the JIT stack or the
  // interpreter's heap limit. Whichever way, no crash and no partial result.
  const std::u16string subject = std::u16string(std::size_t{1} << 20, u'a') + u"c";
  const std::shared_ptr<const MatchCollection> matches = Engine(u"(?:a|b)*c")->Execute(subject);
  if (matches) {
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(0)->Value().size(), subject.size());
  }
}

}  // namespace
}  // namespace quorvane
