// The code page 936 conversions read and write most characters through a
// cache and hand the rest to the converter. Here they are held against the
// converter alone: every two-byte sequence, every BMP unit, edge rows, and
// random texts that mix what the cache knows with what only the converter
// decides (0x80, 0xFF, broken and undefined pairs, surrogates, units without
// a code page 936 form).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "code_page_direct.h"
#include "quorvane/text/byte_set.h"
#include "quorvane/text/code_page.h"
#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Hex;

std::string HexUnits(std::u16string_view units) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char16_t unit : units) {
    if (!hex.empty()) hex += ' ';
    for (int shift = 12; shift >= 0; shift -= 4) hex += kDigits[(unit >> shift) & 0xF];
  }
  return hex;
}

std::string LittleEndian(std::u16string_view units) {
  std::string bytes;
  for (const char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string UpToZeroUnit(std::u16string_view units) {
  return std::u16string(units.substr(0, std::min(units.find(u'\0'), units.size())));
}

// TextToUtf16 and AnsiToWide against the converter alone (bytes hold no zero).
testing::AssertionResult ReadsAsConverter(std::string_view bytes) {
  const Text text(bytes);
  const std::u16string expected = DecodeCodePage936Directly(text.View());
  if (expected.empty() != text.Empty()) {
    return testing::AssertionFailure() << "the converter read nothing from " << Hex(bytes);
  }
  const std::u16string units = TextToUtf16(text);
  if (units != expected) {
    return testing::AssertionFailure() << Hex(bytes) << "\n  TextToUtf16: " << HexUnits(units)
                                       << "\n  converter:   " << HexUnits(expected);
  }
  const std::string wide(AnsiToWide(text).View());
  const std::string expectedWide =
      expected.empty() ? std::string() : LittleEndian(expected) + std::string(2, '\0');
  if (wide != expectedWide) {
    return testing::AssertionFailure() << Hex(bytes) << "\n  AnsiToWide: " << Hex(wide)
                                       << "\n  converter:  " << Hex(expectedWide);
  }
  return testing::AssertionSuccess();
}

// Utf16ToText and WideToAnsi (aligned and at an odd address) against the
// converter alone, both stopping at the first zero unit.
testing::AssertionResult WritesAsConverter(std::u16string_view units) {
  const Text expected = EncodeCodePage936Directly(UpToZeroUnit(units));
  const Text text = Utf16ToText(units);
  if (text != expected) {
    return testing::AssertionFailure() << HexUnits(units) << "\n  Utf16ToText: " << Hex(text.View())
                                       << "\n  converter:   " << Hex(expected.View());
  }
  const std::string bytes = LittleEndian(units);
  const Text fromAligned = WideToAnsi(ByteSet(bytes));
  const std::string shifted = "x" + bytes;
  const Text fromOdd =
      WideToAnsi(BytesFromPointer(shifted.data() + 1, static_cast<int32_t>(bytes.size())));
  if (fromAligned != expected || fromOdd != expected) {
    return testing::AssertionFailure()
           << HexUnits(units) << "\n  WideToAnsi: " << Hex(fromAligned.View())
           << "\n  at an odd address: " << Hex(fromOdd.View())
           << "\n  converter:  " << Hex(expected.View());
  }
  return testing::AssertionSuccess();
}

std::string Pair(unsigned lead, unsigned second) {
  return {static_cast<char>(lead), static_cast<char>(second)};
}

// Lead bytes with the bytes that follow them in two-byte characters (and
// 0x7F and 0xFF, which do not), sorted by what the converter makes of them.
struct PairsByOutcome {
  std::vector<std::string> defined;    // read as one unit of their own
  std::vector<std::string> undefined;  // read as U+FFFD (and what follows)
  std::vector<char16_t> definedUnits;  // what the defined ones read as
};

const PairsByOutcome& Pairs() {
  static const PairsByOutcome pairs = [] {
    PairsByOutcome sorted;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned second = 0x40; second <= 0xFF; ++second) {
        const std::string pair = Pair(lead, second);
        const std::u16string units = DecodeCodePage936Directly(pair);
        if (units.size() == 1 && units[0] != 0xFFFD) {
          sorted.defined.push_back(pair);
          sorted.definedUnits.push_back(units[0]);
        } else {
          sorted.undefined.push_back(pair);
        }
      }
    }
    return sorted;
  }();
  return pairs;
}

// BMP units the converter writes as "?" although they are not "?".
const std::vector<char16_t>& UnitsWithoutForm() {
  static const std::vector<char16_t> units = [] {
    std::vector<char16_t> found;
    for (unsigned unit = 0x80; unit <= 0xFFFF; ++unit) {
      if (unit >= 0xD800 && unit <= 0xDFFF) continue;
      const char16_t one = static_cast<char16_t>(unit);
      if (EncodeCodePage936Directly(std::u16string_view(&one, 1)).View() == "?") {
        found.push_back(one);
      }
    }
    return found;
  }();
  return units;
}

