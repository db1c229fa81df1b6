// web_bench: what WebRequest costs beyond the transfer itself, and what the character-set
// step costs beyond the conversion itself.
//
//   Fetch/WebRequest/1MiB       vs Fetch/PlainCurl/1MiB         (target: at most 1.25x)
//   (Fetch/WebRequest/1MiB-declaring-utf-8 adds the character-set step to the same fetch)
//   Fetch/WebRequest/200x2KiB   vs Fetch/PlainCurl/200x2KiB     (target: at most 1.25x)
//   Decode/DeclaredCharset/1MiB vs Decode/IcuDirect/1MiB        (target: within 1.5x)
//   (Decode/DecodeCharset/1MiB: the text library's part of the step;
//    Decode/IcuDirectReusedBuffer/1MiB: the conversion alone, without a fresh output buffer)
//
// Both fetches take one easy handle per request from the same loopback nginx, started by
// this program; the 1 MiB page declares no character set, so that the fetch is measured
// without the decoding, which has benchmarks of its own. The ratios are printed at the end.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unicode/ucnv.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "declared_charset.h"
#include "quorvane/testing/nginx_server.h"
#include "quorvane/text/code_page.h"
#include "quorvane/web/web_request.h"

namespace {

using quorvane::Text;
namespace qt = quorvane::testing;

qt::NginxServer* server = nullptr;

// A page of `size` bytes: markup and Chinese text in UTF-8, declaring its character set when
// `declared` is set.
std::string Utf8Page(size_t size, bool declared) {
  std::string page = declared
                         ? "<html><head><meta charset=\"utf-8\"><title>bench</title></head><body>\n"
                         : "<html><head><title>bench</title></head><body>\n";
  const std::string line = "<p>小红书笔记图片下载，编码转换测试 line of text 0123456789</p>\n";
  while (page.size() + line.size() < size) page += line;
  page += std::string(size - page.size(), ' ');
  return page;
}

std::string SmallPage() {
  std::string page = "<html><body>";
  page += std::string(2048 - page.size() - 14, 'x');
  return page + "</body></html>";
}

size_t Gather(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// A plain libcurl GET: one easy handle, the body gathered into a string.
size_t PlainCurlGet(const std::string& url) {
  std::string body;
  CURL* handle = curl_easy_init();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Gather);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(handle);
  curl_easy_cleanup(handle);
  return body.size();
}

void WebRequestLarge(benchmark::State& state) {
  const Text url(server->HttpUrl("/large.html"));
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::WebRequest(url));
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}

// The same page declaring UTF-8: the fetch and the character-set step together.
void WebRequestDeclared(benchmark::State& state) {
  const Text url(server->HttpUrl("/declared.html"));
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::WebRequest(url));
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}

void PlainCurlLarge(benchmark::State& state) {
  const std::string url = server->HttpUrl("/large.html");
  for (auto _ : state) benchmark::DoNotOptimize(PlainCurlGet(url));
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}

void WebRequestSmall(benchmark::State& state) {
  const Text url(server->HttpUrl("/small.html"));
  for (auto _ : state) {
    for (int i = 0; i < 200; ++i) benchmark::DoNotOptimize(quorvane::WebRequest(url));
  }
}

void PlainCurlSmall(benchmark::State& state) {
  const std::string url = server->HttpUrl("/small.html");
  for (auto _ : state) {
    for (int i = 0; i < 200; ++i) benchmark::DoNotOptimize(PlainCurlGet(url));
  }
}

const std::string& DecodeInput() {
  static const std::string page = Utf8Page(1 << 20, true);
  return page;
}

// The step WebRequest runs on a fetched body: the page text up to its first zero byte, the
// declaration looked for in its head, the body decoded from it.
void DecodeDeclaredCharset(benchmark::State& state) {
  const quorvane::ByteSet body(DecodeInput());
  for (auto _ : state) {
    benchmark::DoNotOptimize(quorvane::PageTextOf(body.View()));
  }
  state.SetBytesProcessed(state.iterations() * body.Size());
}

