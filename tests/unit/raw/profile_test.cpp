#include "raw/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "raw/file.h"
#include "raw/path.h"
#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const RawParameterList& list) {
  Entries entries;
  for (const RawParameterUnit& unit : list) entries.emplace_back(unit.key.ToUtf8(), unit.value.ToUtf8());
  return entries;
}

RawParameterList ListOf(const Entries& entries) {
  RawParameterList list;
  for (const auto& [key, value] : entries) list.SetValue(RawString::FromUtf8(key), RawString::FromUtf8(value));
  return list;
}

// Text of the test tables, UTF-8, in the byte form of a file code. Only the few
// non-ASCII characters the tables use are known to the Shift_JIS form.
std::string Encode(TextCode code, const std::string& utf8, bool mark) {
  std::u16string units;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      units.push_back(c);
      i += 1;
    } else if (c < 0xE0) {
      units.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
      i += 2;
    } else {
      units.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F)));
      i += 3;
    }
  }
  std::string out;
  switch (code) {
    case CodeUtf8:
      return (mark ? "\xEF\xBB\xBF" : "") + utf8;
    case CodeUtf16Little:
    case CodeUtf16Big:
      if (mark) out = code == CodeUtf16Little ? "\xFF\xFE" : "\xFE\xFF";
      for (char16_t u : units) {
        char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
        out += code == CodeUtf16Little ? std::string{low, high} : std::string{high, low};
      }
      return out;
    case CodeShiftJis:
      for (char16_t u : units) {
        if (u < 0x80) out.push_back(static_cast<char>(u));
        else if (u == u'\u5024') out += "\x92\x6C";  // 値
        else if (u == u'\u30C6') out += "\x83\x65";  // テ
        else if (u == u'\u65E5') out += "\x93\xFA";  // 日
        else ADD_FAILURE() << "no Shift_JIS form in the test table";
      }
      return out;
    default:
      ADD_FAILURE() << "code not used by the tests";
      return out;
  }
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() /
              ("kestrel-profile-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "-" + std::to_string(seed()));
    fs::create_directories(folder_);
    file_ = folder_ / "profile.txt";
  }
  void TearDown() override {
    RawFileFaults::Reset();
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder_, ignored);
  }

  RawProfile Profile() const { return RawProfile(PathText(file_)); }
  fs::path Temp() const { return fs::path(file_) += ".tmp"; }

  fs::path folder_;
  fs::path file_;
};

// A saver that writes one list, or refuses, and counts its calls.
class ListSaver : public RawProfileEnumeration::Saver {
 public:
  explicit ListSaver(Entries entries, bool answer = true) : list_(ListOf(entries)), answer_(answer) {}
  bool SaveSection(RawLineFile& writer, const RawString& name) override {
    ++calls;
    if (!answer_) return false;
    return RawProfile::WriteSectionTo(writer, name, list_);
  }
  int calls = 0;

 private:
  RawParameterList list_;
  bool answer_;
};

// Keeps every section it is given, as the list object it was handed.
class Collector : public RawProfileEnumeration::Enumerator {
 public:
  explicit Collector(int stopAfter = -1) : stopAfter_(stopAfter) {}
  bool OnSection(const RawString& name, const RawParameterList& list) override {
    names.push_back(name.ToUtf8());
    lists.push_back(list);
    return static_cast<int>(names.size()) != stopAfter_;
  }
  std::vector<std::string> names;
  std::vector<RawParameterList> lists;

 private:
  int stopAfter_;
};

// Merges the entries of the sections of one name from a one-pass visit, as a section list does.
class SectionMerger : public RawProfileEnumeration::EntryVisitor {
 public:
  explicit SectionMerger(const RawString& wanted) : wanted_(wanted) {}
  bool OnSection(const RawString& name) override {
    headers.push_back(name.ToUtf8());
    return name.EqualNoCase(kWhole, wanted_);
  }
  void OnEntry(const RawString& key, const RawString& value) override { list.FindOrAdd(key).value = value; }
  std::vector<std::string> headers;
  RawParameterList list;

 private:
  RawString wanted_;
};

