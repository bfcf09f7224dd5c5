// The end-to-end driver: runs one scenario, given as its arguments, against programs it starts,
// and acts and checks as a user would. It prints every step and exits 0 only when all passed.
//
// Scenario: a sequence of steps, each a name followed by its arguments.
//   start <exe> [args...] --        start a program; later steps refer to the latest one
//   start-detached <exe> [args...] --
//                                   the same, as the desktop starts a program: no console and
//                                   no standard handles
//   wait-window <class|*> <title|*> <ms>
//                                   a visible top-level window of that class and title appears
//   wait-own-window <ms>            the started program shows a visible top-level window
//   close-window <class|*> <title|*>
//                                   post WM_CLOSE to every such window (at least one)
//   box-title <text>                the started program's message box has this caption
//   box-text <text>                 ... and this message text, compared exactly
//   box-text-has <text>             ... and a message text that holds this text
//   box-press <IDOK|IDCANCEL|IDYES|IDNO|IDABORT|IDRETRY|IDIGNORE>
//                                   press a button of the box; the box must then close
//   key <key>...                    type keys with SendInput: names such as RETURN, ESCAPE, A,
//                                   7, F5, 0x41; "ALT+SPACE" holds the first keys while typing
//                                   the last
//   key-down <key>... / key-up <key>...
//                                   press keys and leave them held, or release them (a held
//                                   key is released when the scenario ends)
//   click <x> <y>                   left click at screen coordinates
//   expect-exit <code> <ms>         the started program ends within ms with this exit code
//   expect-no-window <ms>           the started program ends within ms without ever showing a
//                                   visible top-level window (checked every 20 ms)
//   file-exists <path>
//   file-absent <path>              no file or folder of that name exists (checked once, so the
//                                   step comes after one that proves the program got that far)
//   file-contains <path> <text> [ms]
//                                   the file's bytes contain the UTF-8 text (waiting up to ms)
//   fresh-dir <path>                empty the folder (making it when missing)
//   file-lacks <path> <text> [ms]   the file exists and its bytes do not contain the text
//                                   (waiting up to ms for the text to go)
//   copy-file <from> <to>           copy a file, replacing the target
//   set-env <name> <value>          set an environment variable for the programs started later
//   window-rect <class|*> <title|*> <left> <top> <right> <bottom> <ms>
//                                   such a window has this screen rectangle (polling until ms)
//   show-state <class|*> <title|*> <normal|min|max> <ms>
//                                   such a window is shown in this state (polling until ms)
//   topmost <class|*> <title|*> <0|1> <ms>
//                                   such a window is (1) or is not (0) always on top
//   window-gone <class|*> <title|*> <ms>
//                                   no such window is left within ms
//   window-centred <class|*> <title|*> <width> <height> <ms>
//                                   such a window has this size and is centred on the primary
//                                   work area (integer division)
//   window-exstyle <class|*> <title|*> <bits> <0|1> <ms>
//                                   such a window's extended style has all (1) or none (0) of
//                                   the bits
//   click-in <class|*> <title|*> <x> <y> [left|right|move]
//                                   click (or only move) at a point given from the window's
//                                   top-left corner
//   drag-in <class|*> <title|*> <x1> <y1> <x2> <y2> [left|right]
//                                   press at the first point, move to the second and release
//   post <class|*> <title|*> <message> <wparam> <lparam>
//                                   post a message to such a window (numbers, 0x allowed)
//   up-to-date <class|*> <title|*> [png]
//                                   such a window's picture on the screen is what a full repaint
//                                   draws: its pixels are grabbed once pending paints are done
//                                   and the screen is still, the window and its children are
//                                   repainted, and the pixels must not have changed (a
//                                   difference is a missing invalidation; both pictures are
//                                   then saved beside the scenario as up-to-date-before.png and
//                                   up-to-date-after.png). png: the picture is saved there too
//   window-shown <class|*> <title|*> <0|1> <ms>
//                                   1: such a window is shown, not minimised, and is the
//                                   foreground window with the keys in a child of it and no menu
//                                   open; 0: no such window is shown (it is hidden or
//                                   minimised). The step says how long it waited
//   window-size <class|*> <title|*> <width|*> <height|*> <ms>
//                                   such a window has this size; the step says how long it waited
//   measure-toggle <class|*> <title|*> <chord> <count>
//                                   count times: the chord (as for key) hides such a window that is
//                                   in front, and the chord again brings it back in front; the time
//                                   from the second chord to the window in front is measured, and
//                                   the median and the extremes are printed (a chord without
//                                   effect is typed once more, as for toggle-key, and counted)
//   toggle-key <class|*> <title|*> <chord> <0|1> <ms>
//                                   type the chord (as for key) until such a window is shown in
//                                   front (1) or hidden (0) as for window-shown; a chord without
//                                   effect after a second is typed once more, and the step says so
//   dpi-changed <class|*> <title|*> <dpi> <left> <top> <right> <bottom>
//                                   send such a window WM_DPICHANGED as the system does when
//                                   it is moved to a monitor of that DPI: the first parameter
//                                   holds the DPI twice, the second points to the suggested
//                                   rectangle, which is written into the window's process
//   ink-box <class|*> <title|*> <x> <y> <width> <height> <min> <max>
//                                   in that part of such a window's picture (from its top-left
//                                   corner), the pixels that differ from the part's first pixel
//                                   span a box at least min and at most max pixels wide and high
//                                   (an icon drawn on a plain face); the step says the box
//   still-running <ms>              the started program is still running after ms (it was not
//                                   ended or restarted meanwhile)
//   detach                          leave the started programs running at the end
//
// The compared texts (box-title, box-text, box-text-has, file-contains, file-lacks) take the escapes \n, \r, \t
// and \\. A path that begins with "/" is a Unix path and is opened through drive Z:.
//
// Before the steps, "--place <name> <folder>" (any number of times) names a folder: every
// argument of every step has the name replaced by the folder, after the escapes are read, so no
// folder's path ever meets an escape (the scenarios name their own folder @DIR@ and the
// repository @SRC@). Waiting always polls (every 20 ms); a step never sleeps blindly.
// When a step fails, the driver names it and the reason, ends the programs it started (unless
// detached) and exits 1; a malformed scenario exits 2 before anything starts.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

constexpr DWORD kPollMs = 20;
constexpr DWORD kBoxWaitMs = 10000;
constexpr DWORD kBoxCloseMs = 5000;
// The message text of a message box is the static control with this identifier.
constexpr int kBoxTextId = 0xFFFF;

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// Output goes out as UTF-8 bytes, whatever the console code page.
void Say(const std::wstring& line) {
  std::string bytes = ToUtf8(line + L"\n");
  fwrite(bytes.data(), 1, bytes.size(), stdout);
  fflush(stdout);
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case L'n': out += L'\n'; break;
      case L'r': out += L'\r'; break;
      case L't': out += L'\t'; break;
      case L'\\': out += L'\\'; break;
      default: out += L'\\'; out += text[i]; break;
    }
  }
  return out;
}

