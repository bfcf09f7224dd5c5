// Every rewrite of the launcher under file faults: the profile's own section
// rewrites, the launcher profile's buttons and selectors, the icon cache and the
// language file. Each path runs twice: with the Nth file operation failing, and
// stopped at the Nth operation as if the process had ended there.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/icon_store.h"
#include "job/icon_cache.h"
#include "job/profile_model.h"
#include "raw/locale.h"
#include "raw/profile.h"
#include "tests/unit/rewrite_faults.h"

namespace {

namespace fs = std::filesystem;

using JobLayer::JobIconControl;
using JobLayer::JobIconSettings;
using JobLayer::JobProfileModel;
using RawLayer::RawParameterList;
using RawLayer::RawProfile;
using RawLayer::RawString;
using RewriteFaults::Bytes;
using RewriteFaults::PathText;
using RewriteFaults::Put;

constexpr char kProfile[] = "profile.ini";

// Sections enough for several reads and writes of the default 8 KB buffer.
std::string Filler(const char* prefix) {
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += "[" + std::string(prefix) + std::to_string(i) + "]\r\nKey=value " + std::to_string(i) +
            " that makes the line long enough\r\n// a comment kept as it is\r\n";
  }
  return text;
}

// ASCII text as UTF-16 little-endian bytes.
std::string Utf16Little(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

std::string TargetBytes(const fs::path& folder) { return Bytes(folder / kProfile); }

RawParameterList Entries(std::initializer_list<std::pair<const char*, const char*>> entries) {
  RawParameterList list;
  for (const auto& [key, value] : entries) list.SetValue(RawString::FromUtf8(key), RawString::FromUtf8(value));
  return list;
}

class MainSaver : public RawLayer::RawProfileEnumeration::Saver {
 public:
  bool SaveSection(RawLayer::RawLineFile& writer, const RawString& name) override {
    return RawProfile::WriteSectionTo(writer, name, Entries({{"A", "new"}, {"B", "2"}}));
  }
};

RewriteFaults::Path ProfileWriteSection() {
  return {[](const fs::path& folder) {
            Put(folder / kProfile, "\xEF\xBB\xBF// head\r\n[Main]\r\nA=old\r\n" + Filler("Keep") +
                                       "[main]\r\nB=1\r\n");
          },
          [](const fs::path&) {},
          [](const fs::path& folder) {
            RawProfile profile(PathText(folder / kProfile));
            return profile.WriteSection("Main", Entries({{"A", "caf\xC3\xA9"}, {"C", "3"}}));
          },
          TargetBytes};
}

RewriteFaults::Path ProfileSetValue() {
  return {[](const fs::path& folder) {
            // Shift_JIS, found by detection: the value is 値.
            Put(folder / kProfile, "[Main]\r\nA=\x92\x6C\r\n" + Filler("Keep") + "[Tail]\r\nZ=1\r\n");
          },
          [](const fs::path&) {},
          [](const fs::path& folder) {
            RawProfile profile(PathText(folder / kProfile));
            return profile.SetValue("Main", "B", RawString::FromUtf8("\xE3\x83\x86"));
          },
          TargetBytes};
}

RewriteFaults::Path ProfileUpdate() {
  return {[](const fs::path& folder) {
            Put(folder / kProfile, "\xFF\xFE" + Utf16Little("[Other]\r\nX=1\r\n[Main]\r\nA=old\r\n" + Filler("Keep")));
          },
          [](const fs::path&) {},
          [](const fs::path& folder) {
            RawProfile profile(PathText(folder / kProfile));
            MainSaver saver;
            return profile.Update(saver, "Main");
          },
          TargetBytes};
}

const std::string kLauncherProfile = "[Option]\r\nIconCache=0\r\n[Button:A]\r\nTitle=a\r\n[Selector:S]\r\nShell {\r\n"
                                     "  Command=c.exe\r\n}\r\n" +
                                     Filler("Keep") + "[Button:B]\r\nTitle=b\r\n[Action:Go]\r\nShell\r\n";

JobProfileModel& Model() { return JobProfileModel::Instance(); }

RewriteFaults::Path ButtonsSave() {
  return {[](const fs::path& folder) { Put(folder / kProfile, kLauncherProfile); },
          [](const fs::path& folder) {
            Model().Clear();
            ASSERT_TRUE(Model().Load(PathText(folder / kProfile)));
            ASSERT_NE(Model().buttons.At(0), nullptr);
            Model().buttons.At(0)->params.AddText("TipText", "t");
          },
          [](const fs::path&) { return Model().SaveButtons(); }, TargetBytes};
}

RewriteFaults::Path SelectorsSave() {
  return {[](const fs::path& folder) { Put(folder / kProfile, kLauncherProfile); },
          [](const fs::path& folder) {
            Model().Clear();
            ASSERT_TRUE(Model().Load(PathText(folder / kProfile)));
            Model().selectors.Add().name = "New";
          },
          [](const fs::path&) { return Model().SaveSelectors(); }, TargetBytes};
}

// The icon cache: an index and the data file it names. What a reader sees is the
// index with the data file's name left out, and that data file's bytes.
RawLayer::RawTime g_clock;
RawLayer::RawTime Clock() { return g_clock; }

struct IconCache {
  std::unique_ptr<AppLayer::GuiIconStore> store;
  std::unique_ptr<JobIconControl> control;

  void Open(const fs::path& folder, int second) {
    control.reset();
    store = std::make_unique<AppLayer::GuiIconStore>();
    control = std::make_unique<JobIconControl>();
    g_clock = {2024, 1, 31, 23, 59, second, 0};
    control->SetClock(&Clock);
    JobIconSettings settings;
    settings.cacheFolder = PathText(folder);
    ASSERT_TRUE(control->Open(settings, *store));
  }
  void Use(const char* file) {
    control->GetEntry(RawString::FromUtf8(file), 0);
    while (control->WorkOnce()) {
    }
  }
};
IconCache g_icons;

std::string IconCacheView(const fs::path& folder) {
  const RawString index = PathText(folder / "IconCache.ini");
  RawProfile profile(index);
  const std::string data = profile.GetValue("Identify", "DataFile", "").ToUtf8();
  std::string text = Bytes(folder / "IconCache.ini");
  const size_t at = data.empty() ? std::string::npos : text.find(data);
  if (at != std::string::npos) text.replace(at, data.size(), "<data>");
  return text + "\n--- data ---\n" + (data.empty() ? "<none>" : Bytes(folder / data));
}

RewriteFaults::Path IconCacheSave() {
  return {[](const fs::path& folder) {
            g_icons.Open(folder, 10);
            g_icons.Use("C:\\a.exe");
            ASSERT_TRUE(g_icons.control->SaveCache());
            // A key of another owner of [Identify], which every save carries over.
            RawProfile index(PathText(folder / "IconCache.ini"));
            ASSERT_TRUE(index.SetValue("Identify", "Profile", "KEY"));
          },
          [](const fs::path& folder) {
            g_icons.Open(folder, 20);
            (void)g_icons.control->LoadCache();
            for (int32_t entry = 0; entry < g_icons.control->EntryCount(); ++entry) g_icons.control->GetImage(entry);
            g_icons.Use("C:\\b.exe");
          },
          [](const fs::path&) { return g_icons.control->SaveCache(); }, IconCacheView};
}

// The language file: the missing texts met are written into the language's section.
const RawLayer::RawLocaleRecord kRecords[] = {
    {"Title", "Kestrel"},
    {"Open", "Cannot open %s"},
    {"", nullptr},
};

RawLayer::RawLocaleRecordList& Table() { return RawLayer::RawLocaleRecordList::Instance(); }

RewriteFaults::Path LanguageSaveMissing() {
  return {[](const fs::path& folder) {
            Put(folder / "language.ini",
                "[English]\r\nMain_Title=Kestrel EN\r\n" + Filler("Other") + "[German]\r\nMain_Title=Kestrel DE\r\n");
          },
          [](const fs::path& folder) {
            Table().ResetForTest();
            Table().Register("Main", kRecords);
            Table().SetLanguage("English", PathText(folder / "language.ini"));
            Table().LoadLanguage();
            (void)Table().Text("Main", "Open");
          },
          [](const fs::path&) { return Table().SaveMissing(); },
          [](const fs::path& folder) { return Bytes(folder / "language.ini"); }};
}

struct Row {
  const char* name;
  RewriteFaults::Path (*path)();
};

const Row kRows[] = {
    {"ProfileWriteSection", ProfileWriteSection},
    {"ProfileSetValue", ProfileSetValue},
    {"ProfileUpdate", ProfileUpdate},
    {"ButtonsSave", ButtonsSave},
    {"SelectorsSave", SelectorsSave},
    {"IconCacheSave", IconCacheSave},
    {"LanguageSaveMissing", LanguageSaveMissing},
};

class RewriteFaultsTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->name());
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    // A folder per case: CTest runs the cases side by side.
    folder_ = fs::path(KESTREL_TEST_TMP_DIR) / "rewrite_faults" / name;
  }
  void TearDown() override {
    RawLayer::RawFileFaults::Reset();
    Model().Clear();
    g_icons.control.reset();
    g_icons.store.reset();
    Table().ResetForTest();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
};

TEST_P(RewriteFaultsTest, EveryFailingOperationLeavesOldOrNew) {
  RewriteFaults::Drill drill(folder_, GetParam().path());
  drill.RunAll(RewriteFaults::Mode::FailOne);
}

TEST_P(RewriteFaultsTest, StopAtEveryOperationLeavesOldOrNew) {
  RewriteFaults::Drill drill(folder_, GetParam().path());
  drill.RunAll(RewriteFaults::Mode::StopAt);
}

INSTANTIATE_TEST_SUITE_P(Paths, RewriteFaultsTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
