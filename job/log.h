// The execution log: one process-wide server that callers hand finished record lines to, and a
// storer thread that alone writes the log file. Queueing never waits on the disk: the storer
// drains every queued line per wake and writes them with one write per batch, in queue order.
//
// Files: <folder>\Kestrel_<YYYYMMDD_HHMMSS_mmm>.log (UTC). Each begins with a comment line of the
// product and its version, a "<TimeZone>" comment line and an empty line. Starting prunes the
// folder's older log files (only names of that form) so that at most MaxLogFiles - 1 remain.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "raw/file.h"
#include "raw/string.h"
#include "raw/thread.h"
#include "raw/time_stamp.h"

namespace JobLayer {

using RawLayer::RawString;

// Record line layouts; every composer returns a whole line ending with CR LF.
// Comment line: "// " + text.
RawString LogCommentRecord(const RawString& text);
// Event record: "#" + word, ":" + first (when not empty), ":" + second (when not empty),
// ":" + stamp, then "|" + field + last when field is not empty, else nothing more.
RawString LogEventRecord(const RawString& word, const RawString& first, const RawString& second,
                         const RawString& field = RawString::Empty(),
                         const RawString& last = RawString::Empty());
// Link record: "@" + first + ">" + second + ":" + stamp + "|" + field + text.
RawString LogLinkRecord(const RawString& first, const RawString& second, const RawString& field,
                        const RawString& text);
// The stamp of record lines: YYYYMMDD.HHMMSS.mmm of the current UTC time.
RawString LogRecordStamp();

// The first two lines of every log file (the empty third line is the storer's).
RawString LogVersionRecord();   // "// Kestrel Version 1.36.2024.0503"
RawString LogTimeZoneRecord();  // "// <TimeZone>UTC+09:00 <the system's name of the zone>"
// True for a name of the log files' form: "Kestrel_", the stamp, ".log" (ASCII case ignored).
bool IsLogFileName(const RawString& name);

struct JobLogOptions {
  RawString folder;           // LogFolder
  int32_t maxFiles = 200;     // MaxLogFiles; 0 or less prunes nothing
  uint32_t byteLimit = 0;     // a new file after this many bytes; 0 = no limit
  uint32_t lineLimit = 0;     // a new file after this many lines; 0 = no limit
  // The clock of file names; tests fix it.
  RawLayer::RawTime (*clock)() = RawLayer::CurrentTime;
};

// The worker that owns the open log file. Lines wait in a lock-free list, so a
// producer never blocks on another producer or on the disk; the worker takes the
// whole list at each wake and writes it in large pieces.
class JobLogStorer : public RawLayer::RawThreadUnit {
 public:
  // A second sink: offered every new log file; when it accepts, it receives the
  // lines instead of the file (the file is still made, empty but for what the
  // sink writes there itself). The name is spelt as the sinks that exist already spell it.
  class Separater {
   public:
    virtual ~Separater() = default;
    [[nodiscard]] virtual bool Open(const RawString& path) = 0;
    virtual void Write(const char* data, int32_t size) = 0;  // failures are the sink's own
    virtual void Close() = 0;
  };

  JobLogStorer();
  ~JobLogStorer() override;

  void SetSeparater(Separater* separater);  // not owned; set before Open
  // Makes the folder, opens the first file, writes the header and starts the
  // worker, which first prunes the old files. False (no log) when the folder or
  // file cannot be made.
  [[nodiscard]] bool Open(const JobLogOptions& options);
  void Queue(const RawString& line);
  // Stops accepting, writes every line queued so far, flushes and closes.
  void Close();

  bool IsAccepting() const { return accepting_.load(); }
  RawString FilePath() const;
  // Of the current file, header excluded; failed writes count too.
  uint32_t BytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }
  uint32_t LinesWritten() const { return linesWritten_.load(std::memory_order_relaxed); }

 protected:
  void Run() override;

 private:
  struct Node;
  void Prune() const;
  // Opens a file named after `time`; lines then go to it or to the sink.
  [[nodiscard]] bool OpenFile(const RawLayer::RawTime& time);
  void CloseFile();
  void WriteOut(const char* data, size_t size);
  void WriteHeader();
  Node* TakeAll();  // the queued lines, oldest first
  void WriteBatch(Node* first);
  void Rotate();
  static void FreeNodes(Node* first);

  JobLogOptions options_;
  RawString prefix_ = "Kestrel";
  RawString extension_ = "log";
  mutable std::mutex pathLock_;  // guards fileName_ for readers on other threads
  RawString fileName_;
  RawString lastFileName_;   // the name (without folder) OpenFile made last
  RawString firstFileName_;  // the file Open made, which pruning leaves out of its count
  int64_t openedAt_ = 0;  // milliseconds of the current file's stamp

  std::atomic<Node*> head_{nullptr};  // newest first
  std::atomic<bool> accepting_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> sleeping_{false};
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool signalled_ = false;

  std::atomic<uint32_t> bytesWritten_{0};
  std::atomic<uint32_t> linesWritten_{0};
  RawLayer::RawFile file_;
  Separater* separater_ = nullptr;
  bool toSeparater_ = false;
  std::string buffer_;
};

class JobLogServer {
 public:
  using Options = JobLogOptions;

  // The process-wide server, created on first use.
  static JobLogServer& Instance();

  // Makes the folder, prunes, opens the first file, writes the header and starts the storer.
  // False when the folder or the file cannot be made: lines are then dropped and the program
  // runs on without a log. A running log is stopped first.
  [[nodiscard]] bool Start(const Options& options);
  // Appends a whole line (ending with CR LF) to the queue; dropped unless the log is open.
  void Queue(const RawString& line);
  // Writes every queued line, closes the file and ends the storer. Safe to call twice.
  void Stop();

  bool IsAccepting() const;
  RawString FilePath() const;  // the current file, empty when none is open
  JobLogStorer& Storer() { return *storer_; }

  // The log-detail letters ("UCPV" by default): which traced records are written.
  void SetDetail(const RawString& letters);
  bool Wants(char letter) const;

  JobLogServer(const JobLogServer&) = delete;
  JobLogServer& operator=(const JobLogServer&) = delete;
  ~JobLogServer();

 private:
  JobLogServer();
  std::unique_ptr<JobLogStorer> storer_;
  std::atomic<uint32_t> detail_;  // one bit per letter 'A'..'Z'
};

}  // namespace JobLayer
