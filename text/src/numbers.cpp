#include "quorvane/text/numbers.h"

#include <cmath>

#include "quorvane/text/code_page.h"
#include "quorvane/text/fatal_error.h"

namespace quorvane {

double Modulo(double a, double b) {
  if (b == 0) {
    static const Text kByZero = TextFromUtf8(u8"不能求余数于零");
    FatalError(0, kByZero);
  }
  return std::fmod(a, b);
}

}  // namespace quorvane
