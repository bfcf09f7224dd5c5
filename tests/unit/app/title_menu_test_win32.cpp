#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "app/title_menu.h"
#include "app/title_menu_execution.h"
#include "app/window_commands.h"
#include "raw/handle_win32.h"
#include "raw/locale.h"
#include "tests/unit/test_files.h"
#include "win/view.h"

namespace {

namespace fs = std::filesystem;
using AppLayer::GuiFontRecord;
using AppLayer::GuiSettings;
using AppLayer::GuiWindowStyle;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawString;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

constexpr DWORD kWaitMs = 10000;

std::string Utf8(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()))
      .Convert(RawLayer::CodeUtf8)
      .ToUtf8();
}

// A top-level window made like the launcher's, with the title-menu hook attached before it is made.
struct HookedWindow {
  explicit HookedWindow(const RawString& programFolder, DWORD style = WS_POPUP | WS_SYSMENU) {
    view.AttachHook(&hook);
    hook.SetProgramFolder(programFolder);
    WinLayer::WinViewCreate create;
    create.title = L"TitleMenuTest";
    create.style = style;
    create.x = 100;
    create.y = 100;
    create.width = 200;
    create.height = 120;
    created = view.Create(create);
  }
  // The window goes before the hook it still calls.
  ~HookedWindow() { view.Destroy(); }

  HWND Handle() const { return view.Handle(); }
  HMENU Menu() const { return GetSystemMenu(view.Handle(), FALSE); }
  // What the system does just before the menu opens.
  void PrepareMenu() const {
    SendMessageW(Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Menu()), MAKELPARAM(0, TRUE));
  }
  void Command(int id) const { SendMessageW(Handle(), WM_SYSCOMMAND, static_cast<WPARAM>(id), 0); }

  WinLayer::WinView view;
  AppLayer::GuiTMenuExecution hook{view};
  bool created = false;
};

struct MenuItem {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool grayed = false;
  HMENU submenu = nullptr;
};

std::vector<MenuItem> ReadMenu(HMENU menu) {
  std::vector<MenuItem> items;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) break;
    MenuItem item;
    item.id = info.wID;
    item.text = Utf8(text);
    item.separator = (info.fType & MFT_SEPARATOR) != 0;
    item.grayed = (info.fState & MFS_GRAYED) != 0;
    item.submenu = info.hSubMenu;
    items.push_back(item);
  }
  return items;
}

// The launcher's part of the menu as "id caption" lines, separators as "-", greyed items marked.
std::vector<std::string> Describe(const std::vector<MenuItem>& items, size_t count) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < count && i < items.size(); ++i) {
    const MenuItem& item = items[i];
    if (item.separator) {
      lines.push_back("-");
      continue;
    }
    char id[16];
    snprintf(id, sizeof(id), "%X", item.submenu != nullptr ? 0u : item.id);
    lines.push_back(std::string(id) + " " + item.text + (item.grayed ? " (grey)" : "") +
                    (item.submenu != nullptr ? " (submenu)" : ""));
  }
  return lines;
}

struct ThreadSearch {
  const wchar_t* className;
  const wchar_t* title;  // null: any
  HWND found;
};

BOOL CALLBACK MatchThreadWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<ThreadSearch*>(data);
  wchar_t name[64] = {};
  wchar_t text[64] = {};
  GetClassNameW(window, name, 64);
  // Not GetWindowText: it would wait for a thread that may be waiting for this one.
  InternalGetWindowText(window, text, 64);
  if (IsWindowVisible(window) && wcscmp(name, search.className) == 0 &&
      (search.title == nullptr || wcscmp(text, search.title) == 0)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// Finds a visible window of `thread` with this class (and title, when given).
HWND ThreadWindow(DWORD thread, const wchar_t* className, const wchar_t* title) {
  ThreadSearch search{className, title, nullptr};
  EnumThreadWindows(thread, &MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForThreadWindow(DWORD thread, const wchar_t* className, const wchar_t* title) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    if (HWND window = ThreadWindow(thread, className, title)) return window;
    Sleep(20);
  }
  return nullptr;
}

std::wstring ControlText(HWND control) {
  wchar_t text[128] = {};
  GetWindowTextW(control, text, 128);
  return text;
}

// Each case has a program folder, a configuration file and a GUI profile of its own, and the
// process-wide settings and message table pointed at them.
class TitleMenuWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFiles::ScratchFolder("title_menu_win32");
    RawLocaleRecordList::Instance().ResetForTest();
    GuiSettings::Instance().configFile.SetPath(PathText(folder_ / "config.ini"));
    GuiWindowStyle& style = GuiWindowStyle::Instance();
    style.guiProfile = PathText(folder_ / "gui.ini");
    style.windowFont = GuiFontRecord();
    style.menuFont = GuiFontRecord();
    style.tipFont = GuiFontRecord();
  }
  void TearDown() override { RawLocaleRecordList::Instance().ResetForTest(); }

  RawString Folder() const { return PathText(folder_); }

  fs::path folder_;
};

