// Runs of scripts: what a trigger hands over, and the traced, optionally isolated run of it.
#pragma once

#include "job/param.h"
#include "job/screen.h"
#include "raw/string.h"

namespace JobLayer {

struct JobRunRequest {
  JobParamList script;  // a shared copy of the trigger's script
  RawString keyState;   // "LButton", "RButton", "DClick" or "Drop"
  RawString drop;       // the first dropped path
  RawString dropList;   // every dropped path in double quotes, separated by one blank
  RawRect anchor;       // screen rectangle of the button or selector line that was used
  bool isolate = false;  // undo every variable change when the run ends
  // Add the modifier keys held now to "KeyState"; off for a hotkey, whose modifiers are the
  // key's own and not a choice of the user's.
  bool heldKeys = true;
};

// The "KeyState" text of a run: base, then ",LShift", ",RShift", ",LControl" and ",RControl" for
// each of those keys the screen reports down, in that order.
RawString RunKeyState(const RawString& base);

// A run: a traced run scope (User -> Executor) with text as its scope text; the anchor goes to
// the dialog context, "KeyState" is set, and with isolate every variable is saved, "Drop" and
// "DropList" are set, and every variable is restored afterwards. Returns the script's result.
[[nodiscard]] bool RunScript(const JobRunRequest& request, const RawString& text);

// A named action run from the command line: the script runs directly inside a run scope whose
// text is label + name; the anchor and the variables are left alone. A global hotkey runs its
// action the same way, with the label "(HotKey-Action)".
[[nodiscard]] bool RunCommandLineAction(const JobParamList& script, const RawString& name,
                                        const RawString& label = "(Comline-Action)");

}  // namespace JobLayer
