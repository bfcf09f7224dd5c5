// Tessera's data profile: the input is the profile file, read whole, and its data sections'
// rectangle specifications applied; then the first data section is deleted by the safe rewrite,
// after which it must be gone while the other sections stay readable.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "tool/data_profile.h"
#include "tool/geometry.h"
#include "tool/options.h"

namespace {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using namespace ToolLayer;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const RawString path = KestrelFuzz::ScratchPath("data.ini");
  if (!KestrelFuzz::WriteScratch(path, data, size)) return 0;
  const ToolDataProfile profile(path);
  ToolDataSectionList sections;
  const bool clean = profile.ReadSections(sections);
  RawString victim;
  bool found = false;
  for (const ToolDataSection& section : sections) {
    RawString name;
    if (!DataSectionName(section.name, name)) continue;
    if (!found) {
      victim = section.name;
      found = true;
    }
    RawParameterList spec;
    ReadOptionText(section.entries.GetValue("RectSpec", ""), spec);
    ToolOptions options;
    ApplyOptions(spec, options);
    (void)ApplyGeometry(options.geometry, RawRect{0, 0, 100, 100});
  }
  RawStringList names = profile.SectionNames();
  (void)NextFreeSectionName("Data:Fuzz", names);
  if (!clean || !found) return 0;
  // Whatever the bytes, a deletion the rewrite accepted leaves a file that reads to its end.
  if (profile.DeleteSection(victim)) {
    ToolDataSectionList after;
    if (!profile.ReadSections(after)) __builtin_trap();
    for (const ToolDataSection& section : after) {
      if (section.name.EqualNoCase(RawLayer::kWhole, victim)) __builtin_trap();
    }
  }
  return 0;
}
