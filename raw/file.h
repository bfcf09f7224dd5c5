// The file layer: the few file-system calls the foundation needs, one source per
// platform (file_win32.cpp with the wide entries, file_posix.cpp with POSIX calls).
// Paths are RawStrings in any code; they are converted at the system boundary.
//
// Every operation that can fail goes through one fault counter so that tests can
// make the Nth operation fail and prove that a rewrite leaves either the old or
// the new file on disk.
#pragma once

#include <cstdint>
#include <functional>

#include "raw/string.h"

namespace RawLayer {

class RawFile {
 public:
  enum Access { AccessRead, AccessWrite };

  RawFile() = default;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;
  RawFile(RawFile&& other) noexcept;
  RawFile& operator=(RawFile&& other) noexcept;
  ~RawFile();  // closes without flushing to disk

  // Opens an existing file for reading, sharing read and write.
  [[nodiscard]] bool OpenRead(const RawString& path);
  // Creates or truncates a file for writing, sharing read.
  [[nodiscard]] bool OpenWrite(const RawString& path);
  bool IsOpen() const;

  // Reads up to `size` bytes; `got` is 0 at the end of the file.
  [[nodiscard]] bool Read(void* buffer, int32_t size, int32_t& got);
  // Writes every byte or fails.
  [[nodiscard]] bool Write(const void* data, int32_t size);
  // Moves the file pointer relative to its current position.
  [[nodiscard]] bool Seek(int64_t delta);
  // The file's size in bytes, -1 when it cannot be told (no operation of the fault drill).
  int64_t Size() const;
  // Forces written data to the disk, with the size needed to read it back
  // (FlushFileBuffers / fdatasync).
  [[nodiscard]] bool Flush();
  void Close();

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};

enum class RawPathKind { Missing, File, Folder };
RawPathKind PathKind(const RawString& path);

// Replaces `target` by `source` so that at every instant `target` names either
// the old or the new complete file (MoveFileExW with replace and write-through;
// rename on POSIX). Also used to move a file into a free place.
[[nodiscard]] bool ReplaceFileSafely(const RawString& source, const RawString& target);

// A file that another program holds open for a moment (a virus scanner or a search indexer
// reading what was just written, an editor or a watcher reading it) cannot be replaced until it
// lets go. Such an attempt is made again, `waitMs` apart, until it is done, fails for another
// reason, or `tries` attempts in all found the file held: true only when it was done.
enum class RawAttempt { Done, Held, Failed };
inline constexpr int32_t kHeldFileTries = 20;
inline constexpr int32_t kHeldFileWaitMs = 50;
[[nodiscard]] bool RetryWhileHeld(const std::function<RawAttempt()>& attempt, int32_t tries = kHeldFileTries,
                                  int32_t waitMs = kHeldFileWaitMs);
[[nodiscard]] bool DeleteFileAt(const RawString& path);
[[nodiscard]] bool CreateFolderAt(const RawString& path);  // one level; false if it exists

// Told of every file this process puts in place by a rewrite (RawTemporaryFile::MoveOnto), on
// the writing thread, right after the move: a watcher of the file's folder tells the process's
// own writes from other programs' by it. One observer per process; null for none.
class RawRewriteObserver {
 public:
  virtual ~RawRewriteObserver() = default;
  virtual void Rewritten(const RawString& path) = 0;
};
void SetRewriteObserver(RawRewriteObserver* observer);
void NoteRewritten(const RawString& path);

// The temporary file of a rewrite (the target's path + ".tmp"): removed when the object goes,
// unless it was swapped onto the target.
class RawTemporaryFile {
 public:
  explicit RawTemporaryFile(const RawString& target) : path_(target) { path_.Append(".tmp"); }
  RawTemporaryFile(const RawTemporaryFile&) = delete;
  RawTemporaryFile& operator=(const RawTemporaryFile&) = delete;
  ~RawTemporaryFile() {
    if (owned_) (void)DeleteFileAt(path_);
  }

  const RawString& Path() const { return path_; }
  // From now on the file is ours to remove.
  void Own() { owned_ = true; }
  [[nodiscard]] bool MoveOnto(const RawString& target) {
    if (!ReplaceFileSafely(path_, target)) return false;
    owned_ = false;
    NoteRewritten(target);
    return true;
  }

 private:
  RawString path_;
  bool owned_ = false;
};

// Test support: make the Nth fallible file operation from now on fail (1 = the
// next one); 0 turns it off. OperationCount counts them while counting is on.
// FailFrom makes the Nth and every later operation fail, as if the process had
// stopped there: nothing after it, not even a clean-up, reaches the disk.
namespace RawFileFaults {
void FailOperation(int64_t n);
void FailFrom(int64_t n);
void StartCounting();
int64_t OperationCount();
void Reset();
// Called by every fallible operation; true when this one must fail.
bool ShouldFail();
}  // namespace RawFileFaults

}  // namespace RawLayer
