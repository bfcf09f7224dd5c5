// Process commands against real programs on POSIX: /bin/sh for programs, and a stand-in for
// xdg-open (first on PATH) that records what documents and folders it was asked to open.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "job/command_process.h"
#include "tests/unit/job/command_test_support.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using testing_support::Holds;

// Polls (bounded) until the file holds the text; the file's content, whatever it became.
std::string WaitForText(const fs::path& path, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string content = Bytes(path);
  while (content.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    content = Bytes(path);
  }
  return content;
}

class ProcessPosixTest : public testing_support::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    folder_ = TestFiles::ScratchFolder("command_process");
  }
  void TearDown() override {
    // Ends every waiting program this case started.
    std::ofstream(folder_ / "stop").put('\n');
    ScriptTest::TearDown();
  }

  // A program that runs until the case writes the file "stop" into the folder.
  std::string Waiter(const std::string& wait, const std::string& timeout) const {
    return "Shell {\nCommand=/bin/sh\nParameter=-c \"echo > started; while [ ! -e stop ]; do sleep 0.02; done; exit 3\"\n"
           "Directory=" + folder_.string() + "\nWait=" + wait + "\nTimeout=" + timeout + "\n}\n";
  }

  fs::path folder_;
};

TEST_F(ProcessPosixTest, ShellWaitsForTheProgramAndReadsItsExitCode) {
  const struct {
    const char* code;
    const char* exitCode;
  } rows[] = {{"7", "7"}, {"0", "0"}, {"255", "255"}};
  for (const auto& row : rows) {
    Variables().Set("ExitCode", "untouched");
    const std::string script = "Shell {\nCommand=/bin/sh\nParameter=-c \"pwd > out.txt; exit " + std::string(row.code) +
                               "\"\nDirectory=" + folder_.string() + "\nWait=WaitForDone\nTimeout=-1\n}\n";
    EXPECT_TRUE(Run(script)) << row.code;
    EXPECT_EQ(Value("ExitCode"), row.exitCode);
    // The program ran in the given folder and had ended when the command returned.
    EXPECT_EQ(Bytes(folder_ / "out.txt"), fs::canonical(folder_).string() + "\n");
    fs::remove(folder_ / "out.txt");
  }
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(ProcessPosixTest, ShellWaitsOnlyWhenAskedExactlyAndWithinItsTimeout) {
  // None of these waits for the end: no time-out (0), the wrong case, no wait asked, a wait for
  // input that POSIX cannot make, and a time-out that passes.
  const struct {
    const char* wait;
    const char* timeout;
  } rows[] = {{"WaitForDone", ""},  {"waitfordone", "-1"}, {"", "-1"},
              {"WaitForIdle", "-1"}, {"WaitForDone", "20ms"}};
  for (const auto& row : rows) {
    Variables().Set("ExitCode", "untouched");
    EXPECT_TRUE(Run(Waiter(row.wait, row.timeout))) << row.wait << " " << row.timeout;
    EXPECT_EQ(Value("ExitCode"), "259") << row.wait << " " << row.timeout;
  }
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(ProcessPosixTest, AnInterruptStopsAWaitWithoutLimit) {
  // Already requested before the wait.
  RequestAbort();
  EXPECT_FALSE(Run(Waiter("WaitForDone", "-1") + testing_support::Note("after")));
  EXPECT_EQ(Value("ExitCode"), "259");
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_TRUE(Holds(OnlyError(), "User aborted !\r\n  [command] Shell"));
  EXPECT_FALSE(IsAbortRequested());

  // SIGINT while the command waits: the handler sets the flag and the wait takes it.
  screen_.Reset();
  fs::remove(folder_ / "started");
  InstallAbortHandler();
  const fs::path started = folder_ / "started";
  std::thread interrupter([started] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(started) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(getpid(), SIGINT);
  });
  const bool result = Run(Waiter("WaitForDone", "-1"));
  interrupter.join();
  EXPECT_FALSE(result);
  EXPECT_TRUE(Holds(OnlyError(), "[command] Shell"));
  EXPECT_FALSE(IsAbortRequested());
}

class ProcessDocumentTest : public ProcessPosixTest {
 protected:
  void SetUp() override {
    ProcessPosixTest::SetUp();
    const fs::path bin = folder_ / "bin";
    fs::create_directories(bin);
    {
      std::ofstream opener(bin / "xdg-open");
      opener << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (folder_ / "opened.txt").string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const char* path = getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    setenv("PATH", (bin.string() + ":" + oldPath_).c_str(), 1);
    fs::create_directories(folder_ / "Data");
    std::ofstream(folder_ / "Data" / "notes.txt") << "notes\n";
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    ProcessPosixTest::TearDown();
  }

  // Runs the script and waits for the stand-in to record `expected` as its next line.
  void ExpectOpened(const std::string& script, const fs::path& expected) {
    opened_ += expected.string() + "\n";
    EXPECT_TRUE(Run(script)) << script;
    EXPECT_EQ(WaitForText(folder_ / "opened.txt", opened_), opened_) << script;
  }

  std::string oldPath_;
  std::string opened_;
};

TEST_F(ProcessDocumentTest, DocumentsAndFoldersGoToTheDesktopsOpener) {
  const fs::path data = folder_ / "Data";
  const fs::path notes = data / "notes.txt";
  // The parameters serve as the file when there is no command.
  ExpectOpened("Shell {\nParameter=" + notes.string() + "\n}\n", notes);
  ExpectOpened("OpenFile {\nParameter=" + notes.string() + "\n}\n", notes);
  // A folder opens itself, a file the folder that holds it, a missing tail its nearest ancestor.
  ExpectOpened("OpenFolder {\nParameter=" + data.string() + "\n}\n", data);
  ExpectOpened("OpenFolder {\nParameter=" + notes.string() + "\n}\n", data);
  ExpectOpened("OpenFolder {\nParameter=" + (data / "missing" / "file.txt").string() + "\n}\n", data);
  ExpectOpened("OpenFolder {\nParameter=" + data.string() + "/missing\\deeper\\file.txt\n}\n", data);
  EXPECT_EQ(OnlyError(), "");
}

}  // namespace
}  // namespace JobLayer
