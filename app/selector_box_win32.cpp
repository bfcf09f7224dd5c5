#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "app/font.h"
#include "app/selector_box_win32.h"
#include "app/settings.h"
#include "job/trace.h"
#include "job/trigger.h"
#include "raw/rect_win32.h"

namespace AppLayer {

using JobLayer::JobProfileModel;
using JobLayer::JobTraceId;
using JobLayer::JobTraceScope;
using RawLayer::RawSelection;
using RawLayer::RawUniquePen;
using RawLayer::RawWindowDc;

namespace {

// A drop's file list, finished (and freed) when it goes.
using UniqueDrop = RawLayer::RawUniqueHandle<HDROP, &DragFinish>;

// Text inside a line: 2 pixels from each side, as measured.
constexpr int kTextInset = 2;



// Captions measured as they are drawn: one line, no prefix processing.
class DcMeasure : public GuiSelectorTextMeasure {
 public:
  explicit DcMeasure(HDC dc) : dc_(dc) {}
  GuiSize Measure(const RawString& text) const override {
    const std::wstring wide = text.ToWideString();
    RECT rect{};
    DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

 private:
  HDC dc_;
};

bool KeyDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

GuiSelectorBox::GuiSelectorBox()
    : WinListBoxR(JobProfileModel::Instance().selectors), list_(JobProfileModel::Instance().selectors) {}

GuiSelectorBox::~GuiSelectorBox() {
  // The window goes before the font it was given.
  Destroy();
}

bool GuiSelectorBox::CreateIn(HWND parent) {
  WinLayer::WinViewCreate create;
  create.systemClass = L"LISTBOX";
  // The border is the margin of 1 around the lines; the box is sized to show every line.
  create.style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | kStyle;
  create.parent = parent;
  create.id = kSelectorBoxId;
  if (!Create(create)) return false;
  font_ = CreateFontOf(GuiWindowStyle::Instance().windowFont);
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  DragAcceptFiles(Handle(), TRUE);
  SetupItems();
  return true;
}

void GuiSelectorBox::ApplyStyle() {
  if (Handle() == nullptr) return;
  RawLayer::RawUniqueFont font = CreateFontOf(GuiWindowStyle::Instance().windowFont);
  // The control lets go of the old font before it is deleted.
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  font_ = std::move(font);
  MeasureLines();
  InvalidateRect(Handle(), nullptr, TRUE);
}

GuiSize GuiSelectorBox::NeededSize() const { return needed_; }

void GuiSelectorBox::SetupItems() {
  {
    JobTraceScope scope('U', JobTraceId::System(), JobTraceId::Executor(), "SetupSelectors");
    list_.SetupSelectors();
  }
  ReloadUnits();
  MeasureLines();
}

void GuiSelectorBox::MeasureLines() {
  RawWindowDc dc(Handle());
  RawSelection font(dc.get(), font_.get());
  needed_ = MeasureSelectorLines(list_, DcMeasure(dc.get()), GuiWindowStyle::Instance().selectorSeparator);
  SetLineHeights(SelectorLineHeights(list_));
}

bool GuiSelectorBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const bool alt = message == WM_SYSKEYDOWN || KeyDown(VK_MENU);
      switch (wParam) {
        case VK_DELETE:
          ExecuteMenuCommand(kSelectorDeleteItems);
          result = 0;
          return true;
        case VK_UP:
        case VK_DOWN:
          if (!alt) break;
          ExecuteMenuCommand(wParam == VK_UP ? kSelectorMoveUpItems : kSelectorMoveDownItems);
          result = 0;
          return true;
        case VK_LEFT:
        case VK_RIGHT:
          // A list has no sideways movement; the keys are kept from the default handling.
          result = 0;
          return true;
        default:
          break;
      }
      break;
    }
    case WM_DROPFILES: {
      UniqueDrop drop(reinterpret_cast<HDROP>(wParam));
      RawStringList paths;
      const UINT count = DragQueryFileW(drop.get(), 0xFFFFFFFF, nullptr, 0);
      for (UINT index = 0; index < count; ++index) {
        const UINT length = DragQueryFileW(drop.get(), index, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        const UINT copied = DragQueryFileW(drop.get(), index, path.data(), length + 1);
        paths.Add(RawString::FromWide(reinterpret_cast<const char16_t*>(path.data()), static_cast<int32_t>(copied)));
      }
      POINT point{};
      DragQueryPoint(drop.get(), &point);
      drop.reset();
      DropPaths(paths, point, WinLayer::KeyDownNow(VK_MENU));
      result = 0;
      return true;
    }
    default:
      break;
  }
  return WinListBoxR::HandleMessage(message, wParam, lParam, result);
}

bool GuiSelectorBox::HandleNotify(int code) {
  switch (code) {
    case WinLayer::kNotifySelectionChanged:
      RunCurrent("LButton");
      return true;
    case WinLayer::kNotifyActivated:
      RunCurrent("DClick");
      return true;
    default:
      return WinListBoxR::HandleNotify(code);
  }
}

void GuiSelectorBox::ExecuteMenuCommand(int id) {
  GuiSelectorSelection selection = CurrentSelection();
  GuiSelectorEditor editor(list_, selection);
  bool changed = false;
  switch (id) {
    case kSelectorInsertSeparator:
      changed = editor.InsertSeparator();
      break;
    case kSelectorDeleteItems:
      changed = editor.DeleteSelected();
      break;
    case kSelectorMoveUpItems:
      changed = editor.MoveSelectedUp();
      break;
    case kSelectorMoveDownItems:
      changed = editor.MoveSelectedDown();
      break;
    case kSelectorSortItems:
    case kSelectorReverseSortItems:
      changed = editor.SortSelected(id == kSelectorReverseSortItems);
      break;
    default:
      break;
  }
  if (changed) Edited(selection);
}

bool GuiSelectorBox::DrawItem(DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const RECT rect = item.rcItem;
  const bool focus = (item.itemState & ODS_FOCUS) != 0;
  const JobSelectorUnit* unit = item.itemID == static_cast<UINT>(-1) ? nullptr : UnitAt(static_cast<int32_t>(item.itemID));
  if (unit != nullptr) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if ((unit->flags & JobSelectorUnit::kSeparator) != 0) {
      const int middle = (rect.top + rect.bottom) / 2;
      RawUniquePen pen(CreatePen(PS_SOLID, 1, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT)));
      RawSelection usePen(dc, pen.get());
      MoveToEx(dc, rect.left + kTextInset, middle, nullptr);
      LineTo(dc, rect.right - kTextInset, middle);
    } else {
      RawSelection useFont(dc, font_.get());
      const std::wstring caption = unit->caption.ToWideString();
      RECT text{rect.left + kTextInset, rect.top, rect.right - kTextInset, rect.bottom};
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_LEFT);
    }
  }
  if (focus) DrawFocusRect(dc, &rect);
  return true;
}

