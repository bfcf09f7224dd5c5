// Tessera's command line and rectangle texts: the input as a command line and as a
// "RectSpec" text, applied to an option record and to a rectangle; the rectangle's own
// "RectSpec" text must read back to the rectangle it was made from.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "tool/geometry.h"
#include "tool/options.h"

namespace {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using namespace ToolLayer;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RawRect current;
  if (size >= 16) {
    std::memcpy(&current, data, 16);
  }
  const RawString text = RawString::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));

  RawParameterList commandLine;
  ReadToolCommandLine(text, commandLine);
  ToolOptions options;
  ApplyOptions(commandLine, options);
  (void)options.Clone();

  RawParameterList spec;
  ReadOptionText(text, spec);
  ToolOptions fromSpec;
  ApplyOptions(spec, fromSpec);
  const RawRect moved = ApplyGeometry(fromSpec.geometry, current);
  (void)ApplyGeometry(options.geometry, moved);

  int32_t number = 0;
  (void)ParseToolNumber(text, number);

  // A rectangle written as a "RectSpec" text reads back to itself when its width and height are
  // 32-bit numbers (the text holds them; the reader keeps numbers within 32 bits).
  const int64_t width = int64_t{moved.right} - moved.left;
  const int64_t height = int64_t{moved.bottom} - moved.top;
  if (width != static_cast<int32_t>(width) || height != static_cast<int32_t>(height)) return 0;
  RawParameterList written;
  ReadOptionText(RectSpecText(moved), written);
  ToolOptions reread;
  ApplyOptions(written, reread);
  if (ApplyGeometry(reread.geometry, RawRect{}) != moved) __builtin_trap();
  return 0;
}
