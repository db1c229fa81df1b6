// Code-page conversion over ICU converters.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "code_page_case.h"
#include "quorvane/text/code_page.h"

namespace quorvane {

namespace {

static_assert(sizeof(UChar) == sizeof(char16_t));

// ICU's name for Windows code page 936 (it maps 0x80 to U+20AC as Windows does).
constexpr char kCodePage936[] = "windows-936-2000";

// ICU refuses single calls over about 1 GiB of input, so long inputs go in pieces.
constexpr std::size_t kChunkBytes = std::size_t{1} << 28;
constexpr std::size_t kChunkUnits = std::size_t{1} << 27;

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
  void Resize(std::size_t size) { units.resize(size); }
  UChar* Data() { return units.data(); }
};

struct ByteSetUnits {
  ByteSet& bytes;
  std::size_t Size() const { return static_cast<std::size_t>(bytes.Size()) / 2; }
  void Resize(std::size_t size) { bytes.Resize(static_cast<int64_t>(size * 2)); }
  UChar* Data() { return reinterpret_cast<UChar*>(bytes.MutableData()); }
};

// Decodes all of source into out, starting with room for `capacity` units and
// growing when needed. Returns the number of units, or -1 when ICU fails.
template <typename Units>
int64_t Decode(UConverter* converter, std::string_view source, Units out, std::size_t capacity) {
  ucnv_resetToUnicode(converter);
  out.Resize(std::max<std::size_t>(capacity, 1));
  std::size_t written = 0;
  const char* next = source.data();
  const char* const end = next + source.size();
  for (;;) {
    const char* const chunkEnd = next + std::min<std::size_t>(end - next, kChunkBytes);
    const bool flush = chunkEnd == end;
    UChar* const base = out.Data();
    UChar* target = base + written;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, base + std::min(out.Size(), written + kChunkUnits), &next,
                   chunkEnd, nullptr, flush, &error);
    written = static_cast<std::size_t>(target - base);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      if (written == out.Size()) out.Resize(out.Size() * 2);
      continue;
    }
    if (U_FAILURE(error)) return -1;
    if (flush) return static_cast<int64_t>(written);
  }
}

// Encodes units (holding no zero unit) with converter. The output goes
// through a small buffer and is appended to the text, which was reserved for
// the longest possible result once, so the text is never copied as it grows.
Text Encode(UConverter* converter, std::u16string_view units) {
  if (units.empty() || converter == nullptr) return Text();
  Text text;
  text.Reserve(static_cast<int32_t>(std::min<std::size_t>(
      units.size() * 2, static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))));
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
    if (U_FAILURE(error)) return Text();
    if (flush) return text;
  }
}

std::u16string_view UpToZeroUnit(std::u16string_view units) {
  return units.substr(0, std::min(units.find(u'\0'), units.size()));
}

}  // namespace

ByteSet AnsiToWide(const Text& text) {
  if (text.Empty()) return ByteSet();
  UConverter* converter = Converters().CodePage936();
  if (converter == nullptr) return ByteSet();
  // Code page 936 gives at most one unit per byte; the extra unit is the terminator.
  const std::size_t capacity = static_cast<std::size_t>(text.Length()) + 1;
  ByteSet wide;
  int64_t units;
  if constexpr (std::endian::native == std::endian::little) {
    units = Decode(converter, text.View(), ByteSetUnits{wide}, capacity);
  } else {
    std::u16string decoded;
    units = Decode(converter, text.View(), StringUnits{decoded}, capacity);
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
  std::size_t units = 0;
  while (units < whole && (bytes[2 * units] | bytes[2 * units + 1]) != 0) ++units;
  if (units == 0) return Text();
  if constexpr (std::endian::native == std::endian::little) {
    if (reinterpret_cast<std::uintptr_t>(bytes) % alignof(char16_t) == 0) {
      return Encode(Converters().CodePage936(),
                    std::u16string_view(reinterpret_cast<const char16_t*>(bytes), units));
    }
  }
  std::u16string copy(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    copy[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return Encode(Converters().CodePage936(), copy);
}

std::u16string TextToUtf16(const Text& text) {
  std::u16string units;
  if (text.Empty()) return units;
  UConverter* converter = Converters().CodePage936();
  if (converter == nullptr) return units;
  const int64_t count =
      Decode(converter, text.View(), StringUnits{units}, static_cast<std::size_t>(text.Length()));
  units.resize(static_cast<std::size_t>(std::max<int64_t>(count, 0)));
  return units;
}

Text Utf16ToText(std::u16string_view utf16) {
  return Encode(Converters().CodePage936(), UpToZeroUnit(utf16));
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
  return Encode(Converters().CodePage936(), units);
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
  UConverter* converter = Converters().Named(std::string(charsetName));
  if (converter == nullptr) return std::nullopt;
  std::u16string units;
  const int64_t count = Decode(converter, bytes, StringUnits{units}, bytes.size() + 1);
  if (count <= 0) return Text();
  return Encode(Converters().CodePage936(),
                UpToZeroUnit(std::u16string_view(units.data(), static_cast<std::size_t>(count))));
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
