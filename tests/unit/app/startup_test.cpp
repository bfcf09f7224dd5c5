#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/reload_watch.h"
#include "app/settings.h"
#include "job/log.h"
#include "raw/file.h"
#include "raw/locale.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "raw/thread.h"
#include "tests/unit/test_files.h"

namespace {

namespace fs = std::filesystem;
using AppLayer::GuiStartup;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawParameterList;
using RawLayer::RawPathKind;
using RawLayer::RawString;
using TestFiles::Bytes;
using TestFiles::FsPath;
using TestFiles::PathText;
using TestFiles::Put;

RawString Utf8(const std::string& text) { return RawString::FromUtf8(text); }

class RecordingScreen : public AppLayer::GuiStartupScreen {
 public:
  void ShowWarning(const RawString& text) override { warnings.push_back(text.ToUtf8()); }
  void ShowUsage(const RawString& text) override { usages.push_back(text.ToUtf8()); }
  void ShowReport(const RawString& text) override { reports.push_back(text.ToUtf8()); }
  std::vector<std::string> warnings;
  std::vector<std::string> usages;
  std::vector<std::string> reports;
};

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    RawLocaleRecordList::Instance().ResetForTest();
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("kestrel_startup_test_" + std::to_string(random()));
    fs::create_directories(folder_);
    place_.programFolder = PathText(folder_);
    place_.programPath = PathText(folder_ / "kestrel.exe");
  }
  void TearDown() override {
    RawLocaleRecordList::Instance().ResetForTest();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Runs the tokeniser and OpenStartupProfile for `arguments` after a program name.
  bool Open(GuiStartup& startup, const std::string& arguments) {
    startup.ReadCommandLine(Utf8("\"" + place_.programPath.ToUtf8() + "\" " + arguments));
    return startup.OpenStartupProfile();
  }

  // The start-up profile beside the program with the given [Common] body.
  void WriteCommon(const std::string& body) { Put(folder_ / "kestrel.ini", "[Common]\r\n" + body); }

  fs::path folder_;
  AppLayer::GuiProgramPlace place_;
  RecordingScreen screen_;
};

TEST_F(StartupTest, HelpShowsOnlyTheUsageAndTouchesNoFile) {
  GuiStartup startup(place_, screen_);
  EXPECT_FALSE(Open(startup, "-p other.ini -a Act -h x.ini"));
  EXPECT_EQ(screen_.usages,
            std::vector<std::string>{
                "Arguments = [-p Profile] [-c ConfigFile] [-a Action] [-l|-r Button] [-d Button FullPath]"});
  EXPECT_TRUE(screen_.warnings.empty());
  EXPECT_FALSE(fs::exists(folder_ / "kestrel.ini"));
  EXPECT_FALSE(fs::exists(folder_ / "other.ini"));
}

struct DefaultProfileRow {
  const char* name;
  std::string programName;
  std::string profileName;
};

class DefaultProfileTest : public StartupTest, public testing::WithParamInterface<DefaultProfileRow> {};

TEST_P(DefaultProfileTest, MissingProfileIsCreatedBesideTheProgram) {
  const DefaultProfileRow& row = GetParam();
  place_.programPath = PathText(folder_ / FsPath(Utf8(row.programName)));
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, ""));
  EXPECT_TRUE(screen_.warnings.empty());
  const fs::path expected = folder_ / FsPath(Utf8(row.profileName));
  EXPECT_EQ(startup.Files().startupProfile, PathText(expected));
  EXPECT_EQ(RawLayer::PathKind(PathText(expected)), RawPathKind::File);
  EXPECT_EQ(RawLayer::RawProfile(PathText(expected)).GetValue("Common", "Program", ""), "Kestrel");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DefaultProfileTest,
    testing::Values(DefaultProfileRow{"ExeExtension", "kestrel.exe", "kestrel.ini"},
                    DefaultProfileRow{"UpperCaseExtension", "Kestrel.EXE", "Kestrel.ini"},
                    // Four characters go whatever they are.
                    DefaultProfileRow{"NoExtension", "kestrel", "kes.ini"},
                    DefaultProfileRow{"LongExtension", "kestrel.bin32", "kestrel.b.ini"},
                    // Characters, not bytes: the name stays valid UTF-8.
                    DefaultProfileRow{"MultiByteName", "\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC",
                                      "\xE3\x83\xA9.ini"}),
    [](const testing::TestParamInfo<DefaultProfileRow>& info) { return std::string(info.param.name); });