// The text library's conversion alone, which the step above calls.
void DecodeCharsetAlone(benchmark::State& state) {
  const std::string& body = DecodeInput();
  for (auto _ : state) benchmark::DoNotOptimize(quorvane::DecodeCharset(body, "utf-8"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}

// ICU converting the same bytes from UTF-8 to code page 936 directly, the converters reused:
// into a fresh output buffer each time (as any conversion that hands back its result needs),
// or, for the conversion alone, into one buffer kept across iterations.
void DecodeIcuDirect(benchmark::State& state, bool reuseBuffer) {
  const std::string& body = DecodeInput();
  UErrorCode error = U_ZERO_ERROR;
  UConverter* fromUtf8 = ucnv_open("UTF-8", &error);
  UConverter* to936 = ucnv_open("windows-936-2000", &error);
  const size_t capacity = body.size() * 2;
  std::unique_ptr<char[]> kept(reuseBuffer ? new char[capacity] : nullptr);
  for (auto _ : state) {
    std::unique_ptr<char[]> fresh(reuseBuffer ? nullptr : new char[capacity]);
    char* const out = reuseBuffer ? kept.get() : fresh.get();
    error = U_ZERO_ERROR;
    char* target = out;
    const char* source = body.data();
    ucnv_convertEx(to936, fromUtf8, &target, out + capacity, &source, body.data() + body.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &error);
    benchmark::DoNotOptimize(target);
    benchmark::ClobberMemory();
  }
  ucnv_close(fromUtf8);
  ucnv_close(to936);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}

// Collects the times to print the ratios after the usual report.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions the median stands for the benchmark; without, its one run.
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name != "median") continue;
        medians_.insert(name);
      } else if (medians_.count(name) != 0) {
        continue;
      }
      times_[name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    Ratio("Fetch/WebRequest/1MiB", "Fetch/PlainCurl/1MiB", 1.25);
    Ratio("Fetch/WebRequest/200x2KiB", "Fetch/PlainCurl/200x2KiB", 1.25);
    Ratio("Decode/DeclaredCharset/1MiB", "Decode/IcuDirect/1MiB", 1.5);
    Ratio("Decode/DeclaredCharset/1MiB", "Decode/IcuDirectReusedBuffer/1MiB", 1.5);
  }

 private:
  void Ratio(const std::string& ours, const std::string& reference, double target) {
    const auto a = times_.find(ours);
    const auto b = times_.find(reference);
    if (a == times_.end() || b == times_.end() || b->second <= 0) return;
    std::printf("%-28s / %-34s = %.2fx (target %.2fx)\n", ours.c_str(), reference.c_str(),
                a->second / b->second, target);
  }
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!quorvane::InitializeWebAccess()) return 1;
  qt::NginxServer nginx;
  nginx.WriteFile("large.html", Utf8Page(1 << 20, false));
  nginx.WriteFile("declared.html", Utf8Page(1 << 20, true));
  nginx.WriteFile("small.html", SmallPage());
  std::string error;
  // access_log stays on: nginx writes one line per request either way for both clients.
  if (!nginx.Start("", &error)) {
    std::fprintf(stderr, "nginx did not start: %s\n", error.c_str());
    return 1;
  }
  server = &nginx;

  benchmark::RegisterBenchmark("Fetch/WebRequest/1MiB", WebRequestLarge)->UseRealTime();
  benchmark::RegisterBenchmark("Fetch/PlainCurl/1MiB", PlainCurlLarge)->UseRealTime();
  benchmark::RegisterBenchmark("Fetch/WebRequest/1MiB-declaring-utf-8", WebRequestDeclared)
      ->UseRealTime();
  benchmark::RegisterBenchmark("Fetch/WebRequest/200x2KiB", WebRequestSmall)->UseRealTime();
  benchmark::RegisterBenchmark("Fetch/PlainCurl/200x2KiB", PlainCurlSmall)->UseRealTime();
  benchmark::RegisterBenchmark("Decode/DeclaredCharset/1MiB", DecodeDeclaredCharset);
  benchmark::RegisterBenchmark("Decode/DecodeCharset/1MiB", DecodeCharsetAlone);
  benchmark::RegisterBenchmark("Decode/IcuDirect/1MiB", DecodeIcuDirect, false);
  benchmark::RegisterBenchmark("Decode/IcuDirectReusedBuffer/1MiB", DecodeIcuDirect, true);

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  server = nullptr;
  return 0;
}
