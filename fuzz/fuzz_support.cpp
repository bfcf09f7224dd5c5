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

bool IsWellFormedUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    const size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                     : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<uint8_t>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

bool NamesSystemFunction(std::string_view text) {
  static const std::string_view names[] = {"File", "Folder", "Process", "Window", "Clipboard", "IsKey"};
  for (std::string_view name : names) {
    if (text.find(name) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace KestrelFuzz
