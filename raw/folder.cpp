#include "raw/folder.h"

#include "raw/name_pattern.h"

namespace RawLayer {

namespace {

uint32_t UpperAscii(uint32_t unit) { return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit; }

int CompareNames(const RawString& a, const RawString& b) {
  const int32_t common = a.Length() < b.Length() ? a.Length() : b.Length();
  for (int32_t i = 0; i < common; ++i) {
    const uint32_t x = UpperAscii(a.UnitAt(i));
    const uint32_t y = UpperAscii(b.UnitAt(i));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.Length() < b.Length() ? -1 : a.Length() > b.Length() ? 1 : 0;
}

int CompareNumbers(uint64_t a, uint64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

bool IsDotEntry(const RawString& name) {
  const int32_t length = name.Length();
  return (length == 1 || length == 2) && name.UnitAt(0) == '.' && name.UnitAt(length - 1) == '.';
}

bool EndsWithShortcut(const RawString& name) {
  static const char kSuffix[] = ".LNK";
  const int32_t length = name.Length();
  if (length < 4) return false;
  for (int32_t i = 0; i < 4; ++i) {
    if (UpperAscii(name.UnitAt(length - 4 + i)) != static_cast<uint32_t>(kSuffix[i])) return false;
  }
  return true;
}

}  // namespace

int RawFolderFileListSort::Compare(const RawFindFileData& a, const RawFindFileData& b) const {
  switch (mode_) {
    case ByName: return CompareNames(a.name, b.name);
    case ByTime: return CompareNumbers(a.lastWriteTime, b.lastWriteTime);
    case BySize: return CompareNumbers(a.size, b.size);
    default: return 0;
  }
}

RawFolderWalker::RawFolderWalker(const RawString& pathPattern, Detail detail)
    : pathPattern_(pathPattern), detail_(detail) {
  const int32_t separator = pathPattern.FindLastSeparator();
  if (separator < pathPattern.Length()) {
    folder_ = pathPattern.Sub({0, separator + 1});
    namePattern_ = pathPattern.Sub({separator + 1, pathPattern.Length()});
  } else {
    folder_ = RawString(pathPattern.Code(), RawString());
    namePattern_ = pathPattern;
  }
}

RawFolderWalker::~RawFolderWalker() { CloseSearch(); }

bool RawFolderWalker::Next() {
  while (!finished_) {
    if (!NextSystemEntry()) {
      CloseSearch();
      finished_ = true;
      break;
    }
    if (IsDotEntry(entry_.name)) continue;
    entry_.fullPath = folder_;
    entry_.fullPath.Append(entry_.name);
    shortcut_ = EndsWithShortcut(entry_.name);
    return true;
  }
  return false;
}

int32_t CountEntries(const RawString& pathPattern, bool folders) {
  const int32_t separator = pathPattern.FindLastSeparator();
  const bool hasFolder = separator < pathPattern.Length();
  RawString everything = hasFolder ? pathPattern.Sub({0, separator + 1}) : RawString(pathPattern.Code(), RawString());
  everything.Append(RawString(everything.Code(), RawString("*")));
  const RawNamePattern namePattern(hasFolder ? pathPattern.Sub({separator + 1, pathPattern.Length()}) : pathPattern,
                                   true);
  int32_t count = 0;
  RawFolderWalker walker(everything);
  while (walker.Next()) {
    const RawFindFileData& entry = walker.Entry();
    if (entry.IsFolder() == folders && namePattern.Matches(entry.name)) ++count;
  }
  return count;
}

}  // namespace RawLayer
