// The regular-expression engine on Linux: PCRE2's 16-bit library, JIT
// compiled where the platform allows it and interpreted otherwise.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "quorvane/regex/match_collection.h"
#include "quorvane/regex/regexp_engine.h"

namespace quorvane {
namespace {

// ECMAScript's dialect in PCRE2's terms. UTF mode gives Unicode case folding
// under IgnoreCase; MATCH_INVALID_UTF lets an unpaired surrogate in the
// subject act as a barrier instead of failing the run, and skips the UTF
// check that would otherwise rescan the subject on every call of the global
// loop. NEVER_UCP keeps \w, \d and \s ASCII even when a pattern asks for
// (*UCP); NEVER_BACKSLASH_C refuses \C, which could split a surrogate pair.
// DOLLAR_ENDONLY makes $ (without Multiline) match only at the very
// end, not before a final line feed. ALT_BSUX gives \uhhhh and \xhh.
// MATCH_UNSET_BACKREF and ALLOW_EMPTY_CLASS are ECMAScript's readings of \1
// before its group and of [] and [^].
constexpr uint32_t kDialectOptions =
    PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C |
    PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS;

// Limits that end a runaway match (nested repeats backtracking without end)
// within a fraction of a second, yet leave room for an ordinary lazy run over
// a whole long line. PCRE2 counts the match limit afresh at each start
// position. The depth and heap limits bound the interpreter's backtracking
// memory; the JIT stack bounds the compiled code's.
constexpr uint32_t kMatchLimit = 50'000'000;
constexpr uint32_t kDepthLimit = 10'000'000;
constexpr uint32_t kHeapLimitKibibytes = 512 * 1024;
constexpr std::size_t kJitStackStartBytes = 64 * 1024;
constexpr std::size_t kJitStackMaxBytes = 8 * 1024 * 1024;

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

// One pattern compiled under one set of options; null code when refused.
class CompiledPattern {
 public:
  static std::shared_ptr<const CompiledPattern> Make(std::u16string_view pattern, bool ignoreCase,
                                                     bool multiline) {
    auto compiled = std::make_shared<CompiledPattern>();
    std::unique_ptr<pcre2_compile_context, CompileContextFree> context(
        pcre2_compile_context_create(nullptr));
    if (!context) return compiled;
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);

    uint32_t options = kDialectOptions;
    if (ignoreCase) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    compiled->code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()),
                                        pattern.size(), options, &errorCode, &errorOffset,
                                        context.get()));
    if (!compiled->code_) return compiled;

    uint32_t captures = 0;
    pcre2_pattern_info(compiled->code_.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
    compiled->groupCount_ = static_cast<int32_t>(captures);
    // Where JIT is unavailable or refuses the pattern, pcre2_match interprets it.
    compiled->jitCompiled_ = pcre2_jit_compile(compiled->code_.get(), PCRE2_JIT_COMPLETE) == 0;
    return compiled;
  }

  const pcre2_code* Code() const { return code_.get(); }
  int32_t GroupCount() const { return groupCount_; }
  bool JitCompiled() const { return jitCompiled_; }

 private:
  std::unique_ptr<pcre2_code, CodeFree> code_;
  int32_t groupCount_ = 0;
  bool jitCompiled_ = false;
};

