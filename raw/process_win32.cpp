#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "raw/name_pattern.h"
#include "raw/process.h"

namespace RawLayer {

namespace {

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

RawString WideText(const wchar_t* text, int32_t length) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text), length).Convert(CodeUtf8);
}

}  // namespace

bool WalkProcesses(const ProcessVisitor& visit) {
  OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    RawString name = WideText(entry.szExeFile, static_cast<int32_t>(lstrlenW(entry.szExeFile)));
    if (!visit(name, entry.th32ProcessID, entry.th32ParentProcessID)) break;
  }
  return true;
}

namespace {

struct WindowSearch {
  const RawString* classPattern;
  const RawString* titlePattern;
  HWND found = nullptr;
};

bool WindowTextMatches(const RawString& pattern, const wchar_t* text, int length) {
  return pattern.IsEmpty() || MatchNamePattern(pattern, WideText(text, length < 0 ? 0 : length), false);
}

// Called by the system between its own frames: nothing may leave it but the result.
BOOL CALLBACK VisitWindow(HWND window, LPARAM context) noexcept {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  if (!search->classPattern->IsEmpty()) {
    wchar_t name[257];  // class names are at most 256 characters
    int length = GetClassNameW(window, name, 257);
    if (!WindowTextMatches(*search->classPattern, name, length)) return TRUE;
  }
  if (!search->titlePattern->IsEmpty()) {
    std::vector<wchar_t> title(static_cast<size_t>(GetWindowTextLengthW(window)) + 2);
    int length = GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    if (!WindowTextMatches(*search->titlePattern, title.data(), length)) return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

RawString FindWindow(const RawString& classPattern, const RawString& titlePattern) {
  WindowSearch search{&classPattern, &titlePattern};
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  RawString result;
  if (search.found == nullptr) return result;
  result.AppendNumber(reinterpret_cast<uintptr_t>(search.found), 16);
  return result;
}

RawString ProcessImagePath(uint32_t processId, TextCode code) {
  OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.IsValid()) return RawString(code, RawString());
  std::vector<wchar_t> buffer(32768);  // the longest path the system allows
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process.Get(), 0, buffer.data(), &size)) return RawString(code, RawString());
  return RawString::FromWide(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<int32_t>(size))
      .Convert(code);
}

}  // namespace RawLayer
