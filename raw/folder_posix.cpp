#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "raw/folder.h"
#include "raw/name_pattern.h"

namespace RawLayer {

namespace {

// Seconds and nanoseconds since 1970 as 100 ns units since 1601.
uint64_t FileTime(const timespec& time) {
  constexpr int64_t kEpochDifference = 11644473600;
  const int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kEpochDifference) * 10000000 + time.tv_nsec / 100;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

}  // namespace

bool RawFolderWalker::NextSystemEntry() {
  if (search_ == nullptr) {
    std::string folder = folder_.ToUtf8();
    if (folder.size() > 1) folder.pop_back();
    DIR* stream = ::opendir(folder.empty() ? "." : folder.c_str());
    if (stream == nullptr) return false;
    search_ = stream;
  }
  DIR* stream = static_cast<DIR*>(search_);
  for (;;) {
    const dirent* found = ::readdir(stream);
    if (found == nullptr) return false;
    RawString name = RawString::FromUtf8(found->d_name).Convert(pathPattern_.Code());
    if (!MatchNamePattern(namePattern_, name, true)) continue;
    // A link is followed to what it names, which only a stat tells.
    if (detail_ == kNamesAndKinds && found->d_type != DT_UNKNOWN && found->d_type != DT_LNK) {
      entry_ = RawFindFileData();
      entry_.attributes = found->d_type == DT_DIR ? kAttributeFolder : kAttributeArchive;
      if (found->d_name[0] == '.') entry_.attributes |= kAttributeHidden;
      entry_.name = name;
      return true;
    }
    struct stat info;
    // An entry removed since the listing is skipped.
    if (::fstatat(::dirfd(stream), found->d_name, &info, 0) != 0 &&
        ::fstatat(::dirfd(stream), found->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    uint32_t attributes = S_ISDIR(info.st_mode) ? kAttributeFolder : kAttributeArchive;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= kAttributeReadOnly;
    if (found->d_name[0] == '.') attributes |= kAttributeHidden;
    entry_.attributes = attributes;
    entry_.lastWriteTime = FileTime(info.st_mtim);
    entry_.creationTime = FileTime(info.st_ctim);
    entry_.lastAccessTime = FileTime(info.st_atim);
    entry_.size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    entry_.name = name;
    return true;
  }
}

void RawFolderWalker::CloseSearch() {
  if (search_ != nullptr) ::closedir(static_cast<DIR*>(search_));
  search_ = nullptr;
}

}  // namespace RawLayer