// Shows line breaks and tabs of a compared text, so a failure message is one readable line.
std::wstring Visible(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\n') out += L"\\n";
    else if (c == L'\r') out += L"\\r";
    else if (c == L'\t') out += L"\\t";
    else out += c;
  }
  return out;
}

std::wstring WindowsPath(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  std::wstring out = L"Z:" + path;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

// Quotes one argument so that the started program's command-line parser gives it back unchanged
// (backslashes are literal except before a double quote).
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::optional<long long> ParseNumber(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  long long value = wcstoll(text.c_str(), &end, 0);
  if (*end != L'\0') return std::nullopt;
  return value;
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

// Reads a control's text through the owning process; a hung program fails the step instead of
// hanging the driver.
std::optional<std::wstring> ControlText(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 2000, &copied)) {
    return std::nullopt;
  }
  text.resize(copied);
  return text;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

bool Matches(const std::wstring& pattern, const std::wstring& value) {
  return pattern == L"*" || pattern == value;
}

// Polls the finder every kPollMs until it finds something or the time is up.
HWND WaitFor(DWORD timeout_ms, const std::function<HWND()>& find) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (HWND found = find()) return found;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(kPollMs);
  }
}

struct KeyName {
  const wchar_t* name;
  WORD vk;
};

constexpr KeyName kKeyNames[] = {
    {L"RETURN", VK_RETURN},   {L"ENTER", VK_RETURN},     {L"ESCAPE", VK_ESCAPE},
    {L"ESC", VK_ESCAPE},      {L"TAB", VK_TAB},          {L"SPACE", VK_SPACE},
    {L"BACK", VK_BACK},       {L"DELETE", VK_DELETE},    {L"INSERT", VK_INSERT},
    {L"HOME", VK_HOME},       {L"END", VK_END},          {L"PRIOR", VK_PRIOR},
    {L"PGUP", VK_PRIOR},      {L"NEXT", VK_NEXT},        {L"PGDN", VK_NEXT},
    {L"LEFT", VK_LEFT},       {L"RIGHT", VK_RIGHT},      {L"UP", VK_UP},
    {L"DOWN", VK_DOWN},       {L"SHIFT", VK_SHIFT},      {L"LSHIFT", VK_LSHIFT},
    {L"RSHIFT", VK_RSHIFT},   {L"CONTROL", VK_CONTROL},  {L"CTRL", VK_CONTROL},
    {L"LCONTROL", VK_LCONTROL}, {L"RCONTROL", VK_RCONTROL}, {L"MENU", VK_MENU},
    {L"ALT", VK_MENU},        {L"LMENU", VK_LMENU},      {L"RMENU", VK_RMENU},
    {L"LWIN", VK_LWIN},       {L"APPS", VK_APPS},
};

std::optional<WORD> ParseKey(const std::wstring& name) {
  if (name.size() == 1 && ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'0' && name[0] <= L'9'))) {
    return static_cast<WORD>(name[0]);
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == L'F') {
    auto number = ParseNumber(name.substr(1));
    if (number && *number >= 1 && *number <= 24) return static_cast<WORD>(VK_F1 + *number - 1);
  }
  for (const KeyName& key : kKeyNames) {
    if (name == key.name) return key.vk;
  }
  if (name.rfind(L"0x", 0) == 0) {
    auto number = ParseNumber(name);
    if (number && *number > 0 && *number < 0xFF) return static_cast<WORD>(*number);
  }
  return std::nullopt;
}

std::optional<std::vector<WORD>> ParseChord(const std::wstring& chord) {
  std::vector<WORD> keys;
  size_t start = 0;
  for (;;) {
    size_t plus = chord.find(L'+', start);
    auto key = ParseKey(chord.substr(start, plus == std::wstring::npos ? plus : plus - start));
    if (!key) return std::nullopt;
    keys.push_back(*key);
    if (plus == std::wstring::npos) return keys;
    start = plus + 1;
  }
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  switch (vk) {
    case VK_RSHIFT:
      // Without its own scan code the right Shift reads as the left one.
      input.ki.wScan = 0x36;
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    case VK_RCONTROL: case VK_RMENU: case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_LWIN: case VK_APPS:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
  return input;
}

// Maps a pixel to SendInput's 0..65535 range, rounding up so that the system's mapping back
// lands on the same pixel.
LONG Normalised(int pixel, int extent) {
  return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + extent - 1) / extent);
}

std::optional<int> ButtonId(const std::wstring& name) {
  static constexpr struct {
    const wchar_t* name;
    int id;
  } kButtons[] = {{L"IDOK", IDOK},       {L"IDCANCEL", IDCANCEL}, {L"IDABORT", IDABORT},
                  {L"IDRETRY", IDRETRY}, {L"IDIGNORE", IDIGNORE}, {L"IDYES", IDYES},
                  {L"IDNO", IDNO}};
  for (const auto& button : kButtons) {
    if (name == button.name) return button.id;
  }
  return std::nullopt;
}

// ---- pictures ----

// A window's pixels as the screen shows them: 0x00RRGGBB, rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const Picture&) const = default;
};

Picture GrabScreen(const RECT& area) {
  Picture picture;
  picture.width = area.right - area.left;
  picture.height = area.bottom - area.top;
  if (picture.width <= 0 || picture.height <= 0) return picture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(picture.width) * picture.height);
    for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The screen's picture of the area once it has stopped changing: the system may put a finished
// paint on the screen a little later, and a picture caught half-way would be no evidence.
Picture StillPicture(const RECT& area) {
  Picture last = GrabScreen(area);
  const ULONGLONG deadline = GetTickCount64() + 3000;
  int same = 0;
  while (same < 3 && GetTickCount64() < deadline) {
    Sleep(kPollMs);
    Picture next = GrabScreen(area);
    same = next == last ? same + 1 : 0;
    last = std::move(next);
  }
  return last;
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  PutBigEndian(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

// A PNG of the picture (RGB, stored without compression: a few hundred kilobytes at most for a
// window, and no library to depend on).
std::string PngOf(const Picture& picture) {
  std::string raw;
  for (int y = 0; y < picture.height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t pixel = picture.pixels[static_cast<size_t>(y) * picture.width + x];
      raw += static_cast<char>((pixel >> 16) & 0xFF);
      raw += static_cast<char>((pixel >> 8) & 0xFF);
      raw += static_cast<char>(pixel & 0xFF);
    }
  }
  std::string deflated = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t length = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + length >= raw.size();
    deflated += static_cast<char>(last ? 1 : 0);
    deflated += static_cast<char>(length & 0xFF);
    deflated += static_cast<char>(length >> 8);
    deflated += static_cast<char>(~length & 0xFF);
    deflated += static_cast<char>((~length >> 8) & 0xFF);
    deflated.append(raw, at, length);
    if (last) break;
  }
  PutBigEndian(deflated, (b << 16) | a);
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(picture.width));
  PutBigEndian(header, static_cast<uint32_t>(picture.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", deflated);
  PutChunk(png, "IEND", "");
  return png;
}

bool SavePicture(const std::wstring& path, const Picture& picture) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string png = PngOf(picture);
  DWORD written = 0;
  const bool ok = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) && written == png.size();
  CloseHandle(file);
  return ok;
}

