// Number helpers with the system's edge rules.
#pragma once

#include <cstdint>

namespace quorvane {

// The remainder of a / b with the sign of a (std::fmod). b == 0 ends the
// program through FatalError(0, "不能求余数于零").
double Modulo(double a, double b);

// 32-bit bitwise or.
inline int32_t BitOr(int32_t a, int32_t b) { return a | b; }

}  // namespace quorvane