TEST_F(TitleMenuWin32Test, OpeningTheSystemMenuAddsTheItemsOnceBeforeTheSystemsOwn) {
  HookedWindow window(Folder());
  ASSERT_TRUE(window.created);
  const int systemItems = GetMenuItemCount(window.Menu());
  ASSERT_GT(systemItems, 0);

  // The real opening, from the keyboard; a second thread closes the menu again.
  ShowWindow(window.Handle(), SW_SHOW);
  SetForegroundWindow(window.Handle());
  const DWORD thread = GetCurrentThreadId();
  std::atomic<bool> menuSeen{false};
  std::atomic<bool> menuDone{false};
  HWND owner = window.Handle();
  std::thread closer([&] {
    // Escape in the menu window closes it; the window is then still in menu mode and takes the
    // next Escape itself. Repeated until the menu mode has ended, however long it took to open.
    for (DWORD waited = 0; !menuDone && waited < kWaitMs; waited += 100) {
      HWND menu = ThreadWindow(thread, L"#32768", nullptr);
      if (menu != nullptr) menuSeen = true;
      // Never seen after a while: ends a menu mode without a menu window, so the test fails
      // instead of hanging.
      if (menuSeen || waited >= kWaitMs / 2) PostMessageW(menu != nullptr ? menu : owner, WM_KEYDOWN, VK_ESCAPE, 0);
      Sleep(100);
    }
  });
  SendMessageW(window.Handle(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
  menuDone = true;
  closer.join();
  ASSERT_TRUE(menuSeen);

  const std::vector<MenuItem> items = ReadMenu(window.Menu());
  ASSERT_EQ(static_cast<int>(items.size()), systemItems + 12);
  EXPECT_EQ(Describe(items, 12),
            (std::vector<std::string>{"100C Version 1.36.2024.0503", "-", "100D View help. (grey)",
                                      "100E Move to primary screen.", "-", "100F Open gui profile.",
                                      "1010 Select window font.", "1011 Select menu font.", "1012 Select tip font.",
                                      "1013 Open log folder.", "100B Check profile.", "-"}));
  // The system's items follow, Close among them.
  bool closeFound = false;
  for (size_t i = 12; i < items.size(); ++i) closeFound = closeFound || items[i].id == SC_CLOSE;
  EXPECT_TRUE(closeFound);

  window.PrepareMenu();
  EXPECT_EQ(GetMenuItemCount(window.Menu()), systemItems + 12);
}

TEST_F(TitleMenuWin32Test, ViewHelpIsGreyPlainOrASubmenuForNoneOneOrMoreHelpFiles) {
  struct Row {
    std::vector<const char*> files;
    std::string item;
    std::vector<std::string> submenu;
  };
  const Row rows[] = {
      {{}, "100D View help. (grey)", {}},
      {{"ReadMe_Only.txt"}, "100D View help.", {}},
      {{"b&w.pdf", "ReadMe_Two.md", "ReadMe_One.txt"},
       "0 View help. (submenu)",
       {"1014 ReadMe_One.txt", "1015 ReadMe_Two.md", "1016 b&&w.pdf"}},
  };
  int round = 0;
  for (const Row& row : rows) {
    const fs::path program = folder_ / std::to_string(round++);
    fs::create_directories(program);
    for (const char* name : row.files) Put(program / name, "help");
    // A folder that matches a pattern is never a help file.
    fs::create_directories(program / "folder.pdf");

    HookedWindow window(PathText(program));
    ASSERT_TRUE(window.created);
    window.PrepareMenu();
    const std::vector<MenuItem> items = ReadMenu(window.Menu());
    ASSERT_GT(items.size(), 2u);
    EXPECT_EQ(Describe(items, 3)[2], row.item);
    if (row.submenu.empty()) {
      EXPECT_EQ(items[2].submenu, nullptr);
    } else {
      ASSERT_NE(items[2].submenu, nullptr);
      const std::vector<MenuItem> files = ReadMenu(items[2].submenu);
      EXPECT_EQ(Describe(files, files.size()), row.submenu);
    }
  }
}

TEST_F(TitleMenuWin32Test, ATranslatedCaptionIsShownAndTheMissingOnesAreWrittenToTheLanguageFile) {
  const fs::path language = folder_ / "language.ini";
  Put(language, "[Deutsch]\r\nTitleMenu_OpenLogFolder=Protokollordner \xC3\xB6" "ffnen\r\n");
  RawLocaleRecordList::Instance().SetLanguage("Deutsch", PathText(language));
  RawLocaleRecordList::Instance().LoadLanguage();

  HookedWindow window(Folder());
  ASSERT_TRUE(window.created);
  window.PrepareMenu();
  const std::vector<MenuItem> items = ReadMenu(window.Menu());
  ASSERT_GT(items.size(), 10u);
  EXPECT_EQ(items[9].text, "Protokollordner \xC3\xB6" "ffnen");
  EXPECT_EQ(items[3].text, "Move to primary screen.");
  const std::string written = Bytes(language);
  EXPECT_NE(written.find("TitleMenu_MoveToPrimaryScreen=Move to primary screen.\r\n"
                         "TitleMenu_OpenGuiProfile=Open gui profile.\r\n"
                         "TitleMenu_OpenLogFolder=Protokollordner \xC3\xB6" "ffnen\r\n"
                         "TitleMenu_SelectMenuFont=Select menu font.\r\n"),
            std::string::npos)
      << written;
}

TEST_F(TitleMenuWin32Test, AWindowWithoutSystemMenuGetsNoItems) {
  HookedWindow window(Folder(), WS_POPUP);
  ASSERT_TRUE(window.created);
  RawLayer::RawUniqueMenu other(CreatePopupMenu());
  AppendMenuW(other.get(), MF_STRING, 1, L"other");
  SendMessageW(window.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(other.get()), 0);
  EXPECT_EQ(GetMenuItemCount(other.get()), 1);
}

TEST_F(TitleMenuWin32Test, MoveToPrimaryScreenCentresTheWindowOnTheWorkArea) {
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  struct Row {
    int x, y, width, height;
  };
  const Row rows[] = {
      {-5000, -4000, 201, 121},                                                  // off screen
      {work.right + 100, work.top, 160, 90},                                     // right of it
      {0, 0, work.right - work.left + 300, work.bottom - work.top + 200},  // larger than it
  };
  for (const Row& row : rows) {
    HookedWindow window(Folder());
    ASSERT_TRUE(window.created);
    ASSERT_TRUE(SetWindowPos(window.Handle(), nullptr, row.x, row.y, row.width, row.height,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    RECT before{};
    GetWindowRect(window.Handle(), &before);
    window.Command(AppLayer::kTitleMoveToPrimaryScreen);
    RECT after{};
    GetWindowRect(window.Handle(), &after);
    const LONG width = before.right - before.left;
    const LONG height = before.bottom - before.top;
    const LONG left = std::max(work.left, work.left + (work.right - work.left - width) / 2);
    const LONG top = std::max(work.top, work.top + (work.bottom - work.top - height) / 2);
    EXPECT_EQ(after.left, left) << row.x;
    EXPECT_EQ(after.top, top) << row.x;
    EXPECT_EQ(after.right - after.left, width) << row.x;
    EXPECT_EQ(after.bottom - after.top, height) << row.x;
  }
}

// Answers the font dialog of this thread from a second thread: notes the face it opened with,
// picks `face` (when given) and presses the button.
class FontDialogHand {
 public:
  FontDialogHand(const wchar_t* face, int button) : face_(face), button_(button) {
    const DWORD thread = GetCurrentThreadId();
    worker_ = std::thread([this, thread] { Answer(thread); });
  }
  ~FontDialogHand() {
    if (worker_.joinable()) worker_.join();
  }
  void Join() { worker_.join(); }

  bool answered = false;
  std::wstring openedWith;

 private:
  void Answer(DWORD thread) {
    HWND dialog = WaitForThreadWindow(thread, L"#32770", L"Font");
    if (dialog == nullptr) return;
    HWND faceBox = GetDlgItem(dialog, 0x470);
    openedWith = ControlText(faceBox);
    if (face_ != nullptr) {
      SendMessageW(faceBox, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(face_));
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faceBox));
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button_)));
    for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
      if (!IsWindow(dialog)) {
        answered = true;
        return;
      }
      Sleep(20);
    }
    // The dialog refused the answer (a message box over it): cancel both so that the test ends.
    if (HWND box = ThreadWindow(thread, L"#32770", nullptr); box != nullptr && box != dialog) {
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }

  const wchar_t* face_;
  int button_;
  std::thread worker_;
};

