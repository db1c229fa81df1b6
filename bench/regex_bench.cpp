// The download job's use of RegexObject over a note page on one line: Create
// with the picture-address pattern, MatchCount, then GroupText(i, 1) for every
// match, measured beside the same compiled PCRE2 pattern run directly over
// the same UTF-16 subject. Prints the ratios the job's speed is held to:
//   job / direct PCRE2 at 4 MiB            <= 1.5
//   8 MiB job / 4 MiB job                  <= 2.2
// and runs a 16 MiB line without any picture element, which must complete.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "quorvane/regex/regex_object.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/text.h"

namespace quorvane {
namespace {

constexpr char kPicturePattern[] = R"(<i class="img" style="background-image:url\((.*?).jpg?)";
constexpr int kPicturesPer4MiB = 1000;

// A page of `bytes` bytes on one line: note-page markup with Chinese text, and
// `pictures` picture elements spread evenly through it.
Text BuildPage(int64_t bytes, int pictures) {
  static const Text filler = TextFromUtf8(
      R"(<div class="note-content"><span class="title">周末去了一家很好吃的店，推荐给大家</span>)"
      R"(<a href="/user/profile/5f1e2d3c4b5a6978" class="author"><i class="avatar"></i>小红薯</a>)"
      R"(<span class="like-count">1.2万</span><i class="icon" style="color:#ff2442"></i></div>)");
  Text page;
  page.Reserve(static_cast<int32_t>(bytes));
  const int64_t gap = pictures > 0 ? bytes / pictures : bytes;
  for (int picture = 0; picture < pictures; ++picture) {
    while (page.Length() < gap * picture) page.Append(filler);
    page.Append(
        R"(<div class="swiper-slide"><i class="img" style="background-image:url(//sns-img-qc.xhscdn.com/1040g2sg30ok3k5d7gk0g5o7ab4d0825cnl7n0k8_)" +
        std::to_string(picture) + R"(.jpg?imageView2/2/w/1080/format/jpg);"></i></div>)");
  }
  while (page.Length() + filler.Length() <= bytes) page.Append(filler);
  while (page.Length() < bytes) page.Append("x");
  return page;
}

const Text& Page(int mebibytes, bool withPictures) {
  static std::map<std::pair<int, bool>, Text> pages;
  Text& page = pages[{mebibytes, withPictures}];
  if (page.Empty()) {
    const int pictures = withPictures ? kPicturesPer4MiB * mebibytes / 4 : 0;
    page = BuildPage(int64_t{mebibytes} << 20, pictures);
  }
  return page;
}

// The job: Create, MatchCount, GroupText(i, 1) for i = 1 to the count.
void BM_RegexObjectJob(benchmark::State& state) {
  const int mebibytes = static_cast<int>(state.range(0));
  const Text& page = Page(mebibytes, true);
  const int32_t expected = kPicturesPer4MiB * mebibytes / 4;
  for (auto _ : state) {
    RegexObject regex;
    regex.Create(kPicturePattern, page);
    const int32_t count = regex.MatchCount();
    if (count != expected) {
      state.SkipWithError("wrong number of matches");
      break;
    }
    for (int32_t i = 1; i <= count; ++i) {
      Text address = regex.GroupText(i, 1);
      benchmark::DoNotOptimize(address);
    }
  }
  state.counters["matches"] = expected;
}

// The picture-address pattern compiled with the options the engine uses
// (ECMAScript's dialect, ignoring case, multiline) and JIT; null on failure.
pcre2_code* CompileAsTheEngineDoes() {
  const std::u16string pattern = TextToUtf16(kPicturePattern);
  pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
  pcre2_set_newline(compileContext, PCRE2_NEWLINE_LF);
  const uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_NEVER_UCP |
                           PCRE2_NEVER_BACKSLASH_C | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX |
                           PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_CASELESS |
                           PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   options, &error, &errorOffset, compileContext);
  pcre2_compile_context_free(compileContext);
  if (code != nullptr && pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) {
    pcre2_code_free(code);
    code = nullptr;
  }
  return code;
}

// The same compiled pattern run straight over the UTF-16 subject, copying out group 1 of
// each match. Without conversions the subject is converted once, outside the timing, and the
// groups stay UTF-16; with them, the subject is converted once per run and each group 1 back,
// as the object does, so that what the object adds beyond these is its own cost.
void RunDirectPcre2(benchmark::State& state, bool withConversions) {
  const int mebibytes = static_cast<int>(state.range(0));
  const Text& page = Page(mebibytes, true);
  const std::u16string convertedOnce = withConversions ? std::u16string() : TextToUtf16(page);
  const int32_t expected = kPicturesPer4MiB * mebibytes / 4;

  pcre2_code* code = CompileAsTheEngineDoes();
  if (code == nullptr) {
    state.SkipWithError("pattern not compiled with JIT");
    return;
  }
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);

  for (auto _ : state) {
    const std::u16string subject = withConversions ? TextToUtf16(page) : std::u16string();
    const std::u16string_view units16 = withConversions ? subject : convertedOnce;
    const auto units = reinterpret_cast<PCRE2_SPTR>(units16.data());
    std::vector<std::u16string> wideAddresses;
    std::vector<Text> addresses;
    PCRE2_SIZE start = 0;
    while (pcre2_match(code, units, units16.size(), start, 0, data, nullptr) > 0) {
      const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
      const std::u16string_view group = units16.substr(ovector[2], ovector[3] - ovector[2]);
      if (withConversions) {
        addresses.push_back(Utf16ToText(group));
      } else {
        wideAddresses.emplace_back(group);
      }
      start = ovector[1] > ovector[0] ? ovector[1] : ovector[1] + 1;
    }
    if (static_cast<int32_t>(addresses.size() + wideAddresses.size()) != expected) {
      state.SkipWithError("wrong number of matches");
      break;
    }
    benchmark::DoNotOptimize(addresses);
    benchmark::DoNotOptimize(wideAddresses);
  }
  state.counters["matches"] = expected;
  pcre2_match_data_free(data);
  pcre2_code_free(code);
}

void BM_DirectPcre2(benchmark::State& state) { RunDirectPcre2(state, false); }
void BM_DirectPcre2WithConversions(benchmark::State& state) { RunDirectPcre2(state, true); }

// The subject's conversion to UTF-16 alone.
void BM_SubjectConversion(benchmark::State& state) {
  const Text& page = Page(static_cast<int>(state.range(0)), true);
  for (auto _ : state) {
    std::u16string subject = TextToUtf16(page);
    benchmark::DoNotOptimize(subject);
  }
}

// A long line with no picture element: the run completes and finds nothing.
void BM_RegexObjectNoMarker(benchmark::State& state) {
  const Text& page = Page(static_cast<int>(state.range(0)), false);
  for (auto _ : state) {
    RegexObject regex;
    if (!regex.Create(kPicturePattern, page) || regex.MatchCount() != 0) {
      state.SkipWithError("the run over a page without pictures failed");
      break;
    }
  }
}

// GroupText(i, 1) alone, for every match: the time per call stays the same
// whether the run holds 1,000 matches or 8,000.
void BM_GroupTextEach(benchmark::State& state) {
  const int mebibytes = static_cast<int>(state.range(0));
  RegexObject regex;
  regex.Create(kPicturePattern, Page(mebibytes, true));
  const int32_t count = regex.MatchCount();
  for (auto _ : state) {
    for (int32_t i = 1; i <= count; ++i) {
      Text address = regex.GroupText(i, 1);
      benchmark::DoNotOptimize(address);
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["matches"] = count;
}

BENCHMARK(BM_RegexObjectJob)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectPcre2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectPcre2WithConversions)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubjectConversion)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegexObjectNoMarker)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupTextEach)->Arg(4)->Arg(32)->Unit(benchmark::kMicrosecond);

