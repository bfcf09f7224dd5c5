#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "raw/handle_win32.h"
#include "raw/name_pattern.h"
#include "raw/process.h"

namespace RawLayer {

namespace {

RawString WideText(const wchar_t* text, int32_t length) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text), length).Convert(CodeUtf8);
}

}  // namespace

bool WalkProcesses(const ProcessVisitor& visit) {
  RawUniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
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

// Another program may take the foreground back while this one asks for it; after this many
// attempts the window stays where the system put it.
constexpr int kFrontAttempts = 8;

// Joins this thread's input to the foreground window's thread for as long as it lives, so that
// the system lets this thread change the foreground.
class InputAttachment {
 public:
  explicit InputAttachment(DWORD otherThread)
      : self_(GetCurrentThreadId()), other_(otherThread),
        attached_(other_ != 0 && other_ != self_ && AttachThreadInput(self_, other_, TRUE)) {}
  InputAttachment(const InputAttachment&) = delete;
  InputAttachment& operator=(const InputAttachment&) = delete;
  ~InputAttachment() {
    if (attached_) AttachThreadInput(self_, other_, FALSE);
  }

 private:
  DWORD self_;
  DWORD other_;
  bool attached_;
};

}  // namespace

RawString FindTopWindow(const RawString& classPattern, const RawString& titlePattern) {
  WindowSearch search{&classPattern, &titlePattern};
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  RawString result;
  if (search.found == nullptr) return result;
  result.AppendNumber(reinterpret_cast<uintptr_t>(search.found), 16);
  return result;
}

bool BringWindowToFront(int32_t handle) {
  // Window handles keep 32 significant bits; on 64-bit systems they are sign-extended.
  HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
  if (window == nullptr || !IsWindow(window)) return false;
  if (IsIconic(window)) {
    ShowWindow(window, SW_SHOWNORMAL);
    return true;
  }
  int attempts = 0;
  do {
    HWND foreground = GetForegroundWindow();
    InputAttachment attachment(foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
  } while (GetForegroundWindow() != window && ++attempts < kFrontAttempts);
  return true;
}

RawString ProcessImagePath(uint32_t processId, TextCode code) {
  RawUniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return RawString(code, RawString());
  // Long paths are allowed: grow until the name fits, up to the longest path the system allows.
  for (DWORD capacity = MAX_PATH;; capacity *= 2) {
    std::vector<wchar_t> buffer(capacity);
    DWORD size = capacity;
    if (QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &size)) {
      return RawString::FromWide(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<int32_t>(size))
          .Convert(code);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || capacity >= 32768) return RawString(code, RawString());
  }
}

}  // namespace RawLayer