struct SyntaxRow {
  const char* label;
  const char* text;
  const char* section;
  bool found;
  Entries entries;
};

TEST_F(ProfileTest, ReadsSectionsByTheSyntax) {
  const SyntaxRow rows[] = {
      {"case of the name ignored", "[main]\r\nA=1\r\n", "Main", true, {{"A", "1"}}},
      {"blanks in brackets belong to the name", "[ Main ]\r\nA=1\r\n", "Main", false, {}},
      {"blanks in brackets match themselves", "[ Main ]\r\nA=1\r\n", " Main ", true, {{"A", "1"}}},
      {"key and value untrimmed", "[Main]\nKey = Value\n", "Main", true, {{"Key ", " Value"}}},
      {"comment skipped, one slash is an entry", "[Main]\n//A=1\n/B\n", "Main", true, {{"/B", ""}}},
      {"blank before slashes is an entry", "[Main]\n //A=1\n", "Main", true, {{" //A", "1"}}},
      {"sections of one name merge, later wins",
       "[Main]\nA=1\nB=2\n[Other]\nA=9\n[MAIN]\nC=3\nA=4\n",
       "main",
       true,
       {{"A", "4"}, {"B", "2"}, {"C", "3"}}},
      {"repeated key keeps first position", "[Main]\nA=1\nB=2\na=3\n", "Main", true, {{"A", "3"}, {"B", "2"}}},
      {"empty key and first = splits", "[Main]\n=v\nk=a=b\n", "Main", true, {{"", "v"}, {"k", "a=b"}}},
      {"name runs to the last bracket", "[Ma]in] tail\nA=1\n", "Ma]in", true, {{"A", "1"}}},
      {"header without bracket", "[Main\nA=1\n", "Main", true, {{"A", "1"}}},
      {"lines before the first header ignored", "A=0\n//x\n[Main]\nB=1\n", "Main", true, {{"B", "1"}}},
      {"indented header is an entry", "[Main]\nA=1\n [Other]\n", "Main", true, {{"A", "1"}, {" [Other]", ""}}},
      {"empty lines skipped, CR line ends", "[Main]\r\rA=1\r\r", "Main", true, {{"A", "1"}}},
      {"last line without line end", "[Main]\nA=1", "Main", true, {{"A", "1"}}},
      {"empty section name", "[]\nA=1\n[Main]\nB=2\n", "", true, {{"A", "1"}}},
      {"absent section", "[Main]\nA=1\n", "Other", false, {}},
      {"section without entries", "[Main]\n\n//x\n[Other]\nA=1\n", "Main", false, {}},
      {"empty file", "", "Main", false, {}},
  };
  for (const SyntaxRow& row : rows) {
    SCOPED_TRACE(row.label);
    Put(file_, row.text);
    RawParameterList list;
    list.SetValue("stale", "x");
    RawProfile profile = Profile();
    EXPECT_EQ(profile.ReadSection(RawString::FromUtf8(row.section), list), row.found);
    EXPECT_EQ(EntriesOf(list), row.entries);
    // A one-pass visit sees the same entries.
    SectionMerger merger(RawString::FromUtf8(row.section));
    EXPECT_TRUE(Profile().VisitEntries(merger));
    EXPECT_EQ(EntriesOf(merger.list), row.entries);
  }
}

TEST_F(ProfileTest, VisitSeesEveryHeaderInOrder) {
  Put(file_, "A=0\n[One]\nA=1\n[two]\n[One]\nB=2\n[]\n");
  SectionMerger merger("one");
  EXPECT_TRUE(Profile().VisitEntries(merger));
  EXPECT_EQ(merger.headers, (std::vector<std::string>{"One", "two", "One", ""}));
  EXPECT_EQ(EntriesOf(merger.list), (Entries{{"A", "1"}, {"B", "2"}}));
  std::error_code ignored;
  fs::remove(file_, ignored);
  SectionMerger missing("one");
  EXPECT_FALSE(Profile().VisitEntries(missing));
  EXPECT_TRUE(missing.headers.empty());
}

