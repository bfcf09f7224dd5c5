#include "job/command_process.h"

#include <algorithm>
#include <chrono>

#include "job/abort.h"
#include "job/error.h"
#include "job/variable.h"
#include "raw/clipboard.h"
#include "raw/file.h"
#include "raw/process.h"

namespace JobLayer {

namespace {

// A wait without limit is made of slices this long, so that an interrupt can stop it.
constexpr uint32_t kWaitSliceMs = 100;

int DigitOf(uint32_t unit) {
  if (unit >= '0' && unit <= '9') return static_cast<int>(unit - '0');
  if (unit >= 'A' && unit <= 'Z') return static_cast<int>(unit - 'A') + 10;
  if (unit >= 'a' && unit <= 'z') return static_cast<int>(unit - 'a') + 10;
  return 99;
}

JobWaitEnd WaitEndOf(RawShell::WaitResult result) {
  switch (result) {
    case RawShell::WaitEnded: return JobWaitEnd::Ended;
    case RawShell::WaitTimedOut: return JobWaitEnd::TimedOut;
    default: return JobWaitEnd::Failed;
  }
}

// Waits with `waitOnce` (given a slice in milliseconds) until it answers anything but TimedOut,
// the time-out has passed (negative: never) or an interrupt asks to stop. The time-out counts
// from the first slice, so slices that end early do not stretch it.
template <class WaitOnce>
JobWaitEnd WaitInSlices(int32_t timeout, WaitOnce waitOnce) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (;;) {
    if (TakeAbortRequest()) return JobWaitEnd::Aborted;
    uint32_t slice = kWaitSliceMs;
    int64_t remaining = 0;
    if (timeout >= 0) {
      const int64_t elapsed =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      remaining = std::max<int64_t>(0, timeout - elapsed);
      slice = static_cast<uint32_t>(std::min<int64_t>(slice, remaining));
    }
    const JobWaitEnd end = waitOnce(slice);
    if (end != JobWaitEnd::TimedOut) return end;
    if (timeout >= 0 && remaining <= static_cast<int64_t>(slice)) return JobWaitEnd::TimedOut;
  }
}

// Starts `file` (or the parameters as the file when it is empty) and lets go of the process.
bool Launch(const RawString& file, const RawString& parameters, const RawString& directory,
            int32_t show, const RawString& verb) {
  RawShell shell(file);
  shell.SetWorkingFolder(directory);
  shell.SetShowState(show);
  return shell.Execute(parameters, verb);
}

}  // namespace

