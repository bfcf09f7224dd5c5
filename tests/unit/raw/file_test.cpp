#include "raw/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

RawString PathText(const std::string& utf8) { return RawString::FromUtf8(utf8); }

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestFiles::ScratchFolder("file");
  }
  void TearDown() override {
    RawFileFaults::Reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path File(const char* name) const { return dir_ / name; }

  fs::path dir_;
};

TEST_F(FileTest, WritesReadsAndSeeks) {
  const fs::path path = File("data");
  {
    RawFile file;
    ASSERT_TRUE(file.OpenWrite(PathText(path)));
    ASSERT_TRUE(file.Write("hello, ", 7));
    ASSERT_TRUE(file.Write("world", 5));
    ASSERT_TRUE(file.Flush());
  }
  EXPECT_EQ("hello, world", Bytes(path));

  RawFile file;
  ASSERT_TRUE(file.OpenRead(PathText(path)));
  char buffer[16] = {};
  int32_t got = -1;
  ASSERT_TRUE(file.Read(buffer, 5, got));
  EXPECT_EQ("hello", std::string(buffer, got));
  ASSERT_TRUE(file.Seek(-3));
  ASSERT_TRUE(file.Read(buffer, 4, got));
  EXPECT_EQ("llo,", std::string(buffer, got));
  ASSERT_TRUE(file.Seek(2));
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, got));
  EXPECT_EQ("orld", std::string(buffer, got));
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, got));
  EXPECT_EQ(0, got) << "the end of the file reads as nothing";

  // Truncating: a second OpenWrite empties the file.
  RawFile writer;
  ASSERT_TRUE(writer.OpenWrite(PathText(path)));
  writer.Close();
  EXPECT_EQ("", Bytes(path));
}

TEST_F(FileTest, MovedHandleKeepsTheFileOpen) {
  const fs::path path = File("moved");
  Put(path, "abc");
  RawFile first;
  ASSERT_TRUE(first.OpenRead(PathText(path)));
  RawFile second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  RawFile third;
  third = std::move(second);
  EXPECT_FALSE(second.IsOpen());
  char buffer[4];
  int32_t got = 0;
  ASSERT_TRUE(third.Read(buffer, 4, got));
  EXPECT_EQ(3, got);
  int32_t none = 0;
  EXPECT_FALSE(first.Read(buffer, 4, none)) << "a closed file reads nothing";
}

TEST_F(FileTest, PathKindsAndFolders) {
  const fs::path folder = File("folder");
  const fs::path file = File("file");
  Put(file, "x");
  EXPECT_EQ(RawPathKind::Missing, PathKind(PathText(folder)));
  EXPECT_TRUE(CreateFolderAt(PathText(folder)));
  EXPECT_FALSE(CreateFolderAt(PathText(folder))) << "the folder exists";
  EXPECT_FALSE(CreateFolderAt(PathText(folder / "a" / "b"))) << "one level only";
  EXPECT_EQ(RawPathKind::Folder, PathKind(PathText(folder)));
  EXPECT_EQ(RawPathKind::File, PathKind(PathText(file)));

  RawFile reader;
  EXPECT_FALSE(reader.OpenRead(PathText(folder))) << "a folder is no file";
  EXPECT_FALSE(reader.OpenRead(PathText(File("missing"))));
  EXPECT_FALSE(reader.IsOpen());

  EXPECT_TRUE(DeleteFileAt(PathText(file)));
  EXPECT_EQ(RawPathKind::Missing, PathKind(PathText(file)));
  EXPECT_FALSE(DeleteFileAt(PathText(file)));
}

TEST_F(FileTest, BackslashSeparatorsWorkOnEveryPlatform) {
  fs::create_directories(File("sub"));
  std::u8string base = dir_.u8string();
  const std::string path = std::string(reinterpret_cast<const char*>(base.data()), base.size()) + "\\sub\\name.txt";
  RawFile file;
  ASSERT_TRUE(file.OpenWrite(PathText(path)));
  ASSERT_TRUE(file.Write("x", 1));
  file.Close();
  EXPECT_EQ("x", Bytes(File("sub") / "name.txt"));
  EXPECT_EQ(RawPathKind::File, PathKind(PathText(path)));
}

// A file held for a moment is waited for; one held longer, or another failure, is given up.
TEST(HeldFileTest, AttemptsUntilDoneFailedOrOutOfTries) {
  using A = RawAttempt;
  const struct {
    const char* what;
    std::vector<A> answers;  // the attempts' answers in turn; the last one repeats
    bool done;
    size_t attempts;
  } rows[] = {
      {"free at once", {A::Done}, true, 1},
      {"let go after three", {A::Held, A::Held, A::Held, A::Done}, true, 4},
      {"let go at the last try", {A::Held, A::Held, A::Held, A::Held, A::Done}, true, 5},
      {"held past the tries", {A::Held}, false, 5},
      {"another failure at once", {A::Failed}, false, 1},
      {"another failure after a hold", {A::Held, A::Failed}, false, 2},
  };
  for (const auto& row : rows) {
    size_t attempts = 0;
    const bool done = RetryWhileHeld(
        [&] {
          const A answer = row.answers[std::min(attempts, row.answers.size() - 1)];
          ++attempts;
          return answer;
        },
        5, 0);
    EXPECT_EQ(done, row.done) << row.what;
    EXPECT_EQ(attempts, row.attempts) << row.what;
  }
}

