// The execution log: one process-wide server that callers hand finished record lines to, and a
// storer thread that alone writes the log file. Queueing never waits on the disk: the storer
// drains every queued line per wake and writes them with one write per batch, in queue order.
//
// Files: <folder>\Kestrel_<YYYYMMDD_HHMMSS_mmm>.log (UTC). Each begins with a comment line of the
// product and its version, a "<TimeZone>" comment line and an empty line. Starting prunes the
// folder's older log files (only names of that form) so that at most MaxLogFiles - 1 remain.
#pragma once

#include <cstdint>
#include <memory>

#include "raw/string.h"

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

class JobLogStorer;

class JobLogServer {
 public:
  struct Options {
    RawString folder;           // LogFolder
    int32_t maxFiles = 200;     // MaxLogFiles; 0 or less prunes nothing
    uint32_t byteLimit = 0;     // a new file after this many bytes; 0 = no limit
    uint32_t lineLimit = 0;     // a new file after this many lines; 0 = no limit
  };

  // The process-wide server, created on first use.
  static JobLogServer& Instance();

  // Makes the folder, prunes, opens the first file, writes the header and starts the storer.
  // False when the folder or the file cannot be made: lines are then dropped and the program
  // runs on without a log.
  [[nodiscard]] bool Start(const Options& options);
  // Appends a whole line (ending with CR LF) to the queue; dropped unless the log is open.
  void Queue(const RawString& line);
  // Writes every queued line, closes the file and ends the storer. Safe to call twice.
  void Stop();

  bool IsAccepting() const;
  RawString FilePath() const;  // the current file, empty when none is open

  // The log-detail letters ("UCPV" by default): which traced records are written.
  void SetDetail(const RawString& letters);
  bool Wants(char letter) const;

  JobLogServer(const JobLogServer&) = delete;
  JobLogServer& operator=(const JobLogServer&) = delete;
  ~JobLogServer();

 private:
  JobLogServer();
  std::unique_ptr<JobLogStorer> storer_;
  uint32_t detail_;  // one bit per letter 'A'..'Z'
};

}  // namespace JobLayer