TEST_F(ProfileTest, MissingProfileGivesEmptyListAndFallbacks) {
  RawProfile profile = Profile();
  RawParameterList list;
  list.SetValue("stale", "x");
  EXPECT_FALSE(profile.ReadSection("Main", list));
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(profile.GetValue("Main", "A", "fallback"), RawString("fallback"));
  Put(file_, "[Main]\nA=1\n");
  EXPECT_EQ(profile.GetValue("main", "a", "fallback"), RawString("1"));
  EXPECT_EQ(profile.GetValue("Main", "B", "fallback"), RawString("fallback"));
}

TEST_F(ProfileTest, ReadingLeavesAListSharingTheBodyAlone) {
  Put(file_, "[Main]\nA=1\n");
  RawParameterList list;
  list.SetValue("Kept", "yes");
  RawParameterList holder = list;
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.ReadSection("Main", list));
  EXPECT_EQ(EntriesOf(holder), (Entries{{"Kept", "yes"}}));
  EXPECT_EQ(EntriesOf(list), (Entries{{"A", "1"}}));
}

TEST_F(ProfileTest, LargeSectionKeepsTheOverwriteRule) {
  std::string text = "[Main]\n";
  for (int i = 0; i < 5000; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  for (int i = 0; i < 5000; i += 7) text += "KEY" + std::to_string(i) + "=again\n";
  Put(file_, text);
  RawParameterList list;
  RawProfile profile = Profile();
  ASSERT_TRUE(profile.ReadSection("Main", list));
  ASSERT_EQ(list.Count(), 5000);
  int i = 0;
  for (const RawParameterUnit& unit : list) {
    EXPECT_EQ(unit.key.ToUtf8(), "Key" + std::to_string(i));
    EXPECT_EQ(unit.value.ToUtf8(), i % 7 == 0 ? "again" : std::to_string(i));
    ++i;
  }
}

struct CodeRow {
  const char* label;
  TextCode code;
  bool mark;
};

TEST_F(ProfileTest, RewriteKeepsEncodingAndMark) {
  const CodeRow rows[] = {
      {"UTF-8", CodeUtf8, false},
      {"UTF-8 with mark", CodeUtf8, true},
      {"UTF-16 LE with mark", CodeUtf16Little, true},
      {"UTF-16 BE with mark", CodeUtf16Big, true},
      {"Shift_JIS", CodeShiftJis, false},
  };
  const std::string before = "; 日\r\n[Main]\r\nKey=値\r\n// keep\r\n[Other]\r\n// note 日\r\nX=テ\r\n";
  const std::string after =
      "; 日\r\n[Main]\r\nKey=値\r\nNew=テ\r\n\r\n[Other]\r\n// note 日\r\nX=テ\r\n";
  for (const CodeRow& row : rows) {
    SCOPED_TRACE(row.label);
    Put(file_, Encode(row.code, before, row.mark));
    RawProfile profile = Profile();
    EXPECT_EQ(profile.GetValue("Main", "Key", ""), RawString::FromUtf8("値"));
    EXPECT_EQ(profile.FileCode(), row.code);
    EXPECT_EQ(profile.HadMark(), row.mark);
    EXPECT_TRUE(profile.SetValue("Main", "New", RawString::FromUtf8("テ")));
    EXPECT_EQ(Bytes(file_), Encode(row.code, after, row.mark));
    EXPECT_FALSE(fs::exists(Temp()));
  }
}

TEST_F(ProfileTest, AsciiProfileTakesAnyTextAsUtf8) {
  Put(file_, "[Main]\r\nA=1\r\n");
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.SetValue("Main", "B", RawString::FromUtf8("Ä値")));
  EXPECT_EQ(Bytes(file_), "[Main]\r\nA=1\r\nB=\xC3\x84\xE5\x80\xA4\r\n\r\n");
}

