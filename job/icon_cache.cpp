#include "job/icon_cache.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>

#include "raw/file.h"
#include "raw/folder.h"
#include "raw/line_file.h"
#include "raw/parameter_list.h"
#include "raw/path.h"
#include "raw/profile.h"

namespace JobLayer {

using RawLayer::JoinPath;
using RawLayer::kWhole;
using RawLayer::RawParameterList;
using RawLayer::RawProfile;

namespace {

constexpr char kIdentify[] = "Identify";
constexpr char kTopInfo[] = "TopInfo";
constexpr char kItem[] = "Item";
constexpr int32_t kIdleWaitMs = 1000;

// A text's 32-bit value, `fallback` when it is no 32-bit number.
int32_t IntegerIn(const RawString& text, int32_t fallback) {
  int64_t value = 0;
  if (!text.ParseInteger(kWhole, value) || value < INT32_MIN || value > INT32_MAX) return fallback;
  return static_cast<int32_t>(value);
}

// A key's 32-bit value, `fallback` when it is missing or no 32-bit number.
int32_t IntegerOf(const RawParameterList& section, const RawString& key, int32_t fallback) {
  const RawLayer::RawParameterUnit* unit = section.Find(key);
  return unit == nullptr ? fallback : IntegerIn(unit->value, fallback);
}

// What a save writes of one entry.
struct SavedEntry {
  int32_t state;
  int32_t image;
  RawString file;
  int32_t index;
  int32_t unused;
};

// The index in one pass: [Identify] and [TopInfo] as section lists (same-named sections
// merge, a later value wins), and each [Item] as the entry it saves, read where its lines
// stand. An item keeps the last value of each key, as a section list would.
class IndexReader : public RawLayer::RawProfileEnumeration::EntryVisitor {
 public:
  bool OnSection(const RawString& name) override {
    static const RawString item(kItem);
    static const RawString identify(kIdentify);
    static const RawString topInfo(kTopInfo);
    EndItem();
    section_ = name.EqualNoCase(kWhole, item)       ? Section::Item
               : name.EqualNoCase(kWhole, identify) ? Section::Identify
               : name.EqualNoCase(kWhole, topInfo)  ? Section::TopInfo
                                                    : Section::Other;
    if (section_ == Section::Item) {
      item_ = {IconFromCache, 0, RawString(), 0, 0};
      itemHasFile_ = false;
    }
    return section_ != Section::Other;
  }

  void OnEntry(const RawString& key, const RawString& value) override {
    static const RawString file("File");
    static const RawString imageId("ImageId");
    static const RawString iconIndex("IconIndex");
    static const RawString unused("Unused");
    if (section_ == Section::Identify) {
      identify.FindOrAdd(key).value = value;
    } else if (section_ == Section::TopInfo) {
      top.FindOrAdd(key).value = value;
    } else {
      // The keys of an item differ in length, so the length picks the one key to compare.
      switch (key.Length()) {
        case 4:
          if (key.EqualNoCase(kWhole, file)) {
            item_.file = value;
            itemHasFile_ = true;
          }
          break;
        case 7:
          if (key.EqualNoCase(kWhole, imageId)) item_.image = IntegerIn(value, 0);
          break;
        case 9:
          if (key.EqualNoCase(kWhole, iconIndex)) item_.index = IntegerIn(value, 0);
          break;
        case 6:
          if (key.EqualNoCase(kWhole, unused)) item_.unused = IntegerIn(value, 0);
          break;
        default:
          break;
      }
    }
  }

  // After the walk: the last item is complete.
  void Finish() {
    EndItem();
    section_ = Section::Other;
  }

  RawParameterList identify;
  RawParameterList top;
  std::vector<SavedEntry> items;

 private:
  enum class Section { Other, Identify, TopInfo, Item };

  void EndItem() {
    // A dropped entry was written without keys: nothing to bring back.
    if (section_ == Section::Item && itemHasFile_) items.push_back(std::move(item_));
  }

