// Line decoding: the input is a file read line by line with code detection and with each fixed
// file code, delivered as UTF-8 and as wide text, through a buffer whose size the first byte
// picks (small buffers put chunk ends inside characters, marks and line breaks).
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "raw/line_file.h"

namespace {

using RawLayer::RawLineFile;
using RawLayer::RawString;
using RawLayer::TextCode;

// Reads every line; each line's units are touched so that a view past its buffer shows.
void ReadAll(const RawString& path, int32_t bufferSize, int fileCode, TextCode textCode, uint16_t flags) {
  RawLineFile file(path, bufferSize);
  file.SetFlags(flags);
  file.SetTextCode(textCode);
  if (fileCode >= 0) file.SetFileCode(static_cast<TextCode>(fileCode));
  if (!file.OpenRead()) __builtin_trap();  // the scratch file exists
  uint32_t sum = 0;
  int32_t lastNumber = -1;
  int64_t lastOffset = -1;
  while (file.ReadLine()) {
    const RawString& line = file.Line();
    const int32_t bytes = line.Length() * RawLayer::UnitSize(line.Code());
    if (bytes < 0) __builtin_trap();
    const char* data = line.Data();
    for (int32_t i = 0; i < bytes; ++i) sum += static_cast<uint8_t>(data[i]);
    // Line numbers and file offsets only grow.
    if (file.LineNumber() <= lastNumber || file.LineOffset() < lastOffset) __builtin_trap();
    lastNumber = file.LineNumber();
    lastOffset = file.LineOffset();
  }
  (void)file.Close();
  static volatile uint32_t sink;
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const RawString path = KestrelFuzz::ScratchPath("lines.txt");
  const int32_t bufferSize = 4 + data[0] % 61;
  if (!KestrelFuzz::WriteScratch(path, data + 1, size - 1)) return 0;
  const uint16_t detect = RawLineFile::FlagDecoderBits | RawLineFile::DecodeLookForMark |
                          RawLineFile::DecodeSkipMark | RawLineFile::DecodeDetect;
  for (int32_t buffer : {bufferSize, RawLineFile::kDefaultBufferSize}) {
    ReadAll(path, buffer, -1, RawLayer::CodeUtf8, 0);
    ReadAll(path, buffer, -1, RawLayer::CodeUtf8, detect);
    ReadAll(path, buffer, -1, RawLayer::CodeWide, detect);
  }
  for (int code = 0; code < RawLayer::kTextCodeCount; ++code) {
    ReadAll(path, bufferSize, code, RawLayer::CodeUtf8, 0);
    ReadAll(path, bufferSize, code, RawLayer::CodeWide, RawLineFile::FlagTagAnsi);
  }
  return 0;
}
