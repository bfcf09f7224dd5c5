// Walking a folder: one entry at a time (RawFolderWalker), collected into a
// list (RawFolderFileList) and sorted by name, time or size.
#pragma once

#include <cstdint>

#include "raw/list.h"
#include "raw/string.h"

namespace RawLayer {

inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeHidden = 0x02;
inline constexpr uint32_t kAttributeFolder = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;

// One folder entry. Times are Windows file times (100 ns since 1601, UTC). On
// POSIX the attributes are made up from the mode (folder, read-only when nobody
// may write, hidden for a leading dot, else archive) and the creation time is
// the last status change.
struct RawFindFileData {
  uint32_t attributes = 0;
  uint64_t lastWriteTime = 0;
  uint64_t creationTime = 0;
  uint64_t lastAccessTime = 0;
  uint64_t size = 0;
  RawString name;      // in the code of the folder path
  RawString fullPath;  // the folder joined with the name

  bool IsFolder() const { return (attributes & kAttributeFolder) != 0; }
};

class RawFolderFileListAllocator : public RawListAllocator<RawFindFileData> {};
class RawFolderFileList : public RawListR<RawFolderFileListAllocator, RawFindFileData> {};

// Orders a folder list. Mode 0: by name, comparing code units with ASCII letters
// folded to upper case, the shorter of two names with a common prefix first;
// mode 1: by last-write time; mode 2: by size; any other mode: all equal.
class RawFolderFileListSort : public RawListSortR<RawFindFileData> {
 public:
  enum Mode : int32_t { ByName = 0, ByTime = 1, BySize = 2 };
  explicit RawFolderFileListSort(int32_t mode) : mode_(mode) {}
  int Compare(const RawFindFileData& a, const RawFindFileData& b) const override;

 private:
  int32_t mode_;
};

// Walks the entries of a folder that match a path pattern ("C:\\dir\\*.txt";
// Windows wildcards; on POSIX the last component is matched by the name-pattern
// matcher ignoring case, as Windows ignores case). "." and ".." are never given.
// A folder that cannot be searched ends the walk at once.
class RawFolderWalker {
 public:
  // What an entry must hold: everything, or the name and whether it is a folder (on POSIX
  // read from the listing where it tells, without a stat per entry; the other fields stay 0).
  enum Detail { kFullEntries, kNamesAndKinds };
  explicit RawFolderWalker(const RawString& pathPattern, Detail detail = kFullEntries);
  RawFolderWalker(const RawFolderWalker&) = delete;
  RawFolderWalker& operator=(const RawFolderWalker&) = delete;
  ~RawFolderWalker();

  // Advances to the next entry; false at the end of the walk.
  [[nodiscard]] bool Next();
  const RawFindFileData& Entry() const { return entry_; }
  // The entry's name ends in ".lnk", ignoring ASCII case.
  bool IsShortcut() const { return shortcut_; }

 private:
  // The platform's search: fills the entry's fields except the full path, with
  // its name in the code of the pattern; false at the end or on failure.
  bool NextSystemEntry();
  void CloseSearch();

  RawString pathPattern_;
  RawString folder_;       // the pattern's folder part with its trailing separator, or empty
  RawString namePattern_;  // the pattern's last component
  RawFindFileData entry_;
  Detail detail_;
  bool shortcut_ = false;
  void* search_ = nullptr;  // the find handle (Windows) or directory stream (POSIX)
  bool finished_ = false;
};

// The number of entries of the folder part of `pathPattern` whose names match its
// last component (name patterns, ignoring case), counting only folders when
// `folders` is set and only other entries otherwise. 0 for a folder that cannot
// be listed.
int32_t CountEntries(const RawString& pathPattern, bool folders);

}  // namespace RawLayer