TEST_F(StartupTest, ProfileOptionIsResolvedAgainstTheProgramFolder) {
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, "-p ./mine.ini"));
  EXPECT_TRUE(fs::exists(folder_ / "mine.ini"));
  EXPECT_FALSE(fs::exists(folder_ / "kestrel.ini"));
  EXPECT_EQ(RawLayer::RawProfile(startup.Files().startupProfile).GetValue("Common", "Program", ""), "Kestrel");
}

TEST_F(StartupTest, ProfileOptionWithBlanksInQuotes) {
  fs::create_directories(folder_ / "my profiles");
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, "-p \"my profiles/start up.ini\""));
  EXPECT_TRUE(fs::exists(folder_ / "my profiles" / "start up.ini"));
}

TEST_F(StartupTest, ProfileOptionFollowedByAnOptionUsesTheDefault) {
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, "-p -a Act"));
  EXPECT_TRUE(fs::exists(folder_ / "kestrel.ini"));
  EXPECT_EQ(startup.CommandLine().runKind, "a");
  EXPECT_EQ(startup.CommandLine().runName, "Act");
}

struct FormatRow {
  const char* name;
  std::string content;
  bool accepted;
};

class ProfileFormatTest : public StartupTest, public testing::WithParamInterface<FormatRow> {};

TEST_P(ProfileFormatTest, ProgramKeyDecides) {
  const FormatRow& row = GetParam();
  Put(folder_ / "kestrel.ini", row.content);
  GuiStartup startup(place_, screen_);
  EXPECT_EQ(Open(startup, ""), row.accepted);
  if (row.accepted) {
    EXPECT_TRUE(screen_.warnings.empty());
  } else {
    EXPECT_EQ(screen_.warnings, std::vector<std::string>{"Bad format profile !!"});
  }
  EXPECT_EQ(Bytes(folder_ / "kestrel.ini"), row.content) << "a checked profile is never rewritten";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileFormatTest,
    testing::Values(FormatRow{"Valid", "[Common]\r\nProgram=Kestrel\r\n", true},
                    FormatRow{"AnyNonEmptyMarker", "[common]\nPROGRAM=x\n", true},
                    FormatRow{"MarkerInSecondCommonSection", "[Common]\nA=1\n[Other]\n[Common]\nProgram=K\n", true},
                    FormatRow{"EmptyMarker", "[Common]\r\nProgram=\r\n", false},
                    FormatRow{"NoMarker", "[Common]\r\nConfigFile=c.ini\r\n", false},
                    FormatRow{"MarkerInOtherSection", "[Other]\r\nProgram=Kestrel\r\n", false},
                    FormatRow{"MarkerBeforeAnySection", "Program=Kestrel\r\n[Common]\r\n", false},
                    FormatRow{"MarkerKeyWithBlank", "[Common]\r\nProgram =Kestrel\r\n", false},
                    FormatRow{"EmptyFile", "", false},
                    FormatRow{"BinaryFile", std::string("\x00\x01\x02\xFF\xFE", 5), false}),
    [](const testing::TestParamInfo<FormatRow>& info) { return std::string(info.param.name); });

TEST_F(StartupTest, FolderAsStartupProfilePassesWithDefaults) {
  fs::create_directories(folder_ / "profiles");
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, "-p profiles"));
  EXPECT_TRUE(screen_.warnings.empty());
  startup.ApplyStartupProfile(nullptr);
  const RawString profiles = PathText(folder_ / "profiles");
  EXPECT_EQ(startup.Files().startupProfile, profiles);
  EXPECT_EQ(startup.Files().guiProfile, profiles);
  EXPECT_EQ(startup.Files().configFile, profiles);
  EXPECT_TRUE(startup.Files().languageFile.IsEmpty());
  EXPECT_EQ(startup.Files().language, "Default");
}

