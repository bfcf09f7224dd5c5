// The icon cache: every icon that buttons, selectors and menu items show is kept
// as an image of one pool, behind a small integer handle (the entry number) that
// is handed out at once. The pool is that of the current icon size; when the size
// changes (the window moved to a monitor of another DPI) the entries take the images
// they had at the new size before, or are extracted again into a pool of that size,
// and the images of the old size wait in their own pool for the window to come back.
// Icons are extracted in the background when allowed, and the pool of the current
// size with its index is saved in the cache folder from one start to the next,
// dropping icons that were not drawn for a number of starts.
//
// The pool and the extraction live above this layer: the control reaches them
// through JobIconStore (the launcher's store on Windows extracts with the shell;
// the headless build has no extraction, so every icon is the "failed" image).
//
// Index profile (the cache folder's "IconCache.ini"; other keys of [Identify],
// such as the folder's Profile claim, are kept):
//   [Identify] DataFile   the data file in the same folder: the pool as the pool
//                         writes it, named YYYYMMDDHHMMSS.dat by the UTC time
//   [TopInfo]  IconWidth, IconHeight, FailedId, LoadingId
//   [Item]     ImageId, File, IconIndex, Unused   one per entry in list order;
//              dropped and notification entries write a section without keys
// Reading refuses the whole cache (it starts afresh) when the data file is not a
// plain ".dat" name of the folder, the pool refuses it, the size differs or a
// fixed image is missing. An Item naming an image that is no image of the pool,
// a fixed one or one an earlier Item holds keeps the entry but gets a new image
// when it is extracted again; an Item without a File is forgotten.
// Saving writes the data file first, swaps the index in whole, and only then
// removes the old data file, so a save cut short leaves a cache that loads. Every
// save and load that succeeds removes the data files (names a save makes) of the
// cache folder that the index does not name, which such a save left behind.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "raw/list.h"
#include "raw/parameter_list.h"
#include "raw/string.h"
#include "raw/string_list.h"
#include "raw/thread.h"
#include "raw/time_stamp.h"

namespace JobLayer {

using RawLayer::RawString;

enum JobIconState : int32_t {
  IconReady = 1,
  IconWaiting = 2,    // to be extracted by the worker
  IconFromCache = 3,  // read from the cache; to be extracted again into its image
  IconDropped = 4,
  IconNotifyButtons = 5,  // tells the owner when the entries before it are done
  IconNotifyMenu = 6,
};

// Notification codes of the command the owner window gets.
inline constexpr uint32_t kIconNotifyButtonsCode = 0x1103;
inline constexpr uint32_t kIconNotifyMenuCode = 0x1104;

struct JobIconInfoUnit {
  JobIconInfoUnit(int32_t state_, int32_t image, const RawString& file_, int32_t index, int32_t unused_)
      : state(state_), imageId(image), file(file_), iconIndex(index), unused(unused_) {}
  int32_t state;
  int32_t imageId;  // -1 for none
  RawString file;
  int32_t iconIndex;
  int32_t unused;  // starts since the icon was last drawn
};

class JobIconInfoListAllocator : public RawLayer::RawListAllocator<JobIconInfoUnit> {};
class JobIconInfoList : public RawLayer::RawListR<JobIconInfoListAllocator, JobIconInfoUnit> {};

// The images and the extraction, as the layer above provides them. The control
// calls Extract without any lock and every other operation under its pool lock.
class JobIconStore {
 public:
  // How an icon is taken from its file.
  enum Source {
    SourceShell,    // the icon the shell shows for the file
    SourceIndexed,  // the icon with that index in the file
  };
  enum Fixed { FixedFailed, FixedLoading };
  // An extracted icon that is not in the pool yet.
  class Picture {
   public:
    virtual ~Picture() = default;
  };

