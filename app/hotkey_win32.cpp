#include "app/hotkey_hook.h"

#include <string>

#include "app/settings.h"
#include "app/window_commands.h"
#include "job/log.h"
#include "job/param.h"
#include "job/profile_model.h"
#include "job/run.h"
#include "job/trigger.h"

namespace AppLayer {

namespace {

// The system's reason in words a user can act on.
RawString RegistrationFault(DWORD error) {
  if (error == ERROR_HOTKEY_ALREADY_REGISTERED) return RawString("another program holds this key already");
  RawString why("the system refused the key (error ");
  why.AppendInteger(error);
  why.Append(")");
  return why;
}

void LogProblem(const GuiHotKeyProblem& problem) {
  RawString text(" [value] ");
  text.AppendAll(problem.where, ": ", problem.why);
  JobLayer::JobLogServer::Instance().Queue(
      JobLayer::LogEventRecord("Error", "HotKeyNotRegistered", RawString(), "$ ", text));
}

}  // namespace

std::vector<GuiHotKeyProblem> GuiHotKeys::Register(HWND window, const GuiHotKeyPlan& plan) {
  UnregisterAll();
  window_ = window;
  bindings_ = plan.bindings;
  std::vector<GuiHotKeyProblem> problems = plan.problems;
  for (size_t i = 0; i < bindings_.size(); ++i) {
    const GuiHotKeyBinding& binding = bindings_[i];
    const int64_t id = kFirstHotKeyId + static_cast<int64_t>(i);
    if (id > kLastHotKeyId) {
      problems.push_back({binding.where, RawString("more hotkeys than the system gives one program")});
      continue;
    }
    // MOD_NOREPEAT: a held key toggles the window once, not at the keyboard's repeat rate.
    if (RegisterHotKey(window, static_cast<int>(id), binding.key.modifiers | MOD_NOREPEAT, binding.key.virtualKey)) {
      ids_.push_back(static_cast<int>(id));
    } else {
      problems.push_back({binding.where, RegistrationFault(GetLastError())});
    }
  }
  return problems;
}

void GuiHotKeys::UnregisterAll() {
  for (const int id : ids_) UnregisterHotKey(window_, id);
  ids_.clear();
}

void GuiHotKeys::Start(HWND window) {
  const JobLayer::JobProfileModel& model = JobLayer::JobProfileModel::Instance();
  problems_ = Register(window, PlanHotKeys(GuiSettings::Instance().hotKey, model.buttons, model.actions));
  for (const GuiHotKeyProblem& problem : problems_) LogProblem(problem);
}

void GuiHotKeys::TellProblems(HWND window) {
  if (problems_.empty()) return;
  const std::u16string text = HotKeyProblemText(problems_).ToWide();
  problems_.clear();
  MessageBoxW(window, reinterpret_cast<const wchar_t*>(text.c_str()), L"Kestrel", MB_ICONWARNING | MB_OK);
}

bool GuiHotKeys::HookMessage(WinLayer::WinView& view, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      // The keys work from the moment the window can be seen; the box about those that do not
      // waits until the loop runs, outside the window's creation.
      Start(view.Handle());
      PostMessageW(view.Handle(), kHotKeyStartMessage, 0, 0);
      return false;
    case kHotKeyStartMessage:
      TellProblems(view.Handle());
      result = 0;
      return true;
    case WM_HOTKEY:
      Fire(static_cast<int>(wParam));
      result = 0;
      return true;
    case WM_COMMAND:
      // The restarted instance registers the same keys, and it may do so before this one ends.
      if (HIWORD(wParam) == kCommandRestart) UnregisterAll();
      return false;
    case WM_DESTROY:
      UnregisterAll();
      return false;
    default:
      return false;
  }
}

void GuiHotKeys::Fire(int id) {
  const int64_t index = static_cast<int64_t>(id) - kFirstHotKeyId;
  if (index < 0 || index >= static_cast<int64_t>(bindings_.size())) return;
  const GuiHotKeyBinding binding = bindings_[static_cast<size_t>(index)];
  if (binding.target == GuiHotKeyTarget::Launcher) {
    Toggle();
    return;
  }
  // Runs never overlap: while a run waits (a dialog of it is open, the window is disabled) or
  // runs, a hotkey's run is dropped.
  if (running_ || !IsWindowEnabled(window_)) return;
  running_ = true;
  if (binding.target == GuiHotKeyTarget::Button) {
    RunButton(binding.key);
  } else {
    RunAction(binding.name);
  }
  running_ = false;
}

void GuiHotKeys::Toggle() {
  HWND window = window_;
  HWND front = GetForegroundWindow();
  const bool inFront = IsWindowVisible(window) && !IsIconic(window) && front != nullptr &&
                       (front == window || GetAncestor(front, GA_ROOTOWNER) == window);
  if (inFront) {
    ShowWindow(window, GuiSettings::Instance().sysTray ? SW_HIDE : SW_MINIMIZE);
    return;
  }
  ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
  // The hotkey's message gives this thread the right to take the foreground.
  SetForegroundWindow(window);
  BringWindowToTop(window);
  if (HWND buttons = GetDlgItem(window, kButtonBoxId)) SetFocus(buttons);
}

void GuiHotKeys::RunButton(const JobLayer::JobHotKey& key) {
  // Looked up again by key: the button box may have moved or deleted buttons since.
  int32_t index = 0;
  for (const JobLayer::JobButtonUnit& button : JobLayer::JobProfileModel::Instance().buttons) {
    JobLayer::JobHotKey own;
    RawString why;
    if (JobLayer::ParseHotKey(button.params.GetValue("HotKey"), own, why) && own == key) {
      (void)JobLayer::RunButtonByHotKey(index);
      return;
    }
    ++index;
  }
}

void GuiHotKeys::RunAction(const RawString& name) {
  const JobLayer::JobActionUnit* action = JobLayer::JobProfileModel::Instance().actions.Find(name);
  if (action != nullptr) (void)JobLayer::RunCommandLineAction(action->params, name, "(HotKey-Action)");
}

}  // namespace AppLayer
