#include "raw/system.h"

#include <gtest/gtest.h>

#include "raw/file.h"
#include "raw/path.h"

namespace RawLayer {
namespace {

TEST(SystemNames, NamesAndFoldersAreGiven) {
  EXPECT_FALSE(ComputerName().IsEmpty());
  EXPECT_FALSE(UserName().IsEmpty());
  EXPECT_EQ(UserName(CodeWide).Code(), CodeWide);
  EXPECT_EQ(UserName(CodeWide).ToUtf8(), UserName().ToUtf8());

  const RawString temp = TempFolder();
  ASSERT_FALSE(temp.IsEmpty());
  EXPECT_EQ(temp.UnitAt(temp.Length() - 1), static_cast<uint32_t>(PathSeparator())) << temp.ToUtf8();
  EXPECT_EQ(PathKind(temp), RawPathKind::Folder) << temp.ToUtf8();
  EXPECT_TRUE(IsAbsolutePath(temp));
}

// The null device is a character device, yet nobody types at it: a run given it as input asks
// nothing, and its questions and its menus agree on that.
TEST(SystemTerminal, NullDeviceIsNoTerminal) {
#ifdef _WIN32
  const char* const nullDevice = "NUL";
#else
  const char* const nullDevice = "/dev/null";
#endif
  for (const char* mode : {"r", "w"}) {
    std::FILE* device = std::fopen(nullDevice, mode);
    ASSERT_NE(device, nullptr) << mode;
    EXPECT_FALSE(IsTerminal(device)) << mode;
    std::fclose(device);
  }
}

TEST(SystemNames, SpecialFolders) {
  EXPECT_EQ(SpecialFolder(FolderAppData).ToUtf8(), ApplicationDataFolder().ToUtf8());
  for (int csidl : {FolderDesktop, FolderDocuments, FolderProfile, FolderLocalAppData}) {
    const RawString folder = SpecialFolder(csidl, CodeWide);
    EXPECT_EQ(folder.Code(), CodeWide);
    EXPECT_TRUE(IsAbsolutePath(folder)) << csidl << ": " << folder.ToUtf8();
  }
  EXPECT_TRUE(SpecialFolder(0x00FE).IsEmpty()) << "no such folder";
}

}  // namespace
}  // namespace RawLayer
