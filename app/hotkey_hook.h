// The global hotkeys on the main window (Windows only): registered with RegisterHotKey on the
// window's own thread once its loop runs, unregistered when it goes and before a restart (the
// new instance registers them again), and WM_HOTKEY turned into the toggle of the launcher or
// the run of a button or an action. Keys that cannot be had (bad text, taken by this profile or
// by another program) are told once in one warning box and each in the log; the launcher runs on.
#pragma once

#include <windows.h>

#include <vector>

#include "app/hotkey.h"
#include "win/view.h"

namespace AppLayer {

// Posted to the main window when it is created; the keys that could not be had are told when it
// arrives.
inline constexpr UINT kHotKeyStartMessage = WM_APP + 0x40;

class GuiHotKeys : public WinLayer::WinViewHook {
 public:
  GuiHotKeys() = default;
  GuiHotKeys(const GuiHotKeys&) = delete;
  GuiHotKeys& operator=(const GuiHotKeys&) = delete;
  ~GuiHotKeys() override { UnregisterAll(); }

  bool HookMessage(WinLayer::WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Registers every binding of the plan for `window`; the plan's problems and those of the
  // registration are returned, in plan order.
  std::vector<GuiHotKeyProblem> Register(HWND window, const GuiHotKeyPlan& plan);
  void UnregisterAll();
  size_t RegisteredCount() const { return ids_.size(); }

 private:
  // Registers the keys of the settings and the profile, and logs those it cannot have.
  void Start(HWND window);
  void TellProblems(HWND window);
  void Fire(int id);
  // Hidden, minimised or behind another window: shown in front with the keys in the button box;
  // in front: hidden to the tray (SysTray) or minimised.
  void Toggle();
  void RunButton(const JobLayer::JobHotKey& key);
  void RunAction(const RawString& name);

  HWND window_ = nullptr;
  std::vector<GuiHotKeyBinding> bindings_;  // by id - kFirstHotKeyId
  std::vector<int> ids_;                    // registered ids
  std::vector<GuiHotKeyProblem> problems_;  // not told yet
  bool running_ = false;
};

}  // namespace AppLayer
