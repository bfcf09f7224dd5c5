// Conversion through the system's code pages. Exact mode asks the system to
// report invalid input and characters it would have to replace; where a code page
// does not allow those flags (UTF-7 and UTF-8 targets), lone surrogates are
// refused here instead.
#include <windows.h>

#include <cstring>

#include "raw/string.h"

namespace RawLayer {

namespace {

constexpr UINT kMacRoman = 10000;

UINT CodePage(TextCode code) {
  switch (code) {
    case CodeShiftJis:
      return 932;
    case CodeUtf8:
      return CP_UTF8;
    case CodeUtf7:
      return CP_UTF7;
    case CodeMac:
      return CP_MACCP;
    default:
      return CP_ACP;
  }
}

bool HasLoneSurrogate(const wchar_t* text, int length) {
  for (int i = 0; i < length; ++i) {
    const wchar_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        ++i;
        continue;
      }
      return true;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) return true;
  }
  return false;
}

// Some systems know the Macintosh page only by its own number.
bool RetryAsMacRoman(TextCode code, UINT& codePage) {
  if (code != CodeMac || codePage == kMacRoman || GetLastError() == ERROR_NO_UNICODE_TRANSLATION) return false;
  codePage = kMacRoman;
  return true;
}

bool Decode(TextCode from, const char* data, int32_t length, RawString& wide, bool exact) {
  UINT codePage = CodePage(from);
  const DWORD flags = exact && from != CodeUtf7 ? MB_ERR_INVALID_CHARS : 0;
  int need = MultiByteToWideChar(codePage, flags, data, length, nullptr, 0);
  if (need <= 0 && RetryAsMacRoman(from, codePage)) need = MultiByteToWideChar(codePage, flags, data, length, nullptr, 0);
  if (need <= 0) return false;
  const int32_t before = wide.Length();
  auto* out = reinterpret_cast<wchar_t*>(wide.AppendRaw(need));
  const int made = MultiByteToWideChar(codePage, flags, data, length, out, need);
  wide.Truncate(before + (made > 0 ? made : 0));
  return made > 0;
}

bool Encode(const wchar_t* data, int32_t length, TextCode to, RawString& out, bool exact) {
  UINT codePage = CodePage(to);
  const bool utf = to == CodeUtf8 || to == CodeUtf7;
  if (exact && utf && HasLoneSurrogate(data, length)) return false;
  const DWORD flags = exact && !utf ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = exact && !utf ? &usedDefault : nullptr;
  int need = WideCharToMultiByte(codePage, flags, data, length, nullptr, 0, nullptr, usedDefaultPtr);
  if (need <= 0 && RetryAsMacRoman(to, codePage)) {
    need = WideCharToMultiByte(codePage, flags, data, length, nullptr, 0, nullptr, usedDefaultPtr);
  }
  if (need <= 0 || usedDefault) return false;
  const int32_t before = out.Length();
  char* dst = out.AppendRaw(need);
  const int made = WideCharToMultiByte(codePage, flags, data, length, dst, need, nullptr, usedDefaultPtr);
  if (made <= 0 || usedDefault) {
    out.Truncate(before);
    return false;
  }
  out.Truncate(before + made);
  return true;
}

}  // namespace

bool SystemConvert(TextCode from, const char* data, int32_t length, TextCode to, RawString& out, bool exact) {
  if (length <= 0) return true;
  if (from == CodeWide) return Encode(reinterpret_cast<const wchar_t*>(data), length, to, out, exact);
  if (to == CodeWide) return Decode(from, data, length, out, exact);
  RawString wide = RawString::WithCapacity(CodeWide, length);
  if (!Decode(from, data, length, wide, exact)) return false;
  return Encode(reinterpret_cast<const wchar_t*>(wide.WideData()), wide.Length(), to, out, exact);
}

std::wstring RawString::ToWideString() const {
  const std::u16string units = ToWide();
  return std::wstring(units.begin(), units.end());
}

}  // namespace RawLayer
