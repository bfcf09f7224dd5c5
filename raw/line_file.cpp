// Line files: a text file read or written line by line.
//
// What a line file reads
//   Any bytes. A byte-order mark at the very start names the code: FE FF is UTF-16
//   big-endian, FF FE UTF-16 little-endian, EF BB BF UTF-8. Lines end at LF, CR or
//   CR LF, counted in units of the text (two bytes in UTF-16); the last line may
//   lack its end; a line end at the end of the file adds no empty line, and an
//   empty file has no line.
//
// Finding the code without a mark (DecodeDetect, file code not given)
//   The bytes are scanned from the start: 01-7E go on; 80-C1 mean Shift_JIS;
//   C2-EF let DetectCode decide over the rest of the data; F0-F9 and FD mean
//   UTF-8; FA-FC (Shift_JIS lead bytes that UTF-8 never holds) mean Shift_JIS;
//   7F, FE, FF mean binary. A zero byte makes the text a UTF-16 candidate,
//   big-endian when the zero is at an even file offset, little-endian when odd.
//   The look-ahead from the zero:
//     - an LF unit in the candidate's order at an even file offset (so also the
//       second half of a UTF-16 CR LF) confirms it;
//     - the 8-bit pair 0D 0A met first rejects it; the scan goes on after the
//       zero, and later zeros of the same order before that pair are rejected
//       without a second look;
//     - 4096 bytes without either, or the end of the file, confirm it.
//   When the first chunk ends undecided, the file is read ahead block by block
//   (keeping only the bytes from a pending candidate on) until the scan decides
//   or the file ends, and the file pointer is moved back. A file that never
//   decides (plain ASCII) keeps its code unknown and is delivered unconverted.
//
// Conversion
//   When the file's code is known, differs from the wanted code and is not
//   binary, each chunk is cut after its last complete character and converted
//   into the conversion buffer; lines are views into that buffer. Line offsets
//   still count file bytes: the file offsets of the CR and LF units of each
//   converted chunk are kept beside it. Conversion is exact. Bytes of an
//   unknown or binary code are delivered as they are, except that UTF-16 cannot
//   carry them so: for a UTF-16 text code they are converted from ANSI.
//
// Writing
//   The mark of the file's code (FlagWriteMark) goes before the first byte; lines
//   end with CR LF in the file's code. Texts are converted exactly into the
//   file's code; one the code cannot hold sets StateConvertFailed, writes nothing
//   of itself, and fails every later write. Files of CodeAnsi or CodeBinary take the
//   bytes of every text as they come. Only what reads back is written: UTF-8
//   text for a UTF-8 file without a mark is checked as strictly as a
//   conversion (behind a mark it passes byte for byte, as it was read); a zero byte
//   in an 8-bit file without a mark sets StateConvertFailed (the reader would
//   weigh UTF-16); a line the reader of the same buffer size could not hold (its
//   bytes in the file's code and one unit of its end longer than the buffer)
//   sets StateLineTooLong. Either writes nothing of the text and fails every
//   later write. Closing a file written without a mark in a code of its own
//   detects its code again as a reader would; another verdict sets
//   StateOtherCodeDetected and fails the Close (with FlagMarkWhenNeeded a UTF-8
//   file gets the mark put in front instead).
//
// Error recovery: none inside a file. Every problem stops reading for good with
// a state; lines already delivered are not taken back, but ReachedCleanEnd()
// stays false, so nobody rewrites a file from half of it:
//   StateReadFailed     a read failed, or moving back after reading ahead did;
//   StateConvertFailed  a chunk is not valid text in the file's code (no
//                       replacement characters are made up: a rewrite must never
//                       lose the bytes it could not read);
//   StateLineTooLong    a line and the first unit of its line end do not fit in
//                       the buffer (in 8-bit codes: the line is as long as the
//                       buffer or longer);
//   StateOddWideLine    UTF-16 text ends in half a unit (an odd file length).
// Unconverted text (the file already in the wanted code, unknown, or binary) is
// delivered byte for byte, valid or not.
#include "raw/line_file.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace RawLayer {
namespace {

constexpr int32_t kMinBufferSize = 4;  // room for a mark and a surrogate pair
constexpr int32_t kMaxBufferSize = 1 << 28;
constexpr int32_t kCandidateWindow = 4096;
constexpr int kUndecided = -1;

bool IsUtf16(TextCode code) { return code == CodeUtf16Big || code == CodeUtf16Little; }

TextCode Resolved(TextCode code) { return code == CodeWide ? NativeWideCode() : code; }

// The byte-wise scan of the detection; remembers across read-ahead blocks which
// candidates an 8-bit CR LF already rejected.
class CodeScan {
 public:
  // Scans `length` bytes that start at file offset `base`. Returns a TextCode, or
  // kUndecided with `keep` = the first byte the next scan must see again.
  int Scan(const uint8_t* data, int32_t length, int64_t base, bool atEof, int32_t& keep) {
    for (int32_t i = 0; i < length; ++i) {
      i = SkipPlain(data, i, length);
      if (i == length) break;
      const uint8_t b = data[i];
      if (b >= 0x01 && b <= 0x7E) continue;
      if (b >= 0x80 && b <= 0xC1) return CodeShiftJis;
      if (b >= 0xC2 && b <= 0xEF) return DetectCode(reinterpret_cast<const char*>(data) + i, length - i);
      if (b >= 0xFA && b <= 0xFC) return CodeShiftJis;
      if (b >= 0xF0 && b <= 0xFD) return CodeUtf8;
      if (b != 0) return CodeBinary;
      const bool bigEndian = ((base + i) & 1) == 0;
      switch (Candidate(data, length, i, base, bigEndian, atEof)) {
        case kConfirmed:
          return bigEndian ? CodeUtf16Big : CodeUtf16Little;
        case kRejected:
          continue;
        default:
          // Keep the whole unit that holds the zero; its other byte was scanned
          // already without a decision, and scanning it again decides nothing.
          keep = ((base + i) & 1) != 0 && i > 0 ? i - 1 : i;
          return kUndecided;
      }
    }
    keep = length;
    return kUndecided;
  }