  Section section_ = Section::Other;
  SavedEntry item_{IconFromCache, 0, RawString(), 0, 0};
  bool itemHasFile_ = false;
};

class IdentifyReader : public RawLayer::RawProfileEnumeration::Enumerator {
 public:
  bool OnSection(const RawString&, const RawParameterList& list) override {
    identify.Copy(list);
    return true;
  }
  RawParameterList identify;
};

}  // namespace

int32_t ParseIconIndex(const RawString& text) {
  const std::string digits = text.ToUtf8();
  int32_t index = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  return error == std::errc() && end == digits.data() + digits.size() ? index : 0;
}

JobIconControl::JobIconControl() : clock_(&RawLayer::CurrentTime), worker_(*this) {}

JobIconControl::~JobIconControl() { StopWorker(); }

JobIconControl& JobIconControl::Instance() {
  static JobIconControl control;
  return control;
}

RawString JobIconControl::DataFileName(const RawLayer::RawTime& time) {
  RawString name = RawLayer::DateText(time);
  name.Append(RawLayer::TimeText(time));
  name.Append(".dat");
  return name;
}

bool JobIconControl::IsDataFileName(const RawString& name) {
  if (name.Length() <= 4 || !name.EqualNoCase({name.Length() - 4, name.Length()}, ".dat")) return false;
  for (const char* bad = "\\/:"; *bad != 0; ++bad) {
    if (name.Find(static_cast<uint8_t>(*bad)) < name.Length()) return false;
  }
  return !name.StartsWith(".");
}

bool JobIconControl::Open(const JobIconSettings& settings, JobIconStore& store) {
  std::scoped_lock locks(listLock_, stateLock_, poolLock_);
  settings_ = settings;
  store_ = &store;
  extensions_.Clear();
  const RawString& list = settings_.extensions;
  for (int32_t begin = 0; begin <= list.Length();) {
    const int32_t comma = list.Find(',', {begin, list.Length()});
    const RawLayer::RawRange item = list.Trim({begin, comma}, RawLayer::kBlanks);
    if (item.end > item.begin) extensions_.Add(list.Sub(item));
    begin = comma + 1;
  }
  list_.Clear();
  entries_.clear();
  ClearLookup();
  cursor_ = 0;
  unannounced_ = 0;
  workPending_ = false;
  otherSizes_.clear();
  ++generation_;
  if (!store_->Prepare(settings_.iconWidth, settings_.iconHeight)) return false;
  failedId_ = store_->AddFixed(JobIconStore::FixedFailed);
  loadingId_ = store_->AddFixed(JobIconStore::FixedLoading);
  return failedId_ >= 0 && loadingId_ >= 0;
}

void JobIconControl::SetOwner(JobIconOwner* owner) {
  std::lock_guard<std::mutex> guard(stateLock_);
  owner_ = owner;
}

void JobIconControl::StartAfresh() {
  list_.Clear();
  entries_.clear();
  ClearLookup();
  cursor_ = 0;
  unannounced_ = 0;
  workPending_ = false;
  otherSizes_.clear();
  store_->Clear();
  failedId_ = store_->AddFixed(JobIconStore::FixedFailed);
  loadingId_ = store_->AddFixed(JobIconStore::FixedLoading);
}

JobIconStore::Source JobIconControl::SourceFor(const RawString& file, int32_t index) const {
  if (index != 0) return JobIconStore::SourceIndexed;
  const int32_t dot = file.FindExtension();
  const RawString extension = dot < file.Length() ? file.Sub({dot + 1, file.Length()}) : RawString();
  // The list compares ignoring ASCII case.
  return extensions_.Find(extension) != nullptr && !extension.IsEmpty() ? JobIconStore::SourceIndexed
                                                                        : JobIconStore::SourceShell;
}

int32_t JobIconControl::ExtractImage(const RawString& file, int32_t index, int32_t image, uint32_t generation) {
  std::unique_ptr<JobIconStore::Picture> picture;
  if (store_ != nullptr) picture = store_->Extract(file, index, SourceFor(file, index));
  std::lock_guard<std::mutex> pool(poolLock_);
  // `image` names a slot of the pool of that time; another pool's slot may be another icon's.
  if (generation != generation_) return kStaleImage;
  // Pixels of a fixed image are never replaced: every failed or loading icon shows them.
  const bool own = image >= 0 && !IsFixed(image) && store_->IsImage(image);
  if (picture && own && store_->Replace(image, *picture)) return image;
  if (own) store_->Free(image);
  if (!picture) return failedId_;
  const int32_t added = store_->Add(*picture);
  return added >= 0 ? added : failedId_;
}

namespace {

// The key of a file (ASCII case folded, in UTF-8) and an icon index, written into `key`.
template <class Key>
void MakeLookupKey(const RawString& file, int32_t index, Key& key) {
  const RawString converted = file.Code() == RawLayer::CodeUtf8 ? RawString() : file.Convert(RawLayer::CodeUtf8);
  const std::string_view text = file.Code() == RawLayer::CodeUtf8 ? file.View() : converted.View();
  char digits[12];
  char* digitsEnd = std::to_chars(digits, digits + sizeof digits, index).ptr;
  key.resize(text.size() + 1);
  std::transform(text.begin(), text.end(), key.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  key[text.size()] = '\0';
  key.append(digits, static_cast<size_t>(digitsEnd - digits));
}

}  // namespace

void JobIconControl::ClearLookup() { lookup_ = std::make_unique<Lookup>(); }

void JobIconControl::Append(int32_t state, int32_t image, const RawString& file, int32_t index, int32_t unused) {
  JobIconInfoUnit& unit = list_.Add(state, image, file, index, unused);
  entries_.push_back(&unit);
  if (state != IconNotifyButtons && state != IconNotifyMenu) {
    std::pmr::string key(&lookup_->memory);
    MakeLookupKey(file, index, key);
    lookup_->entries.emplace(std::move(key), static_cast<int32_t>(entries_.size()) - 1);
  }
}

int32_t JobIconControl::GetEntry(const RawString& file, int32_t index) {
  {
    std::scoped_lock locks(listLock_, stateLock_);
    MakeLookupKey(file, index, lookupKey_);
    if (auto found = lookup_->entries.find(std::string_view(lookupKey_)); found != lookup_->entries.end()) {
      return found->second;
    }
    if (settings_.delay) {
      Append(IconWaiting, loadingId_, file, index, 0);
      workPending_ = true;
      const int32_t entry = static_cast<int32_t>(entries_.size()) - 1;
      Wake();
      return entry;
    }
  }
  int32_t image = kStaleImage;
  while (image == kStaleImage) image = ExtractImage(file, index, -1, Generation());
  std::scoped_lock locks(listLock_, stateLock_);
  Append(IconReady, image, file, index, 0);
  return static_cast<int32_t>(entries_.size()) - 1;
}

int32_t JobIconControl::GetImage(int32_t entry) {
  std::scoped_lock locks(listLock_, stateLock_);
  if (entry < 0 || entry >= static_cast<int32_t>(entries_.size())) return -1;
  JobIconInfoUnit& unit = *entries_[static_cast<size_t>(entry)];
  unit.unused = 0;
  return unit.imageId;
}

void JobIconControl::AddNotification(int32_t state) {
  if (state != IconNotifyButtons && state != IconNotifyMenu) return;
  {
    std::scoped_lock locks(listLock_, stateLock_);
    Append(state, -1, RawString(), 0, 0);
    workPending_ = true;
  }
  Wake();
}

bool JobIconControl::WorkOnce() {
  JobIconInfoUnit* unit = nullptr;
  {
    std::scoped_lock locks(listLock_, stateLock_);
    if (cursor_ < static_cast<int32_t>(entries_.size())) unit = entries_[static_cast<size_t>(cursor_++)];
  }
  if (unit == nullptr) {
    AnnounceLeftovers();
    return false;
  }
  int32_t state;
  int32_t image;
  RawString file;
  int32_t index;
  JobIconOwner* owner;
  uint32_t generation;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    state = unit->state;
    image = unit->imageId;
    file = unit->file;
    index = unit->iconIndex;
    owner = owner_;
    generation = generation_;
  }
  if (state == IconWaiting || state == IconFromCache) {
    const int32_t extracted = ExtractImage(file, index, state == IconFromCache ? image : -1, generation);
    // The size changed meanwhile: the cursor starts again and comes back to this entry.
    if (extracted == kStaleImage) return true;
    std::lock_guard<std::mutex> guard(stateLock_);
    unit->imageId = extracted;
    unit->state = IconReady;
    ++unannounced_;
  } else if (state == IconNotifyButtons || state == IconNotifyMenu) {
    {
      std::lock_guard<std::mutex> guard(stateLock_);
      unannounced_ = 0;
    }
    if (owner != nullptr) owner->NotifyIcons(state == IconNotifyButtons ? kIconNotifyButtonsCode : kIconNotifyMenuCode);
  }
  return true;
}

void JobIconControl::AnnounceLeftovers() {
  JobIconOwner* owner;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (unannounced_ == 0 || owner_ == nullptr) return;
    unannounced_ = 0;
    owner = owner_;
  }
  owner->NotifyIcons(kIconNotifyButtonsCode);
}

