#include "raw/string_list.h"

namespace RawLayer {

RawString* RawStringList::Find(const RawString& text) const {
  for (RawString& unit : *this) {
    if (exact_ ? unit.Equal(kWhole, text) : unit.EqualNoCase(kWhole, text)) return &unit;
  }
  return nullptr;
}

void RawRangedTextUnit::TrimRange(const char* set) {
  const RawRange range = text.Trim({begin, end}, set);
  begin = range.begin;
  end = range.end;
}

}  // namespace RawLayer
