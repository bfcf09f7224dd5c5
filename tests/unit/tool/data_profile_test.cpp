#include "tool/data_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/test_files.h"
#include "tests/unit/tool/fake_desktop.h"

namespace {

namespace fs = std::filesystem;
using RawLayer::RawParameterList;
using RawLayer::RawParameterUnit;
using RawLayer::RawString;
using RawLayer::RawStringList;
using ToolLayer::ToolDataProfile;
using ToolLayer::ToolDataSection;
using ToolLayer::ToolDataSectionList;

std::string Describe(const ToolDataSectionList& sections) {
  std::string text;
  for (const ToolDataSection& section : sections) {
    text += "[" + section.name.ToUtf8() + "]";
    for (const RawParameterUnit& unit : section.entries) text += unit.key.ToUtf8() + "=" + unit.value.ToUtf8() + ";";
  }
  return text;
}

RawStringList Names(std::initializer_list<const char*> names) {
  RawStringList list;
  for (const char* name : names) list.Add(RawString::FromUtf8(name));
  return list;
}

TEST(DataSectionNameTest, PrefixIsComparedIgnoringCase) {
  RawString name;
  EXPECT_TRUE(ToolLayer::DataSectionName("Data:Notes", name));
  EXPECT_EQ(name, "Notes");
  EXPECT_TRUE(ToolLayer::DataSectionName("DATA:", name));
  EXPECT_EQ(name, "");
  EXPECT_FALSE(ToolLayer::DataSectionName("Data", name));
  EXPECT_FALSE(ToolLayer::DataSectionName("Common", name));
  EXPECT_FALSE(ToolLayer::DataSectionName(" Data:x", name));
}

TEST(NextFreeSectionNameTest, NumbersAfterTheTakenNames) {
  EXPECT_EQ(ToolLayer::NextFreeSectionName("Data:A", Names({"Common", "Data:B"})), "Data:A");
  EXPECT_EQ(ToolLayer::NextFreeSectionName("Data:A", Names({"data:a"})), "Data:A-1");
  EXPECT_EQ(ToolLayer::NextFreeSectionName("Data:A", Names({"Data:A", "Data:A-1", "Data:A-3"})), "Data:A-2");
  EXPECT_EQ(ToolLayer::NextFreeSectionName("Data:A-1", Names({"Data:A-1"})), "Data:A-1-1");
}

class DataProfileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = ToolTest::TestFolder("tool_data");
    path_ = folder_ / "data.ini";
  }
  ToolDataProfile Profile() const { return ToolDataProfile(TestFiles::PathText(path_)); }

  fs::path folder_;
  fs::path path_;
};

TEST_F(DataProfileTest, ReadingKeepsRepeatedKeysAndJoinsSameNamedSections) {
  TestFiles::Put(path_,
                      "loose=line\r\n[Data:A]\r\nTitleName=one\r\n// note\r\n\r\nTitleName=two\r\nNoValue\r\n"
                      "[Data:B]x]\nClassName=a=b\n[data:a]\nTitleName=three\n");
  ToolDataSectionList sections;
  ASSERT_TRUE(Profile().ReadSections(sections));
  EXPECT_EQ(Describe(sections),
            "[Data:A]TitleName=one;TitleName=two;NoValue=;TitleName=three;[Data:B]x]ClassName=a=b;");
}

TEST_F(DataProfileTest, MissingFileHasNoSections) {
  ToolDataSectionList sections;
  EXPECT_FALSE(Profile().ReadSections(sections));
  EXPECT_TRUE(sections.IsEmpty());
  EXPECT_TRUE(Profile().SectionNames().IsEmpty());
  EXPECT_FALSE(Profile().DeleteSection("Data:A"));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(DataProfileTest, DeleteKeepsEveryOtherLineAndTheFileCode) {
  // UTF-16 with its mark, and a section of the same name twice.
  const std::u16string text =
      u"\uFEFF[Common]\r\nProgram=Tessera\r\n[Data:A]\r\nTitleName=x\r\n[Data:\u65E5]\r\nTitleName=1\r\n"
      u"TitleName=2\r\n[DATA:A]\r\nClassName=y\r\n";
  TestFiles::Put(path_, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  ASSERT_TRUE(Profile().DeleteSection("data:a"));
  const std::u16string expected =
      u"\uFEFF[Common]\r\nProgram=Tessera\r\n[Data:\u65E5]\r\nTitleName=1\r\nTitleName=2\r\n";
  EXPECT_EQ(TestFiles::Bytes(path_),
            std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
  EXPECT_FALSE(Profile().DeleteSection("Data:A"));
  EXPECT_FALSE(fs::exists(folder_ / "data.ini.tmp"));
}

TEST_F(DataProfileTest, StoreReplacesOrAppends) {
  TestFiles::Put(path_, "[Data:A]\r\nTitleName=1\r\nTitleName=2\r\n\r\n[Data:B]\r\nClassName=b\r\n");
  RawParameterList entries;
  entries.AddEntry("ClassName", "new");
  ASSERT_TRUE(Profile().StoreSection("data:b", entries));
  ASSERT_TRUE(Profile().StoreSection("Data:C", entries));
  // The section that was not stored keeps its repeated keys.
  EXPECT_EQ(TestFiles::Bytes(path_),
            "[Data:A]\r\nTitleName=1\r\nTitleName=2\r\n\r\n[data:b]\r\nClassName=new\r\n\r\n"
            "[Data:C]\r\nClassName=new\r\n\r\n");
}

}  // namespace
