#include "app/launcher.h"

#include "job/command.h"
#include "job/functions.h"
#include "job/profile_model.h"
#include "job/trace.h"
#include "job/trigger.h"

namespace AppLayer {

using JobLayer::JobTraceId;

void GuiLauncherProfile::Load(const RawString& configFile) {
  JobLayer::JobTraceScope scope('U', JobTraceId::System(), JobTraceId::Executor(), "Initialize");
  JobLayer::SetConfigFilePath(configFile);
  JobLayer::JobProfileModel& model = JobLayer::JobProfileModel::Instance();
  (void)model.Load(configFile);
  if (const JobLayer::JobActionUnit* action = model.actions.Find("#Initialize"); action != nullptr) {
    scope.SetResult(JobLayer::JobCommandList::Instance().Execute(action->params, JobTraceId::Executor()));
  }
}

bool GuiCommandLineRun::Run(const GuiCommandLine& commandLine) {
  return JobLayer::RunCommandLine(commandLine.runKind, commandLine.runName, commandLine.arguments);
}

}  // namespace AppLayer
