// The script's dialogs shown in this process: a timer of the test's thread acts on the open
// dialog from inside its modal loop, as a user would, and the test checks what Show returns.
#include <gtest/gtest.h>
#include <windows.h>

#include <imm.h>

#include <functional>
#include <string>
#include <vector>

#include "raw/rect_win32.h"
#include "win/info_dialog.h"
#include "win/input_dialog.h"

namespace {

using RawLayer::RawString;
using WinLayer::WinInfoDialog;
using WinLayer::WinInputDialog;

// Runs `act` once on the first visible dialog of this thread, then stops polling.
class DialogActor {
 public:
  explicit DialogActor(std::function<void(HWND)> act) {
    current_ = this;
    act_ = std::move(act);
    timer_ = SetTimer(nullptr, 0, 20, &DialogActor::Tick);
  }
  ~DialogActor() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DialogActor(const DialogActor&) = delete;
  DialogActor& operator=(const DialogActor&) = delete;
  bool Acted() const { return acted_; }

 private:
  static BOOL CALLBACK Find(HWND window, LPARAM found) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (!IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogActor* actor = current_;
    if (actor == nullptr || actor->acted_) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &DialogActor::Find, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    actor->acted_ = true;
    actor->act_(dialog);
  }

  static inline DialogActor* current_ = nullptr;
  std::function<void(HWND)> act_;
  UINT_PTR timer_ = 0;
  bool acted_ = false;
};

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

std::vector<std::string> Utf8(const std::vector<RawString>& texts) {
  std::vector<std::string> out;
  for (const RawString& text : texts) out.push_back(text.ToUtf8());
  return out;
}

// A rectangle in the middle of the screen, and the centre a dialog over it must have.
RECT MiddleAnchor() {
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const LONG x = (area.left + area.right) / 2;
  const LONG y = (area.top + area.bottom) / 2;
  return RECT{x - 60, y - 20, x + 40, y + 10};
}

bool CentredOver(HWND dialog, const RECT& anchor) {
  RECT shown{};
  GetWindowRect(dialog, &shown);
  const LONG dx = (shown.left + shown.right) - (anchor.left + anchor.right);
  const LONG dy = (shown.top + shown.bottom) - (anchor.top + anchor.bottom);
  return dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
}

std::vector<WinInputDialog::Field> SampleFields() {
  std::vector<WinInputDialog::Field> fields(3);
  fields[0] = {"Name", "draft", {"alpha", "beta"}, false};
  fields[1] = {"Fixed", "kept", {"never offered"}, true};
  fields[2] = {"", "", {}, false};
  return fields;
}

TEST(InputDialogTest, ShowsItsFieldsAndGivesTheirTextsWhenFinished) {
  const RECT anchor = MiddleAnchor();
  WinInputDialog form("Copy the file\nwhere?", SampleFields());
  form.SetAnchor(RawLayer::FromSystemRect(anchor));
  std::vector<std::wstring> seen;
  bool centred = false;
  DialogActor actor([&](HWND dialog) {
    centred = CentredOver(dialog, anchor);
    seen.push_back(TextOf(dialog));
    seen.push_back(TextOf(GetDlgItem(dialog, WinInputDialog::kTextId)));
    for (int i = 0; i < 3; ++i) {
      HWND box = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + i);
      std::wstring line = TextOf(GetDlgItem(dialog, WinInputDialog::kFirstLabelId + i)) + L"|" + ClassOf(box) + L"|" +
                          TextOf(box) + L"|" +
                          ((GetWindowLongW(box, GWL_STYLE) & ES_READONLY) != 0 && ClassOf(box) == L"Edit" ? L"ro" : L"rw");
      const LRESULT count = lstrcmpiW(ClassOf(box).c_str(), L"ComboBox") == 0 ? SendMessageW(box, CB_GETCOUNT, 0, 0) : 0;
      for (LRESULT entry = 0; entry < count; ++entry) {
        wchar_t hint[64] = L"";
        SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(hint));
        line += L"|" + std::wstring(hint);
      }
      seen.push_back(line);
    }
    seen.push_back(TextOf(GetDlgItem(dialog, IDOK)) + L"|" + TextOf(GetDlgItem(dialog, IDCANCEL)));
    SetWindowTextW(GetDlgItem(dialog, WinInputDialog::kFirstFieldId), L"typed");
    SetWindowTextW(GetDlgItem(dialog, WinInputDialog::kFirstFieldId + 2), L"third");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  std::vector<RawString> texts;
  ASSERT_TRUE(form.Show(nullptr, texts));
  ASSERT_TRUE(actor.Acted());
  EXPECT_TRUE(centred);
  const std::vector<std::wstring> expected = {
      L"Input text ?",
      L"Copy the file\nwhere?",
      L"Name|ComboBox|draft|rw|alpha|beta",
      L"Fixed|Edit|kept|ro",
      L"|Edit||rw",
      L"Finish|Cancel",
  };
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lstrcmpiW(seen[i].c_str(), expected[i].c_str()), 0) << i;
  }
  EXPECT_EQ(Utf8(texts), (std::vector<std::string>{"typed", "kept", "third"}));
}

