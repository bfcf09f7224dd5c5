// The launcher's global hotkeys: which keys it asks the system for, and for what.
//   [Option] HotKey=<keys>           shows or hides the launcher
//   [Button:...] HotKey=<keys>       runs the button as a left click does
//   [Action:...] HotKey=<keys>       runs the action as "-a" does
// The key text is job/hotkey.h's. This portable part turns the settings and the profile model
// into a plan: the bindings to register, in profile order, and a problem for every text that
// names no key or a key an earlier binding has taken. The Windows part (GuiHotKeys) registers
// the plan on the main window's thread and adds the problems of the registration itself.
#pragma once

#include <cstdint>
#include <vector>

#include "job/hotkey.h"
#include "raw/string.h"

namespace JobLayer {
class JobButtonList;
class JobActionList;
}  // namespace JobLayer

namespace AppLayer {

using RawLayer::RawString;

enum class GuiHotKeyTarget { Launcher, Button, Action };

struct GuiHotKeyBinding {
  GuiHotKeyTarget target = GuiHotKeyTarget::Launcher;
  RawString name;  // the button's or action's name
  JobLayer::JobHotKey key;
  // "[Option] HotKey=Ctrl+Alt+K", "[Button:Mail] HotKey=Ctrl+Alt+M": where it was asked for.
  RawString where;
};

struct GuiHotKeyProblem {
  RawString where;  // as in GuiHotKeyBinding, the text quoted (job/hotkey.h HotKeyQuote)
  RawString why;
};

struct GuiHotKeyPlan {
  std::vector<GuiHotKeyBinding> bindings;
  std::vector<GuiHotKeyProblem> problems;
};

// The launcher's own key first, then the buttons and the actions in profile order. A section
// without "HotKey", or with it as a command rather than a value, has none.
GuiHotKeyPlan PlanHotKeys(const RawString& launcherKey, const JobLayer::JobButtonList& buttons,
                          const JobLayer::JobActionList& actions);

// The text of the one warning box: a line per problem, at most `maxLines` of them, then how many
// more there are.
RawString HotKeyProblemText(const std::vector<GuiHotKeyProblem>& problems, size_t maxLines = 20);

// Ids for RegisterHotKey: the binding's index plus this (the system allows 0x0000-0xBFFF).
inline constexpr int32_t kFirstHotKeyId = 0x0100;
inline constexpr int32_t kLastHotKeyId = 0xBFFF;

}  // namespace AppLayer