 private:
  enum Verdict { kConfirmed, kRejected, kNeedMore };

  // The first position from `i` on whose byte is not 0x01 to 0x7E, eight bytes at a
  // time: a plain ASCII file is scanned to its end before it is read as lines.
  static int32_t SkipPlain(const uint8_t* data, int32_t i, int32_t length) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    for (; i + 8 <= length; i += 8) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      const uint64_t deleted = word ^ (kOnes * 0x7F);  // a zero byte where the byte is 0x7F
      // A high bit in a lane of `odd` marks a zero, a 0x7F or a byte of 0x80 or more.
      const uint64_t odd = ((word - kOnes) & ~word) | ((deleted - kOnes) & ~deleted) | word;
      if ((odd & kHighs) != 0) break;
    }
    return i;
  }

  Verdict Candidate(const uint8_t* data, int32_t length, int32_t zero, int64_t base, bool bigEndian, bool atEof) {
    int64_t& rejectedBefore = rejectedBefore_[bigEndian ? 1 : 0];
    if (base + zero < rejectedBefore) return kRejected;
    // Start at the unit that holds the zero, so a CR LF unit it belongs to counts.
    int32_t p = zero;
    if (((base + p) & 1) != 0 && p > 0) --p;
    const int32_t limit = zero + kCandidateWindow;
    for (; p < limit; ++p) {
      if (length - p < 2) return atEof ? kConfirmed : kNeedMore;
      const uint8_t a = data[p];
      const uint8_t b = data[p + 1];
      if (((base + p) & 1) == 0 && (bigEndian ? (a == 0 && b == 0x0A) : (a == 0x0A && b == 0))) return kConfirmed;
      if (a == 0x0D && b == 0x0A) {
        rejectedBefore = base + p;
        return kRejected;
      }
    }
    return kConfirmed;
  }

  int64_t rejectedBefore_[2] = {-1, -1};
};