TEST_F(StartupTest, CommonDefaultsFallOnTheStartupProfile) {
  WriteCommon("Program=Kestrel\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  const RawString profile = PathText(folder_ / "kestrel.ini");
  EXPECT_EQ(startup.Files().guiProfile, profile);
  EXPECT_EQ(startup.Files().configFile, profile);
  EXPECT_TRUE(startup.Files().languageFile.IsEmpty());
  EXPECT_EQ(startup.Files().language, "Default");
}

TEST_F(StartupTest, CommonPathsAreResolved) {
  const RawString absolute = PathText(folder_ / "absolute.ini");
  WriteCommon("Program=Kestrel\r\nguiprofile=gui.ini\r\nConfigFile=\r\nLanguageFile=" + absolute.ToUtf8() +
              "\r\nLanguage=French\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  EXPECT_EQ(startup.Files().guiProfile, RawLayer::ResolvePath("gui.ini", place_.programFolder));
  EXPECT_TRUE(startup.Files().guiProfile.StartsWith(place_.programFolder));
  EXPECT_TRUE(startup.Files().configFile.IsEmpty()) << "an empty ConfigFile is an empty path";
  EXPECT_EQ(startup.Files().languageFile, absolute);
  EXPECT_EQ(startup.Files().language, "French");
}

TEST_F(StartupTest, ParentFolderInCommonPath) {
  WriteCommon("Program=Kestrel\r\nConfigFile=../up.ini\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  EXPECT_EQ(startup.Files().configFile, RawLayer::ResolvePath("../up.ini", place_.programFolder));
  EXPECT_TRUE(startup.Files().configFile.StartsWith(PathText(folder_.parent_path())));
  EXPECT_FALSE(startup.Files().configFile.StartsWith(place_.programFolder));
}

#ifndef _WIN32
// Points the application-data folder into the test's own folder for its lifetime.
class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const fs::path& folder) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    setenv("XDG_CONFIG_HOME", folder.string().c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (old_.empty()) {
      unsetenv("XDG_CONFIG_HOME");
    } else {
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};
#endif

TEST_F(StartupTest, UserFolderInCommonPath) {
#ifndef _WIN32
  const ScopedConfigHome configHome(folder_ / "appdata");
#endif
  RawString value("$(User)");
  value.AppendChar(static_cast<uint32_t>(RawLayer::PathSeparator()));
  value.Append("gui.ini");
  WriteCommon("Program=Kestrel\r\nGuiProfile=" + value.ToUtf8() + "\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  const RawString appData = RawLayer::ApplicationDataFolder();
  RawString kestrelFolder = appData;
  kestrelFolder.AppendChar(static_cast<uint32_t>(RawLayer::PathSeparator()));
  kestrelFolder.Append("Kestrel");
  EXPECT_TRUE(startup.Files().guiProfile.StartsWith(kestrelFolder)) << startup.Files().guiProfile.ToUtf8();
  EXPECT_TRUE(startup.Files().guiProfile.EndsWith("gui.ini"));
  EXPECT_EQ(startup.Files().guiProfile.FindText("$(User)"), startup.Files().guiProfile.Length());
  EXPECT_EQ(RawLayer::PathKind(kestrelFolder), RawPathKind::Folder);
}

TEST_F(StartupTest, ProfileOptionDoesNotExpandUserFolder) {
  GuiStartup startup(place_, screen_);
  EXPECT_TRUE(Open(startup, "-p $(User).ini"));
  EXPECT_TRUE(fs::exists(folder_ / "$(User).ini"));
}

struct ConfigChoiceRow {
  const char* name;
  std::string arguments;
  std::string expectedName;  // file name inside the test folder, or "" for the [Common] value
};

class ConfigChoiceTest : public StartupTest, public testing::WithParamInterface<ConfigChoiceRow> {};

TEST_P(ConfigChoiceTest, ConfigurationFile) {
  const ConfigChoiceRow& row = GetParam();
  const RawString common = PathText(folder_ / "common.ini");
  const RawString bare = PathText(folder_ / "bare.ini");
  WriteCommon("Program=Kestrel\r\nConfigFile=" + common.ToUtf8() + "\r\n");
  GuiStartup startup(place_, screen_);
  std::string arguments = row.arguments;
  if (const size_t at = arguments.find("BARE"); at != std::string::npos) {
    arguments.replace(at, 4, "\"" + bare.ToUtf8() + "\"");
  }
  ASSERT_TRUE(Open(startup, arguments));
  startup.ApplyStartupProfile(nullptr);
  if (row.expectedName.empty()) {
    EXPECT_EQ(startup.Files().configFile, common);
  } else {
    EXPECT_EQ(startup.Files().configFile, PathText(folder_ / row.expectedName));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ConfigChoiceTest,
                         testing::Values(ConfigChoiceRow{"Common", "", ""},
                                         ConfigChoiceRow{"BareIni", "BARE", "bare.ini"},
                                         ConfigChoiceRow{"BareIniWithRun", "BARE -a Act", ""},
                                         ConfigChoiceRow{"ConfigOption", "-c option.ini", "option.ini"},
                                         ConfigChoiceRow{"ConfigOptionBeatsBareIni", "-c option.ini BARE",
                                                         "option.ini"}),
                         [](const testing::TestParamInfo<ConfigChoiceRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(StartupTest, MissingLanguageSectionIsWrittenWithTheDefaults) {
  WriteCommon("Program=Kestrel\r\nLanguageFile=lang.ini\r\nLanguage=French\r\n");
  Put(folder_ / "lang.ini", "[German]\r\nSystemMessage_BadFormatProfile=Falsch !!\r\n");
  {
    GuiStartup startup(place_, screen_);
    ASSERT_TRUE(Open(startup, ""));
    startup.ApplyStartupProfile(nullptr);
    EXPECT_EQ(AppLayer::BadFormatProfileMessage(), "Bad format profile !!");
  }
  RawLayer::RawProfile language(PathText(folder_ / "lang.ini"));
  EXPECT_EQ(language.GetValue("French", "SystemMessage_BadFormatProfile", ""), "Bad format profile !!");
  EXPECT_EQ(language.GetValue("French", "SystemMessage_CannotAccessTemp", ""),
            "Cannot access temp directory (%s) !!");
  EXPECT_EQ(language.GetValue("German", "SystemMessage_BadFormatProfile", ""), "Falsch !!");
}

TEST_F(StartupTest, MissingLanguageFileIsCreatedUnderDefault) {
  WriteCommon("Program=Kestrel\r\nLanguageFile=lang.ini\r\n");
  {
    GuiStartup startup(place_, screen_);
    ASSERT_TRUE(Open(startup, ""));
    startup.ApplyStartupProfile(nullptr);
  }
  EXPECT_EQ(RawLayer::RawProfile(PathText(folder_ / "lang.ini")).GetValue("Default", "SystemMessage_BadFormatProfile", ""),
            "Bad format profile !!");
}

TEST_F(StartupTest, LanguageFileTextsReplaceTheBuiltInOnes) {
  WriteCommon("Program=Kestrel\r\nLanguageFile=lang.ini\r\nLanguage=French\r\n");
  Put(folder_ / "lang.ini",
            "[French]\r\nSystemMessage_BadFormatProfile=Profil invalide !!\r\n"
            "SystemMessage_CannotAccessTemp=Dossier %s inaccessible (%d %n %x)\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  EXPECT_EQ(AppLayer::BadFormatProfileMessage(), "Profil invalide !!");
  // A user's text is plain text: only "%s" is replaced, and the folder itself
  // is not searched again.
  EXPECT_EQ(AppLayer::CannotAccessTempMessage("C:\\temp %s %n"),
            "Dossier C:\\temp %s %n inaccessible (%d %n %x)");
}

TEST_F(StartupTest, NoLanguageFileKeepsBuiltInTexts) {
  WriteCommon("Program=Kestrel\r\n");
  GuiStartup startup(place_, screen_);
  ASSERT_TRUE(Open(startup, ""));
  startup.ApplyStartupProfile(nullptr);
  EXPECT_EQ(AppLayer::CannotAccessTempMessage("C:\\t"), "Cannot access temp directory (C:\\t) !!");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
      << "only the start-up profile exists";
}

// Records every call of the start-up's services in order.
class RecordingServices : public GuiStartup::CrashHook,
                          public GuiStartup::Apartment,
                          public GuiStartup::Configuration,
                          public GuiStartup::ExecutionLog,
                          public GuiStartup::EarlierInstance,
                          public GuiStartup::LauncherProfile,
                          public GuiStartup::CommandLineRun,
                          public GuiStartup::Icons,
                          public GuiStartup::MainWindow {
 public:
  void Install() override { calls.push_back("crash hook"); }
  bool Enter() override {
    calls.push_back("enter COM");
    return apartmentWorks;
  }
  void Leave() override { calls.push_back("leave COM"); }
  void LoadWindowStyle(const RawString& guiProfile) override { calls.push_back("style " + Name(guiProfile)); }
  void LoadSettings(const RawString& configFile, const RawParameterList& options) override {
    calls.push_back("settings " + Name(configFile));
    settingsOptions = options;
  }
  void Start() override { calls.push_back("log start"); }
  void Stop() override { calls.push_back("log stop"); }
  void End(uint32_t processId) override { calls.push_back("end " + std::to_string(processId)); }
  void Prepare() override { calls.push_back("icons"); }
  void Load(const RawString& configFile) override { calls.push_back("profile " + Name(configFile)); }
  bool Run(const AppLayer::GuiCommandLine& commandLine) override {
    calls.push_back("run " + commandLine.runKind.ToUtf8() + " " + commandLine.runName.ToUtf8());
    return runSucceeds;
  }
  void Run() override { calls.push_back("window"); }

  GuiStartup::Services All() {
    GuiStartup::Services services;
    services.crashHook = this;
    services.apartment = this;
    services.configuration = this;
    services.executionLog = this;
    services.earlierInstance = this;
    services.icons = this;
    services.launcherProfile = this;
    services.commandLineRun = this;
    services.mainWindow = this;
    return services;
  }

  static std::string Name(const RawString& path) { return FsPath(path).filename().string(); }

  std::vector<std::string> calls;
  RawParameterList settingsOptions;
  bool apartmentWorks = true;
  bool runSucceeds = true;
};

class StartupRunTest : public StartupTest {
 protected:
  int Run(const std::string& arguments, const GuiStartup::Services& services) {
    GuiStartup startup(place_, screen_);
    const int exitCode = startup.Run(Utf8("kestrel.exe " + arguments), services);
    options_ = startup.Options();
    return exitCode;
  }
  RecordingServices services_;
  RawParameterList options_;
};

TEST_F(StartupRunTest, WindowStartUpInOrder) {
  WriteCommon("Program=Kestrel\r\nGuiProfile=gui.ini\r\nConfigFile=conf.ini\r\n");
  EXPECT_EQ(Run("-@ 321", services_.All()), AppLayer::ExitDone);
  EXPECT_EQ(services_.calls,
            (std::vector<std::string>{"crash hook", "enter COM", "style gui.ini", "settings conf.ini", "log start",
                                      "end 321", "icons", "profile conf.ini", "window", "log stop", "leave COM"}));
  EXPECT_TRUE(services_.settingsOptions.SharesBodyWith(options_)) << "the settings share the option list";
  EXPECT_TRUE(screen_.warnings.empty());
}

// Another program saves the launcher profile while start-up reads it (as a copy over the file
// during a restart does): the window's watch starts from the stamp taken before the read, so it
// sees the save. The start-up profile that start-up itself made is not a change.
class SaveWhileReading : public RecordingServices {
 public:
  void LoadSettings(const RawString& configFile, const RawParameterList& options) override {
    RecordingServices::LoadSettings(configFile, options);
    Put(FsPath(configFile), "[Button:One]\r\n[Button:Two]\r\n");
  }
  // Which of this test's profiles (the run's list also holds earlier tests' files) changed.
  void Run() override {
    watched = AppLayer::ProfilesAsRead().Watches(profiles[0]) && AppLayer::ProfilesAsRead().Watches(profiles[1]);
    for (const RawString& path : AppLayer::ProfilesAsRead().Changed()) {
      for (const RawString& mine : profiles) {
        if (AppLayer::SameFilePath(path, mine)) changed.push_back(Name(path));
      }
    }
  }
  std::vector<RawString> profiles;
  std::vector<std::string> changed;
  bool watched = false;
};

TEST_F(StartupRunTest, WindowWatchFindsASaveMadeWhileStartUpRead) {
  Put(folder_ / "conf.ini", "[Button:One]\r\n");
  SaveWhileReading services;
  services.profiles = {PathText(folder_ / "made.ini"), PathText(folder_ / "conf.ini")};
  EXPECT_EQ(Run("-p made.ini -c conf.ini", services.All()), AppLayer::ExitDone);
  EXPECT_TRUE(services.watched);
  EXPECT_EQ(services.changed, std::vector<std::string>{"conf.ini"});
}

TEST_F(StartupRunTest, CommandLineRunInsteadOfTheWindow) {
  WriteCommon("Program=Kestrel\r\n");
  EXPECT_EQ(Run("-a First -l Second", services_.All()), AppLayer::ExitDone);
  EXPECT_EQ(services_.calls,
            (std::vector<std::string>{"crash hook", "enter COM", "style kestrel.ini", "settings kestrel.ini",
                                      "log start", "icons", "profile kestrel.ini", "run l Second", "log stop", "leave COM"}));
}

TEST_F(StartupRunTest, FailedRunExitsWithOne) {
  WriteCommon("Program=Kestrel\r\n");
  services_.runSucceeds = false;
  EXPECT_EQ(Run("-a Missing", services_.All()), AppLayer::ExitRunFailed);
}

TEST_F(StartupRunTest, HelpEndsBeforeAnyService) {
  EXPECT_EQ(Run("-h -a Act", services_.All()), AppLayer::ExitDone);
  EXPECT_EQ(services_.calls, (std::vector<std::string>{"crash hook", "enter COM", "leave COM"}));
  EXPECT_EQ(screen_.usages.size(), 1u);
}

TEST_F(StartupRunTest, BadFormatEndsBeforeAnyService) {
  WriteCommon("Other=1\r\n");
  EXPECT_EQ(Run("-a Act", services_.All()), AppLayer::ExitDone);
  EXPECT_EQ(services_.calls, (std::vector<std::string>{"crash hook", "enter COM", "leave COM"}));
  EXPECT_EQ(screen_.warnings, std::vector<std::string>{"Bad format profile !!"});
}

TEST_F(StartupRunTest, ApartmentThatFailsIsNotLeft) {
  services_.apartmentWorks = false;
  EXPECT_EQ(Run("-h", services_.All()), AppLayer::ExitDone);
  EXPECT_EQ(services_.calls, (std::vector<std::string>{"crash hook", "enter COM"}));
}

TEST_F(StartupRunTest, NoEarlierInstanceWithoutAValidId) {
  WriteCommon("Program=Kestrel\r\n");
  EXPECT_EQ(Run("-@ 0", services_.All()), AppLayer::ExitDone);
  for (const std::string& call : services_.calls) EXPECT_NE(call.rfind("end ", 0), 0u) << call;
}

struct UnavailableRow {
  const char* name;
  std::string arguments;
  std::string warning;
};

class UnavailableRunTest : public StartupRunTest, public testing::WithParamInterface<UnavailableRow> {};

TEST_P(UnavailableRunTest, RunWithoutEngineFailsVisibly) {
  WriteCommon("Program=Kestrel\r\n");
  EXPECT_EQ(Run(GetParam().arguments, GuiStartup::Services()), AppLayer::ExitRunFailed);
  EXPECT_EQ(screen_.warnings, std::vector<std::string>{GetParam().warning});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnavailableRunTest,
    testing::Values(
        UnavailableRow{"Action", "-a Act",
                       "Cannot run \"Act\" (-a): command-line runs are not available in this build."},
        UnavailableRow{"Drop", "-d Btn f1 f2",
                       "Cannot run \"Btn\" (-d): command-line runs are not available in this build."}),
    [](const testing::TestParamInfo<UnavailableRow>& info) { return std::string(info.param.name); });

TEST_F(StartupRunTest, WithoutServicesTheStartUpEndsCleanly) {
  EXPECT_EQ(Run("", GuiStartup::Services()), AppLayer::ExitDone);
  EXPECT_TRUE(screen_.warnings.empty());
  EXPECT_TRUE(fs::exists(folder_ / "kestrel.ini"));
}

TEST_F(StartupTest, ExecutionLogFollowsTheSettings) {
  AppLayer::GuiSettings& settings = AppLayer::GuiSettings::Instance();
  const RawString savedFolder = settings.logFolder;
  const int32_t savedMax = settings.maxLogFiles;
  const RawString savedLetters = settings.logLetters;
  settings.logFolder = PathText(folder_ / "Log");
  settings.maxLogFiles = 1;
  settings.logLetters = "UC";
  fs::create_directories(folder_ / "Log");
  Put(folder_ / "Log" / "Kestrel_20200101_000000_000.log", "old");
  AppLayer::GuiExecutionLog log;
  log.Start();
  JobLayer::JobLogServer& server = JobLayer::JobLogServer::Instance();
  EXPECT_TRUE(server.IsAccepting());
  EXPECT_TRUE(server.Wants('C'));
  EXPECT_FALSE(server.Wants('P'));
  // The log joins its folder and file name with a backslash, which POSIX paths do not split at.
  std::string file = server.FilePath().ToUtf8();
  for (char& c : file) {
    if (c == '\\') c = '/';
  }
  const fs::path path = FsPath(Utf8(file));
  log.Stop();
  EXPECT_FALSE(server.IsAccepting());
  server.SetDetail("UCPV");
  settings.logFolder = savedFolder;
  settings.maxLogFiles = savedMax;
  settings.logLetters = savedLetters;
  EXPECT_FALSE(fs::exists(folder_ / "Log" / "Kestrel_20200101_000000_000.log")) << "MaxLogFiles 1 keeps no old log";
  EXPECT_EQ(Bytes(path), JobLayer::LogVersionRecord().ToUtf8() + JobLayer::LogTimeZoneRecord().ToUtf8() + "\r\n");
}

TEST_F(StartupTest, CrashHookWritesIntoTheDumpFolder) {
  AppLayer::GuiCrashDump hook(PathText(folder_));
  hook.Install();
  RawLayer::DispatchException(nullptr);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_ / "Dump")) names.push_back(entry.path().filename().string());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("Kestrel_Dump_", 0), 0u) << names[0];
  EXPECT_EQ(names[0].size(), std::string("Kestrel_Dump_20261207_115901_042.dmp").size()) << names[0];
}

}  // namespace

namespace {

// "-k" checks the chosen files and starts no service: no log, no profile load, no window, no run.
TEST_F(StartupRunTest, CheckReportsTheChosenFilesAndStartsNothing) {
  struct Row {
    const char* name;
    std::string common;
    std::string arguments;
    int exitCode;
    std::vector<std::string> report;
  };
  Put(folder_ / "conf.ini", "[Option]\r\nViewTip=0\r\nTopMost=1\r\n[Action:A]\r\nShel\r\n");
  Put(folder_ / "gui.ini", "[WindowParameter]\r\n\r\nMargin=wide\r\n");
  Put(folder_ / "clean.ini", "[Action:A]\r\nQuitLauncher\r\n");
  const std::string conf = PathText(folder_ / "conf.ini").ToUtf8();
  const std::string gui = PathText(folder_ / "gui.ini").ToUtf8();
  const std::string clean = PathText(folder_ / "clean.ini").ToUtf8();
  const std::vector<Row> rows = {
      {"both files named in [Common]", "Program=Kestrel\r\nGuiProfile=gui.ini\r\nConfigFile=conf.ini\r\n", "-k",
       AppLayer::ExitRunFailed,
       {conf + "(2): warning: [Option] \"ViewTip=0\" counts as on: only \"False\" turns a switch off",
        conf + "(5): error: unknown command \"Shel\" (did you mean \"Shell\"?)",
        gui + "(3): warning: [WindowParameter] \"Margin=wide\" is not a whole number: the default is used",
        "1 errors, 2 warnings"}},
      {"the file after -k", "Program=Kestrel\r\nConfigFile=conf.ini\r\n", "-k clean.ini -a A", AppLayer::ExitDone,
       {"0 errors, 0 warnings"}},
      {"a start-up profile the launcher refuses", "Other=1\r\n", "-k", AppLayer::ExitRunFailed, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteCommon(row.common);
    services_.calls.clear();
    screen_.reports.clear();
    EXPECT_EQ(Run(row.arguments, services_.All()), row.exitCode);
    EXPECT_EQ(services_.calls, (std::vector<std::string>{"crash hook", "enter COM", "leave COM"}));
    ASSERT_EQ(screen_.reports.size(), 1u);
    std::vector<std::string> lines;
    std::string report = screen_.reports[0];
    for (size_t end; (end = report.find('\n')) != std::string::npos; report.erase(0, end + 1)) {
      lines.push_back(report.substr(0, end));
    }
    if (row.report.empty()) {
      EXPECT_NE(screen_.reports[0].find("(1): error: [Common] has no \"Program\" value"), std::string::npos)
          << screen_.reports[0];
    } else {
      EXPECT_EQ(lines, row.report);
    }
  }
  EXPECT_TRUE(screen_.warnings.empty());
}

TEST_F(StartupRunTest, CheckOfAMissingProfileCreatesNothing) {
  EXPECT_EQ(Run("-k -p missing.ini", services_.All()), AppLayer::ExitRunFailed);
  EXPECT_FALSE(fs::exists(folder_ / "missing.ini"));
  ASSERT_EQ(screen_.reports.size(), 1u);
  EXPECT_NE(screen_.reports[0].find("missing.ini(1): error: the file does not exist"), std::string::npos);
}

}  // namespace
