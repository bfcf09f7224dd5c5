// A program that fails on purpose with the launcher's crash hook installed, and the checks that
// the end-to-end scenarios make on what a failure or a start leaves behind.
//
//   crash worker-fault <dump folder>   an access violation in a worker thread
//   crash worker-throw <dump folder>   an uncaught C++ exception in a worker thread
//   crash main-fault <dump folder>     an access violation in the main thread
//   crash count <folder> <pattern> <n> exit 0 when exactly n files match the pattern
//   crash log-header <folder>          exit 0 when the folder holds exactly one log file and
//                                      it begins with the version and time-zone lines
//   crash log-lacks <folder> <text>    exit 0 when the folder holds exactly one log file, the
//                                      text is in it in none of the codes a log line can be in
//                                      or a reader might look for (UTF-8, the ANSI page,
//                                      UTF-16 either way round), and it shows "***" in its place
// The failing modes never return: the process ends as the system ends a crashed program.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "raw/thread.h"

namespace {

using RawLayer::RawString;

RawString Utf8(const wchar_t* text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text), static_cast<int32_t>(std::wcslen(text)))
      .Convert(RawLayer::CodeUtf8);
}

// A pointer the compiler cannot see to be null, so the store below stays a real one.
int* volatile g_nowhere = nullptr;

void Fault() { *g_nowhere = 1; }

class FailingUnit : public RawLayer::RawThreadUnit {
 public:
  explicit FailingUnit(bool throwing) : throwing_(throwing) {}

 protected:
  void Run() override {
    if (throwing_) throw std::runtime_error("uncaught in a worker");
    Fault();
  }

 private:
  bool throwing_;
};

void InstallHook(const wchar_t* folder) {
  // The hook lives as long as the process.
  RawLayer::SetThreadHook(new RawLayer::RawThreadDump(Utf8(folder), "Crash"));
}

std::vector<std::wstring> Matches(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(data.cFileName);
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return names;
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

int Count(const std::wstring& folder, const std::wstring& pattern, long expected) {
  const size_t found = Matches(folder, pattern).size();
  std::printf("%zu file(s) match\n", found);
  return found == static_cast<size_t>(expected) ? 0 : 1;
}

int CheckLogHeader(const std::wstring& folder) {
  const std::vector<std::wstring> names = Matches(folder, L"Kestrel_*.log");
  if (names.size() != 1) {
    std::printf("%zu log files, expected 1\n", names.size());
    return 1;
  }
  const std::string bytes = ReadAll(folder + L"\\" + names[0]);
  static const std::regex header(
      "// Kestrel Version 1\\.36\\.2024\\.0503\r\n// <TimeZone>UTC[+-][0-9]{2}:[0-9]{2}[^\r\n]*\r\n\r\n");
  if (!std::regex_search(bytes, header, std::regex_constants::match_continuous)) {
    std::printf("the log begins otherwise: %s\n", bytes.substr(0, 200).c_str());
    return 1;
  }
  return 0;
}

int CheckLogLacks(const std::wstring& folder, const std::wstring& text) {
  const std::vector<std::wstring> names = Matches(folder, L"Kestrel_*.log");
  if (names.size() != 1) {
    std::printf("%zu log files, expected 1\n", names.size());
    return 1;
  }
  const std::string bytes = ReadAll(folder + L"\\" + names[0]);
  struct Form {
    const char* code;
    std::string bytes;
  };
  std::vector<Form> forms;
  for (const auto& [name, page] : {std::pair{"UTF-8", CP_UTF8}, std::pair{"ANSI", CP_ACP}}) {
    const int size = WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string form(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), form.data(), size, nullptr, nullptr);
    forms.push_back({name, form});
  }
  std::string little;
  std::string big;
  for (const wchar_t unit : text) {
    little += static_cast<char>(unit & 0xFF);
    little += static_cast<char>(unit >> 8);
    big += static_cast<char>(unit >> 8);
    big += static_cast<char>(unit & 0xFF);
  }
  forms.push_back({"UTF-16LE", little});
  forms.push_back({"UTF-16BE", big});
  int failed = 0;
  for (const Form& form : forms) {
    if (!form.bytes.empty() && bytes.find(form.bytes) != std::string::npos) {
      std::printf("the log holds the text in %s\n", form.code);
      failed = 1;
    }
  }
  if (bytes.find("***") == std::string::npos) {
    std::printf("the log shows no \"***\": %s\n", bytes.substr(0, 400).c_str());
    failed = 1;
  }
  return failed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (argc == 3 && (mode == L"worker-fault" || mode == L"worker-throw")) {
    InstallHook(argv[2]);
    FailingUnit unit(mode == L"worker-throw");
    if (!unit.Start()) return 3;
    unit.Wait();
    return 4;  // not reached: the failure ends the process
  }
  if (argc == 3 && mode == L"main-fault") {
    InstallHook(argv[2]);
    Fault();
    return 4;
  }
  if (argc == 5 && mode == L"count") return Count(argv[2], argv[3], std::wcstol(argv[4], nullptr, 10));
  if (argc == 3 && mode == L"log-header") return CheckLogHeader(argv[2]);
  if (argc == 4 && mode == L"log-lacks") return CheckLogLacks(argv[2], argv[3]);
  std::printf("usage: crash worker-fault|worker-throw|main-fault <folder> | count <folder> <pattern> <n> | "
              "log-header <folder> | log-lacks <folder> <text>\n");
  return 2;
}