bool IsShiftJisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The end of the last complete character of `code` in [begin, end).
int32_t CompleteEnd(TextCode code, const char* data, int32_t begin, int32_t end) {
  const auto* d = reinterpret_cast<const uint8_t*>(data);
  switch (code) {
    case CodeUtf8: {
      for (int32_t p = end - 1; p >= begin && p >= end - 6; --p) {
        const uint8_t b = d[p];
        if ((b & 0xC0) == 0x80) continue;
        const int32_t size = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : b < 0xFE ? 6 : 1;
        return end - p < size ? p : end;
      }
      return end;
    }
    case CodeShiftJis: {
      // A byte outside the lead range always ends a character (as a single byte
      // or as a trail), so the lead-range bytes after it pair up from there.
      int32_t p = end;
      while (p > begin && IsShiftJisLead(d[p - 1])) --p;
      return ((end - p) & 1) != 0 ? end - 1 : end;
    }
    case CodeUtf16Big:
    case CodeUtf16Little: {
      int32_t e = begin + ((end - begin) & ~1);
      if (e - begin >= 2) {
        const uint32_t unit =
            code == CodeUtf16Big ? (d[e - 2] << 8) | d[e - 1] : d[e - 2] | (d[e - 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF) e -= 2;
      }
      return e;
    }
    case CodeUtf7: {
      // CR and LF always end a base64 run, so the text up to them decodes alone.
      for (int32_t p = end; p > begin; --p) {
        if (d[p - 1] == 0x0D || d[p - 1] == 0x0A) return p;
      }
      return begin;
    }
    default:
      return end;
  }
}

uint32_t UnitOf(const char* data, int32_t position, int32_t width, bool bigEndian) {
  const auto* d = reinterpret_cast<const uint8_t*>(data) + position;
  if (width == 1) return d[0];
  return bigEndian ? (d[0] << 8) | d[1] : d[0] | (d[1] << 8);
}

#if defined(__SSE2__)
// One bit per byte of the sixteen at `at` that is a CR or an LF.
inline uint64_t CrOrLfBits(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  return static_cast<uint32_t>(_mm_movemask_epi8(hits));
}
#endif

// The position of the first CR or LF byte in [begin, end), or `end`. Many bytes
// at a time, one bit per byte: one pass finds either byte, where two memchr calls
// per line would cost more than the scan on short lines. The first step looks at
// 64 bytes, so the line of a profile ends within it and the loop is not left at a
// place that changes from line to line (a mispredicted branch costs more than
// the extra compares).
[[gnu::always_inline]] inline int32_t FindCrOrLf(const char* data, int32_t begin, int32_t end) {
  int32_t p = begin;
#if defined(__SSE2__)
  for (; p + 64 <= end; p += 64) {
    const uint64_t hits = CrOrLfBits(data + p) | CrOrLfBits(data + p + 16) << 16 |
                          CrOrLfBits(data + p + 32) << 32 | CrOrLfBits(data + p + 48) << 48;
    if (hits != 0) return p + std::countr_zero(hits);
  }
  for (; p + 16 <= end; p += 16) {
    const uint64_t hits = CrOrLfBits(data + p);
    if (hits != 0) return p + std::countr_zero(hits);
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    using Bytes = uint8_t __attribute__((vector_size(16)));
    for (; p + 16 <= end; p += 16) {
      Bytes bytes;
      std::memcpy(&bytes, data + p, 16);
      const Bytes hits = (bytes == 0x0A) | (bytes == 0x0D);  // 0xFF in each lane that is a line end
      uint64_t low;
      uint64_t high;
      std::memcpy(&low, &hits, 8);
      std::memcpy(&high, reinterpret_cast<const char*>(&hits) + 8, 8);
      if ((low | high) != 0) return p + (low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(high)) / 8;
    }
  }
#endif
  for (; p < end; ++p) {
    if (data[p] == '\n' || data[p] == '\r') return p;
  }
  return end;
}

// Calls `found` with the position of every CR and LF unit in [begin, end).
template <class Found>
void ForEachLineEnd(const char* data, int32_t begin, int32_t end, int32_t width, bool bigEndian, Found found) {
  if (width == 1) {
    for (int32_t p = FindCrOrLf(data, begin, end); p < end; p = FindCrOrLf(data, p + 1, end)) found(p);
    return;
  }
  for (int32_t p = begin; p + 2 <= end; p += 2) {
    const uint32_t unit = UnitOf(data, p, 2, bigEndian);
    if (unit == 0x0D || unit == 0x0A) found(p);
  }
}

const char* MarkOf(TextCode code, int32_t& length) {
  switch (code) {
    case CodeUtf16Big:
      length = 2;
      return "\xFE\xFF";
    case CodeUtf16Little:
      length = 2;
      return "\xFF\xFE";
    case CodeUtf8:
      length = 3;
      return "\xEF\xBB\xBF";
    case CodeUtf7:
      length = 5;
      return "+/v8-";
    default:
      length = 0;
      return "";
  }
}

}  // namespace

RawLineFile::RawLineFile(const RawString& path, int32_t bufferSize) : path_(path) {
  bufferSize_ = bufferSize < kMinBufferSize ? kMinBufferSize : bufferSize > kMaxBufferSize ? kMaxBufferSize : bufferSize;
}

RawLineFile::~RawLineFile() { Close(); }

void RawLineFile::Fail(State state) {
  state_ = state;
  line_ = RawString::Empty();
}

// --- reading -----------------------------------------------------------------

