#include "job/log.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "job/secret.h"
#include "raw/folder.h"
#include "raw/path.h"

namespace JobLayer {

using RawLayer::RawTime;

namespace {

constexpr char kVersionText[] = "Kestrel Version 1.36.2024.0503";
constexpr char kLineEnd[] = "\r\n";
// The worker writes when its buffer holds this much, so a long batch never
// needs one buffer of its whole size.
constexpr size_t kWriteChunk = 256 * 1024;
constexpr auto kWakeInterval = std::chrono::milliseconds(100);

bool IsDigits(const RawString& text, int32_t begin, int32_t count) {
  for (int32_t at = begin; at < begin + count; ++at) {
    const uint32_t unit = text.UnitAt(at);
    if (unit < '0' || unit > '9') return false;
  }
  return true;
}

RawString FolderWithSeparator(const RawString& folder) {
  RawString path(folder);
  if (!path.IsEmpty() && path.FindLastSeparator() != path.Length() - 1) path.AppendChar('\\');
  return path;
}

}  // namespace

RawString LogCommentRecord(const RawString& text) {
  RawString line("// ");
  line.AppendAll(text, kLineEnd);
  return line;
}

RawString LogEventRecord(const RawString& word, const RawString& first, const RawString& second,
                         const RawString& field, const RawString& last) {
  RawString line("#");
  line.Append(word);
  if (!first.IsEmpty()) line.AppendAll(":", first);
  if (!second.IsEmpty()) line.AppendAll(":", second);
  line.AppendAll(":", LogRecordStamp());
  if (!field.IsEmpty()) line.AppendAll("|", field, JobSecrets::Instance().Masked(last));
  line.Append(kLineEnd);
  return line;
}

RawString LogLinkRecord(const RawString& first, const RawString& second, const RawString& field,
                        const RawString& text) {
  RawString line("@");
  line.AppendAll(first, ">", second, ":", LogRecordStamp());
  line.AppendAll("|", field, JobSecrets::Instance().Masked(text), kLineEnd);
  return line;
}

RawString LogRecordStamp() { return RawLayer::StampText(RawLayer::CurrentTime(), '.'); }

RawString LogVersionRecord() { return LogCommentRecord(kVersionText); }

RawString LogTimeZoneRecord() {
  const RawLayer::RawTimeZone& zone = RawLayer::TimeZone();
  RawString text("<TimeZone>");
  text.Append(RawLayer::UtcOffsetText(zone.offsetMinutes));
  if (!zone.name.IsEmpty()) text.AppendAll(" ", zone.name);
  return LogCommentRecord(text);
}

bool IsLogFileName(const RawString& name) {
  // "Kestrel_" (8) + "YYYYMMDD_HHMMSS_mmm" (19) + ".log" (4)
  if (name.Length() != 31) return false;
  return name.EqualNoCase({0, 8}, "Kestrel_") && IsDigits(name, 8, 8) && name.UnitAt(16) == '_' &&
         IsDigits(name, 17, 6) && name.UnitAt(23) == '_' && IsDigits(name, 24, 3) &&
         name.EqualNoCase({27, 31}, ".log");
}

// --- storer ------------------------------------------------------------------

struct JobLogStorer::Node {
  Node* next;
  int32_t size;
  char* Data() { return reinterpret_cast<char*>(this + 1); }
};

JobLogStorer::JobLogStorer() = default;

JobLogStorer::~JobLogStorer() {
  Close();
  FreeNodes(head_.exchange(nullptr));
}

void JobLogStorer::SetSeparater(Separater* separater) { separater_ = separater; }

RawString JobLogStorer::FilePath() const {
  std::lock_guard<std::mutex> lock(pathLock_);
  return fileName_;
}

void JobLogStorer::FreeNodes(Node* first) {
  while (first != nullptr) {
    Node* next = first->next;
    ::operator delete(first);
    first = next;
  }
}

// Runs on the worker once the first file is open, so a start never waits for the folder walk;
// that file is left out of the count, as if pruning had come before it.
void JobLogStorer::Prune() const {
  if (options_.maxFiles <= 0) return;
  RawString pattern = FolderWithSeparator(options_.folder);
  pattern.Append("*");
  // The names alone decide which files count and their order, so no entry's times are read.
  // Log file names are ASCII: their upper-case bytes sort as the names do ignoring case.
  std::vector<std::pair<std::string, RawString>> files;
  for (RawLayer::RawFolderWalker walker(pattern, RawLayer::RawFolderWalker::kNamesAndKinds); walker.Next();) {
    // Only our own log files count; anything else the user keeps there stays.
    const RawLayer::RawFindFileData& entry = walker.Entry();
    if (entry.IsFolder() || !IsLogFileName(entry.name) || entry.name == firstFileName_) continue;
    std::string upper = entry.name.ToUtf8();
    for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
    files.emplace_back(std::move(upper), entry.fullPath);
  }
  std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto count = static_cast<int32_t>(files.size());
  for (const auto& file : files) {
    if (count < options_.maxFiles) break;
    // A file that cannot be deleted is left; the count goes on as if it were gone.
    (void)RawLayer::DeleteFileAt(file.second);
    --count;
  }
}

bool JobLogStorer::OpenFile(const RawTime& time) {
  RawString name = prefix_;
  name.AppendAll("_", RawLayer::StampText(time, '_'), ".", extension_);
  RawString path = FolderWithSeparator(options_.folder);
  path.Append(name);
  if (!file_.OpenWrite(path)) return false;
  lastFileName_ = name;
  toSeparater_ = false;
  if (separater_ != nullptr) {
    // The sink may open the path itself, which a file still open here would prevent.
    file_.Close();
    toSeparater_ = separater_->Open(path);
    if (!toSeparater_ && !file_.OpenWrite(path)) return false;
  }
  openedAt_ = RawLayer::UnixMilliseconds(time);
  bytesWritten_.store(0, std::memory_order_relaxed);
  linesWritten_.store(0, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(pathLock_);
  fileName_ = path;
  return true;
}

void JobLogStorer::CloseFile() {
  if (toSeparater_) {
    separater_->Close();
    toSeparater_ = false;
  } else if (file_.IsOpen()) {
    // The file's buffers are flushed onto the disk when it closes, so a log survives a power cut
    // too. Nothing is left to tell about a failed flush.
    (void)file_.Flush();
    file_.Close();
  }
  std::lock_guard<std::mutex> lock(pathLock_);
  fileName_ = RawString();
}

void JobLogStorer::WriteOut(const char* data, size_t size) {
  if (size == 0) return;
  if (toSeparater_) {
    separater_->Write(data, static_cast<int32_t>(size));
  } else if (file_.IsOpen()) {
    // A failed write (a full disk) loses these lines only; the log goes on.
    (void)file_.Write(data, static_cast<int32_t>(size));
  }
}

void JobLogStorer::WriteHeader() {
  RawString header = LogVersionRecord();
  header.AppendAll(LogTimeZoneRecord(), kLineEnd);
  WriteOut(header.Data(), static_cast<size_t>(header.Length()));
}

bool JobLogStorer::Open(const JobLogOptions& options) {
  Close();
  options_ = options;
  if (options_.clock == nullptr) options_.clock = RawLayer::CurrentTime;
  if (!RawLayer::EnsureFolder(options_.folder)) return false;
  if (!OpenFile(options_.clock())) {
    firstFileName_ = RawString();
    Prune();
    return false;
  }
  firstFileName_ = lastFileName_;
  WriteHeader();
  // Lines that slipped in while the log was closed belong to no file.
  FreeNodes(head_.exchange(nullptr));
  stop_.store(false);
  accepting_.store(true);
  if (!Start()) {
    accepting_.store(false);
    Prune();
    CloseFile();
    return false;
  }
  return true;
}

void JobLogStorer::Queue(const RawString& line) {
  if (!accepting_.load()) return;
  const RawString text = line.Code() == RawLayer::CodeUtf8 || line.Code() == RawLayer::CodeAnsi
                             ? line
                             : line.Convert(RawLayer::CodeUtf8);
  const int32_t size = text.Length();
  Node* node = static_cast<Node*>(::operator new(sizeof(Node) + static_cast<size_t>(size)));
  node->size = size;
  std::memcpy(node->Data(), text.Data(), static_cast<size_t>(size));
  node->next = head_.load(std::memory_order_relaxed);
  while (!head_.compare_exchange_weak(node->next, node)) {
  }
  if (sleeping_.load()) {
    std::lock_guard<std::mutex> lock(wakeLock_);
    signalled_ = true;
    wake_.notify_one();
  }
}

JobLogStorer::Node* JobLogStorer::TakeAll() {
  Node* newestFirst = head_.exchange(nullptr, std::memory_order_acquire);
  Node* oldestFirst = nullptr;
  while (newestFirst != nullptr) {
    Node* next = newestFirst->next;
    newestFirst->next = oldestFirst;
    oldestFirst = newestFirst;
    newestFirst = next;
  }
  return oldestFirst;
}

void JobLogStorer::Rotate() {
  WriteOut(buffer_.data(), buffer_.size());
  buffer_.clear();
  CloseFile();
  // A new file within the same millisecond would replace the one just closed.
  int64_t at = RawLayer::UnixMilliseconds(options_.clock());
  if (at <= openedAt_) at = openedAt_ + 1;
  if (OpenFile(RawLayer::TimeOfUnixMilliseconds(at))) WriteHeader();
}

void JobLogStorer::WriteBatch(Node* first) {
  while (first != nullptr) {
    const bool full = (options_.byteLimit != 0 && BytesWritten() >= options_.byteLimit) ||
                      (options_.lineLimit != 0 && LinesWritten() >= options_.lineLimit);
    if (full) Rotate();
    buffer_.append(first->Data(), static_cast<size_t>(first->size));
    bytesWritten_.store(BytesWritten() + static_cast<uint32_t>(first->size), std::memory_order_relaxed);
    linesWritten_.store(LinesWritten() + 1, std::memory_order_relaxed);
    if (buffer_.size() >= kWriteChunk) {
      WriteOut(buffer_.data(), buffer_.size());
      buffer_.clear();
    }
    Node* next = first->next;
    ::operator delete(first);
    first = next;
  }
  WriteOut(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void JobLogStorer::Run() {
  Prune();
  for (;;) {
    if (Node* batch = TakeAll()) {
      WriteBatch(batch);
      continue;
    }
    if (stop_.load()) {
      // Lines queued before the stop may have arrived after the last take.
      while (Node* batch = TakeAll()) WriteBatch(batch);
      break;
    }
    std::unique_lock<std::mutex> lock(wakeLock_);
    sleeping_.store(true);
    // A line queued after TakeAll is seen here or signals the wake.
    if (head_.load() == nullptr && !stop_.load()) {
      wake_.wait_for(lock, kWakeInterval, [this] { return signalled_; });
    }
    signalled_ = false;
    sleeping_.store(false);
  }
  CloseFile();
}

void JobLogStorer::Close() {
  accepting_.store(false);
  {
    std::lock_guard<std::mutex> lock(wakeLock_);
    stop_.store(true);
    signalled_ = true;
    wake_.notify_one();
  }
  Wait();
}

// --- server ------------------------------------------------------------------

JobLogServer::JobLogServer() : storer_(std::make_unique<JobLogStorer>()), detail_(0) { SetDetail("UCPV"); }

JobLogServer::~JobLogServer() { Stop(); }

JobLogServer& JobLogServer::Instance() {
  static JobLogServer server;
  return server;
}

bool JobLogServer::Start(const Options& options) { return storer_->Open(options); }

void JobLogServer::Queue(const RawString& line) { storer_->Queue(line); }

void JobLogServer::Stop() { storer_->Close(); }

bool JobLogServer::IsAccepting() const { return storer_->IsAccepting(); }

RawString JobLogServer::FilePath() const { return storer_->FilePath(); }

void JobLogServer::SetDetail(const RawString& letters) {
  uint32_t bits = 0;
  for (int32_t at = 0; at < letters.Length(); ++at) {
    const uint32_t unit = letters.UnitAt(at);
    if (unit >= 'A' && unit <= 'Z') bits |= 1u << (unit - 'A');
  }
  detail_.store(bits);
}

bool JobLogServer::Wants(char letter) const {
  if (letter < 'A' || letter > 'Z') return false;
  return (detail_.load() & (1u << (letter - 'A'))) != 0;
}

}  // namespace JobLayer
