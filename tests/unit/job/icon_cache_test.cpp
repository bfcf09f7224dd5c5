#include "job/icon_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "raw/file.h"
#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using RawLayer::RawFile;
using RawLayer::RawProfile;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

// An extracted icon of the fake store: one colour made from the file and index.
struct FakePicture : JobIconStore::Picture {
  explicit FakePicture(uint32_t c) : color(c) {}
  uint32_t color;
};

// A store whose images are single colours. Files named "missing..." give no icon.
// SaveTo and LoadFrom go through the file layer, so its faults reach them.
class FakeStore : public JobIconStore {
 public:
  struct Extraction {
    std::string file;
    int32_t index;
    Source source;
  };

  static uint32_t ColorOf(const RawString& file, int32_t index) {
    uint32_t hash = 2166136261u;
    for (char c : file.ToUtf8()) hash = (hash ^ static_cast<uint8_t>(c | 0x20)) * 16777619u;
    return (hash + static_cast<uint32_t>(index)) | 0xFF000000u;
  }

  bool Prepare(int32_t width, int32_t height) override {
    size = width * 1000 + height;
    Clear();
    return width > 0 && height > 0;
  }
  int32_t AddFixed(Fixed which) override { return Put(which == FixedFailed ? 0xF0u : 0xF1u); }
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source source) override {
    std::lock_guard<std::mutex> guard(extractLock);
    extractions.push_back({file.ToUtf8(), index, source});
    const std::string name = file.ToUtf8();
    if (name.find("missing") != std::string::npos || std::count(gone.begin(), gone.end(), name) > 0) return nullptr;
    return std::make_unique<FakePicture>(ColorOf(file, index));
  }
  int32_t Add(const Picture& picture) override { return Put(static_cast<const FakePicture&>(picture).color); }
  bool Replace(int32_t image, const Picture& picture) override {
    if (!IsImage(image)) return false;
    colors[static_cast<size_t>(image)] = static_cast<const FakePicture&>(picture).color;
    replaced.push_back(image);
    return true;
  }
  void Free(int32_t image) override {
    if (IsImage(image)) used[static_cast<size_t>(image)] = false;
  }
  bool IsImage(int32_t image) const override {
    return image >= 0 && image < ImageCount() && used[static_cast<size_t>(image)];
  }
  int32_t ImageCount() const override { return static_cast<int32_t>(colors.size()); }
  bool SaveTo(const RawString& path) override {
    RawFile file;
    if (!file.OpenWrite(path)) return false;
    const int32_t header[2] = {size, ImageCount()};
    bool ok = file.Write(header, sizeof header);
    for (size_t i = 0; ok && i < colors.size(); ++i) {
      const uint32_t record[2] = {used[i] ? 1u : 0u, colors[i]};
      ok = file.Write(record, sizeof record);
    }
    return ok && file.Flush();
  }
  bool LoadFrom(const RawString& path) override {
    RawFile file;
    int32_t header[2];
    int32_t got = 0;
    if (!file.OpenRead(path) || !file.Read(header, sizeof header, got) || got != sizeof header) return false;
    if (header[0] != size || header[1] < 0 || header[1] > 100000) return false;
    std::vector<uint32_t> newColors;
    std::vector<bool> newUsed;
    for (int32_t i = 0; i < header[1]; ++i) {
      uint32_t record[2];
      if (!file.Read(record, sizeof record, got) || got != sizeof record) return false;
      newUsed.push_back(record[0] != 0);
      newColors.push_back(record[1]);
    }
    colors = newColors;
    used = newUsed;
    return true;
  }
  void Clear() override {
    colors.clear();
    used.clear();
  }

  uint32_t ColorOfImage(int32_t image) const { return IsImage(image) ? colors[static_cast<size_t>(image)] : 0; }

  int32_t size = 0;
  std::vector<uint32_t> colors;
  std::vector<bool> used;
  std::mutex extractLock;
  std::vector<Extraction> extractions;
  std::vector<int32_t> replaced;
  std::vector<std::string> gone;  // files that no longer give an icon

 private:
  int32_t Put(uint32_t color) {
    for (size_t i = 0; i < used.size(); ++i) {
      if (!used[i]) {
        used[i] = true;
        colors[i] = color;
        return static_cast<int32_t>(i);
      }
    }
    used.push_back(true);
    colors.push_back(color);
    return ImageCount() - 1;
  }
};

class FakeOwner : public JobIconOwner {
 public:
  void NotifyIcons(uint32_t code) override {
    std::lock_guard<std::mutex> guard(lock);
    codes.push_back(code);
  }
  std::mutex lock;
  std::vector<uint32_t> codes;
};

RawLayer::RawTime g_now{2024, 1, 31, 23, 59, 59, 0};
RawLayer::RawTime FixedNow() { return g_now; }

class IconCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestFiles::ScratchFolder("icon_cache");
    settings_.cacheFolder = PathText(dir_);
    settings_.iconWidth = 32;
    settings_.iconHeight = 32;
    g_now = {2024, 1, 31, 23, 59, 59, 0};
  }

  // A control opened on `store` with the test's settings.
  std::unique_ptr<JobIconControl> Open(FakeStore& store) {
    auto control = std::make_unique<JobIconControl>();
    control->SetClock(&FixedNow);
    EXPECT_TRUE(control->Open(settings_, store));
    return control;
  }
  static void Drain(JobIconControl& control) {
    while (control.WorkOnce()) {
    }
  }
  static JobIconInfoUnit Entry(const JobIconControl& control, int32_t n) {
    JobIconInfoUnit unit(0, -1, RawString(), 0, 0);
    EXPECT_TRUE(control.EntryAt(n, unit));
    return unit;
  }
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir_)) {
      if (item.path().extension() == ".dat") names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path Index() const { return dir_ / "IconCache.ini"; }

  fs::path dir_;
  JobIconSettings settings_;
};

TEST_F(IconCacheTest, SameFileAndIndexGiveTheSameEntryWhateverTheCase) {
  FakeStore store;
  auto control = Open(store);
  const int32_t a = control->GetEntry("C:\\Tools\\App.exe", 0);
  EXPECT_EQ(control->GetEntry("c:\\tools\\APP.EXE", 0), a);
  EXPECT_NE(control->GetEntry("C:\\Tools\\App.exe", 1), a);
  // Only ASCII letters fold: an accented capital names another file.
  EXPECT_NE(control->GetEntry(RawString::FromUtf8("C:\\Tools\\\xC3\x89.exe"), 0),
            control->GetEntry(RawString::FromUtf8("C:\\Tools\\\xC3\xA9.exe"), 0));
  EXPECT_EQ(control->EntryCount(), 4);
  EXPECT_EQ(control->GetImage(5), -1);
  EXPECT_EQ(control->GetImage(-1), -1);
}

TEST_F(IconCacheTest, BackgroundEntryShowsTheLoadingImageUntilTheWorkerExtractsIt) {
  FakeStore store;
  auto control = Open(store);
  const int32_t entry = control->GetEntry("C:\\Tools\\App.exe", 0);
  EXPECT_TRUE(control->WorkPending());
  EXPECT_EQ(control->GetImage(entry), control->LoadingId());
  EXPECT_TRUE(store.extractions.empty());
  Drain(*control);
  const int32_t image = control->GetImage(entry);
  EXPECT_NE(image, control->LoadingId());
  EXPECT_EQ(store.ColorOfImage(image), FakeStore::ColorOf("C:\\Tools\\App.exe", 0));
  EXPECT_EQ(Entry(*control, entry).state, IconReady);
}

TEST_F(IconCacheTest, WithoutBackgroundLoadingTheIconIsExtractedAtOnce) {
  settings_.delay = false;
  FakeStore store;
  auto control = Open(store);
  const int32_t entry = control->GetEntry("C:\\Tools\\App.exe", 0);
  ASSERT_EQ(store.extractions.size(), 1u);
  EXPECT_EQ(store.ColorOfImage(control->GetImage(entry)), FakeStore::ColorOf("C:\\Tools\\App.exe", 0));
  EXPECT_FALSE(control->WorkPending());
  // Recorded with its file, so it is found again without a second extraction.
  EXPECT_EQ(control->GetEntry("C:\\Tools\\App.exe", 0), entry);
  EXPECT_EQ(store.extractions.size(), 1u);
}

TEST_F(IconCacheTest, ExtensionListDecidesBetweenTheShellAndTheIndexedIcon) {
  settings_.extensions = " ico , EXE,dll,";
  FakeStore store;
  auto control = Open(store);
  struct Row {
    const char* file;
    int32_t index;
    JobIconStore::Source source;
  };
  const Row rows[] = {
      {"C:\\a\\tool.exe", 0, JobIconStore::SourceIndexed},
      {"C:\\a\\TOOL.Exe", 0, JobIconStore::SourceIndexed},
      {"C:\\a\\lib.dll", 0, JobIconStore::SourceIndexed},
      {"C:\\a\\pic.ico", 0, JobIconStore::SourceIndexed},
      {"C:\\a\\notes.txt", 0, JobIconStore::SourceShell},
      {"C:\\a\\notes.txt", 1, JobIconStore::SourceIndexed},
      {"C:\\a\\README", 0, JobIconStore::SourceShell},
      {"C:\\a.exe\\folder", 0, JobIconStore::SourceShell},
      {"C:\\a\\archive.exe.txt", 0, JobIconStore::SourceShell},
      {"", 0, JobIconStore::SourceShell},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(control->SourceFor(RawString::FromUtf8(row.file), row.index), row.source) << row.file;
  }
}

TEST_F(IconCacheTest, FilesWithoutIconsGetTheFailedImage) {
  settings_.delay = false;
  FakeStore store;
  auto control = Open(store);
  const int32_t entry = control->GetEntry("C:\\missing\\gone.exe", 0);
  EXPECT_EQ(control->GetImage(entry), control->FailedId());
  EXPECT_EQ(store.ColorOfImage(control->FailedId()), 0xF0u);
}

