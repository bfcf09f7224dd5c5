// Conversion through iconv. The ANSI page is converted here by table, because
// iconv's CP1252 refuses the five bytes that page leaves undefined, which the
// system conversion of Windows passes through as the control characters of the
// same value. What cannot be converted becomes '?' in a narrow target and U+FFFD
// in a UTF target, as the system conversion does; in exact mode it fails.
#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "raw/string.h"

namespace RawLayer {

namespace {

const char* IconvName(TextCode code) {
  switch (code) {
    case CodeShiftJis:
      return "CP932";
    case CodeUtf8:
      return "UTF-8";
    case CodeUtf7:
      return "UTF-7";
    case CodeMac:
      return "MACINTOSH";
    case CodeWide:
      return "UTF-16LE";
    default:
      return nullptr;
  }
}

// iconv descriptors keep state, so each thread has its own, opened on first use.
class IconvCache {
 public:
  IconvCache() {
    for (auto& row : cd_) {
      for (auto& cd : row) cd = kNone;
    }
  }
  IconvCache(const IconvCache&) = delete;
  IconvCache& operator=(const IconvCache&) = delete;
  ~IconvCache() {
    for (auto& row : cd_) {
      for (auto& cd : row) {
        if (cd != kNone) iconv_close(cd);
      }
    }
  }
  iconv_t Get(TextCode from, TextCode to) {
    iconv_t& cd = cd_[from][to];
    if (cd == kNone) cd = iconv_open(IconvName(to), IconvName(from));
    if (cd != kNone) iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_[kTextCodeCount][kTextCodeCount];
};

IconvCache& Cache() {
  thread_local IconvCache cache;
  return cache;
}

void AppendReplacement(TextCode to, RawString& out) {
  switch (to) {
    case CodeWide:
      out.AppendChar(0xFFFD);
      break;
    case CodeUtf8:
      out.AppendUnits("\xEF\xBF\xBD", 3);
      break;
    case CodeUtf7:
      out.AppendUnits("+//0-", 5);
      break;
    default:
      out.AppendChar('?');
  }
}

// How many input bytes make the character at `in` that the target cannot hold,
// or 1 when the input itself is invalid there.
size_t RejectedBytes(TextCode from, const char* in, size_t left) {
  if (from == CodeWide) {
    if (left < 2) return left;
    char16_t unit;
    std::memcpy(&unit, in, 2);
    if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
      char16_t low;
      std::memcpy(&low, in + 2, 2);
      if (low >= 0xDC00 && low <= 0xDFFF) return 4;
    }
    return 2;
  }
  const int32_t limit = left > 8 ? 8 : static_cast<int32_t>(left);
  const size_t size = 1 + static_cast<size_t>(CharExtraOf(from, in, limit, 0));
  if (size == 1) return 1;
  iconv_t cd = Cache().Get(from, CodeWide);
  char16_t decoded[8];
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = size;
  char* outPtr = reinterpret_cast<char*>(decoded);
  size_t outLeft = sizeof decoded;
  const bool valid = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  return valid ? size : 1;
}

// Writes the target's closing sequence (UTF-7 ends its base64 run) into `out`.
void Flush(iconv_t cd, RawString& out) {
  const int size = UnitSize(out.Code());
  const int32_t before = out.Length();
  char* dst = out.AppendRaw(16 / size);
  size_t dstLeft = static_cast<size_t>(16 / size) * size;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.Truncate(before + static_cast<int32_t>((16 - dstLeft) / size));
}

bool IconvConvert(TextCode from, const char* data, int32_t length, TextCode to, RawString& out, bool exact) {
  iconv_t cd = Cache().Get(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  const int size = UnitSize(to);
  const int32_t start = out.Length();
  char* in = const_cast<char*>(data);
  size_t inLeft = static_cast<size_t>(length) * UnitSize(from);
  while (inLeft > 0) {
    const int32_t before = out.Length();
    const auto room = static_cast<int32_t>(inLeft > (1 << 20) ? (3 << 20) : inLeft * 3 / size + 16);
    char* dst = out.AppendRaw(room);
    size_t dstLeft = static_cast<size_t>(room) * size;
    const size_t result = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    const int err = errno;
    out.Truncate(before + room - static_cast<int32_t>(dstLeft / size));
    if (result != static_cast<size_t>(-1) || err == E2BIG) continue;
    if (exact || (err != EILSEQ && err != EINVAL)) {
      out.Truncate(start);
      return false;
    }
    // Decoding to UTF-16 fails only on invalid input: skip one byte of it.
    const size_t skip = err == EINVAL ? inLeft : to == CodeWide ? 1 : RejectedBytes(from, in, inLeft);
    in += skip;
    inLeft -= skip;
    Flush(cd, out);
    AppendReplacement(to, out);
    // A narrow target gets a '?' for each UTF-16 unit of the character, as from
    // the system; a character of four UTF-8 bytes or two units takes two.
    if (skip == 4 && (from == CodeWide || from == CodeUtf8) && to != CodeUtf8 && to != CodeUtf7) {
      AppendReplacement(to, out);
    }
  }
  Flush(cd, out);
  return true;
}

// The ANSI page (Windows-1252): 0x80-0x9F differ from Latin-1.
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void DecodeAnsi(const char* data, int32_t length, RawString& wide) {
  char* out = wide.AppendRaw(length);
  for (int32_t i = 0; i < length; ++i) {
    const auto byte = static_cast<uint8_t>(data[i]);
    const char16_t unit = byte >= 0x80 && byte <= 0x9F ? kAnsiHigh[byte - 0x80] : byte;
    std::memcpy(out + 2 * static_cast<size_t>(i), &unit, 2);
  }
}

bool EncodeAnsi(const char* data, int32_t length, RawString& out, bool exact) {
  const int32_t start = out.Length();
  for (int32_t i = 0; i < length; ++i) {
    char16_t unit;
    std::memcpy(&unit, data + 2 * static_cast<size_t>(i), 2);
    int byte = -1;
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
      byte = unit;
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kAnsiHigh[k] == unit) byte = 0x80 + k;
      }
    }
    if (byte < 0) {
      if (exact) {
        out.Truncate(start);
        return false;
      }
      // Each half of a surrogate pair gets its own '?', as from the system.
      byte = '?';
    }
    out.AppendChar(static_cast<uint32_t>(byte));
  }
  return true;
}

bool IsAnsiLike(TextCode code) { return code == CodeAnsi || code == CodeBinary; }

}  // namespace

bool SystemConvert(TextCode from, const char* data, int32_t length, TextCode to, RawString& out, bool exact) {
  if (length <= 0) return true;
  if (IsAnsiLike(from) && IsAnsiLike(to)) {
    out.AppendUnits(data, length);
    return true;
  }
  if (IsAnsiLike(from)) {
    if (to == CodeWide) {
      DecodeAnsi(data, length, out);
      return true;
    }
    RawString wide = RawString::WithCapacity(CodeWide, length);
    DecodeAnsi(data, length, wide);
    return IconvConvert(CodeWide, wide.Data(), wide.Length(), to, out, exact);
  }
  if (IsAnsiLike(to)) {
    if (from == CodeWide) return EncodeAnsi(data, length, out, exact);
    RawString wide = RawString::WithCapacity(CodeWide, length);
    if (!IconvConvert(from, data, length, CodeWide, wide, exact)) return false;
    return EncodeAnsi(wide.Data(), wide.Length(), out, exact);
  }
  if (IconvName(from) == nullptr || IconvName(to) == nullptr) return false;
  return IconvConvert(from, data, length, to, out, exact);
}

}  // namespace RawLayer
