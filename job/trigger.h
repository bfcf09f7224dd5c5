// What starts a run: a click on a button, a choice in the selector list, files dropped on a
// button, and the command line. Each looks its target up in the profile model and hands a
// request to RunScript; a trigger whose target does not qualify does nothing.
#pragma once

#include <cstdint>

#include "job/screen.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace JobLayer {

using RawLayer::RawStringList;

// keyState "LButton" or "RButton". Runs when the index is within the button list and the button
// is not a separator; isolated.
bool RunButton(int32_t index, const RawString& keyState, const RawRect& anchor);
// A button's global hotkey: the run of a left click, with "KeyState" exactly "LButton" (the
// modifiers held are the hotkey's own) and the scope text "(HotKey-Button)" + name; isolated.
bool RunButtonByHotKey(int32_t index);
// keyState "LButton" or "DClick". Not isolated: a selector's changes to variables persist.
bool RunSelector(int32_t index, const RawString& keyState, const RawRect& anchor);
// drop: the first dropped path; dropList: every path in double quotes, separated by one blank.
// Runs only on a button with "DropRun"; isolated.
bool RunDrop(int32_t index, const RawString& drop, const RawString& dropList, const RawRect& anchor);

// The drop texts of a list of paths: the first one, and all of them quoted and separated.
RawString DropListText(const RawStringList& paths);

// A run asked for on the command line: mode "a" (an action), "l" or "r" (a button clicked with
// the left or right button) or "d" (files dropped on a button). A mode other than these or a
// name that is not defined is reported ("NoSuchDefinedName") and gives false, as a failed run.
bool RunCommandLine(const RawString& mode, const RawString& name, const RawStringList& files);

}  // namespace JobLayer