TEST_F(IconCacheTest, NotificationsReachTheOwnerAfterTheEntriesBeforeThem) {
  FakeStore store;
  FakeOwner owner;
  auto control = Open(store);
  control->SetOwner(&owner);
  const int32_t first = control->GetEntry("C:\\a.exe", 0);
  control->AddNotification(IconNotifyButtons);
  const int32_t second = control->GetEntry("C:\\b.exe", 0);
  control->AddNotification(IconNotifyMenu);
  control->AddNotification(7);  // no such kind
  EXPECT_EQ(control->EntryCount(), 4);
  EXPECT_TRUE(control->WorkOnce());
  EXPECT_TRUE(owner.codes.empty());
  EXPECT_TRUE(control->WorkOnce());
  EXPECT_EQ(owner.codes, (std::vector<uint32_t>{0x1103}));
  EXPECT_EQ(Entry(*control, first).state, IconReady);
  Drain(*control);
  EXPECT_EQ(owner.codes, (std::vector<uint32_t>{0x1103, 0x1104}));
  EXPECT_EQ(Entry(*control, second).state, IconReady);
  // A notification entry is never taken for an icon without a file.
  EXPECT_EQ(control->GetEntry("", 0), 4);
}

// A first start with an empty cache: the load request the window queues after its buttons took
// their entries is what repaints them, so it must be reached after those entries.
TEST_F(IconCacheTest, LoadRequestTellsTheOwnerWhenTheButtonsIconsAreDone) {
  FakeStore store;
  FakeOwner owner;
  auto control = Open(store);
  const int32_t first = control->GetEntry("C:\\a.exe", 0);
  const int32_t second = control->GetEntry("C:\\b.exe", 1);
  control->SetOwner(&owner);
  control->RequestLoad();
  EXPECT_TRUE(control->WorkPending());
  Drain(*control);
  EXPECT_EQ(owner.codes, (std::vector<uint32_t>{0x1103}));
  EXPECT_EQ(Entry(*control, first).state, IconReady);
  EXPECT_EQ(Entry(*control, second).state, IconReady);
}

// Icons asked for after the last notification (a dropped button, an edited one) are announced
// once when the worker runs out of entries; running dry with nothing new says nothing.
TEST_F(IconCacheTest, IconsAfterTheLastNotificationAreAnnouncedWhenTheWorkerRunsDry) {
  FakeStore store;
  FakeOwner owner;
  auto control = Open(store);
  control->SetOwner(&owner);
  control->RequestLoad();
  Drain(*control);
  ASSERT_EQ(owner.codes, (std::vector<uint32_t>{0x1103}));
  const int32_t dropped = control->GetEntry("C:\\dropped.exe", 0);
  EXPECT_TRUE(control->WorkOnce());
  EXPECT_EQ(owner.codes.size(), 1u);
  EXPECT_FALSE(control->WorkOnce());
  EXPECT_EQ(owner.codes, (std::vector<uint32_t>{0x1103, 0x1103}));
  EXPECT_EQ(Entry(*control, dropped).state, IconReady);
  EXPECT_FALSE(control->WorkOnce());
  EXPECT_EQ(owner.codes.size(), 2u);
  // Without an owner the icons wait to be announced to the next one.
  control->SetOwner(nullptr);
  (void)control->GetEntry("C:\\later.exe", 0);
  Drain(*control);
  control->SetOwner(&owner);
  EXPECT_FALSE(control->WorkOnce());
  EXPECT_EQ(owner.codes.size(), 3u);
}

TEST_F(IconCacheTest, DataFileIsNamedByTheUtcTime) {
  EXPECT_EQ(JobIconControl::DataFileName({2024, 1, 31, 23, 59, 59, 0}), "20240131235959.dat");
  EXPECT_EQ(JobIconControl::DataFileName({2026, 12, 8, 7, 5, 3, 999}), "20261208070503.dat");
  struct Row {
    const char* name;
    bool own;
  };
  const Row rows[] = {
      {"20240131235959.dat", true}, {"20240131235959_1.DAT", true}, {"..\\20240131235959.dat", false},
      {"C:\\x.dat", false},         {"/tmp/x.dat", false},            {"sub/x.dat", false},
      {"x.txt", false},             {".dat", false},                  {"", false},
  };
  for (const Row& row : rows) EXPECT_EQ(JobIconControl::IsDataFileName(RawString::FromUtf8(row.name)), row.own) << row.name;
}

TEST(IconIndexText, IsDecimalWithAnOptionalMinusAndAnythingElseIsZero) {
  struct Row {
    const char* text;
    int32_t index;
  };
  const Row rows[] = {
      {"", 0},         {"0", 0},          {"7", 7},         {"007", 7},           {"-3", -3},
      {"-0", 0},       {"0x1F", 0},       {"0b101", 0},     {"1F", 0},            {"12a", 0},
      {"+5", 0},       {"-", 0},          {"--1", 0},       {" 5", 0},            {"5 ", 0},
      {"2147483647", 2147483647},         {"-2147483648", INT32_MIN},             {"2147483648", 0},
      {"-2147483649", 0},                 {"99999999999999999999", 0},            {"\xEF\xBC\x95", 0},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseIconIndex(RawString::FromUtf8(row.text)), row.index) << row.text;
}

