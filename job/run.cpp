#include "job/run.h"

#include "job/command.h"
#include "job/command_menu.h"
#include "job/trace.h"
#include "job/variable.h"

namespace JobLayer {

RawString RunKeyState(const RawString& base) {
  static constexpr struct {
    int virtualKey;
    const char* name;
  } kModifiers[] = {{0xA0, ",LShift"}, {0xA1, ",RShift"}, {0xA2, ",LControl"}, {0xA3, ",RControl"}};
  RawString state(RawLayer::CodeUtf8, base);
  JobScreen& screen = Screen();
  for (const auto& modifier : kModifiers) {
    if (screen.IsKeyDown(modifier.virtualKey)) state.Append(RawString::FromUtf8(modifier.name));
  }
  return state;
}

bool RunScript(const JobRunRequest& request, const RawString& text) {
  JobTraceScope scope('U', JobTraceId::User(), JobTraceId::Executor(), text);
  // A menu command reuses the menu it made earlier in the same run; the menus go before the
  // run's scope closes.
  JobMenuRunScope menus;
  JobDialogContext::Instance().anchor = request.anchor;
  JobVariableList& variables = JobVariableList::Instance();
  variables.Set("KeyState", request.heldKeys ? RunKeyState(request.keyState) : request.keyState);
  if (request.isolate) {
    variables.SaveAll();
    variables.Set("Drop", request.drop);
    variables.Set("DropList", request.dropList);
  }
  const bool ok = JobCommandList::Instance().Execute(request.script, JobTraceId::Executor());
  if (request.isolate) variables.RestoreAll();
  scope.SetResult(ok);
  return ok;
}

bool RunCommandLineAction(const JobParamList& script, const RawString& name, const RawString& label) {
  RawString text(label);
  text.Append(name);
  JobTraceScope scope('U', JobTraceId::User(), JobTraceId::Executor(), text);
  // A menu command reuses the menu it made earlier in the same run; the menus go before the
  // run's scope closes.
  JobMenuRunScope menus;
  const bool ok = JobCommandList::Instance().Execute(script, JobTraceId::Executor());
  scope.SetResult(ok);
  return ok;
}

}  // namespace JobLayer
