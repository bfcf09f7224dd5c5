#include <mutex>

#include "raw/clipboard.h"

namespace RawLayer {

namespace {

std::mutex& ClipboardLock() {
  static std::mutex lock;
  return lock;
}

RawString& Clipboard() {
  static RawString text;
  return text;
}

}  // namespace

bool SetClipboardText(const RawString& text, RawRange range) {
  RawString wide(CodeWide, text, range);
  std::lock_guard<std::mutex> hold(ClipboardLock());
  Clipboard() = wide;
  return true;
}

RawString ClipboardText(int32_t maxLength) {
  std::lock_guard<std::mutex> hold(ClipboardLock());
  const RawString& text = Clipboard();
  if (maxLength <= 0 || text.IsEmpty()) return RawString(CodeWide, RawString());
  // Like the system clipboard, the text ends at its first zero unit.
  int32_t length = text.Find(0);
  if (length > maxLength) length = maxLength;
  return RawString::FromWide(text.WideData(), length);
}

}  // namespace RawLayer
