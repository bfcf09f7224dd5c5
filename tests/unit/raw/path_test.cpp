#include "raw/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "raw/file.h"
#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::FsPath;
using TestFiles::PathText;

std::string Unique(const char* stem) {
  std::random_device seed;
  return std::string(stem) + "-" + std::to_string(seed());
}

struct AbsoluteRow {
  const char* path;
  bool absolute;
};

TEST(Path, AbsolutePaths) {
  const AbsoluteRow rows[] = {
      {"C:\\x", true}, {"c:", true},     {"z:rel", true}, {"\\\\server\\share", true}, {"1:\\x", false},
      {"\\x", false},  {"x\\y", false},  {"", false},     {"./x", false},              {"..\\x", false},
  };
  for (const AbsoluteRow& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(IsAbsolutePath(RawString::FromUtf8(row.path)), row.absolute);
  }
  EXPECT_EQ(IsAbsolutePath("/usr/x"), PathSeparator() == '/');
}

struct ResolveRow {
  const char* path;
  const char* base;
  const char* result;
};

TEST(Path, ResolveFoldsLeadingDotComponents) {
  const ResolveRow rows[] = {
      {"..\\a.txt", "C:\\x\\y\\", "C:\\x\\a.txt"},
      {"a.txt", "C:\\x", "C:\\x\\a.txt"},
      {".\\a.txt", "C:\\x\\", "C:\\x\\a.txt"},
      {"./../a/b", "C:\\x\\y", "C:\\x\\a/b"},
      {"..\\..\\..\\a", "C:\\x", "C:\\a"},
      {"..\\a", "C:\\", "C:\\a"},
      {"a\\..\\b", "C:\\x", "C:\\x\\a\\..\\b"},
      {"...\\a", "C:\\x", "C:\\x\\...\\a"},
      {"\\\\server\\a", "C:\\x", "\\\\server\\a"},
      {"D:\\a", "C:\\x", "D:\\a"},
      {"", "C:\\x", ""},
      {"a", "", "a"},
      {"../a", "/home/u/", "/home/a"},
      {"../../a", "/home", "/a"},
      {"a", "/", "/a"},
      {"日本\\a", "C:\\日", "C:\\日\\日本\\a"},
  };
  for (const ResolveRow& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " against " + row.base);
    EXPECT_EQ(ResolvePath(RawString::FromUtf8(row.path), RawString::FromUtf8(row.base)).ToUtf8(), row.result);
  }
}

TEST(Path, JoinPutsOneSeparatorBetweenFolderAndName) {
  const std::string sep(1, PathSeparator());
  const struct {
    const char* folder;
    std::string joined;
  } rows[] = {
      {"C:\\Cache", "C:\\Cache" + sep + "index.ini"},
      {"C:\\Cache\\", "C:\\Cache\\index.ini"},
      {"/tmp/cache/", "/tmp/cache/index.ini"},
      {"", "index.ini"},
  };
  for (const auto& row : rows) {
    const RawString joined = JoinPath(RawString::FromUtf8(row.folder), RawString::FromUtf8("index.ini"));
    EXPECT_EQ(joined.ToUtf8(), row.joined) << row.folder;
    EXPECT_EQ(joined.Code(), CodeUtf8) << row.folder;
  }
}

TEST(Path, ProgramFolderHoldsTheProgram) {
  RawString module = ModulePath();
  RawString folder = ProgramFolder();
  ASSERT_FALSE(folder.IsEmpty());
  EXPECT_EQ(PathKind(module), RawPathKind::File);
  EXPECT_EQ(PathKind(folder), RawPathKind::Folder);
  EXPECT_TRUE(IsAbsolutePath(folder));
  RawString prefix = folder;
  prefix.AppendChar(static_cast<unsigned char>(PathSeparator()));
  EXPECT_TRUE(module.StartsWith(prefix));
  EXPECT_LT(module.FindLastSeparator(), module.Length());
  EXPECT_EQ(module.FindLastSeparator(), folder.Length());
  EXPECT_EQ(ProgramFolder(CodeWide).ToUtf8(), folder.ToUtf8());
}

class PathFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / Unique("kestrel-path");
    fs::create_directories(root_);
  }
  void TearDown() override {
    RawFileFaults::Reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path root_;
};

TEST_F(PathFolderTest, EnsureFolderCreatesParents) {
  fs::path deep = root_ / "a" / "b" / "c";
  EXPECT_TRUE(EnsureFolder(PathText(deep)));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(EnsureFolder(PathText(deep)));
  RawString trailing = PathText(root_ / "d" / "e");
  trailing.AppendChar(static_cast<unsigned char>(PathSeparator()));
  EXPECT_TRUE(EnsureFolder(trailing));
  EXPECT_TRUE(fs::is_directory(root_ / "d" / "e"));
}

