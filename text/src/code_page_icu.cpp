// Code-page conversion over ICU converters. Code page 936 goes through a
// cache of the converter's own answers (code_page_936_cache.h) and hands the
// converter only what the cache cannot answer exactly as it would.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

#include "code_page_936_cache.h"
#include "code_page_case.h"
#include "code_page_direct.h"
#include "quorvane/text/code_page.h"

namespace quorvane {

namespace {

static_assert(sizeof(UChar) == sizeof(char16_t));

// ICU's name for Windows code page 936 (it maps 0x80 to U+20AC as Windows does).
constexpr char kCodePage936[] = "windows-936-2000";

// ICU refuses single calls over about 1 GiB of input, so long inputs go in pieces.
constexpr std::size_t kChunkBytes = std::size_t{1} << 28;
constexpr std::size_t kChunkUnits = std::size_t{1} << 27;

// Bytes of code page 936 read through the cache per step (see DecodeCodePage936).
constexpr std::size_t kDecodeStepBytes = std::size_t{1} << 14;

// Every byte sequence a converter cannot read becomes U+FFFD (ICU's default
// would give U+001A for some single-byte sets, which code page 936 keeps as a
// control byte instead of "?").
void SubstituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*,
                                    int32_t, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *error = U_ZERO_ERROR;
  const UChar replacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

// Only code page 936 is ever written, so only its converter gets "?" as the
// substitute (a one-byte substitute is refused by sets such as UTF-16).
enum class Direction { kReadOnly, kReadAndWrite };

UConverter* OpenConverter(const char* name, Direction direction) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  if (U_FAILURE(error) || converter == nullptr) return nullptr;
  if (direction == Direction::kReadAndWrite) ucnv_setSubstChars(converter, "?", 1, &error);
  ucnv_setToUCallBack(converter, SubstituteReplacementCharacter, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) {
    ucnv_close(converter);
    return nullptr;
  }
  return converter;
}

// The converters of one thread, opened on first use and closed when the
// thread ends. ICU converters are not safe to share between threads.
class ThreadConverters {
 public:
  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() {
    if (codePage936_ != nullptr) ucnv_close(codePage936_);
    if (named_ != nullptr) ucnv_close(named_);
  }

  UConverter* CodePage936() {
    if (!triedCodePage936_) {
      triedCodePage936_ = true;
      codePage936_ = OpenConverter(kCodePage936, Direction::kReadAndWrite);
    }
    return codePage936_;
  }

  // The converter of a character set by name; the last one asked for is kept,
  // since a thread mostly decodes one character set again and again.
  UConverter* Named(const std::string& name) {
    if (named_ != nullptr && name == namedFor_) return named_;
    UConverter* opened = OpenConverter(name.c_str(), Direction::kReadOnly);
    if (opened == nullptr) return nullptr;
    if (named_ != nullptr) ucnv_close(named_);
    named_ = opened;
    namedFor_ = name;
    return named_;
  }

 private:
  bool triedCodePage936_ = false;
  UConverter* codePage936_ = nullptr;
  UConverter* named_ = nullptr;
  std::string namedFor_;
};

ThreadConverters& Converters() {
  thread_local ThreadConverters converters;
  return converters;
}

// A growable run of UTF-16 units: std::u16string, or the bytes of a ByteSet
// seen as units (on little-endian machines, where they already are UTF-16LE).
struct StringUnits {
  std::u16string& units;
  std::size_t Size() const { return units.size(); }
  void Reserve(std::size_t size) { units.reserve(size); }
  void Resize(std::size_t size) { units.resize(size); }
  UChar* Data() { return units.data(); }
};

struct ByteSetUnits {
  ByteSet& bytes;
  std::size_t Size() const { return static_cast<std::size_t>(bytes.Size()) / 2; }
  void Reserve(std::size_t size) { bytes.Reserve(static_cast<int64_t>(size * 2)); }
  void Resize(std::size_t size) { bytes.Resize(static_cast<int64_t>(size * 2)); }
  UChar* Data() { return reinterpret_cast<UChar*>(bytes.MutableData()); }
};

// Decodes all of source with converter into out after its first `written`
// units, growing out when needed. Returns the number of units in out then,
// or -1 when ICU fails.
template <typename Units>
int64_t DecodeAppending(UConverter* converter, std::string_view source, Units out,
                        std::size_t written) {
  ucnv_resetToUnicode(converter);
  const char* next = source.data();
  const char* const end = next + source.size();
  for (;;) {
    const char* const chunkEnd = next + std::min<std::size_t>(end - next, kChunkBytes);
    const bool flush = chunkEnd == end;
    if (written == out.Size()) out.Resize(std::max<std::size_t>(out.Size() * 2, 16));
    UChar* const base = out.Data();
    UChar* target = base + written;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, base + std::min(out.Size(), written + kChunkUnits), &next,
                   chunkEnd, nullptr, flush, &error);
    written = static_cast<std::size_t>(target - base);
    if (error == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(error)) return -1;
    if (flush) return static_cast<int64_t>(written);
  }
}

