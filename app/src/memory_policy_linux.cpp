// glibc: blocks below the mmap threshold come from the heap and stay there for reuse until the
// heap's free top exceeds the trim threshold. By default both adapt down to 128 KiB, which
// sends every picture buffer to mmap and back.
#include <malloc.h>

#include "quorvane/app/memory_policy.h"

namespace quorvane {

void KeepFreedMemoryForReuse() {
  constexpr int kMiB = 1 << 20;
  mallopt(M_MMAP_THRESHOLD, 32 * kMiB);
  mallopt(M_TRIM_THRESHOLD, 64 * kMiB);
}

}  // namespace quorvane
