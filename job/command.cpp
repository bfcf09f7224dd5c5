#include "job/command.h"

#include "job/command_dialog.h"
#include "job/command_flow.h"
#include "job/command_menu.h"
#include "job/command_process.h"
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

// The registry in its lookup order (the first command of a word wins).
void JobCommandList::RegisterScriptCommands() {
  Register<JobCommandDefine>();
  Register<JobCommandExpand>();
  Register<JobCommandAction>();
  Register<JobCommandMenu>();
  Register<JobCommandMenuItem>();
  Register<JobCommandSeparator>();
  Register<JobCommandPickupMenu>();
  Register<JobCommandShell>();
  Register<JobCommandOpenFolder>();
  Register<JobCommandOpenFile>();
  Register<JobCommandPickup>();
  Register<JobCommandAskMessage>();
  Register<JobCommandPutMessage>();
  Register<JobCommandInputText>();
  Register<JobCommandIf>();
  Register<JobCommandElse>();
  Register<JobCommandWhile>();
  Register<JobCommandFor>();
  Register<JobCommandForeach>();
  Register<JobCommandBreak>();
  Register<JobCommandToClipboard>();
  Register<JobCommandPopupWindow>();
  Register<JobCommandQuit>();
  Register<JobCommandAbort>();
  Register<JobCommandReboot>();
}

bool JobCommandList::Execute(const JobParamList& params, const JobTraceId& caller) {
  for (const JobParamUnit& unit : params) {
    if (unit.Kind() != JobParamUnit::kCommand) continue;
    const JobErrorLine line(unit.line);
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
