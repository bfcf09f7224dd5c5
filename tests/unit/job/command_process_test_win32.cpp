// Process commands against the real system: cmd.exe started through the shell, and windows of
// this test brought back and to the front.
#include <windows.h>

#include <filesystem>
#include <string>

#include "job/command_process.h"
#include "tests/unit/job/command_test_support.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using testing_support::Holds;

std::string HandleText(HWND window) {
  RawString text;
  text.AppendNumber(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), 16);
  return text.ToUtf8();
}

class ProcessWin32Test : public testing_support::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    // A folder per case: Wine may hold the folder a program ran in for a moment after it ended.
    folder_ = TestFiles::ScratchFolder("command_process_win32");
  }

  fs::path folder_;
};

TEST_F(ProcessWin32Test, ShellStartsCmdWaitsAndReadsItsExitCode) {
  const struct {
    const char* code;
    const char* exitCode;
  } rows[] = {{"7", "7"}, {"0", "0"}, {"-1", "4294967295"}};
  for (const auto& row : rows) {
    Variables().Set("ExitCode", "untouched");
    std::error_code error;
    fs::remove(folder_ / "out.txt", error);
    const std::string script = "Shell {\nCommand=cmd.exe\nParameter=/c cd > out.txt & exit " + std::string(row.code) +
                               "\nDirectory=" + folder_.string() + "\nShowStatus=Hide\nWait=WaitForDone\nTimeout=-1\n}\n";
    EXPECT_TRUE(Run(script)) << row.code;
    EXPECT_EQ(Value("ExitCode"), row.exitCode);
    // The program ran in the given folder and had ended when the command returned.
    EXPECT_TRUE(Holds(Bytes(folder_ / "out.txt"), "ShellStartsCmdWaitsAndReadsItsExitCode")) << Bytes(folder_ / "out.txt");
  }
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(ProcessWin32Test, WaitForIdleOnAConsoleProgramReturnsAtOnce) {
  // A console program has no input queue: the wait without limit must not hang.
  EXPECT_TRUE(Run("Shell {\nCommand=cmd.exe\nParameter=/c exit 5\nShowStatus=Hide\nWait=WaitForIdle\nTimeout=-1\n}\n"));
  const std::string code = Value("ExitCode");
  EXPECT_TRUE(code == "259" || code == "5") << code;
}

TEST_F(ProcessWin32Test, ShellWithAMissingProgramFails) {
  EXPECT_FALSE(Run("Shell {\nCommand=C:\\no\\such\\program-7f3a.exe\nWait=WaitForDone\nTimeout=-1\n}\n" +
                   testing_support::Note("after")));
  EXPECT_EQ(Value("ExitCode"), "0");
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_EQ(OnlyError(), "");
}

class PopupWindowTest : public ProcessWin32Test {
 protected:
  void SetUp() override {
    ProcessWin32Test::SetUp();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KestrelPopupTest";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"KestrelPopupTest", L"Popup test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                              300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
    ProcessWin32Test::TearDown();
  }

  HWND window_ = nullptr;
};

TEST_F(PopupWindowTest, MinimisedWindowIsShownNormally) {
  ShowWindow(window_, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window_));
  EXPECT_TRUE(Run("PopupWindow {\nParameter=" + HandleText(window_) + "\n}\n"));
  EXPECT_FALSE(IsIconic(window_));
  EXPECT_TRUE(IsWindowVisible(window_));

  // A window already shown is brought to the front; the handle may be written in decimal.
  const std::string decimal = std::to_string(reinterpret_cast<uintptr_t>(window_));
  EXPECT_TRUE(Run("PopupWindow {\nParameter=" + decimal + "\n}\n"));
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(PopupWindowTest, HandleOfAWindowThatIsGoneIsReported) {
  const std::string handle = HandleText(window_);
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_FALSE(Run("PopupWindow {\nParameter=" + handle + "\n}\n"));
  const std::string error = OnlyError();
  EXPECT_TRUE(Holds(error, "Missing target window !")) << error;
  EXPECT_TRUE(Holds(error, "[value] " + handle)) << error;
}

}  // namespace
}  // namespace JobLayer