TEST_F(IconCacheTest, SavedCacheComesBackAtTheNextStartAndIsExtractedIntoItsImages) {
  Put(Index(), "[Identify]\nProfile=C:\\CONF\\KESTREL.INI\n");
  std::vector<int32_t> images;
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\\a.exe", 0);
    control->GetEntry("C:\\b.txt", 0);
    control->GetEntry("C:\\c.dll", 3);
    Drain(*control);
    for (int32_t n = 0; n < 3; ++n) images.push_back(control->GetImage(n));
    ASSERT_TRUE(control->SaveCache());
  }
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"20240131235959.dat"}));
  RawProfile index(PathText(Index()));
  EXPECT_EQ(index.GetValue("Identify", "Profile", ""), "C:\\CONF\\KESTREL.INI");
  EXPECT_EQ(index.GetValue("Identify", "DataFile", ""), "20240131235959.dat");
  EXPECT_EQ(index.GetValue("TopInfo", "IconWidth", ""), "32");

  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  ASSERT_EQ(control->EntryCount(), 3);
  const JobIconInfoUnit second = Entry(*control, 1);
  EXPECT_EQ(second.state, IconFromCache);
  EXPECT_EQ(second.file, "C:\\b.txt");
  EXPECT_EQ(second.unused, 1);
  EXPECT_EQ(Entry(*control, 2).iconIndex, 3);
  // The cached pixels show at once, before the worker has been near them.
  for (int32_t n = 0; n < 3; ++n) EXPECT_EQ(control->GetImage(n), images[static_cast<size_t>(n)]);
  EXPECT_EQ(store.ColorOfImage(images[2]), FakeStore::ColorOf("C:\\c.dll", 3));
  EXPECT_EQ(control->GetEntry("c:\\B.TXT", 0), 1);
  EXPECT_TRUE(control->WorkPending());
  Drain(*control);
  EXPECT_EQ(store.replaced, images);
  EXPECT_EQ(Entry(*control, 0).state, IconReady);
}

TEST_F(IconCacheTest, EntryUnusedForItsCountIsDroppedAndSavedWithoutKeys) {
  settings_.unusedCount = 3;
  int32_t droppedImage = -1;
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\\kept.exe", 0);
    control->GetEntry("C:\\old.exe", 0);
    Drain(*control);
    droppedImage = control->GetImage(1);
    ASSERT_TRUE(control->SaveCache());
  }
  // Every start adds one; only the kept icon is drawn.
  for (int start = 1; start <= 3; ++start) {
    g_now.second = start;
    FakeStore store;
    auto control = Open(store);
    ASSERT_TRUE(control->LoadCache());
    EXPECT_EQ(Entry(*control, 1).unused, start);
    control->GetImage(0);
    control->DropUnused();
    const JobIconInfoUnit old = Entry(*control, 1);
    EXPECT_EQ(old.state, start < 3 ? IconFromCache : IconDropped) << start;
    if (start == 3) {
      EXPECT_FALSE(store.IsImage(droppedImage));
      EXPECT_EQ(control->GetImage(1), control->FailedId());
    }
    ASSERT_TRUE(control->SaveCache());
  }
  const std::string index = Bytes(Index());
  EXPECT_NE(index.find("[Item]\r\nImageId="), std::string::npos) << index;
  EXPECT_NE(index.find("[Item]\r\n\r\n"), std::string::npos) << index;
  EXPECT_EQ(index.find("old.exe"), std::string::npos) << index;
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"20240131235903.dat"}));

  // The dropped entry is gone at the next start; its image is free again.
  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  EXPECT_EQ(control->EntryCount(), 1);
  EXPECT_FALSE(store.IsImage(droppedImage));
}

TEST_F(IconCacheTest, RefusedIndexStartsAfresh) {
  struct Row {
    const char* what;
    std::string index;
  };
  const std::string top = "[TopInfo]\nIconWidth=32\nIconHeight=32\nFailedId=0\nLoadingId=1\n";
  const std::string item = "[Item]\nImageId=2\nFile=C:\\a.exe\nIconIndex=0\nUnused=0\n";
  const Row rows[] = {
      {"no index", ""},
      {"missing data file", "[Identify]\nDataFile=20200101000000.dat\n" + top + item},
      {"data file elsewhere", "[Identify]\nDataFile=..\\other\\20240131235959.dat\n" + top + item},
      {"data file by full path", "[Identify]\nDataFile=" + (dir_ / "20240131235959.dat").string() + "\n" + top + item},
      {"not a data file", "[Identify]\nDataFile=IconCache.ini\n" + top + item},
      {"other width", "[Identify]\nDataFile=20240131235959.dat\n[TopInfo]\nIconWidth=16\nIconHeight=32\nFailedId=0\nLoadingId=1\n" + item},
      {"no size", "[Identify]\nDataFile=20240131235959.dat\n[TopInfo]\nFailedId=0\nLoadingId=1\n" + item},
      {"no failed image", "[Identify]\nDataFile=20240131235959.dat\n[TopInfo]\nIconWidth=32\nIconHeight=32\nLoadingId=1\n" + item},
      {"fixed images out of the pool", "[Identify]\nDataFile=20240131235959.dat\n[TopInfo]\nIconWidth=32\nIconHeight=32\nFailedId=7\nLoadingId=9\n" + item},
      {"one image for both", "[Identify]\nDataFile=20240131235959.dat\n[TopInfo]\nIconWidth=32\nIconHeight=32\nFailedId=1\nLoadingId=1\n" + item},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    {
      FakeStore store;
      auto control = Open(store);
      control->GetEntry("C:\\a.exe", 0);
      Drain(*control);
      ASSERT_TRUE(control->SaveCache());
    }
    fs::remove(Index());
    if (!row.index.empty()) Put(Index(), row.index);
    FakeStore store;
    auto control = Open(store);
    EXPECT_FALSE(control->LoadCache());
    EXPECT_EQ(control->EntryCount(), 0);
    EXPECT_EQ(store.ColorOfImage(control->FailedId()), 0xF0u);
    EXPECT_EQ(store.ColorOfImage(control->LoadingId()), 0xF1u);
    const int32_t entry = control->GetEntry("C:\\b.exe", 0);
    EXPECT_EQ(control->GetImage(entry), control->LoadingId());
  }
}

