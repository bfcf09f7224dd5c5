// An ordered key/value list: one profile section, or the command-line options.
#pragma once

#include <cstdint>
#include <string_view>

#include "raw/list.h"
#include "raw/string.h"

namespace RawLayer {

struct RawParameterUnit {
  RawParameterUnit() = default;
  RawParameterUnit(const RawString& k, const RawString& v) : key(k), value(v) {}
  explicit RawParameterUnit(const RawString& k) : key(k) {}
  RawString key;
  RawString value;
  int32_t number = 0;
};

class RawParameterListAllocator : public RawListAllocator<RawParameterUnit> {};

// Sorts by key, unit by unit, without case folding.
class RawParameterListSort : public RawListSortR<RawParameterUnit> {
 public:
  int Compare(const RawParameterUnit& a, const RawParameterUnit& b) const override {
    return a.key.CompareUnits(b.key);
  }
};

// Keys compare ignoring ASCII case unless exact keys are on. Units keep the
// order in which their keys first appeared.
class RawParameterList : public RawListR<RawParameterListAllocator, RawParameterUnit> {
 public:
  void SetExact(bool exact) { exact_ = exact; }
  bool Exact() const { return exact_; }

  RawParameterUnit* Find(const RawString& key) const;
  RawParameterUnit& FindOrAdd(const RawString& key);
  // Appends a unit even when the key is present (a repeated option).
  RawParameterUnit& AddEntry(const RawString& key, const RawString& value) { return Add(key, value); }
  void SetValue(const RawString& key, const RawString& text);
  void SetNumber(const RawString& key, uint32_t value);
  void SetInteger(const RawString& key, int64_t value);
  RawString GetValue(const RawString& key, const RawString& fallback) const;
  bool Has(const RawString& key) const { return Find(key) != nullptr; }
  // Sets every unit of `other` into this list by key.
  void Copy(const RawParameterList& other);
  void Sort(bool descending) { RawListR::Sort(RawParameterListSort(), descending); }

 private:
  bool exact_ = false;
};

// Reads a command line or option text into `options` (exact keys, in order): "-name value"
// under "name", other arguments under "NoTag_1", "NoTag_2", ... An argument is a text in double
// quotes (an unclosed quote runs to the end) or the characters up to a blank. An option takes
// the next argument as its value when `takesValue` says so of its name and that argument does
// not begin with '-'. With `skipProgram` the first word, the program (blanks inside double
// quotes kept), is passed over.
void ReadOptionWords(const RawString& text, bool skipProgram, bool (*takesValue)(std::string_view name),
                     RawParameterList& options);

}  // namespace RawLayer
