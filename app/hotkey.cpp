#include "app/hotkey.h"

#include "job/param.h"
#include "job/profile_model.h"

namespace AppLayer {

using JobLayer::JobHotKey;

namespace {

RawString Where(const char* kind, const RawString& name, const RawString& text) {
  RawString where("[");
  where.Append(RawString::FromUtf8(kind));
  where.AppendAll(name, "] HotKey=", JobLayer::HotKeyQuote(text));
  return where;
}

class Planner {
 public:
  void Add(GuiHotKeyTarget target, const RawString& name, const RawString& where, const RawString& text) {
    JobHotKey key;
    RawString why;
    if (!JobLayer::ParseHotKey(text, key, why)) {
      plan.problems.push_back({where, why});
      return;
    }
    for (const GuiHotKeyBinding& earlier : plan.bindings) {
      if (earlier.key == key) {
        RawString taken("the key is taken already by ");
        taken.Append(earlier.where);
        plan.problems.push_back({where, taken});
        return;
      }
    }
    plan.bindings.push_back({target, name, key, where});
  }

  // A section's "HotKey" value; false when it has none.
  static bool ValueOf(const JobLayer::JobParamList& params, RawString& text) {
    const JobLayer::JobParamUnit* unit = params.Find("HotKey");
    if (unit == nullptr || unit->Kind() != JobLayer::JobParamUnit::kText) return false;
    text = static_cast<const JobLayer::JobParamText*>(unit)->value;
    return true;
  }

  GuiHotKeyPlan plan;
};

}  // namespace

GuiHotKeyPlan PlanHotKeys(const RawString& launcherKey, const JobLayer::JobButtonList& buttons,
                          const JobLayer::JobActionList& actions) {
  Planner planner;
  if (!launcherKey.IsEmpty()) {
    RawString where("[Option] HotKey=");
    where.Append(JobLayer::HotKeyQuote(launcherKey));
    planner.Add(GuiHotKeyTarget::Launcher, RawString(), where, launcherKey);
  }
  RawString text;
  for (const JobLayer::JobButtonUnit& button : buttons) {
    if (Planner::ValueOf(button.params, text)) {
      planner.Add(GuiHotKeyTarget::Button, button.name, Where("Button:", button.name, text), text);
    }
  }
  for (const JobLayer::JobActionUnit& action : actions) {
    // "#Initialize" runs at start-up only; it is no action a key could name.
    if (action.name == "#Initialize") continue;
    if (Planner::ValueOf(action.params, text)) {
      planner.Add(GuiHotKeyTarget::Action, action.name, Where("Action:", action.name, text), text);
    }
  }
  return std::move(planner.plan);
}

RawString HotKeyProblemText(const std::vector<GuiHotKeyProblem>& problems, size_t maxLines) {
  RawString text("These hotkeys could not be registered:");
  size_t shown = 0;
  for (const GuiHotKeyProblem& problem : problems) {
    if (shown == maxLines) break;
    text.AppendAll("\r\n", problem.where, ": ", problem.why);
    ++shown;
  }
  if (shown < problems.size()) {
    text.Append("\r\n... and ");
    text.AppendInteger(static_cast<int64_t>(problems.size() - shown));
    text.Append(" more (see the log)");
  }
  return text;
}

}  // namespace AppLayer
