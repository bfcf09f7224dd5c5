// The selection windows' probe for end-to-end scenarios. As the subject it runs one selection in
// its own process and writes the outcome to a file; as the user's hand it waits for a selection
// window, clicks or drags on it with SendInput, or reads its layered attributes.
//
// Subject (the settings file's section "Job" gives the display settings):
//   pick <settings> <out>                 window selection: "chosen <class> <title>",
//                                         "nothing", "cancelled" or "failed"
//   rect <settings> <out>                 rectangle selection: "chosen <sx> <sy> <ex> <ey>" and
//                                         "place <moves> <sizes> <x> <y> <w> <h>", or as above
//   menu <settings> <out> [<name> <l> <t> <r> <b>]...
//                                         the menu over these sections: "chosen <i> <name>"
// Hand (each waits up to <ms> for a visible window of the class under the point it acts on):
//   click <class> <left|right> <dx> <dy> <ms>
//                                         click at the window's corner + dx, dy
//   drag <x1> <y1> <x2> <y2> <ms>         left-button drag over a cover, in screen coordinates
//   press <x1> <y1> <x2> <y2> <ms>        the same drag with the button still held at the end
//   release <x> <y>                       let the left button go there
//   cursor <x> <y>                        move the mouse there (no window needed)
//   layered <class> <alpha> <ms>          the window is layered and topmost with this alpha
//   pixel <class> <dx> <dy> <RRGGBB> <ms>   the screen shows this colour at the window's corner +
//                                         dx, dy (Wine draws layered windows opaque)
//   place <class> <title|*> <l> <t> <w> <h> <ms>
//                                         move a window there and wait until it is there
//   expect-rect <class> <title|*> <l> <t> <r> <b> <ms>
//                                         the window's rectangle becomes exactly this
// Files:
//   copy <from> <to>                      copy a program, so that a scenario runs Tessera beside
//                                         a settings profile of its own
// Exit code 0 means done as asked; 1 names what was found instead.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool/selection.h"

namespace {

using RawLayer::RawString;
using ToolLayer::GuiPoint;
using RawLayer::RawRect;
using ToolLayer::GuiSelectResult;

constexpr DWORD kPollMs = 20;

RawString Text(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()));
}

std::string Utf8(const std::wstring& text) { return Text(text).ToUtf8(); }

void WriteResult(const wchar_t* path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text << "\n";
  std::printf("%s\n", text.c_str());
}

const char* ResultWord(GuiSelectResult result) {
  switch (result) {
    case ToolLayer::SelectChosen: return "chosen";
    case ToolLayer::SelectNothing: return "nothing";
    case ToolLayer::SelectCancelled: return "cancelled";
    case ToolLayer::SelectFailed: return "failed";
  }
  return "unknown";
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TitleOf(HWND window) {
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  return title;
}

// A Unix path (as CMake names the build's programs) through drive Z:.
std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + path;
}

int Number(const wchar_t* text) { return static_cast<int>(std::wcstol(text, nullptr, 10)); }

// ---- subject ----

int Pick(const wchar_t* settings, const wchar_t* out) {
  ToolLayer::GuiSelector selector(ToolLayer::LoadSelectorSettings(Text(settings)));
  ToolLayer::GuiWindowHandle window = nullptr;
  const GuiSelectResult result = selector.SelectWindow(window);
  std::string line = ResultWord(result);
  if (result == ToolLayer::SelectChosen) {
    HWND picked = static_cast<HWND>(window);
    line += " " + Utf8(ClassOf(picked)) + " " + Utf8(TitleOf(picked));
  }
  WriteResult(out, line);
  return 0;
}

int Rect(const wchar_t* settings, const wchar_t* out) {
  const ToolLayer::GuiSelectorSettings values = ToolLayer::LoadSelectorSettings(Text(settings));
  ToolLayer::GuiSelector selector(values);
  GuiPoint start;
  GuiPoint end;
  const GuiSelectResult result = selector.SelectRect(start, end);
  std::string line = ResultWord(result);
  if (result == ToolLayer::SelectChosen) {
    const ToolLayer::GuiDrawnPlacement place = ToolLayer::PlaceDrawnRect(start, end, values.frameWiden);
    char text[200];
    std::snprintf(text, sizeof(text), " %d %d %d %d\nplace %d %d %d %d %d %d", start.x, start.y, end.x, end.y,
                  place.moves ? 1 : 0, place.sizes ? 1 : 0, place.x, place.y, place.w, place.h);
    line += text;
  }
  WriteResult(out, line);
  return 0;
}

