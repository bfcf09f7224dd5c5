// Lists of strings and of line ranges of a text file.
#pragma once

#include "raw/list.h"
#include "raw/string.h"

namespace RawLayer {

class RawStringListAllocator : public RawListAllocator<RawString> {};

// Compares the texts unit by unit (CompareUnits), without case folding.
class RawStringListSort : public RawListSortR<RawString> {
 public:
  int Compare(const RawString& a, const RawString& b) const override { return a.CompareUnits(b); }
};

class RawStringList : public RawListR<RawStringListAllocator, RawString> {
 public:
  RawString& Add(const RawString& text) { return RawListR::Add(text); }
  // The first unit whose text equals, ignoring ASCII case unless exact lookups are on.
  RawString* Find(const RawString& text) const;
  void SetExact(bool exact) { exact_ = exact; }
  bool Exact() const { return exact_; }
  void Sort(bool descending) { RawListR::Sort(RawStringListSort(), descending); }

 private:
  bool exact_ = false;
};

// One line of a block of a text file with the useful range inside it.
struct RawRangedTextUnit {
  RawRangedTextUnit() = default;
  RawRangedTextUnit(const RawString& line, int32_t lineNumber)
      : text(line), begin(0), end(line.Length()), line(lineNumber) {}
  // Narrows the range by removing characters of `set` at both ends.
  void TrimRange(const char* set);
  RawString Useful() const { return text.Sub({begin, end}); }

  RawString text;
  int32_t begin = 0;
  int32_t end = 0;
  int32_t line = 0;
};

class RawRangedTextListAllocator : public RawListAllocator<RawRangedTextUnit> {};
class RawRangedTextList : public RawListR<RawRangedTextListAllocator, RawRangedTextUnit> {};

}  // namespace RawLayer
