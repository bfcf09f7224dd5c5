// Running processes and top-level windows: a snapshot of the process list, and
// searches over processes and windows by name pattern.
#pragma once

#include <cstdint>
#include <functional>

#include "raw/list.h"
#include "raw/string.h"

namespace RawLayer {

struct RawProcessInfoUnit {
  RawProcessInfoUnit() = default;
  RawProcessInfoUnit(const RawString& name, uint32_t id, uint32_t parent)
      : executableName(name), processId(id), parentProcessId(parent) {}
  RawString executableName;  // UTF-8, the file name without its folder
  uint32_t processId = 0;
  uint32_t parentProcessId = 0;
};

class RawProcessInfoListAllocator : public RawListAllocator<RawProcessInfoUnit> {};

class RawProcessInfoList : public RawListR<RawProcessInfoListAllocator, RawProcessInfoUnit> {
 public:
  // Replaces the list by a snapshot of the running processes, in the system's
  // order (Windows: Toolhelp; POSIX: /proc, the executable's file name where it
  // can be read, else the process's short name). False, with an empty list,
  // when no snapshot could be taken.
  [[nodiscard]] bool Refresh();
};

// The executable name of the first running process whose name matches the name
// pattern, ignoring case; empty when none does.
// Calls `visit` with each running process's executable name, id and parent id
// until it answers false; false when no snapshot could be taken. The one
// platform walk behind Refresh and FindProcess.
using ProcessVisitor = std::function<bool(const RawString& name, uint32_t id, uint32_t parent)>;
bool WalkProcesses(const ProcessVisitor& visit);

RawString FindProcess(const RawString& pattern);

// The first top-level window whose class name and title match the name patterns
// (exactly, case included; an empty pattern passes every window), as "0x" and
// its handle in hexadecimal; empty when none does. POSIX has no windows: always
// empty.
RawString FindTopWindow(const RawString& classPattern, const RawString& titlePattern);

// Shows a minimised top-level window normally, else brings it to the front, retrying a bounded
// number of times while another window keeps the foreground. `handle` is a window handle's 32
// significant bits. False when the handle names no window (POSIX: always).
[[nodiscard]] bool BringWindowToFront(int32_t handle);

// The full path of a running process's executable, empty when the process is
// gone or may not be queried.
RawString ProcessImagePath(uint32_t processId, TextCode code = CodeUtf8);

}  // namespace RawLayer
