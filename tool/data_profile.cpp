#include "tool/data_profile.h"

#include "raw/file.h"
#include "raw/line_file.h"
#include "raw/path.h"
#include "raw/profile.h"

namespace ToolLayer {

using RawLayer::CodeBinary;
using RawLayer::CodeUtf8;
using RawLayer::RawLineFile;
using RawLayer::RawLineFileInfo;
using RawLayer::RawPathKind;
using RawLayer::RawRange;

namespace {

bool IsHeader(const RawString& line) { return line.Length() > 0 && line.UnitAt(0) == '['; }

// The name in a header line: up to the last "]", or to the line's end.
RawString HeaderName(const RawString& line) {
  const int32_t length = line.Length();
  if (length > 1 && line.UnitAt(length - 1) == ']') return line.Sub({1, length - 1});
  return line.Sub({1, line.FindLast(']', {1, length})});
}

bool IsEntry(const RawString& line) {
  if (line.IsEmpty()) return false;
  return !(line.Length() >= 2 && line.UnitAt(0) == '/' && line.UnitAt(1) == '/');
}

ToolDataSection* FindSection(const ToolDataSectionList& sections, const RawString& name) {
  for (ToolDataSection& section : sections) {
    if (section.name.EqualNoCase(RawLayer::kWhole, name)) return &section;
  }
  return nullptr;
}

}  // namespace

bool DataSectionName(const RawString& section, RawString& name) {
  const RawString prefix(kDataPrefix);
  const int32_t length = prefix.Length();
  if (section.Length() < length || !section.EqualNoCase({0, length}, prefix)) return false;
  name = section.Sub({length, section.Length()});
  return true;
}

RawString NextFreeSectionName(const RawString& base, const RawStringList& taken) {
  const auto isTaken = [&taken](const RawString& name) {
    for (const RawString& other : taken) {
      if (other.EqualNoCase(RawLayer::kWhole, name)) return true;
    }
    return false;
  };
  if (!isTaken(base)) return base;
  // At most one more number than there are names is ever needed.
  for (int64_t number = 1;; ++number) {
    RawString candidate(CodeUtf8, base);
    candidate.Append("-");
    candidate.AppendInteger(number);
    if (!isTaken(candidate)) return candidate;
  }
}

bool ToolDataProfile::ReadSections(ToolDataSectionList& sections) const {
  RawLineFile reader(path_);
  if (!reader.OpenRead()) return false;
  ToolDataSection* current = nullptr;
  while (reader.ReadLine()) {
    const RawString& line = reader.Line();
    if (IsHeader(line)) {
      const RawString name = HeaderName(line);
      current = FindSection(sections, name);
      if (current == nullptr) current = &sections.Add(name);
    } else if (current != nullptr && IsEntry(line)) {
      const int32_t equal = line.Find('=');
      const RawString value = equal < line.Length() ? line.Sub({equal + 1, line.Length()}) : RawString();
      current->entries.AddEntry(line.Sub({0, equal}), value);
    }
  }
  const bool clean = reader.ReachedCleanEnd();
  reader.Close();
  return clean;
}

RawStringList ToolDataProfile::SectionNames() const {
  ToolDataSectionList sections;
  (void)ReadSections(sections);
  RawStringList names;
  for (const ToolDataSection& section : sections) names.Add(section.name);
  return names;
}

bool ToolDataProfile::StoreSection(const RawString& name, const RawParameterList& entries) const {
  RawLayer::RawProfile profile(path_);
  return profile.WriteSection(name, entries);
}

bool ToolDataProfile::DeleteSection(const RawString& name) const {
  RawLineFile reader(path_);
  if (!reader.OpenRead()) return false;
  // The first line decides the code; a binary file is no profile and is left alone.
  const bool firstLine = reader.ReadLine();
  const bool keepCode = reader.FileCodeKnown() && reader.FileCode() != CodeBinary;
  if (reader.FileCodeKnown() && reader.FileCode() == CodeBinary) return false;
  if (RawLayer::IsReadOnlyFile(path_)) return false;

  RawString tempPath(CodeUtf8, path_);
  tempPath.Append(".tmp");
  RawLineFile writer(tempPath);
  writer.SetTextCode(keepCode ? reader.FileCode() : CodeUtf8);
  writer.SetFlags(keepCode && reader.HadMark() ? RawLineFileInfo::FlagWriteMark : 0);
  if (!writer.OpenWrite()) return false;

  bool ok = true;
  bool found = false;
  bool inside = false;
  for (bool more = firstLine; ok && more; more = reader.ReadLine()) {
    const RawString& line = reader.Line();
    if (IsHeader(line)) {
      inside = HeaderName(line).EqualNoCase(RawLayer::kWhole, name);
      found = found || inside;
    }
    if (!inside) ok = writer.WriteLine(line);
  }
  ok = ok && reader.ReachedCleanEnd() && found;
  reader.Close();
  // Close fails when the flush did, or when any write failed before.
  ok = writer.Close() && ok;
  if (ok && RawLayer::ReplaceFileSafely(tempPath, path_)) return true;
  (void)RawLayer::DeleteFileAt(tempPath);
  return false;
}

}  // namespace ToolLayer
