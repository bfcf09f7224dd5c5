// Profile files.
//
// Format (lines read through RawLineFile in the file's own code, handed over in
// UTF-8; line ends LF, CR or CR LF):
//   - a line whose first character is "[" is a section header; the name runs to
//     the last "]" of the line (the rest of the line without one), untrimmed,
//     and matches other names ignoring ASCII case;
//   - lines before the first header belong to no section;
//   - inside a section an empty line and a line starting with "//" are skipped;
//   - any other line is an entry: the key before the first "=", the value after
//     it, neither trimmed; no "=" means an empty value;
//   - a key met again in the same section, or in a later section of the same
//     name, overwrites the value and keeps its first position.
//
// Error recovery: reading uses what was read before an error (an over-long line,
// an unreadable or unconvertible chunk). A rewrite never does: it replaces the
// file only when the old one was read to its end, the new one was written and
// flushed completely in the old one's code, and the swap itself succeeded; on
// any failure the temporary file is removed and the profile is left as it was.

#include "raw/profile.h"

#include <string>
#include <unordered_map>

#include "raw/file.h"
#include "raw/path.h"

namespace RawLayer {

namespace {

bool IsHeader(const RawString& line) { return line.Length() > 0 && line.UnitAt(0) == '['; }

// The name's range in a header line: up to the last "]", or to the line's end.
// Most headers end in "]", which then is the last one: no search needed, as a
// "]" byte always starts a character in the UTF-8 lines.
RawRange HeaderName(const RawString& line) {
  int32_t length = line.Length();
  if (length > 1 && line.UnitAt(length - 1) == ']') return {1, length - 1};
  return {1, line.FindLast(']', {1, length})};
}

bool StartsWithComment(const RawString& line) {
  return line.Length() >= 2 && line.UnitAt(0) == '/' && line.UnitAt(1) == '/';
}

bool IsEntry(const RawString& line) { return line.Length() > 0 && !StartsWithComment(line); }

bool HasLineBreak(const RawString& text) {
  return text.Find('\r') < text.Length() || text.Find('\n') < text.Length();
}

// Sets entries with the overwrite rule of the syntax. Small lists are searched;
// beyond a few dozen keys an index by folded key keeps a large section linear.
class EntrySink {
 public:
  explicit EntrySink(RawParameterList& list) : list_(list) {}

  void Set(const RawString& line) {
    int32_t equal = line.Find('=');
    RawString key = line.Sub({0, equal});
    RawString value = equal < line.Length() ? line.Sub({equal + 1, line.Length()}) : RawString();
    if (index_.empty() && list_.Count() < kSearchLimit) {
      list_.FindOrAdd(key).value = std::move(value);
      return;
    }
    if (index_.empty()) {
      for (RawParameterUnit& unit : list_) index_.emplace(IndexKey(unit.key), &unit);
    }
    auto [slot, added] = index_.emplace(IndexKey(key), nullptr);
    if (added) slot->second = &list_.Add(key);
    slot->second->value = std::move(value);
  }

 private:
  static constexpr int32_t kSearchLimit = 32;

