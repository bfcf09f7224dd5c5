#include "app/restart.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "raw/path.h"

namespace {

using AppLayer::GuiEndResult;
using RawLayer::RawString;

constexpr wchar_t kWaitFlag[] = L" --wait-to-be-ended";
constexpr DWORD kChildExitCode = 5;

// A copy of this program started with kWaitFlag stands in for an earlier
// instance: it reports that it is up, then lives until its standard input closes.
const bool kWaitingChild = [] {
  if (std::wcsstr(GetCommandLineW(), kWaitFlag) == nullptr) return false;
  DWORD count = 0;
  char unit = 'R';
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), &unit, 1, &count, nullptr);
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &unit, 1, &count, nullptr) && count > 0) {
  }
  ExitProcess(kChildExitCode);
}();

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct Child {
  UniqueHandle process;
  UniqueHandle input;  // closing it lets the child end by itself
  DWORD id = 0;
};

// Starts `program` as a waiting child and returns once it runs.
std::optional<Child> StartWaitingChild(const std::wstring& program) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return std::nullopt;
  UniqueHandle childIn(inRead), input(inWrite);
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return std::nullopt;
  UniqueHandle output(outRead), childOut(outWrite);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine = L"\"" + program + L"\"" + kWaitFlag;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  Child child{UniqueHandle(info.hProcess), std::move(input), info.dwProcessId};
  childIn.reset();
  childOut.reset();
  char unit = 0;
  DWORD count = 0;
  if (!ReadFile(output.get(), &unit, 1, &count, nullptr) || count != 1 || unit != 'R') return std::nullopt;
  return child;
}

DWORD ExitCodeAfterEnd(const Child& child) {
  if (WaitForSingleObject(child.process.get(), 60000) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(child.process.get(), &code);
  return code;
}

std::wstring OwnImage() {
  const std::u16string path = RawLayer::ModulePath().ToWide();
  return std::wstring(path.begin(), path.end());
}

RawString FromWide(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()));
}

TEST(EarlierInstanceTest, EndsAnotherRunOfThisProgramFile) {
  std::wstring upper = OwnImage();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  // The same file named in another letter case is the same program.
  for (const std::wstring& image : {OwnImage(), upper}) {
    std::optional<Child> child = StartWaitingChild(OwnImage());
    ASSERT_TRUE(child.has_value());
    EXPECT_EQ(AppLayer::EndEarlierInstance(child->id, FromWide(image)), GuiEndResult::Ended);
    EXPECT_EQ(ExitCodeAfterEnd(*child), 0u);
  }
}

TEST(EarlierInstanceTest, LeavesAnotherProgramRunning) {
  const std::wstring other = std::wstring(L"" KESTREL_TEST_TMP_DIR) + L"\\restart_other_program.exe";
  ASSERT_TRUE(CopyFileW(OwnImage().c_str(), other.c_str(), FALSE));
  std::optional<Child> child = StartWaitingChild(other);
  ASSERT_TRUE(child.has_value());
  EXPECT_EQ(AppLayer::EndEarlierInstance(child->id, FromWide(OwnImage())), GuiEndResult::OtherProgram);
  EXPECT_EQ(WaitForSingleObject(child->process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  child->input.reset();
  EXPECT_EQ(ExitCodeAfterEnd(*child), kChildExitCode);
}

TEST(EarlierInstanceTest, NeverEndsItselfOrAMissingProcess) {
  EXPECT_EQ(AppLayer::EndEarlierInstance(GetCurrentProcessId(), FromWide(OwnImage())), GuiEndResult::Self);
  EXPECT_EQ(AppLayer::EndEarlierInstance(0xFFFFFFF0u, FromWide(OwnImage())), GuiEndResult::NotOpened);
}

}  // namespace