bool JobIconControl::WorkPending() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return workPending_;
}

void JobIconControl::RunWorker() {
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(wakeLock_);
      if (stop_) return;
    }
    // A short pause per entry leaves the processor to the window thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (WorkOnce()) continue;
    {
      std::lock_guard<std::mutex> guard(stateLock_);
      // Work appended since the last look keeps the flag.
      if (cursor_ >= static_cast<int32_t>(entries_.size())) workPending_ = false;
    }
    std::unique_lock<std::mutex> lock(wakeLock_);
    wake_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs), [this] { return signalled_ || stop_; });
    signalled_ = false;
  }
}

void JobIconControl::Wake() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    signalled_ = true;
  }
  wake_.notify_all();
}

void JobIconControl::RequestLoad() { AddNotification(IconNotifyButtons); }

bool JobIconControl::StartWorker(int32_t priority) {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    stop_ = false;
  }
  worker_.SetPriority(priority);
  return worker_.Start();
}

void JobIconControl::StopWorker() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    stop_ = true;
    signalled_ = true;
  }
  wake_.notify_all();
  worker_.Wait();
}

uint32_t JobIconControl::Generation() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return generation_;
}

namespace {

bool HoldsIcon(int32_t state) { return state == IconReady || state == IconWaiting || state == IconFromCache; }

}  // namespace

