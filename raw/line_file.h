// A text file read or written line by line in any text code: byte-order marks,
// detection of the code when there is none, conversion per chunk, and lines
// handed out as views into the read buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "raw/file.h"
#include "raw/string.h"

namespace RawLayer {

class RawLineFileInfo {
 public:
  enum State : int32_t {
    StateClosed = 0,
    StateOpen = 1,
    StateEnd = 2,
    StateOpenReadFailed = 4,
    StateOpenWriteFailed = 5,
    StateReadFailed = 6,  // a read or the move back after detection failed
    StateWriteFailed = 7,
    StateConvertFailed = 11,  // reading: a chunk; writing: a text the file's code cannot hold
    StateLineTooLong = 12,    // writing: a line the reader of this buffer size could not hold
    StateOddWideLine = 13,  // also: a UTF-16 file ends in half a unit
    StateOtherCodeDetected = 14,  // writing: read back, the file would be taken for another code
  };
  enum Flags : uint16_t {
    FlagTagAnsi = 0x10,       // text code 0: tag lines CodeAnsi instead of CodeUtf8
    FlagWriteMark = 0x20,     // writing: put a byte-order mark before the first byte
    FlagNoFirstChunk = 0x40,  // OpenRead does not read the first chunk yet
    FlagDecoderBits = 0x80,   // the low bits are the decoder flags below
    // writing UTF-8 without a mark: if the next reader would take the bytes for another code,
    // the mark is put in front at Close instead of failing (a rewrite of a plain-ASCII file
    // that new text of another language entered)
    FlagMarkWhenNeeded = 0x100,
  };
  enum DecoderFlags : uint16_t {
    DecodeLookForMark = 1,
    DecodeSkipMark = 2,
    DecodeDetect = 4,
  };
  static constexpr int32_t kDefaultBufferSize = 8192;
};

class RawLineFile : public RawLineFileInfo {
 public:
  RawLineFile() = default;
  // The buffer size is kept between 4 bytes (a mark or a surrogate pair) and 256 MB.
  explicit RawLineFile(const RawString& path, int32_t bufferSize = kDefaultBufferSize);
  RawLineFile(const RawLineFile&) = delete;
  RawLineFile& operator=(const RawLineFile&) = delete;
  virtual ~RawLineFile();

  void SetPath(const RawString& path) { path_ = path; }
  const RawString& Path() const { return path_; }
  void SetFlags(uint16_t flags) { flags_ = flags; }
  // A given file code stays for every later open; a detected one lasts one open.
  void SetFileCode(TextCode code) { fileCode_ = code; fileCodeKnown_ = true; fileCodeGiven_ = true; }
  void SetTextCode(TextCode code) { textCode_ = code; }

  // False only when the file cannot be opened (state 4); a failure of the first
  // chunk shows in the state and makes the first ReadLine return false.
  [[nodiscard]] bool OpenRead();
  // Makes the next line current; false at the end or on an error (see State).
  [[nodiscard]] bool ReadLine();
  // The current line: a view valid until the next ReadLine or Close.
  const RawString& Line() const { return line_; }
  int32_t LineNumber() const { return lineNumber_; }
  int64_t LineOffset() const { return lineOffset_; }

  // Writes in the given file code, else in the text code (CodeWide: UTF-16 in
  // native order). Texts are converted exactly; see line_file.cpp.
  [[nodiscard]] bool OpenWrite();
  [[nodiscard]] bool Write(const RawString& text);
  [[nodiscard]] bool WriteLine(const RawString& text);
  int64_t BytesWritten() const { return bytesWritten_; }

  // Flushes when writing, closes, and keeps an error state. Returns false when
  // the flush failed (the state becomes StateWriteFailed) or when the file ends
  // in any error state, so a caller never takes a broken file for a good one.
  // A file written without a mark in a code of its own is read back far enough
  // to detect its code; another verdict is StateOtherCodeDetected.
  bool Close();

  State GetState() const { return state_; }
  // Reading reached the end of the file without an error. Survives Close and
  // lasts until the next open.
  bool ReachedCleanEnd() const { return cleanEnd_; }
  // The code of the file's bytes: detected, learnt from a mark, or given.
  TextCode FileCode() const { return fileCode_; }
  bool FileCodeKnown() const { return fileCodeKnown_; }
  bool HadMark() const { return hadMark_; }

 private:
  bool TakeLine(int32_t begin, int32_t end);
  bool TakeLineAtEdge(int32_t begin, int32_t end);
  int32_t FindLineEnd(int32_t begin, int32_t end) const;
  // Implementation state; see line_file.cpp for the reading algorithm.
  bool ReadChunk();
  bool ReadFirstChunk();
  void ChooseDecoding();
  bool ReadNextChunk();
  bool ReadNextConvertedChunk();
  bool FillRaw(int32_t from, int32_t limit);
  void ReadMark();
  bool DetectFileCode();
  bool ConvertChunk();
  void Fail(State state);
  bool WriteBytes(const RawString& text, bool lineEnd);
  bool EncodeText(const RawString& text);
  State RefusalOf(int32_t textStart, bool lineEnd) const;
  void AppendLineEnd();
  enum class ReadBack { Same, OtherCode, Failed };
  ReadBack DetectedAsWritten() const;
  [[nodiscard]] bool PutMarkInFront() const;
  bool WritePending();
  uint32_t UnitAt(int32_t position) const;
  int64_t PopLineEnd();

  RawString path_;
  uint16_t flags_ = 0;
  RawFile file_;
  RawFile::Access access_ = RawFile::AccessRead;
  State state_ = StateClosed;
  TextCode fileCode_ = CodeAnsi;
  bool fileCodeKnown_ = false;
  bool fileCodeGiven_ = false;
  TextCode textCode_ = CodeUtf8;
  int32_t bufferSize_ = kDefaultBufferSize;
  // The raw bytes of the file; when converting, only the tail of an incomplete
  // character waits here ([rawPos_, rawEnd_)).
  std::vector<char> buffer_;
  int32_t rawPos_ = 0;
  int32_t rawEnd_ = 0;
  // Text in the delivered code when converting.
  std::vector<char> converted_;
  RawString chunkText_;
  bool converting_ = false;
  TextCode convertFrom_ = CodeAnsi;
  // The buffer lines are taken from (buffer_ or converted_) and its unconsumed range.
  char* lines_ = nullptr;
  int32_t readPos_ = 0;
  int32_t dataEnd_ = 0;
  int32_t lineWidth_ = 1;      // bytes per unit of the text in lines_
  bool lineBigEndian_ = false;  // unit order of that text when lineWidth_ is 2
  int32_t fileWidth_ = 1;
  TextCode lineTag_ = CodeUtf8;
  bool wideLines_ = false;
  // File offsets of the CR and LF units already converted but not yet consumed,
  // so that line offsets count file bytes even when the text is converted.
  std::vector<int64_t> lineEnds_;
  size_t lineEndsPos_ = 0;
  int64_t filePos_ = 0;  // file offset of the end of the raw data read
  bool atEof_ = false;
  bool atStart_ = true;
  bool skipLf_ = false;  // a line ended at a CR that filled the buffer; drop a following LF
  bool oddTail_ = false;
  bool cleanEnd_ = false;
  uint16_t decoder_ = 0;
  RawString line_;
  int32_t lineNumber_ = -1;
  int32_t nextLineNumber_ = 0;
  int64_t lineOffset_ = 0;
  int64_t nextLineOffset_ = 0;
  int64_t bytesWritten_ = 0;
  bool hadMark_ = false;
  bool markPending_ = false;
  RawString writeText_;
};

}  // namespace RawLayer
