// The fault-injection drill of the rewrites: a save whose Nth file operation
// fails, and a save stopped at its Nth operation as if the process had ended
// there, for every N up to the number of operations a clean save takes. After
// each, the files must show the complete old or the complete new content, the
// answer must say which, and a save started afresh must succeed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "raw/file.h"
#include "raw/string.h"
#include "tests/unit/test_files.h"

namespace RewriteFaults {

namespace fs = std::filesystem;

using TestFiles::PathText;
using TestFiles::Put;

// Unlike TestFiles::Bytes, a file that cannot be opened reads as "<missing>": a save that lost
// the file must not pass for one that emptied it.
inline std::string Bytes(const fs::path& path) { return TestFiles::ReadBytes(path).value_or("<missing>"); }

// Every file of a folder by name.
using Files = std::map<std::string, std::string>;

inline Files Snapshot(const fs::path& folder) {
  Files files;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.is_regular_file()) files[item.path().filename().string()] = Bytes(item.path());
  }
  return files;
}

inline void Restore(const fs::path& folder, const Files& files) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, bytes] : files) Put(folder / name, bytes);
}

inline bool HasTemporaryFile(const fs::path& folder) {
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.path().extension() == ".tmp") return true;
  }
  return false;
}

// One rewrite path. `makeOld` writes the files a save starts from (run once; the
// folder is then restored from its snapshot before every attempt). `prepare`
// sets up what the save writes, reading the files as the program would; it is
// not counted. `save` is the counted rewrite. `view` is what a reader sees in
// the folder afterwards: normally the target file's bytes. `again` is the save
// a user repeats after a fault, when it differs from `save` (a deletion that
// finds its section gone has nothing left to do).
struct Path {
  std::function<void(const fs::path&)> makeOld;
  std::function<void(const fs::path&)> prepare;
  std::function<bool(const fs::path&)> save;
  std::function<std::string(const fs::path&)> view;
  std::function<bool(const fs::path&)> again = nullptr;
};

enum class Mode { FailOne, StopAt };

class Drill {
 public:
  Drill(const fs::path& folder, Path path) : folder_(folder), path_(std::move(path)) {}

  // The clean save: the new view, and the number of file operations it took.
  void Measure() {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    path_.makeOld(folder_);
    old_ = Snapshot(folder_);
    oldView_ = path_.view(folder_);
    path_.prepare(folder_);
    RawLayer::RawFileFaults::StartCounting();
    const bool saved = path_.save(folder_);
    operations_ = RawLayer::RawFileFaults::OperationCount();
    RawLayer::RawFileFaults::Reset();
    ASSERT_TRUE(saved);
    newView_ = path_.view(folder_);
    ASSERT_NE(oldView_, newView_) << "the save must change what is read";
    ASSERT_FALSE(HasTemporaryFile(folder_));
    ASSERT_GT(operations_, 2);
    ::testing::Test::RecordProperty("operations", std::to_string(operations_));
  }

  int64_t Operations() const { return operations_; }

  // Attempt N in the given mode, then the reader's view and a fresh save.
  void Attempt(Mode mode, int64_t n) {
    SCOPED_TRACE((mode == Mode::FailOne ? "failing operation " : "stopped at operation ") + std::to_string(n) +
                 " of " + std::to_string(operations_));
    Restore(folder_, old_);
    path_.prepare(folder_);
    if (mode == Mode::FailOne) {
      RawLayer::RawFileFaults::FailOperation(n);
    } else {
      RawLayer::RawFileFaults::FailFrom(n);
    }
    const bool saved = path_.save(folder_);
    RawLayer::RawFileFaults::Reset();

    const std::string now = path_.view(folder_);
    const bool isOld = now == oldView_;
    const bool isNew = now == newView_;
    EXPECT_TRUE(isOld || isNew) << "neither the old nor the new content:\n" << now;
    // The answer tells the truth; only a clean-up after the swap may fail unseen.
    EXPECT_EQ(saved, isNew) << now;
    if (mode == Mode::FailOne && !saved) {
      // A leftover temporary file is tolerated only when removing it was the failure.
      if (HasTemporaryFile(folder_)) ++temporaryLeft_;
    }

    // Whatever was left behind, the next save works and gives the new content.
    path_.prepare(folder_);
    EXPECT_TRUE((path_.again ? path_.again : path_.save)(folder_)) << "a save after the fault failed";
    EXPECT_EQ(path_.view(folder_), newView_);
    EXPECT_FALSE(HasTemporaryFile(folder_)) << "a clean save leaves no temporary file";
  }

  void RunAll(Mode mode) {
    Measure();
    if (::testing::Test::HasFatalFailure()) return;
    for (int64_t n = 1; n <= operations_; ++n) Attempt(mode, n);
    // A single failure leaves at most the one temporary file whose removal failed.
    if (mode == Mode::FailOne) {
      EXPECT_LE(temporaryLeft_, 1);
    }
  }

 private:
  fs::path folder_;
  Path path_;
  Files old_;
  std::string oldView_;
  std::string newView_;
  int64_t operations_ = 0;
  int temporaryLeft_ = 0;
};

}  // namespace RewriteFaults
