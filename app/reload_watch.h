// Live reload: when the launcher profile, the GUI profile or the language file is saved by
// another program, the launcher restarts itself as RebootLauncher does (the window keeps its
// place). [Option] AutoReload=False turns it off.
//
// How a change is told from the launcher's own writes, deterministically: every watched file
// has a known stamp (exists, size, last write time), taken at start and again after each rewrite
// this process makes (raw/file.h RawRewriteObserver, on the writing thread, right after the
// move). The folder watcher only says "something may have changed" once a burst of changes has
// settled; the main thread then compares the files' stamps with the known ones. The launcher's
// own writes all happen on the main thread, so they are known before that comparison runs.
//
// What a change leads to (GuiReloadJudge):
//   - no watched file differs from its known stamp: nothing (the launcher's own write);
//   - the launcher profile is missing (an editor deleted it to write it anew): wait for it;
//   - the launcher profile does not read (job/profile_check.h, breaksReading): refused once per
//     saved state, with the place and the reason; the old profile stays in use;
//   - else: reload, and the stamps become the known ones.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "raw/file.h"
#include "raw/string.h"

namespace AppLayer {

using RawLayer::RawString;

struct GuiFileStamp {
  bool exists = false;
  int64_t size = 0;
  int64_t writeTime = 0;  // the system's units; only compared
  bool operator==(const GuiFileStamp&) const = default;
};

// The stamp of the file now (GetFileAttributesEx / stat); a missing file's is all zero.
GuiFileStamp FileStampOf(const RawString& path);

// True when the two paths name the same file as the launcher spells them: ASCII letter case and
// the two separators do not count.
bool SameFilePath(const RawString& a, const RawString& b);

// The watched files and their known stamps; safe to use from any thread.
class GuiWatchedFiles final : public RawLayer::RawRewriteObserver {
 public:
  // Watches `path` (an empty path, or one watched already, is skipped) from its stamp now.
  void Add(const RawString& path);
  std::vector<RawString> Paths() const;
  bool Watches(const RawString& path) const;
  // A rewrite of this process: a watched file's stamp now becomes its known one.
  void Rewritten(const RawString& path) override;
  // The watched files whose stamp now differs from the known one.
  std::vector<RawString> Changed() const;
  // Every watched file's stamp now becomes its known one.
  void Accept();

 private:
  mutable std::mutex lock_;
  std::vector<std::pair<RawString, GuiFileStamp>> files_;
};

// The settle time: a burst of changes (one save that writes twice, an editor's delete and
// create, a program saving a hundred times a second) is answered once, `settleMs` after its last
// change. Times are milliseconds of any steady clock.
class GuiSettle {
 public:
  explicit GuiSettle(int64_t settleMs) : settleMs_(settleMs) {}
  void Note(int64_t now) {
    pending_ = true;
    last_ = now;
  }
  bool Due(int64_t now) const { return pending_ && now - last_ >= settleMs_; }
  // How long to wait for the answer from `now`; -1 when nothing is pending.
  int64_t WaitMs(int64_t now) const {
    if (!pending_) return -1;
    return now - last_ >= settleMs_ ? 0 : settleMs_ - (now - last_);
  }
  void Clear() { pending_ = false; }

 private:
  int64_t settleMs_;
  bool pending_ = false;
  int64_t last_ = 0;
};

inline constexpr int64_t kReloadSettleMs = 300;

enum class GuiReloadVerdict { Nothing, Wait, Refuse, Reload };

struct GuiReloadDecision {
  GuiReloadVerdict verdict = GuiReloadVerdict::Nothing;
  RawString message;  // Refuse: what the warning box says
  RawString fault;    // Refuse: the first fault as the checker words it, "PATH(LINE): error: TEXT"
  int32_t line = 0;   // Refuse: its line
};

// The profiles of this run, each stamped just before start-up first read it, and kept up to date
// with this process's own rewrites from then on (start-up makes it the rewrite observer). The
// watch starts from these stamps: a save that lands while start-up reads a file (another program
// copying it over during a restart) differs from them, and is reloaded once the watch looks.
GuiWatchedFiles& ProfilesAsRead();

// The main thread's answer to a settled change (see the top of this file).
class GuiReloadJudge {
 public:
  GuiReloadJudge(GuiWatchedFiles& files, const RawString& launcherProfile)
      : files_(files), launcherProfile_(launcherProfile) {}
  GuiReloadDecision Judge();

 private:
  GuiWatchedFiles& files_;
  RawString launcherProfile_;
  GuiFileStamp refused_;  // the saved state last refused: told once
};

}  // namespace AppLayer