int32_t LeadingNumber(const RawString& text) {
  const int32_t length = text.Length();
  int32_t p = 0;
  bool negative = false;
  if (p < length && (text.UnitAt(p) == '+' || text.UnitAt(p) == '-')) {
    negative = text.UnitAt(p) == '-';
    ++p;
  }
  int base = 10;
  if (length - p >= 2 && text.UnitAt(p) == '0' && (text.UnitAt(p + 1) == 'x' || text.UnitAt(p + 1) == 'b')) {
    const int prefixed = text.UnitAt(p + 1) == 'x' ? 16 : 2;
    // "0x" without a digit of its base is the number 0 followed by other text.
    if (p + 2 < length && DigitOf(text.UnitAt(p + 2)) < prefixed) {
      base = prefixed;
      p += 2;
    }
  }
  // Unsigned arithmetic wraps instead of overflowing.
  uint32_t value = 0;
  for (; p < length; ++p) {
    const int digit = DigitOf(text.UnitAt(p));
    if (digit >= base) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

JobCommandShell::JobCommandShell(JobCommandList& list) : JobCommandUnitEx("Shell", list) {}

bool JobCommandShell::Execute(const JobParamList& params, const JobTraceId& caller) {
  // All seven are expanded, in this order, before any fails the command.
  RawString command, parameter, directory, showStatus, verb, wait, timeoutText;
  bool expanded = ExpandParameter(params, "Command", caller, command);
  expanded &= ExpandParameter(params, "Parameter", caller, parameter);
  expanded &= ExpandParameter(params, "Directory", caller, directory);
  expanded &= ExpandParameter(params, "ShowStatus", caller, showStatus);
  expanded &= ExpandParameter(params, "Verb", caller, verb);
  expanded &= ExpandParameter(params, "Wait", caller, wait);
  expanded &= ExpandParameter(params, "Timeout", caller, timeoutText);
  const int32_t timeout = LeadingNumber(timeoutText);
  if (!expanded) return false;
  if (command.IsEmpty() && parameter.IsEmpty()) {
    ReportCommandError("RequiredParameterIsMissing", "Shell", "Command", RawString());
    return false;
  }

  RawShell shell(command);
  shell.SetWorkingFolder(directory);
  shell.SetShowState(RawLayer::ShowStateOf(showStatus));
  const bool started = shell.Execute(parameter, verb);

  JobWaitEnd end = JobWaitEnd::Ended;
  if (shell.HasProcess()) {
    if (wait == RawString("WaitForDone")) {
      end = WaitInSlices(timeout, [&shell](uint32_t slice) { return WaitEndOf(shell.Wait(slice)); });
    } else if (wait == RawString("WaitForIdle")) {
      end = WaitInSlices(timeout, [&shell](uint32_t slice) { return WaitEndOf(shell.WaitForIdle(slice)); });
    }
  }

  uint32_t exitCode = 0;
  if (!shell.ExitCode(exitCode)) exitCode = 0;
  RawString exitText;
  exitText.AppendNumber(exitCode, 10);
  JobVariableList::Instance().Set("ExitCode", exitText);

  if (end == JobWaitEnd::Aborted) {
    ReportCommandError("UserAborted", "Shell", RawString(), RawString());
    return false;
  }
  return started;
}

JobCommandOpenFile::JobCommandOpenFile(JobCommandList& list) : JobCommandUnitEx("OpenFile", list) {}

bool JobCommandOpenFile::Execute(const JobParamList& params, const JobTraceId& caller) {
  RawString file;
  if (!ExpandParameter(params, "Parameter", caller, file)) return false;
  if (file.IsEmpty()) {
    ReportCommandError("RequiredParameterIsMissing", "OpenFile", "Parameter", RawString());
    return false;
  }
  return Launch(file, RawString(), RawString(), 1, RawString());
}

JobCommandOpenFolder::JobCommandOpenFolder(JobCommandList& list) : JobCommandUnitEx("OpenFolder", list) {}

bool JobCommandOpenFolder::Execute(const JobParamList& params, const JobTraceId& caller) {
  RawString value;
  if (!ExpandParameter(params, "Parameter", caller, value)) return false;
  if (value.IsEmpty()) {
    ReportCommandError("RequiredParameterIsMissing", "OpenFolder", "Parameter", RawString());
    return false;
  }
  // A file, or a path whose tail does not exist, opens its nearest existing folder.
  RawString path = value;
  while (!path.IsEmpty()) {
    if (RawLayer::PathKind(path) == RawLayer::RawPathKind::Folder) {
      return Launch(path, RawString(), RawString(), 1, RawString());
    }
    const int32_t separator = path.FindLastSeparator();
    path = separator < path.Length() ? path.Sub({0, separator}) : RawString();
  }
  ReportCommandError("UnexpectedParameter", "OpenFolder", "Parameter", value);
  return false;
}

JobCommandToClipboard::JobCommandToClipboard(JobCommandList& list) : JobCommandUnitEx("ToClipboard", list) {}

bool JobCommandToClipboard::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString text = GetRequiredParameter(params, "Parameter", "ToClipboard", caller);
  if (text.IsEmpty()) return false;
  return RawLayer::SetClipboardText(text);
}

JobCommandPopupWindow::JobCommandPopupWindow(JobCommandList& list) : JobCommandUnitEx("PopupWindow", list) {}

bool JobCommandPopupWindow::Execute(const JobParamList& params, const JobTraceId& caller) {
  RawString value;
  if (!ExpandParameter(params, "Parameter", caller, value)) return false;
  const int32_t handle = LeadingNumber(value);
  if (handle == 0 || !RawLayer::BringWindowToFront(handle)) {
    ReportCommandError("MissingTargetWindow", "PopupWindow", "Parameter", value);
    return false;
  }
  return true;
}

}  // namespace JobLayer
