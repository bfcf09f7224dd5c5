#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "app/restart.h"
#include "raw/path.h"

namespace AppLayer {

namespace {

constexpr DWORD kEndWaitMs = 3000;

struct ProcessCloser {
  void operator()(HANDLE process) const { CloseHandle(process); }
};
using UniqueProcess = std::unique_ptr<std::remove_pointer_t<HANDLE>, ProcessCloser>;

std::u16string ImagePathOf(HANDLE process) {
  // Long paths are allowed: grow until the name fits.
  for (DWORD size = MAX_PATH;; size *= 2) {
    std::wstring name(size, L'\0');
    DWORD length = size;
    if (QueryFullProcessImageNameW(process, 0, name.data(), &length)) {
      return std::u16string(reinterpret_cast<const char16_t*>(name.data()), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size >= 32768) return {};
  }
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
  if (a.empty() || b.empty()) return false;
  return CompareStringOrdinal(reinterpret_cast<LPCWCH>(a.data()), static_cast<int>(a.size()),
                              reinterpret_cast<LPCWCH>(b.data()), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

GuiEndResult EndEarlierInstance(uint32_t processId, const RawString& ownImage) {
  if (processId == GetCurrentProcessId()) return GuiEndResult::Self;
  UniqueProcess process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
  if (!process) return GuiEndResult::NotOpened;
  if (!SameFile(ImagePathOf(process.get()), ownImage.ToWide())) return GuiEndResult::OtherProgram;
  if (!TerminateProcess(process.get(), 0)) return GuiEndResult::NotOpened;
  return WaitForSingleObject(process.get(), kEndWaitMs) == WAIT_OBJECT_0 ? GuiEndResult::Ended
                                                                          : GuiEndResult::StillRunning;
}

void GuiEarlierInstance::End(uint32_t processId) {
  // Nothing is told: an earlier instance that is gone or not ours is no fault of this one.
  (void)EndEarlierInstance(processId, RawLayer::ModulePath());
}

}  // namespace AppLayer