struct Step {
  std::wstring name;
  std::vector<std::wstring> args;
};

// The texts that stand for folders in a scenario (@DIR@, @SRC@) and the folders themselves.
using Places = std::vector<std::pair<std::wstring, std::wstring>>;

// Which arguments of a step are texts that take the escapes.
bool TakesEscapes(const std::wstring& step, size_t index) {
  if (step == L"box-title" || step == L"box-text" || step == L"box-text-has") return index == 0;
  if (step == L"file-contains" || step == L"file-lacks") return index == 1;
  return false;
}

// A step's arguments as the step uses them: escapes first, then the places. A folder is put in
// only after the escapes are read, so a path such as Z:\...\nested\... is never taken for one.
Step Resolve(const Step& step, const Places& places) {
  Step resolved{step.name, {}};
  for (size_t i = 0; i < step.args.size(); ++i) {
    std::wstring arg = TakesEscapes(step.name, i) ? Unescape(step.args[i]) : step.args[i];
    for (const auto& [name, folder] : places) {
      for (size_t at = arg.find(name); at != std::wstring::npos; at = arg.find(name, at + folder.size())) {
        arg.replace(at, name.size(), folder);
      }
    }
    resolved.args.push_back(std::move(arg));
  }
  return resolved;
}

class Driver {
 public:
  Driver(std::vector<Step> steps, Places places) : steps_(std::move(steps)), places_(std::move(places)) {}
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  ~Driver() {
    ReleaseHeldKeys();
    if (detached_) return;
    for (Started& program : started_) {
      if (WaitForSingleObject(program.process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process.get(), 1);
        WaitForSingleObject(program.process.get(), 5000);
        Say(L"ended " + program.label + L", which was still running");
      }
    }
  }

  [[nodiscard]] bool Run() {
    for (size_t i = 0; i < steps_.size(); ++i) {
      const Step step = Resolve(steps_[i], places_);
      std::wstring heading = L"step " + std::to_wstring(i + 1) + L" " + step.name;
      for (const std::wstring& arg : step.args) heading += L" " + QuoteArgument(Visible(arg));
      Say(heading);
      std::wstring failure = Perform(step);
      if (!failure.empty()) {
        Say(L"step " + std::to_wstring(i + 1) + L" " + step.name + L": FAILED: " + failure);
        Say(L"scenario failed at step " + std::to_wstring(i + 1));
        return false;
      }
    }
    Say(L"scenario passed (" + std::to_wstring(steps_.size()) + L" steps)");
    return true;
  }

 private:
  struct Started {
    std::wstring label;
    UniqueHandle process;
    DWORD pid;
  };

  // Each step returns an empty text when it passed, else the reason it failed.
  std::wstring Perform(const Step& step) {
    const auto& a = step.args;
    if (step.name == L"start") return Start(a, false);
    if (step.name == L"start-detached") return Start(a, true);
    if (step.name == L"detach") {
      detached_ = true;
      return {};
    }
    if (step.name == L"fresh-dir") return FreshDir(a[0]);
    if (step.name == L"file-lacks") return FileLacks(a);
    if (step.name == L"copy-file") return CopyFileStep(a[0], a[1]);
    if (step.name == L"set-env") return SetEnv(a[0], a[1]);
    if (step.name == L"window-rect") return WindowRectStep(a);
    if (step.name == L"show-state") return ShowStateStep(a[0], a[1], a[2], *ParseNumber(a[3]));
    if (step.name == L"topmost") return TopmostStep(a[0], a[1], *ParseNumber(a[2]) != 0, *ParseNumber(a[3]));
    if (step.name == L"window-gone") return WindowGone(a[0], a[1], *ParseNumber(a[2]));
    if (step.name == L"file-exists") return FileExists(a[0]);
    if (step.name == L"file-absent") return FileAbsent(a[0]);
    if (step.name == L"file-contains") return FileContains(a);
    if (step.name == L"wait-window") return WaitWindow(a[0], a[1], *ParseNumber(a[2]));
    if (step.name == L"close-window") return CloseWindow(a[0], a[1]);
    if (step.name == L"key") return Keys(a);
    if (step.name == L"key-down") return KeysHeld(a, false);
    if (step.name == L"key-up") return KeysHeld(a, true);
    if (step.name == L"click") return Click(*ParseNumber(a[0]), *ParseNumber(a[1]));
    if (step.name == L"window-centred") return WindowCentred(a);
    if (step.name == L"window-exstyle") return WindowExStyle(a);
    if (step.name == L"click-in") return ClickIn(a);
    if (step.name == L"drag-in") return DragIn(a);
    if (step.name == L"post") return PostStep(a);
    if (step.name == L"up-to-date") return UpToDate(a);
    if (step.name == L"window-shown") return WindowShownStep(a[0], a[1], *ParseNumber(a[2]) != 0, *ParseNumber(a[3]));
    if (step.name == L"window-size") return WindowSizeStep(a);
    if (step.name == L"still-running") return StillRunning(*ParseNumber(a[0]));
    if (step.name == L"dpi-changed") return DpiChanged(a);
    if (step.name == L"ink-box") return InkBox(a);
    if (step.name == L"measure-toggle") return MeasureToggle(a);
    if (step.name == L"toggle-key") return ToggleKey(a);
    // The remaining steps concern the started program.
    if (started_.empty()) return L"no program was started";
    if (step.name == L"wait-own-window") return WaitOwnWindow(*ParseNumber(a[0]));
    if (step.name == L"box-title") return BoxTitle(a[0]);
    if (step.name == L"box-text") return BoxText(a[0], false);
    if (step.name == L"box-text-has") return BoxText(a[0], true);
    if (step.name == L"box-press") return BoxPress(a[0]);
    if (step.name == L"expect-exit") return ExpectExit(*ParseNumber(a[0]), *ParseNumber(a[1]));
    if (step.name == L"expect-no-window") return ExpectNoWindow(*ParseNumber(a[0]));
    return L"unknown step";
  }

  Started& Current() { return started_.back(); }

  std::wstring Start(const std::vector<std::wstring>& args, bool detached) {
    std::wstring command_line = QuoteArgument(WindowsPath(args[0]));
    for (size_t i = 1; i < args.size(); ++i) command_line += L" " + QuoteArgument(args[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (detached) startup.dwFlags = STARTF_USESTDHANDLES;  // and every handle null
    PROCESS_INFORMATION info = {};
    // No handles are inherited: a program that outlives the driver must not hold its output
    // open (CTest waits for it).
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, detached ? DETACHED_PROCESS : 0,
                        nullptr, nullptr, &startup, &info)) {
      return L"CreateProcess failed with error " + std::to_wstring(GetLastError());
    }
    CloseHandle(info.hThread);
    started_.push_back({args[0], UniqueHandle(info.hProcess), info.dwProcessId});
    Say(L"  started process " + std::to_wstring(info.dwProcessId));
    return {};
  }

