#include "raw/line_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "raw/file.h"
#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

// UTF-8 to UTF-16 units, by hand, so the tables do not lean on the code under test.
std::u16string Utf16Of(const std::string& utf8) {
  std::u16string units;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c, extra = 0;
    } else if (c < 0xE0) {
      cp = c & 0x1F, extra = 1;
    } else if (c < 0xF0) {
      cp = c & 0x0F, extra = 2;
    } else {
      cp = c & 0x07, extra = 3;
    }
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  return units;
}

std::string Utf16Bytes(const std::string& utf8, bool bigEndian) {
  std::string out;
  for (char16_t u : Utf16Of(utf8)) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

// The byte form of UTF-8 text in a file code.
std::string Encode(TextCode code, const std::string& utf8) {
  switch (code) {
    case CodeUtf8:
      return utf8;
    case CodeUtf16Big:
      return Utf16Bytes(utf8, true);
    case CodeUtf16Little:
      return Utf16Bytes(utf8, false);
    default: {
      RawString out;
      EXPECT_TRUE(RawString::FromUtf8(utf8).ConvertExact(code, out)) << utf8;
      return std::string(out.View());
    }
  }
}

std::string MarkBytes(TextCode code) {
  switch (code) {
    case CodeUtf8:
      return "\xEF\xBB\xBF";
    case CodeUtf16Big:
      return "\xFE\xFF";
    case CodeUtf16Little:
      return "\xFF\xFE";
    default:
      return "";
  }
}

// Flags that give the decoder bits explicitly.
constexpr uint16_t Decoder(uint16_t bits) { return RawLineFileInfo::FlagDecoderBits | bits; }

class LineFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::path(KESTREL_TEST_TMP_DIR) / "line_file" / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    RawFileFaults::Reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path File(const char* name) const { return dir_ / name; }

  fs::path dir_;
};

struct ReadResult {
  std::vector<std::string> lines;  // in UTF-8 (converted from the delivered code)
  std::vector<int64_t> offsets;
  std::vector<int32_t> numbers;
  RawLineFileInfo::State state = RawLineFileInfo::StateClosed;
  bool clean = false;
  bool codeKnown = false;
  TextCode fileCode = CodeAnsi;
  bool hadMark = false;
};

struct ReadSettings {
  int32_t bufferSize = RawLineFileInfo::kDefaultBufferSize;
  TextCode textCode = CodeUtf8;
  bool giveFileCode = false;
  TextCode fileCode = CodeAnsi;
  uint16_t flags = 0;
};

ReadResult ReadAll(const fs::path& path, const ReadSettings& settings = {}) {
  ReadResult result;
  RawLineFile file(PathText(path), settings.bufferSize);
  file.SetTextCode(settings.textCode);
  file.SetFlags(settings.flags);
  if (settings.giveFileCode) file.SetFileCode(settings.fileCode);
  if (file.OpenRead()) {
    while (file.ReadLine()) {
      const RawString& line = file.Line();
      EXPECT_EQ(line.Length() == 0 ? line.StorageKind() : RawString::KindView, line.StorageKind());
      result.lines.push_back(line.Code() == CodeUtf8 ? std::string(line.View()) : line.ToUtf8());
      result.offsets.push_back(file.LineOffset());
      result.numbers.push_back(file.LineNumber());
    }
  }
  result.state = file.GetState();
  result.clean = file.ReachedCleanEnd();
  result.codeKnown = file.FileCodeKnown();
  result.fileCode = file.FileCode();
  result.hadMark = file.HadMark();
  EXPECT_EQ(result.state != RawLineFileInfo::StateEnd && result.state != RawLineFileInfo::StateOpen, !file.Close());
  EXPECT_EQ(result.clean, file.ReachedCleanEnd()) << "the clean end must survive Close";
  return result;
}

// --- reading: every code, mark, line end and chunk boundary -----------------

struct CodeRow {
  const char* name;
  TextCode code;
  bool mark;
  TextCode detected;  // what the reader must find
};

// The lines put a two-, three- and four-byte UTF-8 sequence, a surrogate pair, and
// Shift_JIS pairs whose trail byte is "\" at many places.
const std::vector<std::string> kLines = {"first", "caf\xC3\xA9 au lait", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                         "clef \xF0\x9D\x84\x9E end", "", "last one"};
const std::vector<std::string> kShiftJisLines = {"first", "\xEF\xBD\xB6\xEF\xBE\x80\xEF\xBD\xB6\xEF\xBE\x85 half",
                                                 "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x82\xBD", "", "last one"};

