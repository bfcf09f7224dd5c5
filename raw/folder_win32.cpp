#include <windows.h>

#include <string>

#include "raw/folder.h"

namespace RawLayer {

namespace {

uint64_t FileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool RawFolderWalker::NextSystemEntry() {
  WIN32_FIND_DATAW data;
  if (search_ == nullptr) {
    std::u16string pattern = pathPattern_.ToWide();
    HANDLE search = FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.c_str()), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return false;
    search_ = search;
  } else if (!FindNextFileW(static_cast<HANDLE>(search_), &data)) {
    return false;
  }
  entry_.attributes = data.dwFileAttributes;
  entry_.lastWriteTime = FileTime(data.ftLastWriteTime);
  entry_.creationTime = FileTime(data.ftCreationTime);
  entry_.lastAccessTime = FileTime(data.ftLastAccessTime);
  entry_.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry_.name = RawString::FromWide(reinterpret_cast<const char16_t*>(data.cFileName),
                                    static_cast<int32_t>(lstrlenW(data.cFileName)))
                    .Convert(pathPattern_.Code());
  return true;
}

void RawFolderWalker::CloseSearch() {
  if (search_ != nullptr) FindClose(static_cast<HANDLE>(search_));
  search_ = nullptr;
}

}  // namespace RawLayer
