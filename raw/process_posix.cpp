#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "raw/process.h"

namespace RawLayer {

namespace {

class FolderStream {
 public:
  explicit FolderStream(const char* path) : stream_(::opendir(path)) {}
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;
  ~FolderStream() {
    if (stream_ != nullptr) ::closedir(stream_);
  }
  DIR* Get() const { return stream_; }

 private:
  DIR* stream_;
};

std::string ReadLink(const std::string& path) {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t got = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (got < 0) return std::string();
    if (static_cast<size_t>(got) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(got));
    buffer.resize(buffer.size() * 2);
  }
}

bool ParseId(const char* text, uint32_t& id) {
  if (*text == '\0') return false;
  uint64_t value = 0;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
    value = value * 10 + static_cast<uint64_t>(*text - '0');
    if (value > UINT32_MAX) return false;
  }
  id = static_cast<uint32_t>(value);
  return true;
}

// The name and parent of a process from /proc/<id>; false when it has gone meanwhile.
bool ReadProcess(uint32_t id, std::string& name, uint32_t& parent) {
  const std::string folder = "/proc/" + std::to_string(id);
  std::ifstream statFile(folder + "/stat");
  std::string stat;
  if (!std::getline(statFile, stat)) return false;
  // "id (short name) state parent ...": the short name may itself hold ')' or blanks.
  const size_t open = stat.find('(');
  const size_t close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  unsigned long parentId = 0;
  char state = 0;
  if (std::sscanf(stat.c_str() + close + 1, " %c %lu", &state, &parentId) != 2) return false;
  parent = static_cast<uint32_t>(parentId);
  // The executable's file name, as the Windows snapshot gives it; the short name
  // (cut to 15 bytes by the system) for processes whose executable may not be read.
  std::string executable = ReadLink(folder + "/exe");
  const size_t deleted = executable.rfind(" (deleted)");
  if (deleted != std::string::npos && deleted + 10 == executable.size()) executable.resize(deleted);
  const size_t slash = executable.rfind('/');
  name = slash != std::string::npos && slash + 1 < executable.size() ? executable.substr(slash + 1)
                                                                     : stat.substr(open + 1, close - open - 1);
  return true;
}

}  // namespace

bool WalkProcesses(const ProcessVisitor& visit) {
  FolderStream proc("/proc");
  if (proc.Get() == nullptr) return false;
  while (const dirent* found = ::readdir(proc.Get())) {
    uint32_t id = 0;
    uint32_t parent = 0;
    std::string name;
    if (!ParseId(found->d_name, id) || !ReadProcess(id, name, parent)) continue;
    if (!visit(RawString::FromUtf8(name), id, parent)) break;
  }
  return true;
}

RawString FindTopWindow(const RawString& classPattern, const RawString& titlePattern) {
  (void)classPattern;
  (void)titlePattern;
  return RawString();
}

bool BringWindowToFront(int32_t handle) {
  (void)handle;
  return false;
}

RawString ProcessImagePath(uint32_t processId, TextCode code) {
  std::string path = ReadLink("/proc/" + std::to_string(processId) + "/exe");
  return RawString::FromUtf8(path).Convert(code);
}

}  // namespace RawLayer