// An index edited by hand reads as its sections say: names and keys in any case,
// same-named sections merged, a later value winning, items without a "File" key dropped.
TEST_F(IconCacheTest, HandEditedIndexReadsAsItsSectionsSay) {
  int32_t saved = 0;
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\\a.exe", 0);
    Drain(*control);
    saved = control->GetImage(0);
    ASSERT_TRUE(control->SaveCache());
  }
  Put(Index(),
      "// edited\n[identify]\nDataFile=20200101000000.dat\n"
      "[TopInfo]\nIconWidth=32\nIconHeight=32\nFailedId=0\nLoadingId=1\n"
      "[Other]\nFile=C:\\ignored.exe\n"
      "[IDENTIFY]\nDataFile=20240131235959.dat\n\n"
      "[item]\nfile=C:\\first.exe\nIconIndex=4\nIconIndex=x5\nImageId=" + std::to_string(saved) +
      "\nUnused=1\nUnused=2\n"
      "[Item]\nFile =C:\\no key named File.exe\nIconIndex=1\n"
      "[Item]\n// a comment\nFile=C:\\old.exe\nFILE=C:\\second.dll\nIconIndex=-3\n"
      "[Item ]\nFile=C:\\another section.exe\n"
      "[Item]\n");
  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  ASSERT_EQ(control->EntryCount(), 2);
  const JobIconInfoUnit first = Entry(*control, 0);
  EXPECT_EQ(first.file, "C:\\first.exe");
  EXPECT_EQ(first.iconIndex, 0);  // the last value is no number
  EXPECT_EQ(first.unused, 3);
  EXPECT_EQ(control->GetImage(0), saved);
  const JobIconInfoUnit second = Entry(*control, 1);
  EXPECT_EQ(second.file, "C:\\second.dll");
  EXPECT_EQ(second.iconIndex, -3);
  EXPECT_EQ(second.unused, 1);
  EXPECT_EQ(control->GetImage(1), control->LoadingId());  // image 0 is the failed image's own
}

TEST_F(IconCacheTest, ItemsThatClaimAnotherImageGetANewOneAndLeaveTheFixedPixels) {
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\\a.exe", 0);
    Drain(*control);
    ASSERT_TRUE(control->SaveCache());
  }
  // Image 2 is a's; 0 is the failed image; 40 is no image at all; a second claim on 2.
  std::string index = Bytes(Index());
  index += "[Item]\nImageId=0\nFile=C:\\failed-before.exe\n\n";
  index += "[Item]\nImageId=40\nFile=C:\\far.exe\n\n";
  index += "[Item]\nImageId=2\nFile=C:\\twice.exe\nIconIndex=1\n\n";
  index += "[Item]\nImageId=x\n\n";  // no File: forgotten
  Put(Index(), index);

  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  ASSERT_EQ(control->EntryCount(), 4);
  EXPECT_EQ(control->GetImage(0), 2);
  for (int32_t n = 1; n < 4; ++n) EXPECT_EQ(control->GetImage(n), control->LoadingId()) << n;
  Drain(*control);
  EXPECT_EQ(store.replaced, (std::vector<int32_t>{2}));
  EXPECT_EQ(store.ColorOfImage(control->FailedId()), 0xF0u);
  EXPECT_EQ(store.ColorOfImage(control->GetImage(1)), FakeStore::ColorOf("C:\\failed-before.exe", 0));
  EXPECT_EQ(store.ColorOfImage(control->GetImage(3)), FakeStore::ColorOf("C:\\twice.exe", 1));
  EXPECT_EQ(store.ColorOfImage(2), FakeStore::ColorOf("C:\\a.exe", 0));
}