bool RawLineFile::OpenRead() {
  Close();
  state_ = StateClosed;
  access_ = RawFile::AccessRead;
  cleanEnd_ = false;
  hadMark_ = false;
  if (!fileCodeGiven_) {
    fileCode_ = CodeAnsi;
    fileCodeKnown_ = false;
  }
  fileCode_ = Resolved(fileCode_);
  wideLines_ = textCode_ == CodeWide;
  if (flags_ & FlagDecoderBits) {
    decoder_ = flags_ & (DecodeLookForMark | DecodeSkipMark | DecodeDetect);
  } else {
    decoder_ = textCode_ != CodeAnsi && !fileCodeKnown_ ? DecodeLookForMark | DecodeSkipMark | DecodeDetect : 0;
  }
  lineNumber_ = -1;
  nextLineNumber_ = 0;
  lineOffset_ = 0;
  nextLineOffset_ = 0;
  filePos_ = 0;
  atEof_ = false;
  atStart_ = true;
  skipLf_ = false;
  oddTail_ = false;
  converting_ = false;
  readPos_ = dataEnd_ = rawPos_ = rawEnd_ = 0;
  lineEnds_.clear();
  lineEndsPos_ = 0;
  buffer_.assign(static_cast<size_t>(bufferSize_) + 2, 0);
  lines_ = buffer_.data();
  if (!file_.OpenRead(path_)) {
    state_ = StateOpenReadFailed;
    return false;
  }
  state_ = StateOpen;
  if (!(flags_ & FlagNoFirstChunk)) (void)ReadChunk();
  return true;
}

bool RawLineFile::FillRaw(int32_t from, int32_t limit) {
  int32_t end = from;
  while (end < limit) {
    int32_t got = 0;
    if (!file_.Read(buffer_.data() + end, limit - end, got)) {
      Fail(StateReadFailed);
      return false;
    }
    if (got == 0) {
      atEof_ = true;
      break;
    }
    end += got;
    filePos_ += got;
  }
  rawEnd_ = end;
  return true;
}

void RawLineFile::ReadMark() {
  const auto* b = reinterpret_cast<const uint8_t*>(buffer_.data());
  TextCode code = CodeAnsi;
  int32_t length = 0;
  if (rawEnd_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    code = CodeUtf8;
    length = 3;
  } else if (rawEnd_ >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    code = CodeUtf16Big;
    length = 2;
  } else if (rawEnd_ >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    code = CodeUtf16Little;
    length = 2;
  }
  if (length == 0) return;
  hadMark_ = true;
  if (!fileCodeKnown_) {
    fileCode_ = code;
    fileCodeKnown_ = true;
  }
  if (decoder_ & DecodeSkipMark) rawPos_ = length;
}

bool RawLineFile::DetectFileCode() {
  CodeScan scan;
  int32_t keep = 0;
  const auto* first = reinterpret_cast<const uint8_t*>(buffer_.data()) + rawPos_;
  int result = scan.Scan(first, rawEnd_ - rawPos_, rawPos_, atEof_, keep);
  if (result == kUndecided && !atEof_) {
    std::vector<char> ahead(buffer_.begin() + rawPos_ + keep, buffer_.begin() + rawEnd_);
    int64_t aheadBase = rawPos_ + keep;
    int64_t readAhead = 0;
    bool end = false;
    while (result == kUndecided && !end) {
      const size_t held = ahead.size();
      ahead.resize(held + static_cast<size_t>(bufferSize_));
      int32_t got = 0;
      if (!file_.Read(ahead.data() + held, bufferSize_, got)) {
        Fail(StateReadFailed);
        return false;
      }
      ahead.resize(held + static_cast<size_t>(got));
      readAhead += got;
      end = got == 0;
      result = scan.Scan(reinterpret_cast<const uint8_t*>(ahead.data()), static_cast<int32_t>(ahead.size()), aheadBase,
                         end, keep);
      if (result == kUndecided) {
        ahead.erase(ahead.begin(), ahead.begin() + keep);
        aheadBase += keep;
      }
    }
    if (readAhead > 0 && !file_.Seek(-readAhead)) {
      Fail(StateReadFailed);
      return false;
    }
  }
  if (result != kUndecided) {
    fileCode_ = static_cast<TextCode>(result);
    fileCodeKnown_ = true;
  }
  return true;
}

bool RawLineFile::ReadChunk() {
  if (atStart_) return ReadFirstChunk();
  // Everything from the start of the pending line is still in hand.
  if (filePos_ - nextLineOffset_ >= bufferSize_) {
    Fail(StateLineTooLong);
    return false;
  }
  return converting_ ? ReadNextConvertedChunk() : ReadNextChunk();
}