  // Empties the folder rather than removing it: it may be the driver's working folder.
  std::wstring FreshDir(const std::wstring& path) {
    std::error_code error;
    std::filesystem::path folder(WindowsPath(path));
    std::filesystem::create_directories(folder, error);
    if (error) return L"cannot create the folder: " + ToWide(error.message());
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      std::filesystem::remove_all(entry.path(), error);
      if (error) return L"cannot remove " + entry.path().wstring() + L": " + ToWide(error.message());
    }
    if (error) return L"cannot list the folder: " + ToWide(error.message());
    return {};
  }

  static std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    UniqueHandle file(CreateFileW(WindowsPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      file.release();
      return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
      bytes.append(buffer, read);
    }
    return bytes;
  }

  std::wstring FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(WindowsPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return L"no such file";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return L"it is a folder";
    return {};
  }

  std::wstring FileAbsent(const std::wstring& path) {
    if (GetFileAttributesW(WindowsPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    return L"the file exists";
  }

  std::wstring FileContains(const std::vector<std::wstring>& args) {
    const std::string wanted = ToUtf8(args[1]);
    const DWORD timeout = args.size() > 2 ? static_cast<DWORD>(*ParseNumber(args[2])) : 0;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    std::optional<std::string> bytes;
    for (;;) {
      bytes = ReadFileBytes(args[0]);
      if (bytes && bytes->find(wanted) != std::string::npos) return {};
      if (GetTickCount64() >= deadline) break;
      Sleep(kPollMs);
    }
    if (!bytes) return L"cannot open the file";
    return L"the text is not in the file, which holds \"" + Visible(ToWide(*bytes)) + L"\"";
  }

  std::wstring FileLacks(const std::vector<std::wstring>& args) {
    const std::string unwanted = ToUtf8(args[1]);
    const DWORD timeout = args.size() > 2 ? static_cast<DWORD>(*ParseNumber(args[2])) : 0;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    std::optional<std::string> bytes;
    for (;;) {
      bytes = ReadFileBytes(args[0]);
      if (bytes && bytes->find(unwanted) == std::string::npos) return {};
      if (GetTickCount64() >= deadline) break;
      Sleep(kPollMs);
    }
    if (!bytes) return L"cannot open the file";
    return L"the text is still in the file, which holds \"" + Visible(ToWide(*bytes)) + L"\"";
  }

  std::wstring CopyFileStep(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(WindowsPath(from).c_str(), WindowsPath(to).c_str(), FALSE)) {
      return L"CopyFile failed with error " + std::to_wstring(GetLastError());
    }
    return {};
  }

  std::wstring SetEnv(const std::wstring& name, const std::wstring& value) {
    if (!SetEnvironmentVariableW(name.c_str(), WindowsPath(value).c_str())) {
      return L"SetEnvironmentVariable failed with error " + std::to_wstring(GetLastError());
    }
    return {};
  }

  static HWND FindTopLevel(const std::wstring& class_name, const std::wstring& title) {
    for (HWND window : VisibleTopLevelWindows()) {
      if (Matches(class_name, ClassOf(window)) && Matches(title, TitleOf(window))) return window;
    }
    return nullptr;
  }

  // Polls `check` on the window until it answers an empty text or the time is up; the last
  // answer is the failure.
  std::wstring PollWindow(const std::wstring& class_name, const std::wstring& title, long long timeout,
                          const std::function<std::wstring(HWND)>& check) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout);
    for (;;) {
      HWND window = FindTopLevel(class_name, title);
      std::wstring failure = window ? check(window) : L"no such window";
      if (failure.empty()) return {};
      if (GetTickCount64() >= deadline) return failure + L" after " + std::to_wstring(timeout) + L" ms";
      Sleep(kPollMs);
    }
  }

  std::wstring WindowRectStep(const std::vector<std::wstring>& args) {
    const RECT wanted = {static_cast<LONG>(*ParseNumber(args[2])), static_cast<LONG>(*ParseNumber(args[3])),
                         static_cast<LONG>(*ParseNumber(args[4])), static_cast<LONG>(*ParseNumber(args[5]))};
    return PollWindow(args[0], args[1], *ParseNumber(args[6]), [&](HWND window) -> std::wstring {
      RECT rect = {};
      if (!GetWindowRect(window, &rect)) return L"GetWindowRect failed";
      if (EqualRect(&rect, &wanted)) return {};
      return L"the rectangle is " + std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
             std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom);
    });
  }

  std::wstring WindowCentred(const std::vector<std::wstring>& args) {
    const long long width = *ParseNumber(args[2]);
    const long long height = *ParseNumber(args[3]);
    return PollWindow(args[0], args[1], *ParseNumber(args[4]), [&](HWND window) -> std::wstring {
      RECT work = {};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      const long long left = work.left + (work.right - work.left - width) / 2;
      const long long top = work.top + (work.bottom - work.top - height) / 2;
      RECT rect = {};
      if (!GetWindowRect(window, &rect)) return L"GetWindowRect failed";
      if (rect.left == left && rect.top == top && rect.right - rect.left == width && rect.bottom - rect.top == height) {
        return {};
      }
      return L"the rectangle is " + std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
             std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom) + L", centred would be " +
             std::to_wstring(left) + L" " + std::to_wstring(top) + L" " + std::to_wstring(left + width) + L" " +
             std::to_wstring(top + height);
    });
  }

  std::wstring WindowExStyle(const std::vector<std::wstring>& args) {
    const LONG bits = static_cast<LONG>(*ParseNumber(args[2]));
    const bool set = *ParseNumber(args[3]) != 0;
    return PollWindow(args[0], args[1], *ParseNumber(args[4]), [&](HWND window) -> std::wstring {
      const LONG style = GetWindowLongW(window, GWL_EXSTYLE);
      if (set ? (style & bits) == bits : (style & bits) == 0) return {};
      return L"the extended style is 0x" + Hex(static_cast<unsigned long>(style));
    });
  }

  static std::wstring Hex(unsigned long value) {
    wchar_t text[16];
    swprintf(text, 16, L"%lX", value);
    return text;
  }

  // The screen point of an offset from a window's top-left corner (waiting up to 5 s for it).
  std::wstring PointIn(const std::wstring& class_name, const std::wstring& title, long long x, long long y,
                       POINT& point) {
    return PollWindow(class_name, title, 5000, [&](HWND window) -> std::wstring {
      RECT rect = {};
      if (!GetWindowRect(window, &rect)) return L"GetWindowRect failed";
      point = {static_cast<LONG>(rect.left + x), static_cast<LONG>(rect.top + y)};
      return {};
    });
  }

  std::wstring Mouse(POINT point, DWORD flags) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (point.x < 0 || point.y < 0 || point.x >= width || point.y >= height) return L"the point lies outside the screen";
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalised(point.x, width);
    input.mi.dy = Normalised(point.y, height);
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    if (SendInput(1, &input, sizeof(INPUT)) != 1) return L"SendInput failed";
    return {};
  }

  static bool ButtonFlags(const std::wstring& name, DWORD& down, DWORD& up) {
    if (name == L"left") {
      down = MOUSEEVENTF_LEFTDOWN;
      up = MOUSEEVENTF_LEFTUP;
    } else if (name == L"right") {
      down = MOUSEEVENTF_RIGHTDOWN;
      up = MOUSEEVENTF_RIGHTUP;
    } else {
      return false;
    }
    return true;
  }

  std::wstring ClickIn(const std::vector<std::wstring>& args) {
    POINT point = {};
    std::wstring failure = PointIn(args[0], args[1], *ParseNumber(args[2]), *ParseNumber(args[3]), point);
    if (!failure.empty()) return failure;
    const std::wstring button = args.size() > 4 ? args[4] : L"left";
    if (button == L"move") return Mouse(point, 0);
    DWORD down = 0, up = 0;
    if (!ButtonFlags(button, down, up)) return L"unknown mouse button " + button;
    failure = Mouse(point, 0);
    if (failure.empty()) failure = Mouse(point, down);
    if (failure.empty()) failure = Mouse(point, up);
    return failure;
  }

  std::wstring DragIn(const std::vector<std::wstring>& args) {
    POINT from = {}, to = {};
    std::wstring failure = PointIn(args[0], args[1], *ParseNumber(args[2]), *ParseNumber(args[3]), from);
    if (failure.empty()) failure = PointIn(args[0], args[1], *ParseNumber(args[4]), *ParseNumber(args[5]), to);
    if (!failure.empty()) return failure;
    DWORD down = 0, up = 0;
    if (!ButtonFlags(args.size() > 6 ? args[6] : L"left", down, up)) return L"unknown mouse button";
    failure = Mouse(from, 0);
    if (failure.empty()) failure = Mouse(from, down);
    // The move goes in steps, as a hand would, so that every button on the way sees it.
    for (int i = 1; failure.empty() && i <= 4; ++i) {
      failure = Mouse({from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4}, 0);
    }
    if (failure.empty()) failure = Mouse(to, up);
    return failure;
  }

  std::wstring PostStep(const std::vector<std::wstring>& args) {
    HWND window = FindTopLevel(args[0], args[1]);
    if (window == nullptr) return L"no such window";
    if (!PostMessageW(window, static_cast<UINT>(*ParseNumber(args[2])), static_cast<WPARAM>(*ParseNumber(args[3])),
                      static_cast<LPARAM>(*ParseNumber(args[4])))) {
      return L"PostMessage failed";
    }
    return {};
  }

  std::wstring DpiChanged(const std::vector<std::wstring>& args) {
    HWND window = FindTopLevel(args[0], args[1]);
    if (window == nullptr) return L"no such window";
    const long long dpi = *ParseNumber(args[2]);
    const RECT suggested = {static_cast<LONG>(*ParseNumber(args[3])), static_cast<LONG>(*ParseNumber(args[4])),
                            static_cast<LONG>(*ParseNumber(args[5])), static_cast<LONG>(*ParseNumber(args[6]))};
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_id));
    if (!process) return L"OpenProcess failed with error " + std::to_wstring(GetLastError());
    // The rectangle must be readable where the window's procedure runs.
    void* remote = VirtualAllocEx(process.get(), nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) return L"VirtualAllocEx failed with error " + std::to_wstring(GetLastError());
    SIZE_T written = 0;
    std::wstring failure;
    DWORD_PTR result = 0;
    if (!WriteProcessMemory(process.get(), remote, &suggested, sizeof suggested, &written) ||
        written != sizeof suggested) {
      failure = L"WriteProcessMemory failed with error " + std::to_wstring(GetLastError());
    } else if (!SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote),
                                    SMTO_ABORTIFHUNG, 10000, &result)) {
      failure = L"the window did not answer WM_DPICHANGED (error " + std::to_wstring(GetLastError()) + L")";
    }
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return failure;
  }

  std::wstring InkBox(const std::vector<std::wstring>& args) {
    HWND window = FindTopLevel(args[0], args[1]);
    if (window == nullptr) return L"no such window";
    const long long x = *ParseNumber(args[2]);
    const long long y = *ParseNumber(args[3]);
    const long long width = *ParseNumber(args[4]);
    const long long height = *ParseNumber(args[5]);
    const long long smallest = *ParseNumber(args[6]);
    const long long largest = *ParseNumber(args[7]);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT area{};
    if (!GetWindowRect(window, &area)) return L"the window is gone";
    const Picture picture = StillPicture(area);
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > picture.width || y + height > picture.height) {
      return L"the part is not inside the window of " + std::to_wstring(picture.width) + L" x " +
             std::to_wstring(picture.height);
    }
    auto at = [&](long long px, long long py) { return picture.pixels[static_cast<size_t>(py * picture.width + px)]; };
    const uint32_t face = at(x, y);
    long long left = x + width, top = y + height, right = x - 1, bottom = y - 1;
    for (long long py = y; py < y + height; ++py) {
      for (long long px = x; px < x + width; ++px) {
        if (at(px, py) == face) continue;
        left = std::min(left, px);
        top = std::min(top, py);
        right = std::max(right, px);
        bottom = std::max(bottom, py);
      }
    }
    const long long inkWidth = right >= left ? right - left + 1 : 0;
    const long long inkHeight = bottom >= top ? bottom - top + 1 : 0;
    const std::wstring box = std::to_wstring(inkWidth) + L" x " + std::to_wstring(inkHeight) + L" at (" +
                             std::to_wstring(left) + L", " + std::to_wstring(top) + L")";
    Say(L"  the ink spans " + box);
    if (inkWidth < smallest || inkWidth > largest || inkHeight < smallest || inkHeight > largest) {
      return L"the ink spans " + box + L", expected " + std::to_wstring(smallest) + L" to " + std::to_wstring(largest);
    }
    return {};
  }

  struct AnySearch {
    const std::wstring* class_name;
    const std::wstring* title;
    HWND found;
  };
  static BOOL CALLBACK CollectAny(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<AnySearch*>(param);
    if (!Matches(*search->class_name, ClassOf(window)) || !Matches(*search->title, TitleOf(window))) return TRUE;
    search->found = window;
    return FALSE;
  }

  // A shown window of the class and title, else a hidden one.
  static HWND FindAnyTopLevel(const std::wstring& class_name, const std::wstring& title) {
    if (HWND shown = FindTopLevel(class_name, title)) return shown;
    AnySearch search{&class_name, &title, nullptr};
    EnumWindows(CollectAny, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // Shown in front: visible, not minimised, the foreground window, with the keys in one of its
  // children and no menu open (typed keys then reach that child).
  static bool InFront(HWND window) {
    if (!IsWindowVisible(window) || IsIconic(window) || GetForegroundWindow() != window) return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return false;
    return info.hwndFocus != nullptr && IsChild(window, info.hwndFocus) && (info.flags & GUI_INMENUMODE) == 0;
  }

  // Polls every millisecond, for timings.
  static long long WaitShown(const std::wstring& class_name, const std::wstring& title, bool shown,
                             long long timeout) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      HWND window = FindAnyTopLevel(class_name, title);
      const bool front = window != nullptr && InFront(window);
      const bool gone = window == nullptr || !IsWindowVisible(window) || IsIconic(window);
      if (shown ? front : gone) return static_cast<long long>(GetTickCount64() - start);
      if (GetTickCount64() - start >= static_cast<ULONGLONG>(timeout)) return -1;
      Sleep(1);
    }
  }

  std::wstring WindowShownStep(const std::wstring& class_name, const std::wstring& title, bool shown,
                               long long timeout) {
    const long long took = WaitShown(class_name, title, shown, timeout);
    if (took < 0) {
      HWND window = FindAnyTopLevel(class_name, title);
      if (window == nullptr) return L"no such window";
      std::wstring state = IsWindowVisible(window) ? (IsIconic(window) ? L"minimised" : L"shown") : L"hidden";
      if (GetForegroundWindow() != window) state += L", not in front";
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        if (info.hwndFocus == nullptr || !IsChild(window, info.hwndFocus)) state += L", no child has the keys";
        if ((info.flags & GUI_INMENUMODE) != 0) state += L", a menu is open";
      }
      return L"the window is " + state + L" after " + std::to_wstring(timeout) + L" ms";
    }
    Say(L"  took " + std::to_wstring(took) + L" ms");
    return {};
  }

  std::wstring WindowSizeStep(const std::vector<std::wstring>& args) {
    const ULONGLONG start = GetTickCount64();
    const std::wstring failure = PollWindow(args[0], args[1], *ParseNumber(args[4]), [&](HWND window) -> std::wstring {
      RECT rect = {};
      if (!GetWindowRect(window, &rect)) return L"GetWindowRect failed";
      const long long width = rect.right - rect.left;
      const long long height = rect.bottom - rect.top;
      if ((args[2] == L"*" || *ParseNumber(args[2]) == width) && (args[3] == L"*" || *ParseNumber(args[3]) == height)) {
        return {};
      }
      return L"the size is " + std::to_wstring(width) + L"x" + std::to_wstring(height);
    });
    if (failure.empty()) Say(L"  took " + std::to_wstring(GetTickCount64() - start) + L" ms");
    return failure;
  }

  // Types the chord until the window is shown (or hidden): a chord that has no effect within a
  // second is typed once more (measured under Wine: a window that was just activated or
  // minimised takes the X server's key state, which can let go of the modifiers SendInput holds,
  // and the key then arrives bare). Gives the milliseconds from the last chord, or -1.
  long long ChordUntil(const std::wstring& class_name, const std::wstring& title, const std::wstring& chord,
                       bool shown, long long timeout, int& resent) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!Keys({chord}).empty()) return -1;
      const long long took = WaitShown(class_name, title, shown, attempt == 0 ? std::min(timeout, 1000LL) : timeout);
      if (took >= 0) return took;
      ++resent;
    }
    return -1;
  }

  std::wstring ToggleKey(const std::vector<std::wstring>& args) {
    int resent = 0;
    const long long took = ChordUntil(args[0], args[1], args[2], *ParseNumber(args[3]) != 0, *ParseNumber(args[4]), resent);
    if (took < 0) return L"the chord did not " + std::wstring(*ParseNumber(args[3]) != 0 ? L"show" : L"hide") + L" the window";
    Say(L"  took " + std::to_wstring(took) + L" ms" + (resent > 0 ? L" (the chord typed again once)" : L""));
    return {};
  }

  std::wstring MeasureToggle(const std::vector<std::wstring>& args) {
    const long long count = *ParseNumber(args[3]);
    std::vector<long long> times;
    int resent = 0;
    for (long long i = 0; i < count; ++i) {
      if (WaitShown(args[0], args[1], true, 5000) < 0) return L"the window is not in front before round " + std::to_wstring(i + 1);
      if (ChordUntil(args[0], args[1], args[2], false, 5000, resent) < 0) {
        return L"the chord did not hide the window in round " + std::to_wstring(i + 1);
      }
      const long long took = ChordUntil(args[0], args[1], args[2], true, 5000, resent);
      if (took < 0) return L"the chord did not bring the window back in round " + std::to_wstring(i + 1);
      times.push_back(took);
    }
    std::vector<long long> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::wstring all;
    for (long long t : times) all += L" " + std::to_wstring(t);
    const long long median = sorted.empty() ? 0 : (sorted.size() % 2 == 1 ? sorted[sorted.size() / 2]
                                                   : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2);
    Say(L"  hotkey to window in front, ms:" + all);
    Say(L"  median " + std::to_wstring(median) + L" ms, min " + std::to_wstring(sorted.front()) + L" ms, max " +
        std::to_wstring(sorted.back()) + L" ms over " + std::to_wstring(sorted.size()) + L" rounds; chords typed again: " +
        std::to_wstring(resent));
    return {};
  }

  static std::wstring StateName(HWND window) {
    if (IsIconic(window)) return L"min";
    if (IsZoomed(window)) return L"max";
    return L"normal";
  }

  std::wstring ShowStateStep(const std::wstring& class_name, const std::wstring& title, const std::wstring& state,
                             long long timeout) {
    return PollWindow(class_name, title, timeout, [&](HWND window) -> std::wstring {
      const std::wstring actual = StateName(window);
      return actual == state ? std::wstring() : L"the window is shown " + actual;
    });
  }

  std::wstring TopmostStep(const std::wstring& class_name, const std::wstring& title, bool topmost,
                           long long timeout) {
    return PollWindow(class_name, title, timeout, [&](HWND window) -> std::wstring {
      const bool actual = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      if (actual == topmost) return {};
      return actual ? L"the window is always on top" : L"the window is not always on top";
    });
  }

  std::wstring WindowGone(const std::wstring& class_name, const std::wstring& title, long long timeout) {
    HWND gone = WaitFor(static_cast<DWORD>(timeout), [&]() -> HWND {
      return FindTopLevel(class_name, title) ? nullptr : GetDesktopWindow();
    });
    if (!gone) return L"the window is still there after " + std::to_wstring(timeout) + L" ms";
    return {};
  }

  std::wstring UpToDate(const std::vector<std::wstring>& args) {
    HWND window = FindTopLevel(args[0], args[1]);
    if (!window) return L"no such window";
    // Paints already asked for are done first: only a picture that nothing will repaint counts.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    RECT area{};
    if (!GetWindowRect(window, &area)) return L"the window is gone";
    const Picture before = StillPicture(area);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    const Picture after = StillPicture(area);
    if (args.size() > 2 && !SavePicture(WindowsPath(args[2]), after)) return L"cannot save the picture";
    if (before == after) return {};
    size_t differing = 0;
    RECT box{after.width, after.height, -1, -1};
    for (int y = 0; y < after.height; ++y) {
      for (int x = 0; x < after.width; ++x) {
        const size_t at = static_cast<size_t>(y) * after.width + x;
        if (before.pixels.size() == after.pixels.size() && before.pixels[at] == after.pixels[at]) continue;
        ++differing;
        box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                   std::max<LONG>(box.bottom, y + 1)};
      }
    }
    (void)SavePicture(L"up-to-date-before.png", before);
    (void)SavePicture(L"up-to-date-after.png", after);
    return L"a repaint changed " + std::to_wstring(differing) + L" pixels in (" + std::to_wstring(box.left) + L", " +
           std::to_wstring(box.top) + L")-(" + std::to_wstring(box.right) + L", " + std::to_wstring(box.bottom) +
           L") of the window: something changed without asking for a repaint (before and after saved as "
           L"up-to-date-before.png and up-to-date-after.png)";
  }

  std::wstring WaitWindow(const std::wstring& class_name, const std::wstring& title,
                          long long timeout) {
    HWND found = WaitFor(static_cast<DWORD>(timeout), [&]() -> HWND {
      for (HWND window : VisibleTopLevelWindows()) {
        if (Matches(class_name, ClassOf(window)) && Matches(title, TitleOf(window))) return window;
      }
      return nullptr;
    });
    if (!found) return L"no such window after " + std::to_wstring(timeout) + L" ms";
    return {};
  }

  std::wstring CloseWindow(const std::wstring& class_name, const std::wstring& title) {
    int closed = 0;
    for (HWND window : VisibleTopLevelWindows()) {
      if (Matches(class_name, ClassOf(window)) && Matches(title, TitleOf(window))) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ++closed;
      }
    }
    if (closed == 0) return L"no such window";
    return {};
  }

  HWND OwnWindow(const std::wstring& class_name) {
    for (HWND window : VisibleTopLevelWindows()) {
      if (ProcessOf(window) == Current().pid && Matches(class_name, ClassOf(window))) return window;
    }
    return nullptr;
  }

  std::wstring WaitOwnWindow(long long timeout) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout);
    for (;;) {
      const bool ended = WaitForSingleObject(Current().process.get(), 0) == WAIT_OBJECT_0;
      // The end is read before the windows, so a window shown just before the end still counts.
      if (OwnWindow(L"*")) return {};
      if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(Current().process.get(), &code);
        return L"the program ended with exit code " + std::to_wstring(code) +
               L" without showing a window";
      }
      if (GetTickCount64() >= deadline) {
        return L"the program showed no window within " + std::to_wstring(timeout) + L" ms";
      }
      Sleep(kPollMs);
    }
  }

  HWND FindBox() {
    return WaitFor(kBoxWaitMs, [&] { return OwnWindow(L"#32770"); });
  }

  std::wstring BoxTitle(const std::wstring& expected) {
    HWND box = FindBox();
    if (!box) return L"the program showed no message box";
    std::wstring title = TitleOf(box);
    if (title != expected) {
      return L"caption \"" + Visible(title) + L"\", expected \"" + Visible(expected) + L"\"";
    }
    return {};
  }

  std::wstring BoxText(const std::wstring& expected, bool part) {
    HWND box = FindBox();
    if (!box) return L"the program showed no message box";
    HWND control = GetDlgItem(box, kBoxTextId);
    if (!control) return L"the box has no message text";
    std::optional<std::wstring> text = ControlText(control);
    if (!text) return L"the box did not answer WM_GETTEXT";
    if (part ? text->find(expected) == std::wstring::npos : *text != expected) {
      return L"text \"" + Visible(*text) + (part ? L"\", expected a part \"" : L"\", expected \"") + Visible(expected) +
             L"\"";
    }
    return {};
  }

  std::wstring BoxPress(const std::wstring& button_name) {
    const int id = *ButtonId(button_name);
    HWND box = FindBox();
    if (!box) return L"the program showed no message box";
    HWND button = GetDlgItem(box, id);
    if (!button) return L"the box has no " + button_name + L" button";
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (!WaitFor(kBoxCloseMs, [&] { return IsWindow(box) ? nullptr : box; })) {
      return L"the box is still open " + std::to_wstring(kBoxCloseMs) + L" ms after the press";
    }
    return {};
  }

  std::wstring Keys(const std::vector<std::wstring>& chords) {
    for (const std::wstring& chord : chords) {
      std::vector<WORD> keys = *ParseChord(chord);
      // The foreground window's thread has taken its pending messages first (measured under
      // Wine: a window that was just activated takes the key state of the X server when its
      // focus event arrives, which lets go of modifiers typed here a moment before).
      if (HWND front = GetForegroundWindow()) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(front, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
      }
      // The held keys of a chord are down for every program before its last key is typed
      // (measured under Wine: a global hotkey typed at once with its modifiers was sometimes
      // taken for the bare key while the receiving program was busy).
      for (size_t i = 0; i + 1 < keys.size(); ++i) {
        INPUT input = KeyInput(keys[i], false);
        if (SendInput(1, &input, sizeof(INPUT)) != 1) return L"SendInput refused a key of " + chord;
        const ULONGLONG deadline = GetTickCount64() + 1000;
        while ((GetAsyncKeyState(keys[i]) & 0x8000) == 0 && GetTickCount64() < deadline) Sleep(1);
      }
      std::vector<INPUT> inputs;
      inputs.push_back(KeyInput(keys.back(), false));
      for (auto vk = keys.rbegin(); vk != keys.rend(); ++vk) inputs.push_back(KeyInput(*vk, true));
      UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
      if (sent != inputs.size()) return L"SendInput took " + std::to_wstring(sent) + L" of the events of " + chord;
      // ...and are up again before the next chord: a key still down counts as held (a hotkey
      // that must not repeat then does not fire).
      const ULONGLONG deadline = GetTickCount64() + 1000;
      for (WORD vk : keys) {
        while ((GetAsyncKeyState(vk) & 0x8000) != 0 && GetTickCount64() < deadline) Sleep(1);
      }
    }
    return {};
  }

  // Presses or releases single keys; keys left held are released when the driver ends.
  std::wstring KeysHeld(const std::vector<std::wstring>& names, bool up) {
    for (const std::wstring& name : names) {
      WORD vk = *ParseKey(name);
      INPUT input = KeyInput(vk, up);
      if (SendInput(1, &input, sizeof(INPUT)) != 1) return L"SendInput refused " + name;
      if (up) {
        std::erase(held_, vk);
      } else {
        held_.push_back(vk);
      }
    }
    return {};
  }

  void ReleaseHeldKeys() {
    while (!held_.empty()) {
      INPUT input = KeyInput(held_.back(), true);
      SendInput(1, &input, sizeof(INPUT));
      held_.pop_back();
    }
  }

  std::wstring Click(long long x, long long y) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (x < 0 || y < 0 || x >= width || y >= height) {
      return L"the point lies outside the " + std::to_wstring(width) + L"x" +
             std::to_wstring(height) + L" screen";
    }
    // Every event carries the point: a window that has just appeared under the pointer's old
    // place can report that place between the events, and a press without a move would land there.
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
      input.type = INPUT_MOUSE;
      input.mi.dx = Normalised(static_cast<int>(x), width);
      input.mi.dy = Normalised(static_cast<int>(y), height);
      input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    UINT sent = SendInput(3, inputs, sizeof(INPUT));
    if (sent != 3) return L"SendInput took " + std::to_wstring(sent) + L" of 3 mouse events";
    return {};
  }

  std::wstring ExpectExit(long long expected, long long timeout) {
    HANDLE process = Current().process.get();
    if (WaitForSingleObject(process, static_cast<DWORD>(timeout)) != WAIT_OBJECT_0) {
      return L"still running after " + std::to_wstring(timeout) + L" ms";
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    if (code != static_cast<DWORD>(expected)) {
      return L"exit code " + std::to_wstring(code) + L", expected " +
             std::to_wstring(static_cast<DWORD>(expected));
    }
    return {};
  }

  std::wstring StillRunning(long long ms) {
    HANDLE process = Current().process.get();
    if (WaitForSingleObject(process, static_cast<DWORD>(ms)) == WAIT_TIMEOUT) return {};
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return L"the program ended with exit code " + std::to_wstring(code);
  }

  std::wstring ExpectNoWindow(long long timeout) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout);
    for (;;) {
      if (HWND window = OwnWindow(L"*")) {
        return L"the program shows a window of class \"" + ClassOf(window) + L"\" titled \"" +
               TitleOf(window) + L"\"";
      }
      if (WaitForSingleObject(Current().process.get(), 0) == WAIT_OBJECT_0) return {};
      if (GetTickCount64() >= deadline) {
        return L"still running after " + std::to_wstring(timeout) + L" ms";
      }
      Sleep(kPollMs);
    }
  }

  std::vector<Step> steps_;
  Places places_;
  std::vector<Started> started_;
  std::vector<WORD> held_;  // keys pressed by key-down and not yet released
  bool detached_ = false;
};

