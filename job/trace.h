// Identities and scopes of traced steps. A run, a command and a variable resolution each open a
// scope; an active scope writes a "Begin" event record and a link record when it opens, and a
// link record with its result and an "End" event record when it closes. Which scopes are active
// is decided by the log-detail letters: "U" runs, "C" commands ("P" adds the command's
// parameters to its text), "V" variable resolutions.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

// A context identifier: its name, followed by "#" and its number when the number is not 0.
struct JobTraceId {
  RawString name;
  uint32_t number = 0;

  static JobTraceId User();      // ("User", 0)
  static JobTraceId Executor();  // ("Executor", 0)
  static JobTraceId System();    // ("System", 0)
  // ("Command", n): n from a process-wide counter, incremented under its lock before each use,
  // so the first command of the process gets 1.
  static JobTraceId NextCommand();
  // ("Variable", n): the same with a counter of its own.
  static JobTraceId NextVariable();

  RawString Text() const;
};

class JobTraceScope {
 public:
  // letter: 'U' for a run scope, 'C' for a command scope, 'V' for a variable resolution. The
  // scope is active when the log-detail letters hold it. text is the run's scope text, the
  // command word or the reference; detail is the command summary, used in place of text when
  // the letters hold "P" (command scopes only).
  JobTraceScope(char letter, const JobTraceId& caller, const JobTraceId& self, const RawString& text,
                const RawString& detail = RawString::Empty());
  ~JobTraceScope();  // closes with the result
  JobTraceScope(const JobTraceScope&) = delete;
  JobTraceScope& operator=(const JobTraceScope&) = delete;

  void SetResult(bool ok);                  // "Success" or "Failed"
  void SetResultText(const RawString& text);  // any other result text (variable resolutions)
  bool IsActive() const { return active_; }
  const JobTraceId& Self() const { return self_; }

 private:
  bool active_;
  JobTraceId caller_;
  JobTraceId self_;
  RawString text_;
  RawString detail_;
  RawString result_;
};

}  // namespace JobLayer
