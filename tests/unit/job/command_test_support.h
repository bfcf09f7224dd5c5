// Shared by the command suites: scripts parsed from text and run through a registry, a screen
// that records what the engine shows, and a fixture that starts every case afresh.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/abort.h"
#include "job/command.h"
#include "job/command_flow.h"
#include "job/command_process.h"
#include "job/profile_model.h"
#include "job/screen.h"
#include "job/variable.h"
#include "raw/string_list.h"

namespace JobLayer {
namespace testing_support {

// Records the errors shown and the requests posted, and holds Escape down from a chosen poll on.
class RecordingScreen : public JobScreen {
 public:
  void ShowError(const RawString& message) override { errors.push_back(message.ToUtf8()); }
  bool IsKeyDown(int virtualKey) override {
    if (virtualKey != 0x1B) return false;
    ++escapePolls;
    return escapeFromPoll > 0 && escapePolls >= escapeFromPoll;
  }
  void PostToMainWindow(MainWindowRequest request) override { posts.push_back(request); }
  void Reset() {
    errors.clear();
    posts.clear();
    escapePolls = 0;
    escapeFromPoll = 0;
  }

  std::vector<std::string> errors;
  std::vector<MainWindowRequest> posts;
  int escapePolls = 0;
  int escapeFromPoll = 0;  // 0: never
};

// The lines of a section body as the profile reader hands them over: trimmed, without empty
// and comment lines.
inline JobParamList ParseScript(const std::string& text) {
  RawLayer::RawRangedTextList lines;
  size_t start = 0;
  int32_t number = -1;  // from 0, as the line file numbers lines
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    RawLayer::RawRangedTextUnit unit(RawString::FromUtf8(text.substr(start, end - start)), ++number);
    unit.TrimRange(" \t");
    if (unit.end > unit.begin && unit.text.UnitAt(unit.begin) != '/') {
      lines.Add(RawLayer::RawRangedTextUnit(unit.Useful(), number));
    }
    start = end + 1;
  }
  JobParamList script;
  EXPECT_TRUE(script.Parse(lines)) << text;
  return script;
}

// Appends the expansion of `text` to the variable Trace: Expand substitutes the expanded text
// into Define, which stores it as it stands.
inline std::string Note(const std::string& text) {
  return "Expand {\nNoted=$(Trace)" + text + "\nDefine {\nTrace=$(Noted)\n}\n}\n";
}

inline bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A registry of this family's commands in the launcher's lookup order, so the suites do not
// depend on which other families are registered.
inline JobCommandList& Commands() {
  static JobCommandList* list = [] {
    auto* commands = new JobCommandList;
    commands->Register<JobCommandDefine>();
    commands->Register<JobCommandExpand>();
    commands->Register<JobCommandAction>();
    commands->Register<JobCommandShell>();
    commands->Register<JobCommandOpenFolder>();
    commands->Register<JobCommandOpenFile>();
    commands->Register<JobCommandIf>();
    commands->Register<JobCommandElse>();
    commands->Register<JobCommandWhile>();
    commands->Register<JobCommandFor>();
    commands->Register<JobCommandForeach>();
    commands->Register<JobCommandBreak>();
    commands->Register<JobCommandToClipboard>();
    commands->Register<JobCommandPopupWindow>();
    commands->Register<JobCommandQuit>();
    commands->Register<JobCommandAbort>();
    commands->Register<JobCommandReboot>();
    return commands;
  }();
  return *list;
}

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen_.Reset();
    SetScreen(&screen_);
    Commands().flags = 0;
    (void)TakeAbortRequest();
    JobDialogContext::Instance().mainWindow = nullptr;
    JobProfileModel::Instance().Clear();
    for (const char* name : {"Trace", "Counter", "Each", "Stop", "Mode", "Seen", "X", "Y", "R1", "R2", "A", "B",
                             "N", "P", "Doc", "ExitCode"}) {
      Variables().Set(RawString::FromUtf8(name), RawString());
    }
  }
  void TearDown() override {
    SetScreen(nullptr);
    JobDialogContext::Instance().mainWindow = nullptr;
    JobProfileModel::Instance().Clear();
    (void)TakeAbortRequest();
  }

  static JobVariableList& Variables() { return JobVariableList::Instance(); }
  static std::string Value(const char* name) { return Variables().ValueOf(RawString::FromUtf8(name)).ToUtf8(); }

  static bool Run(const std::string& text) {
    return Commands().Execute(ParseScript(text), JobTraceId::Executor());
  }
  static void AddAction(const std::string& name, const std::string& text) {
    JobActionUnit& action = JobProfileModel::Instance().actions.Add();
    action.name = RawString::FromUtf8(name);
    action.params = ParseScript(text);
  }
  // The one error shown, or "" when there was none; more than one fails the case.
  std::string OnlyError() {
    EXPECT_LE(screen_.errors.size(), 1u);
    return screen_.errors.empty() ? std::string() : screen_.errors.front();
  }

  RecordingScreen screen_;
};

}  // namespace testing_support
}  // namespace JobLayer
