// The selector box in a window of its own, for scenarios driven as a user would.
//
//   e2e_selector_probe <profile> <out-file> <drop-path>
//
// Reads the profile into the profile model and shows the box in a pop-up titled
// "SelectorProbe" (class "KestrelView") at (100, 100), the box at (4, 4) in its needed size.
// The selectors' scripts report their runs by setting the variable "Seen": each value set is
// appended to the out file as a line and the variable emptied again. A message WM_APP + 1 posted to the window drops
// <drop-path> on the box at the point (5, wParam) of its client area: a drop from another
// process cannot carry its file list under Wine. The box's requests to resize are followed.
// A message WM_APP + 2 posted while the edit menu is open (its loop passes it on) writes the line
// "greyed <ids>" to the out file: the ids of the greyed entries run together ("567"), or "none".
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/job_screen.h"
#include "app/selector_box_win32.h"
#include "job/profile_model.h"
#include "job/variable.h"
#include "win/view.h"

namespace {

using AppLayer::GuiSelectorBox;
using AppLayer::GuiSize;

constexpr UINT kDropMessage = WM_APP + 1;
constexpr UINT kMenuStateMessage = WM_APP + 2;

// The greyed entries of the open edit menu, as their ids run together, or "none".
std::string GreyedEntries() {
  HWND window = FindWindowW(L"#32768", nullptr);
  HMENU menu = window != nullptr ? reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) : nullptr;
  if (menu == nullptr) return "no menu";
  std::string greyed;
  for (int id = 1; id <= 7; ++id) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
    if (state != static_cast<UINT>(-1) && (state & MF_GRAYED) != 0) greyed += std::to_string(id);
  }
  return greyed.empty() ? "none" : greyed;
}

RawLayer::RawString FromWide(const wchar_t* text) {
  return RawLayer::RawString::FromWide(reinterpret_cast<const char16_t*>(text), static_cast<int32_t>(wcslen(text)));
}

HDROP MakeDrop(const std::wstring& path, POINT point) {
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES));
  path.copy(out, path.size());
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class ProbeWindow : public WinLayer::WinDialog {
 public:
  ProbeWindow(std::wstring out, std::wstring dropPath) : out_(std::move(out)), dropPath_(std::move(dropPath)) {}

 protected:
  void OnCreate() override {
    if (!box_.CreateIn(Handle())) return;
    Fit();
  }
  void OnShown() override { SetFocus(box_.Handle()); }
  bool HandleCommand(int, int code, HWND) override {
    if (code != AppLayer::kCommandSelectorResized) return false;
    Fit();
    return true;
  }
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message == kMenuStateMessage) {
      std::ofstream(std::filesystem::path(out_), std::ios::binary | std::ios::app) << "greyed " << GreyedEntries() << "\n";
      result = 0;
      return true;
    }
    if (message != kDropMessage) return false;
    SendMessageW(box_.Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop(dropPath_, POINT{5, static_cast<LONG>(wParam)})), 0);
    result = 0;
    return true;
  }
  bool PreTranslate(MSG&) override {
    const std::string seen =
        JobLayer::ExpandVariables("$(Seen)", JobLayer::JobTraceId::User()).text.ToUtf8();
    if (!seen.empty()) {
      std::ofstream(std::filesystem::path(out_), std::ios::binary | std::ios::app) << seen << "\n";
      JobLayer::JobVariableList::Instance().Set("Seen", "");
    }
    return false;
  }

 private:
  void Fit() {
    const GuiSize size = box_.NeededSize();
    MoveWindow(box_.Handle(), 4, 4, size.width, size.height, TRUE);
  }

  std::wstring out_;
  std::wstring dropPath_;
  GuiSelectorBox box_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  WinLayer::SetWinInstance(GetModuleHandleW(nullptr));
  JobLayer::SetScreen(&AppLayer::GuiJobScreen());
  if (!JobLayer::JobProfileModel::Instance().Load(FromWide(argv[1]))) return 3;
  JobLayer::JobVariableList::Instance().Set("Seen", "");
  ProbeWindow window(argv[2], argv[3]);
  WinLayer::WinViewCreate create;
  create.title = L"SelectorProbe";
  create.style = WS_POPUP;
  create.x = 100;
  create.y = 100;
  create.width = 300;
  create.height = 300;
  return window.Run(create) < 0 ? 4 : 0;
}
