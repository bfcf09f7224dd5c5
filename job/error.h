// Script errors: reported once, where they are detected, by writing an "Error" event record to
// the execution log and showing the message in an information dialog. The message is the
// "ToolMessage" text of the error identifier from the message table (escapes \n, \t, \s
// resolved), followed by one line per label/value pair.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

struct JobScriptError {
  static constexpr int32_t kMaxPairs = 10;

  RawString id;
  RawString labels[kMaxPairs];
  RawString values[kMaxPairs];
  int32_t count = 0;

  // Adds a pair when the value is not empty (and room is left).
  void Add(const RawString& label, const RawString& value);
};

// The profile line of the command running on this thread, while it runs (0: no line known, as
// for a script made in code). ReportCommandError and ReportVariableError show it as a last pair
// "[line]", so that a user finds the command in the profile.
class JobErrorLine {
 public:
  explicit JobErrorLine(int32_t line);
  ~JobErrorLine();
  JobErrorLine(const JobErrorLine&) = delete;
  JobErrorLine& operator=(const JobErrorLine&) = delete;
  static int32_t Current();

 private:
  int32_t previous_;
};

// The text shown for an error: its message and the pair lines.
RawString ScriptErrorMessage(const JobScriptError& error);
// Logs and shows the error; returns when the user has closed the dialog.
void ReportScriptError(const JobScriptError& error);

// Pairs "[command]", "[parameter]", "[value]", each only when not empty, then "[line]".
void ReportCommandError(const RawString& id, const RawString& command, const RawString& parameter,
                        const RawString& value);
// Pairs "[variable]", "[value]", "[script]", each only when not empty, then "[line]".
void ReportVariableError(const RawString& id, const RawString& variable, const RawString& value,
                         const RawString& script);

}  // namespace JobLayer
