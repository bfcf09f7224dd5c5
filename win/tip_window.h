// A tip window on a thread of its own (Windows only), so that showing, painting and moving the
// tip never waits for the window it explains. The first Show starts the thread and returns when
// the window is up; later shows send it the new text and place (WM_APP + 1); Close has the
// thread destroy its window and waits until the thread has ended.
//
// The window's text is the tip text, so another program can read what is shown.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "raw/thread.h"

namespace WinLayer {

inline constexpr UINT kTipNewText = WM_APP + 1;

class WinTipWindow {
 public:
  WinTipWindow();
  ~WinTipWindow();  // closes the tip
  WinTipWindow(const WinTipWindow&) = delete;
  WinTipWindow& operator=(const WinTipWindow&) = delete;

  // Shows `text` beside the screen point `cursor` (below it, kept on the monitor's work area).
  // The font is taken when the window is made and kept until it is closed. False when the
  // window could not be made.
  [[nodiscard]] bool Show(const std::wstring& text, POINT cursor, const LOGFONTW& font);
  // Ends the tip window and its thread; nothing when none is open.
  void Close();
  bool IsOpen() const;
  // The tip window, null while none is open.
  HWND Handle() const;

 private:
  class Worker : public RawLayer::RawThreadUnit {
   public:
    explicit Worker(WinTipWindow& owner) : owner_(owner) {}

   protected:
    void Run() override;

   private:
    WinTipWindow& owner_;
  };

  void RunWindow();

  mutable std::mutex lock_;
  std::condition_variable readyChanged_;
  bool ready_ = false;
  HWND window_ = nullptr;
  // What the thread starts with.
  std::wstring firstText_;
  POINT firstCursor_{};
  LOGFONTW font_{};
  Worker worker_;
};

}  // namespace WinLayer