TEST(CodePageCacheTest, TheConverterGivesBothKindsOfPairsAndUnits) {
  // Otherwise the random texts below would miss a kind of character.
  EXPECT_GT(Pairs().defined.size(), 21000u);
  EXPECT_FALSE(Pairs().undefined.empty());
  EXPECT_FALSE(UnitsWithoutForm().empty());
}

// ---- every character once ----

TEST(CodePageCacheTest, EveryByteAndTwoByteSequenceReadsAsTheConverterReadsIt) {
  for (unsigned first = 1; first <= 0xFF; ++first) {
    const std::string one(1, static_cast<char>(first));
    ASSERT_TRUE(ReadsAsConverter(one));
    ASSERT_TRUE(ReadsAsConverter("abcdefgh" + one));  // after a run of eight ASCII bytes
    for (unsigned second = 1; second <= 0xFF; ++second) {
      const std::string pair = Pair(first, second);
      ASSERT_TRUE(ReadsAsConverter(pair));
      // Followed by a byte that ends a piece the converter is given, and by a
      // byte that could be a second byte.
      ASSERT_TRUE(ReadsAsConverter(pair + "0" + pair));
      ASSERT_TRUE(ReadsAsConverter("\xD6\xD0" + pair + "A"));
    }
  }
}

TEST(CodePageCacheTest, EveryBmpUnitWritesAsTheConverterWritesIt) {
  std::u16string all;
  for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
    const char16_t one = static_cast<char16_t>(unit);
    all += one;
    ASSERT_TRUE(WritesAsConverter(std::u16string_view(&one, 1)));
    ASSERT_TRUE(WritesAsConverter(std::u16string{u'a', one, u'\x4E2D', one, u'b'}));
    ASSERT_TRUE(WritesAsConverter(std::u16string{u'\xD83D', one, u'\xDE00'}));
  }
  // All at once: long runs on both sides, surrogates paired across the seam.
  ASSERT_TRUE(WritesAsConverter(all));
}

// ---- edges of the cached walk ----

TEST(CodePageCacheTest, EdgesOfTheCachedWalk) {
  const struct {
    const char* name;
    std::string_view bytes;
  } readRows[] = {
      {"eight ASCII bytes then a pair", "abcdefgh\xD6\xD0"},
      {"seven ASCII bytes then a pair", "abcdefg\xD6\xD0"},
      {"lead byte as the ninth byte at the end", "abcdefgh\x81"},
      {"euro sign between pairs", "\xD6\xD0\x80\xD6\xD0"},
      {"0xFF between pairs", "\xD6\xD0\xFF\xD6\xD0"},
      {"0x80 before a byte that could be a second byte", "\x80\x40\x80\xA1"},
      {"broken pair, then pairs without a byte below 0x40", "\x81\x7F\xD6\xD0\xCE\xC4"},
      {"broken pair, space, pairs", "\x81 \xD6\xD0\xCE\xC4 abcdefgh"},
      {"lead byte before 0xFF", "\x81\xFF\xD6\xD0"},
      {"two lead bytes read as one pair", "\x81\x81"},
      {"lead byte before a lead byte and its second", "\x81\x7F\x81\x40"},
      {"many pieces for the converter", "\x80 \x80 \xFF 0\x81\x7F;\x81"},
  };
  for (const auto& row : readRows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(ReadsAsConverter(row.bytes));
  }

  const struct {
    const char* name;
    std::u16string_view units;
  } writeRows[] = {
      {"four ASCII units then a Chinese one", u"abcd中"},
      {"three ASCII units then a Chinese one", u"abc中"},
      {"euro sign among Chinese", u"中\u20AC文"},
      {"U+F8F5 (0xFF) among ASCII", u"abcd\uF8F5efgh"},
      {"high surrogate at the end", u"abcdefgh\xD83D"},
      {"low surrogate after Chinese", u"中\xDE00文"},
      {"pair of surrogates between cached units", u"a\U0001F600b"},
      {"two high surrogates, then a low one", u"\xD83D\xD83D\xDE00x"},
      {"U+FFFD and U+00C0 in a row", u"\uFFFD\u00C0\u00C0abcd"},
      {"question mark itself", u"?\u00C0?"},
      {"stops at a zero unit inside an ASCII block", std::u16string_view(u"ab\0d\u00C0", 5)},
  };
  for (const auto& row : writeRows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(WritesAsConverter(row.units));
  }
}

// Longer than the walk's 16 KiB write buffer, so the buffer fills up in the
// middle of cached two-byte characters, with the converter's runs at the seams.
TEST(CodePageCacheTest, TextsLongerThanTheWriteBuffer) {
  std::u16string units;
  std::string bytes;
  for (int i = 0; i < 30000; ++i) {
    units += i % 1000 == 999 ? u'\xD83D' : (i % 7 == 0 ? u'a' : u'\x4E2D');
    bytes += i % 1000 == 999 ? "\x80" : (i % 7 == 0 ? "a" : "\xD6\xD0");
  }
  EXPECT_TRUE(WritesAsConverter(units));
  EXPECT_TRUE(ReadsAsConverter(bytes));
}