// How many arguments each step takes; -1 means "up to the next step name" (key) and start runs
// up to "--".
struct StepShape {
  const wchar_t* name;
  int min_args;
  int max_args;
  int first_number;  // index of the first numeric argument, or -1
};

constexpr StepShape kSteps[] = {
    {L"start", 1, -1, -1},         {L"start-detached", 1, -1, -1},         {L"wait-window", 3, 3, 2},    {L"wait-own-window", 1, 1, 0},
    {L"close-window", 2, 2, -1},   {L"box-title", 1, 1, -1},     {L"box-text", 1, 1, -1},   {L"box-text-has", 1, 1, -1},
    {L"box-press", 1, 1, -1},      {L"key", 1, -1, -1},          {L"click", 2, 2, 0},
    {L"expect-exit", 2, 2, 0},     {L"expect-no-window", 1, 1, 0}, {L"file-exists", 1, 1, -1},
    {L"file-contains", 2, 3, 2},   {L"fresh-dir", 1, 1, -1},     {L"detach", 0, 0, -1},
    {L"file-lacks", 2, 3, 2},      {L"copy-file", 2, 2, -1},     {L"set-env", 2, 2, -1},
    {L"window-rect", 7, 7, 2},     {L"show-state", 4, 4, 3},     {L"topmost", 4, 4, 2},
    {L"window-gone", 3, 3, 2},     {L"key-down", 1, -1, -1},     {L"key-up", 1, -1, -1},
    {L"window-centred", 5, 5, 2},  {L"window-exstyle", 5, 5, 2}, {L"click-in", 4, 5, 2},
    {L"drag-in", 6, 7, 2},         {L"post", 5, 5, 2},           {L"up-to-date", 2, 3, -1},
    {L"file-absent", 1, 1, -1},    {L"window-shown", 4, 4, 2},   {L"window-size", 5, 5, 4},
    {L"measure-toggle", 4, 4, 3},  {L"still-running", 1, 1, 0},  {L"toggle-key", 5, 5, 3},
    {L"dpi-changed", 7, 7, 2},     {L"ink-box", 8, 8, 2},
};

