// The generic profile reader: the input is a profile file, walked section by section, read by
// section name and by value, through a buffer whose size the first byte picks, and then changed:
// a value set in the first section must read back.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "raw/profile.h"

namespace {

using RawLayer::RawParameterList;
using RawLayer::RawProfile;
using RawLayer::RawProfileSections;
using RawLayer::RawString;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const RawString path = KestrelFuzz::ScratchPath("profile.ini");
  if (!KestrelFuzz::WriteScratch(path, data, size)) return 0;
  const int32_t bufferSize = size > 0 ? 4 + data[0] % 29 : 8192;

  RawProfileSections sections(path, bufferSize);
  RawString first;
  RawString firstKey;
  bool haveFirst = false;
  if (sections.OpenSections()) {
    RawString name;
    RawParameterList list;
    while (sections.NextSection(name, list)) {
      if (!haveFirst) {
        first = name;
        haveFirst = true;
        if (!list.IsEmpty()) firstKey = list.begin()->key;
      }
    }
    sections.Close();
  }
  if (!haveFirst) return 0;

  RawProfile profile(path);
  profile.SetBufferSize(bufferSize);
  RawParameterList list;
  (void)profile.ReadSection(first, list);
  (void)profile.GetValue(first, firstKey, "fallback");

  // A key that the writer accepts, set to a plain value, reads back as set, whatever the bytes
  // around it. With the usual buffer: a small one may not hold the file's longest line.
  RawProfile usual(path);
  const RawString key = "FuzzKey";
  const RawString value = "fuzz value";
  if (usual.SetValue(first, key, value) && usual.GetValue(first, key, "") != value) __builtin_trap();
  return 0;
}
