// Linux: the x86 time-stamp counter where there is one, else the steady clock's ticks.
#include "quorvane/app/time_stamp_counter.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

namespace quorvane {

uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

}  // namespace quorvane