int Menu(const wchar_t* settings, const wchar_t* out, int count, wchar_t** rows) {
  std::vector<ToolLayer::GuiMenuEntry> entries;
  for (int i = 0; i + 4 < count; i += 5) {
    entries.push_back({Text(rows[i]), RawRect{Number(rows[i + 1]), Number(rows[i + 2]), Number(rows[i + 3]),
                                              Number(rows[i + 4])}});
  }
  ToolLayer::GuiSelector selector(ToolLayer::LoadSelectorSettings(Text(settings)));
  int32_t chosen = -1;
  const GuiSelectResult result = selector.SelectEntry(entries, chosen);
  std::string line = ResultWord(result);
  if (result == ToolLayer::SelectChosen) {
    line += " " + std::to_string(chosen) + " " + entries[static_cast<size_t>(chosen)].name.ToUtf8();
  }
  WriteResult(out, line);
  return 0;
}

// ---- hand ----

bool Matches(HWND window, const std::wstring& className, const std::wstring& title) {
  return IsWindowVisible(window) && ClassOf(window) == className && (title == L"*" || TitleOf(window) == title);
}

HWND WaitWindow(const std::wstring& className, const std::wstring& title, DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (;;) {
    for (HWND window = FindWindowW(className.c_str(), nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, className.c_str(), nullptr)) {
      if (Matches(window, className, title)) return window;
    }
    if (GetTickCount64() >= until) return nullptr;
    Sleep(kPollMs);
  }
}

// Waits until the window of the class is the one under the point, so that input sent there
// reaches it.
bool WaitUnder(const std::wstring& className, POINT point, DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (;;) {
    HWND window = WindowFromPoint(point);
    if (window != nullptr && ClassOf(GetAncestor(window, GA_ROOT)) == className) return true;
    if (GetTickCount64() >= until) {
      std::printf("no %s under %ld,%ld after %lu ms\n", Utf8(className).c_str(), point.x, point.y, ms);
      return false;
    }
    Sleep(kPollMs);
  }
}

// SendInput's 0..65535 range, rounded up so the system maps it back to the same pixel.
INPUT MouseInput(POINT point, DWORD flags) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((static_cast<long long>(point.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<long long>(point.y) * 65536 + height - 1) / height);
  input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
  return input;
}

bool Send(std::vector<INPUT> inputs) {
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) std::printf("SendInput took %u of %zu events\n", sent, inputs.size());
  return sent == inputs.size();
}

int Click(const std::wstring& className, const std::wstring& button, int dx, int dy, DWORD ms) {
  HWND window = WaitWindow(className, L"*", ms);
  if (window == nullptr) {
    std::printf("no visible window of class %s\n", Utf8(className).c_str());
    return 1;
  }
  RECT rect;
  GetWindowRect(window, &rect);
  const POINT point{rect.left + dx, rect.top + dy};
  if (!WaitUnder(className, point, ms)) return 1;
  const bool left = button == L"left";
  return Send({MouseInput(point, 0), MouseInput(point, left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN),
               MouseInput(point, left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP)})
             ? 0
             : 1;
}

// Button down at the start, moves in steps (the cover paints the rectangle as it grows), and,
// unless held, up at the end.
int Drag(POINT from, POINT to, DWORD ms, bool hold) {
  if (!WaitUnder(L"Tessera_Cover", from, ms)) return 1;
  std::vector<INPUT> inputs{MouseInput(from, 0), MouseInput(from, MOUSEEVENTF_LEFTDOWN)};
  constexpr int kSteps = 8;
  for (int i = 1; i <= kSteps; ++i) {
    inputs.push_back(MouseInput({from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps}, 0));
  }
  if (!hold) inputs.push_back(MouseInput(to, MOUSEEVENTF_LEFTUP));
  return Send(inputs) ? 0 : 1;
}

int Layered(const std::wstring& className, int alpha, DWORD ms) {
  HWND window = WaitWindow(className, L"*", ms);
  if (window == nullptr) {
    std::printf("no visible window of class %s\n", Utf8(className).c_str());
    return 1;
  }
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  BYTE got = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  if (!GetLayeredWindowAttributes(window, &key, &got, &flags)) {
    std::printf("no layered attributes (extended style 0x%lx)\n", static_cast<unsigned long>(style));
    return 1;
  }
  std::printf("alpha %u flags %lu layered %d topmost %d\n", got, flags, (style & WS_EX_LAYERED) != 0,
              (style & WS_EX_TOPMOST) != 0);
  return got == alpha && (flags & LWA_ALPHA) && (style & WS_EX_LAYERED) && (style & WS_EX_TOPMOST) ? 0 : 1;
}