  virtual ~JobIconStore() = default;
  // An empty pool of width x height images; pools of other sizes are forgotten.
  [[nodiscard]] virtual bool Prepare(int32_t width, int32_t height) = 0;
  // Makes the pool of width x height the one every other call works on. A store that keeps a
  // pool per size keeps the images of the others; `fresh` says the pool is new and empty.
  // False when no such pool can be had; the current one stays.
  [[nodiscard]] virtual bool UseSize(int32_t width, int32_t height, bool& fresh) {
    fresh = true;
    return Prepare(width, height);
  }
  // Adds a fixed picture; its image id or -1.
  virtual int32_t AddFixed(Fixed which) = 0;
  // Extracts an icon at the prepared size; null when the file gives none.
  virtual std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source source) = 0;
  virtual int32_t Add(const Picture& picture) = 0;
  [[nodiscard]] virtual bool Replace(int32_t image, const Picture& picture) = 0;
  virtual void Free(int32_t image) = 0;
  // True for an image that is handed out and not freed.
  virtual bool IsImage(int32_t image) const = 0;
  // One more than the highest image id ever handed out.
  virtual int32_t ImageCount() const = 0;
  [[nodiscard]] virtual bool SaveTo(const RawString& path) = 0;
  // Leaves the pool as it was when the file is refused.
  [[nodiscard]] virtual bool LoadFrom(const RawString& path) = 0;
  // Forgets every image.
  virtual void Clear() = 0;
};

// The window told when notification entries are reached (on Windows a posted
// command with the notification code and the owner's control identifier).
class JobIconOwner {
 public:
  virtual ~JobIconOwner() = default;
  virtual void NotifyIcons(uint32_t code) = 0;
};

struct JobIconSettings {
  bool cache = true;  // IconCache
  bool delay = true;  // IconDelay
  RawString cacheFolder;
  RawString indexName = "IconCache.ini";
  int32_t unusedCount = 60;
  RawString extensions = "ico,exe,dll";  // comma-separated
  int32_t iconWidth = 32;
  int32_t iconHeight = 32;
};

// The icon index of an "IconIndex" value of a script: decimal digits with an
// optional leading "-". Empty text, any other text (no "0x" or "+", no blanks) and
// values beyond 32 bits give 0.
int32_t ParseIconIndex(const RawString& text);

class JobIconControl {
 public:
  JobIconControl();
  JobIconControl(const JobIconControl&) = delete;
  JobIconControl& operator=(const JobIconControl&) = delete;
  ~JobIconControl();  // stops the worker

  // The process-wide control.
  static JobIconControl& Instance();

  // Takes the settings and the store (not owned), makes an empty pool with the
  // failed and the loading image, and forgets every entry.
  [[nodiscard]] bool Open(const JobIconSettings& settings, JobIconStore& store);
  void SetOwner(JobIconOwner* owner);

  // The entry for an icon (file compared ignoring ASCII case), made when new:
  // waiting for the worker with background loading, else extracted at once.
  int32_t GetEntry(const RawString& file, int32_t index);
  // The entry's image (the loading image while it waits), and the entry counts
  // as drawn; -1 for an entry number out of range.
  int32_t GetImage(int32_t entry);
  // Appends a notification entry (IconNotifyButtons or IconNotifyMenu).
  void AddNotification(int32_t state);

  // Icons of another size from now on (the window's DPI changed): the pool of that size
  // becomes the current one; entries take back the images they had in it, or wait to be
  // extracted again at that size (the worker, or WorkOnce, does it). False when the store
  // has no pool of that size; the cache then stays at its size.
  [[nodiscard]] bool ChangeSize(int32_t width, int32_t height);
  int32_t IconWidth() const;
  int32_t IconHeight() const;

  [[nodiscard]] bool LoadCache();
  // Entries not drawn for `unusedCount` starts are dropped and their images freed.
  void DropUnused();
  [[nodiscard]] bool SaveCache();

  // The worker thread: extracts waiting entries and reaches notifications.
  [[nodiscard]] bool StartWorker(int32_t priority);
  // Sets the stop flag, wakes the worker and waits for it.
  void StopWorker();
  // Queues a load request: the owner is told (buttons) when the entries made so far are done.
  void RequestLoad();
  // One step of the worker at its cursor; false when the cursor is past the last
  // entry. The worker's loop, also used by tests to work without a thread.
  // Icons extracted after the last notification entry (a dropped button's, an edited one's)
  // are announced to the owner as buttons when the cursor runs past the last entry, so
  // nothing keeps showing the loading image because nobody asked to be told.
  bool WorkOnce();
  bool WorkPending() const;