// Hiragana in UTF-8 pair up as valid Shift_JIS: without a mark the next reader would take the
// file for Shift_JIS, so the rewrite puts the mark in front.
TEST_F(ProfileTest, AsciiProfileTakingTextThatReadsAsAnotherCodeGetsAMark) {
  Put(file_, "[Main]\r\nA=1\r\n");
  RawProfile profile = Profile();
  const RawString hiragana = RawString::FromUtf8("\xE3\x81\x82\xE3\x81\x84");
  ASSERT_TRUE(profile.SetValue("Main", "B", hiragana));
  EXPECT_EQ(Bytes(file_), "\xEF\xBB\xBF[Main]\r\nA=1\r\nB=\xE3\x81\x82\xE3\x81\x84\r\n\r\n");
  RawProfile again = Profile();
  EXPECT_EQ(again.GetValue("Main", "B", "missing"), hiragana);
}

TEST_F(ProfileTest, WriteSectionCreatesAMissingProfile) {
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.WriteSection("Main", ListOf({{"A", "1"}, {"B", ""}})));
  EXPECT_EQ(Bytes(file_), "[Main]\r\nA=1\r\nB=\r\n\r\n");
}

TEST_F(ProfileTest, WriteSectionCopiesEverythingElseLineByLine) {
  Put(file_,
      "Text before\n// header comment\n[First] trailing\n  spaced = x\n\n// c1\n"
      "[main]\nOld=1\n// dropped\n[Last\nZ=1");
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.WriteSection("Main", ListOf({{"A", "1"}})));
  EXPECT_EQ(Bytes(file_),
            "Text before\r\n// header comment\r\n[First] trailing\r\n  spaced = x\r\n\r\n// c1\r\n"
            "[Main]\r\nA=1\r\n\r\n[Last\r\nZ=1\r\n");
}

TEST_F(ProfileTest, WriteSectionReplacesEveryMatchingSectionAndAppendsOtherwise) {
  Put(file_, "[Main]\nA=0\n[Other]\nB=1\n[MAIN]\nC=2\n");
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.WriteSection("Main", ListOf({{"A", "1"}})));
  EXPECT_EQ(Bytes(file_), "[Main]\r\nA=1\r\n\r\n[Other]\r\nB=1\r\n[Main]\r\nA=1\r\n\r\n");
  EXPECT_TRUE(profile.WriteSection("New", ListOf({{"N", "2"}})));
  EXPECT_EQ(Bytes(file_), "[Main]\r\nA=1\r\n\r\n[Other]\r\nB=1\r\n[Main]\r\nA=1\r\n\r\n[New]\r\nN=2\r\n\r\n");
  // Written twice, read as one list.
  RawParameterList list;
  EXPECT_TRUE(profile.ReadSection("main", list));
  EXPECT_EQ(EntriesOf(list), (Entries{{"A", "1"}}));
}

TEST_F(ProfileTest, RewritesRefuseTextsThatWouldNotReadBack) {
  const std::string old = "[Main]\r\nA=1\r\n";
  const Entries rows[] = {
      {{"A", "line\r\n[Injected]"}},
      {{"A", "lone\nbreak"}},
      {{"Key=Part", "1"}},
      {{"[Header", "1"}},
      {{"//Comment", "1"}},
      {{"Break\rKey", "1"}},
  };
  for (const Entries& row : rows) {
    SCOPED_TRACE(row[0].first);
    Put(file_, old);
    RawProfile profile = Profile();
    EXPECT_FALSE(profile.WriteSection("Main", ListOf(row)));
    EXPECT_EQ(Bytes(file_), old);
    EXPECT_FALSE(fs::exists(Temp()));
    ListSaver saver(row);
    EXPECT_FALSE(profile.Update(saver, "Main"));
    EXPECT_EQ(Bytes(file_), old);
    EXPECT_FALSE(fs::exists(Temp()));
  }
  RawProfile profile = Profile();
  EXPECT_FALSE(profile.WriteSection("Bad\nName", ListOf({{"A", "1"}})));
  EXPECT_EQ(Bytes(file_), old);
}

