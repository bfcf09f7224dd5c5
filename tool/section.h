// The data sections that apply in one run, each with the window it found and the
// rectangle that window would receive; the selection menu shows them when there are
// several.
#pragma once

#include <cstdint>

#include "raw/list.h"
#include "raw/parameter_list.h"
#include "raw/string.h"
#include "tool/geometry.h"
#include "tool/options.h"

namespace ToolLayer {

// A top-level window of the platform (an HWND on Windows); 0 is none.
using ToolWindow = uintptr_t;

struct JobSectionUnit {
  RawString name;            // the whole section name, "Data:" included
  RawParameterList entries;  // the section's keys, shared with the data profile's reading
  ToolWindow window = 0;
  RawRect rect;             // where the window would go
  ToolOptions options;       // the command-line options with the section's keys added
};

class JobSectionListAllocator : public RawLayer::RawListAllocator<JobSectionUnit> {};
class JobSectionList : public RawLayer::RawListR<JobSectionListAllocator, JobSectionUnit> {};

}  // namespace ToolLayer
