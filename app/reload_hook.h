// Live reload on the main window (Windows only): a thread of its own watches the folders of the
// watched files with ReadDirectoryChangesW and, once a burst of changes has settled, posts
// kReloadSettledMessage; the main thread judges the change (app/reload_watch.h) and restarts the
// launcher as RebootLauncher does, or shows why it does not. The watch starts when the window is
// made and ends when the window goes.
#pragma once

#include <windows.h>

#include <vector>

#include "app/reload_watch.h"
#include "raw/thread.h"
#include "raw/handle_win32.h"
#include "win/view.h"

namespace AppLayer {

inline constexpr UINT kReloadSettledMessage = WM_APP + 0x42;

class GuiReloadWatch : public WinLayer::WinViewHook, private RawLayer::RawThreadUnit {
 public:
  // Watches these files (empty ones are skipped) from their stamps in ProfilesAsRead(), or from
  // their stamps now for a file start-up did not read; `launcherProfile` is checked before a
  // reload.
  GuiReloadWatch(const std::vector<RawString>& files, const RawString& launcherProfile);
  GuiReloadWatch(const GuiReloadWatch&) = delete;
  GuiReloadWatch& operator=(const GuiReloadWatch&) = delete;
  ~GuiReloadWatch() override;

  bool HookMessage(WinLayer::WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Run() override;
  void StartWatching(HWND window);
  void StopWatching();
  void Settled(HWND window);

  GuiWatchedFiles& files_;
  GuiReloadJudge judge_;
  HWND window_ = nullptr;
  RawLayer::RawUniqueKernelHandle stop_;
  bool watching_ = false;
  bool restarting_ = false;
  bool warning_ = false;   // the warning box is open
  bool again_ = false;     // a change settled while it was
};

}  // namespace AppLayer
