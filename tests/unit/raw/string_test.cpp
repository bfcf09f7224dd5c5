#include "raw/string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace RawLayer {
namespace {

// Bytes of a narrow code, or UTF-16 units packed as bytes for CodeWide.
RawString Units(TextCode code, std::string_view bytes) {
  if (code == CodeWide) return RawString::FromUnits(code, bytes.data(), static_cast<int32_t>(bytes.size() / 2));
  return RawString::FromUnits(code, bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::string Bytes(const RawString& text) { return std::string(text.View()); }

std::string WideBytes(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

const char* CodeName(TextCode code) {
  static const char* const names[] = {"Ansi", "ShiftJis", "Utf8", "Utf7", "Mac", "Utf16Big", "Utf16Little", "Wide", "Binary"};
  return names[code];
}

// --- sharing and copy-on-write ---------------------------------------------

TEST(RawStringSharing, CopiesShareAndAChangeDetaches) {
  const int64_t start = RawString::LiveBodies();
  {
    RawString a = RawString::FromUtf8("shared text");
    RawString b = a;
    RawString c;
    c = b;
    EXPECT_TRUE(a.SharesBodyWith(b));
    EXPECT_TRUE(a.SharesBodyWith(c));
    b.AppendChar('!');
    EXPECT_FALSE(a.SharesBodyWith(b));
    EXPECT_TRUE(a.SharesBodyWith(c));
    EXPECT_EQ(Bytes(a), "shared text");
    EXPECT_EQ(Bytes(b), "shared text!");
    EXPECT_EQ(Bytes(c), "shared text");
    c.Replace({0, 6}, RawString("own"));
    EXPECT_EQ(Bytes(c), "own text");
    EXPECT_EQ(Bytes(a), "shared text");
  }
  EXPECT_EQ(RawString::LiveBodies(), start);
}

TEST(RawStringSharing, LiteralBodiesAreNeverWritten) {
  static const char text[] = "literal";
  RawString a(text);
  EXPECT_EQ(a.StorageKind(), RawString::KindLiteral);
  EXPECT_EQ(a.Data(), text);
  RawString b = a;
  EXPECT_TRUE(b.SharesBodyWith(a));
  b.AppendChar('s');
  a.Replace({0, 1}, RawString("L"));
  EXPECT_EQ(a.StorageKind(), RawString::KindHeap);
  EXPECT_STREQ(text, "literal");
  EXPECT_EQ(Bytes(a), "Literal");
  EXPECT_EQ(Bytes(b), "literals");
}

TEST(RawStringSharing, ViewBodiesAreNeverWrittenAndCopiesOwnTheirText) {
  char buffer[] = "line of a file";
  const int64_t start = RawString::LiveBodies();
  {
    RawString view = RawString::View(CodeUtf8, buffer, 4);
    EXPECT_EQ(view.StorageKind(), RawString::KindView);
    RawString kept = view;
    EXPECT_FALSE(kept.SharesBodyWith(view));
    EXPECT_EQ(kept.StorageKind(), RawString::KindHeap);
    RawString same = view.Convert(CodeUtf8);
    EXPECT_FALSE(same.SharesBodyWith(view));
    view.AppendChar('!');
    std::memcpy(buffer, "LINE", 4);  // the owner reuses its buffer
    EXPECT_EQ(Bytes(kept), "line");
    EXPECT_EQ(Bytes(same), "line");
    EXPECT_EQ(Bytes(view), "line!");
    EXPECT_STREQ(buffer, "LINE of a file");
  }
  EXPECT_EQ(RawString::LiveBodies(), start);
}

TEST(RawStringSharing, AppendingNothingLeavesTheBodyShared) {
  RawString a = RawString::FromUtf8("abc");
  RawString b = a;
  b.Append(RawString());
  b.Append(RawString::Empty());
  b.Append(a, {1, 1});
  b.AppendAll(RawString(), RawString::Empty());
  b.AppendUnits("x", 0);
  b.Replace({1, 1}, RawString());
  EXPECT_TRUE(a.SharesBodyWith(b));
}

TEST(RawStringSharing, ConvertToTheSameCodeShares) {
  RawString a = RawString::FromUtf8("abc");
  RawString b = a.Convert(CodeUtf8);
  EXPECT_TRUE(b.SharesBodyWith(a));
  RawString c = a.Convert(CodeWide);
  EXPECT_FALSE(c.SharesBodyWith(a));
}

TEST(RawStringSharing, MovedFromAndClearedStringsStayUsable) {
  RawString a = RawString::FromUtf8("abc");
  RawString b = std::move(a);
  EXPECT_EQ(Bytes(b), "abc");
  a.AppendChar('x');  // NOLINT(bugprone-use-after-move): moved-from strings are empty and usable
  EXPECT_EQ(Bytes(a), "x");
  RawString wide = RawString::FromUtf8("w").Convert(CodeWide);
  RawString copy = wide;
  wide.Clear();
  EXPECT_EQ(wide.Code(), CodeWide);
  EXPECT_TRUE(wide.IsEmpty());
  EXPECT_EQ(copy.ToUtf8(), "w");
}

TEST(RawStringSharing, CopiesAcrossThreadsReleaseEveryBody) {
  const int64_t start = RawString::LiveBodies();
  {
    const RawString shared = RawString::FromUtf8("shared between threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&shared] {
        for (int i = 0; i < 20000; ++i) {
          RawString copy = shared;
          if (i % 7 == 0) copy.AppendChar('x');
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(Bytes(shared), "shared between threads");
  }
  EXPECT_EQ(RawString::LiveBodies(), start);
}

// --- growth ------------------------------------------------------------------

TEST(RawStringGrowth, CapacityFollowsTheGrowthRule) {
  // The buffer moves only when the length passes the capacity: 20 + 2n below 200
  // units, 100 + 2n from there on.
  RawString text;
  std::vector<int32_t> moves;
  const char* last = nullptr;
  for (int32_t n = 1; n <= 1000; ++n) {
    text.AppendChar('a');
    if (text.Data() != last) moves.push_back(n);
    last = text.Data();
  }
  EXPECT_EQ(moves, (std::vector<int32_t>{1, 23, 67, 155, 331, 763}));
}

TEST(RawStringGrowth, ReserveKeepsTheTextAndMakesRoom) {
  RawString text("abc");
  text.Reserve(100);
  EXPECT_EQ(text.StorageKind(), RawString::KindHeap);
  const char* data = text.Data();
  for (int i = 0; i < 97; ++i) text.AppendChar('x');
  EXPECT_EQ(text.Data(), data);
  EXPECT_EQ(text.Length(), 100);
  EXPECT_EQ(Bytes(text).substr(0, 4), "abcx");
  EXPECT_EQ(text.Data()[100], '\0');
}

// --- conversion --------------------------------------------------------------

struct Encoded {
  const char* label;
  std::vector<std::pair<TextCode, std::string>> forms;  // the codes that can hold the text
};

std::vector<Encoded> EncodedTexts() {
  return {
      {"ascii",
       {{CodeAnsi, "Ab1 ./"},
        {CodeShiftJis, "Ab1 ./"},
        {CodeUtf8, "Ab1 ./"},
        {CodeUtf7, "Ab1 ./"},
        {CodeMac, "Ab1 ./"},
        {CodeUtf16Big, std::string("\0A\0b\0001\0 \0.\0/", 12)},
        {CodeUtf16Little, std::string("A\0b\0001\0 \0.\0/\0", 12)},
        {CodeWide, WideBytes(u"Ab1 ./")},
        {CodeBinary, "Ab1 ./"}}},
      {"latin",
       {{CodeAnsi, "A\xE9\x80\x8A"},
        {CodeUtf8, "A\xC3\xA9\xE2\x82\xAC\xC5\xA0"},
        {CodeUtf16Big, std::string("\0A\0\xE9\x20\xAC\x01\x60", 8)},
        {CodeUtf16Little, std::string("A\0\xE9\0\xAC\x20\x60\x01", 8)},
        {CodeWide, WideBytes(u"A\u00E9\u20AC\u0160")}}},
      {"mac",
       {{CodeMac, "\x8E\x9F\xA7"},
        {CodeAnsi, "\xE9\xFC\xDF"},
        {CodeUtf8, "\xC3\xA9\xC3\xBC\xC3\x9F"},
        {CodeWide, WideBytes(u"\u00E9\u00FC\u00DF")}}},
      {"japanese",
       {{CodeShiftJis, "\x95\x5C\x8E\xA6\xB1"},
        {CodeUtf8, "\xE8\xA1\xA8\xE7\xA4\xBA\xEF\xBD\xB1"},
        {CodeUtf16Big, std::string("\x88\x68\x79\x3A\xFF\x71", 6)},
        {CodeUtf16Little, std::string("\x68\x88\x3A\x79\x71\xFF", 6)},
        {CodeWide, WideBytes(u"\u8868\u793A\uFF71")}}},
      {"smiley",
       {{CodeUtf8, "A\xE2\x98\xBA"},
        {CodeUtf7, "A+Jjo-"},
        {CodeUtf16Big, std::string("\0A\x26\x3A", 4)},
        {CodeWide, WideBytes(u"A\u263A")}}},
      {"surrogate pair",
       {{CodeUtf8, "\xF0\x9F\x98\x80x"},
        {CodeUtf16Big, std::string("\xD8\x3D\xDE\x00\0x", 6)},
        {CodeUtf16Little, std::string("\x3D\xD8\x00\xDE" "x\0", 6)},
        {CodeWide, WideBytes(u"\U0001F600x")}}},
  };
}

TEST(RawStringConvert, EveryPairOfCodesGivesTheExpectedUnits) {
  for (const Encoded& text : EncodedTexts()) {
    for (const auto& [from, fromBytes] : text.forms) {
      for (const auto& [to, toBytes] : text.forms) {
        SCOPED_TRACE(std::string(text.label) + ": " + CodeName(from) + " -> " + CodeName(to));
        const RawString source = Units(from, fromBytes);
        const RawString converted = source.Convert(to);
        EXPECT_EQ(converted.Code(), to);
        EXPECT_EQ(Bytes(converted), toBytes);
        RawString exact;
        ASSERT_TRUE(source.ConvertExact(to, exact));
        EXPECT_EQ(Bytes(exact), toBytes);
        EXPECT_EQ(converted.Data()[Bytes(converted).size()], '\0');
      }
    }
  }
}

TEST(RawStringConvert, Utf7AndBothUtf16OrdersRoundTripEveryText) {
  for (const Encoded& text : EncodedTexts()) {
    for (const auto& [code, bytes] : text.forms) {
      if (code != CodeUtf8) continue;
      const RawString source = Units(CodeUtf8, bytes);
      for (TextCode via : {CodeUtf7, CodeUtf16Big, CodeUtf16Little, CodeWide}) {
        SCOPED_TRACE(std::string(text.label) + " via " + CodeName(via));
        RawString middle;
        ASSERT_TRUE(source.ConvertExact(via, middle));
        RawString back;
        ASSERT_TRUE(middle.ConvertExact(CodeUtf8, back));
        EXPECT_EQ(Bytes(back), bytes);
      }
    }
  }
}

TEST(RawStringConvert, ExactRefusesWhatTheTargetCannotHold) {
  for (const Encoded& text : EncodedTexts()) {
    const auto utf8 = std::find_if(text.forms.begin(), text.forms.end(), [](auto& f) { return f.first == CodeUtf8; });
    ASSERT_NE(utf8, text.forms.end());
    const RawString source = Units(CodeUtf8, utf8->second);
    for (TextCode to : {CodeAnsi, CodeShiftJis, CodeMac}) {
      const bool holds = std::any_of(text.forms.begin(), text.forms.end(), [to](auto& f) { return f.first == to; });
      if (holds) continue;
      SCOPED_TRACE(std::string(text.label) + " -> " + CodeName(to));
      RawString out = RawString::FromUtf8("stale");
      EXPECT_FALSE(source.ConvertExact(to, out));
      EXPECT_TRUE(out.IsEmpty());
      EXPECT_EQ(out.Code(), to);
    }
  }
}

struct BadInput {
  const char* label;
  TextCode from;
  std::string bytes;
  TextCode to;
};

TEST(RawStringConvert, ExactRefusesInvalidInput) {
  const BadInput rows[] = {
      {"overlong nul", CodeUtf8, "a\xC0\x80", CodeWide},
      {"byte FF", CodeUtf8, "\xFF", CodeWide},
      {"encoded surrogate", CodeUtf8, "\xED\xA0\x80", CodeWide},
      {"cut UTF-8 sequence", CodeUtf8, "a\xE8\xA1", CodeWide},
      {"stray continuation", CodeUtf8, "\x80" "a", CodeShiftJis},
      {"Shift_JIS lead without trail", CodeShiftJis, "a\x95", CodeUtf8},
      {"Shift_JIS bad trail", CodeShiftJis, "\x81\x20", CodeWide},
      {"lone high surrogate", CodeWide, WideBytes(u"a\xD800" "b"), CodeUtf8},
      {"lone low surrogate", CodeWide, WideBytes(u"\xDC00"), CodeUtf8},
      {"lone surrogate to UTF-7", CodeWide, WideBytes(u"\xD800"), CodeUtf7},
      {"lone surrogate in UTF-16 bytes", CodeUtf16Big, std::string("\xD8\x00\0a", 4), CodeUtf8},
      {"odd UTF-16 length", CodeUtf16Little, std::string("A\0B", 3), CodeWide},
      {"invalid UTF-8 staying UTF-8", CodeUtf8, "A=\xC3\x28\xFF", CodeUtf8},
      {"invalid Shift_JIS staying Shift_JIS", CodeShiftJis, "\x81\x20", CodeShiftJis},
      {"odd UTF-16 staying UTF-16", CodeUtf16Big, std::string("\0a\0", 3), CodeUtf16Big},
      {"best fit to ANSI", CodeUtf8, "\xC4\x80", CodeAnsi},
      {"smiley to Shift_JIS", CodeUtf8, "\xE2\x98\xBA", CodeShiftJis},
  };
  for (const BadInput& row : rows) {
    SCOPED_TRACE(row.label);
    RawString out;
    EXPECT_FALSE(Units(row.from, row.bytes).ConvertExact(row.to, out));
    EXPECT_TRUE(out.IsEmpty());
  }
}

TEST(RawStringConvert, UnconvertedUtf8IsCheckedLikeTheSystemDecoderChecksIt) {
  const std::string rows[] = {
      "plain",          "\xC3\xA9",         "\xC2\x80",         "\xC1\xBF",         "\xE0\xA0\x80",
      "\xE0\x9F\xBF",     "\xED\x9F\xBF",     "\xED\xA0\x80",     "\xEF\xBF\xBF",     "\xF0\x90\x80\x80",
      "\xF0\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE8\xA1",
      "\xE8\xA1" "a",    "\x80",             "\xFE",             "a\xC3\x28",
  };
  for (const std::string& bytes : rows) {
    SCOPED_TRACE(bytes);
    const RawString text = RawString::FromUtf8(bytes);
    RawString wide;
    RawString same;
    const bool decodes = text.ConvertExact(CodeWide, wide);
    EXPECT_EQ(text.ConvertExact(CodeUtf8, same), decodes);
    if (decodes) {
      EXPECT_TRUE(same.SharesBodyWith(text));
    }
    RawString appended;
    EXPECT_EQ(ConvertUnits(CodeUtf8, bytes.data(), static_cast<int32_t>(bytes.size()), CodeUtf8, appended, true),
              decodes);
  }
}

TEST(RawStringConvert, NonExactReplacesWhatItCannotConvert) {
  EXPECT_EQ(Bytes(RawString::FromUtf8("a\xE2\x98\xBA" "b").Convert(CodeShiftJis)), "a?b");
  // As from the system: one '?' for each UTF-16 unit of a character.
  EXPECT_EQ(Bytes(RawString::FromUtf8("a\xF0\x9F\x98\x80" "b").Convert(CodeMac)), "a??b");
  EXPECT_EQ(Bytes(RawString::FromUtf8("\xF0\x9F\x98\x80").Convert(CodeAnsi)), "??");
  const std::u16string wide = RawString::FromUtf8("a\xFF" "b").ToWide();
  EXPECT_EQ(wide, u"a\uFFFDb");
  EXPECT_EQ(Units(CodeUtf16Little, std::string("A\0B", 3)).ToWide(), u"A\uFFFD");
}

TEST(RawStringConvert, RangedConstructorConvertsOnlyTheRange) {
  const RawString source = Units(CodeShiftJis, "ab\x95\x5C" "cd");
  const RawString part(CodeUtf8, source, {2, 5});
  EXPECT_EQ(Bytes(part), "\xE8\xA1\xA8" "c");
  const RawString same(CodeShiftJis, source, {-5, 2});
  EXPECT_EQ(Bytes(same), "ab");
  EXPECT_EQ(same.StorageKind(), RawString::KindHeap);
}

TEST(RawStringConvert, AppendConvertsToTheCodeOfTheTarget) {
  RawString wide = RawString::FromUtf8("x").Convert(CodeWide);
  wide.Append(Units(CodeShiftJis, "\x95\x5C"));
  wide.Append(RawString("!"));
  wide.AppendInteger(-12);
  wide.AppendBool(true);
  EXPECT_EQ(wide.ToWide(), u"x\u8868!-12True");
  RawString big = Units(CodeUtf16Big, "");
  big.SetCode(CodeUtf16Big);
  big.AppendNumber(255, 16);
  EXPECT_EQ(Bytes(big), std::string("\0" "0\0x\0F\0F", 8));
}

TEST(RawStringConvert, NarrowEntryRows) {
  struct Row {
    TextCode code;
    std::string bytes;
    bool narrow;
  } rows[] = {
      {CodeUtf8, "", true},
      {CodeWide, "", true},
      {CodeUtf8, "C:\\plain\\path.txt", true},
      {CodeUtf8, "caf\xC3\xA9", false},
      {CodeUtf8, "del\x7F", false},
      {CodeAnsi, "caf\xE9", true},
      {CodeShiftJis, "\x95\x5C", true},
      {CodeWide, WideBytes(u"abc"), false},
      {CodeUtf7, "abc", false},
      {CodeUtf16Little, std::string("a\0", 2), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(CodeName(row.code) + (" '" + row.bytes + "'"));
    EXPECT_EQ(FitsNarrowEntry(Units(row.code, row.bytes)), row.narrow);
  }
}

// --- code detection and character stepping -----------------------------------

TEST(RawStringCodes, DetectCodeRows) {
  struct Row {
    const char* label;
    std::string bytes;
    TextCode expected;
  } rows[] = {
      {"empty", "", CodeShiftJis},
      {"plain ASCII", "abc", CodeShiftJis},
      {"UTF-8 half-width katakana", "\xEF\xBD\xB1\xEF\xBD\xB2", CodeUtf8},
      {"UTF-8 accented letter", "caf\xC3\xA9", CodeUtf8},
      {"UTF-8 kanji", "\xE8\xA1\xA8", CodeUtf8},
      {"UTF-8 four-byte form", "\xF0\x9F\x98\x80", CodeUtf8},
      {"overlong C0 80", "\xC0\x80", CodeShiftJis},
      {"Shift_JIS kanji", "\x95\x5C\x8E\xA6", CodeShiftJis},
      {"Shift_JIS half-width katakana", "\xB1\xB2", CodeShiftJis},
      {"cut UTF-8 at the end is not rejected", "ab\xE8\xA1", CodeShiftJis},
      {"valid in both without katakana", "\xE3\x81\x82", CodeShiftJis},
      {"Shift_JIS extension rows FA-FC", "\xFA\x40\xFB\xFC\xFC\x4B", CodeShiftJis},
      {"Shift_JIS extension row after katakana", "\xC3\xA9\xFA\x40", CodeShiftJis},
      {"UTF-8 five-byte form", "\xFA\x80\x80\x80\x80", CodeUtf8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(DetectCode(row.bytes.data(), static_cast<int32_t>(row.bytes.size())), row.expected);
  }
}

TEST(RawStringCodes, CharExtraRows) {
  struct Row {
    TextCode code;
    std::string bytes;
    int32_t position;
    int32_t extra;
  } rows[] = {
      {CodeShiftJis, "\x95\x5C", 0, 1},
      {CodeShiftJis, "\x95\x5C", 1, 0},
      {CodeShiftJis, "\xE0\x40", 0, 1},
      {CodeShiftJis, "\xB1", 0, 0},
      {CodeShiftJis, "\x95", 0, 0},  // a lead byte at the end claims nothing beyond it
      {CodeUtf8, "a", 0, 0},
      {CodeUtf8, "\xC1\x81", 0, 0},
      {CodeUtf8, "\xC3\xA9", 0, 1},
      {CodeUtf8, "\xE8\xA1\xA8", 0, 2},
      {CodeUtf8, "\xF0\x9F\x98\x80", 0, 3},
      {CodeUtf8, "\xF8\x80\x80\x80\x80", 0, 4},
      {CodeUtf8, "\xFC\x80\x80\x80\x80\x80", 0, 5},
      {CodeUtf8, "\xFE", 0, 0},
      {CodeUtf16Big, std::string("\0a", 2), 0, 1},
      {CodeUtf16Big, std::string("\0a", 2), 1, 0},
      {CodeUtf16Big, std::string("\xD8\x3D\xDE\x00", 4), 0, 3},
      {CodeUtf16Little, std::string("\x3D\xD8\x00\xDE", 4), 0, 3},
      {CodeWide, WideBytes(u"\U0001F600"), 0, 1},
      {CodeWide, WideBytes(u"\U0001F600"), 1, 0},
      {CodeAnsi, "\x95\x5C", 0, 0},
      {CodeUtf8, "a", 5, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(CodeName(row.code)) + " at " + std::to_string(row.position));
    EXPECT_EQ(Units(row.code, row.bytes).CharExtra(row.position), row.extra);
  }
}

// 0x95 0x5C is one Shift_JIS character whose trail byte is the code of '\'.
TEST(RawStringCodes, ShiftJisTrailByteIsNotABackslash) {
  const RawString name = Units(CodeShiftJis, "C:\\\x95\x5C.txt");
  EXPECT_EQ(name.Find('\\', {3, kWhole.end}), name.Length());
  EXPECT_EQ(name.FindLast('\\'), 2);
  EXPECT_EQ(name.FindLastSeparator(), 2);
  EXPECT_EQ(name.FindExtension(), 5);
  const RawString folder = Units(CodeShiftJis, "dir\\\x95\x5C");
  EXPECT_EQ(folder.FindLastSeparator(), 3);
  EXPECT_EQ(folder.FindExtension(), folder.Length());
  const RawRange trimmed = folder.Trim(kWhole, "\\");
  EXPECT_EQ(trimmed.begin, 0);
  EXPECT_EQ(trimmed.end, folder.Length());
  EXPECT_EQ(Bytes(folder.Escape()), "dir\\\\\x95\x5C");
  EXPECT_EQ(Bytes(Units(CodeShiftJis, "\x95\x5Cn").Unescape()), "\x95\x5Cn");
  EXPECT_EQ(Units(CodeShiftJis, "\x95\x5C" "\x5C").FindText(Units(CodeShiftJis, "\\")), 2);
}

// An ASCII unit is found byte for byte up to the first byte that may start a longer
// character; from there the search walks whole characters as before.
TEST(RawStringCodes, FindWalksCharactersFromTheFirstHighByte) {
  struct Row {
    TextCode code;
    const char* bytes;
    int32_t expected;
  } rows[] = {
      {CodeUtf8, "key=value", 3},
      {CodeUtf8, "\xC3\xA9=x", 2},
      {CodeUtf8, "\xE0=ab=", 4},  // a broken three-byte form claims the "=" after its lead
      {CodeShiftJis, "\x95=\x95\x5C=", 4},
      {CodeAnsi, "\xE9\x95=", 2},  // ANSI bytes are characters of their own
      {CodeBinary, "\xFF\x80=", 2},
      {CodeUtf8, "no equal sign", 13},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    EXPECT_EQ(Units(row.code, row.bytes).Find('='), row.expected);
  }
}

TEST(RawStringCodes, Utf16SearchesCompareWholeUnits) {
  // U+5C2E in little-endian bytes starts with 0x2E ('.') and U+2E5C with 0x5C.
  const RawString text = Units(CodeUtf16Little, std::string("\x2E\x5C\x5C\x2E" "a\0", 6));
  EXPECT_EQ(text.Find('.'), text.Length());
  EXPECT_EQ(text.FindLastSeparator(), text.Length());
  EXPECT_EQ(text.Find('a'), 4);
  const RawString path = Units(CodeUtf16Big, std::string("\0a\0\\\0b\0.\0c", 10));
  EXPECT_EQ(path.FindLastSeparator(), 2);
  EXPECT_EQ(path.FindExtension(), 6);
}

// --- searches, replacing, trimming -------------------------------------------

TEST(RawStringSearch, FindRows) {
  const RawString text = RawString::FromUtf8("a/b.c/d.tar.gz");
  struct Row {
    const char* label;
    int32_t got;
    int32_t expected;
  } rows[] = {
      {"find", text.Find('/'), 1},
      {"find in range", text.Find('/', {2, 20}), 5},
      {"find absent gives range end", text.Find('/', {6, 9}), 9},
      {"find with begin below zero", text.Find('a', {-3, 4}), 0},
      {"find last", text.FindLast('.'), 11},
      {"find last absent", text.FindLast('x', {0, 5}), 5},
      {"last separator", text.FindLastSeparator(), 5},
      {"last separator in range", text.FindLastSeparator({0, 4}), 1},
      {"extension", text.FindExtension(), 11},
      {"extension before separator only", RawString("a.b/c").FindExtension(), 5},
      {"backslash separator", RawString("x\\y/z\\w").FindLastSeparator(), 5},
      {"find text", text.FindText(RawString("tar")), 8},
      {"find text in range", text.FindText(RawString("."), {4, 20}), 7},
      {"find text absent", text.FindText(RawString("zip")), 14},
      {"find text not past range end", text.FindText(RawString("tar"), {0, 10}), 10},
      {"find part of other text", text.FindText(RawString("xx.gz"), kWhole, {2, 5}), 11},
      {"find empty text", text.FindText(RawString(), {3, 9}), 3},
      {"find text of another code", text.FindText(RawString("d.t").Convert(CodeWide)), 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.got, row.expected);
  }
}

TEST(RawStringSearch, ReplaceRows) {
  struct Row {
    const char* text;
    RawRange range;
    const char* other;
    RawRange otherRange;
    const char* expected;
  } rows[] = {
      {"hello world", {0, 5}, "goodbye", kWhole, "goodbye world"},
      {"hello world", {6, 100}, "there", kWhole, "hello there"},
      {"hello world", {5, 5}, ",", kWhole, "hello, world"},
      {"hello world", {0, 6}, "", kWhole, "world"},
      {"hello world", {-4, 2}, "xyz", {1, 2}, "yllo world"},
      {"abc", {3, 3}, "def", kWhole, "abcdef"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    RawString text = RawString::FromUtf8(row.text);
    text.Replace(row.range, RawString::FromUtf8(row.other), row.otherRange);
    EXPECT_EQ(Bytes(text), row.expected);
  }
}

TEST(RawStringSearch, TrimRows) {
  struct Row {
    std::string text;
    const char* set;
    RawRange range;
    int32_t begin;
    int32_t end;
  } rows[] = {
      {"  key = value \t", kBlanks, kWhole, 2, 13},
      {"\r\n text\r\n", kWhiteSpace, kWhole, 3, 7},
      {"\r\n text\r\n", kBlanks, kWhole, 0, 9},
      {"   ", kBlanks, kWhole, 3, 3},
      {"", kBlanks, kWhole, 0, 0},
      {"a = b", kBlanks, {1, 4}, 2, 3},
      {"a = b", kBlanks, {3, 100}, 4, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("'" + row.text + "'");
    const RawRange range = RawString::FromUtf8(row.text).Trim(row.range, row.set);
    EXPECT_EQ(range.begin, row.begin);
    EXPECT_EQ(range.end, row.end);
  }
  const RawString wide = RawString::FromUtf8(" \tx y\t ").Convert(CodeWide);
  const RawRange range = wide.Trim(kWhole, kBlanks);
  EXPECT_EQ(wide.Sub(range).ToUtf8(), "x y");
}

// --- comparison --------------------------------------------------------------

TEST(RawStringCompare, EqualityRows) {
  const RawString abc = RawString::FromUtf8("abcABC");
  struct Row {
    const char* label;
    bool got;
    bool expected;
  } rows[] = {
      {"equal ranges", abc.Equal({0, 3}, RawString("xabc"), {1, 4}), true},
      {"different lengths", abc.Equal({0, 3}, RawString("ab")), false},
      {"two empty ranges", abc.Equal({2, 2}, RawString()), true},
      {"case differs", abc.Equal({0, 3}, RawString("ABC")), false},
      {"no case", abc.EqualNoCase({0, 3}, RawString("ABC")), true},
      {"no case other range", abc.EqualNoCase({3, 6}, RawString("abc")), true},
      {"no case folds only ASCII", RawString("\xC3\xA9").EqualNoCase(kWhole, RawString("\xC3\x89")), false},
      {"no case letters only", RawString("[").EqualNoCase(kWhole, RawString("{")), false},
      {"no case high bytes that differ by 0x20", RawString("\xC0").EqualNoCase(kWhole, RawString("\xE0")), false},
      {"no case wide against narrow", RawString("aBc").Convert(CodeWide).EqualNoCase(kWhole, RawString("AbC")), true},
      {"wide against narrow", RawString("abc").Convert(CodeWide).Equal(kWhole, RawString("abc")), true},
      {"operator ==", RawString("abc") == RawString::FromUtf8("abc"), true},
      {"starts with", abc.StartsWith(RawString("abc")), true},
      {"ends with", abc.EndsWith(RawString("BC")), true},
      {"longer prefix", RawString("ab").StartsWith(RawString("abc")), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.got, row.expected);
  }
}

TEST(RawStringCompare, CompareUnitsRows) {
  struct Row {
    std::string a;
    std::string b;
    int expected;
  } rows[] = {
      {"abc", "abc", 0}, {"abc", "abd", -1}, {"abd", "abc", 1}, {"ab", "abc", -1}, {"abc", "ab", 1},
      {"", "", 0},       {"", "a", -1},      {"B", "a", -1},      {"\xC3\xA9", "z", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.a + " vs " + row.b);
    EXPECT_EQ(RawString::FromUtf8(row.a).CompareUnits(RawString::FromUtf8(row.b)), row.expected);
    EXPECT_EQ(RawString::FromUtf8(row.a).Convert(CodeWide).CompareUnits(RawString::FromUtf8(row.b).Convert(CodeWide)),
              row.expected);
  }
  // Wide units compare as 16-bit values, above every byte value.
  EXPECT_EQ(RawString("\xEF\xBD\xB1").Convert(CodeWide).CompareUnits(RawString("\xC3\xBF").Convert(CodeWide)), 1);
}

// --- numbers -----------------------------------------------------------------

TEST(RawStringNumbers, ParseIntegerRows) {
  struct Row {
    const char* text;
    bool ok;
    int64_t value;
  } rows[] = {
      {"0", true, 0},
      {"42", true, 42},
      {"-42", true, -42},
      {"+7", true, 7},
      {"0x1F", true, 31},
      {"0x1f", true, 31},
      {"-0x10", true, -16},
      {"0b101", true, 5},
      {"007", true, 7},
      {"09", true, 9},
      {"12a", false, 0},
      {"-", false, 0},
      {"+", false, 0},
      {"", false, 0},
      {"0x", false, 0},
      {"0b2", false, 0},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"0X1F", false, 0},
      {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    int64_t value = 0;
    ASSERT_EQ(RawString::FromUtf8(row.text).ParseInteger(kWhole, value), row.ok);
    if (row.ok) {
      EXPECT_EQ(value, row.value);
    }
  }
  uint64_t magnitude = 0;
  bool negative = false;
  ASSERT_TRUE(RawString("x=-12;").ParseInteger({2, 5}, magnitude, negative));
  EXPECT_EQ(magnitude, 12u);
  EXPECT_TRUE(negative);
  int64_t wide = 0;
  ASSERT_TRUE(RawString("0x7fff").Convert(CodeWide).ParseInteger(kWhole, wide));
  EXPECT_EQ(wide, 0x7FFF);
}

TEST(RawStringNumbers, FormattingRows) {
  struct Row {
    const char* label;
    void (*append)(RawString&);
    const char* expected;
  } rows[] = {
      {"integer", [](RawString& s) { s.AppendInteger(1234); }, "1234"},
      {"negative integer", [](RawString& s) { s.AppendInteger(-5); }, "-5"},
      {"zero", [](RawString& s) { s.AppendInteger(0); }, "0"},
      {"most negative", [](RawString& s) { s.AppendInteger(INT64_MIN); }, "-9223372036854775808"},
      {"hex", [](RawString& s) { s.AppendNumber(255, 16); }, "0xFF"},
      {"binary", [](RawString& s) { s.AppendNumber(5, 2); }, "0b101"},
      {"octal has no prefix", [](RawString& s) { s.AppendNumber(8, 8); }, "10"},
      {"base 36", [](RawString& s) { s.AppendNumber(35, 36); }, "Z"},
      {"digits past the table", [](RawString& s) { s.AppendNumber(37, 40); }, "?"},
      {"base below two is decimal", [](RawString& s) { s.AppendNumber(12, 1); }, "12"},
      {"largest", [](RawString& s) { s.AppendNumber(UINT64_MAX, 10); }, "18446744073709551615"},
      {"width pads", [](RawString& s) { s.AppendNumberWidth(5, 10, 3); }, "005"},
      {"width drops high digits", [](RawString& s) { s.AppendNumberWidth(12345, 10, 2); }, "45"},
      {"width in hex has no prefix", [](RawString& s) { s.AppendNumberWidth(255, 16, 4); }, "00FF"},
      {"width zero", [](RawString& s) { s.AppendNumberWidth(5, 10, 0); }, ""},
      {"true", [](RawString& s) { s.AppendBool(true); }, "True"},
      {"false", [](RawString& s) { s.AppendBool(false); }, "False"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawString text("n=");
    row.append(text);
    EXPECT_EQ(Bytes(text), std::string("n=") + row.expected);
  }
}

// --- escaping ----------------------------------------------------------------

TEST(RawStringEscape, EscapeAndUnescapeRows) {
  struct Row {
    std::string text;
    std::string escaped;
  } rows[] = {
      {"plain", "plain"},
      {"one\r\ntwo", "one\\ntwo"},
      {"one\rtwo\nthree", "one\\ntwo\\nthree"},
      {"\n\r", "\\n\\n"},
      {"a\tb", "a\\tb"},
      {"C:\\dir\\new", "C:\\\\dir\\\\new"},
      {"ends with \\", "ends with \\\\"},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const RawString escaped = RawString::FromUtf8(row.text).Escape();
    EXPECT_EQ(Bytes(escaped), row.escaped);
    std::string back = row.text;
    // A lone CR comes back as CR LF: one-line storage keeps line breaks, not their kind.
    for (size_t i = 0; i < back.size(); ++i) {
      if (back[i] == '\r' && (i + 1 == back.size() || back[i + 1] != '\n')) back.insert(i + 1, "\n");
      if (back[i] == '\n' && (i == 0 || back[i - 1] != '\r')) back.insert(i++, "\r");
    }
    EXPECT_EQ(Bytes(escaped.Unescape()), back);
  }
}

TEST(RawStringEscape, UnescapeRows) {
  struct Row {
    std::string stored;
    std::string text;
  } rows[] = {
      {"a\\nb", "a\r\nb"}, {"a\\tb", "a\tb"},   {"a\\sb", "a b"},     {"a\\qb", "aqb"},
      {"a\\\\b", "a\\b"},  {"a\\", "a\\"},      {"\\", "\\"},         {"\\\\n", "\\n"},
      {"no escapes", "no escapes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    EXPECT_EQ(Bytes(RawString::FromUtf8(row.stored).Unescape()), row.text);
  }
  EXPECT_EQ(RawString("a\\nb").Convert(CodeWide).Unescape().ToUtf8(), "a\r\nb");
}

// --- faults that bit us ------------------------------------------------------

TEST(RawStringFaults, AppendingAStringToItselfDoublesIt) {
  RawString text = RawString::FromUtf8("abc");
  text.Append(text);
  EXPECT_EQ(Bytes(text), "abcabc");
  for (int i = 0; i < 6; ++i) text.Append(text, {0, 3});
  EXPECT_EQ(text.Length(), 24);
  text.Replace({0, 3}, text, {3, 9});
  EXPECT_EQ(Bytes(text).substr(0, 9), "abcabcabc");
  EXPECT_EQ(text.Length(), 27);
}

TEST(RawStringFaults, EscapedBackslashesSurviveTheRoundTrip) {
  // Copying a backslash unchanged made "C:\new" come back with a line break.
  const RawString path = RawString::FromUtf8("C:\\new\\table");
  EXPECT_EQ(path.Escape().Unescape(), path);
}

TEST(RawStringFaults, SetCodeBetweenUnitSizesKeepsTheBytes) {
  RawString bytes = Units(CodeBinary, std::string("h\0i\0", 4));
  bytes.SetCode(CodeWide);
  EXPECT_EQ(bytes.Length(), 2);
  EXPECT_EQ(bytes.ToUtf8(), "hi");
}

TEST(RawStringFaults, TruncateAndAppendRawKeepTheTerminator) {
  RawString text("literal text");
  text.Truncate(7);
  EXPECT_EQ(Bytes(text), "literal");
  EXPECT_EQ(text.Data()[7], '\0');
  char* room = text.AppendRaw(3);
  std::memcpy(room, "!!?", 3);
  text.Truncate(9);
  EXPECT_STREQ(text.Data(), "literal!!");
}

}  // namespace
}  // namespace RawLayer