bool JobIconControl::ChangeSize(int32_t width, int32_t height) {
  {
    std::scoped_lock locks(listLock_, stateLock_, poolLock_);
    if (store_ == nullptr) return false;
    if (width == settings_.iconWidth && height == settings_.iconHeight) return true;
    SizeImages left{settings_.iconWidth, settings_.iconHeight, failedId_, loadingId_, {}, {}};
    left.images.reserve(entries_.size());
    left.states.reserve(entries_.size());
    for (const JobIconInfoUnit* unit : entries_) {
      left.images.push_back(unit->imageId);
      left.states.push_back(unit->state);
    }
    bool fresh = false;
    if (!store_->UseSize(width, height, fresh)) return false;
    settings_.iconWidth = width;
    settings_.iconHeight = height;
    ++generation_;
    auto kept = std::find_if(otherSizes_.begin(), otherSizes_.end(),
                             [&](const SizeImages& size) { return size.width == width && size.height == height; });
    if (kept != otherSizes_.end() && !fresh) {
      failedId_ = kept->failedId;
      loadingId_ = kept->loadingId;
      for (size_t n = 0; n < entries_.size(); ++n) {
        JobIconInfoUnit& unit = *entries_[n];
        if (!HoldsIcon(unit.state)) continue;
        // An entry made at the other size, or one still waiting there, is extracted now.
        const bool had = n < kept->images.size() && (kept->states[n] == IconReady || kept->states[n] == IconFromCache);
        unit.imageId = had ? kept->images[n] : loadingId_;
        unit.state = had ? kept->states[n] : IconWaiting;
      }
    } else {
      // A pool that was forgotten (the cache started afresh) holds nothing of the entries.
      if (!fresh) store_->Clear();
      failedId_ = store_->AddFixed(JobIconStore::FixedFailed);
      loadingId_ = store_->AddFixed(JobIconStore::FixedLoading);
      for (JobIconInfoUnit* unit : entries_) {
        if (!HoldsIcon(unit->state)) continue;
        unit->imageId = loadingId_;
        unit->state = IconWaiting;
      }
    }
    if (kept != otherSizes_.end()) otherSizes_.erase(kept);
    otherSizes_.push_back(std::move(left));
    cursor_ = 0;
    unannounced_ = 0;
    workPending_ = !entries_.empty();
  }
  Wake();
  return FailedId() >= 0 && LoadingId() >= 0;
}

int32_t JobIconControl::IconWidth() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return settings_.iconWidth;
}

int32_t JobIconControl::IconHeight() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return settings_.iconHeight;
}

int32_t JobIconControl::FailedId() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return failedId_;
}