int Pixel(const std::wstring& className, int dx, int dy, const wchar_t* rgb, DWORD ms) {
  HWND window = WaitWindow(className, L"*", ms);
  if (window == nullptr) {
    std::printf("no visible window of class %s\n", Utf8(className).c_str());
    return 1;
  }
  const unsigned long wanted = std::wcstoul(rgb, nullptr, 16);
  RECT rect;
  GetWindowRect(window, &rect);
  HDC screen = GetDC(nullptr);
  const ULONGLONG until = GetTickCount64() + ms;
  unsigned long got = 0;
  for (;;) {
    const COLORREF color = GetPixel(screen, rect.left + dx, rect.top + dy);
    got = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    if (got == wanted || GetTickCount64() >= until) break;
    Sleep(kPollMs);
  }
  ReleaseDC(nullptr, screen);
  std::printf("pixel %06lX, expected %06lX\n", got, wanted);
  return got == wanted ? 0 : 1;
}

bool WaitRect(HWND window, const RECT& wanted, DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (;;) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (EqualRect(&rect, &wanted)) return true;
    if (GetTickCount64() >= until) {
      std::printf("rectangle %ld %ld %ld %ld, expected %ld %ld %ld %ld\n", rect.left, rect.top, rect.right,
                  rect.bottom, wanted.left, wanted.top, wanted.right, wanted.bottom);
      return false;
    }
    Sleep(kPollMs);
  }
}

int Place(const std::wstring& className, const std::wstring& title, RECT wanted, DWORD ms) {
  HWND window = WaitWindow(className, title, ms);
  if (window == nullptr) return 1;
  MoveWindow(window, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top, TRUE);
  return WaitRect(window, wanted, ms) ? 0 : 1;
}

int ExpectRect(const std::wstring& className, const std::wstring& title, RECT wanted, DWORD ms) {
  HWND window = WaitWindow(className, title, ms);
  if (window == nullptr) return 1;
  return WaitRect(window, wanted, ms) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  auto has = [&](int count) { return argc >= 2 + count; };
  if (command == L"pick" && has(2)) return Pick(argv[2], argv[3]);
  if (command == L"rect" && has(2)) return Rect(argv[2], argv[3]);
  if (command == L"menu" && has(2)) return Menu(argv[2], argv[3], argc - 4, argv + 4);
  if (command == L"click" && has(5)) return Click(argv[2], argv[3], Number(argv[4]), Number(argv[5]), Number(argv[6]));
  if ((command == L"drag" || command == L"press") && has(5)) {
    return Drag({Number(argv[2]), Number(argv[3])}, {Number(argv[4]), Number(argv[5])}, Number(argv[6]),
                command == L"press");
  }
  if (command == L"cursor" && has(2)) {
    const POINT point{Number(argv[2]), Number(argv[3])};
    if (!Send({MouseInput(point, 0)})) return 1;
    // The move is queued: wait until the system's cursor is there.
    for (int i = 0; i < 250; ++i) {
      POINT at{};
      GetCursorPos(&at);
      if (at.x == point.x && at.y == point.y) return 0;
      Sleep(kPollMs);
    }
    std::printf("the cursor did not reach %ld,%ld\n", point.x, point.y);
    return 1;
  }
  if (command == L"release" && has(2)) {
    return Send({MouseInput({Number(argv[2]), Number(argv[3])}, MOUSEEVENTF_LEFTUP)}) ? 0 : 1;
  }
  if (command == L"layered" && has(3)) return Layered(argv[2], Number(argv[3]), Number(argv[4]));
  if (command == L"pixel" && has(5)) {
    return Pixel(argv[2], Number(argv[3]), Number(argv[4]), argv[5], Number(argv[6]));
  }
  if (command == L"place" && has(7)) {
    const int left = Number(argv[4]);
    const int top = Number(argv[5]);
    return Place(argv[2], argv[3], {left, top, left + Number(argv[6]), top + Number(argv[7])}, Number(argv[8]));
  }
  if (command == L"expect-rect" && has(7)) {
    return ExpectRect(argv[2], argv[3], {Number(argv[4]), Number(argv[5]), Number(argv[6]), Number(argv[7])},
                      Number(argv[8]));
  }
  if (command == L"copy" && has(2)) {
    return CopyFileW(WindowsPath(argv[2]).c_str(), WindowsPath(argv[3]).c_str(), FALSE) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: see the top of selection_probe_win32.cpp\n");
  return 2;
}
