#include "app/startup.h"

#include <vector>

#include "app/profile_check.h"
#include "app/reload_watch.h"
#include "app/settings.h"
#include "job/log.h"
#include "raw/file.h"
#include "raw/locale.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "raw/thread.h"

namespace AppLayer {

using RawLayer::RawLocaleRecord;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawParameterUnit;
using RawLayer::RawPathKind;
using RawLayer::RawProfile;

namespace {

constexpr char kAppName[] = "Kestrel";
constexpr char kCommon[] = "Common";
constexpr char kSystemMessage[] = "SystemMessage";

const RawLocaleRecord kSystemMessages[] = {
    {"BadFormatProfile", "Bad format profile !!"},
    {"CannotAccessTemp", "Cannot access temp directory (%s) !!"},
    {"", ""},
};

// The text without its last `count` characters (whole characters, so a name in
// any script stays valid UTF-8); unchanged when it is not longer than that.
RawString DropLastCharacters(const RawString& text, int32_t count) {
  std::vector<int32_t> starts;
  for (int32_t at = 0; at < text.Length(); at += 1 + text.CharExtra(at)) starts.push_back(at);
  if (static_cast<int32_t>(starts.size()) <= count) return text;
  return text.Sub({0, starts[starts.size() - count]});
}

}  // namespace

GuiProgramPlace GuiProgramPlace::OfThisProgram() {
  return GuiProgramPlace{RawLayer::ModulePath(), RawLayer::ProgramFolder()};
}

RawString BadFormatProfileMessage() {
  return RawLocaleRecordList::Instance().Text(kSystemMessage, "BadFormatProfile",
                                                RawString::FromUtf8(kSystemMessages[0].defaultText));
}

RawString CannotAccessTempMessage(const RawString& folder) {
  const RawString text =
      RawLocaleRecordList::Instance().Text(kSystemMessage, "CannotAccessTemp",
                                                              RawString::FromUtf8(kSystemMessages[1].defaultText));
  return RawLayer::FormatMessage(text, folder);
}

GuiStartup::GuiStartup(const GuiProgramPlace& place, GuiStartupScreen& screen) : place_(place), screen_(screen) {
  options_.SetExact(true);
  RawLocaleRecordList::Instance().Register(kSystemMessage, kSystemMessages);
}

GuiStartup::~GuiStartup() {
  // Nothing is left to tell about a failed write at exit; the next run retries.
  (void)RawLocaleRecordList::Instance().SaveMissing();
}

int GuiStartup::Run(const RawString& commandLine, const Services& services) {
  if (services.crashHook != nullptr) services.crashHook->Install();
  const bool inApartment = services.apartment != nullptr && services.apartment->Enter();
  const int exitCode = RunServices(commandLine, services);
  if (inApartment) services.apartment->Leave();
  return exitCode;
}

int GuiStartup::RunServices(const RawString& commandLine, const Services& services) {
  ReadCommandLine(commandLine);
  // A window's run watches its profiles for saves by other programs: their stamps are taken
  // before they are read, and this process's own writes keep them current.
  watchProfiles_ = !commandLine_.check && !commandLine_.HasRun();
  if (watchProfiles_) RawLayer::SetRewriteObserver(&ProfilesAsRead());
  if (!OpenStartupProfile()) return ExitDone;
  if (commandLine_.check) {
    ApplyStartupProfile(nullptr);
    return RunCheck();
  }
  ApplyStartupProfile(services.configuration);
  if (services.executionLog != nullptr) services.executionLog->Start();
  // The earlier instance goes before the launcher profile is read, so the two
  // never work on the same files at once.
  if (commandLine_.restartProcessId != 0 && services.earlierInstance != nullptr) {
    services.earlierInstance->End(commandLine_.restartProcessId);
  }
  if (services.icons != nullptr) services.icons->Prepare();
  if (services.launcherProfile != nullptr) services.launcherProfile->Load(files_.configFile);
  int exitCode = ExitDone;
  if (commandLine_.HasRun()) {
    exitCode = RunFromCommandLine(services.commandLineRun);
  } else if (services.mainWindow != nullptr) {
    services.mainWindow->Run();
  }
  if (watchProfiles_) RawLayer::SetRewriteObserver(nullptr);
  if (services.executionLog != nullptr) services.executionLog->Stop();
  return exitCode;
}

int GuiStartup::RunFromCommandLine(CommandLineRun* run) {
  if (run == nullptr) {
    RawString text("Cannot run \"");
    text.AppendAll(commandLine_.runName, "\" (-", commandLine_.runKind,
                   "): command-line runs are not available in this build.");
    screen_.ShowWarning(text);
    return ExitRunFailed;
  }
  return run->Run(commandLine_) ? ExitDone : ExitRunFailed;
}

int GuiStartup::RunCheck() {
  const JobLayer::JobDiagnostics report = CheckLauncherFiles(files_);
  screen_.ShowReport(report.Report());
  return report.Errors() == 0 ? ExitDone : ExitRunFailed;
}

void GuiStartup::ReadCommandLine(const RawString& commandLine) {
  AppLayer::ReadCommandLine(commandLine, options_);
  commandLine_ = ReadOptions(options_);
}

void GuiCrashDump::Install() {
  RawString folder(tempFolder_);
  if (!folder.IsEmpty() && folder.FindLastSeparator() != folder.Length() - 1) folder.AppendChar('\\');
  folder.Append("Dump");
  // The hook is kept for the whole process, through the last destructor at exit.
  static RawLayer::RawThreadDump* const dump = new RawLayer::RawThreadDump(folder, kAppName);
  RawLayer::SetThreadHook(dump);
}

void GuiExecutionLog::Start() {
  const GuiSettings& settings = GuiSettings::Instance();
  JobLayer::JobLogServer& log = JobLayer::JobLogServer::Instance();
  log.SetDetail(settings.logLetters);
  JobLayer::JobLogOptions options;
  options.folder = settings.logFolder;
  options.maxFiles = settings.maxLogFiles;
  (void)log.Start(options);
}

void GuiExecutionLog::Stop() { JobLayer::JobLogServer::Instance().Stop(); }

RawString GuiStartup::DefaultStartupProfile() const {
  RawString path = DropLastCharacters(place_.programPath, 4);
  path.Append(".ini");
  return path;
}

bool GuiStartup::OpenStartupProfile() {
  if (options_.Has("h")) {
    screen_.ShowUsage(kUsageText);
    return false;
  }
  files_.startupProfile = DefaultStartupProfile();
  if (const RawParameterUnit* option = options_.Find("p"); option != nullptr && !option->value.IsEmpty()) {
    files_.startupProfile = RawLayer::ResolvePath(option->value, place_.programFolder);
  }
  // A check changes no file: a missing start-up profile is reported, not made.
  if (commandLine_.check) return true;
  if (watchProfiles_) ProfilesAsRead().Add(files_.startupProfile);
  RawProfile profile(files_.startupProfile);
  switch (RawLayer::PathKind(files_.startupProfile)) {
    case RawPathKind::Missing:
      // A profile that cannot be created leaves every default in force.
      (void)profile.SetValue(kCommon, "Program", kAppName);
      return true;
    case RawPathKind::Folder:
      return true;
    case RawPathKind::File:
      break;
  }
  if (profile.GetValue(kCommon, "Program", RawString()).IsEmpty()) {
    screen_.ShowWarning(BadFormatProfileMessage());
    return false;
  }
  return true;
}

RawString GuiStartup::ResolveCommonPath(const RawString& value) const {
  const RawString expanded = RawLayer::ExpandUser(value, kAppName);
  if (RawLayer::IsAbsolutePath(expanded)) return expanded;
  return RawLayer::ResolvePath(expanded, place_.programFolder);
}

void GuiStartup::ApplyStartupProfile(Configuration* configuration) {
  files_.guiProfile = files_.startupProfile;
  files_.configFile = files_.startupProfile;
  RawParameterList common;
  if (RawProfile(files_.startupProfile).ReadSection(kCommon, common)) {
    if (const RawParameterUnit* unit = common.Find("GuiProfile")) files_.guiProfile = ResolveCommonPath(unit->value);
    if (const RawParameterUnit* unit = common.Find("ConfigFile")) files_.configFile = ResolveCommonPath(unit->value);
    if (const RawParameterUnit* unit = common.Find("LanguageFile")) {
      files_.languageFile = ResolveCommonPath(unit->value);
    }
    if (const RawParameterUnit* unit = common.Find("Language")) files_.language = unit->value;
  }
  files_.configFile = ChooseConfigFile(files_.configFile, commandLine_, place_.programFolder);
  if (watchProfiles_) {
    for (const RawString* file : {&files_.configFile, &files_.guiProfile, &files_.languageFile}) {
      ProfilesAsRead().Add(*file);
    }
  }

  RawLocaleRecordList& messages = RawLocaleRecordList::Instance();
  messages.SetLanguage(files_.language, files_.languageFile);
  if (!files_.languageFile.IsEmpty()) messages.LoadLanguage();

  if (configuration != nullptr) {
    configuration->LoadWindowStyle(files_.guiProfile);
    configuration->LoadSettings(files_.configFile, options_);
  }
}

}  // namespace AppLayer
