// Kestrel's start-up: the command line, the start-up profile and the files and
// messages it names, and the fixed order in which the launcher's services come
// up and go down.
//
// Start-up profile, section [Common] (keys ignore case):
//   Program       must be present and non-empty, else the profile is refused
//   GuiProfile    GUI profile        (default: the start-up profile itself)
//   ConfigFile    configuration file (default: the start-up profile itself)
//   LanguageFile  language file      (default: none)
//   Language      section of the language file to use (default: "Default")
// Paths may begin with "$(User)" (the user's application-data folder joined with
// "Kestrel"); relative ones hang off the program's folder; an empty value is an
// empty path. A profile that cannot be read leaves every default in force.
#pragma once

#include <cstdint>

#include "app/command_line.h"
#include "app/screen.h"
#include "raw/parameter_list.h"
#include "raw/string.h"

namespace AppLayer {

inline constexpr char kUsageText[] =
    "Arguments = [-p Profile] [-c ConfigFile] [-a Action] [-l|-r Button] [-d Button FullPath]";

// The process exit codes of the launcher.
enum GuiExitCode : int {
  ExitDone = 0,       // the window closed, "-h", a refused start-up profile, a run that succeeded
  ExitRunFailed = 1,  // a command-line run that failed or could not happen, a check that found errors
};

// The program file; the default start-up profile and every relative path of the
// start-up hang off it.
struct GuiProgramPlace {
  RawString programPath;    // full path of the program file
  RawString programFolder;  // its folder, without a trailing separator
  static GuiProgramPlace OfThisProgram();
};

// The files the start-up chose.
struct GuiStartupFiles {
  RawString startupProfile;
  RawString guiProfile;
  RawString configFile;
  RawString languageFile;
  RawString language = "Default";
};

// Start-up messages from the message table (section "SystemMessage"), which the
// start-up registers. "%s" is replaced as plain text, never as a format.
RawString BadFormatProfileMessage();
RawString CannotAccessTempMessage(const RawString& folder);

class GuiStartup {
 public:
  // Writes a crash dump when the main thread fails; installed before anything else.
  class CrashHook {
   public:
    virtual ~CrashHook() = default;
    virtual void Install() = 0;
  };
  // COM for the main thread (multithreaded apartment).
  class Apartment {
   public:
    virtual ~Apartment() = default;
    // False when COM could not be initialised; Leave is then not called.
    [[nodiscard]] virtual bool Enter() = 0;
    virtual void Leave() = 0;
  };
  // The settings: the GUI style from the GUI profile ([WindowParameter], fonts)
  // and the behaviour from the configuration file ([Option]) and the options.
  class Configuration {
   public:
    virtual ~Configuration() = default;
    virtual void LoadWindowStyle(const RawString& guiProfile) = 0;
    // `configFile` is already the final choice (see ChooseConfigFile); the
    // settings keep a shared reference to `options` for the whole run.
    virtual void LoadSettings(const RawString& configFile, const RawParameterList& options) = 0;
  };
  // The execution log's worker.
  class ExecutionLog {
   public:
    virtual ~ExecutionLog() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
  };
  // Ends the instance that asked for this restart (at most a 3 s wait). A process
  // that cannot be opened, or that runs another program file, is left alone.
  class EarlierInstance {
   public:
    virtual ~EarlierInstance() = default;
    virtual void End(uint32_t processId) = 0;
  };
  // Loads the launcher profile from the configuration file and runs its
  // "#Initialize" action when there is one.
  class LauncherProfile {
   public:
    virtual ~LauncherProfile() = default;
    virtual void Load(const RawString& configFile) = 0;
  };
  // Performs the run asked for with -a, -l, -r or -d.
  class CommandLineRun {
   public:
    virtual ~CommandLineRun() = default;
    [[nodiscard]] virtual bool Run(const GuiCommandLine& commandLine) = 0;
  };
  // Prepares the icon control (settings, fixed pictures, the cache) before any script runs:
  // the "#Initialize" action and command-line runs show menus with icons too, and entries
  // handed out then must stay valid for the window.
  class Icons {
   public:
    virtual ~Icons() = default;
    virtual void Prepare() = 0;
  };
  // Runs the main dialog until it closes, and stops the icon worker before returning. Its
  // owner destroys the dialog afterwards.
  class MainWindow {
   public:
    virtual ~MainWindow() = default;
    virtual void Run() = 0;
  };

  // What this build has of each service. A null service is not part of the build
  // and its step is skipped, except the command-line run: asking for one without
  // it shows a warning and fails, so a script never seems to have run.
  struct Services {
    CrashHook* crashHook = nullptr;
    Apartment* apartment = nullptr;
    Configuration* configuration = nullptr;
    ExecutionLog* executionLog = nullptr;
    EarlierInstance* earlierInstance = nullptr;
    Icons* icons = nullptr;
    LauncherProfile* launcherProfile = nullptr;
    CommandLineRun* commandLineRun = nullptr;
    MainWindow* mainWindow = nullptr;
  };

  // Registers the start-up messages in the message table.
  GuiStartup(const GuiProgramPlace& place, GuiStartupScreen& screen);
  GuiStartup(const GuiStartup&) = delete;
  GuiStartup& operator=(const GuiStartup&) = delete;
  // Writes the message texts that were missing to the language file.
  ~GuiStartup();

  // The whole start-up: every step in order; returns the exit code.
  [[nodiscard]] int Run(const RawString& commandLine, const Services& services);

  // The steps, in calling order.
  void ReadCommandLine(const RawString& commandLine);
  // Shows the usage for "-h"; chooses the start-up profile, creates it when
  // missing, and refuses one without a non-empty [Common] Program. False when
  // the program ends here (with ExitDone).
  [[nodiscard]] bool OpenStartupProfile();
  // Reads [Common], sets up the message table and hands the files to the settings.
  void ApplyStartupProfile(Configuration* configuration);

  const RawParameterList& Options() const { return options_; }
  const GuiCommandLine& CommandLine() const { return commandLine_; }
  const GuiStartupFiles& Files() const { return files_; }

 private:
  [[nodiscard]] int RunServices(const RawString& commandLine, const Services& services);
  [[nodiscard]] int RunFromCommandLine(CommandLineRun* run);
  // "-k": checks the files and shows the report; nothing is created, logged or run.
  [[nodiscard]] int RunCheck();
  RawString DefaultStartupProfile() const;
  RawString ResolveCommonPath(const RawString& value) const;

  GuiProgramPlace place_;
  GuiStartupScreen& screen_;
  RawParameterList options_;
  GuiCommandLine commandLine_;
  GuiStartupFiles files_;
  bool watchProfiles_ = false;  // the run shows the window, which reloads saved profiles
};

// The launcher's crash hook: a dump writer for the dumps folder of the user's
// temporary folder, with the product's name; it lives until the process ends.
class GuiCrashDump : public GuiStartup::CrashHook {
 public:
  explicit GuiCrashDump(const RawString& tempFolder) : tempFolder_(tempFolder) {}
  void Install() override;

 private:
  RawString tempFolder_;
};

// The execution log with the settings' log folder, MaxLogFiles and log letters.
// A log that cannot be opened is no reason to stop: the program runs on without.
class GuiExecutionLog : public GuiStartup::ExecutionLog {
 public:
  void Start() override;
  void Stop() override;
};

}  // namespace AppLayer