int32_t JobIconControl::LoadingId() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return loadingId_;
}

int32_t JobIconControl::EntryCount() const {
  std::lock_guard<std::mutex> guard(listLock_);
  return static_cast<int32_t>(entries_.size());
}

bool JobIconControl::EntryAt(int32_t entry, JobIconInfoUnit& out) const {
  std::scoped_lock locks(listLock_, stateLock_);
  if (entry < 0 || entry >= static_cast<int32_t>(entries_.size())) return false;
  out = *entries_[static_cast<size_t>(entry)];
  return true;
}

RawString JobIconControl::IndexPath() const { return JoinPath(settings_.cacheFolder, settings_.indexName); }

bool JobIconControl::LoadCache() {
  if (store_ == nullptr || !settings_.cache) return false;
  RawProfile index(IndexPath());
  IndexReader reader;
  const bool itemsRead = index.VisitEntries(reader);
  reader.Finish();
  const RawString dataName = reader.identify.GetValue("DataFile", RawString());
  // Only a file of the cache folder itself: the index may have been edited or come from elsewhere.
  if (!IsDataFileName(dataName)) return false;
  const RawParameterList& top = reader.top;
  const IndexReader& items = reader;

  std::scoped_lock locks(listLock_, stateLock_, poolLock_);
  if (!store_->LoadFrom(JoinPath(settings_.cacheFolder, dataName))) return false;
  const int32_t failed = IntegerOf(top, "FailedId", -1);
  const int32_t loading = IntegerOf(top, "LoadingId", -1);
  const bool usable = itemsRead && IntegerOf(top, "IconWidth", 0) == settings_.iconWidth &&
                      IntegerOf(top, "IconHeight", 0) == settings_.iconHeight && failed != loading &&
                      store_->IsImage(failed) && store_->IsImage(loading);
  if (!usable) {
    StartAfresh();
    return false;
  }
  list_.Clear();
  entries_.clear();
  ClearLookup();
  otherSizes_.clear();
  ++generation_;
  failedId_ = failed;
  loadingId_ = loading;
  cursor_ = 0;
  unannounced_ = 0;
  entries_.reserve(items.items.size());
  lookup_->entries.reserve(items.items.size());
  std::vector<bool> held(static_cast<size_t>(store_->ImageCount()), false);
  held[static_cast<size_t>(failed)] = held[static_cast<size_t>(loading)] = true;
  for (const SavedEntry& item : items.items) {
    int32_t image = item.image;
    // An image that is no image of its own would be overwritten for another icon:
    // the entry shows the loading image and gets a new one when extracted again.
    if (!store_->IsImage(image) || held[static_cast<size_t>(image)]) {
      image = loadingId_;
    } else {
      held[static_cast<size_t>(image)] = true;
    }
    Append(IconFromCache, image, item.file, item.index, item.unused + 1);
  }
  // Images that no entry names any more are free for new icons.
  for (int32_t image = 0; image < static_cast<int32_t>(held.size()); ++image) {
    if (!held[static_cast<size_t>(image)] && store_->IsImage(image)) store_->Free(image);
  }
  workPending_ = !entries_.empty();
  DeleteDataFilesExcept(dataName);
  return true;
}

void JobIconControl::DeleteDataFilesExcept(const RawString& kept) const {
  // Without a folder of its own the cache would sweep the working folder.
  if (settings_.cacheFolder.IsEmpty()) return;
  RawLayer::RawStringList stale;
  RawLayer::RawFolderWalker walker(JoinPath(settings_.cacheFolder, RawString("*")));
  while (walker.Next()) {
    const RawLayer::RawFindFileData& entry = walker.Entry();
    if (!entry.IsFolder() && IsDataFileName(entry.name) && !entry.name.EqualNoCase(kWhole, kept)) {
      stale.Add(entry.fullPath);
    }
  }
  for (const RawString& path : stale) (void)RawLayer::DeleteFileAt(path);
}

void JobIconControl::DropUnused() {
  std::scoped_lock locks(listLock_, stateLock_, poolLock_);
  for (JobIconInfoUnit* unit : entries_) {
    if (unit->state != IconReady && unit->state != IconWaiting && unit->state != IconFromCache) continue;
    if (unit->unused < settings_.unusedCount) continue;
    unit->state = IconDropped;
    if (!IsFixed(unit->imageId) && store_->IsImage(unit->imageId)) store_->Free(unit->imageId);
    // The freed image may be handed to another icon; this entry never draws it again.
    unit->imageId = failedId_;
  }
}

