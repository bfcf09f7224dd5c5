// The file layer on POSIX. Paths arrive in any code and are handed to the system
// as UTF-8 with every "\" turned into "/", so a path written for Windows names
// the same place here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "raw/file.h"

namespace RawLayer {
namespace {

std::string SystemPath(const RawString& path) {
  std::string text = path.ToUtf8();
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// The folder that holds `path`, for syncing a rename into the folder entry.
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot sync a folder; that is no failure of the rename.
  bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  ::close(fd);
  return ok;
}

}  // namespace

RawFile::RawFile(RawFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

RawFile::~RawFile() { Close(); }

bool RawFile::OpenRead(const RawString& path) {
  Close();
  if (RawFileFaults::ShouldFail()) return false;
  int fd = ::open(SystemPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // Windows refuses to open a folder as a file; do the same here.
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool RawFile::OpenWrite(const RawString& path) {
  Close();
  if (RawFileFaults::ShouldFail()) return false;
  fd_ = ::open(SystemPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool RawFile::IsOpen() const { return fd_ >= 0; }

bool RawFile::Read(void* buffer, int32_t size, int32_t& got) {
  got = 0;
  if (fd_ < 0 || size < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  for (;;) {
    ssize_t n = ::read(fd_, buffer, static_cast<size_t>(size));
    if (n >= 0) {
      got = static_cast<int32_t>(n);
      return true;
    }
    if (errno != EINTR) return false;
  }
}

bool RawFile::Write(const void* data, int32_t size) {
  if (fd_ < 0 || size < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, bytes, static_cast<size_t>(size));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    bytes += n;
    size -= static_cast<int32_t>(n);
  }
  return true;
}

int64_t RawFile::Size() const {
  struct stat info;
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool RawFile::Seek(int64_t delta) {
  if (fd_ < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  return ::lseek(fd_, static_cast<off_t>(delta), SEEK_CUR) >= 0;
}

bool RawFile::Flush() {
  if (fd_ < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  // The data and what reading it back needs (its size) reach the disk; the file's times may
  // follow later. Leaving them out spares a journal commit on many file systems.
  return ::fdatasync(fd_) == 0;
}

void RawFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawPathKind PathKind(const RawString& path) {
  struct stat info;
  if (::stat(SystemPath(path).c_str(), &info) != 0) return RawPathKind::Missing;
  return S_ISDIR(info.st_mode) ? RawPathKind::Folder : RawPathKind::File;
}

bool ReplaceFileSafely(const RawString& source, const RawString& target) {
  if (RawFileFaults::ShouldFail()) return false;
  std::string to = SystemPath(target);
  if (::rename(SystemPath(source).c_str(), to.c_str()) != 0) return false;
  // The rename is durable only once the folder entry reaches the disk.
  return SyncFolder(FolderOf(to));
}

bool DeleteFileAt(const RawString& path) {
  if (RawFileFaults::ShouldFail()) return false;
  return ::unlink(SystemPath(path).c_str()) == 0;
}

bool CreateFolderAt(const RawString& path) {
  if (RawFileFaults::ShouldFail()) return false;
  return ::mkdir(SystemPath(path).c_str(), 0755) == 0;
}

}  // namespace RawLayer