// ---- random texts ----

class RandomCodePageTexts : public testing::Test {
 protected:
  int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }

  // One to a few characters of one kind.
  void AppendBytes(std::string& bytes) {
    const PairsByOutcome& pairs = Pairs();
    const int count = 1 + Pick(4);
    const int kind = Pick(10);
    for (int i = 0; i < count; ++i) {
      switch (kind) {
        case 0:  // ASCII that may end a converter's piece
          bytes += static_cast<char>(1 + Pick(0x3F));
          break;
        case 1:  // ASCII that may be a second byte
        case 2:
          for (int run = Pick(12); run >= 0; --run) bytes += static_cast<char>(0x40 + Pick(0x40));
          break;
        case 3:  // defined pairs
        case 4:
          bytes += pairs.defined[Pick(static_cast<int>(pairs.defined.size()))];
          break;
        case 5:
          bytes += pairs.undefined[Pick(static_cast<int>(pairs.undefined.size()))];
          break;
        case 6:  // a lead byte alone: before whatever follows, or at the end
          bytes += static_cast<char>(0x81 + Pick(0x7E));
          break;
        case 7: {  // a lead byte before a byte that is never a second byte
          static const char kNeverSecond[] = {'\x01', ' ', '0', '?', '\x7F', '\xFF'};
          bytes += static_cast<char>(0x81 + Pick(0x7E));
          bytes += kNeverSecond[Pick(static_cast<int>(std::size(kNeverSecond)))];
          break;
        }
        case 8:
          bytes += '\x80';
          break;
        default:
          bytes += '\xFF';
          break;
      }
    }
  }

  void AppendUnits(std::u16string& units) {
    const int count = 1 + Pick(4);
    const int kind = Pick(11);
    for (int i = 0; i < count; ++i) {
      switch (kind) {
        case 0:  // ASCII
        case 1:
          for (int run = Pick(12); run >= 0; --run) units += static_cast<char16_t>(1 + Pick(0x7F));
          break;
        case 2:  // units of defined pairs
        case 3:
          units += Pairs().definedUnits[Pick(static_cast<int>(Pairs().definedUnits.size()))];
          break;
        case 4:
          units += UnitsWithoutForm()[Pick(static_cast<int>(UnitsWithoutForm().size()))];
          break;
        case 5: {  // anywhere in the BMP outside the surrogates
          const int unit = 0x80 + Pick(0xFF80 - 0x800);
          units += static_cast<char16_t>(unit < 0xD800 ? unit : unit + 0x800);
          break;
        }
        case 6:
          units += static_cast<char16_t>(0xD800 + Pick(0x400));
          break;
        case 7:
          units += static_cast<char16_t>(0xDC00 + Pick(0x400));
          break;
        case 8:  // a whole pair of surrogates
          units += static_cast<char16_t>(0xD800 + Pick(0x400));
          units += static_cast<char16_t>(0xDC00 + Pick(0x400));
          break;
        case 9: {
          static const char16_t kOneByteAndSubstitutes[] = {u'\x20AC', u'\xF8F5', u'\xFFFD',
                                                            u'?',      u'\x80',   u'\xFF'};
          units +=
              kOneByteAndSubstitutes[Pick(static_cast<int>(std::size(kOneByteAndSubstitutes)))];
          break;
        }
        default:
          if (Pick(8) == 0) units += u'\0';  // the conversion stops here
          break;
      }
    }
  }

  std::mt19937 random_{936};
};

TEST_F(RandomCodePageTexts, ShortByteTextsReadAsTheConverterReadsThem) {
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int pieces = 1 + Pick(12); pieces > 0; --pieces) AppendBytes(bytes);
    ASSERT_TRUE(ReadsAsConverter(bytes)) << "round " << round;
  }
}

TEST_F(RandomCodePageTexts, LongByteTextsReadAsTheConverterReadsThem) {
  for (int round = 0; round < 40; ++round) {
    std::string bytes;
    while (bytes.size() < 20000) AppendBytes(bytes);
    ASSERT_TRUE(ReadsAsConverter(bytes)) << "round " << round;
  }
}

TEST_F(RandomCodePageTexts, ShortUnitStringsWriteAsTheConverterWritesThem) {
  for (int round = 0; round < 20000; ++round) {
    std::u16string units;
    for (int pieces = 1 + Pick(12); pieces > 0; --pieces) AppendUnits(units);
    ASSERT_TRUE(WritesAsConverter(units)) << "round " << round;
  }
}

TEST_F(RandomCodePageTexts, LongUnitStringsWriteAsTheConverterWritesThem) {
  for (int round = 0; round < 40; ++round) {
    std::u16string units;
    while (units.size() < 20000) AppendUnits(units);
    std::erase(units, u'\0');  // all of it, not just the part before a zero unit
    ASSERT_TRUE(WritesAsConverter(units)) << "round " << round;
  }
}

}  // namespace
}  // namespace quorvane