  // Held by whoever draws the store's images, since the worker adds to the pool.
  std::mutex& PoolLock() { return poolLock_; }
  int32_t FailedId() const;
  int32_t LoadingId() const;
  int32_t EntryCount() const;
  // A copy of an entry, for tests and diagnostics; false when out of range.
  bool EntryAt(int32_t entry, JobIconInfoUnit& out) const;
  RawString IndexPath() const;
  // The source the extraction rule picks: the shell's icon for index 0 of a
  // file whose extension is not in the list, else the indexed icon.
  JobIconStore::Source SourceFor(const RawString& file, int32_t index) const;

  // "YYYYMMDDHHMMSS.dat" for a UTC time.
  static RawString DataFileName(const RawLayer::RawTime& time);
  // True for a name that a save makes: a plain file name ending in ".dat".
  static bool IsDataFileName(const RawString& name);
  // Test support: the clock of SaveCache.
  void SetClock(RawLayer::RawTime (*clock)()) { clock_ = clock; }

 private:
  class Worker : public RawLayer::RawThreadUnit {
   public:
    explicit Worker(JobIconControl& control) : control_(control) {}

   protected:
    void Run() override { control_.RunWorker(); }

   private:
    JobIconControl& control_;
  };

  // The images the entries had at a size that is not the current one.
  struct SizeImages {
    int32_t width;
    int32_t height;
    int32_t failedId;
    int32_t loadingId;
    std::vector<int32_t> images;  // by entry number
    std::vector<int32_t> states;
  };
  // What ExtractImage gives when the size changed while it extracted: the image is not
  // taken, and the entry is extracted again at the new size.
  static constexpr int32_t kStaleImage = -2;

  void RunWorker();
  // Extracts an icon into the pool: into `image` when it is an image of its own,
  // else into a new one; FailedId when anything fails; kStaleImage when the size is no
  // longer that of `generation`.
  int32_t ExtractImage(const RawString& file, int32_t index, int32_t image, uint32_t generation);
  uint32_t Generation() const;
  bool IsFixed(int32_t image) const { return image == failedId_ || image == loadingId_; }
  // Empties the list and the pool and makes the fixed images again.
  void StartAfresh();
  void Append(int32_t state, int32_t image, const RawString& file, int32_t index, int32_t unused);
  // The steps of SaveCache (see icon_cache.cpp).
  struct SavedIndex;
  RawString ChooseDataName(const RawString& oldData) const;
  [[nodiscard]] bool SaveDataAndCopyEntries(const RawString& dataPath, SavedIndex& saved);
  [[nodiscard]] static bool WriteIndex(const RawString& indexPath, const RawLayer::RawParameterList& identify,
                                       const SavedIndex& saved);
  // Deletes every data file of the cache folder but `kept`.
  void DeleteDataFilesExcept(const RawString& kept) const;
  void Wake();
  // Tells the owner (buttons) about icons extracted since the last notification, if any.
  void AnnounceLeftovers();

  JobIconSettings settings_;
  RawLayer::RawStringList extensions_;
  JobIconStore* store_ = nullptr;
  JobIconOwner* owner_ = nullptr;
  bool workPending_ = false;
  int32_t failedId_ = -1;
  int32_t loadingId_ = -1;
  int32_t cursor_ = 0;
  int32_t unannounced_ = 0;  // icons extracted since the last notification
  // Counts size changes, so that an extraction begun before one is not taken after it.
  uint32_t generation_ = 0;
  std::vector<SizeImages> otherSizes_;
  JobIconInfoList list_;
  std::vector<JobIconInfoUnit*> entries_;  // the list's units by entry number
  // The first entry of each file (ASCII case folded) and index, so that finding an icon's entry
  // does not grow with the number of entries. Keys and nodes come from one growing block that
  // is made anew when the entries are cleared: a load of a thousand entries allocates a few
  // times, not three times per entry.
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
  };
  struct Lookup {
    std::pmr::monotonic_buffer_resource memory;
    std::pmr::unordered_map<std::pmr::string, int32_t, KeyHash, std::equal_to<>> entries{&memory};
  };
  void ClearLookup();
  std::unique_ptr<Lookup> lookup_ = std::make_unique<Lookup>();
  std::string lookupKey_;  // the key being looked for, under listLock_
  RawLayer::RawTime (*clock_)();

  mutable std::mutex listLock_;
  mutable std::mutex stateLock_;
  std::mutex poolLock_;
  // The wake event and the stop flag.
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool signalled_ = false;
  bool stop_ = false;
  Worker worker_;
};

}  // namespace JobLayer