TEST_F(FileTest, ReplacesAtomicallyAndMovesIntoFreePlaces) {
  const fs::path source = File("new");
  const fs::path target = File("target");
  Put(source, "new text");
  Put(target, "old text");
  ASSERT_TRUE(ReplaceFileSafely(PathText(source), PathText(target)));
  EXPECT_EQ("new text", Bytes(target));
  EXPECT_FALSE(fs::exists(source));

  const fs::path freePlace = File("free");
  ASSERT_TRUE(ReplaceFileSafely(PathText(target), PathText(freePlace)));
  EXPECT_EQ("new text", Bytes(freePlace));

  Put(target, "kept");
  EXPECT_FALSE(ReplaceFileSafely(PathText(source), PathText(target))) << "the source is gone";
  EXPECT_EQ("kept", Bytes(target));
}

// Paths beyond the classic 260-unit limit, with both separators. The standard
// library of mingw-w64 cannot remove such a tree, so the test moves every level
// up to a short name at the end, which also proves that folders move.
TEST_F(FileTest, LongPathsWork) {
  std::u8string base = fs::absolute(dir_).u8string();
  std::string path(reinterpret_cast<const char*>(base.data()), base.size());
  const std::string part(60, 'd');
  std::vector<std::string> levels;
  for (int i = 0; i < 5; ++i) {
    path += (i % 2 ? "/" : "\\") + part + std::to_string(i);
    ASSERT_TRUE(CreateFolderAt(PathText(path))) << path.size();
    levels.push_back(path);
  }
  ASSERT_GT(path.size(), 300u);
  const std::string file = path + "/file.txt";
  const std::string other = path + "\\other.txt";
  RawFile writer;
  ASSERT_TRUE(writer.OpenWrite(PathText(file)));
  ASSERT_TRUE(writer.Write("long", 4));
  ASSERT_TRUE(writer.Flush());
  writer.Close();
  EXPECT_EQ(RawPathKind::File, PathKind(PathText(file)));
  EXPECT_EQ(RawPathKind::Folder, PathKind(PathText(path)));
  ASSERT_TRUE(ReplaceFileSafely(PathText(file), PathText(other)));
  RawFile reader;
  ASSERT_TRUE(reader.OpenRead(PathText(other)));
  char buffer[8];
  int32_t got = 0;
  ASSERT_TRUE(reader.Read(buffer, 8, got));
  EXPECT_EQ("long", std::string(buffer, got));
  reader.Close();
  EXPECT_TRUE(DeleteFileAt(PathText(other)));
  EXPECT_EQ(RawPathKind::Missing, PathKind(PathText(other)));
  for (size_t i = levels.size(); i-- > 0;) {
    EXPECT_TRUE(ReplaceFileSafely(PathText(levels[i]), PathText(dir_ / std::to_string(i))));
  }
}

TEST_F(FileTest, FaultCounterFailsExactlyTheNthOperation) {
  const fs::path path = File("counted");
  RawFileFaults::StartCounting();
  RawFile file;
  ASSERT_TRUE(file.OpenWrite(PathText(path)));
  ASSERT_TRUE(file.Write("a", 1));
  EXPECT_EQ(2, RawFileFaults::OperationCount());
  RawFileFaults::FailOperation(2);
  EXPECT_TRUE(file.Write("b", 1));
  EXPECT_FALSE(file.Write("c", 1));
  EXPECT_TRUE(file.Write("d", 1)) << "only one operation fails";
  EXPECT_EQ(5, RawFileFaults::OperationCount());
  RawFileFaults::Reset();
  EXPECT_EQ(0, RawFileFaults::OperationCount());
  EXPECT_TRUE(file.Write("e", 1));
  EXPECT_EQ(0, RawFileFaults::OperationCount()) << "counting is off after Reset";
  file.Close();
  EXPECT_EQ("abde", Bytes(path));
}

// Every fallible operation consults the counter, and a failed one changes nothing.
TEST_F(FileTest, EveryFallibleOperationCanBeMadeToFail) {
  const fs::path a = File("a");
  const fs::path b = File("b");
  struct Row {
    const char* name;
    std::function<bool()> operation;
    std::function<void()> unchanged;
  } rows[] = {
      {"open read", [&] { return RawFile().OpenRead(PathText(a)); }, [] {}},
      {"open write", [&] { return RawFile().OpenWrite(PathText(a)); }, [&] { EXPECT_EQ("aaa", Bytes(a)); }},
      {"replace", [&] { return ReplaceFileSafely(PathText(a), PathText(b)); },
       [&] {
         EXPECT_EQ("aaa", Bytes(a));
         EXPECT_EQ("bbb", Bytes(b));
       }},
      {"delete", [&] { return DeleteFileAt(PathText(a)); }, [&] { EXPECT_TRUE(fs::exists(a)); }},
      {"create folder", [&] { return CreateFolderAt(PathText(File("c"))); }, [&] { EXPECT_FALSE(fs::exists(File("c"))); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Put(a, "aaa");
    Put(b, "bbb");
    RawFileFaults::FailOperation(1);
    EXPECT_FALSE(row.operation());
    row.unchanged();
    RawFileFaults::Reset();
  }

  using Step = bool (*)(RawFile&);
  const std::pair<const char*, Step> steps[] = {
      {"read", [](RawFile& f) { char c; int32_t got; return f.Read(&c, 1, got); }},
      {"write", [](RawFile& f) { return f.Write("x", 1); }},
      {"seek", [](RawFile& f) { return f.Seek(0); }},
      {"flush", [](RawFile& f) { return f.Flush(); }},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    RawFile file;
    ASSERT_TRUE(std::string(name) == "read" ? file.OpenRead(PathText(a)) : file.OpenWrite(PathText(b)));
    RawFileFaults::FailOperation(1);
    EXPECT_FALSE(step(file));
    EXPECT_TRUE(step(file));
  }
}

}  // namespace
}  // namespace RawLayer