TEST_F(LineFileTest, ReadsEveryCodeAtEveryChunkBoundary) {
  const CodeRow rows[] = {
      {"utf8 mark", CodeUtf8, true, CodeUtf8},
      {"utf8", CodeUtf8, false, CodeUtf8},
      {"utf16le mark", CodeUtf16Little, true, CodeUtf16Little},
      {"utf16le", CodeUtf16Little, false, CodeUtf16Little},
      {"utf16be mark", CodeUtf16Big, true, CodeUtf16Big},
      {"utf16be", CodeUtf16Big, false, CodeUtf16Big},
      {"shift_jis", CodeShiftJis, false, CodeShiftJis},
  };
  const char* lineEnds[] = {"\n", "\r", "\r\n"};
  const fs::path path = File("text");
  for (const CodeRow& row : rows) {
    const auto& lines = row.code == CodeShiftJis ? kShiftJisLines : kLines;
    for (const char* lineEnd : lineEnds) {
      for (bool finalEnd : {true, false}) {
        std::string bytes = row.mark ? MarkBytes(row.code) : "";
        std::vector<int64_t> offsets;
        size_t longest = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
          offsets.push_back(static_cast<int64_t>(bytes.size()));
          const std::string line = Encode(row.code, lines[i]);
          longest = std::max(longest, line.size());
          bytes += line;
          if (i + 1 < lines.size() || finalEnd) bytes += Encode(row.code, lineEnd);
        }
        Put(path, bytes);
        std::vector<int32_t> sizes;
        // The smallest buffer holds the longest line and one unit of its line end.
        const auto smallest = static_cast<int32_t>(longest + Encode(row.code, "\n").size());
        for (int32_t size = smallest; size < smallest + 24; ++size) {
          sizes.push_back(size);
        }
        sizes.push_back(RawLineFileInfo::kDefaultBufferSize);
        for (int32_t size : sizes) {
          for (TextCode wanted : {CodeUtf8, CodeWide}) {
          SCOPED_TRACE(::testing::Message() << row.name << " end " << (lineEnd[0] == '\n' ? "LF" : lineEnd[1] ? "CRLF" : "CR")
                                            << (finalEnd ? " final" : "") << " buffer " << size << " wanted "
                                            << static_cast<int>(wanted));
          ReadSettings settings;
          settings.bufferSize = size;
          settings.textCode = wanted;
          const ReadResult got = ReadAll(path, settings);
          EXPECT_EQ(RawLineFileInfo::StateEnd, got.state);
          EXPECT_TRUE(got.clean);
          EXPECT_EQ(lines, got.lines);
          EXPECT_EQ(offsets, got.offsets);
          EXPECT_EQ(row.detected, got.fileCode);
          EXPECT_EQ(row.mark, got.hadMark);
          if (::testing::Test::HasFailure()) return;
          }
        }
      }
    }
  }
}

// Line ends are found many bytes at a time: every line length up to past two
// such blocks, each kind of line end, as the file's own code and converted.
TEST_F(LineFileTest, FindsLineEndsAtEveryPlaceInABlock) {
  const fs::path path = File("lengths");
  const char* lineEnds[] = {"\n", "\r", "\r\n"};
  for (const char* lineEnd : lineEnds) {
    std::vector<std::string> lines;
    std::vector<int64_t> offsets;
    std::string bytes;
    for (int length = 0; length <= 40; ++length) {
      std::string line;
      for (int i = 0; i < length; ++i) line += static_cast<char>('a' + (length + i) % 26);
      offsets.push_back(static_cast<int64_t>(bytes.size()));
      bytes += line + lineEnd;
      lines.push_back(line);
    }
    Put(path, bytes);
    const struct {
      int32_t bufferSize;
      bool convert;  // read as Shift_JIS: the line ends of each chunk are found before its conversion
    } readers[] = {{42, false}, {64, false}, {RawLineFileInfo::kDefaultBufferSize, false}, {42, true}, {100, true}};
    for (const auto& reader : readers) {
      SCOPED_TRACE(::testing::Message() << "end " << (lineEnd[0] == '\n' ? "LF" : lineEnd[1] ? "CRLF" : "CR")
                                        << " buffer " << reader.bufferSize << (reader.convert ? " converted" : ""));
      ReadSettings settings;
      settings.bufferSize = reader.bufferSize;
      settings.giveFileCode = reader.convert;
      settings.fileCode = CodeShiftJis;
      const ReadResult got = ReadAll(path, settings);
      EXPECT_EQ(RawLineFileInfo::StateEnd, got.state);
      EXPECT_EQ(lines, got.lines);
      EXPECT_EQ(offsets, got.offsets);
    }
  }
}

TEST_F(LineFileTest, DeliversTheWantedCode) {
  const fs::path path = File("text");
  Put(path, MarkBytes(CodeUtf8) + "a\xC3\xA9\r\n\xF0\x9D\x84\x9E\r\n");
  struct Row {
    TextCode textCode;
    TextCode tag;
    std::string firstBytes;  // the bytes of the first line as delivered
  } rows[] = {
      {CodeUtf8, CodeUtf8, "a\xC3\xA9"},
      {CodeUtf16Little, CodeUtf16Little, std::string("a\0\xE9\0", 4)},
      {CodeUtf16Big, CodeUtf16Big, std::string("\0a\0\xE9", 4)},
      {CodeWide, CodeWide, std::string("a\0\xE9\0", 4)},
      {CodeShiftJis, CodeShiftJis, ""},  // é has no Shift_JIS form: a clear error
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.textCode));
    RawLineFile file(PathText(path), 16);
    file.SetTextCode(row.textCode);
    ASSERT_TRUE(file.OpenRead());
    if (row.firstBytes.empty()) {
      EXPECT_FALSE(file.ReadLine());
      EXPECT_EQ(RawLineFileInfo::StateConvertFailed, file.GetState());
      EXPECT_FALSE(file.ReachedCleanEnd());
      continue;
    }
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ(row.tag, file.Line().Code());
    EXPECT_EQ(row.firstBytes, std::string(file.Line().Data(), row.firstBytes.size()));
    EXPECT_EQ(static_cast<int32_t>(row.firstBytes.size()) / UnitSize(row.tag), file.Line().Length());
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ("\xF0\x9D\x84\x9E", file.Line().ToUtf8());
    EXPECT_EQ(8, file.LineOffset());
    EXPECT_FALSE(file.ReadLine());
    EXPECT_TRUE(file.ReachedCleanEnd());
  }
}

// --- marks, codes and line ends --------------------------------------------------

