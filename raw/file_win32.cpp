// The file layer on Windows, through the wide entries. Paths arrive in any code
// and become UTF-16 here; absolute paths too long for the classic limit get the
// "\\?\" prefix (after the system has made them canonical, since the prefix
// turns off its own clean-up of "/", "." and "..").
#include <windows.h>

#include <string>

#include "raw/file.h"

namespace RawLayer {
namespace {

// CreateDirectoryW already fails from MAX_PATH - 12 on; use the prefix from there.
constexpr size_t kLongPath = MAX_PATH - 12;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring SystemPath(const RawString& path) {
  std::u16string wide = path.ToWide();
  std::wstring text(wide.begin(), wide.end());
  if (text.size() < kLongPath || text.rfind(L"\\\\?\\", 0) == 0) return text;
  bool drive = text.size() >= 3 && text[1] == L':' && IsSeparator(text[2]);
  bool unc = text.size() >= 3 && IsSeparator(text[0]) && IsSeparator(text[1]) && !IsSeparator(text[2]);
  if (!drive && !unc) return text;
  DWORD need = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
  if (need == 0) return text;
  std::wstring full(need, L'\0');
  DWORD got = GetFullPathNameW(text.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return text;
  full.resize(got);
  if (unc) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

}  // namespace

RawFile::RawFile(RawFile&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  return *this;
}

RawFile::~RawFile() { Close(); }

bool RawFile::OpenRead(const RawString& path) {
  Close();
  if (RawFileFaults::ShouldFail()) return false;
  handle_ = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool RawFile::OpenWrite(const RawString& path) {
  Close();
  if (RawFileFaults::ShouldFail()) return false;
  handle_ = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool RawFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

bool RawFile::Read(void* buffer, int32_t size, int32_t& got) {
  got = 0;
  if (!IsOpen() || size < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  DWORD n = 0;
  if (!ReadFile(AsHandle(handle_), buffer, static_cast<DWORD>(size), &n, nullptr)) return false;
  got = static_cast<int32_t>(n);
  return true;
}

bool RawFile::Write(const void* data, int32_t size) {
  if (!IsOpen() || size < 0) return false;
  if (RawFileFaults::ShouldFail()) return false;
  DWORD n = 0;
  return WriteFile(AsHandle(handle_), data, static_cast<DWORD>(size), &n, nullptr) && n == static_cast<DWORD>(size);
}

int64_t RawFile::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool RawFile::Seek(int64_t delta) {
  if (!IsOpen()) return false;
  if (RawFileFaults::ShouldFail()) return false;
  LARGE_INTEGER move;
  move.QuadPart = delta;
  return SetFilePointerEx(AsHandle(handle_), move, nullptr, FILE_CURRENT) != 0;
}

bool RawFile::Flush() {
  if (!IsOpen()) return false;
  if (RawFileFaults::ShouldFail()) return false;
  return FlushFileBuffers(AsHandle(handle_)) != 0;
}

void RawFile::Close() {
  if (IsOpen()) {
    CloseHandle(AsHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
  }
}

RawPathKind PathKind(const RawString& path) {
  DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return RawPathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RawPathKind::Folder : RawPathKind::File;
}

bool ReplaceFileSafely(const RawString& source, const RawString& target) {
  if (RawFileFaults::ShouldFail()) return false;
  // ReplaceFileW is two moves and can leave a stray file; one move is atomic.
  const std::wstring from = SystemPath(source);
  const std::wstring to = SystemPath(target);
  return RetryWhileHeld([&] {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return RawAttempt::Done;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return RawAttempt::Held;
    // Denied is also what an open target gives (Wine refuses to replace an open file at all),
    // but a read-only target stays so.
    if (error != ERROR_ACCESS_DENIED) return RawAttempt::Failed;
    const DWORD attributes = GetFileAttributesW(to.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return readOnly ? RawAttempt::Failed : RawAttempt::Held;
  });
}

bool DeleteFileAt(const RawString& path) {
  if (RawFileFaults::ShouldFail()) return false;
  return DeleteFileW(SystemPath(path).c_str()) != 0;
}

bool CreateFolderAt(const RawString& path) {
  if (RawFileFaults::ShouldFail()) return false;
  return CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0;
}

}  // namespace RawLayer
