// The data profile: named data sections ("Data:" and a name) holding window patterns
// and a rectangle text ("RectSpec"), stored by the -s family and deleted by -d.
//
// The file follows the profile syntax (a line starting with "[" is a header whose name
// runs to the last "]"; empty lines and lines starting with "//" are skipped; an entry's
// key runs to the first "="), with one difference: a key may be repeated, since a data
// section may name several title, class or file patterns, so every entry is kept in
// file order. Sections of the same name (ASCII case ignored) are one section.
#pragma once

#include <cstdint>

#include "raw/list.h"
#include "raw/parameter_list.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace ToolLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

inline constexpr char kDataPrefix[] = "Data:";

struct ToolDataSection {
  ToolDataSection() = default;
  explicit ToolDataSection(const RawString& sectionName) : name(sectionName) {}
  RawString name;
  RawParameterList entries;
};
class ToolDataSectionListAllocator : public RawLayer::RawListAllocator<ToolDataSection> {};
class ToolDataSectionList : public RawLayer::RawListR<ToolDataSectionListAllocator, ToolDataSection> {};

// The name after "Data:" when `section` is a data section name ("Data:" compared ignoring
// ASCII case); false for any other section.
[[nodiscard]] bool DataSectionName(const RawString& section, RawString& name);

// `base` when no name of `taken` equals it (ASCII case ignored), else the first of
// base-1, base-2, ... that is free.
RawString NextFreeSectionName(const RawString& base, const RawStringList& taken);

class ToolDataProfile {
 public:
  explicit ToolDataProfile(const RawString& path) : path_(path) {}
  const RawString& Path() const { return path_; }

  // Every section in file order. False when the file cannot be opened or not be read
  // to its end (what was read stays in `sections`).
  [[nodiscard]] bool ReadSections(ToolDataSectionList& sections) const;
  // The names of every section; a missing file has none.
  RawStringList SectionNames() const;
  // Writes the section, replacing one of that name or appending it (the profile's
  // safe rewrite).
  [[nodiscard]] bool StoreSection(const RawString& name, const RawParameterList& entries) const;
  // Removes the section by a safe rewrite that keeps every other line, the file's code
  // and its byte-order mark. False, leaving the file, when there is no such section or
  // the file cannot be read to its end, is binary or read-only, or the rewrite fails.
  [[nodiscard]] bool DeleteSection(const RawString& name) const;

 private:
  RawString path_;
};

}  // namespace ToolLayer
