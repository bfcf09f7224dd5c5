// An ordered key/value list: one profile section, or the command-line options.
#pragma once

#include <cstdint>

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

}  // namespace RawLayer
