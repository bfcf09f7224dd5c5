#include "app/title_menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "raw/locale.h"
#include "raw/path.h"
#include "tests/unit/test_files.h"

namespace {

namespace fs = std::filesystem;
using AppLayer::GuiHelpSet;
using RawLayer::RawRect;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

std::vector<std::string> Texts(const RawStringList& list) {
  std::vector<std::string> texts;
  for (const RawString& text : list) texts.push_back(text.ToUtf8());
  return texts;
}

// A program folder of the case's own, since cases run side by side.
class TitleMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFiles::ScratchFolder("title_menu");
    RawLocaleRecordList::Instance().ResetForTest();
  }
  void TearDown() override { RawLocaleRecordList::Instance().ResetForTest(); }

  RawString Folder() const { return PathText(folder_); }
  std::string InFolder(const std::string& name) const { return PathText(folder_ / name).ToUtf8(); }
  void Touch(const std::string& name) const { Put(folder_ / name, "x"); }

  fs::path folder_;
};

TEST_F(TitleMenuTest, CommaListsAreTrimmedAndEmptyItemsDropped) {
  struct Row {
    const char* text;
    std::vector<std::string> items;
  };
  const Row rows[] = {
      {"txt,md", {"txt", "md"}},
      {" ReadMe_*.txt ,\t*.pdf\t", {"ReadMe_*.txt", "*.pdf"}},
      {"a,,b,", {"a", "b"}},
      {"", {}},
      {" \t ", {}},
      {"one file.pdf", {"one file.pdf"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Texts(AppLayer::SplitCommaList(RawString::FromUtf8(row.text))), row.items) << row.text;
  }
}

TEST_F(TitleMenuTest, ReadMeTakesTheLanguageVersionOnlyWhenItExists) {
  EXPECT_TRUE(AppLayer::ChooseReadMe(Folder(), "Deutsch").IsEmpty());
  Touch("ReadMe_Kestrel.txt");
  EXPECT_EQ(AppLayer::ChooseReadMe(Folder(), "Deutsch").ToUtf8(), InFolder("ReadMe_Kestrel.txt"));
  Touch("ReadMe_Kestrel_Deutsch.txt");
  EXPECT_EQ(AppLayer::ChooseReadMe(Folder(), "Deutsch").ToUtf8(), InFolder("ReadMe_Kestrel_Deutsch.txt"));
  EXPECT_EQ(AppLayer::ChooseReadMe(Folder(), "Francais").ToUtf8(), InFolder("ReadMe_Kestrel.txt"));
  EXPECT_EQ(AppLayer::ChooseReadMe(Folder(), RawString()).ToUtf8(), InFolder("ReadMe_Kestrel.txt"));
  // A folder of the read-me's name is no read-me.
  fs::remove(folder_ / "ReadMe_Kestrel.txt");
  fs::create_directory(folder_ / "ReadMe_Kestrel.txt");
  EXPECT_TRUE(AppLayer::ChooseReadMe(Folder(), RawString()).IsEmpty());
}

TEST_F(TitleMenuTest, HelpFilesAreTheMatchingFilesSortedAndNeverFolders) {
  for (const char* name : {"ReadMe_b.txt", "ReadMe_a.md", "x.pdf", "Z.pdf", "readme_c.TXT", "other.txt", "notes.md"}) {
    Touch(name);
  }
  fs::create_directory(folder_ / "folder.pdf");
  fs::create_directory(folder_ / "docs");
  Put(folder_ / "docs" / "guide.pdf", "x");

  GuiHelpSet help = AppLayer::MakeHelpSet(Folder(), "Default", RawParameterList());
  // Ordered by code units: upper-case letters before lower-case ones.
  EXPECT_EQ(Texts(help.helpFiles), (std::vector<std::string>{InFolder("ReadMe_a.md"), InFolder("ReadMe_b.txt"),
                                                             InFolder("Z.pdf"), InFolder("readme_c.TXT"),
                                                             InFolder("x.pdf")}));
  EXPECT_EQ(Texts(help.viewerExtensions), (std::vector<std::string>{"txt", "md"}));
  EXPECT_TRUE(help.readMePath.IsEmpty());

  // Patterns of the [Manual] section, one of them in a subfolder, one matching nothing.
  RawParameterList manual;
  manual.SetValue("Manual", RawString::FromUtf8(" notes.md , docs" + std::string(1, RawLayer::PathSeparator()) +
                                                "*.pdf,none_*.txt"));
  manual.SetValue("Leafnote", "pdf");
  help = AppLayer::MakeHelpSet(Folder(), "Default", manual);
  EXPECT_EQ(Texts(help.helpFiles),
            (std::vector<std::string>{PathText(folder_ / "docs" / "guide.pdf").ToUtf8(), InFolder("notes.md")}));
  EXPECT_EQ(Texts(help.viewerExtensions), (std::vector<std::string>{"pdf"}));

  // An empty Manual key means no help at all, not the default patterns.
  manual.SetValue("Manual", "");
  EXPECT_TRUE(AppLayer::MakeHelpSet(Folder(), "Default", manual).helpFiles.IsEmpty());
}

TEST_F(TitleMenuTest, HelpOpensInTheViewerOnlyForItsExtensionsAndWhenItIsThere) {
  GuiHelpSet help;
  help.programFolder = Folder();
  help.viewerExtensions = AppLayer::SplitCommaList("txt, md");
  const std::string viewer = InFolder("Leafnote.exe");

  struct Row {
    const char* path;
    bool viewerPresent;
    std::string file;
    std::string parameters;
  };
  const Row rows[] = {
      {"", true, "", ""},
      {"C:\\help\\guide.md", true, viewer, "\"C:\\help\\guide.md\""},
      {"C:\\help\\GUIDE.MD", true, viewer, "\"C:\\help\\GUIDE.MD\""},
      {"C:\\help\\guide.md", false, "C:\\help\\guide.md", ""},
      {"C:\\help\\guide.pdf", true, "C:\\help\\guide.pdf", ""},
      {"C:\\help.md\\guide", true, "C:\\help.md\\guide", ""},
      {"C:\\help\\guide.markdown", true, "C:\\help\\guide.markdown", ""},
  };
  for (const Row& row : rows) {
    fs::remove_all(folder_ / "Leafnote.exe");
    if (row.viewerPresent) Touch("Leafnote.exe");
    const AppLayer::GuiHelpStart start = AppLayer::PlanHelpStart(help, RawString::FromUtf8(row.path));
    EXPECT_EQ(start.file.ToUtf8(), row.file) << row.path << " viewer " << row.viewerPresent;
    EXPECT_EQ(start.parameters.ToUtf8(), row.parameters) << row.path << " viewer " << row.viewerPresent;
  }
  // A folder of the viewer's name is no viewer.
  fs::remove_all(folder_ / "Leafnote.exe");
  fs::create_directory(folder_ / "Leafnote.exe");
  EXPECT_EQ(AppLayer::PlanHelpStart(help, "C:\\a.txt").file.ToUtf8(), "C:\\a.txt");
}

TEST_F(TitleMenuTest, MovedWindowsAreCentredButNeverLeftOfOrAboveTheWorkArea) {
  struct Row {
    RawRect work;
    RawRect window;
    int32_t left;
    int32_t top;
  };
  const Row rows[] = {
      {{0, 0, 1280, 1024}, {-5000, -4000, -4800, -3700}, 540, 362},
      {{0, 0, 1280, 994}, {100, 100, 201, 302}, 589, 396},        // odd differences truncate
      {{100, 50, 1380, 1074}, {0, 0, 280, 24}, 600, 550},        // a work area that is not at 0,0
      {{0, 0, 1280, 1024}, {3000, 10, 4600, 1210}, 0, 0},        // larger than the work area
      {{0, 0, 1280, 1024}, {0, 0, 1283, 1027}, 0, 0},            // larger by an odd amount
      {{0, 0, 1280, 1024}, {-32000, -32000, -31840, -31970}, 560, 497},
      {{0, 0, 1280, 1024}, {2147483000, 0, 2147483600, 100}, 340, 462},
  };
  for (const Row& row : rows) {
    int32_t left = -1;
    int32_t top = -1;
    AppLayer::CenterOnWorkArea(row.work, row.window, left, top);
    EXPECT_EQ(left, row.left) << row.window.left;
    EXPECT_EQ(top, row.top) << row.window.left;
  }
}

TEST_F(TitleMenuTest, CaptionsComeFromTheLanguageFileAndMissingOnesAreWrittenThereSorted) {
  const fs::path language = folder_ / "language.ini";
  Put(language,
            "[Deutsch]\r\nTitleMenu_MoveToPrimaryScreen=Auf den Hauptbildschirm.\r\n"
            "TitleMenu_ReadMe=not used\r\nZeta=kept\r\n");
  RawLocaleRecordList& table = RawLocaleRecordList::Instance();
  table.SetLanguage("Deutsch", PathText(language));
  AppLayer::RegisterTitleMenuTexts();
  table.LoadLanguage();

  std::vector<std::string> captions;
  for (const AppLayer::GuiTitleMenuItem& item : AppLayer::kTitleMenuItems) {
    if (!item.IsSeparator()) captions.push_back(AppLayer::TitleMenuCaption(item).ToUtf8());
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"Version 1.36.2024.0503", "View help.", "Auf den Hauptbildschirm.",
                                                "Open gui profile.", "Select window font.", "Select menu font.",
                                                "Select tip font.", "Open log folder.", "Check profile."}));
  ASSERT_TRUE(table.SaveMissing());
  EXPECT_EQ(Bytes(language),
            "[Deutsch]\r\n"
            "TitleMenu_CheckProfile=Check profile.\r\n"
            "TitleMenu_MoveToPrimaryScreen=Auf den Hauptbildschirm.\r\n"
            "TitleMenu_OpenGuiProfile=Open gui profile.\r\n"
            "TitleMenu_OpenLogFolder=Open log folder.\r\n"
            "TitleMenu_ReadMe=not used\r\n"
            "TitleMenu_SelectMenuFont=Select menu font.\r\n"
            "TitleMenu_SelectTipFont=Select tip font.\r\n"
            "TitleMenu_SelectWindowFont=Select window font.\r\n"
            "TitleMenu_ViewHelp=View help.\r\n"
            "Zeta=kept\r\n"
            "\r\n");
}

}  // namespace
