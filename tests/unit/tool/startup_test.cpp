#include "tool/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/unit/test_files.h"
#include "tests/unit/tool/fake_desktop.h"

namespace {

namespace fs = std::filesystem;
using RawLayer::RawString;
using Log = std::vector<std::string>;

class ToolStartupTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = ToolTest::TestFolder("tool_startup");
    place_.programPath = TestFiles::PathText(folder_ / "tessera.exe");
    place_.programFolder = TestFiles::PathText(folder_);
    place_.tempFolder = TestFiles::PathText(folder_);
    desktop_.Add(1, "Target", "TargetClass", "C:\\t.exe", {0, 0, 100, 100});
  }
  Log Run(const std::string& arguments) {
    desktop_.log.clear();
    EXPECT_EQ(ToolLayer::RunTool(RawString::FromUtf8("tessera.exe " + arguments), place_, desktop_), 0);
    return desktop_.log;
  }

  fs::path folder_;
  ToolLayer::ToolProgramPlace place_;
  ToolTest::FakeDesktop desktop_;
};

TEST_F(ToolStartupTest, MissingSettingsProfileIsCreatedAndTheWorkGoesOn) {
  EXPECT_EQ(Run("-c TargetClass -x 5"), (Log{"move 1 5 0 105 100"}));
  EXPECT_EQ(TestFiles::Bytes(folder_ / "tessera.ini"), "[Common]\r\nProgram=Tessera\r\n\r\n");
}

TEST_F(ToolStartupTest, ProfileWithoutProgramIsRefused) {
  for (const char* text : {"[Common]\nProgram=\n", "[Other]\nProgram=Tessera\n", ""}) {
    TestFiles::Put(folder_ / "tessera.ini", text);
    EXPECT_EQ(Run("-c TargetClass -x 5"), (Log{"warning Bad format profile !"})) << text;
    EXPECT_EQ(Run("-c TargetClass -x 5 -z"), Log{}) << text;
  }
}

TEST_F(ToolStartupTest, UsageAloneAndNothingElse) {
  EXPECT_EQ(Run("-? -c TargetClass -x 5"), (Log{std::string("info ") + ToolLayer::kUsageText}));
}

TEST_F(ToolStartupTest, SettingsAndDataProfileComeFromTheirFiles) {
  fs::create_directories(folder_ / "conf");
  TestFiles::Put(folder_ / "tessera.ini", "[Common]\nProgram=Tessera\nConfigFile=conf\\..\\conf/s.ini\nDataProfile=d.ini\n");
  TestFiles::Put(folder_ / "conf" / "s.ini", "[Job]\nFrameWidenL=1\nFrameWidenT=2\nFrameWidenR=3\nFrameWidenB=x\n");
  TestFiles::Put(folder_ / "d.ini", "[Data:T]\nClassName=TargetClass\nRectSpec=-x 7\n");
  const ToolLayer::ToolSettings settings =
      ToolLayer::ReadToolSettings(TestFiles::PathText(folder_ / "tessera.ini"), place_.programFolder);
  EXPECT_EQ(settings.selector.frameWiden.left, 1);
  EXPECT_EQ(settings.selector.frameWiden.top, 2);
  EXPECT_EQ(settings.selector.frameWiden.right, 3);
  EXPECT_EQ(settings.selector.frameWiden.bottom, 8);
  EXPECT_EQ(Run("-e T"), (Log{"move 1 7 0 107 100"}));
}

}  // namespace
