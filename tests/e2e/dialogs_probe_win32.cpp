// The dialog probe: acts on a script's question and input dialogs as a user would, from a
// process of its own, so that a scenario can start it before the launcher.
//
//   dialogs_probe <logfile> <action>...
//
// Each action waits up to 20 s for a visible dialog (class "#32770") with the caption <title>
// whose message text contains <text>, so that scenarios running side by side never touch each
// other's dialogs:
//   press <title> <text> <caption>      press the button with that caption; it must close
//   fill <title> <text> <label> <value> type value into the field with that label
//   hints <title> <text> <label> <list> the field's drop-down list holds exactly the entries of
//                                       list, separated by "|" ("" or "-" for none)
//   buttons <title> <text> <list>       the dialog's buttons are the captions of list, in order
//   close <title> <text>                close the dialog with its close box
//   masked <title> <text> <label>       the field with that label is an edit box that masks what
//                                       is typed (ES_PASSWORD)
// The probe writes "ok" and the action per action, then "done", to logfile and exits 0; at the
// first failure it writes "FAILED:" and the reason and exits 1.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kWaitMs = 20000;
constexpr int kTextId = 0xFFFF;
constexpr int kFirstLabelId = 0x0600;
constexpr int kFirstFieldId = 0x0700;

std::FILE* g_log = nullptr;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

void Log(const std::wstring& line) {
  std::fputs((Utf8(line) + "\n").c_str(), g_log);
  std::fflush(g_log);
}

// Another process's window text, without hanging on a window that does not answer.
std::wstring TextOf(HWND window) {
  wchar_t buffer[4096] = L"";
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &copied)) {
    return {};
  }
  return std::wstring(buffer, static_cast<size_t>(copied));
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring Join(const std::vector<std::wstring>& items) {
  std::wstring joined;
  for (const std::wstring& item : items) joined += (joined.empty() ? L"" : L"|") + item;
  return joined;
}

struct Search {
  std::wstring title;
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  Search& search = *reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || TextOf(window) != search.title) return TRUE;
  HWND message = GetDlgItem(window, kTextId);
  if (message == nullptr || TextOf(message).find(search.text) == std::wstring::npos) return TRUE;
  search.found = window;
  return FALSE;
}

HWND WaitDialog(const std::wstring& title, const std::wstring& text) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search search{title, text};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (GetTickCount() - start > kWaitMs) return nullptr;
    Sleep(kPollMs);
  }
}

// The buttons in the order of the dialog's children, with "&&" shown as "&".
std::vector<std::pair<HWND, std::wstring>> Buttons(HWND dialog) {
  std::vector<std::pair<HWND, std::wstring>> buttons;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (lstrcmpiW(ClassOf(child).c_str(), L"Button") != 0) continue;
    std::wstring caption;
    const std::wstring raw = TextOf(child);
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == L'&' && i + 1 < raw.size() && raw[i + 1] == L'&') ++i;
      caption += raw[i];
    }
    buttons.emplace_back(child, caption);
  }
  return buttons;
}

HWND FieldByLabel(HWND dialog, const std::wstring& label) {
  for (int i = 0; i < 256; ++i) {
    HWND shown = GetDlgItem(dialog, kFirstLabelId + i);
    if (shown == nullptr) return nullptr;
    if (TextOf(shown) == label) return GetDlgItem(dialog, kFirstFieldId + i);
  }
  return nullptr;
}

bool WaitGone(HWND window) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > kWaitMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

// One action; the reason when it failed, else empty.
std::wstring Act(const std::wstring& action, const std::vector<std::wstring>& args) {
  HWND dialog = WaitDialog(args[0], args[1]);
  if (dialog == nullptr) return L"no dialog \"" + args[0] + L"\" with \"" + args[1] + L"\"";
  if (action == L"press") {
    for (const auto& [button, caption] : Buttons(dialog)) {
      if (caption != args[2]) continue;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
      return WaitGone(dialog) ? L"" : L"the dialog stayed open";
    }
    return L"no button \"" + args[2] + L"\"";
  }
  if (action == L"close") {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitGone(dialog) ? L"" : L"the dialog stayed open";
  }
  if (action == L"buttons") {
    std::vector<std::wstring> captions;
    for (const auto& button : Buttons(dialog)) captions.push_back(button.second);
    return Join(captions) == args[2] ? L"" : L"buttons \"" + Join(captions) + L"\"";
  }
  HWND field = FieldByLabel(dialog, args[2]);
  if (field == nullptr) return L"no field \"" + args[2] + L"\"";
  const bool masked = lstrcmpiW(ClassOf(field).c_str(), L"Edit") == 0 &&
                      (GetWindowLongPtrW(field, GWL_STYLE) & ES_PASSWORD) != 0;
  if (action == L"masked") return masked ? L"" : L"the field shows what is typed";
  if (action == L"fill") {
    DWORD_PTR done = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()), SMTO_ABORTIFHUNG, 2000, &done);
    // A masked field does not give its text to another process; the scenario checks what the
    // script received instead.
    if (masked) return L"";
    return TextOf(field) == args[3] ? L"" : L"the field holds \"" + TextOf(field) + L"\"";
  }
  // hints
  std::vector<std::wstring> entries;
  if (lstrcmpiW(ClassOf(field).c_str(), L"ComboBox") == 0) {
    const LRESULT count = SendMessageW(field, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t entry[1024] = L"";
      SendMessageW(field, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
      entries.push_back(entry);
    }
  }
  const std::wstring wanted = args[3] == L"-" ? L"" : args[3];
  return Join(entries) == wanted ? L"" : L"hints \"" + Join(entries) + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  g_log = _wfopen(argv[1], L"wb");
  if (g_log == nullptr) return 2;
  int at = 2;
  while (at < argc) {
    const std::wstring action = argv[at++];
    const int count =
        action == L"close" ? 2 : action == L"press" || action == L"buttons" || action == L"masked" ? 3 : 4;
    if ((action != L"press" && action != L"fill" && action != L"hints" && action != L"buttons" && action != L"close" &&
         action != L"masked") ||
        at + count > argc) {
      Log(L"FAILED: malformed action " + action);
      return 2;
    }
    const std::vector<std::wstring> args(argv + at, argv + at + count);
    at += count;
    const std::wstring reason = Act(action, args);
    if (!reason.empty()) {
      Log(L"FAILED: " + action + L" " + args[args.size() - 1] + L": " + reason);
      return 1;
    }
    Log(L"ok " + action + L" " + args[args.size() - 1]);
  }
  Log(L"done");
  return 0;
}