// The first chunk: the mark and the detection decide the decoding of the whole file.
bool RawLineFile::ReadFirstChunk() {
  atStart_ = false;
  if (!FillRaw(0, bufferSize_)) return false;
  rawPos_ = 0;
  if (decoder_ & DecodeLookForMark) ReadMark();
  nextLineOffset_ = rawPos_;
  if (!fileCodeKnown_ && (decoder_ & DecodeDetect) && !DetectFileCode()) return false;
  ChooseDecoding();
  if (!converting_) {
    lines_ = buffer_.data();
    readPos_ = rawPos_;
    dataEnd_ = rawEnd_;
    return true;
  }
  converted_.resize(static_cast<size_t>(bufferSize_) * 2 + 2);
  lines_ = converted_.data();
  readPos_ = dataEnd_ = 0;
  return ConvertChunk();
}

// Whether lines are converted and from which code, and the code, unit width and
// tag of the lines handed out; the file's code is as known as it will be.
void RawLineFile::ChooseDecoding() {
  const TextCode wanted = Resolved(textCode_);
  if (wanted == CodeAnsi) {
    converting_ = false;
  } else if (fileCodeKnown_ && fileCode_ != CodeBinary) {
    converting_ = fileCode_ != wanted;
    convertFrom_ = fileCode_;
  } else {
    // Unknown bytes are delivered as they are, but UTF-16 cannot carry them so.
    converting_ = IsUtf16(wanted);
    convertFrom_ = CodeAnsi;
  }
  fileWidth_ = fileCodeKnown_ && IsUtf16(fileCode_) ? 2 : 1;
  const TextCode lineCode = converting_ ? wanted : fileCodeKnown_ ? fileCode_ : CodeAnsi;
  lineWidth_ = IsUtf16(lineCode) ? 2 : 1;
  lineBigEndian_ = lineCode == CodeUtf16Big;
  if (wideLines_) {
    lineTag_ = CodeWide;
  } else if (wanted == CodeAnsi) {
    lineTag_ = (flags_ & FlagTagAnsi) ? CodeAnsi : CodeUtf8;
  } else {
    lineTag_ = wanted;
  }
}

// Unconverted: the pending line moves to the front and the rest of the buffer is filled.
bool RawLineFile::ReadNextChunk() {
  std::memmove(buffer_.data(), buffer_.data() + readPos_, static_cast<size_t>(dataEnd_ - readPos_));
  dataEnd_ -= readPos_;
  readPos_ = 0;
  if (!FillRaw(dataEnd_, bufferSize_)) return false;
  dataEnd_ = rawEnd_;
  return true;
}

// Converted: the pending converted text and the raw tail of an incomplete character
// move to the front of their buffers, and the next chunk is read and converted.
bool RawLineFile::ReadNextConvertedChunk() {
  std::memmove(converted_.data(), converted_.data() + readPos_, static_cast<size_t>(dataEnd_ - readPos_));
  dataEnd_ -= readPos_;
  readPos_ = 0;
  std::memmove(buffer_.data(), buffer_.data() + rawPos_, static_cast<size_t>(rawEnd_ - rawPos_));
  rawEnd_ -= rawPos_;
  rawPos_ = 0;
  // The file bytes of the pending line count against the buffer as they would
  // unconverted, so a line is too long at the same length in every code.
  const auto pendingConverted = static_cast<int32_t>(filePos_ - nextLineOffset_) - rawEnd_;
  if (!FillRaw(rawEnd_, bufferSize_ - pendingConverted)) return false;
  return ConvertChunk();
}