// Console output as usual, plus the best CPU time of each benchmark for the
// ratios printed at the end: on a machine shared with other work, CPU time of
// the benchmark's thread is what the code costs, and the best run the least disturbed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double seconds =
          run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      auto [it, inserted] = best_.emplace(run.benchmark_name(), seconds);
      if (!inserted && seconds < it->second) it->second = seconds;
    }
  }

  void PrintRatio(const char* what, const std::string& numerator, const std::string& denominator,
                  double target) const {
    const auto a = best_.find(numerator);
    const auto b = best_.find(denominator);
    if (a == best_.end() || b == best_.end() || b->second <= 0) return;
    const double ratio = a->second / b->second;
    std::printf("%-44s %8.2f ms / %8.2f ms = %5.2fx", what, a->second * 1e3, b->second * 1e3,
                ratio);
    if (target > 0)
      std::printf("  (target <= %.1fx) %s", target, ratio <= target ? "ok" : "MISSED");
    std::printf("\n");
  }

 private:
  std::map<std::string, double> best_;
};

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  quorvane::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios of CPU time:\n");
  reporter.PrintRatio("job / direct PCRE2, 4 MiB", "BM_RegexObjectJob/4", "BM_DirectPcre2/4", 1.5);
  reporter.PrintRatio("job / direct PCRE2, 8 MiB", "BM_RegexObjectJob/8", "BM_DirectPcre2/8", 1.5);
  reporter.PrintRatio("job / direct PCRE2 with conversions, 4 MiB", "BM_RegexObjectJob/4",
                      "BM_DirectPcre2WithConversions/4", 1.5);
  reporter.PrintRatio("job / direct PCRE2 with conversions, 8 MiB", "BM_RegexObjectJob/8",
                      "BM_DirectPcre2WithConversions/8", 1.5);
  reporter.PrintRatio("subject conversion / direct PCRE2, 4 MiB", "BM_SubjectConversion/4",
                      "BM_DirectPcre2/4", 0);
  reporter.PrintRatio("job 8 MiB / job 4 MiB", "BM_RegexObjectJob/8", "BM_RegexObjectJob/4", 2.2);
  benchmark::Shutdown();
  return 0;
}
