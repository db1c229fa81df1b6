// The processor's free-running counter, read anew on every call: the time-stamp counter on x86,
// a steady high-resolution clock's tick count elsewhere. Only its low bits matter to callers;
// it never fails.
#pragma once

#include <cstdint>

namespace quorvane {

uint64_t ReadTimeStampCounter();

}  // namespace quorvane