bool RawLineFile::ConvertChunk() {
  int32_t cut = atEof_ ? rawEnd_ : CompleteEnd(convertFrom_, buffer_.data(), rawPos_, rawEnd_);
  if (atEof_ && fileWidth_ == 2 && ((rawEnd_ - rawPos_) & 1) != 0) {
    --cut;
    oddTail_ = true;
  }
  if (cut == rawPos_) return true;

  if (lineEndsPos_ > 0) {
    lineEnds_.erase(lineEnds_.begin(), lineEnds_.begin() + static_cast<std::ptrdiff_t>(lineEndsPos_));
    lineEndsPos_ = 0;
  }
  const size_t endsBefore = lineEnds_.size();
  const int64_t base = filePos_ - rawEnd_;  // file offset of buffer_[0]
  ForEachLineEnd(buffer_.data(), rawPos_, cut, fileWidth_, convertFrom_ == CodeUtf16Big,
                 [&](int32_t p) { lineEnds_.push_back(base + p); });

  chunkText_.Clear();
  const TextCode wanted = Resolved(textCode_);
  if (!ConvertUnits(convertFrom_, buffer_.data() + rawPos_, cut - rawPos_, wanted, chunkText_, true)) {
    Fail(StateConvertFailed);
    return false;
  }
  const auto bytes = static_cast<int32_t>(chunkText_.View().size());
  const size_t need = static_cast<size_t>(dataEnd_) + static_cast<size_t>(bytes) + 2;
  if (converted_.size() < need) {
    converted_.resize(need + need / 2);
    lines_ = converted_.data();
  }
  std::memcpy(converted_.data() + dataEnd_, chunkText_.Data(), static_cast<size_t>(bytes));

  if (convertFrom_ == CodeUtf7) {
    // UTF-7 may also spell a CR or LF in base64; such a line gets the offset of
    // the chunk's end, an approximation this rare form has to live with.
    size_t count = 0;
    ForEachLineEnd(converted_.data(), dataEnd_, dataEnd_ + bytes, lineWidth_, lineBigEndian_,
                   [&](int32_t) { ++count; });
    if (count != lineEnds_.size() - endsBefore) lineEnds_.resize(endsBefore + count, base + cut - fileWidth_);
  }
  dataEnd_ += bytes;
  rawPos_ = cut;
  return true;
}

int64_t RawLineFile::PopLineEnd() {
  if (lineEndsPos_ < lineEnds_.size()) return lineEnds_[lineEndsPos_++];
  return filePos_ - (rawEnd_ - rawPos_) - fileWidth_;
}

uint32_t RawLineFile::UnitAt(int32_t position) const { return UnitOf(lines_, position, lineWidth_, lineBigEndian_); }

int32_t RawLineFile::FindLineEnd(int32_t begin, int32_t end) const {
  if (lineWidth_ == 2) {
    for (int32_t p = begin; p + 2 <= end; p += 2) {
      const uint32_t unit = UnitAt(p);
      if (unit == 0x0D || unit == 0x0A) return p;
    }
    return end;
  }
  return FindCrOrLf(lines_, begin, end);
}

bool RawLineFile::TakeLine(int32_t begin, int32_t end) {
  // Most lines are 8-bit text as read, with their end and the byte after it in hand.
  if (lineWidth_ == 1 && !converting_ && !skipLf_) {
    const int32_t lineEnd = FindCrOrLf(lines_, begin, end);
    if (lineEnd + 1 < end) {
      const int32_t next = lineEnd + 1 + (lines_[lineEnd] == '\r' && lines_[lineEnd + 1] == '\n' ? 1 : 0);
      lineOffset_ = nextLineOffset_;
      nextLineOffset_ += next - begin;
      readPos_ = next;
      lineNumber_ = nextLineNumber_++;
      lines_[lineEnd] = 0;
      line_.AimView(lineTag_, lines_ + begin, lineEnd - begin);
      return true;
    }
  }
  return TakeLineAtEdge(begin, end);
}

// A line of UTF-16 or converted text, or one whose end is not yet known to be complete.
bool RawLineFile::TakeLineAtEdge(int32_t begin, int32_t end) {
  const int32_t w = lineWidth_;
  if (skipLf_) {
    if (end - begin < w) {
      if (!atEof_) return false;
    } else {
      skipLf_ = false;
      if (UnitAt(begin) == 0x0A) {
        begin += w;
        readPos_ = begin;
        nextLineOffset_ = converting_ ? PopLineEnd() + fileWidth_ : nextLineOffset_ + w;
      }
    }
  }
  if (begin >= end) return false;

  int32_t lineEnd = FindLineEnd(begin, end);
  int32_t next = lineEnd;
  int ends = 0;
  if (lineEnd < end) {
    ends = 1;
    next = lineEnd + w;
    if (UnitAt(lineEnd) == 0x0D) {
      if (lineEnd + 2 * w <= end) {
        if (UnitAt(lineEnd + w) == 0x0A) {
          next += w;
          ends = 2;
        }
      } else if (!atEof_) {
        // The LF may follow in the next chunk; wait for it unless the pending
        // line already fills the buffer, and then drop that LF when it comes.
        if (filePos_ - nextLineOffset_ < bufferSize_) return false;
        skipLf_ = true;
      }
    }
  } else if (!atEof_) {
    return false;
  } else if (w == 2 && ((end - begin) & 1) != 0) {
    Fail(StateOddWideLine);
    return false;
  }

  lineOffset_ = nextLineOffset_;
  if (!converting_) {
    nextLineOffset_ += next - begin;
  } else if (ends > 0) {
    int64_t last = 0;
    for (int i = 0; i < ends; ++i) last = PopLineEnd();
    nextLineOffset_ = last + fileWidth_;
  } else {
    nextLineOffset_ = filePos_ - (rawEnd_ - rawPos_);
  }
  readPos_ = next;
  lineNumber_ = nextLineNumber_++;
  // The line end is consumed, so its place holds the terminating zero unit.
  lines_[lineEnd] = 0;
  if (w == 2) lines_[lineEnd + 1] = 0;
  if (wideLines_ && (begin & 1) != 0) {
    Fail(StateOddWideLine);
    return false;
  }
  line_.AimView(lineTag_, lines_ + begin, wideLines_ ? (lineEnd - begin) / 2 : lineEnd - begin);
  return true;
}