TEST(InputDialogTest, CancelAndTheCloseBoxLeaveTheTextsAlone) {
  struct Row {
    const char* name;
    UINT message;
    WPARAM wParam;
  } rows[] = {
      {"Cancel", WM_COMMAND, IDCANCEL},
      {"close box", WM_SYSCOMMAND, SC_CLOSE},
  };
  for (const Row& row : rows) {
    WinInputDialog form("Where?", SampleFields());
    DialogActor actor([&](HWND dialog) {
      SetWindowTextW(GetDlgItem(dialog, WinInputDialog::kFirstFieldId), L"typed");
      PostMessageW(dialog, row.message, row.wParam, 0);
    });
    std::vector<RawString> texts = {"untouched"};
    EXPECT_FALSE(form.Show(nullptr, texts)) << row.name;
    EXPECT_TRUE(actor.Acted()) << row.name;
    EXPECT_EQ(Utf8(texts), std::vector<std::string>{"untouched"}) << row.name;
  }
}

TEST(InputDialogTest, EachFieldKeepsItsInputMethodStateAndReadOnlyOnesTakeNone) {
  WinInputDialog form("IME", SampleFields());
  bool readOnlyHasContext = true;
  BOOL firstAgain = FALSE;
  BOOL thirdAgain = TRUE;
  DialogActor actor([&](HWND dialog) {
    HWND first = nullptr;  // the drop-down's edit part
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(GetDlgItem(dialog, WinInputDialog::kFirstFieldId), &info)) first = info.hwndItem;
    HWND fixed = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + 1);
    HWND third = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + 2);
    HIMC none = ImmGetContext(fixed);
    readOnlyHasContext = none != nullptr;
    if (none != nullptr) ImmReleaseContext(fixed, none);
    auto setOpen = [](HWND edit, BOOL open) {
      HIMC context = ImmGetContext(edit);
      if (context == nullptr) return;
      ImmSetOpenStatus(context, open);
      ImmReleaseContext(edit, context);
    };
    auto isOpen = [](HWND edit) {
      HIMC context = ImmGetContext(edit);
      if (context == nullptr) return FALSE;
      const BOOL open = ImmGetOpenStatus(context);
      ImmReleaseContext(edit, context);
      return open;
    };
    SetFocus(first);
    setOpen(first, TRUE);
    SetFocus(third);
    setOpen(third, FALSE);
    SetFocus(first);
    firstAgain = isOpen(first);
    SetFocus(third);
    thirdAgain = isOpen(third);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  std::vector<RawString> texts;
  EXPECT_FALSE(form.Show(nullptr, texts));
  ASSERT_TRUE(actor.Acted());
  EXPECT_FALSE(readOnlyHasContext);
  EXPECT_TRUE(firstAgain);
  EXPECT_FALSE(thirdAgain);
}

