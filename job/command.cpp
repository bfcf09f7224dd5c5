#include "job/command.h"


#include "job/error.h"
#include "job/log.h"

namespace JobLayer {

JobCommandList& JobCommandList::Instance() {
  static JobCommandList* registry = [] {
    auto* list = new JobCommandList;  // lives to the end of the process, like its commands
    list->RegisterScriptCommands();
    return list;
  }();
  return *registry;
}

// The registry's lookup order: Define, Expand, Action, Menu, MenuItem, Separator, PickupMenu,
// Shell, OpenFolder, OpenFile, Pickup, AskMessage, PutMessage, InputText, If, Else, While, For,
// Foreach, Break, ToClipboard, PopupWindow, QuitLauncher, AbortExecution, RebootLauncher. Each
// command family registers its classes here, at their places in that order
// (Register<JobCommandDefine>(), ...), as they are written.
void JobCommandList::RegisterScriptCommands() {}

bool JobCommandList::Execute(const JobParamList& params, const JobTraceId& caller) {
  for (const JobParamUnit& unit : params) {
    if (unit.Kind() != JobParamUnit::kCommand) continue;
    if (!ExecuteCommand(unit.name, static_cast<const JobParamCommand&>(unit).params, caller)) return false;
  }
  return true;
}

bool JobCommandList::ExecuteCommand(const RawString& name, const JobParamList& params, const JobTraceId& caller) {
  const JobTraceId self = JobTraceId::NextCommand();
  // The summary is built only when the log would show it.
  RawString summary;
  JobLogServer& log = JobLogServer::Instance();
  if (log.Wants('C') && log.Wants('P')) {
    summary.AppendAll("[", name, "]");
    params.AppendSummary(summary);
  }
  JobTraceScope scope('C', caller, self, name, summary);
  bool ok = false;
  if (JobCommandUnit* command = Find(name)) {
    ok = command->Execute(params, self);
  } else {
    ReportCommandError("NoSuchCommand", name, RawString(), RawString());
  }
  scope.SetResult(ok);
  return ok;
}

JobCommandUnit* JobCommandList::Find(const RawString& name) const {
  for (const std::unique_ptr<JobCommandUnit>& command : *this) {
    if (command->name == name) return command.get();
  }
  return nullptr;
}

}  // namespace JobLayer