bool RawLineFile::ReadLine() {
  if (state_ != StateOpen || access_ != RawFile::AccessRead) return false;
  if (atStart_ && !ReadChunk()) return false;
  for (;;) {
    if (TakeLine(readPos_, dataEnd_)) return true;
    if (state_ != StateOpen) return false;
    if (atEof_) {
      if (oddTail_) {
        Fail(StateOddWideLine);
      } else {
        state_ = StateEnd;
        cleanEnd_ = true;
        line_ = RawString::Empty();
      }
      return false;
    }
    if (!ReadChunk()) return false;
  }
}

// --- writing -----------------------------------------------------------------

bool RawLineFile::OpenWrite() {
  Close();
  state_ = StateClosed;
  access_ = RawFile::AccessWrite;
  cleanEnd_ = false;
  hadMark_ = false;
  bytesWritten_ = 0;
  fileCode_ = Resolved(fileCodeGiven_ ? fileCode_ : textCode_);
  fileCodeKnown_ = true;
  if (!file_.OpenWrite(path_)) {
    state_ = StateOpenWriteFailed;
    return false;
  }
  markPending_ = (flags_ & FlagWriteMark) != 0;
  writeText_ = RawString::WithCapacity(fileCode_, bufferSize_ + 64);
  state_ = StateOpen;
  return true;
}

bool RawLineFile::WriteBytes(const RawString& text, bool lineEnd) {
  if (state_ != StateOpen || access_ != RawFile::AccessWrite) return false;
  const int32_t before = writeText_.Length();
  int32_t markLength = 0;
  if (markPending_) {
    const char* mark = MarkOf(fileCode_, markLength);
    writeText_.AppendUnits(mark, markLength);
  }
  const State refused = EncodeText(text) ? RefusalOf(before + markLength, lineEnd) : StateConvertFailed;
  if (refused != StateOpen) {
    // What was accepted before stays; nothing of this text is written.
    writeText_.Truncate(before);
    WritePending();
    Fail(refused);
    return false;
  }
  if (lineEnd) AppendLineEnd();
  markPending_ = false;
  bytesWritten_ += writeText_.Length() - before;
  // Lines are gathered and written a buffer at a time: one system call per line
  // made rewriting a large profile several times slower.
  return writeText_.Length() < bufferSize_ || WritePending();
}

// Appends the text in the file's code; false when the code cannot hold it.
bool RawLineFile::EncodeText(const RawString& text) {
  // Code 0 and binary files take the bytes as they come; all others get exactly
  // their own code or nothing. UTF-8 for a UTF-8 file without a mark is checked
  // too: a reader hands such lines on unchecked, and bytes valid in no code would
  // let the next reading of the written file detect another code.
  const bool checkSame = fileCode_ == CodeUtf8 && !(flags_ & FlagWriteMark);
  const bool convert = fileCode_ != CodeAnsi && fileCode_ != CodeBinary && text.Code() != CodeBinary &&
                       (text.Code() != fileCode_ || checkSame);
  if (convert) return ConvertUnits(text.Code(), text.Data(), text.Length(), fileCode_, writeText_, true);
  writeText_.AppendUnits(text.Data(), text.Length() * UnitSize(text.Code()));
  return true;
}

