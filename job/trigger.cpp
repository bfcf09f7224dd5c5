#include "job/trigger.h"

#include "job/error.h"
#include "job/profile_model.h"
#include "job/run.h"

namespace JobLayer {

namespace {

RawString ScopeText(const char* label, const RawString& name) {
  RawString text(RawString::FromUtf8(label));
  text.Append(name);
  return text;
}

bool RunRequest(const JobParamList& script, const RawString& keyState, const RawString& drop,
                const RawString& dropList, const RawRect& anchor, bool isolate, const RawString& text) {
  JobRunRequest request;
  request.script = script;
  request.keyState = keyState;
  request.drop = drop;
  request.dropList = dropList;
  request.anchor = anchor;
  request.isolate = isolate;
  return RunScript(request, text);
}

}  // namespace

bool RunButton(int32_t index, const RawString& keyState, const RawRect& anchor) {
  const JobButtonUnit* button = JobProfileModel::Instance().buttons.At(index);
  if (button == nullptr || (button->flags & JobButtonUnit::kSeparator) != 0) return false;
  return RunRequest(button->params, keyState, RawString::Empty(), RawString::Empty(), anchor, true,
                    ScopeText("(Button)", button->name));
}

bool RunButtonByHotKey(int32_t index) {
  const JobButtonUnit* button = JobProfileModel::Instance().buttons.At(index);
  if (button == nullptr || (button->flags & JobButtonUnit::kSeparator) != 0) return false;
  JobRunRequest request;
  request.script = button->params;
  request.keyState = "LButton";
  request.isolate = true;
  request.heldKeys = false;
  return RunScript(request, ScopeText("(HotKey-Button)", button->name));
}

bool RunSelector(int32_t index, const RawString& keyState, const RawRect& anchor) {
  const JobSelectorUnit* selector = JobProfileModel::Instance().selectors.At(index);
  if (selector == nullptr) return false;
  return RunRequest(selector->params, keyState, RawString::Empty(), RawString::Empty(), anchor, false,
                    ScopeText("(Selector)", selector->name));
}

bool RunDrop(int32_t index, const RawString& drop, const RawString& dropList, const RawRect& anchor) {
  const JobButtonUnit* button = JobProfileModel::Instance().buttons.At(index);
  if (button == nullptr || (button->flags & JobButtonUnit::kDropRun) == 0) return false;
  return RunRequest(button->params, "Drop", drop, dropList, anchor, true, ScopeText("(Drop)", button->name));
}

RawString DropListText(const RawStringList& paths) {
  RawString text;
  for (const RawString& path : paths) {
    if (!text.IsEmpty()) text.Append(" ");
    text.AppendAll("\"", path, "\"");
  }
  return text;
}

bool RunCommandLine(const RawString& mode, const RawString& name, const RawStringList& files) {
  JobProfileModel& model = JobProfileModel::Instance();
  // The flags that decide which buttons may run come from their set-up.
  model.buttons.SetupButtons();
  const RawRect none;
  if (mode == "a") {
    if (const JobActionUnit* action = model.actions.Find(name); action != nullptr) {
      return RunCommandLineAction(action->params, name);
    }
  } else if (mode == "l" || mode == "r" || mode == "d") {
    if (const JobButtonUnit* button = model.buttons.Find(name); button != nullptr) {
      if (mode == "d") {
        const RawString* first = files.First();
        return RunRequest(button->params, "Drop", first != nullptr ? *first : RawString::Empty(),
                          DropListText(files), none, true, ScopeText("(Comline-Drop)", name));
      }
      return RunRequest(button->params, mode == "l" ? RawString("LButton") : RawString("RButton"),
                        RawString::Empty(), RawString::Empty(), none, true,
                        ScopeText("(Comline-Button)", name));
    }
  }
  // Nothing runs; the user is told which name was not found and how it was asked for.
  RawString value("/[commandline] ");
  value.AppendAll("-", mode, " ");
  value.Append(name);
  ReportCommandError("NoSuchDefinedName", RawString::Empty(), RawString::Empty(), value);
  return false;
}

}  // namespace JobLayer
