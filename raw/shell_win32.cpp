#include <windows.h>
#include <shellapi.h>

#include <string>

#include "raw/shell.h"

namespace RawLayer {

bool RawShell::Execute(const RawString& parameters, const RawString& verb) {
  CloseProcess();
  // An empty file makes the parameters the file.
  const bool parametersAreFile = file_.IsEmpty();
  std::u16string file = (parametersAreFile ? parameters : file_).ToWide();
  std::u16string arguments = parametersAreFile ? std::u16string() : parameters.ToWide();
  std::u16string folder = workingFolder_.ToWide();
  std::u16string verbText = verb.ToWide();

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = verbText.empty() ? nullptr : reinterpret_cast<const wchar_t*>(verbText.c_str());
  info.lpFile = reinterpret_cast<const wchar_t*>(file.c_str());
  // None rather than empty texts: the system takes an empty folder for a path of its own.
  info.lpParameters = arguments.empty() ? nullptr : reinterpret_cast<const wchar_t*>(arguments.c_str());
  info.lpDirectory = folder.empty() ? nullptr : reinterpret_cast<const wchar_t*>(folder.c_str());
  info.nShow = showState_;
  // Success shows in hInstApp (above 32), not in the last error, which differs between systems.
  const bool started = ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32;
  if (!started) {
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    return false;
  }
  // Accepted without a new process: the request went to a program that runs already (by DDE, or
  // a document handed to an open editor). It did start; there is just nothing to wait for.
  if (info.hProcess == nullptr) return true;
  handle_ = reinterpret_cast<intptr_t>(info.hProcess);
  processId_ = GetProcessId(info.hProcess);
  return true;
}

RawShell::WaitResult RawShell::Wait(uint32_t milliseconds) {
  if (handle_ == 0) return WaitFailed;
  switch (WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), milliseconds)) {
    case WAIT_OBJECT_0: return WaitEnded;
    case WAIT_TIMEOUT: return WaitTimedOut;
    default: return WaitFailed;
  }
}

RawShell::WaitResult RawShell::WaitForIdle(uint32_t milliseconds) {
  if (handle_ == 0) return WaitFailed;
  switch (WaitForInputIdle(reinterpret_cast<HANDLE>(handle_), milliseconds)) {
    case 0: return WaitEnded;
    case WAIT_TIMEOUT: return WaitTimedOut;
    default: return WaitFailed;
  }
}

bool RawShell::ExitCode(uint32_t& code) {
  DWORD value = 0;
  if (handle_ == 0 || !GetExitCodeProcess(reinterpret_cast<HANDLE>(handle_), &value)) return false;
  code = value;
  return true;
}

void RawShell::CloseProcess() {
  if (handle_ != 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = 0;
  processId_ = 0;
}

}  // namespace RawLayer
