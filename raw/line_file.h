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
    StateWriteFailed = 7,
    StateConvertFailed = 11,
    StateLineTooLong = 12,
    StateOddWideLine = 13,
  };
  enum Flags : uint16_t {
    FlagTagAnsi = 0x10,       // text code 0: tag lines CodeAnsi instead of CodeUtf8
    FlagWriteMark = 0x20,     // writing: put a byte-order mark before the first byte
    FlagNoFirstChunk = 0x40,  // OpenRead does not read the first chunk yet
    FlagDecoderBits = 0x80,   // the low bits are the decoder flags below
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
  explicit RawLineFile(const RawString& path, int32_t bufferSize = kDefaultBufferSize);
  RawLineFile(const RawLineFile&) = delete;
  RawLineFile& operator=(const RawLineFile&) = delete;
  virtual ~RawLineFile();

  void SetPath(const RawString& path) { path_ = path; }
  const RawString& Path() const { return path_; }
  void SetFlags(uint16_t flags) { flags_ = flags; }
  void SetFileCode(TextCode code) { fileCode_ = code; fileCodeKnown_ = true; }
  void SetTextCode(TextCode code) { textCode_ = code; }

  [[nodiscard]] bool OpenRead();
  // Makes the next line current; false at the end or on an error (see State).
  [[nodiscard]] bool ReadLine();
  // The current line: a view valid until the next ReadLine or Close.
  const RawString& Line() const { return line_; }
  int32_t LineNumber() const { return lineNumber_; }
  int64_t LineOffset() const { return lineOffset_; }

  [[nodiscard]] bool OpenWrite();
  [[nodiscard]] bool Write(const RawString& text);
  [[nodiscard]] bool WriteLine(const RawString& text);
  int64_t BytesWritten() const { return bytesWritten_; }

  // Flushes when writing, closes, and keeps an error state. Returns false when
  // the flush failed (the state becomes StateWriteFailed).
  bool Close();

  State GetState() const { return state_; }
  // Reading reached the end of the file without an error.
  bool ReachedCleanEnd() const { return state_ == StateEnd; }
  // The code of the file's bytes: detected, learnt from a mark, or given.
  TextCode FileCode() const { return fileCode_; }
  bool FileCodeKnown() const { return fileCodeKnown_; }
  TextCode TextCodeOf() const { return textCode_; }
  bool HadMark() const { return hadMark_; }

 protected:
  virtual bool TakeLine(int32_t begin, int32_t end);
  virtual int32_t FindLineEnd(int32_t begin, int32_t end) const;

 private:
  // Implementation state; see line_file.cpp for the reading algorithm.
  bool ReadChunk();
  RawString path_;
  uint16_t flags_ = 0;
  RawFile file_;
  RawFile::Access access_ = RawFile::AccessRead;
  State state_ = StateClosed;
  TextCode fileCode_ = CodeAnsi;
  bool fileCodeKnown_ = false;
  TextCode textCode_ = CodeUtf8;
  int32_t bufferSize_ = kDefaultBufferSize;
  std::vector<char> buffer_;
  std::vector<char> converted_;
  int32_t readPos_ = 0;
  int32_t dataEnd_ = 0;
  bool atEof_ = false;
  bool atStart_ = true;
  uint16_t decoder_ = 0;
  RawString line_;
  int32_t lineNumber_ = -1;
  int32_t nextLineNumber_ = 0;
  int64_t lineOffset_ = 0;
  int64_t nextLineOffset_ = 0;
  int64_t bytesWritten_ = 0;
  bool hadMark_ = false;
};

}  // namespace RawLayer