TEST_F(IconCacheTest, CachedIconWhoseFileIsGoneFreesItsImage) {
  int32_t image = -1;
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\\a.exe", 0);
    Drain(*control);
    image = control->GetImage(0);
    ASSERT_TRUE(control->SaveCache());
  }
  FakeStore store;
  store.gone.push_back("C:\\a.exe");
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  EXPECT_EQ(control->GetImage(0), image);
  Drain(*control);
  EXPECT_EQ(control->GetImage(0), control->FailedId());
  EXPECT_FALSE(store.IsImage(image));
  EXPECT_EQ(store.ColorOfImage(control->FailedId()), 0xF0u);
}

TEST_F(IconCacheTest, TwoSavesInOneSecondKeepTheCacheLoadable) {
  FakeStore store;
  auto control = Open(store);
  control->GetEntry("C:\\a.exe", 0);
  Drain(*control);
  ASSERT_TRUE(control->SaveCache());
  control->GetEntry("C:\\b.exe", 0);
  Drain(*control);
  ASSERT_TRUE(control->SaveCache());
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"20240131235959_1.dat"}));
  ASSERT_TRUE(control->SaveCache());
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"20240131235959.dat"}));
  FakeStore again;
  auto loaded = Open(again);
  ASSERT_TRUE(loaded->LoadCache());
  EXPECT_EQ(loaded->EntryCount(), 2);
}

TEST_F(IconCacheTest, SaveCutShortAnywhereLeavesACacheThatLoads) {
  Put(Index(), "[Identify]\nProfile=KEY\n");
  auto prepare = [this](FakeStore& store) {
    auto control = Open(store);
    control->GetEntry("C:\\a.exe", 0);
    Drain(*control);
    return control;
  };
  // The old cache: one entry, saved at :58.
  {
    g_now.second = 58;
    FakeStore store;
    auto control = prepare(store);
    ASSERT_TRUE(control->SaveCache());
  }
  const std::string oldIndex = Bytes(Index());
  const fs::path oldData = dir_ / "20240131235958.dat";
  const std::string oldBytes = Bytes(oldData);
  g_now.second = 59;

  FakeStore counting;
  auto measured = prepare(counting);
  measured->GetEntry("C:\\b.exe", 0);
  Drain(*measured);
  RawLayer::RawFileFaults::StartCounting();
  ASSERT_TRUE(measured->SaveCache());
  const int64_t operations = RawLayer::RawFileFaults::OperationCount();
  RawLayer::RawFileFaults::Reset();
  ASSERT_GT(operations, 5);

  for (int64_t n = 1; n <= operations; ++n) {
    SCOPED_TRACE("failing operation " + std::to_string(n));
    for (const auto& item : fs::directory_iterator(dir_)) fs::remove(item.path());
    Put(Index(), oldIndex);
    Put(oldData, oldBytes);
    FakeStore store;
    auto control = prepare(store);
    control->GetEntry("C:\\b.exe", 0);
    Drain(*control);
    RawLayer::RawFileFaults::StartCounting();
    RawLayer::RawFileFaults::FailOperation(n);
    const bool saved = control->SaveCache();
    RawLayer::RawFileFaults::Reset();

    FakeStore after;
    auto loaded = Open(after);
    ASSERT_TRUE(loaded->LoadCache());
    EXPECT_EQ(loaded->EntryCount(), saved ? 2 : 1);
    EXPECT_EQ(RawProfile(PathText(Index())).GetValue("Identify", "Profile", ""), "KEY");
    // A data file the cut save left behind is gone once the cache has loaded.
    const std::string named = RawProfile(PathText(Index())).GetValue("Identify", "DataFile", "").ToUtf8();
    EXPECT_EQ(DataFiles(), (std::vector<std::string>{named}));
  }
}

TEST_F(IconCacheTest, DataFilesNoIndexNamesGoAtTheNextLoadAndSave) {
  {
    FakeStore store;
    auto control = Open(store);
    control->GetEntry("C:\a.exe", 0);
    Drain(*control);
    ASSERT_TRUE(control->SaveCache());
  }
  // What saves cut short leave behind, beside files that are not the cache's.
  auto strays = [this] {
    Put(dir_ / "20240131235958.dat", "old");
    Put(dir_ / "20230101000000_1.DAT", "older");
    Put(dir_ / "notes.txt", "kept");
    Put(dir_ / "20240131235958.dat.bak", "kept");
    fs::create_directories(dir_ / "folder.dat");
    Put(dir_.parent_path() / "20240131235957.dat", "another folder's");
  };
  const std::vector<std::string> others{"20240131235958.dat.bak", "IconCache.ini", "folder.dat", "notes.txt"};
  auto entries = [this] {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir_)) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  auto with = [](std::vector<std::string> names, const std::string& name) {
    names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  };
  strays();
  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  EXPECT_EQ(entries(), with(others, "20240131235959.dat"));

  strays();
  g_now.minute = 0;
  ASSERT_TRUE(control->SaveCache());
  EXPECT_EQ(entries(), with(others, "20240131230059.dat"));
  EXPECT_TRUE(fs::exists(dir_.parent_path() / "20240131235957.dat"));
  fs::remove(dir_.parent_path() / "20240131235957.dat");
}

