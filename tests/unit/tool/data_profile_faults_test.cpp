// Tessera's data profile under file faults: storing a section (the profile's
// section rewrite) and deleting one (a rewrite of its own), with the Nth file
// operation failing and stopped at the Nth operation.
#include <gtest/gtest.h>

#include <string>

#include "raw/parameter_list.h"
#include "tests/unit/rewrite_faults.h"
#include "tool/data_profile.h"

namespace {

namespace fs = std::filesystem;

using RawLayer::RawParameterList;
using RewriteFaults::Bytes;
using RewriteFaults::PathText;
using ToolLayer::ToolDataProfile;

constexpr char kFile[] = "data.ini";

std::string OldData() {
  std::string text = "\xEF\xBB\xBF// windows by pattern\r\n[Data:Notes]\r\nTitle=*Notepad\r\nTitle=*Editor\r\n"
                     "RectSpec=-x 0 -y 0\r\n";
  for (int i = 0; i < 300; ++i) {
    text += "[Data:Keep" + std::to_string(i) + "]\r\nClass=Window" + std::to_string(i) +
            "\r\nRectSpec=-x " + std::to_string(i) + " -y 10 -w 300 -h 200\r\n";
  }
  return text;
}

ToolDataProfile Profile(const fs::path& folder) { return ToolDataProfile(PathText(folder / kFile)); }

std::string View(const fs::path& folder) { return Bytes(folder / kFile); }

RewriteFaults::Path StoreSection() {
  return {[](const fs::path& folder) { RewriteFaults::Put(folder / kFile, OldData()); },
          [](const fs::path&) {},
          [](const fs::path& folder) {
            RawParameterList entries;
            entries.AddEntry("Title", "*Notepad");
            entries.AddEntry("Title", "*Writer");
            entries.AddEntry("RectSpec", "-x 5 -y 5");
            return Profile(folder).StoreSection("Data:Notes", entries);
          },
          View};
}

RewriteFaults::Path DeleteSection() {
  RewriteFaults::Path path{[](const fs::path& folder) { RewriteFaults::Put(folder / kFile, OldData()); },
                           [](const fs::path&) {},
                           [](const fs::path& folder) { return Profile(folder).DeleteSection("Data:Keep150"); },
                           View};
  // Deleting again finds nothing to delete once the section is gone.
  path.again = [](const fs::path& folder) {
    const ToolDataProfile profile = Profile(folder);
    ToolLayer::ToolDataSectionList sections;
    if (!profile.ReadSections(sections)) return false;
    for (const ToolLayer::ToolDataSection& section : sections) {
      if (section.name.EqualNoCase(RawLayer::kWhole, "Data:Keep150")) return profile.DeleteSection("Data:Keep150");
    }
    return true;
  };
  return path;
}

struct Row {
  const char* name;
  RewriteFaults::Path (*path)();
};

const Row kRows[] = {
    {"StoreSection", StoreSection},
    {"DeleteSection", DeleteSection},
};

class DataProfileFaultsTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    // A folder per case: CTest runs the cases side by side.
    folder_ = fs::path(KESTREL_TEST_TMP_DIR) / "data_profile_faults" / name;
  }
  void TearDown() override {
    RawLayer::RawFileFaults::Reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
};

TEST_P(DataProfileFaultsTest, EveryFailingOperationLeavesOldOrNew) {
  RewriteFaults::Drill drill(folder_, GetParam().path());
  drill.RunAll(RewriteFaults::Mode::FailOne);
}

TEST_P(DataProfileFaultsTest, StopAtEveryOperationLeavesOldOrNew) {
  RewriteFaults::Drill drill(folder_, GetParam().path());
  drill.RunAll(RewriteFaults::Mode::StopAt);
}

INSTANTIATE_TEST_SUITE_P(Paths, DataProfileFaultsTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
