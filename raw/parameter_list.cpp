#include "raw/parameter_list.h"

namespace RawLayer {

RawParameterUnit* RawParameterList::Find(const RawString& key) const {
  for (RawParameterUnit& unit : *this) {
    if (exact_ ? unit.key == key : unit.key.EqualNoCase(kWhole, key)) return &unit;
  }
  return nullptr;
}

RawParameterUnit& RawParameterList::FindOrAdd(const RawString& key) {
  if (RawParameterUnit* unit = Find(key)) return *unit;
  return Add(key);
}

void RawParameterList::SetValue(const RawString& key, const RawString& text) { FindOrAdd(key).value = text; }

void RawParameterList::SetNumber(const RawString& key, uint32_t value) {
  RawString text;
  text.AppendNumber(value, 10);
  SetValue(key, text);
}

void RawParameterList::SetInteger(const RawString& key, int64_t value) {
  RawString text;
  text.AppendInteger(value);
  SetValue(key, text);
}

RawString RawParameterList::GetValue(const RawString& key, const RawString& fallback) const {
  const RawParameterUnit* unit = Find(key);
  return unit ? unit->value : fallback;
}

void RawParameterList::Copy(const RawParameterList& other) {
  if (SharesBodyWith(other)) return;
  for (const RawParameterUnit& unit : other) SetValue(unit.key, unit.value);
}

}  // namespace RawLayer
