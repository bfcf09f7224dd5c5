#include "job/command_flow.h"

#include <vector>

#include "job/error.h"
#include "job/profile_model.h"
#include "job/screen.h"
#include "job/variable.h"

namespace JobLayer {

namespace {

// Action calls now running on this thread (runs are synchronous, one per thread).
thread_local int32_t t_actionDepth = 0;

class ActionDepth {
 public:
  ActionDepth() { ++t_actionDepth; }
  ActionDepth(const ActionDepth&) = delete;
  ActionDepth& operator=(const ActionDepth&) = delete;
  ~ActionDepth() { --t_actionDepth; }
};

struct Definition {
  RawString name;
  RawString value;
};

}  // namespace

JobCommandIf::JobCommandIf(JobCommandList& list) : JobCommandUnitEx("If", list) {}

bool JobCommandIf::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString written = params.GetValue("Condition");
  if (written.IsEmpty()) {
    ReportCommandError("RequiredParameterIsMissing", "If", "Condition", RawString());
    return false;
  }
  const JobVariableResult condition = ExpandAndRecord(written, caller);
  if (condition.state != VariableSuccess) return false;
  if (!IsTrueText(condition.text)) {
    owner->flags |= JobCommandList::kElsePending;
    return true;
  }
  const bool ok = owner->Execute(params, caller);
  // After the block, so that an If inside it does not decide a following Else.
  owner->flags &= static_cast<uint16_t>(~JobCommandList::kElsePending);
  return ok;
}

JobCommandElse::JobCommandElse(JobCommandList& list) : JobCommandUnitEx("Else", list) {}

bool JobCommandElse::Execute(const JobParamList& params, const JobTraceId& caller) {
  if ((owner->flags & JobCommandList::kElsePending) == 0) return true;
  return owner->Execute(params, caller);
}

JobCommandDefine::JobCommandDefine(JobCommandList& list) : JobCommandUnitEx("Define", list) {}

bool JobCommandDefine::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)caller;
  JobVariableList& variables = JobVariableList::Instance();
  for (const JobParamUnit& unit : params) {
    if (unit.Kind() == JobParamUnit::kText) {
      variables.Set(unit.name, static_cast<const JobParamText&>(unit).value);
    }
  }
  return true;
}

JobCommandExpand::JobCommandExpand(JobCommandList& list) : JobCommandUnitEx("Expand", list) {}

bool JobCommandExpand::Execute(const JobParamList& params, const JobTraceId& caller) {
  std::vector<Definition> definitions;
  for (const JobParamUnit& unit : params) {
    if (unit.Kind() == JobParamUnit::kText) {
      definitions.push_back(Definition{unit.name, static_cast<const JobParamText&>(unit).value});
      continue;
    }
    if (unit.Kind() != JobParamUnit::kCommand) continue;
    // A copy of its own, so the script's tree is never changed.
    JobParamList block = static_cast<const JobParamCommand&>(unit).params;
    for (const Definition& definition : definitions) {
      const JobVariableResult value = ExpandAndRecord(definition.value, caller);
      if (value.state != VariableSuccess) return false;
      RawString pattern("$(");
      pattern.AppendAll(definition.name, ")");
      block.ReplaceText(pattern, value.text);
    }
    if (!owner->ExecuteCommand(unit.name, block, caller)) return false;
  }
  return true;
}

JobCommandAction::JobCommandAction(JobCommandList& list) : JobCommandUnitEx("Action", list) {}

bool JobCommandAction::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString name = GetRequiredParameter(params, "Name", "Action", caller);
  if (name.IsEmpty()) return false;
  const JobActionUnit* action = JobProfileModel::Instance().actions.Find(name);
  if (action == nullptr) {
    ReportCommandError("NoSuchDefinedAction", "Action", "Name", name);
    return false;
  }
  // A shared copy: the running script stays whole whatever happens to the profile meanwhile.
  const JobParamList script = action->params;
  if (t_actionDepth >= kMaxActionDepth) {
    ReportCommandError("ActionNestingTooDeep", "Action", "Name", name);
    return false;
  }
  JobVariableList& variables = JobVariableList::Instance();
  for (const JobParamUnit& unit : params) {
    if (unit.Kind() == JobParamUnit::kText && unit.name != RawString("Name")) {
      variables.Set(unit.name, static_cast<const JobParamText&>(unit).value);
    }
  }
  ActionDepth depth;
  return owner->Execute(script, caller);
}

JobCommandAbort::JobCommandAbort(JobCommandList& list) : JobCommandUnitEx("AbortExecution", list) {}

bool JobCommandAbort::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)params;
  (void)caller;
  return false;
}

JobCommandQuit::JobCommandQuit(JobCommandList& list) : JobCommandUnitEx("QuitLauncher", list) {}

bool JobCommandQuit::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)params;
  (void)caller;
  if (JobDialogContext::Instance().mainWindow != nullptr) {
    Screen().PostToMainWindow(JobScreen::MainWindowRequest::Close);
  }
  return true;
}

JobCommandReboot::JobCommandReboot(JobCommandList& list) : JobCommandUnitEx("RebootLauncher", list) {}

bool JobCommandReboot::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)params;
  (void)caller;
  if (JobDialogContext::Instance().mainWindow != nullptr) {
    Screen().PostToMainWindow(JobScreen::MainWindowRequest::Restart);
  }
  return true;
}

}  // namespace JobLayer
