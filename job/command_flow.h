// Commands that give scripts their structure: conditions (If, Else), loops (While, For, Foreach,
// Break), definitions (Define), substitution over a group of commands (Expand), calls of named
// actions (Action), and the ends of a run or of the launcher (AbortExecution, QuitLauncher,
// RebootLauncher). A command that nests others runs its block through the registry: the
// block's text units are its parameters, its command units the nested commands.
//
// The loops stop with "UserAborted" when Escape is held or the console was interrupted, checked
// once per completed pass.
#pragma once

#include <cstdint>

#include "job/command.h"

namespace JobLayer {

// Condition (required as written): false when it expands to nothing or to "False" in any case;
// then the else flag is set and the block is skipped. Otherwise the block runs and the flag is
// cleared after it.
class JobCommandIf : public JobCommandUnitEx {
 public:
  explicit JobCommandIf(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Runs the block when the last If anywhere found its condition false.
class JobCommandElse : public JobCommandUnitEx {
 public:
  explicit JobCommandElse(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Runs the block while Condition, expanded afresh before each pass, is true.
class JobCommandWhile : public JobCommandUnitEx {
 public:
  explicit JobCommandWhile(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// "Counter" from Begin, by Add, until it equals End (tested before each pass). The counter and
// the three numbers are 32-bit and wrap around.
class JobCommandFor : public JobCommandUnitEx {
 public:
  explicit JobCommandFor(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// "Each" for every item of Parameter: items separated by ",", an item beginning with a double
// quote runs to the next double quote.
class JobCommandForeach : public JobCommandUnitEx {
 public:
  explicit JobCommandForeach(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Sets the break flag and fails, which unwinds to the innermost running loop.
class JobCommandBreak : public JobCommandUnitEx {
 public:
  explicit JobCommandBreak(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Assigns every text unit's value as written (references are expanded when the variable is used).
class JobCommandDefine : public JobCommandUnitEx {
 public:
  explicit JobCommandDefine(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Text units are definitions; each command unit runs with the first "$(name)" of every value of
// its block replaced by the definitions so far, expanded afresh for each command.
class JobCommandExpand : public JobCommandUnitEx {
 public:
  explicit JobCommandExpand(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Runs the named action of the launcher profile after assigning the block's other text units.
// Calls nest at most kMaxActionDepth deep, so an action that calls itself ends the run with an
// error instead of exhausting the stack.
class JobCommandAction : public JobCommandUnitEx {
 public:
  static constexpr int32_t kMaxActionDepth = 200;

  explicit JobCommandAction(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Ends the run as failed, without a message.
class JobCommandAbort : public JobCommandUnitEx {
 public:
  explicit JobCommandAbort(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Asks the main window, when there is one, to close; the script goes on to its end.
class JobCommandQuit : public JobCommandUnitEx {
 public:
  explicit JobCommandQuit(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Asks the main window, when there is one, to restart the launcher.
class JobCommandReboot : public JobCommandUnitEx {
 public:
  explicit JobCommandReboot(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

}  // namespace JobLayer