// What a save writes into the index besides the carried-over [Identify].
struct JobIconControl::SavedIndex {
  RawParameterList top;
  std::vector<SavedEntry> entries;
};

bool JobIconControl::SaveCache() {
  if (store_ == nullptr || !settings_.cache) return false;
  const RawString indexPath = IndexPath();
  // The old [Identify] is carried over whole (it holds the folder's claim), so an
  // index that exists but cannot be read to its end is not replaced.
  RawProfile index(indexPath);
  IdentifyReader identifyReader;
  if (!index.Enumerate(kIdentify, identifyReader) && RawLayer::PathKind(indexPath) != RawLayer::RawPathKind::Missing) {
    return false;
  }
  RawParameterList& identify = identifyReader.identify;
  const RawString dataName = ChooseDataName(identify.GetValue("DataFile", RawString()));
  const RawString dataPath = JoinPath(settings_.cacheFolder, dataName);
  SavedIndex saved;
  if (!SaveDataAndCopyEntries(dataPath, saved)) return false;
  identify.SetValue("DataFile", dataName);
  if (!WriteIndex(indexPath, identify, saved)) {
    (void)RawLayer::DeleteFileAt(dataPath);
    return false;
  }
  DeleteDataFilesExcept(dataName);
  return true;
}

// The data file of this save, named by the clock: two saves within one second
// must not write over the file the index still names.
RawString JobIconControl::ChooseDataName(const RawString& oldData) const {
  RawString dataName = DataFileName(clock_());
  if (dataName.EqualNoCase(kWhole, oldData)) {
    dataName.Truncate(dataName.Length() - 4);
    dataName.Append("_1.dat");
  }
  return dataName;
}

// Under the locks, so that the pool and the entries are of one moment: writes the
// pool into its data file and copies what the index tells of it.
bool JobIconControl::SaveDataAndCopyEntries(const RawString& dataPath, SavedIndex& saved) {
  std::scoped_lock locks(listLock_, stateLock_, poolLock_);
  if (!store_->SaveTo(dataPath)) {
    (void)RawLayer::DeleteFileAt(dataPath);
    return false;
  }
  saved.top.SetInteger("IconWidth", settings_.iconWidth);
  saved.top.SetInteger("IconHeight", settings_.iconHeight);
  saved.top.SetInteger("FailedId", failedId_);
  saved.top.SetInteger("LoadingId", loadingId_);
  saved.entries.reserve(entries_.size());
  for (const JobIconInfoUnit* unit : entries_) {
    saved.entries.push_back({unit->state, unit->imageId, unit->file, unit->iconIndex, unit->unused});
  }
  return true;
}

// Writes the index beside its old self and swaps it in whole.
bool JobIconControl::WriteIndex(const RawString& indexPath, const RawParameterList& identify, const SavedIndex& saved) {
  RawLayer::RawTemporaryFile temp(indexPath);
  RawLayer::RawLineFile writer(temp.Path());
  writer.SetFileCode(RawLayer::CodeUtf8);
  // With the mark the next start reads the index as UTF-8 for certain: carried-over keys may
  // hold text that detection would take for Shift_JIS, and then the index could neither be
  // read nor replaced again.
  writer.SetFlags(RawLayer::RawLineFile::FlagWriteMark);
  if (!writer.OpenWrite()) return false;
  temp.Own();
  bool ok = RawProfile::WriteSectionTo(writer, kIdentify, identify) &&
            RawProfile::WriteSectionTo(writer, kTopInfo, saved.top);
  for (size_t n = 0; ok && n < saved.entries.size(); ++n) {
    const SavedEntry& entry = saved.entries[n];
    RawParameterList item;
    if (entry.state == IconReady || entry.state == IconWaiting || entry.state == IconFromCache) {
      item.SetInteger("ImageId", entry.image);
      item.SetValue("File", entry.file);
      item.SetInteger("IconIndex", entry.index);
      item.SetInteger("Unused", entry.unused);
    }
    ok = RawProfile::WriteSectionTo(writer, kItem, item);
  }
  return writer.Close() && ok && temp.MoveOnto(indexPath);
}

}  // namespace JobLayer
