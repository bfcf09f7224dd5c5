#include "raw/folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "raw/path.h"
#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;

RawString Utf8(const std::string& text) { return RawString::FromUtf8(text); }

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestFiles::ScratchFolder("folder");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void MakeFile(const std::string& name, size_t size) {
    std::ofstream(dir_ / fs::path(std::u8string(name.begin(), name.end())), std::ios::binary)
        << std::string(size, 'x');
  }
  // The folder as this platform writes it, with a trailing separator.
  std::string Folder() const { return dir_.string() + PathSeparator(); }
  std::vector<std::string> Walk(const std::string& pattern) const {
    std::vector<std::string> names;
    RawFolderWalker walker(Utf8(Folder() + pattern));
    while (walker.Next()) names.push_back(walker.Entry().name.ToUtf8());
    return names;
  }

  fs::path dir_;
};

TEST_F(FolderTest, WalkGivesEntriesWithTheirFieldsAndNeverTheDotEntries) {
  EXPECT_TRUE(Walk("*").empty()) << "an empty folder holds only . and ..";
  MakeFile("a.txt", 3);
  MakeFile("B.TXT", 0);
  MakeFile("link.LnK", 1);
  fs::create_directory(dir_ / "sub");

  std::set<std::string> seen;
  RawFolderWalker walker(Utf8(Folder() + "*"));
  while (walker.Next()) {
    const RawFindFileData& entry = walker.Entry();
    const std::string name = entry.name.ToUtf8();
    EXPECT_TRUE(seen.insert(name).second) << name;
    EXPECT_EQ(entry.fullPath.ToUtf8(), Folder() + name);
    EXPECT_EQ(walker.IsShortcut(), name == "link.LnK") << name;
    EXPECT_EQ(entry.IsFolder(), name == "sub") << name;
    if (name == "a.txt") {
      EXPECT_EQ(entry.size, 3u);
    }
    if (name != "sub") {
      EXPECT_NE(entry.lastWriteTime, 0u) << name;
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"a.txt", "B.TXT", "link.LnK", "sub"}));
  EXPECT_FALSE(walker.Next()) << "a finished walk stays finished";

  std::vector<std::string> text = Walk("*.txt");
  EXPECT_EQ(std::set<std::string>(text.begin(), text.end()), (std::set<std::string>{"a.txt", "B.TXT"}))
      << "names match ignoring case";
}

// A walk for names and kinds gives the same entries, each a folder or not as a full walk
// says; a link counts as what it names.
TEST_F(FolderTest, NamesAndKindsWalkAgreesWithTheFullWalk) {
  MakeFile("a.txt", 3);
  MakeFile(".hidden", 1);
  fs::create_directory(dir_ / "sub");
  std::error_code noLinks;
  fs::create_directory_symlink(dir_ / "sub", dir_ / "to-sub", noLinks);
  fs::create_symlink(dir_ / "a.txt", dir_ / "to-a", noLinks);
  const auto walk = [&](RawFolderWalker::Detail detail) {
    std::set<std::pair<std::string, uint32_t>> entries;
    RawFolderWalker walker(Utf8(Folder() + "*"), detail);
    while (walker.Next()) {
      const RawFindFileData& entry = walker.Entry();
      EXPECT_EQ(entry.fullPath.ToUtf8(), Folder() + entry.name.ToUtf8());
      entries.emplace(entry.name.ToUtf8(), entry.attributes & (kAttributeFolder | kAttributeHidden));
    }
    return entries;
  };
  const auto full = walk(RawFolderWalker::kFullEntries);
  EXPECT_EQ(full.size(), noLinks ? 3u : 5u);
  EXPECT_EQ(walk(RawFolderWalker::kNamesAndKinds), full);
}

