// The icon pool's file: the input is read through a reader that hands it out in pieces of a
// size the first byte picks. A pool that took the file saves it again, and that file must load.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "win/bitmap_pool.h"

namespace {

using WinLayer::WinBitmapPoolEx;

class MemoryReader : public WinBitmapPoolEx::Reader {
 public:
  MemoryReader(const uint8_t* data, size_t size, size_t piece) : data_(data), size_(size), piece_(piece) {}
  bool Read(void* out, int32_t size, int32_t& got) override {
    const size_t take = std::min({static_cast<size_t>(size), size_ - at_, piece_});
    std::memcpy(out, data_ + at_, take);
    at_ += take;
    got = static_cast<int32_t>(take);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t piece_;
  size_t at_ = 0;
};

class MemoryWriter : public WinBitmapPoolEx::Writer {
 public:
  bool Write(const void* data, int32_t size) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    written.insert(written.end(), bytes, bytes + size);
    return true;
  }
  std::vector<uint8_t> written;
};

int32_t Int32At(const uint8_t* data, size_t size, size_t at) {
  int32_t value = 0;
  if (at + 4 <= size) std::memcpy(&value, data + at, 4);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 32;
  ++data;
  --size;
  // The pool takes only files of its own slot size: prepare it with the file's when small.
  int32_t width = Int32At(data, size, 0);
  int32_t height = Int32At(data, size, 4);
  if (width < 1 || width > 64) width = 16;
  if (height < 1 || height > 64) height = 16;

  WinBitmapPoolEx pool;
  if (!pool.Prepare(width, height)) return 0;
  MemoryReader reader(data, size, piece);
  if (!pool.LoadFrom(reader)) return 0;
  for (int32_t slot = 0; slot < pool.Count(); ++slot) {
    if (pool.IsSlotUsed(slot) && pool.SlotPixels(slot) == nullptr) __builtin_trap();
  }

  MemoryWriter writer;
  if (!pool.SaveTo(writer)) __builtin_trap();
  WinBitmapPoolEx again;
  if (!again.Prepare(width, height)) __builtin_trap();
  MemoryReader back(writer.written.data(), writer.written.size(), writer.written.size());
  if (!again.LoadFrom(back) || again.Count() != pool.Count()) __builtin_trap();
  return 0;
}
