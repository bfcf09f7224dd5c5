#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "job/screen.h"

namespace KestrelFuzz {

namespace {

class QuietScreen : public JobLayer::JobScreen {
 public:
  void ShowError(const RawString&) override {}
  bool IsKeyDown(int) override { return false; }
};

}  // namespace

void InstallQuietScreen() {
  static QuietScreen screen;
  JobLayer::SetScreen(&screen);
}

std::string ScratchFolder() {
  static const std::string folder = [] {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kestrel-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

RawString ScratchPath(const char* name) { return RawString::FromUtf8(ScratchFolder() + "/" + name); }

bool WriteScratch(const RawString& path, const uint8_t* data, size_t size) {
  std::ofstream out(path.ToUtf8(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

std::vector<std::string_view> SplitAtNul(const uint8_t* data, size_t size, size_t most) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < most) {
    const size_t at = rest.find('\0');
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + 1);
  }
  parts.push_back(rest);
  return parts;
}

bool NamesSystemFunction(std::string_view text) {
  static const std::string_view names[] = {"File", "Folder", "Process", "Window", "Clipboard", "IsKey"};
  for (std::string_view name : names) {
    if (text.find(name) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace KestrelFuzz
