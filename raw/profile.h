// Profiles: plain-text files of named sections holding key=value lines, read
// through RawLineFile in whatever code they carry and rewritten safely through a
// temporary file that is swapped in only after it was written completely.
#pragma once

#include <cstdint>

#include "raw/line_file.h"
#include "raw/parameter_list.h"
#include "raw/string.h"

namespace RawLayer {

namespace RawProfileEnumeration {
class Enumerator {
 public:
  virtual ~Enumerator() = default;
  // A section whose name matched, with its entries; false stops the walk.
  virtual bool OnSection(const RawString& name, const RawParameterList& list) = 0;
};
// For a walk that takes entries where they stand instead of building a list per section.
class EntryVisitor {
 public:
  virtual ~EntryVisitor() = default;
  // A section header's name; whether the entries up to the next header are wanted.
  virtual bool OnSection(const RawString& name) = 0;
  // An entry of a wanted section, split as the syntax splits it; both texts are views
  // valid during the call only. A key met again comes again: the later value is the one
  // a section list would keep.
  virtual void OnEntry(const RawString& key, const RawString& value) = 0;
};
class Saver {
 public:
  virtual ~Saver() = default;
  // Writes the new content of section `name` into the open writer, normally
  // through RawProfile::WriteSectionTo.
  virtual bool SaveSection(RawLineFile& writer, const RawString& name) = 0;
};
}  // namespace RawProfileEnumeration

// Reads a profile section by section, for the whole-profile walks.
class RawProfileSections {
 public:
  RawProfileSections(const RawString& path, int32_t bufferSize) : file_(path, bufferSize) {}
  // Opens the file and skips the lines before the first header.
  [[nodiscard]] bool OpenSections();
  // The next section's name and entries, in a fresh list (a holder of the
  // previous list keeps it). A bool rather than an empty name marks the end,
  // because "[]" is a section with an empty name. False at the end of the file
  // or when reading failed: ReachedCleanEnd tells which.
  [[nodiscard]] bool NextSection(RawString& name, RawParameterList& list);
  bool ReachedCleanEnd() const { return file_.ReachedCleanEnd(); }
  const RawLineFile& File() const { return file_; }
  void Close() { file_.Close(); }

 private:
  RawLineFile file_;
  bool atHeader_ = false;  // the file's current line is a header not yet taken
};

class RawProfile {
 public:
  RawProfile() = default;
  // Source and destination both name `path`.
  explicit RawProfile(const RawString& path) : destination_(path), source_(path) {}
  void SetPath(const RawString& path) { destination_ = source_ = path; }
  void SetDestination(const RawString& path) { destination_ = path; }
  const RawString& Source() const { return source_; }
  const RawString& Destination() const { return destination_; }
  void SetBufferSize(int32_t bytes) { bufferSize_ = bytes; }

  // Gives `list` a fresh body (a holder of the old one keeps it) and reads every
  // section named `name` into it; true when the list ends non-empty.
  bool ReadSection(const RawString& name, RawParameterList& list);
  RawString GetValue(const RawString& section, const RawString& key, const RawString& fallback);
  // Fails, leaving the file, when the section could not be read completely.
  [[nodiscard]] bool SetValue(const RawString& section, const RawString& key, const RawString& value);
  // Safe rewrite of one section; fails without touching the file when the file
  // could not be read to a clean end, is binary or read-only, or a text cannot
  // be held by its code. A missing file is created with just this section.
  [[nodiscard]] bool WriteSection(const RawString& name, const RawParameterList& list);
  // Rewrite of the whole profile with `saver` writing section `name`, under the
  // same refusals; a missing source counts as an empty profile.
  [[nodiscard]] bool Update(RawProfileEnumeration::Saver& saver, const RawString& name);
  // Hands every section named `name` to the enumerator in file order. False
  // when the profile could not be opened or not be read to its end.
  bool Enumerate(const RawString& name, RawProfileEnumeration::Enumerator& enumerator);
  // Hands every header, and the entries of the sections the visitor wants, to the visitor
  // in one pass. False when the profile could not be opened or not be read to its end.
  bool VisitEntries(RawProfileEnumeration::EntryVisitor& visitor);

  // Writes the header, one line per entry and an empty line. Refuses (false,
  // nothing written) a section that would not read back as written: a line
  // break anywhere, or a key holding "=" or starting with "[" or "//".
  static bool WriteSectionTo(RawLineFile& writer, const RawString& name, const RawParameterList& list);

  // What the last read learnt about the file.
  TextCode FileCode() const { return fileCode_; }
  bool HadMark() const { return hadMark_; }

 private:
  // ReadSection's work; `clean` tells whether the file was missing or read to
  // its end, so that SetValue never writes back a section read only in part.
  bool ReadInto(const RawString& name, RawParameterList& list, bool& clean);
  void Learn(const RawLineFile& reader);
  [[nodiscard]] bool OpenWriter(RawLineFile& writer) const;

  RawString destination_;
  RawString source_;
  int32_t bufferSize_ = RawLineFileInfo::kDefaultBufferSize;
  bool codeKnown_ = false;
  TextCode fileCode_ = CodeUtf8;
  bool hadMark_ = false;
};

}  // namespace RawLayer