bool RestartPosted(HWND window) {
  MSG message{};
  while (PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
    if (HIWORD(message.wParam) == AppLayer::kCommandRestart) return true;
  }
  return false;
}

TEST_F(TitleMenuWin32Test, AChosenFontIsWrittenAsItsSectionAndRestartsTheLauncher) {
  struct Row {
    int command;
    const char* currentFace;
    const wchar_t* pick;      // the face chosen in the dialog; none: as it opened
    std::wstring dialogFace;  // what the dialog opens with
    std::string section;
    std::string written;      // lines the section must hold
  };
  const Row rows[] = {
      {AppLayer::kTitleSelectWindowFont, "DejaVu Serif", nullptr, L"DejaVu Serif", "WindowFont",
       "\r\nWeight=700\r\n"},
      {AppLayer::kTitleSelectMenuFont, "DejaVu Sans", L"DejaVu Serif", L"DejaVu Sans", "MenuFont",
       "\r\nFaceName=DejaVu Serif\r\n"},
      // A face the system does not have still opens the dialog.
      {AppLayer::kTitleSelectTipFont, "No Such Face", L"DejaVu Sans", L"", "TipFont",
       "\r\nFaceName=DejaVu Sans\r\n"},
  };
  for (const Row& row : rows) {
    const fs::path profile = folder_ / ("gui_" + row.section + ".ini");
    Put(profile, "[WindowParameter]\r\n// kept\r\nMargin=3\r\n\r\n");
    GuiWindowStyle& style = GuiWindowStyle::Instance();
    style.guiProfile = PathText(profile);
    GuiFontRecord current;
    current.height = -16;
    current.weight = 700;
    const std::u16string face = RawString::FromUtf8(row.currentFace).ToWide();
    std::copy(face.begin(), face.end(), current.faceName);
    style.windowFont = style.menuFont = style.tipFont = GuiFontRecord();
    (row.command == AppLayer::kTitleSelectWindowFont  ? style.windowFont
     : row.command == AppLayer::kTitleSelectMenuFont ? style.menuFont
                                                      : style.tipFont) = current;

    HookedWindow window(Folder());
    ASSERT_TRUE(window.created);
    FontDialogHand hand(row.pick, IDOK);
    window.Command(row.command);
    hand.Join();
    ASSERT_TRUE(hand.answered) << row.section;
    if (!row.dialogFace.empty()) {
      EXPECT_EQ(hand.openedWith, row.dialogFace);
    }

    const std::string written = Bytes(profile);
    EXPECT_EQ(written.rfind("[WindowParameter]\r\n// kept\r\nMargin=3\r\n\r\n[" + row.section + "]\r\nHeight=", 0), 0u)
        << written;
    EXPECT_NE(written.find(row.written), std::string::npos) << written;
    // Only the chosen font's section.
    for (const std::string other : {"WindowFont", "MenuFont", "TipFont"}) {
      if (other != row.section) {
        EXPECT_EQ(written.find("[" + other + "]"), std::string::npos) << written;
      }
    }
    EXPECT_TRUE(RestartPosted(window.Handle())) << row.section;
  }
}

TEST_F(TitleMenuWin32Test, ACancelledFontDialogWritesNothingAndDoesNotRestart) {
  const fs::path profile = folder_ / "gui.ini";
  const std::string before = "[WindowFont]\r\nFaceName=DejaVu Serif\r\nHeight=-13\r\n\r\n";
  Put(profile, before);
  GuiFontRecord current;
  current.height = -13;
  const std::u16string face = u"DejaVu Serif";
  std::copy(face.begin(), face.end(), current.faceName);
  GuiWindowStyle::Instance().windowFont = current;

  HookedWindow window(Folder());
  ASSERT_TRUE(window.created);
  FontDialogHand hand(L"DejaVu Sans", IDCANCEL);
  window.Command(AppLayer::kTitleSelectWindowFont);
  hand.Join();
  ASSERT_TRUE(hand.answered);
  EXPECT_EQ(Bytes(profile), before);
  EXPECT_FALSE(fs::exists(folder_ / "gui.ini.tmp"));
  EXPECT_FALSE(RestartPosted(window.Handle()));
}

}  // namespace