TEST_F(PathFolderTest, EnsureFolderRefusesFiles) {
  std::ofstream(root_ / "file").put('x');
  EXPECT_FALSE(EnsureFolder(PathText(root_ / "file")));
  EXPECT_FALSE(EnsureFolder(PathText(root_ / "file" / "below")));
  EXPECT_TRUE(fs::is_regular_file(root_ / "file"));
}

TEST_F(PathFolderTest, EnsureFolderReportsAFailedCreation) {
  RawFileFaults::FailOperation(2);
  EXPECT_FALSE(EnsureFolder(PathText(root_ / "x" / "y" / "z")));
  RawFileFaults::Reset();
  EXPECT_TRUE(fs::is_directory(root_ / "x"));
  EXPECT_FALSE(fs::exists(root_ / "x" / "y"));
}

TEST_F(PathFolderTest, ReadOnlyFiles) {
  fs::path file = root_ / "file";
  std::ofstream(file).put('x');
  EXPECT_FALSE(IsReadOnlyFile(PathText(file)));
  EXPECT_FALSE(IsReadOnlyFile(PathText(root_)));
  EXPECT_FALSE(IsReadOnlyFile(PathText(root_ / "missing")));
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_TRUE(IsReadOnlyFile(PathText(file)));
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_FALSE(IsReadOnlyFile(PathText(file)));
}

// Longer than the 260 characters of the classic Windows limit.
TEST_F(PathFolderTest, LongPathsWork) {
  fs::path deep = root_;
  for (int i = 0; i < 8; ++i) deep /= std::string(40, static_cast<char>('a' + i));
  RawString folder = PathText(deep);
  ASSERT_GT(folder.Length(), 300);
  EXPECT_TRUE(EnsureFolder(folder));
  EXPECT_EQ(PathKind(folder), RawPathKind::Folder);

  RawString file = ResolvePath("..\\profile.txt", folder);
  RawProfile profile(file);
  EXPECT_TRUE(profile.SetValue("Main", "Key", "long"));
  EXPECT_EQ(profile.GetValue("Main", "Key", ""), RawString("long"));
  EXPECT_TRUE(fs::is_regular_file(deep.parent_path() / "profile.txt"));
}

TEST_F(PathFolderTest, ExpandUserMakesTheApplicationFolder) {
  RawString appData = ApplicationDataFolder();
  ASSERT_FALSE(appData.IsEmpty());
  EXPECT_TRUE(IsAbsolutePath(appData));
  std::string app = Unique("KestrelTest");
  fs::path expected = FsPath(appData) / app;
  std::error_code ignored;
  fs::remove_all(expected, ignored);

  RawString expanded = ExpandUser("$(User)\\profile.txt", RawString::FromUtf8(app));
  RawString folder = appData;
  if (!folder.EndsWith("/") && !folder.EndsWith("\\")) folder.AppendChar(static_cast<unsigned char>(PathSeparator()));
  folder.Append(RawString::FromUtf8(app));
  EXPECT_EQ(expanded.ToUtf8(), folder.ToUtf8() + "\\profile.txt");
  EXPECT_TRUE(fs::is_directory(expected));

  // Only the first "$(User)" is replaced; a path without one is unchanged.
  EXPECT_EQ(ExpandUser("$(User)/$(User)", RawString::FromUtf8(app)).ToUtf8(), folder.ToUtf8() + "/$(User)");
  EXPECT_EQ(ExpandUser("x\\$(user)", RawString::FromUtf8(app)).ToUtf8(), "x\\$(user)");

  // ProfilePath keeps the expanded, absolute result.
  EXPECT_EQ(ProfilePath("$(User)\\p.txt", RawString::FromUtf8(app)).ToUtf8(), folder.ToUtf8() + "\\p.txt");
  fs::remove_all(expected, ignored);
}

TEST(Path, ProfilePathResolvesAgainstTheProgramFolder) {
  RawString folder = ProgramFolder();
  RawString beside = folder;
  beside.AppendChar(static_cast<unsigned char>(PathSeparator()));
  beside.Append("profile.txt");
  EXPECT_EQ(ProfilePath("profile.txt", "Kestrel"), beside);
  EXPECT_EQ(ProfilePath("..\\p.txt", "Kestrel"), ResolvePath("..\\p.txt", folder));
  EXPECT_EQ(ProfilePath("C:\\p.txt", "Kestrel").ToUtf8(), "C:\\p.txt");
  EXPECT_EQ(ProfilePath("\\\\srv\\p.txt", "Kestrel").ToUtf8(), "\\\\srv\\p.txt");
}

}  // namespace
}  // namespace RawLayer
