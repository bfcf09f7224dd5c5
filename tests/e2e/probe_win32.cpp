// The foundation's probe for end-to-end scenarios: runs one shell, window or clipboard
// operation of the foundation in a process of its own, so that a scenario can watch it
// from outside. Exit code 0 means the operation did what was asked.
//
//   probe shell <outfile> <program> [args...]   start through RawShell, wait, write "exit <code>"
//   probe open <document>                       start a document through RawShell (0: a process)
//   probe associate <.ext> <class>              map an extension to a file class
//                                               (a fresh Wine prefix maps no ".txt")
//   probe associate-dde <.ext> <class> <command> <service> <topic>
//                                               the same, with "open" handed by DDE to a
//                                               program that runs already (command starts it
//                                               when it does not)
//   probe find-window <class> <title> <ms>      FindTopWindow until it answers (0) or ms pass (1)
//   probe clip-set <text>                       put the text on the clipboard (3: refused)
//   probe clip-check <text>                     the clipboard holds exactly the text (1: not)
//   probe clip-hold <statusfile> <releasefile>  hold the clipboard open, write "held", wait for
//                                               the release file, close it, write "released"
// Texts take \uXXXX escapes for characters beyond ASCII.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include "raw/clipboard.h"
#include "raw/process.h"
#include "raw/shell.h"

namespace {

using RawLayer::RawString;

constexpr DWORD kPollMs = 20;

RawString Text(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()));
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u') {
      out += static_cast<wchar_t>(std::wcstoul(text.substr(i + 2, 4).c_str(), nullptr, 16));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendLine(const wchar_t* path, const std::string& line) {
  std::ofstream(std::filesystem::path(path), std::ios::app | std::ios::binary) << line << "\n";
}

// The arguments joined as one parameter text, arguments with blanks in double quotes.
std::wstring JoinArguments(int from, int argc, wchar_t** argv) {
  std::wstring joined;
  for (int i = from; i < argc; ++i) {
    std::wstring argument = argv[i];
    if (!joined.empty()) joined += L' ';
    joined += argument.find_first_of(L" \t") == std::wstring::npos ? argument : L"\"" + argument + L"\"";
  }
  return joined;
}

int Shell(const wchar_t* outfile, const wchar_t* program, const std::wstring& parameters) {
  RawLayer::RawShell shell(Text(program));
  if (!shell.Execute(Text(parameters), RawString())) return 2;
  if (shell.Wait(RawLayer::kWaitForever) != RawLayer::RawShell::WaitEnded) return 3;
  uint32_t code = 0;
  if (!shell.ExitCode(code)) return 4;
  AppendLine(outfile, "exit " + std::to_string(code));
  return 0;
}

int Associate(const wchar_t* extension, const wchar_t* fileClass) {
  // The classes root itself: Wine does not merge the user's classes into it.
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, extension, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return 2;
  }
  const DWORD bytes = static_cast<DWORD>((std::wcslen(fileClass) + 1) * sizeof(wchar_t));
  const LONG result = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(fileClass), bytes);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS ? 0 : 3;
}

bool SetKeyValue(const std::wstring& key, const wchar_t* value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
  const bool ok = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

int AssociateDde(const wchar_t* extension, const wchar_t* fileClass, const wchar_t* command, const wchar_t* service,
                 const wchar_t* topic) {
  if (Associate(extension, fileClass) != 0) return 2;
  const std::wstring open = std::wstring(fileClass) + L"\\shell\\open";
  const bool ok = SetKeyValue(open + L"\\command", command) && SetKeyValue(open + L"\\ddeexec", L"[open(\"%1\")]") &&
                  SetKeyValue(open + L"\\ddeexec\\application", service) &&
                  SetKeyValue(open + L"\\ddeexec\\topic", topic);
  return ok ? 0 : 3;
}

int FindWindowWithin(const wchar_t* windowClass, const wchar_t* title, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    RawString found = RawLayer::FindTopWindow(Text(windowClass), Text(title));
    if (!found.IsEmpty()) {
      uint64_t handle = 0;
      bool negative = false;
      // The answer must name a live window.
      if (!found.StartsWith("0x") || !found.ParseInteger(RawLayer::kWhole, handle, negative) ||
          !IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)))) {
        std::printf("not a window: %s\n", found.ToUtf8().c_str());
        return 2;
      }
      std::printf("found %s\n", found.ToUtf8().c_str());
      return 0;
    }
    if (GetTickCount() - start >= milliseconds) return 1;
    Sleep(kPollMs);
  }
}

int ClipCheck(const std::wstring& expected) {
  RawString text = RawLayer::ClipboardText(4096);
  if (text.ToWide() == std::u16string(expected.begin(), expected.end())) return 0;
  std::printf("clipboard holds \"%s\"\n", text.ToUtf8().c_str());
  return 1;
}

int ClipHold(const wchar_t* statusfile, const wchar_t* releasefile) {
  // Held under a window of its own: the system lets every opener without a window share it.
  HWND owner = CreateWindowExW(0, L"STATIC", L"clipboard holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
  if (owner == nullptr || !OpenClipboard(owner)) return 2;
  AppendLine(statusfile, "held");
  int code = 1;
  for (int polls = 0; polls < 60000 / static_cast<int>(kPollMs); ++polls) {
    if (GetFileAttributesW(releasefile) != INVALID_FILE_ATTRIBUTES) {
      code = 0;
      break;
    }
    Sleep(kPollMs);
  }
  CloseClipboard();
  DestroyWindow(owner);
  AppendLine(statusfile, "released");
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"shell" && argc >= 4) return Shell(argv[2], argv[3], JoinArguments(4, argc, argv));
  if (mode == L"open" && argc == 3) {
    RawLayer::RawShell shell(Text(argv[2]));
    return shell.Execute(RawString(), RawString()) ? 0 : 2;
  }
  if (mode == L"associate" && argc == 4) return Associate(argv[2], argv[3]);
  if (mode == L"associate-dde" && argc == 7) return AssociateDde(argv[2], argv[3], argv[4], argv[5], argv[6]);
  if (mode == L"find-window" && argc == 5) {
    return FindWindowWithin(Unescape(argv[2]).c_str(), Unescape(argv[3]).c_str(), std::wcstoul(argv[4], nullptr, 10));
  }
  if (mode == L"clip-set" && argc == 3) return RawLayer::SetClipboardText(Text(Unescape(argv[2]))) ? 0 : 3;
  if (mode == L"clip-check" && argc == 3) return ClipCheck(Unescape(argv[2]));
  if (mode == L"clip-hold" && argc == 4) return ClipHold(argv[2], argv[3]);
  std::printf("probe: unknown mode or wrong arguments\n");
  return 98;
}