// An entry line the reader's buffer cannot hold would end every later reading at
// it: the rewrite refuses it, and the longest line that fits reads back.
TEST_F(ProfileTest, EntryLongerThanTheReaderCanHoldIsRefused) {
  const std::string old = "[A]\nk=v\n[B]\nx=y\n";
  const int32_t limit = RawLineFileInfo::kDefaultBufferSize - 1;  // bytes of a line before its end
  const std::string key = "Long";
  const std::string fits(static_cast<size_t>(limit) - key.size() - 1, 'x');
  const std::string tooLong = fits + "x";
  for (const std::string& value : {std::string(9000, 'x'), tooLong}) {
    SCOPED_TRACE(value.size());
    Put(file_, old);
    RawProfile profile = Profile();
    EXPECT_FALSE(profile.SetValue("A", RawString::FromUtf8(key), RawString::FromUtf8(value)));
    ListSaver saver(Entries{{key, value}});
    EXPECT_FALSE(profile.Update(saver, "A"));
    EXPECT_EQ(Bytes(file_), old);
    EXPECT_FALSE(fs::exists(Temp()));
  }
  RawProfile profile = Profile();
  ASSERT_TRUE(profile.SetValue("A", RawString::FromUtf8(key), RawString::FromUtf8(fits)));
  EXPECT_EQ(profile.GetValue("A", RawString::FromUtf8(key), ""), RawString::FromUtf8(fits));
  EXPECT_EQ(profile.GetValue("B", "x", ""), RawString("y"));
  // A profile read with a smaller buffer is written for that buffer.
  Put(file_, old);
  profile.SetBufferSize(64);
  EXPECT_FALSE(profile.SetValue("B", "x", RawString::FromUtf8(std::string(70, 'y'))));
  EXPECT_TRUE(profile.SetValue("B", "x", "z"));
}

TEST_F(ProfileTest, UpdateRewritesFromParsedSections) {
  Put(file_,
      "Text before\n[Other]\n// gone\nB = 2\n\n[]\nE=0\n[main]\nOld=1\n[Tail]\nC=3\n[MAIN]\nOld=2\n");
  RawProfile profile = Profile();
  ListSaver saver(Entries{{"A", "1"}});
  EXPECT_TRUE(profile.Update(saver, "Main"));
  EXPECT_EQ(saver.calls, 1);
  EXPECT_EQ(Bytes(file_),
            "[Other]\r\nB = 2\r\n\r\n[]\r\nE=0\r\n\r\n[Main]\r\nA=1\r\n\r\n[Tail]\r\nC=3\r\n\r\n");
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, UpdateCallsTheSaverAtTheEndWhenNoSectionMatches) {
  Put(file_, "[Other]\nB=2\n");
  RawProfile profile = Profile();
  ListSaver saver(Entries{{"A", "1"}});
  EXPECT_TRUE(profile.Update(saver, "Main"));
  EXPECT_EQ(saver.calls, 1);
  EXPECT_EQ(Bytes(file_), "[Other]\r\nB=2\r\n\r\n[Main]\r\nA=1\r\n\r\n");
}

TEST_F(ProfileTest, UpdateCreatesAMissingProfile) {
  RawProfile profile = Profile();
  ListSaver saver(Entries{{"A", "1"}});
  EXPECT_TRUE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), "[Main]\r\nA=1\r\n\r\n");
}

TEST_F(ProfileTest, UpdateWritesTheDestinationFromTheSource) {
  Put(file_, "[Other]\nB=2\n[Main]\nA=0\n");
  fs::path destination = folder_ / "out.txt";
  Put(destination, "old");
  RawProfile profile = Profile();
  profile.SetDestination(PathText(destination));
  ListSaver saver(Entries{{"A", "1"}});
  EXPECT_TRUE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(destination), "[Other]\r\nB=2\r\n\r\n[Main]\r\nA=1\r\n\r\n");
  EXPECT_EQ(Bytes(file_), "[Other]\nB=2\n[Main]\nA=0\n");
  EXPECT_FALSE(fs::exists(fs::path(destination) += ".tmp"));
}