// Encodes units (holding no zero unit) with converter and appends the bytes to
// text through a small buffer; the caller reserves the text once, so it is
// never copied as it grows. False when ICU fails.
bool EncodeAppending(UConverter* converter, std::u16string_view units, Text& text) {
  ucnv_resetFromUnicode(converter);
  char buffer[16384];
  const UChar* next = units.data();
  const UChar* const end = next + units.size();
  for (;;) {
    const UChar* const chunkEnd = next + std::min<std::size_t>(end - next, kChunkUnits);
    const bool flush = chunkEnd == end;
    char* target = buffer;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &target, buffer + sizeof buffer, &next, chunkEnd, nullptr, flush,
                     &error);
    text.Append(std::string_view(buffer, static_cast<std::size_t>(target - buffer)));
    if (error == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(error)) return false;
    if (flush) return true;
  }
}

// ---- the cache of code page 936, filled from the converter ----

// What a converter set up as the threads' converters reads from a few bytes,
// or writes for one unit; the empty string when ICU fails.
std::u16string ReadAlone(UConverter* converter, std::string_view bytes) {
  UChar units[8];
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length = ucnv_toUChars(converter, units, std::size(units), bytes.data(),
                                       static_cast<int32_t>(bytes.size()), &error);
  if (U_FAILURE(error) || length > static_cast<int32_t>(std::size(units))) return {};
  return std::u16string(units, units + length);
}

std::string WriteAlone(UConverter* converter, char16_t unit) {
  char bytes[8];
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(converter, bytes, sizeof bytes, &unit, 1, &error);
  if (U_FAILURE(error) || length > static_cast<int32_t>(sizeof bytes)) return {};
  return std::string(bytes, static_cast<std::size_t>(length));
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The two-byte sequences the converter reads as one unit of their own. The
// cache is only given out when the converter reads ASCII as itself (the walk
// widens it without the cache) and begins a new character at every byte below
// 0x40 (where the walk ends the pieces it hands back to the converter).
std::unique_ptr<CodePage936Reading> BuildReadingCache() {
  UConverter* converter = OpenConverter(kCodePage936, Direction::kReadAndWrite);
  if (converter == nullptr) return nullptr;
  auto cache = std::make_unique<CodePage936Reading>();
  bool usable = true;
  for (unsigned byte = 0; byte < 0x80 && usable; ++byte) {
    const char one = static_cast<char>(byte);
    usable = ReadAlone(converter, std::string_view(&one, 1)) ==
             std::u16string(1, static_cast<char16_t>(byte));
  }
  for (unsigned lead = 0x80; lead <= 0xFF && usable; ++lead) {
    const char first = static_cast<char>(lead);
    const std::u16string alone = ReadAlone(converter, std::string_view(&first, 1));
    for (unsigned boundary = 0; boundary < 0x40 && usable; ++boundary) {
      const char pair[2] = {first, static_cast<char>(boundary)};
      usable = !alone.empty() && ReadAlone(converter, std::string_view(pair, 2)) ==
                                     alone + static_cast<char16_t>(boundary);
    }
    for (unsigned second = 0; second <= 0xFF && usable; ++second) {
      const char pair[2] = {first, static_cast<char>(second)};
      const std::u16string units = ReadAlone(converter, std::string_view(pair, 2));
      // U+FFFD stands for an undefined pair; the converter reports those itself.
      if (units.size() != 1 || units[0] == 0 || units[0] == 0xFFFD || IsSurrogate(units[0])) {
        continue;
      }
      cache->pairUnits[CodePage936Reading::PairIndex(lead, second)] = units[0];
    }
  }
  ucnv_close(converter);
  return usable ? std::move(cache) : nullptr;
}

// The units the converter writes as one or two bytes of their own. "?" for a
// unit other than "?" itself is the substitute and stays with the converter.
// The cache is only given out when the converter writes ASCII as itself.
std::unique_ptr<CodePage936Writing> BuildWritingCache() {
  UConverter* converter = OpenConverter(kCodePage936, Direction::kReadAndWrite);
  if (converter == nullptr) return nullptr;
  auto cache = std::make_unique<CodePage936Writing>();
  bool usable = true;
  for (unsigned unit = 1; unit < 0x80 && usable; ++unit) {
    usable = WriteAlone(converter, static_cast<char16_t>(unit)) ==
             std::string(1, static_cast<char>(unit));
    cache->unitBytes[unit] = static_cast<uint16_t>(unit);
  }
  for (unsigned unit = 0x80; unit <= 0xFFFF && usable; ++unit) {
    if (IsSurrogate(static_cast<char16_t>(unit))) continue;
    const std::string bytes = WriteAlone(converter, static_cast<char16_t>(unit));
    if (bytes.size() == 1 && bytes[0] != '\0' && bytes[0] != '?') {
      cache->unitBytes[unit] = static_cast<unsigned char>(bytes[0]);
    } else if (bytes.size() == 2 && bytes[0] != '\0') {
      cache->unitBytes[unit] = static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                     static_cast<unsigned char>(bytes[1]));
    }
  }
  ucnv_close(converter);
  return usable ? std::move(cache) : nullptr;
}