const StepShape* FindShape(const std::wstring& name) {
  for (const StepShape& shape : kSteps) {
    if (name == shape.name) return &shape;
  }
  return nullptr;
}

// Splits the arguments into steps and checks each before anything runs. Returns the reason
// when the scenario is malformed.
std::wstring ParseScenario(int argc, wchar_t** argv, std::vector<Step>& steps, Places& places) {
  int i = 1;
  while (i < argc && std::wstring(argv[i]) == L"--place") {
    if (i + 2 >= argc) return L"--place needs a name and a folder";
    places.emplace_back(argv[i + 1], argv[i + 2]);
    i += 3;
  }
  while (i < argc) {
    const StepShape* shape = FindShape(argv[i]);
    if (!shape) return L"unknown step \"" + std::wstring(argv[i]) + L"\"";
    Step step{argv[i++], {}};
    if (step.name == L"start" || step.name == L"start-detached") {
      while (i < argc && std::wstring(argv[i]) != L"--") step.args.push_back(argv[i++]);
      if (i == argc) return L"start without the closing --";
      ++i;
    } else if (shape->max_args < 0) {
      while (i < argc && !FindShape(argv[i])) step.args.push_back(argv[i++]);
    } else {
      while (i < argc && static_cast<int>(step.args.size()) < shape->max_args &&
             (static_cast<int>(step.args.size()) < shape->min_args || !FindShape(argv[i]))) {
        step.args.push_back(argv[i++]);
      }
    }
    const int count = static_cast<int>(step.args.size());
    if (count < shape->min_args) return step.name + L" needs " + std::to_wstring(shape->min_args) + L" arguments";
    if (shape->first_number >= 0) {
      // The pointer steps end with a word naming the mouse button.
      int end = count;
      if (step.name == L"click-in" && end > 4) end = 4;
      if (step.name == L"drag-in" && end > 6) end = 6;
      for (int n = shape->first_number; n < end; ++n) {
        if (!ParseNumber(step.args[n])) return step.name + L": \"" + step.args[n] + L"\" is not a number";
      }
    }
    if ((step.name == L"measure-toggle" || step.name == L"toggle-key") && !ParseChord(step.args[2])) {
      return step.name + L": unknown key \"" + step.args[2] + L"\"";
    }
    if (step.name == L"key") {
      for (const std::wstring& chord : step.args) {
        if (!ParseChord(chord)) return L"key: unknown key \"" + chord + L"\"";
      }
    }
    if (step.name == L"key-down" || step.name == L"key-up") {
      for (const std::wstring& name : step.args) {
        if (!ParseKey(name)) return step.name + L": unknown key \"" + name + L"\"";
      }
    }
    if (step.name == L"show-state" && step.args[2] != L"normal" && step.args[2] != L"min" &&
        step.args[2] != L"max") {
      return L"show-state: unknown state \"" + step.args[2] + L"\"";
    }
    if (step.name == L"box-press" && !ButtonId(step.args[0])) {
      return L"box-press: unknown button \"" + step.args[0] + L"\"";
    }
    steps.push_back(std::move(step));
  }
  if (steps.empty()) return L"no steps given";
  return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<Step> steps;
  Places places;
  std::wstring error = ParseScenario(argc, argv, steps, places);
  if (!error.empty()) {
    Say(L"malformed scenario: " + error);
    return 2;
  }
  Driver driver(std::move(steps), std::move(places));
  return driver.Run() ? 0 : 1;
}