TEST_F(ProfileTest, RefusingSaverLeavesTheProfile) {
  const std::string old = "[Main]\nA=0\n[Other]\nB=1\n";
  Put(file_, old);
  RawProfile profile = Profile();
  ListSaver saver(Entries{{"A", "1"}}, false);
  EXPECT_FALSE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, EnumerateHandsOverMatchingSectionsInOrder) {
  Put(file_, "[Item]\nA=1\n[Other]\nX=0\n[ITEM]\nA=2\nB=3\n[item]\n[Item]\nA=4\n");
  RawProfile profile = Profile();
  Collector all;
  EXPECT_TRUE(profile.Enumerate("Item", all));
  ASSERT_EQ(all.names, (std::vector<std::string>{"Item", "ITEM", "item", "Item"}));
  // Each section keeps its own list, though the enumerator held on to them.
  EXPECT_EQ(EntriesOf(all.lists[0]), (Entries{{"A", "1"}}));
  EXPECT_EQ(EntriesOf(all.lists[1]), (Entries{{"A", "2"}, {"B", "3"}}));
  EXPECT_TRUE(all.lists[2].IsEmpty());
  EXPECT_EQ(EntriesOf(all.lists[3]), (Entries{{"A", "4"}}));

  Collector first(1);
  EXPECT_TRUE(profile.Enumerate("item", first));
  EXPECT_EQ(first.names.size(), 1u);

  Collector none;
  RawProfile missing(PathText(folder_ / "missing.txt"));
  EXPECT_FALSE(missing.Enumerate("Item", none));
  EXPECT_TRUE(none.names.empty());
}

