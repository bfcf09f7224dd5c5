#include "raw/process.h"

#include "raw/name_pattern.h"

namespace RawLayer {

bool RawProcessInfoList::Refresh() {
  Clear();
  return WalkProcesses([this](const RawString& name, uint32_t id, uint32_t parent) {
    Add(name, id, parent);
    return true;
  });
}

RawString FindProcess(const RawString& pattern) {
  RawString found;
  const RawNamePattern matcher(pattern, true);
  (void)WalkProcesses([&](const RawString& name, uint32_t, uint32_t) {
    if (!matcher.Matches(name)) return true;
    found = name;
    return false;
  });
  return found;
}

}  // namespace RawLayer
