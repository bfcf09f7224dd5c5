#include <windows.h>

#include <cstring>

#include "raw/clipboard.h"

namespace RawLayer {

namespace {

// Another program may hold the clipboard for a moment; a few short retries ride that out
// without hanging when it holds it for long.
bool OpenClipboardRetrying() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  return false;
}

class ClipboardSession {
 public:
  ClipboardSession() : open_(OpenClipboardRetrying()) {}
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

class GlobalBlock {
 public:
  explicit GlobalBlock(size_t bytes) : block_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (block_ != nullptr) GlobalFree(block_);
  }
  HGLOBAL Get() const { return block_; }
  // The clipboard owns the block once SetClipboardData took it.
  void Release() { block_ = nullptr; }

 private:
  HGLOBAL block_;
};

}  // namespace

bool SetClipboardText(const RawString& text, RawRange range) {
  // Always the Unicode format: the system derives the narrow formats from it, while
  // narrow bytes would be read in whatever code page the reader uses.
  RawString wide(CodeWide, text, range);
  const size_t bytes = (static_cast<size_t>(wide.Length()) + 1) * sizeof(wchar_t);
  GlobalBlock block(bytes);
  if (block.Get() == nullptr) return false;
  void* data = GlobalLock(block.Get());
  if (data == nullptr) return false;
  std::memcpy(data, wide.WideData(), bytes - sizeof(wchar_t));
  GlobalUnlock(block.Get());

  ClipboardSession session;
  if (!session.IsOpen() || !EmptyClipboard()) return false;
  if (SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr) return false;
  block.Release();
  return true;
}

RawString ClipboardText(int32_t maxLength) {
  RawString result(CodeWide, RawString());
  if (maxLength <= 0) return result;
  ClipboardSession session;
  if (!session.IsOpen()) return result;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return result;
  const auto* units = static_cast<const char16_t*>(GlobalLock(data));
  if (units == nullptr) return result;
  // The block may be larger than its text: stop at the zero, the block's end or the limit.
  const size_t capacity = GlobalSize(data) / sizeof(char16_t);
  int32_t length = 0;
  while (static_cast<size_t>(length) < capacity && length < maxLength && units[length] != 0) ++length;
  result = RawString::FromWide(units, length);
  GlobalUnlock(data);
  return result;
}

}  // namespace RawLayer