// The JIT stack of the calling thread, made at its first JIT run and freed
// when the thread ends: a stack must not serve two threads at once, and
// making one per run costs an mmap each time. Null when it cannot be made,
// and then PCRE2 uses its 32 KiB default on the machine stack.
pcre2_jit_stack* ThreadJitStack() {
  struct Holder {
    pcre2_jit_stack* stack =
        pcre2_jit_stack_create(kJitStackStartBytes, kJitStackMaxBytes, nullptr);
    ~Holder() { pcre2_jit_stack_free(stack); }
  };
  thread_local Holder holder;
  return holder.stack;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Where the search after a match [start, end) begins: at its end, or after an
// empty match one character further on (a surrogate pair is one character).
std::size_t NextSearchStart(std::u16string_view subject, std::size_t start, std::size_t end,
                            std::size_t searchedFrom) {
  std::size_t next = end;
  if (end == start) {
    next = end + 1;
    if (next < subject.size() && IsHighSurrogate(subject[end]) && IsLowSurrogate(subject[next])) {
      ++next;
    }
  }
  return next > searchedFrom ? next : searchedFrom + 1;
}

class Pcre2Engine final : public RegExpEngine {
 public:
  void SetIgnoreCase(bool ignoreCase) override {
    ignoreCase_ = ignoreCase;
    Recompile();
  }
  bool IgnoreCase() const override { return ignoreCase_; }
  void SetMultiline(bool multiline) override {
    multiline_ = multiline;
    Recompile();
  }
  bool Multiline() const override { return multiline_; }
  void SetGlobal(bool global) override { global_ = global; }
  bool Global() const override { return global_; }
  void SetPattern(std::u16string_view pattern) override {
    pattern_.assign(pattern);
    patternWritten_ = true;
    Recompile();
  }
  std::u16string_view Pattern() const override { return pattern_; }

  std::shared_ptr<const MatchCollection> Execute(std::u16string_view subject) const override;
  std::optional<std::u16string> Replace(std::u16string_view subject,
                                        std::u16string_view replacement) const override {
    const std::shared_ptr<const MatchCollection> matches = Execute(subject);
    if (!matches) return std::nullopt;
    return ReplaceMatches(subject, *matches, replacement);
  }

 private:
  // Compiling happens in the setters, so that a const engine holds only
  // read-only state and Execute may run on several threads at once. Settings
  // written before any pattern compile nothing (Execute compiles the empty
  // pattern on the spot in that case).
  void Recompile() {
    program_ = patternWritten_ ? CompiledPattern::Make(pattern_, ignoreCase_, multiline_) : nullptr;
  }

  bool ignoreCase_ = false;
  bool multiline_ = false;
  bool global_ = false;
  bool patternWritten_ = false;
  std::u16string pattern_;
  std::shared_ptr<const CompiledPattern> program_;
};

std::shared_ptr<const MatchCollection> Pcre2Engine::Execute(std::u16string_view subject) const {
  const std::shared_ptr<const CompiledPattern> program =
      program_ ? program_ : CompiledPattern::Make(pattern_, ignoreCase_, multiline_);
  if (!program->Code()) return nullptr;
  // FirstIndex is a 32-bit count of code units.
  if (subject.size() > static_cast<std::size_t>(INT32_MAX)) return nullptr;

  std::unique_ptr<pcre2_match_data, MatchDataFree> data(
      pcre2_match_data_create_from_pattern(program->Code(), nullptr));
  std::unique_ptr<pcre2_match_context, MatchContextFree> context(
      pcre2_match_context_create(nullptr));
  if (!data || !context) return nullptr;
  pcre2_set_match_limit(context.get(), kMatchLimit);
  pcre2_set_depth_limit(context.get(), kDepthLimit);
  pcre2_set_heap_limit(context.get(), kHeapLimitKibibytes);
  if (program->JitCompiled()) pcre2_jit_stack_assign(context.get(), nullptr, ThreadJitStack());

  auto matches = std::make_shared<MatchCollection>(program->GroupCount());
  const auto units = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const std::size_t offsetCount = 2 * (static_cast<std::size_t>(program->GroupCount()) + 1);
  std::size_t searchFrom = 0;
  while (searchFrom <= subject.size()) {
    const int result = pcre2_match(program->Code(), units, subject.size(), searchFrom, 0,
                                   data.get(), context.get());
    if (result == PCRE2_ERROR_NOMATCH) break;
    // A limit, a memory failure or anything else unexpected fails the whole
    // run: no partial collection.
    if (result < 0) return nullptr;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    // result counts the pairs up to the highest group set; later ones are unset.
    const std::size_t setPairs = result == 0 ? offsetCount : 2 * static_cast<std::size_t>(result);
    matches->Append(subject,
                    std::span<const std::size_t>(ovector, std::min(setPairs, offsetCount)));
    if (!global_) break;
    searchFrom = NextSearchStart(subject, ovector[0], ovector[1], searchFrom);
  }
  return matches;
}

}  // namespace

std::unique_ptr<RegExpEngine> MakeRegExpEngine() { return std::make_unique<Pcre2Engine>(); }

}  // namespace quorvane
