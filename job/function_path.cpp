// Path parts, system folders, and tests and counts of files and folders.
#include <mutex>

#include "job/functions.h"
#include "raw/file.h"
#include "raw/folder.h"
#include "raw/name_pattern.h"
#include "raw/path.h"
#include "raw/system.h"

namespace JobLayer {

namespace {

std::mutex configLock;

RawString& ConfigFileSlot() {
  static RawString* const path = new RawString;
  return *path;
}

bool IsSeparator(uint32_t unit) { return unit == '\\' || unit == '/'; }

// A component is a pattern when it holds "*" or "?" or begins with "@" (the extended form).
bool IsPatternComponent(const RawString& path, int32_t begin, int32_t end) {
  if (begin < end && path.UnitAt(begin) == '@') return true;
  return path.Find('*', {begin, end}) < end || path.Find('?', {begin, end}) < end;
}

// Replaces each pattern component, from the left, by the first entry of the folder before it
// whose name matches the pattern ignoring case; by "???" when none does, so that the path names
// nothing.
RawString ResolveWildcards(const RawString& path) {
  RawString resolved(path.Code(), RawString());
  const int32_t length = path.Length();
  int32_t begin = 0;
  while (begin <= length) {
    int32_t end = begin;
    while (end < length && !IsSeparator(path.UnitAt(end))) end += 1 + path.CharExtra(end);
    if (IsPatternComponent(path, begin, end)) {
      const RawLayer::RawNamePattern pattern(path.Sub({begin, end}), true);
      RawString everything = resolved;
      everything.Append(RawString(path.Code(), RawString("*")));
      RawString chosen(path.Code(), RawString("???"));
      RawLayer::RawFolderWalker walker(everything);
      while (walker.Next()) {
        if (pattern.Matches(walker.Entry().name)) {
          chosen = walker.Entry().name;
          break;
        }
      }
      resolved.Append(chosen);
    } else {
      resolved.Append(path, {begin, end});
    }
    if (end >= length) break;
    resolved.Append(path, {end, end + 1});  // the separator as written
    begin = end + 1;
  }
  return resolved;
}

// The parts of a path: the last separator (or the length) and the last dot after it (or the
// length).
struct PathParts {
  explicit PathParts(const RawString& path)
      : separator(path.FindLastSeparator()), dot(path.FindExtension()), length(path.Length()) {}
  bool HasSeparator() const { return separator < length; }
  int32_t NameBegin() const { return HasSeparator() ? separator + 1 : 0; }
  int32_t separator;
  int32_t dot;
  int32_t length;
};

RawString FetchPath(JobVariableResult& result, JobVariableArgument& argument, bool& failed) {
  const RawString path = argument.GetText(1);
  failed = ArgumentFailed(result, argument);
  return path;
}

// The entries of the folder part (wildcards resolved) that match the last component.
void CountEntries(JobVariableResult& result, JobVariableArgument& argument, bool folders) {
  bool failed = false;
  const RawString pattern = FetchPath(result, argument, failed);
  if (failed) return;
  const PathParts parts(pattern);
  RawString target = parts.HasSeparator() ? ResolveWildcards(pattern.Sub({0, parts.separator + 1}))
                                          : RawString(pattern.Code(), RawString());
  target.Append(pattern, {parts.NameBegin(), parts.length});
  SetNumberResult(result, RawLayer::CountEntries(target, folders));
}

void ExistingPath(JobVariableResult& result, JobVariableArgument& argument, RawLayer::RawPathKind kind) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  const RawString resolved = ResolveWildcards(path);
  if (RawLayer::PathKind(resolved) == kind) {
    SetTextResult(result, resolved);
  } else {
    SetMissingResult(result, argument);
  }
}

void IsExistingPath(JobVariableResult& result, JobVariableArgument& argument, RawLayer::RawPathKind kind) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  SetBoolResult(result, RawLayer::PathKind(ResolveWildcards(path)) == kind);
}

}  // namespace

void SetConfigFilePath(const RawString& path) {
  std::lock_guard<std::mutex> hold(configLock);
  ConfigFileSlot() = path;
}

RawString ConfigFilePath() {
  std::lock_guard<std::mutex> hold(configLock);
  return ConfigFileSlot();
}

void JobVariableBody::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  const PathParts parts(path);
  SetTextResult(result, path.Sub({parts.NameBegin(), parts.dot}));
}

void JobVariableBodyEx::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  const PathParts parts(path);
  SetTextResult(result, path.Sub({parts.NameBegin(), parts.length}));
}

void JobVariableBaseFolder::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  const PathParts parts(path);
  SetTextResult(result, parts.HasSeparator() ? path.Sub({0, parts.separator}) : RawString(path.Code(), RawString()));
}

void JobVariableExtension::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString path = FetchPath(result, argument, failed);
  if (failed) return;
  const PathParts parts(path);
  SetTextResult(result, parts.dot < parts.length ? path.Sub({parts.dot + 1, parts.length})
                                                 : RawString(path.Code(), RawString()));
}

void JobVariablePath::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString keyword = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  RawString value;
  if (keyword == "Desktop") {
    value = RawLayer::SpecialFolder(RawLayer::FolderDesktop);
  } else if (keyword == "Temp") {
    value = RawLayer::TempFolder();
    if (value.Length() > 1 && IsSeparator(value.UnitAt(value.Length() - 1))) value.Truncate(value.Length() - 1);
  } else if (keyword == "User") {
    value = RawLayer::ApplicationDataFolder();
  } else if (keyword == "HostName") {
    value = RawLayer::ComputerName();
  } else if (keyword == "UserName") {
    value = RawLayer::UserName();
  } else if (keyword == "Launcher") {
    value = RawLayer::ModulePath();
  } else if (keyword == "ConfigFile") {
    value = ConfigFilePath();
  } else {
    argument.RejectValue(keyword);
    result.state = VariableUnknown;
    result.text.Clear();
    return;
  }
  SetTextResult(result, value);
}

void JobVariableIsFile::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  IsExistingPath(result, argument, RawLayer::RawPathKind::File);
}

void JobVariableIsFolder::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  IsExistingPath(result, argument, RawLayer::RawPathKind::Folder);
}

void JobVariableFile::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  ExistingPath(result, argument, RawLayer::RawPathKind::File);
}

void JobVariableFolder::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  ExistingPath(result, argument, RawLayer::RawPathKind::Folder);
}

void JobVariableFileCount::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  CountEntries(result, argument, false);
}

void JobVariableFolderCount::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  CountEntries(result, argument, true);
}

}  // namespace JobLayer
