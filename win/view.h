// Views: the launcher's windows as objects (Windows only).
//
// A view is bound to its window from the first message on (WM_NCCREATE for the toolkit's own
// window class; right after creation for a subclassed system control) and every message goes
// through one static procedure to the view's virtual handlers, each of which says whether it
// handled the message. Hooks attached to a view see every message first. A parent hands the
// notifications, owner-draw and measure requests of its child views back to those views, so a
// control handles its own events wherever it is placed.
//
// Toolkit commands travel as WM_COMMAND with the code in the high word:
//   0x1004  cancel: a view sends it to its top-level window for the Escape key
//   0x1002  activated (list box: double click or Enter)
//   0x1008  selection changed (list box)
// No exception and no script error crosses the window procedure: handlers catch inside.
#pragma once

#include <windows.h>

#include <vector>

namespace WinLayer {

inline constexpr int kCommandCancel = 0x1004;
inline constexpr int kNotifyActivated = 0x1002;
inline constexpr int kNotifySelectionChanged = 0x1008;

// Show states of OnShowStateChanged: the WM_SIZE size types, and "gone".
inline constexpr int kShowNormal = 0;
inline constexpr int kShowMinimized = 1;
inline constexpr int kShowMaximized = 2;
inline constexpr int kShowGone = 7;

// The program instance, stored by the start-up before any window is made.
HINSTANCE WinInstance();
void SetWinInstance(HINSTANCE instance);

// Whether a key is down at this moment. A drop ends a drag run by another program, during which
// this thread saw no key messages, so its own key state (GetKeyState) still holds what it was
// before: drops ask the keyboard itself.
bool KeyDownNow(int virtualKey);

class WinView;

// A message hook attached to one view.
class WinViewHook {
 public:
  virtual ~WinViewHook() = default;
  // Sees every message of the view before the view does. True stops the message here with
  // `result`; false passes it on.
  virtual bool HookMessage(WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
};

// What a view's window is made of.
struct WinViewCreate {
  // A system class to subclass ("BUTTON", "LISTBOX"); null for the toolkit's own class.
  const wchar_t* systemClass = nullptr;
  const wchar_t* title = L"";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  HWND parent = nullptr;
  int id = 0;  // a child's control identifier
};

class WinView {
 public:
  WinView() = default;
  // Destroys the window if it still exists.
  virtual ~WinView();
  WinView(const WinView&) = delete;
  WinView& operator=(const WinView&) = delete;

  [[nodiscard]] bool Create(const WinViewCreate& create);
  void Destroy();
  HWND Handle() const { return window_; }
  // The view bound to `window`, or null.
  static WinView* FromHandle(HWND window);

  // Hooks are not owned; they see messages in the order attached.
  void AttachHook(WinViewHook* hook) { hooks_.push_back(hook); }

  // The default processing of the window's class.
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

  int ShowState() const { return showState_; }

 protected:
  // Every message not taken by a hook; false gives it the default processing.
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // WM_COMMAND from a menu, an accelerator or a control that is not a view.
  virtual bool HandleCommand(int id, int code, HWND control);
  // A notification of this view's own window, handed back by its parent: the code of a
  // WM_COMMAND it sent (0x1008, 0x1002, a system control's code). False passes it to the parent.
  virtual bool HandleNotify(int code);
  // Owner-drawn items of this view (a subclassed system control), handed back by the parent.
  virtual bool DrawItem(DRAWITEMSTRUCT& item);
  virtual bool MeasureItem(MEASUREITEMSTRUCT& item);
  // WM_CREATE, after the window is bound.
  virtual void OnCreate() {}
  // WM_SIZE with the size type and the new client size.
  virtual void OnSized(int sizeType, int width, int height);
  // The size type changed (0 normal, 1 minimised, 2 maximised), or the window goes (7) on
  // WM_DESTROY or when the session ends.
  virtual void OnShowStateChanged(int previous, int next);
  // WM_DESTROY, after OnShowStateChanged(…, 7); the window still exists.
  virtual void OnDestroying() {}
  // After WM_NCDESTROY: the window is gone.
  virtual void OnDestroyed() {}

 private:
  static LRESULT CALLBACK ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void TrackLife(UINT message, WPARAM wParam, LPARAM lParam);
  bool HandOn(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND window_ = nullptr;
  bool subclassed_ = false;
  int showState_ = kShowNormal;
  std::vector<WinViewHook*> hooks_;
};

// A top-level view with a message loop of its own: Run returns when the window has been
// destroyed. A dialog run while another is open (a script's question over the main window)
// runs its own loop and disables its owner meanwhile.
class WinDialog : public WinView {
 public:
  // Creates the window, shows it with `showCommand`, calls OnShown and runs the loop. The result
  // is the code given to End (0 when the window was destroyed otherwise); -1 when the window
  // could not be made.
  int Run(const WinViewCreate& create, int showCommand = SW_SHOW);
  // Destroys the window; the loop ends with `code`.
  void End(int code);
  bool Running() const { return running_; }

 protected:
  // After ShowWindow and UpdateWindow.
  virtual void OnShown() {}
  // Sees each message of the loop before it is dispatched; true when consumed.
  virtual bool PreTranslate(MSG& message);
  // The main window's loop ends the thread's message loop (WM_QUIT) when it goes, so that
  // every nested loop unwinds too.
  void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
  void OnDestroyed() override;

 private:
  void ReleaseOwner();

  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;
  bool running_ = false;
  bool quitOnDestroy_ = false;
  int endCode_ = 0;
};

}  // namespace WinLayer