TEST_F(LineFileTest, MarkIsSkippedOrDeliveredByTheSettings) {
  const fs::path path = File("marked");
  Put(path, "\xEF\xBB\xBFone\r\ntwo\r\n");
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), ReadAll(path).lines);

  ReadSettings given;
  given.giveFileCode = true;
  given.fileCode = CodeUtf8;
  const ReadResult withMark = ReadAll(path, given);
  EXPECT_EQ((std::vector<std::string>{"\xEF\xBB\xBFone", "two"}), withMark.lines);
  EXPECT_FALSE(withMark.hadMark);

  ReadSettings lookOnly;  // decoder flags: look for the mark but keep it
  lookOnly.flags = Decoder(RawLineFileInfo::DecodeLookForMark);
  const ReadResult kept = ReadAll(path, lookOnly);
  EXPECT_TRUE(kept.hadMark);
  EXPECT_EQ("\xEF\xBB\xBFone", kept.lines.at(0));
  EXPECT_EQ(0, kept.offsets.at(0));
}

TEST_F(LineFileTest, PlainAsciiIsDeliveredUnconvertedWithoutATrailingEmptyLine) {
  const fs::path path = File("ascii");
  Put(path, "alpha\r\nbeta\r\n\r\ngamma\r\n");
  RawLineFile file(PathText(path));
  ASSERT_TRUE(file.OpenRead());
  std::vector<std::string> lines;
  while (file.ReadLine()) {
    EXPECT_EQ(RawString::KindView, file.Line().Length() ? file.Line().StorageKind() : RawString::KindView);
    EXPECT_EQ(CodeUtf8, file.Line().Code());
    EXPECT_EQ('\0', file.Line().Data()[file.Line().Length()]) << "a line is followed by a zero unit";
    lines.emplace_back(file.Line().View());
  }
  EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "", "gamma"}), lines);
  EXPECT_FALSE(file.FileCodeKnown());
  EXPECT_TRUE(file.ReachedCleanEnd());
}

TEST_F(LineFileTest, LinesReuseOneViewAndKeptCopiesSurviveTheNextLine) {
  const fs::path path = File("many");
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + "\n";
  Put(path, text);
  RawLineFile file(PathText(path), 64);
  ASSERT_TRUE(file.OpenRead());
  ASSERT_TRUE(file.ReadLine());
  const RawString kept(file.Line());
  const int64_t bodies = RawString::LiveBodies();
  int count = 1;
  int64_t most = bodies;
  while (file.ReadLine()) {
    ++count;
    most = std::max(most, RawString::LiveBodies());
  }
  EXPECT_EQ(2000, count);
  EXPECT_EQ(bodies, most) << "a line must not cost a body of its own";
  EXPECT_EQ("line 0", kept.View()) << "a copy of a line is its own text";
  EXPECT_TRUE(file.ReachedCleanEnd());
}

TEST_F(LineFileTest, EmptyFileHasNoLine) {
  const fs::path path = File("empty");
  Put(path, "");
  const ReadResult got = ReadAll(path);
  EXPECT_TRUE(got.lines.empty());
  EXPECT_TRUE(got.clean);
}

TEST_F(LineFileTest, CrAtTheEndOfAChunkWaitsForItsLf) {
  const fs::path path = File("split");
  Put(path, "abc\r\ndef\r\n");
  ReadSettings settings;
  settings.bufferSize = 4;  // the first chunk is "abc\r"
  const ReadResult got = ReadAll(path, settings);
  EXPECT_EQ((std::vector<std::string>{"abc", "def"}), got.lines);
  EXPECT_EQ((std::vector<int64_t>{0, 5}), got.offsets);
  EXPECT_EQ((std::vector<int32_t>{0, 1}), got.numbers);
}

TEST_F(LineFileTest, Utf16LittleWithoutMarkIsRecognisedByItsZeroBytes) {
  const fs::path path = File("utf16");
  Put(path, std::string("h\0i\0\r\0\n\0y\0o\0", 12));
  const ReadResult got = ReadAll(path);
  EXPECT_EQ(CodeUtf16Little, got.fileCode);
  EXPECT_EQ((std::vector<std::string>{"hi", "yo"}), got.lines);
  EXPECT_EQ((std::vector<int64_t>{0, 8}), got.offsets);
}

