#include <windows.h>

#include <string>

#include "app/restart.h"
#include "raw/handle_win32.h"
#include "raw/path.h"
#include "raw/process.h"

namespace AppLayer {

namespace {

constexpr DWORD kEndWaitMs = 3000;

bool SameFile(const std::u16string& a, const std::u16string& b) {
  if (a.empty() || b.empty()) return false;
  return CompareStringOrdinal(reinterpret_cast<LPCWCH>(a.data()), static_cast<int>(a.size()),
                              reinterpret_cast<LPCWCH>(b.data()), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

GuiEndResult EndEarlierInstance(uint32_t processId, const RawString& ownImage) {
  if (processId == GetCurrentProcessId()) return GuiEndResult::Self;
  // The handle held keeps the process id from being reused while its image is compared.
  RawLayer::RawUniqueKernelHandle process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
  if (!process) return GuiEndResult::NotOpened;
  if (!SameFile(RawLayer::ProcessImagePath(processId).ToWide(), ownImage.ToWide())) return GuiEndResult::OtherProgram;
  if (!TerminateProcess(process.get(), 0)) return GuiEndResult::NotOpened;
  return WaitForSingleObject(process.get(), kEndWaitMs) == WAIT_OBJECT_0 ? GuiEndResult::Ended
                                                                          : GuiEndResult::StillRunning;
}

void GuiEarlierInstance::End(uint32_t processId) {
  // Nothing is told: an earlier instance that is gone or not ours is no fault of this one.
  (void)EndEarlierInstance(processId, RawLayer::ModulePath());
}

}  // namespace AppLayer