  std::string IndexKey(const RawString& key) const {
    std::string folded(key.Convert(CodeUtf8).View());
    if (!list_.Exact()) {
      for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return folded;
  }

  RawParameterList& list_;
  std::unordered_map<std::string, RawParameterUnit*> index_;
};

// A fresh body, so that a holder sharing the old one keeps its entries.
void Renew(RawParameterList& list) {
  bool exact = list.Exact();
  list = RawParameterList();
  list.SetExact(exact);
}

}  // namespace

bool RawProfileSections::OpenSections() {
  atHeader_ = false;
  if (!file_.OpenRead()) return false;
  while (file_.ReadLine()) {
    if (IsHeader(file_.Line())) {
      atHeader_ = true;
      break;
    }
  }
  return true;
}

bool RawProfileSections::NextSection(RawString& name, RawParameterList& list) {
  if (!atHeader_) return false;
  name = file_.Line().Sub(HeaderName(file_.Line()));
  Renew(list);
  EntrySink sink(list);
  atHeader_ = false;
  while (file_.ReadLine()) {
    const RawString& line = file_.Line();
    if (IsHeader(line)) {
      atHeader_ = true;
      break;
    }
    if (IsEntry(line)) sink.Set(line);
  }
  return true;
}

void RawProfile::Learn(const RawLineFile& reader) {
  codeKnown_ = reader.FileCodeKnown();
  fileCode_ = reader.FileCode();
  hadMark_ = reader.HadMark();
}

// The new file keeps the old one's code and mark. A file whose code stayed
// unknown held only ASCII, which UTF-8 writes alike and which lets new texts
// of any language in (behind a mark when they would read back as another code).
bool RawProfile::OpenWriter(RawLineFile& writer) const {
  bool keep = codeKnown_ && fileCode_ != CodeBinary;
  writer.SetTextCode(keep ? fileCode_ : CodeUtf8);
  writer.SetFlags(keep ? (hadMark_ ? RawLineFileInfo::FlagWriteMark : 0) : RawLineFileInfo::FlagMarkWhenNeeded);
  return writer.OpenWrite();
}

bool RawProfile::ReadInto(const RawString& name, RawParameterList& list, bool& clean) {
  Renew(list);
  RawLineFile reader(source_, bufferSize_);
  if (!reader.OpenRead()) {
    clean = PathKind(source_) == RawPathKind::Missing;
    return false;
  }
  Learn(reader);
  EntrySink sink(list);
  bool inside = false;
  while (reader.ReadLine()) {
    const RawString& line = reader.Line();
    if (IsHeader(line)) {
      inside = line.EqualNoCase(HeaderName(line), name);
    } else if (inside && IsEntry(line)) {
      sink.Set(line);
    }
  }
  clean = reader.ReachedCleanEnd();
  reader.Close();
  return !list.IsEmpty();
}

bool RawProfile::ReadSection(const RawString& name, RawParameterList& list) {
  bool clean = false;
  return ReadInto(name, list, clean);
}

RawString RawProfile::GetValue(const RawString& section, const RawString& key, const RawString& fallback) {
  RawParameterList list;
  if (!ReadSection(section, list)) return fallback;
  return list.GetValue(key, fallback);
}

bool RawProfile::SetValue(const RawString& section, const RawString& key, const RawString& value) {
  RawParameterList list;
  bool clean = false;
  ReadInto(section, list, clean);
  // Writing back a section read only in part would drop its other keys.
  if (!clean) return false;
  list.SetValue(key, value);
  return WriteSection(section, list);
}

bool RawProfile::WriteSectionTo(RawLineFile& writer, const RawString& name, const RawParameterList& list) {
  if (HasLineBreak(name)) return false;
  for (const RawParameterUnit& unit : list) {
    const RawString& key = unit.key;
    if (HasLineBreak(key) || HasLineBreak(unit.value) || key.Find('=') < key.Length() || IsHeader(key) ||
        StartsWithComment(key)) {
      return false;
    }
  }
  RawString line = RawString::FromUtf8("[");
  line.Append(name);
  line.Append("]");
  if (!writer.WriteLine(line)) return false;
  for (const RawParameterUnit& unit : list) {
    line = RawString(CodeUtf8, unit.key);
    line.Append("=");
    line.Append(unit.value);
    if (!writer.WriteLine(line)) return false;
  }
  return writer.WriteLine(RawString());
}

bool RawProfile::WriteSection(const RawString& name, const RawParameterList& list) {
  RawLineFile reader(source_, bufferSize_);
  bool exists = reader.OpenRead();
  // An existing file that cannot be read is never overwritten.
  if (!exists && PathKind(source_) != RawPathKind::Missing) return false;
  if (exists) Learn(reader);
  // A binary file is no profile; rewriting it as lines would damage it.
  if (exists && codeKnown_ && fileCode_ == CodeBinary) return false;
  if (IsReadOnlyFile(source_)) return false;

  RawTemporaryFile temp(source_);
  RawLineFile writer(temp.Path(), bufferSize_);
  if (!OpenWriter(writer)) return false;
  temp.Own();

  bool ok = true;
  bool written = false;
  if (exists) {
    bool inside = false;
    while (ok && reader.ReadLine()) {
      const RawString& line = reader.Line();
      if (IsHeader(line)) {
        inside = line.EqualNoCase(HeaderName(line), name);
        if (inside) {
          ok = WriteSectionTo(writer, name, list);
          written = true;
          continue;
        }
      }
      if (!inside) ok = writer.WriteLine(line);
    }
    ok = ok && reader.ReachedCleanEnd();
    reader.Close();
  }
  if (ok && !written) ok = WriteSectionTo(writer, name, list);
  // Close fails when the flush did, or when any write failed before.
  if (!writer.Close() || !ok) return false;
  return temp.MoveOnto(source_);
}

bool RawProfile::Update(RawProfileEnumeration::Saver& saver, const RawString& name) {
  RawProfileSections reader(source_, bufferSize_);
  bool exists = reader.OpenSections();
  // A missing profile is written afresh; an unreadable one is left alone.
  if (!exists && PathKind(source_) != RawPathKind::Missing) return false;
  if (exists) Learn(reader.File());
  if (exists && codeKnown_ && fileCode_ == CodeBinary) return false;
  if (IsReadOnlyFile(destination_)) return false;

  RawTemporaryFile temp(destination_);
  RawLineFile writer(temp.Path(), bufferSize_);
  if (!OpenWriter(writer)) return false;
  temp.Own();

  bool ok = true;
  bool saved = false;
  RawString section;
  RawParameterList entries;
  while (ok && reader.NextSection(section, entries)) {
    if (!section.EqualNoCase(kWhole, name)) {
      ok = WriteSectionTo(writer, section, entries);
    } else if (!saved) {
      ok = saver.SaveSection(writer, name);
      saved = true;
    }
  }
  ok = ok && (!exists || reader.ReachedCleanEnd());
  reader.Close();
  if (ok && !saved) ok = saver.SaveSection(writer, name);
  if (!writer.Close() || !ok) return false;
  return temp.MoveOnto(destination_);
}

bool RawProfile::Enumerate(const RawString& name, RawProfileEnumeration::Enumerator& enumerator) {
  RawProfileSections reader(source_, bufferSize_);
  if (!reader.OpenSections()) return false;
  Learn(reader.File());
  RawString section;
  RawParameterList entries;
  while (reader.NextSection(section, entries)) {
    if (section.EqualNoCase(kWhole, name) && !enumerator.OnSection(section, entries)) return true;
  }
  return reader.ReachedCleanEnd();
}

namespace {

// Aims `view` at a range of `line`, reusing its body.
void AimAt(RawString& view, const RawString& line, RawRange range) {
  const int32_t begin = range.begin < line.Length() ? range.begin : line.Length();
  const int32_t end = range.end < line.Length() ? range.end : line.Length();
  view.AimView(line.Code(), line.Data() + static_cast<size_t>(begin) * UnitSize(line.Code()), end - begin);
}

}  // namespace

bool RawProfile::VisitEntries(RawProfileEnumeration::EntryVisitor& visitor) {
  RawLineFile reader(source_, bufferSize_);
  if (!reader.OpenRead()) return false;
  Learn(reader);
  RawString name;
  RawString key;
  RawString value;
  bool wanted = false;
  while (reader.ReadLine()) {
    const RawString& line = reader.Line();
    if (IsHeader(line)) {
      AimAt(name, line, HeaderName(line));
      wanted = visitor.OnSection(name);
    } else if (wanted && IsEntry(line)) {
      const int32_t equal = line.Find('=');
      AimAt(key, line, {0, equal});
      AimAt(value, line, {equal < line.Length() ? equal + 1 : equal, line.Length()});
      visitor.OnEntry(key, value);
    }
  }
  return reader.ReachedCleanEnd();
}

}  // namespace RawLayer
