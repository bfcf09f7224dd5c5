#include "raw/locale.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

const RawLocaleRecord kMainRecords[] = {
    {"Title", "Kestrel"},
    {"Error", "Line one\r\nLine\ttwo"},
    {"Open", "Cannot open %s"},
    {"", nullptr},
};

const RawLocaleRecord kOtherRecords[] = {
    {"Zed", "last"},
    {"", nullptr},
};

class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("kestrel-locale-" + std::to_string(seed()));
    fs::create_directories(folder_);
    file_ = folder_ / "language.txt";
    table().ResetForTest();
  }
  void TearDown() override {
    table().ResetForTest();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  static RawLocaleRecordList& table() { return RawLocaleRecordList::Instance(); }

  fs::path folder_;
  fs::path file_;
};

TEST_F(LocaleTest, DefaultsComeBackUnescaped) {
  table().Register("Main", kMainRecords);
  EXPECT_EQ(table().Text("Main", "Title").ToUtf8(), "Kestrel");
  EXPECT_EQ(table().Text("main", "error").ToUtf8(), "Line one\r\nLine\ttwo");
  EXPECT_TRUE(table().MissingMet());
}

TEST_F(LocaleTest, AnArrayRegistersOnce) {
  table().Register("Main", kMainRecords);
  table().Register("Second", kMainRecords);
  EXPECT_EQ(table().Text("Second", "Title", "fallback").ToUtf8(), "fallback");
}

TEST_F(LocaleTest, LoadedTextsWinAndAreUnescaped) {
  table().Register("Main", kMainRecords);
  Put(file_, "[Deutsch]\r\nMain_Title=Turmfalke\r\nMain_Error=Zeile\\nzwei\\sund\\tdrei\r\n[Default]\r\nMain_Open=x\r\n");
  table().SetLanguage("Deutsch", PathText(file_));
  table().LoadLanguage();
  EXPECT_EQ(table().Text("Main", "Title").ToUtf8(), "Turmfalke");
  EXPECT_EQ(table().Text("Main", "Error").ToUtf8(), "Zeile\r\nzwei und\tdrei");
  EXPECT_FALSE(table().MissingMet());
  EXPECT_EQ(table().Text("Main", "Open").ToUtf8(), "Cannot open %s");
  EXPECT_TRUE(table().MissingMet());
}

TEST_F(LocaleTest, UnknownTextAddsItsFallbackToTheDefaults) {
  EXPECT_EQ(table().Text("Main", "New", "Two\r\nlines").ToUtf8(), "Two\r\nlines");
  EXPECT_EQ(table().Text("Main", "New", "ignored now").ToUtf8(), "Two\r\nlines");
  EXPECT_EQ(table().Text("Main", "Blank").ToUtf8(), "");
}

TEST_F(LocaleTest, SaveMissingWritesEveryMessageSortedByKey) {
  table().Register("Main", kMainRecords);
  table().Register("Other", kOtherRecords);
  Put(file_, "// translators' notes\r\n[Deutsch]\r\nMain_Title=Turmfalke\r\nExtra=kept\r\n[English]\r\nX=1\r\n");
  table().SetLanguage("Deutsch", PathText(file_));
  table().LoadLanguage();

  EXPECT_TRUE(table().SaveMissing());
  EXPECT_EQ(Bytes(file_), "// translators' notes\r\n[Deutsch]\r\nMain_Title=Turmfalke\r\nExtra=kept\r\n[English]\r\nX=1\r\n")
      << "nothing was missing yet";

  EXPECT_EQ(table().Text("Main", "Fresh", "new\ttext").ToUtf8(), "new\ttext");
  EXPECT_TRUE(table().SaveMissing());
  EXPECT_FALSE(table().MissingMet());
  EXPECT_EQ(Bytes(file_),
            "// translators' notes\r\n"
            "[Deutsch]\r\n"
            "Extra=kept\r\n"
            "Main_Error=Line one\\nLine\\ttwo\r\n"
            "Main_Fresh=new\\ttext\r\n"
            "Main_Open=Cannot open %s\r\n"
            "Main_Title=Turmfalke\r\n"
            "Other_Zed=last\r\n"
            "\r\n"
            "[English]\r\nX=1\r\n");
}

TEST_F(LocaleTest, FailedSaveIsTriedAgain) {
  fs::create_directory(file_);
  table().SetLanguage("Default", PathText(file_));
  (void)table().Text("Main", "A", "a");
  EXPECT_FALSE(table().SaveMissing());
  EXPECT_TRUE(table().MissingMet());
  fs::remove(file_);
  EXPECT_TRUE(table().SaveMissing());
  EXPECT_EQ(Bytes(file_), "[Default]\r\nMain_A=a\r\n\r\n");
}

TEST_F(LocaleTest, NoFileNoSave) {
  (void)table().Text("Main", "A", "a");
  EXPECT_TRUE(table().SaveMissing());
  EXPECT_TRUE(table().MissingMet());
}

TEST_F(LocaleTest, NewLanguageFileStartsAsATemplate) {
  table().Register("Main", kMainRecords);
  table().SetLanguage("Default", PathText(file_));
  table().LoadLanguage();
  EXPECT_EQ(Bytes(file_),
            "[Default]\r\nMain_Error=Line one\\nLine\\ttwo\r\nMain_Open=Cannot open %s\r\nMain_Title=Kestrel\r\n\r\n");
}

TEST_F(LocaleTest, ConcurrentLookupsAndRegistrations) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        RawString key = RawString::FromUtf8("K" + std::to_string(i % 50));
        RawString text = RawLocaleRecordList::Instance().Text("T", key, key);
        EXPECT_EQ(text, key);
        if (i == 100) RawLocaleRecordList::Instance().Register("Main", t % 2 ? kMainRecords : kOtherRecords);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(table().Text("Main", "Zed").ToUtf8(), "last");
  EXPECT_EQ(table().Text("Main", "Title").ToUtf8(), "Kestrel");
}

struct FormatRow {
  const char* text;
  const char* a;
  const char* b;
  const char* result;
};

TEST(FormatMessage, ReplacesPercentSAsPlainText) {
  const FormatRow rows[] = {
      {"Cannot open %s", "C:\\x.txt", "", "Cannot open C:\\x.txt"},
      {"%s and %s", "a", "b", "a and b"},
      {"%s %s %s", "a", "b", "a b "},
      {"%d%% %n %x %s", "a", "", "%d%% %n %x a"},
      {"%s", "%s%n", "b", "%s%n"},
      {"100%", "a", "", "100%"},
      {"%", "a", "", "%"},
      {"%%s", "a", "", "%a"},
      {"no marks", "a", "b", "no marks"},
      {"日本%s語", "値", "", "日本値語"},
  };
  for (const FormatRow& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FormatMessage(RawString::FromUtf8(row.text), RawString::FromUtf8(row.a), RawString::FromUtf8(row.b))
                  .ToUtf8(),
              row.result);
  }
}

}  // namespace
}  // namespace RawLayer
