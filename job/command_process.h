// Commands that act on the desktop: start programs and documents (Shell, OpenFile), open a
// folder (OpenFolder), put text on the clipboard (ToClipboard) and bring a window to the front
// (PopupWindow). Starting goes through RawShell; these commands decide what is handed to it,
// whether and how long to wait, and what the script sees afterwards (the variable "ExitCode").
#pragma once

#include <cstdint>

#include "job/command.h"
#include "raw/shell.h"
#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawShell;

// Shell: Command, Parameter, Directory, ShowStatus, Verb, Wait ("WaitForDone" or "WaitForIdle",
// exactly) and Timeout (milliseconds; empty 0, negative no limit). Sets "ExitCode" to the
// process's exit code in unsigned decimal ("0" without a process, 259 while it still runs).
// An interrupt during the wait stops it with "UserAborted".
class JobCommandShell : public JobCommandUnitEx {
 public:
  explicit JobCommandShell(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// OpenFile: the Parameter as a document or program with the default verb.
class JobCommandOpenFile : public JobCommandUnitEx {
 public:
  explicit JobCommandOpenFile(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// OpenFolder: the Parameter's nearest existing folder (a file opens the folder that holds it).
class JobCommandOpenFolder : public JobCommandUnitEx {
 public:
  explicit JobCommandOpenFolder(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// ToClipboard: replaces the clipboard's content by the Parameter.
class JobCommandToClipboard : public JobCommandUnitEx {
 public:
  explicit JobCommandToClipboard(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// PopupWindow: the Parameter is a window handle (decimal, or "0x" hexadecimal as the Window
// function gives it); a minimised window is shown normally, any other brought to the front.
class JobCommandPopupWindow : public JobCommandUnitEx {
 public:
  explicit JobCommandPopupWindow(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// The numbers of Shell's Timeout and PopupWindow's handle: an optional sign, "0x" or "0b", then
// the digits of that base as far as they go ("12ms" is 12); a text without a digit is 0. The
// value wraps to 32 bits.
int32_t LeadingNumber(const RawString& text);

// How a wait for a started process ended.
enum class JobWaitEnd { Ended, TimedOut, Failed, Aborted };

}  // namespace JobLayer
