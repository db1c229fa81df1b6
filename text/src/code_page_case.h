// Case mapping of code page 936 characters, provided by the code-page service.
#pragma once

#include <cstdint>

namespace quorvane {

// The upper-case form of a two-byte character given as lead * 256 + second
// byte, as a unit of the same kind (or a one-byte value when the upper-case
// form is a one-byte character). A character without an upper-case form that
// code page 936 can show comes back unchanged.
uint16_t UpperCaseDoubleByte(uint16_t unit);

}  // namespace quorvane