void GuiSelectorBox::BuildMenu(HMENU menu) {
  std::vector<bool> selected = Selection();
  for (const GuiSelectorMenuEntry& entry : SelectorMenuEntries(selected)) {
    if (entry.id == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring caption = SelectorMenuCaption(entry.key).ToWideString();
    AppendMenuW(menu, MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(entry.id),
                caption.c_str());
  }
}

void GuiSelectorBox::DropPaths(const RawStringList& paths, POINT client, bool append) {
  JobTraceScope scope('U', JobTraceId::User(), JobTraceId::Executor(), "(Drop-Insert)");
  const int32_t index = append ? -1 : LineAt(client);
  GuiSelectorSelection selection = CurrentSelection();
  if (GuiSelectorEditor(list_, selection).InsertDropped(index, paths)) Edited(selection);
}

void GuiSelectorBox::RunCurrent(const char* keyState) {
  const int32_t index = CurrentIndex();
  if (Handle() == nullptr || index < 0 || index >= list_.Count()) return;
  RECT rect{};
  GetWindowRect(Handle(), &rect);
  JobLayer::RunSelector(index, RawString::FromUtf8(keyState), RawLayer::FromSystemRect(rect));
}

void GuiSelectorBox::Edited(const GuiSelectorSelection& selection) {
  SetupItems();
  SetSelection(selection.selected, selection.current);
  if (Handle() != nullptr) {
    // No control window in the last parameter: the main window takes it as its own command.
    SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(kSelectorBoxId, kCommandSelectorResized), 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
  // A profile that cannot be rewritten keeps its old sections; the box shows the edit all the
  // same and there is no message.
  static_cast<void>(JobProfileModel::Instance().SaveSelectors());
}

GuiSelectorSelection GuiSelectorBox::CurrentSelection() const { return {Selection(), CurrentIndex()}; }

}  // namespace AppLayer
