// Code page 936 conversions done by the converter alone, without the cache of
// code_page_936_cache.h: the results the public conversions must equal byte
// for byte. For tests and comparisons only.
#pragma once

#include <string>
#include <string_view>

#include "quorvane/text/text.h"

namespace quorvane {

// Every byte read by the converter; the empty result when it cannot run.
std::u16string DecodeCodePage936Directly(std::string_view bytes);

// Every unit (the caller cuts at the first zero unit) written by the
// converter; the empty text when it cannot run.
Text EncodeCodePage936Directly(std::u16string_view units);

}  // namespace quorvane