// Filled once per process on first use, then only read, by any thread; null
// when the converter cannot be opened or the cache would not be exact. Kept
// for the life of the process, so threads still converting at exit are safe.
const CodePage936Reading* ReadingCache() {
  static const CodePage936Reading* const cache = BuildReadingCache().release();
  return cache;
}

const CodePage936Writing* WritingCache() {
  static const CodePage936Writing* const cache = BuildWritingCache().release();
  return cache;
}

// ---- code page 936 conversions: cached characters here, the rest by the converter ----

// Decodes code page 936 bytes into out from its start. Returns the number of
// units, or -1 when the converter fails; out ends up holding at least that
// many units (the caller sets its final size).
template <typename Units>
int64_t DecodeCodePage936(std::string_view source, Units out) {
  const CodePage936Reading* const cache = ReadingCache();
  if (cache == nullptr) {
    out.Resize(source.size() + 1);
    UConverter* converter = Converters().CodePage936();
    return converter == nullptr ? -1 : DecodeAppending(converter, source, out, 0);
  }
  // Every character is at least one byte and reads as one unit; the extra
  // unit is for the caller's terminator.
  out.Reserve(source.size() + 1);
  std::size_t written = 0;
  std::size_t next = 0;
  while (next < source.size()) {
    // The units are sized a step at a time, so that their zero fill is still
    // in the cache when the walk writes over it.
    const std::size_t stepEnd = next + std::min(source.size() - next, kDecodeStepBytes);
    out.Resize(written + (stepEnd - next) + 1);
    std::size_t stopped = next;
    written +=
        ReadCachedCharacters(*cache, source.substr(0, stepEnd), stopped, out.Data() + written);
    // A lead byte at the end of a step is read again with the next step.
    if (stopped == stepEnd || (stopped + 1 == stepEnd && stepEnd < source.size())) {
      next = stopped;
      continue;
    }
    UConverter* converter = Converters().CodePage936();
    if (converter == nullptr) return -1;
    const std::size_t end = UndecidedPieceEnd(source, stopped);
    out.Resize(written + (end - stopped) + 1);
    const int64_t total =
        DecodeAppending(converter, source.substr(stopped, end - stopped), out, written);
    if (total < 0) return -1;
    written = static_cast<std::size_t>(total);
    next = end;
  }
  return static_cast<int64_t>(written);
}