TEST_F(ProfileTest, UnreadableRestRefusesEveryRewrite) {
  // A line longer than the buffer ends reading early: what was read is used,
  // but the file must not be rewritten from it.
  const std::string old = "[Main]\nA=1\n[Other]\nLong=" + std::string(200, 'x') + "\nB=2\n";
  Put(file_, old);
  RawProfile profile = Profile();
  profile.SetBufferSize(64);
  EXPECT_EQ(profile.GetValue("Main", "A", ""), RawString("1"));
  EXPECT_FALSE(profile.WriteSection("Main", ListOf({{"A", "2"}})));
  EXPECT_FALSE(profile.SetValue("Main", "A", "3"));
  ListSaver saver(Entries{{"A", "4"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, UnconvertibleProfileIsNotRewritten) {
  const std::pair<const char*, std::string> rows[] = {
      // A lead byte followed by a byte that cannot trail it.
      {"Shift_JIS", std::string("[Main]\r\nA=\x93\xFA\x81\x20\r\n[Other]\r\nB=1\r\n")},
      // A high surrogate without its partner.
      {"UTF-16 LE", std::string("\xFF\xFE[\0M\0]\0\r\0\n\0A\0=\0\x00\xD8x\0\r\0\n\0[\0O\0]\0\r\0\n\0", 34)},
  };
  for (const auto& [label, old] : rows) {
    SCOPED_TRACE(label);
    Put(file_, old);
    RawProfile profile = Profile();
    EXPECT_FALSE(profile.WriteSection("Other", ListOf({{"B", "2"}})));
    EXPECT_FALSE(profile.SetValue("Other", "B", "2"));
    ListSaver saver(Entries{{"B", "2"}});
    EXPECT_FALSE(profile.Update(saver, "Other"));
    EXPECT_EQ(Bytes(file_), old);
    EXPECT_FALSE(fs::exists(Temp()));
  }
  // Text already in the wanted code is passed on byte for byte, so a rewrite
  // keeps even bytes that are no UTF-8.
  const std::string kept = "\xEF\xBB\xBF[Main]\r\nA=\xC3\x28\xFF\r\n[Other]\r\nB=1\r\n";
  Put(file_, kept);
  RawProfile profile = Profile();
  EXPECT_TRUE(profile.SetValue("Other", "B", "2"));
  EXPECT_EQ(Bytes(file_), "\xEF\xBB\xBF[Main]\r\nA=\xC3\x28\xFF\r\n[Other]\r\nB=2\r\n\r\n");
}

TEST_F(ProfileTest, TextOutsideTheFileCodeIsRefused) {
  const std::string old = Encode(CodeShiftJis, "[Main]\r\nKey=値\r\n", false);
  Put(file_, old);
  RawProfile profile = Profile();
  EXPECT_EQ(profile.GetValue("Main", "Key", ""), RawString::FromUtf8("値"));
  ASSERT_EQ(profile.FileCode(), CodeShiftJis);
  // Hangul and an emoji have no Shift_JIS form.
  EXPECT_FALSE(profile.SetValue("Main", "Key", RawString::FromUtf8("한")));
  EXPECT_FALSE(profile.WriteSection("Main", ListOf({{"\xF0\x9F\x98\x80", "1"}})));
  ListSaver saver(Entries{{"Key", "한"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, BinaryFileIsReadButNeverRewritten) {
  // Starts like a Windows program, then noise, with section headers inside.
  std::string old("MZ\x90\x00\x03\x00\r\n[Main]\r\nA=1\r\n", 21);
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) old.push_back(static_cast<char>(random()));
  old += "\r\n[Main]\r\nB=2\r\n";
  Put(file_, old);
  RawProfile profile = Profile();
  RawParameterList list;
  (void)profile.ReadSection("Main", list);
  EXPECT_FALSE(profile.WriteSection("Main", ListOf({{"A", "2"}})));
  EXPECT_FALSE(profile.SetValue("Main", "A", "3"));
  ListSaver saver(Entries{{"A", "4"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, FolderAsProfile) {
  fs::create_directory(file_);
  RawProfile profile = Profile();
  RawParameterList list;
  EXPECT_FALSE(profile.ReadSection("Main", list));
  EXPECT_EQ(profile.GetValue("Main", "A", "fallback"), RawString("fallback"));
  EXPECT_FALSE(profile.WriteSection("Main", ListOf({{"A", "1"}})));
  EXPECT_FALSE(profile.SetValue("Main", "A", "1"));
  ListSaver saver(Entries{{"A", "1"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  Collector none;
  EXPECT_FALSE(profile.Enumerate("Main", none));
  EXPECT_TRUE(fs::is_directory(file_));
  EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(ProfileTest, ReadOnlyProfileIsNotReplaced) {
  const std::string old = "[Main]\r\nA=1\r\n";
  Put(file_, old);
  fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  RawProfile profile = Profile();
  EXPECT_FALSE(profile.SetValue("Main", "A", "2"));
  ListSaver saver(Entries{{"A", "3"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
  EXPECT_EQ(profile.GetValue("Main", "A", ""), RawString("1"));
}

// A profile held open by another program without delete sharing cannot be
// replaced on Windows. POSIX has no such lock: rename replaces an open file.
TEST_F(ProfileTest, LockedProfileOnWindows) {
  if (PathSeparator() != '\\') GTEST_SKIP() << "rename replaces open files";
  const std::string old = "[Main]\r\nA=1\r\n";
  Put(file_, old);
  RawProfile profile = Profile();
  RawFile holder;
  ASSERT_TRUE(holder.OpenRead(PathText(file_)));
  EXPECT_FALSE(profile.SetValue("Main", "A", "2"));
  ListSaver saver(Entries{{"A", "3"}});
  EXPECT_FALSE(profile.Update(saver, "Main"));
  holder.Close();
  EXPECT_EQ(Bytes(file_), old);
  EXPECT_FALSE(fs::exists(Temp()));
}

// A rewrite with its Nth file operation failing, for every N: the profile on
// disk is the old file or the complete new one, the answer says which, and the
// temporary file is gone unless removing it was the operation that failed.
struct RewriteRow {
  const char* label;
  bool (*rewrite)(RawProfile&);
  const char* expected;
};

bool RewriteBySection(RawProfile& profile) { return profile.WriteSection("Main", ListOf({{"A", "new"}})); }
bool RewriteByUpdate(RawProfile& profile) {
  ListSaver saver(Entries{{"A", "new"}});
  return profile.Update(saver, "Main");
}
bool RewriteByValue(RawProfile& profile) { return profile.SetValue("Main", "A", "new"); }

TEST_F(ProfileTest, EveryFailingFileOperationLeavesOldOrNewProfile) {
  // [Main] spans several chunks of the small buffer and appears twice, so a
  // read cut short loses keys that a rewrite from it would drop.
  std::string keys;
  for (int i = 0; i < 10; ++i) keys += "Keep" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  std::string others;
  for (int i = 0; i < 40; ++i) others += "[S" + std::to_string(i) + "]\r\nK=" + std::to_string(i) + "\r\n";
  const std::string old = "// head\r\n[Main]\r\nA=old\r\n" + keys + others + "[main]\r\nTail=1\r\n";

  const std::string bySection = "// head\r\n[Main]\r\nA=new\r\n\r\n" + others + "[Main]\r\nA=new\r\n\r\n";
  const std::string whole = "[Main]\r\nA=new\r\n" + keys + "Tail=1\r\n\r\n";
  const std::string byValue = "// head\r\n" + whole + others + whole;
  std::string byUpdate = "[Main]\r\nA=new\r\n\r\n";
  for (int i = 0; i < 40; ++i) byUpdate += "[S" + std::to_string(i) + "]\r\nK=" + std::to_string(i) + "\r\n\r\n";
  const RewriteRow rows[] = {
      {"WriteSection", RewriteBySection, bySection.c_str()},
      {"Update", RewriteByUpdate, byUpdate.c_str()},
      {"SetValue", RewriteByValue, byValue.c_str()},
  };
  for (const RewriteRow& row : rows) {
    SCOPED_TRACE(row.label);
    Put(file_, old);
    RawProfile counted = Profile();
    counted.SetBufferSize(64);
    RawFileFaults::StartCounting();
    ASSERT_TRUE(row.rewrite(counted));
    int64_t operations = RawFileFaults::OperationCount();
    RawFileFaults::Reset();
    ASSERT_EQ(Bytes(file_), row.expected);
    ASSERT_GT(operations, 10);

    for (int64_t n = 1; n <= operations; ++n) {
      SCOPED_TRACE("failing operation " + std::to_string(n));
      Put(file_, old);
      fs::remove(Temp());
      RawProfile profile = Profile();
      profile.SetBufferSize(64);
      RawFileFaults::StartCounting();
      RawFileFaults::FailOperation(n);
      bool done = row.rewrite(profile);
      bool removalFailed = RawFileFaults::OperationCount() == n && !done && fs::exists(Temp());
      RawFileFaults::Reset();
      std::string now = Bytes(file_);
      if (now == old) {
        EXPECT_FALSE(done);
      } else {
        EXPECT_EQ(now, row.expected);
        EXPECT_TRUE(done);
      }
      if (!removalFailed) {
        EXPECT_FALSE(fs::exists(Temp()));
      }
    }
  }
}

TEST_F(ProfileTest, TenThousandSections) {
  std::string text;
  for (int i = 0; i < 10000; ++i) {
    text += "[Item]\r\nFile=f" + std::to_string(i) + "\r\n[S" + std::to_string(i) + "]\r\nA=" + std::to_string(i) +
            "\r\n";
  }
  Put(file_, text);
  RawProfile profile = Profile();
  EXPECT_EQ(profile.GetValue("S9999", "A", ""), RawString("9999"));
  EXPECT_EQ(profile.GetValue("Item", "File", ""), RawString("f9999"));

  Collector items;
  EXPECT_TRUE(profile.Enumerate("item", items));
  ASSERT_EQ(items.names.size(), 10000u);
  EXPECT_EQ(EntriesOf(items.lists[4321]), (Entries{{"File", "f4321"}}));

  EXPECT_TRUE(profile.SetValue("S5000", "B", "x"));
  EXPECT_EQ(profile.GetValue("S5000", "B", ""), RawString("x"));
  EXPECT_EQ(profile.GetValue("S4999", "A", ""), RawString("4999"));
  EXPECT_EQ(Bytes(file_).size(), text.size() + std::string("B=x\r\n\r\n").size());

  ListSaver saver(Entries{{"File", "one"}});
  EXPECT_TRUE(profile.Update(saver, "Item"));
  Collector after;
  EXPECT_TRUE(profile.Enumerate("Item", after));
  ASSERT_EQ(after.names.size(), 1u);
  EXPECT_EQ(EntriesOf(after.lists[0]), (Entries{{"File", "one"}}));
  EXPECT_EQ(profile.GetValue("S9999", "A", ""), RawString("9999"));
}

}  // namespace
}  // namespace RawLayer