TEST_F(LineFileTest, LineAsLongAsTheBufferStopsReading) {
  const fs::path path = File("long");
  const int32_t size = RawLineFileInfo::kDefaultBufferSize;
  struct Row {
    const char* name;
    std::string bytes;
    RawLineFileInfo::State state;
    size_t lines;
  } rows[] = {
      {"fits with LF", "a\n" + std::string(size - 1, 'x') + "\nb\n", RawLineFileInfo::StateEnd, 3},
      {"fits with CR LF", "a\n" + std::string(size - 1, 'x') + "\r\nb\n", RawLineFileInfo::StateEnd, 3},
      {"one byte too long", "a\n" + std::string(size, 'x') + "\nb\n", RawLineFileInfo::StateLineTooLong, 1},
      {"too long at the end", "a\n" + std::string(size, 'x'), RawLineFileInfo::StateLineTooLong, 1},
      {"too long converted", "\xEF\xBB\xBF" "a\n\xC3\xA9" + std::string(size, 'x') + "\n", RawLineFileInfo::StateLineTooLong,
       1},
      {"ten megabytes", "a\r\n" + std::string(10 << 20, 'x'), RawLineFileInfo::StateLineTooLong, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Put(path, row.bytes);
    ReadSettings settings;
    if (row.bytes.rfind("\xEF\xBB\xBF", 0) == 0) settings.textCode = CodeWide;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_EQ(row.state, got.state);
    EXPECT_EQ(row.lines, got.lines.size());
    EXPECT_EQ(row.state == RawLineFileInfo::StateEnd, got.clean);
  }
}

// --- detection ----------------------------------------------------------------

TEST_F(LineFileTest, DetectsTheCodeWithoutAMark) {
  const fs::path path = File("detect");
  // Ten-byte lines in 16-byte chunks: a decision far into the file needs reading ahead.
  std::string many;
  std::vector<std::string> manyLines(30, std::string(10, 'a'));
  std::string manyCr;
  for (const std::string& line : manyLines) {
    many += line + "\n";
    manyCr += line + "\r";
  }
  auto with = [&](std::vector<std::string> lines, const std::string& last) {
    lines.push_back(last);
    return lines;
  };
  struct Row {
    const char* name;
    std::string bytes;
    int32_t bufferSize;
    bool known;
    TextCode code;
    std::vector<std::string> lines;
  } rows[] = {
      {"utf8", "x\xC3\xA9\n", 64, true, CodeUtf8, {"x\xC3\xA9"}},
      {"shift_jis kanji", "x\x95\x5C\n", 64, true, CodeShiftJis, {"x\xE8\xA1\xA8"}},
      {"shift_jis decided after reading ahead", many + "\x83\x5C\n", 16, true, CodeShiftJis,
       with(manyLines, "\xE3\x82\xBD")},
      {"utf8 decided after reading ahead", many + "\xE2\x82\xAC", 16, true, CodeUtf8, with(manyLines, "\xE2\x82\xAC")},
      {"ascii stays unknown", many, 16, false, CodeAnsi, manyLines},
      // FA-FC lead Shift_JIS extension rows and never occur in UTF-8.
      {"shift_jis extension row FA first", "x\xFA\x40\n", 64, true, CodeShiftJis, {"x\xE2\x85\xB0"}},
      {"shift_jis extension rows FB and FC first", "\xFB\xFC\xFC\x4B\n", 64, true, CodeShiftJis,
       {"\xE9\xAB\x99\xE9\xBB\x91"}},
      {"shift_jis extension row after katakana", "\xC3\xA9\xFA\x40\n", 64, true, CodeShiftJis,
       {"\xEF\xBE\x83\xEF\xBD\xA9\xE2\x85\xB0"}},
      {"utf8 four-byte form first", "x\xF0\x9F\x98\x80\n", 64, true, CodeUtf8, {"x\xF0\x9F\x98\x80"}},
      {"utf8 last four-byte lead first", "\xF4\x8F\xBF\xBF\n", 64, true, CodeUtf8, {"\xF4\x8F\xBF\xBF"}},
      {"binary byte", "ab\x7F" "c\n", 64, true, CodeBinary, {"ab\x7F" "c"}},
      {"zero rejected by an 8-bit CR LF", std::string("a\0b\r\nc\xC3\xA9\r\n", 10), 64, true, CodeUtf8,
       {std::string("a\0b", 3), "c\xC3\xA9"}},
      {"utf16be with CR only after reading ahead", Utf16Bytes(manyCr + "z", true), 32, true, CodeUtf16Big,
       with(manyLines, "z")},
      {"zero rejected after reading ahead", std::string("aaaaaaaaaa\r\nb\0c\r\nd\xC3\xA9\r\n", 22), 16, true, CodeUtf8,
       {"aaaaaaaaaa", std::string("b\0c", 3), "d\xC3\xA9"}},
      {"utf16le with LF only", Utf16Bytes("ab\ncd\n", false), 64, true, CodeUtf16Little, {"ab", "cd"}},
      {"utf16le confirmed by the end of the file", Utf16Bytes("abc", false), 64, true, CodeUtf16Little, {"abc"}},
      {"utf16le after a window without line end", Utf16Bytes(std::string(3000, 'q') + "\r\n", false), 8192, true,
       CodeUtf16Little, {std::string(3000, 'q')}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Put(path, row.bytes);
    ReadSettings settings;
    settings.bufferSize = row.bufferSize;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_EQ(row.known, got.codeKnown);
    if (row.known) {
      EXPECT_EQ(row.code, got.fileCode);
    }
    EXPECT_EQ(row.lines, got.lines);
    EXPECT_TRUE(got.clean);
  }
}

// Plain ASCII is passed over many bytes at a time; the byte that decides must be seen at
// every place of such a step, also the kinds that look plain to a careless test (0x7F, 0x00).
TEST_F(LineFileTest, DetectionSeesTheDecidingByteAtEveryPlace) {
  const fs::path path = File("detect-place");
  struct Kind {
    const char* name;
    std::string bytes;
    TextCode code;
  } kinds[] = {
      {"utf8", "\xC3\xA9", CodeUtf8},
      {"shift_jis", "\x83\x5C", CodeShiftJis},
      {"delete", "\x7F", CodeBinary},
      {"high control", "\xFE", CodeBinary},
  };
  for (const Kind& kind : kinds) {
    for (int place = 0; place < 24; ++place) {
      SCOPED_TRACE(std::string(kind.name) + " after " + std::to_string(place) + " bytes");
      Put(path, std::string(static_cast<size_t>(place), 'a') + kind.bytes + "bcdefghijklmnopq\r\n");
      const ReadResult got = ReadAll(path, ReadSettings());
      EXPECT_TRUE(got.codeKnown);
      EXPECT_EQ(kind.code, got.fileCode);
    }
  }
  // A zero byte at any place with no line end after it: UTF-16 of the order its place gives.
  for (int place = 0; place < 24; ++place) {
    SCOPED_TRACE("zero after " + std::to_string(place) + " bytes");
    std::string bytes = std::string(static_cast<size_t>(place), 'a') + std::string(1, '\0') + "bcdefgh";
    if (bytes.size() % 2 != 0) bytes += 'i';
    Put(path, bytes);
    const ReadResult got = ReadAll(path, ReadSettings());
    EXPECT_TRUE(got.codeKnown);
    EXPECT_EQ(place % 2 == 0 ? CodeUtf16Big : CodeUtf16Little, got.fileCode);
  }
}

TEST_F(LineFileTest, SettingsChangeWhatIsDetectedAndHowLinesAreTagged) {
  const fs::path path = File("settings");
  Put(path, "\xFF\xFEx\x95\x5C\r\n");
  struct Row {
    const char* name;
    ReadSettings settings;
    TextCode tag;
    std::string line;
  } rows[] = {
      // Text code 0: no mark is looked for, the bytes come as they are.
      {"raw bytes tagged utf8", {64, CodeAnsi, false, CodeAnsi, 0}, CodeUtf8, "\xFF\xFEx\x95\x5C"},
      {"raw bytes tagged ansi", {64, CodeAnsi, false, CodeAnsi, RawLineFileInfo::FlagTagAnsi}, CodeAnsi,
       "\xFF\xFEx\x95\x5C"},
      // Detection only (no mark): FF is binary, delivered unconverted.
      {"detect only",
       {64, CodeUtf8, false, CodeAnsi, Decoder(RawLineFileInfo::DecodeDetect)},
       CodeUtf8,
       "\xFF\xFEx\x95\x5C"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RawLineFile file(PathText(path), row.settings.bufferSize);
    file.SetTextCode(row.settings.textCode);
    file.SetFlags(row.settings.flags);
    ASSERT_TRUE(file.OpenRead());
    ASSERT_TRUE(file.ReadLine());
    EXPECT_EQ(row.tag, file.Line().Code());
    EXPECT_EQ(row.line, std::string(file.Line().View()));
  }
  // A detected code lasts one open; a given one stays.
  RawLineFile file(PathText(path));
  Put(path, "x\x95\x5C\n");
  ASSERT_TRUE(file.OpenRead());
  EXPECT_EQ(CodeShiftJis, file.FileCode());
  ASSERT_TRUE(file.Close());
  Put(path, "x\xC3\xA9\n");
  ASSERT_TRUE(file.OpenRead());
  EXPECT_EQ(CodeUtf8, file.FileCode());
  ASSERT_TRUE(file.ReadLine());
  EXPECT_EQ("x\xC3\xA9", file.Line().ToUtf8());
}

TEST_F(LineFileTest, NoFirstChunkFlagReadsOnTheFirstLine) {
  const fs::path path = File("late");
  Put(path, "x\x95\x5C\n");
  RawLineFile file(PathText(path));
  file.SetFlags(RawLineFileInfo::FlagNoFirstChunk);
  ASSERT_TRUE(file.OpenRead());
  EXPECT_FALSE(file.FileCodeKnown());
  ASSERT_TRUE(file.ReadLine());
  EXPECT_EQ(CodeShiftJis, file.FileCode());
  EXPECT_EQ("x\xE8\xA1\xA8", file.Line().ToUtf8());
}

TEST_F(LineFileTest, ReadsUtf7AndCodesThatGrowWhenConverted) {
  const fs::path path = File("grow");
  struct Row {
    const char* name;
    std::string bytes;
    TextCode fileCode;
    int32_t bufferSize;
    std::vector<std::string> lines;
  } rows[] = {
      {"utf7", "h+AOk-\r\nx+ACE-y\r\nlast", CodeUtf7, 16, {"h\xC3\xA9", "x!y", "last"}},
      {"utf7 spelling a line end in base64", "a+AA0ACg-b\r\nc\r\n", CodeUtf7, 16, {"a", "b", "c"}},
      // Twenty one-byte katakana become sixty bytes of UTF-8.
      {"half-width katakana", std::string(20, '\xB1') + "\r\n" + std::string(20, '\xB2') + "\r\n", CodeShiftJis, 24,
       {[] {
          std::string a;
          for (int i = 0; i < 20; ++i) a += "\xEF\xBD\xB1";
          return a;
        }(),
        [] {
          std::string i;
          for (int k = 0; k < 20; ++k) i += "\xEF\xBD\xB2";
          return i;
        }()}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Put(path, row.bytes);
    ReadSettings settings;
    settings.bufferSize = row.bufferSize;
    settings.giveFileCode = true;
    settings.fileCode = row.fileCode;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_TRUE(got.clean);
    EXPECT_EQ(row.lines, got.lines);
  }
}

// --- bad input: always a clear state, never a crash, a hang or a made-up text ---

TEST_F(LineFileTest, BadInputEndsInAClearState) {
  const fs::path path = File("bad");
  struct Row {
    const char* name;
    std::string bytes;
    ReadSettings settings;
    RawLineFileInfo::State state;
    std::vector<std::string> lines;
  } rows[] = {
      {"utf16 odd length with mark", std::string("\xFF\xFEo\0k\0\n\0x", 9), {}, RawLineFileInfo::StateOddWideLine, {"ok"}},
      {"utf16 odd length unconverted",
       std::string("\xFF\xFEo\0k\0\n\0x", 9),
       {64, CodeUtf16Little},
       RawLineFileInfo::StateOddWideLine,
       {"ok"}},
      {"utf16 lone high surrogate", std::string("\xFF\xFE" "a\0\x3D\xD8\n\0", 8), {}, RawLineFileInfo::StateConvertFailed, {}},
      {"invalid utf8 unconverted", "\xEF\xBB\xBFok\n\xC3(\n", {}, RawLineFileInfo::StateEnd, {"ok", "\xC3("}},
      {"invalid utf8 converted", "\xEF\xBB\xBFok\n\xC3(\n", {64, CodeWide}, RawLineFileInfo::StateConvertFailed, {}},
      {"utf8 cut short at the end", "\xEF\xBB\xBFok\n\xE6\x97", {64, CodeWide}, RawLineFileInfo::StateConvertFailed,
       {}},
      {"invalid shift_jis", "ok\n\x81\x20\n", {64, CodeUtf8, true, CodeShiftJis}, RawLineFileInfo::StateConvertFailed, {}},
      {"shift_jis lead byte at the end", "ok\n\x95", {64, CodeUtf8, true, CodeShiftJis}, RawLineFileInfo::StateConvertFailed,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Put(path, row.bytes);
    const ReadResult got = ReadAll(path, row.settings);
    EXPECT_EQ(row.state, got.state);
    EXPECT_EQ(row.lines, got.lines);
    EXPECT_EQ(row.state == RawLineFileInfo::StateEnd, got.clean);
  }
}

TEST_F(LineFileTest, BinaryFilesLoseNoByteWhenReadCleanly) {
  const fs::path path = File("binary");
  std::string bytes = "\x7F";  // decides "binary" at once
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(seed >> 16));
  }
  for (int32_t size : {64, 4096, 8192, 1 << 16}) {
    SCOPED_TRACE(size);
    Put(path, bytes);
    ReadSettings settings;
    settings.bufferSize = size;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_EQ(CodeBinary, got.fileCode);
    if (got.clean) {
      // Lines plus the line ends between them give back every byte.
      std::string joined;
      for (size_t i = 0; i < got.lines.size(); ++i) {
        const int64_t end = i + 1 < got.offsets.size() ? got.offsets[i + 1] : static_cast<int64_t>(bytes.size());
        ASSERT_EQ(bytes.substr(static_cast<size_t>(got.offsets[i]), got.lines[i].size()), got.lines[i]);
        joined += bytes.substr(static_cast<size_t>(got.offsets[i]), static_cast<size_t>(end - got.offsets[i]));
      }
      EXPECT_EQ(bytes, joined);
    } else {
      EXPECT_EQ(RawLineFileInfo::StateLineTooLong, got.state);
    }
  }
  // Random bytes of every kind, read as UTF-16: whatever happens ends in a state.
  for (uint32_t start : {1u, 2u, 3u, 4u, 5u}) {
    std::string noise;
    seed = start;
    for (int i = 0; i < 30000; ++i) {
      seed = seed * 1103515245u + 12345u;
      noise.push_back(static_cast<char>(seed >> 16));
    }
    Put(path, noise);
    ReadSettings settings;
    settings.bufferSize = 256;
    settings.textCode = CodeWide;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_NE(RawLineFileInfo::StateOpen, got.state);
  }
}

TEST_F(LineFileTest, FileThatShrinksWhileReadEndsWithoutFault) {
  const fs::path path = File("shrinking");
  std::string bytes;
  for (int i = 0; i < 2000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  Put(path, bytes);
  RawLineFile file(PathText(path), 64);
  ASSERT_TRUE(file.OpenRead());
  ASSERT_TRUE(file.ReadLine());
  fs::resize_file(path, 100);
  int lines = 1;
  while (file.ReadLine()) ++lines;
  EXPECT_LT(lines, 2000);
  EXPECT_NE(RawLineFileInfo::StateOpen, file.GetState());
}

// --- failing reads ------------------------------------------------------------

TEST_F(LineFileTest, FailingOperationNeverLooksLikeACleanEnd) {
  const fs::path path = File("faults");
  // An ASCII start makes the reader read ahead and move back; then Shift_JIS.
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += "plain line " + std::to_string(i) + "\r\n";
  bytes += "\x95\x5C\r\nend\r\n";
  Put(path, bytes);
  ReadSettings settings;
  settings.bufferSize = 32;
  RawFileFaults::StartCounting();
  const ReadResult good = ReadAll(path, settings);
  const int64_t operations = RawFileFaults::OperationCount();
  RawFileFaults::Reset();
  ASSERT_TRUE(good.clean);
  ASSERT_EQ(42u, good.lines.size());
  ASSERT_GT(operations, 10);
  for (int64_t n = 1; n <= operations; ++n) {
    SCOPED_TRACE(n);
    RawFileFaults::FailOperation(n);
    const ReadResult got = ReadAll(path, settings);
    RawFileFaults::Reset();
    EXPECT_FALSE(got.clean);
    EXPECT_EQ(n == 1 ? RawLineFileInfo::StateOpenReadFailed : RawLineFileInfo::StateReadFailed, got.state);
    EXPECT_LE(got.lines.size(), good.lines.size());
  }
}

// --- writing ------------------------------------------------------------------

TEST_F(LineFileTest, WritesMarksAndLineEndsInTheFileCode) {
  const fs::path path = File("written");
  struct Row {
    const char* name;
    TextCode textCode;
    bool giveFileCode;
    TextCode fileCode;
    bool mark;
    std::string expected;
  } rows[] = {
      {"utf16le mark", CodeUtf16Little, false, CodeAnsi, true, std::string("\xFF\xFEh\0\xE9\0\r\0\n\0.\0\r\0\n\0", 16)},
      {"utf16be mark", CodeUtf16Big, false, CodeAnsi, true, std::string("\xFE\xFF\0h\0\xE9\0\r\0\n\0.\0\r\0\n", 16)},
      {"wide text code", CodeWide, false, CodeAnsi, false, std::string("h\0\xE9\0\r\0\n\0.\0\r\0\n\0", 14)},
      {"utf8 mark", CodeUtf8, false, CodeAnsi, true, "\xEF\xBB\xBFh\xC3\xA9\r\n.\r\n"},
      {"utf8 given file code wins", CodeUtf16Little, true, CodeUtf8, false, "h\xC3\xA9\r\n.\r\n"},
      {"utf7 mark", CodeUtf7, false, CodeAnsi, true, "+/v8-h+AOk-\r\n.\r\n"},
      {"shift_jis has no mark", CodeShiftJis, false, CodeAnsi, true, "h\x95\x5C\r\n.\r\n"},
      {"code 0 takes the bytes", CodeAnsi, false, CodeAnsi, true, "h\xE8\xA1\xA8\r\n.\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RawLineFile file(PathText(path));
    file.SetTextCode(row.textCode);
    if (row.giveFileCode) file.SetFileCode(row.fileCode);
    if (row.mark) file.SetFlags(RawLineFileInfo::FlagWriteMark);
    ASSERT_TRUE(file.OpenWrite());
    const bool kanji = row.textCode == CodeShiftJis || row.textCode == CodeAnsi;
    ASSERT_TRUE(file.WriteLine(RawString::FromUtf8(kanji ? "h\xE8\xA1\xA8" : "h\xC3\xA9")));
    ASSERT_TRUE(file.Write(RawString::FromUtf8(".")));
    ASSERT_TRUE(file.WriteLine(RawString::Empty()));
    EXPECT_EQ(static_cast<int64_t>(row.expected.size()), file.BytesWritten());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(row.expected, Bytes(path));
  }
}

TEST_F(LineFileTest, WideTextIsConvertedLikeAnyOther) {
  const fs::path path = File("wide");
  RawLineFile file(PathText(path));
  file.SetTextCode(CodeUtf8);
  ASSERT_TRUE(file.OpenWrite());
  const char16_t text[] = u"x\u00E9\U0001D11E";
  ASSERT_TRUE(file.WriteLine(RawString::FromWide(text, 4)));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ("x\xC3\xA9\xF0\x9D\x84\x9E\r\n", Bytes(path));
}

TEST_F(LineFileTest, TextTheFileCannotHoldFailsInsteadOfWritingReplacements) {
  const fs::path path = File("unrepresentable");
  RawLineFile file(PathText(path));
  file.SetTextCode(CodeShiftJis);
  ASSERT_TRUE(file.OpenWrite());
  ASSERT_TRUE(file.WriteLine(RawString("kept")));
  EXPECT_FALSE(file.WriteLine(RawString::FromUtf8("caf\xC3\xA9")));
  EXPECT_EQ(RawLineFileInfo::StateConvertFailed, file.GetState());
  EXPECT_FALSE(file.WriteLine(RawString("after")));
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(RawLineFileInfo::StateConvertFailed, file.GetState());
  EXPECT_EQ("kept\r\n", Bytes(path));
}

// A writer refuses what its own reader could not give back as written; whatever
// it accepts reads back with the same buffer size.
TEST_F(LineFileTest, WritesOnlyLinesThatReadBack) {
  const fs::path path = File("checked");
  constexpr int32_t kBuffer = 32;
  struct Row {
    const char* name;
    TextCode code;
    bool mark;
    std::string text;
    RawLineFileInfo::State refused;  // StateOpen: accepted
  } rows[] = {
      {"utf8 neither utf8 nor shift_jis", CodeUtf8, false, "A\xE8\xFF\xFF", RawLineFileInfo::StateConvertFailed},
      {"utf8 truncated sequence", CodeUtf8, false, "ab\xE3\x81", RawLineFileInfo::StateConvertFailed},
      {"no utf8 behind a mark passes as read", CodeUtf8, true, "A\xE8\xFF\xFF", RawLineFileInfo::StateOpen},
      {"utf8 encoded surrogate", CodeUtf8, false, "\xED\xA0\x80", RawLineFileInfo::StateConvertFailed},
      {"utf8 well formed", CodeUtf8, false, "caf\xC3\xA9", RawLineFileInfo::StateOpen},
      {"zero byte without a mark", CodeUtf8, false, std::string("a\0b", 3), RawLineFileInfo::StateConvertFailed},
      {"zero byte in shift_jis", CodeShiftJis, false, std::string("a\0b", 3), RawLineFileInfo::StateConvertFailed},
      {"zero byte behind a mark", CodeUtf8, true, std::string("a\0b", 3), RawLineFileInfo::StateOpen},
      {"zero unit in utf16", CodeUtf16Little, false, std::string("a\0b", 3), RawLineFileInfo::StateOpen},
      {"8-bit line one short of the buffer", CodeUtf8, false, std::string(kBuffer - 1, 'x'), RawLineFileInfo::StateOpen},
      {"8-bit line as long as the buffer", CodeUtf8, false, std::string(kBuffer, 'x'), RawLineFileInfo::StateLineTooLong},
      {"mark does not count", CodeUtf8, true, std::string(kBuffer - 1, 'x'), RawLineFileInfo::StateOpen},
      {"utf16 counts its bytes", CodeUtf16Little, true, std::string(kBuffer / 2 - 1, 'x'), RawLineFileInfo::StateOpen},
      {"utf16 one unit too many", CodeUtf16Big, true, std::string(kBuffer / 2, 'x'), RawLineFileInfo::StateLineTooLong},
      {"converted line counts in the file's code", CodeShiftJis, false,
       "\xE8\xA1\xA8" + std::string(kBuffer - 3, 'x'), RawLineFileInfo::StateOpen},
      {"converted line too long in the file's code", CodeShiftJis, false,
       "\xE8\xA1\xA8" + std::string(kBuffer - 2, 'x'), RawLineFileInfo::StateLineTooLong},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RawLineFile writer(PathText(path), kBuffer);
    writer.SetTextCode(row.code);
    if (row.mark) writer.SetFlags(RawLineFileInfo::FlagWriteMark);
    ASSERT_TRUE(writer.OpenWrite());
    ASSERT_TRUE(writer.WriteLine(RawString("first")));
    const bool accepted = writer.WriteLine(RawString::FromUtf8(row.text));
    EXPECT_EQ(row.refused == RawLineFileInfo::StateOpen, accepted);
    EXPECT_EQ(accepted, writer.Close());
    if (!accepted) {
      EXPECT_EQ(row.refused, writer.GetState());
      continue;
    }
    ReadSettings settings;
    settings.bufferSize = kBuffer;
    const ReadResult got = ReadAll(path, settings);
    EXPECT_TRUE(got.clean);
    EXPECT_EQ((std::vector<std::string>{"first", row.text}), got.lines);
  }
}

// Without a mark the written bytes must lead a reader to the code they were
// written in; a file that would be taken for another code fails its Close.
TEST_F(LineFileTest, FileTakenForAnotherCodeFailsTheClose) {
  const fs::path path = File("redetected");
  struct Row {
    const char* name;
    TextCode code;
    uint16_t flags;
    const char* text;  // UTF-8
    bool kept;
  } rows[] = {
      // Hiragana in UTF-8 pair up as Shift_JIS, which the detection prefers then.
      {"utf8 taken for shift_jis", CodeUtf8, 0, "\xE3\x81\x82\xE3\x81\x84", false},
      {"utf8 behind a mark", CodeUtf8, RawLineFileInfo::FlagWriteMark, "\xE3\x81\x82\xE3\x81\x84", true},
      {"utf8 of latin letters", CodeUtf8, 0, "caf\xC3\xA9", true},
      // Half-width katakana C3 A9 read as UTF-8 too, and then count for UTF-8.
      {"shift_jis taken for utf8", CodeShiftJis, 0, "\xEF\xBE\x83\xEF\xBD\xA9", false},
      {"shift_jis of an extension kanji (lead FB)", CodeShiftJis, 0, "\xE9\xAB\x99", true},
      {"shift_jis of common kanji", CodeShiftJis, 0, "\xE8\xA1\xA8", true},
      {"ascii in any code", CodeShiftJis, 0, "plain", true},
      // A rewrite that may add the mark does so instead of failing; other codes get none.
      {"utf8 given a mark when needed", CodeUtf8, RawLineFileInfo::FlagMarkWhenNeeded, "\xE3\x81\x82\xE3\x81\x84", true},
      {"shift_jis has no mark to take", CodeShiftJis, RawLineFileInfo::FlagMarkWhenNeeded, "\xEF\xBE\x83\xEF\xBD\xA9",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RawLineFile writer(PathText(path));
    writer.SetTextCode(row.code);
    if (row.flags != 0) writer.SetFlags(row.flags);
    ASSERT_TRUE(writer.OpenWrite());
    ASSERT_TRUE(writer.WriteLine(RawString::FromUtf8(row.text)));
    EXPECT_EQ(row.kept, writer.Close());
    EXPECT_EQ(row.kept ? RawLineFileInfo::StateClosed : RawLineFileInfo::StateOtherCodeDetected, writer.GetState());
    if (row.kept) {
      EXPECT_EQ((std::vector<std::string>{row.text}), ReadAll(path).lines);
    }
  }
}

TEST_F(LineFileTest, WrittenFilesReadBackInEveryCode) {
  const fs::path path = File("round");
  const TextCode codes[] = {CodeUtf8, CodeUtf16Little, CodeUtf16Big};
  for (TextCode code : codes) {
    for (bool mark : {true, false}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(code) << (mark ? " mark" : ""));
      RawLineFile writer(PathText(path));
      writer.SetTextCode(code);
      if (mark) writer.SetFlags(RawLineFileInfo::FlagWriteMark);
      ASSERT_TRUE(writer.OpenWrite());
      for (const std::string& line : kLines) ASSERT_TRUE(writer.WriteLine(RawString::FromUtf8(line)));
      ASSERT_TRUE(writer.Close());
      ReadSettings settings;
      settings.bufferSize = 32;
      const ReadResult got = ReadAll(path, settings);
      EXPECT_EQ(kLines, got.lines);
      EXPECT_EQ(code, got.fileCode);
    }
  }
}

TEST_F(LineFileTest, FailingWriteOrFlushMakesCloseFail) {
  const fs::path path = File("faulty");
  auto writeAll = [&]() {
    RawLineFile file(PathText(path));
    file.SetFlags(RawLineFileInfo::FlagWriteMark);
    bool ok = file.OpenWrite();
    for (int i = 0; i < 5; ++i) ok = file.WriteLine(RawString("line")) && ok;
    ok = file.Close() && ok;
    EXPECT_EQ(ok, file.GetState() == RawLineFileInfo::StateClosed);
    return ok;
  };
  RawFileFaults::StartCounting();
  ASSERT_TRUE(writeAll());
  const int64_t operations = RawFileFaults::OperationCount();
  RawFileFaults::Reset();
  ASSERT_EQ(3, operations);  // open, the gathered lines in one write, flush
  for (int64_t n = 1; n <= operations; ++n) {
    SCOPED_TRACE(n);
    RawFileFaults::FailOperation(n);
    EXPECT_FALSE(writeAll());
    RawFileFaults::Reset();
  }
}

TEST_F(LineFileTest, OpenFailuresSetTheirStates) {
  RawLineFile reader(PathText(File("missing")));
  EXPECT_FALSE(reader.OpenRead());
  EXPECT_EQ(RawLineFileInfo::StateOpenReadFailed, reader.GetState());
  EXPECT_FALSE(reader.ReadLine());
  EXPECT_FALSE(reader.Close());
  EXPECT_EQ(RawLineFileInfo::StateOpenReadFailed, reader.GetState()) << "an error state survives Close";

  RawLineFile writer(PathText(File("no-such-folder") / "file"));
  EXPECT_FALSE(writer.OpenWrite());
  EXPECT_EQ(RawLineFileInfo::StateOpenWriteFailed, writer.GetState());
  EXPECT_FALSE(writer.WriteLine(RawString("x")));

  // A later successful open resets the state.
  Put(File("present"), "x\n");
  reader.SetPath(PathText(File("present")));
  EXPECT_TRUE(reader.OpenRead());
  EXPECT_EQ(RawLineFileInfo::StateOpen, reader.GetState());
  EXPECT_FALSE(reader.WriteLine(RawString("x"))) << "reading and writing never mix";
}

}  // namespace
}  // namespace RawLayer
