// Running processes, top-level windows and the clipboard.
#include "job/functions.h"
#include "raw/clipboard.h"
#include "raw/process.h"

namespace JobLayer {

namespace {

// The first window whose class name (first argument) and title (second, optional) match
// exactly; empty patterns pass every window. "0x" and the handle, or empty.
RawString MatchingWindow(JobVariableResult& result, JobVariableArgument& argument, bool& failed) {
  const RawString classPattern = argument.GetText(1);
  const RawString titlePattern = argument.GetText(2, JobVariableArgument::kOptional);
  failed = ArgumentFailed(result, argument);
  return failed ? RawString() : RawLayer::FindTopWindow(classPattern, titlePattern);
}

// The first running process whose entry matches the pattern ignoring case, or empty.
RawString MatchingProcess(JobVariableResult& result, JobVariableArgument& argument, bool& failed) {
  const RawString pattern = argument.GetText(1);
  failed = ArgumentFailed(result, argument);
  return failed ? RawString() : RawLayer::FindProcess(pattern);
}

}  // namespace

void JobVariableIsProcess::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString found = MatchingProcess(result, argument, failed);
  if (!failed) SetBoolResult(result, !found.IsEmpty());
}

void JobVariableProcess::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString found = MatchingProcess(result, argument, failed);
  if (failed) return;
  if (found.IsEmpty()) {
    SetMissingResult(result, argument);
  } else {
    SetTextResult(result, found);
  }
}

void JobVariableIsWindow::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString found = MatchingWindow(result, argument, failed);
  if (!failed) SetBoolResult(result, !found.IsEmpty());
}

void JobVariableWindow::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  bool failed = false;
  const RawString found = MatchingWindow(result, argument, failed);
  if (failed) return;
  if (found.IsEmpty()) {
    SetMissingResult(result, argument);
  } else {
    SetTextResult(result, found);
  }
}

void JobVariableClipboard::Evaluate(JobVariableResult& result, JobVariableArgument&) {
  SetTextResult(result, RawLayer::ClipboardText(INT32_MAX).Convert(RawLayer::CodeUtf8));
}

}  // namespace JobLayer