// Encodes units (holding no zero unit) to code page 936; the empty text when
// the converter fails.
Text EncodeCodePage936(std::u16string_view units) {
  if (units.empty()) return Text();
  Text text;
  text.Reserve(static_cast<int32_t>(std::min<std::size_t>(
      units.size() * 2, static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))));
  const CodePage936Writing* const cache = WritingCache();
  if (cache == nullptr) {
    UConverter* converter = Converters().CodePage936();
    return converter != nullptr && EncodeAppending(converter, units, text) ? text : Text();
  }
  char buffer[16384];
  std::size_t next = 0;
  while (next < units.size()) {
    const std::size_t written = WriteCachedCharacters(*cache, units, next, buffer, sizeof buffer);
    text.Append(std::string_view(buffer, written));
    if (next == units.size() || IsCached(*cache, units[next])) continue;  // the buffer was full
    UConverter* converter = Converters().CodePage936();
    const std::size_t end = UndecidedRunEnd(*cache, units, next);
    if (converter == nullptr || !EncodeAppending(converter, units.substr(next, end - next), text)) {
      return Text();
    }
    next = end;
  }
  return text;
}

std::u16string_view UpToZeroUnit(std::u16string_view units) {
  return units.substr(
      0, UnitsBeforeZero(reinterpret_cast<const unsigned char*>(units.data()), units.size()));
}

}  // namespace

ByteSet AnsiToWide(const Text& text) {
  if (text.Empty()) return ByteSet();
  ByteSet wide;
  int64_t units;
  if constexpr (std::endian::native == std::endian::little) {
    units = DecodeCodePage936(text.View(), ByteSetUnits{wide});
  } else {
    std::u16string decoded;
    units = DecodeCodePage936(text.View(), StringUnits{decoded});
    if (units > 0) {
      wide.Resize((units + 1) * 2);
      for (int64_t i = 0; i < units; ++i) {
        wide.MutableData()[2 * i] = static_cast<unsigned char>(decoded[i] & 0xFF);
        wide.MutableData()[2 * i + 1] = static_cast<unsigned char>(decoded[i] >> 8);
      }
    }
  }
  if (units <= 0) return ByteSet();
  wide.Resize((units + 1) * 2);
  wide.MutableData()[units * 2] = 0;
  wide.MutableData()[units * 2 + 1] = 0;
  return wide;
}