// StateOpen when the encoded text from `textStart` on reads back as written,
// else the state that refuses it.
RawLineFile::State RawLineFile::RefusalOf(int32_t textStart, bool lineEnd) const {
  const int32_t textBytes = writeText_.Length() - textStart;
  const int32_t width = IsUtf16(fileCode_) ? 2 : 1;
  if (width == 1 && fileCode_ != CodeBinary && !(flags_ & FlagWriteMark) &&
      std::memchr(writeText_.Data() + textStart, 0, static_cast<size_t>(textBytes)) != nullptr) {
    // Without a mark a zero byte makes the reader weigh UTF-16 and may turn its verdict.
    return StateConvertFailed;
  }
  if (lineEnd && textBytes + width > bufferSize_) {
    // The reader of this buffer size would stop at the line and lose the rest of the file.
    return StateLineTooLong;
  }
  return StateOpen;
}

// CR LF in the file's code.
void RawLineFile::AppendLineEnd() {
  if (fileCode_ == CodeUtf16Big) {
    writeText_.AppendUnits("\0\r\0\n", 4);
  } else if (fileCode_ == CodeUtf16Little) {
    writeText_.AppendUnits("\r\0\n\0", 4);
  } else {
    writeText_.AppendUnits("\r\n", 2);
  }
}

bool RawLineFile::WritePending() {
  const int32_t bytes = writeText_.Length();
  const bool written = bytes == 0 || file_.Write(writeText_.Data(), bytes);
  writeText_.Truncate(0);
  if (!written) Fail(StateWriteFailed);
  return written;
}

bool RawLineFile::Write(const RawString& text) { return WriteBytes(text, false); }

bool RawLineFile::WriteLine(const RawString& text) { return WriteBytes(text, true); }

bool RawLineFile::Close() {
  if (file_.IsOpen()) {
    const bool writing = access_ == RawFile::AccessWrite;
    if (writing && state_ == StateOpen && (!WritePending() || !file_.Flush())) {
      state_ = StateWriteFailed;
    }
    file_.Close();
    if (writing && state_ == StateOpen) {
      const ReadBack readBack = DetectedAsWritten();
      // Only a file that was read back and taken for another code may get the mark.
      if (readBack == ReadBack::Failed || (readBack == ReadBack::OtherCode && !PutMarkInFront())) {
        state_ = StateOtherCodeDetected;
      }
    }
  }
  if (state_ == StateOpen || state_ == StateEnd) state_ = StateClosed;
  line_ = RawString::Empty();
  lines_ = nullptr;
  std::vector<char>().swap(buffer_);
  std::vector<char>().swap(converted_);
  lineEnds_.clear();
  return state_ == StateClosed;
}

// Without a mark the next reader finds the code from the bytes, and the bytes of
// a rewrite are not those that were detected before: lines of one code may look
// like another's (Shift_JIS pairs that convert back to other pairs, UTF-8 taken
// for Shift_JIS once the lines that decided it are gone). A reader of the same
// buffer size must find the code the file was written in.
RawLineFile::ReadBack RawLineFile::DetectedAsWritten() const {
  if ((flags_ & FlagWriteMark) || fileCode_ == CodeAnsi || fileCode_ == CodeBinary || bytesWritten_ == 0) {
    return ReadBack::Same;
  }
  RawLineFile reader(path_, bufferSize_);
  reader.SetTextCode(CodeUtf8);
  if (!reader.OpenRead() || reader.GetState() != StateOpen) return ReadBack::Failed;
  // Bytes of no decided code are delivered as they are, which only ASCII survives.
  if (!reader.FileCodeKnown()) return IsUtf16(fileCode_) ? ReadBack::OtherCode : ReadBack::Same;
  return reader.FileCode() == fileCode_ ? ReadBack::Same : ReadBack::OtherCode;
}

// The file just written is read whole and written again behind a UTF-8 mark, after which no
// reader can take it for another code.
bool RawLineFile::PutMarkInFront() const {
  if ((flags_ & FlagMarkWhenNeeded) == 0 || fileCode_ != CodeUtf8) return false;
  std::vector<char> bytes;
  RawFile in;
  if (!in.OpenRead(path_)) return false;
  char chunk[65536];
  for (;;) {
    int32_t got = 0;
    if (!in.Read(chunk, sizeof(chunk), got)) return false;
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  in.Close();
  static constexpr char kMark[] = {'\xEF', '\xBB', '\xBF'};
  RawFile out;
  if (!out.OpenWrite(path_) || !out.Write(kMark, 3)) return false;
  if (!bytes.empty() && !out.Write(bytes.data(), static_cast<int32_t>(bytes.size()))) return false;
  if (!out.Flush()) return false;
  out.Close();
  return true;
}

}  // namespace RawLayer
