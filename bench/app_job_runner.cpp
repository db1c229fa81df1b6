// Runs one download job without a window: app_job_runner <note page address> <run directory>.
// Prints "saved <n> failed <n> peak_rss_kib <n>"; exits 0 when every picture was saved.
#include <sys/resource.h>

#include <cstdio>

#include "quorvane/app/download_job.h"
#include "quorvane/app/job_window.h"
#include "quorvane/app/memory_policy.h"
#include "quorvane/web/web_request.h"

namespace {

class FixedAddressWindow : public quorvane::JobWindow {
 public:
  explicit FixedAddressWindow(const char* address) : address_(address) {}
  quorvane::Text ReadAddress() override { return address_; }
  void SetStatusPart(int32_t, const quorvane::Text&) override {}

 private:
  const quorvane::Text address_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <note page address> <run directory>\n", argv[0]);
    return 2;
  }
  // Set up as the program sets itself up.
  quorvane::KeepFreedMemoryForReuse();
  quorvane::InitializeWebAccess();
  FixedAddressWindow window(argv[1]);
  quorvane::DownloadSettings settings;
  settings.runDirectory = argv[2];
  const quorvane::DownloadSummary summary = quorvane::DownloadImages(window, settings);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("saved %d failed %d peak_rss_kib %ld\n", summary.saved, summary.failed,
              usage.ru_maxrss);
  return summary.found > 0 && summary.failed == 0 ? 0 : 1;
}