TEST_F(IconCacheTest, ThousandEntriesRoundTrip) {
  {
    FakeStore store;
    auto control = Open(store);
    for (int32_t n = 0; n < 1000; ++n) {
      control->GetEntry(RawString::FromUtf8("C:\\icons\\tool" + std::to_string(n) + ".exe"), n % 3);
    }
    Drain(*control);
    ASSERT_TRUE(control->SaveCache());
  }
  FakeStore store;
  auto control = Open(store);
  ASSERT_TRUE(control->LoadCache());
  ASSERT_EQ(control->EntryCount(), 1000);
  EXPECT_EQ(Entry(*control, 999).file, "C:\\icons\\tool999.exe");
  EXPECT_EQ(store.ColorOfImage(control->GetImage(500)), FakeStore::ColorOf("C:\\icons\\tool500.exe", 500 % 3));
  EXPECT_EQ(control->GetEntry("C:\\ICONS\\TOOL999.EXE", 0), 999);
}

TEST_F(IconCacheTest, CacheOffNeitherLoadsNorSaves) {
  settings_.cache = false;
  FakeStore store;
  auto control = Open(store);
  control->GetEntry("C:\\a.exe", 0);
  EXPECT_FALSE(control->SaveCache());
  EXPECT_FALSE(control->LoadCache());
  EXPECT_FALSE(fs::exists(Index()));
}

TEST_F(IconCacheTest, WorkerThreadExtractsInTheBackground) {
  FakeStore store;
  FakeOwner owner;
  auto control = Open(store);
  control->SetOwner(&owner);
  ASSERT_TRUE(control->StartWorker(0));
  const int32_t entry = control->GetEntry("C:\\a.exe", 0);
  control->AddNotification(IconNotifyButtons);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(owner.lock);
      if (!owner.codes.empty()) break;
    }
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(Entry(*control, entry).state, IconReady);
  EXPECT_NE(control->GetImage(entry), control->LoadingId());
  control->StopWorker();
  // Stopped twice, and started again.
  control->StopWorker();
  ASSERT_TRUE(control->StartWorker(0));
  control->StopWorker();
}

// A store with a pool per icon size, as the launcher's: the images of one size stay while
// another is current. Extracted colours carry the size they were extracted at.
class SizedStore : public FakeStore {
 public:
  struct Pool {
    std::vector<uint32_t> colors;
    std::vector<bool> used;
  };
  static uint32_t ColorAt(const RawString& file, int32_t index, int32_t size) {
    return ColorOf(file, index) ^ (static_cast<uint32_t>(size) << 8);
  }
  bool UseSize(int32_t width, int32_t height, bool& fresh) override {
    if (width <= 0 || height <= 0) return false;
    pools[size] = {colors, used};
    size = width * 1000 + height;
    auto found = pools.find(size);
    fresh = found == pools.end();
    colors = fresh ? std::vector<uint32_t>() : found->second.colors;
    used = fresh ? std::vector<bool>() : found->second.used;
    return true;
  }
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source source) override {
    std::unique_ptr<Picture> picture = FakeStore::Extract(file, index, source);
    const int32_t at = size / 1000;
    if (duringExtract) std::exchange(duringExtract, nullptr)();
    if (picture) static_cast<FakePicture&>(*picture).color = ColorAt(file, index, at);
    return picture;
  }
  // The colours the pool of that size holds now (the current one's included).
  std::vector<uint32_t> ColorsOf(int32_t width) {
    pools[size] = {colors, used};
    std::vector<uint32_t> kept;
    const Pool& pool = pools[width * 1000 + width];
    for (size_t n = 0; n < pool.colors.size(); ++n) {
      if (pool.used[n]) kept.push_back(pool.colors[n]);
    }
    return kept;
  }
  std::map<int32_t, Pool> pools;
  std::function<void()> duringExtract;  // runs once, in the middle of the next extraction
};

