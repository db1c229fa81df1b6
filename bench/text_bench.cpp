// The text operations over a 4 MiB text of mixed one- and two-byte
// characters, each measured beside what it competes with:
//   FindText of an absent ASCII target  vs std::string_view::find (target: >= 1/3 its speed)
//   AnsiToWide                          vs ucnv_toUChars           (target: within 1.5x)
//   WideToAnsi                          vs ucnv_fromUChars         (target: within 1.5x)
// and ReplaceText and SplitText for their throughput. The two conversions are
// also measured over 4 MiB of note-page markup (the _Markup rows): mostly
// ASCII with short runs of Chinese, what the download job converts most.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/text/byte_set.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/text.h"
#include "quorvane/text/text_array.h"

namespace {

using quorvane::ByteSet;
using quorvane::Text;

constexpr std::size_t kTextBytes = std::size_t{4} << 20;

// Words of lower-case letters and digits, runs of common Chinese characters
// (GB2312 level 1, lead bytes B0-D7), spaces and ";" separators.
const Text& MixedText() {
  static const Text text = [] {
    std::mt19937 random(936);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> runLength(1, 8);
    std::uniform_int_distribution<int> letter(0, 35);
    std::uniform_int_distribution<int> lead(0xB0, 0xD7);
    std::uniform_int_distribution<int> second(0xA1, 0xFE);
    std::string bytes;
    bytes.reserve(kTextBytes + 32);
    while (bytes.size() < kTextBytes) {
      const int k = kind(random);
      if (k < 4) {
        for (int i = runLength(random); i > 0; --i) {
          const int l = letter(random);
          bytes += static_cast<char>(l < 26 ? 'a' + l : '0' + (l - 26));
        }
      } else if (k < 8) {
        for (int i = runLength(random); i > 0; --i) {
          bytes += static_cast<char>(lead(random));
          bytes += static_cast<char>(second(random));
        }
      } else if (k == 8) {
        bytes += ' ';
      } else {
        bytes += ';';
      }
    }
    return Text(bytes);
  }();
  return text;
}

// ---- FindText of an absent ASCII target ----

// "z" starts many candidates (about one letter in 36); "Q" never occurs.
const char* const kAbsentTargets[] = {"z#absent", "Quorvane"};

void BM_FindText_Absent(benchmark::State& state) {
  const Text& text = MixedText();
  const Text target(kAbsentTargets[state.range(0)]);
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::FindText(text, target));
  state.SetBytesProcessed(state.iterations() * text.Length());
  state.SetLabel(target.CStr());
}
BENCHMARK(BM_FindText_Absent)->Arg(0)->Arg(1);

void BM_StringViewFind_Absent(benchmark::State& state) {
  const std::string_view text = MixedText().View();
  const std::string_view target(kAbsentTargets[state.range(0)]);
  for (auto _ : state) {
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(text.find(target));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetLabel(std::string(target));
}
BENCHMARK(BM_StringViewFind_Absent)->Arg(0)->Arg(1);

void BM_FindText_AbsentIgnoringCase(benchmark::State& state) {
  const Text& text = MixedText();
  const Text target(kAbsentTargets[0]);
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::FindText(text, target, 1, true));
  state.SetBytesProcessed(state.iterations() * text.Length());
}
BENCHMARK(BM_FindText_AbsentIgnoringCase);

// ---- ReplaceText and SplitText ----

void BM_ReplaceText(benchmark::State& state) {
  const Text& text = MixedText();
  const Text target(";");
  const Text replacement("; ");
  for (auto _ : state)
    benchmark::DoNotOptimize(quorvane::ReplaceText(text, target, replacement, true));
  state.SetBytesProcessed(state.iterations() * text.Length());
}
BENCHMARK(BM_ReplaceText)->Unit(benchmark::kMillisecond);

void BM_SplitText(benchmark::State& state) {
  const Text& text = MixedText();
  const Text separator(";");
  int32_t members = 0;
  for (auto _ : state) {
    const quorvane::TextArray pieces = quorvane::SplitText(text, separator);
    members = pieces.Size();
    benchmark::DoNotOptimize(members);
  }
  state.SetBytesProcessed(state.iterations() * text.Length());
  state.counters["members"] = members;
}
BENCHMARK(BM_SplitText)->Unit(benchmark::kMillisecond);