Text WideToAnsi(const ByteSet& utf16le) {
  const unsigned char* bytes = utf16le.Data();
  const std::size_t whole = static_cast<std::size_t>(utf16le.Size()) / 2;
  const std::size_t units = UnitsBeforeZero(bytes, whole);
  if (units == 0) return Text();
  if constexpr (std::endian::native == std::endian::little) {
    if (reinterpret_cast<std::uintptr_t>(bytes) % alignof(char16_t) == 0) {
      return EncodeCodePage936(
          std::u16string_view(reinterpret_cast<const char16_t*>(bytes), units));
    }
  }
  std::u16string copy(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    copy[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return EncodeCodePage936(copy);
}

std::u16string TextToUtf16(const Text& text) {
  std::u16string units;
  if (text.Empty()) return units;
  const int64_t count = DecodeCodePage936(text.View(), StringUnits{units});
  units.resize(static_cast<std::size_t>(std::max<int64_t>(count, 0)));
  return units;
}

Text Utf16ToText(std::u16string_view utf16) { return EncodeCodePage936(UpToZeroUnit(utf16)); }

std::u16string DecodeCodePage936Directly(std::string_view bytes) {
  std::u16string units;
  UConverter* converter = Converters().CodePage936();
  if (bytes.empty() || converter == nullptr) return units;
  units.resize(bytes.size() + 1);
  const int64_t count = DecodeAppending(converter, bytes, StringUnits{units}, 0);
  units.resize(static_cast<std::size_t>(std::max<int64_t>(count, 0)));
  return units;
}

Text EncodeCodePage936Directly(std::u16string_view units) {
  Text text;
  UConverter* converter = Converters().CodePage936();
  if (units.empty() || converter == nullptr) return text;
  return EncodeAppending(converter, units, text) ? text : Text();
}

Text TextFromUtf8(std::string_view utf8) {
  utf8 = utf8.substr(0, std::min(utf8.find('\0'), utf8.size()));
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return Text();
  }
  std::u16string units(utf8.size(), u'\0');  // UTF-8 never needs more units than bytes
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return Text();
  units.resize(static_cast<std::size_t>(length));
  return EncodeCodePage936(units);
}

Text TextFromUtf8(std::u8string_view utf8) {
  return TextFromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::string TextToUtf8(const Text& text) {
  const std::u16string units = TextToUtf16(text);
  std::string utf8;
  if (units.empty() ||
      units.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 3)) {
    return utf8;
  }
  utf8.resize(units.size() * 3);  // a BMP unit needs at most three bytes
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &length, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return std::string();
  utf8.resize(static_cast<std::size_t>(length));
  return utf8;
}

std::optional<Text> DecodeCharset(std::string_view bytes, std::string_view charsetName) {
  // ICU reads an empty name as "the default converter"; here it names nothing.
  if (charsetName.empty() || charsetName.find('\0') != std::string_view::npos) return std::nullopt;
  UConverter* source = Converters().Named(std::string(charsetName));
  if (source == nullptr) return std::nullopt;
  UConverter* target = Converters().CodePage936();
  if (target == nullptr) return Text();
  // One pass from the named set straight to code page 936 (ICU pivots through UTF-16 in small
  // pieces, with a direct path from UTF-8), rather than a whole UTF-16 copy of the page first.
  // A character takes at most two bytes in code page 936 and at least one byte in any source
  // set except UTF-16/32, where it takes two; the loop grows the room if a set needs more.
  thread_local std::string scratch;
  std::size_t room = bytes.size() * 2 + 16;
  for (;;) {
    if (scratch.size() < room) scratch.resize(room);
    char* written = scratch.data();
    const char* read = bytes.data();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &written, scratch.data() + room, &read,
                   bytes.data() + bytes.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                   &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      room *= 2;
      continue;
    }
    if (U_FAILURE(error)) return Text();
    // Text stops at the first zero byte, which only a zero character gives in code page 936.
    Text decoded(
        std::string_view(scratch.data(), static_cast<std::size_t>(written - scratch.data())));
    // A page-sized scratch buffer is not kept past a large decoding.
    if (scratch.size() > (std::size_t{4} << 20)) std::string().swap(scratch);
    return decoded;
  }
}

namespace {

// Upper-case forms of the two-byte characters, indexed by unit - 0x8000.
std::array<uint16_t, 0x8000> BuildUpperCaseTable() {
  std::array<uint16_t, 0x8000> table;
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(0x8000 + i);
  UConverter* converter = OpenConverter(kCodePage936, Direction::kReadAndWrite);
  if (converter == nullptr) return table;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned second = 0x40; second <= 0xFE; ++second) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(second)};
      UChar character[2];
      UErrorCode error = U_ZERO_ERROR;
      if (ucnv_toUChars(converter, character, 2, pair, 2, &error) != 1 || U_FAILURE(error)) {
        continue;
      }
      const UChar32 upper = u_toupper(character[0]);
      if (upper == character[0] || upper > 0xFFFF) continue;
      const UChar upperUnit = static_cast<UChar>(upper);
      char encoded[4];
      error = U_ZERO_ERROR;
      const int32_t length =
          ucnv_fromUChars(converter, encoded, sizeof encoded, &upperUnit, 1, &error);
      if (U_FAILURE(error)) continue;
      uint16_t& slot = table[lead * 256 + second - 0x8000];
      if (length == 2) {
        slot = static_cast<uint16_t>(static_cast<unsigned char>(encoded[0]) * 256 +
                                     static_cast<unsigned char>(encoded[1]));
      } else if (length == 1 && encoded[0] != '?') {
        slot = static_cast<unsigned char>(encoded[0]);
      }
    }
  }
  ucnv_close(converter);
  return table;
}

}  // namespace

uint16_t UpperCaseDoubleByte(uint16_t unit) {
  if (unit < 0x8000) return unit;
  static const std::array<uint16_t, 0x8000> table = BuildUpperCaseTable();
  return table[unit - 0x8000];
}

}  // namespace quorvane
