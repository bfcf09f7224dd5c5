#include "raw/path.h"

#include <vector>

#include "raw/file.h"

namespace RawLayer {

namespace {

bool IsSeparatorUnit(uint32_t unit) { return unit == '\\' || unit == '/'; }

bool StartsWithDrive(const RawString& path) {
  if (path.Length() < 2 || path.UnitAt(1) != ':') return false;
  uint32_t letter = path.UnitAt(0);
  return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

bool StartsWithTwoBackslashes(const RawString& path) {
  return path.Length() >= 2 && path.UnitAt(0) == '\\' && path.UnitAt(1) == '\\';
}

// Whether `dots` dots and a separator start the text at `at`.
bool DotsThenSeparator(const RawString& text, int32_t at, int32_t dots) {
  if (text.Length() < at + dots + 1) return false;
  for (int32_t i = 0; i < dots; ++i) {
    if (text.UnitAt(at + i) != '.') return false;
  }
  return IsSeparatorUnit(text.UnitAt(at + dots));
}

// The folder part of a path (no trailing separator), or an empty text when the
// path has no separator. A root keeps its separator.
RawString ParentOf(const RawString& path) {
  int32_t slash = path.FindLastSeparator();
  if (slash >= path.Length()) return RawString();
  if (slash == 0) return path.Sub({0, 1});
  return path.Sub({0, slash});
}

}  // namespace

RawString ProgramFolder(TextCode code) {
  return ParentOf(ModulePath(CodeUtf8)).Convert(code);
}

bool IsAbsolutePath(const RawString& path) {
  if (StartsWithDrive(path) || StartsWithTwoBackslashes(path)) return true;
  return PathSeparator() == '/' && path.Length() > 0 && path.UnitAt(0) == '/';
}

RawString JoinPath(const RawString& folder, const RawString& name) {
  RawString path = folder.Convert(CodeUtf8);
  if (!path.IsEmpty()) {
    const uint32_t last = path.UnitAt(path.Length() - 1);
    if (last != '/' && last != '\\') path.AppendChar(static_cast<unsigned char>(PathSeparator()));
  }
  path.Append(name);
  return path;
}

RawString ResolvePath(const RawString& path, const RawString& base) {
  if (path.IsEmpty() || IsAbsolutePath(path)) return path;
  RawString folder = base.Convert(CodeUtf8);
  RawString rest = path.Convert(CodeUtf8);

  // Joined with the base's own separator so that a Windows base stays one.
  char separator = PathSeparator();
  int32_t last = folder.FindLastSeparator();
  if (last < folder.Length()) separator = static_cast<char>(folder.UnitAt(last));

  if (folder.Length() > 1 && last == folder.Length() - 1) folder = folder.Sub({0, last});

  int32_t start = 0;
  for (;;) {
    if (DotsThenSeparator(rest, start, 1)) {
      start += 2;
    } else if (DotsThenSeparator(rest, start, 2)) {
      start += 3;
      // Never above the root: "C:" and "/" have no folder left to remove.
      RawString parent = ParentOf(folder);
      if (!parent.IsEmpty()) folder = parent;
    } else {
      break;
    }
  }

  RawString result = folder;
  if (result.IsEmpty()) return rest.Sub({start, rest.Length()});
  if (!IsSeparatorUnit(result.UnitAt(result.Length() - 1))) result.AppendChar(static_cast<unsigned char>(separator));
  result.Append(rest, {start, rest.Length()});
  return result;
}

RawString ExpandUser(const RawString& path, const RawString& appName) {
  static const RawString kUser("$(User)");
  RawString text = path.Convert(CodeUtf8);
  int32_t at = text.FindText(kUser);
  if (at >= text.Length()) return text;
  RawString folder = ApplicationDataFolder(CodeUtf8);
  // Without a known folder, "$(User)" stays as a visible sign of the failure
  // rather than becoming a path at the root of the drive.
  if (folder.IsEmpty()) return text;
  if (!IsSeparatorUnit(folder.UnitAt(folder.Length() - 1))) folder.AppendChar(static_cast<unsigned char>(PathSeparator()));
  folder.Append(appName);
  (void)EnsureFolder(folder);
  text.Replace({at, at + kUser.Length()}, folder);
  return text;
}

RawString ProfilePath(const RawString& path, const RawString& appName) {
  RawString expanded = ExpandUser(path, appName);
  if (IsAbsolutePath(expanded)) return expanded;
  return ResolvePath(expanded, ProgramFolder(CodeUtf8));
}

bool EnsureFolder(const RawString& path) {
  RawString folder = path.Convert(CodeUtf8);
  while (folder.Length() > 1 && IsSeparatorUnit(folder.UnitAt(folder.Length() - 1))) {
    folder = folder.Sub({0, folder.Length() - 1});
  }
  if (folder.IsEmpty()) return false;

  // The missing folders from the deepest up; created in the opposite order.
  // A loop, not recursion, so that a deep path cannot exhaust the stack.
  std::vector<RawString> missing;
  for (RawString current = folder; !current.IsEmpty();) {
    RawPathKind kind = PathKind(current);
    if (kind == RawPathKind::Folder) break;
    if (kind == RawPathKind::File) return false;
    missing.push_back(current);
    RawString parent = ParentOf(current);
    if (parent.Length() == current.Length()) break;
    current = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    // Someone else may have made it in the meantime.
    if (!CreateFolderAt(*it) && PathKind(*it) != RawPathKind::Folder) return false;
  }
  return true;
}

}  // namespace RawLayer