TEST_F(FolderTest, NamesComeInTheCodeOfThePath) {
  MakeFile("\xC3\xA9t\xC3\xA9.txt", 1);  // "été.txt"
  RawFolderWalker walker(RawString(CodeWide, Utf8(Folder() + "*")));
  ASSERT_TRUE(walker.Next());
  EXPECT_EQ(walker.Entry().name.Code(), CodeWide);
  EXPECT_EQ(walker.Entry().name.ToUtf8(), "\xC3\xA9t\xC3\xA9.txt");
  EXPECT_EQ(walker.Entry().fullPath.Code(), CodeWide);
  EXPECT_FALSE(walker.Next());
}

TEST_F(FolderTest, AFolderThatCannotBeListedEndsTheWalkAtOnce) {
  RawFolderWalker walker(Utf8(Folder() + "missing" + PathSeparator() + "*"));
  EXPECT_FALSE(walker.Next());
  EXPECT_FALSE(walker.Next());
  EXPECT_EQ(CountEntries(Utf8(Folder() + "missing" + PathSeparator() + "*"), false), 0);
}

struct CountRow {
  const char* pattern;
  bool folders;
  int32_t count;
};

TEST_F(FolderTest, CountEntriesSeparatesFilesFromFolders) {
  for (const char* name : {"one.txt", "two.TXT", "three.log", "sub.txt.bak"}) MakeFile(name, 1);
  for (const char* name : {"sub1", "sub2", "data.txt"}) fs::create_directory(dir_ / name);
  const CountRow rows[] = {
      {"*", false, 4},    {"*", true, 3},        {"*.txt", false, 2}, {"*.txt", true, 1},
      {"sub*", true, 2},  {"sub*", false, 1},    {"ONE.TXT", false, 1}, {"nothing*", false, 0},
      {"?????.txt", false, 0}, {"???.txt", false, 2},
  };
  for (const CountRow& row : rows) {
    EXPECT_EQ(CountEntries(Utf8(Folder() + row.pattern), row.folders), row.count)
        << row.pattern << (row.folders ? " folders" : " files");
  }
}

RawFindFileData Entry(const char* name, uint64_t time, uint64_t size) {
  RawFindFileData entry;
  entry.name = Utf8(name);
  entry.lastWriteTime = time;
  entry.size = size;
  return entry;
}

std::vector<std::string> SortedNames(int32_t mode) {
  RawFolderFileList list;
  // Times and sizes reach past 32 bits so that a narrowed comparison would be caught.
  list.Add(Entry("b", 0x1'0000'0002, 30));
  list.Add(Entry("a_", 5, 0x2'0000'0000));
  list.Add(Entry("AB", 0x1'0000'0001, 1));
  list.Add(Entry("abc", 7, 20));
  list.Add(Entry("ab", 1, 0x1'0000'0000));
  list.Sort(RawFolderFileListSort(mode), false);
  std::vector<std::string> names;
  for (const RawFindFileData& entry : list) names.push_back(entry.name.ToUtf8());
  return names;
}

TEST(FolderFileListSort, OrdersByNameTimeOrSize) {
  // By name, letters fold to upper case: "AB" and "ab" equal, both before "a_" ('B' < '_' < 'b').
  std::vector<std::string> byName = SortedNames(RawFolderFileListSort::ByName);
  ASSERT_EQ(byName.size(), 5u);
  EXPECT_EQ(std::set<std::string>(byName.begin(), byName.begin() + 2), (std::set<std::string>{"AB", "ab"}));
  EXPECT_EQ(std::vector<std::string>(byName.begin() + 2, byName.end()), (std::vector<std::string>{"abc", "a_", "b"}));
  EXPECT_EQ(SortedNames(RawFolderFileListSort::ByTime), (std::vector<std::string>{"ab", "a_", "abc", "AB", "b"}));
  EXPECT_EQ(SortedNames(RawFolderFileListSort::BySize), (std::vector<std::string>{"AB", "abc", "b", "ab", "a_"}));
  std::vector<std::string> unordered = SortedNames(9);
  EXPECT_EQ(std::set<std::string>(unordered.begin(), unordered.end()),
            (std::set<std::string>{"b", "a_", "AB", "abc", "ab"}));
}

}  // namespace
}  // namespace RawLayer