// ---- conversions beside ICU called directly ----

UConverter* OpenCodePage936() {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-936-2000", &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// Note-page markup on one line, as the download job reads it.
const Text& MarkupText() {
  static const Text text = [] {
    const Text filler = quorvane::TextFromUtf8(
        R"(<div class="note-content"><span class="title">周末去了一家很好吃的店，推荐给大家</span>)"
        R"(<a href="/user/profile/5f1e2d3c4b5a6978" class="author"><i class="avatar"></i>小红薯</a>)"
        R"(<span class="like-count">1.2万</span><i class="icon" style="color:#ff2442"></i></div>)");
    Text markup;
    markup.Reserve(static_cast<int32_t>(kTextBytes + filler.Length()));
    while (static_cast<std::size_t>(markup.Length()) < kTextBytes) markup.Append(filler);
    return markup;
  }();
  return text;
}

void AnsiToWideOf(benchmark::State& state, const Text& text) {
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::AnsiToWide(text));
  state.SetBytesProcessed(state.iterations() * text.Length());
}

void IcuToUCharsOf(benchmark::State& state, const Text& text) {
  UConverter* converter = OpenCodePage936();
  std::vector<UChar> units(static_cast<std::size_t>(text.Length()) + 1);
  for (auto _ : state) {
    UErrorCode error = U_ZERO_ERROR;
    benchmark::DoNotOptimize(ucnv_toUChars(converter, units.data(),
                                           static_cast<int32_t>(units.size()), text.CStr(),
                                           text.Length(), &error));
  }
  ucnv_close(converter);
  state.SetBytesProcessed(state.iterations() * text.Length());
}

void WideToAnsiOf(benchmark::State& state, const Text& text) {
  const ByteSet wide = quorvane::AnsiToWide(text);
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::WideToAnsi(wide));
  state.SetBytesProcessed(state.iterations() * text.Length());
}

void IcuFromUCharsOf(benchmark::State& state, const Text& text) {
  const std::u16string units = quorvane::TextToUtf16(text);
  UConverter* converter = OpenCodePage936();
  std::vector<char> bytes(units.size() * 2 + 1);
  for (auto _ : state) {
    UErrorCode error = U_ZERO_ERROR;
    benchmark::DoNotOptimize(ucnv_fromUChars(converter, bytes.data(),
                                             static_cast<int32_t>(bytes.size()), units.data(),
                                             static_cast<int32_t>(units.size()), &error));
  }
  ucnv_close(converter);
  state.SetBytesProcessed(state.iterations() * text.Length());
}

void BM_AnsiToWide(benchmark::State& state) { AnsiToWideOf(state, MixedText()); }
BENCHMARK(BM_AnsiToWide)->Unit(benchmark::kMillisecond);

void BM_IcuToUChars(benchmark::State& state) { IcuToUCharsOf(state, MixedText()); }
BENCHMARK(BM_IcuToUChars)->Unit(benchmark::kMillisecond);

void BM_WideToAnsi(benchmark::State& state) { WideToAnsiOf(state, MixedText()); }
BENCHMARK(BM_WideToAnsi)->Unit(benchmark::kMillisecond);

void BM_IcuFromUChars(benchmark::State& state) { IcuFromUCharsOf(state, MixedText()); }
BENCHMARK(BM_IcuFromUChars)->Unit(benchmark::kMillisecond);

void BM_AnsiToWide_Markup(benchmark::State& state) { AnsiToWideOf(state, MarkupText()); }
BENCHMARK(BM_AnsiToWide_Markup)->Unit(benchmark::kMillisecond);

void BM_IcuToUChars_Markup(benchmark::State& state) { IcuToUCharsOf(state, MarkupText()); }
BENCHMARK(BM_IcuToUChars_Markup)->Unit(benchmark::kMillisecond);

void BM_WideToAnsi_Markup(benchmark::State& state) { WideToAnsiOf(state, MarkupText()); }
BENCHMARK(BM_WideToAnsi_Markup)->Unit(benchmark::kMillisecond);

void BM_IcuFromUChars_Markup(benchmark::State& state) { IcuFromUCharsOf(state, MarkupText()); }
BENCHMARK(BM_IcuFromUChars_Markup)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