// The window moves between monitors of different DPI: each size has its own images, and a
// size met before brings its images back without extracting them again.
TEST_F(IconCacheTest, IconsOfEachSizeLiveInTheirOwnPool) {
  SizedStore store;
  auto control = Open(store);
  const RawString files[] = {"C:\\a.exe", "C:\\b.exe", "C:\\c.exe"};
  for (const RawString& file : files) (void)control->GetEntry(file, 0);
  control->AddNotification(IconNotifyButtons);
  Drain(*control);
  struct Row {
    int32_t size;
    size_t newExtractions;  // icons extracted for this step
  } rows[] = {
      {48, 3},  // first time at 48: every icon again, at 48
      {48, 0},  // no change
      {32, 0},  // back: the images of 32 are still there
      {48, 0},  // and those of 48
      {64, 3},
      {32, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("size " + std::to_string(row.size));
    const size_t before = store.extractions.size();
    ASSERT_TRUE(control->ChangeSize(row.size, row.size));
    EXPECT_EQ(control->IconWidth(), row.size);
    Drain(*control);
    EXPECT_EQ(store.extractions.size() - before, row.newExtractions);
    for (int32_t entry = 0; entry < 3; ++entry) {
      EXPECT_EQ(Entry(*control, entry).state, IconReady);
      EXPECT_EQ(store.ColorOfImage(control->GetImage(entry)), SizedStore::ColorAt(files[entry], 0, row.size));
    }
    EXPECT_EQ(store.ColorOfImage(control->FailedId()), 0xF0u);
    EXPECT_EQ(store.ColorOfImage(control->LoadingId()), 0xF1u);
  }
  // No pool holds an icon of another size.
  for (int32_t size : {32, 48, 64}) {
    for (uint32_t color : store.ColorsOf(size)) {
      if (color == 0xF0u || color == 0xF1u) continue;
      EXPECT_TRUE(color == SizedStore::ColorAt(files[0], 0, size) || color == SizedStore::ColorAt(files[1], 0, size) ||
                  color == SizedStore::ColorAt(files[2], 0, size))
          << std::hex << color << " in the pool of " << std::dec << size;
    }
    EXPECT_EQ(store.ColorsOf(size).size(), 5u) << size;
  }
}

TEST_F(IconCacheTest, SizeChangeKeepsWhatEachEntryIs) {
  SizedStore store;
  auto control = Open(store);
  const int32_t ready = control->GetEntry("C:\\a.exe", 0);
  const int32_t missing = control->GetEntry("C:\\missing.exe", 0);
  Drain(*control);
  control->AddNotification(IconNotifyButtons);

  ASSERT_TRUE(control->ChangeSize(48, 48));
  // Every icon waits, with the loading image of the new pool, until it is extracted again.
  for (int32_t entry : {ready, missing}) {
    EXPECT_EQ(Entry(*control, entry).state, IconWaiting) << entry;
    EXPECT_EQ(control->GetImage(entry), control->LoadingId()) << entry;
  }
  EXPECT_EQ(Entry(*control, 2).state, IconNotifyButtons);
  EXPECT_TRUE(control->WorkPending());
  // An icon asked for at 48 only.
  const int32_t later = control->GetEntry("C:\\later.exe", 0);
  Drain(*control);
  EXPECT_EQ(control->GetImage(missing), control->FailedId());
  EXPECT_EQ(store.ColorOfImage(control->GetImage(later)), SizedStore::ColorAt("C:\\later.exe", 0, 48));

  // Back at 32, the entry made at 48 is extracted at 32; the others take their old images.
  const size_t before = store.extractions.size();
  ASSERT_TRUE(control->ChangeSize(32, 32));
  EXPECT_EQ(Entry(*control, later).state, IconWaiting);
  EXPECT_EQ(Entry(*control, ready).state, IconReady);
  Drain(*control);
  ASSERT_EQ(store.extractions.size() - before, 1u);
  EXPECT_EQ(store.extractions.back().file, "C:\\later.exe");
  EXPECT_EQ(store.ColorOfImage(control->GetImage(later)), SizedStore::ColorAt("C:\\later.exe", 0, 32));
  EXPECT_EQ(control->GetImage(missing), control->FailedId());
}

TEST_F(IconCacheTest, RefusedSizeLeavesTheCacheAtItsSize) {
  SizedStore store;
  auto control = Open(store);
  const int32_t entry = control->GetEntry("C:\\a.exe", 0);
  Drain(*control);
  const int32_t image = control->GetImage(entry);
  const size_t extracted = store.extractions.size();
  for (int32_t size : {0, -48}) {
    EXPECT_FALSE(control->ChangeSize(size, size)) << size;
    EXPECT_EQ(control->IconWidth(), 32);
    Drain(*control);
    EXPECT_EQ(control->GetImage(entry), image);
    EXPECT_EQ(Entry(*control, entry).state, IconReady);
    EXPECT_EQ(store.extractions.size(), extracted);
  }
}

// The worker was extracting when the window changed its DPI: what it extracted belongs to the
// old pool, whose image numbers mean other icons in the new one, so it is not taken.
TEST_F(IconCacheTest, ExtractionOverlappingASizeChangeIsDoneAgainAtTheNewSize) {
  SizedStore store;
  auto control = Open(store);
  const int32_t first = control->GetEntry("C:\\a.exe", 0);
  const int32_t second = control->GetEntry("C:\\b.exe", 0);
  Drain(*control);
  // Cached icons are extracted again into their own images.
  ASSERT_TRUE(control->SaveCache());
  auto reopened = Open(store);
  ASSERT_TRUE(reopened->LoadCache());
  ASSERT_EQ(Entry(*reopened, first).state, IconFromCache);
  store.duringExtract = [&] { EXPECT_TRUE(reopened->ChangeSize(48, 48)); };
  store.replaced.clear();
  Drain(*reopened);
  EXPECT_TRUE(store.replaced.empty()) << "an image of the new pool was overwritten";
  for (int32_t entry : {first, second}) {
    EXPECT_EQ(Entry(*reopened, entry).state, IconReady);
    const RawString file = entry == first ? "C:\\a.exe" : "C:\\b.exe";
    EXPECT_EQ(store.ColorOfImage(reopened->GetImage(entry)), SizedStore::ColorAt(file, 0, 48));
  }
}

}  // namespace
}  // namespace JobLayer