// A password field is a masked edit box even when hints are given, offers none, takes no
// composition (its window would show what is typed), and still gives its text.
TEST(InputDialogTest, APasswordFieldIsMaskedWithoutHintsOrComposition) {
  std::vector<WinInputDialog::Field> fields(1);
  fields[0] = {"Password", "", {"alpha", "beta"}, false, true};
  WinInputDialog form("Sign in", fields);
  std::wstring fieldClass;
  LONG_PTR style = 0;
  bool hasContext = true;
  DialogActor actor([&](HWND dialog) {
    HWND field = GetDlgItem(dialog, WinInputDialog::kFirstFieldId);
    fieldClass = ClassOf(field);
    style = GetWindowLongPtrW(field, GWL_STYLE);
    HIMC context = ImmGetContext(field);
    hasContext = context != nullptr;
    if (context != nullptr) ImmReleaseContext(field, context);
    SetWindowTextW(field, L"hunter2");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  std::vector<RawString> texts;
  ASSERT_TRUE(form.Show(nullptr, texts));
  ASSERT_TRUE(actor.Acted());
  EXPECT_EQ(lstrcmpiW(fieldClass.c_str(), L"Edit"), 0) << fieldClass;
  EXPECT_NE(style & ES_PASSWORD, 0);
  EXPECT_FALSE(hasContext);
  EXPECT_EQ(Utf8(texts), std::vector<std::string>{"hunter2"});
}

TEST(InfoDialogTest, OneButtonPerCaptionAndThePressedOnesPosition) {
  struct Row {
    const char* name;
    std::vector<RawString> captions;
    int press;  // a button identifier, or 0 for Escape
    std::wstring buttons;
    int index;
  } rows[] = {
      {"OK alone", {}, IDOK, L"OK", -1},
      {"second caption", {"Save & Quit", "Later", "Never"}, WinInfoDialog::kFirstCaptionId + 1,
       L"Save && Quit|Later|Never", 1},
      {"first caption", {"Go"}, WinInfoDialog::kFirstCaptionId, L"Go", 0},
      {"Escape", {"Yes", "No"}, IDCANCEL, L"Yes|No", -1},
  };
  for (const Row& row : rows) {
    const RECT anchor = MiddleAnchor();
    WinInfoDialog dialog("Kestrel", "Save the list?", WinInfoDialog::kQuestionIcon);
    dialog.SetCaptions(row.captions);
    dialog.SetAnchor(RawLayer::FromSystemRect(anchor));
    std::wstring buttons;
    bool centred = false;
    DialogActor actor([&](HWND dialog) {
      centred = CentredOver(dialog, anchor);
      for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiW(ClassOf(child).c_str(), L"Button") != 0) continue;
        buttons += (buttons.empty() ? L"" : L"|") + TextOf(child);
      }
      PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(row.press), 0);
    });
    const int result = dialog.Show(nullptr);
    EXPECT_TRUE(actor.Acted()) << row.name;
    EXPECT_TRUE(centred) << row.name;
    EXPECT_EQ(buttons, row.buttons) << row.name;
    EXPECT_EQ(result, row.press) << row.name;
    EXPECT_EQ(dialog.CaptionIndex(result), row.index) << row.name;
  }
}

TEST(InfoDialogTest, ManyCaptionsWrapInsideTheWorkArea) {
  std::vector<RawString> captions;
  for (int i = 0; i < 30; ++i) captions.push_back(RawString::FromUtf8("A rather long caption " + std::to_string(i)));
  WinInfoDialog dialog("Kestrel", "Which one?", WinInfoDialog::kQuestionIcon);
  dialog.SetCaptions(captions);
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT shown{};
  RECT last{};
  DialogActor actor([&](HWND window) {
    GetWindowRect(window, &shown);
    GetWindowRect(GetDlgItem(window, WinInfoDialog::kFirstCaptionId + 29), &last);
    PostMessageW(window, WM_COMMAND, WinInfoDialog::kFirstCaptionId + 29, 0);
  });
  EXPECT_EQ(dialog.CaptionIndex(dialog.Show(nullptr)), 29);
  EXPECT_GE(shown.left, area.left);
  EXPECT_LE(shown.right, area.right);
  EXPECT_LE(last.right, shown.right);
  EXPECT_GT(last.top, shown.top);
}

}  // namespace
