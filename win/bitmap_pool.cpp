#include "win/bitmap_pool.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "raw/file.h"

namespace WinLayer {

namespace {

static_assert(std::endian::native == std::endian::little, "the pool file is written as it lies in memory");

// Bounds that keep every buffer size far inside 32 bits: an icon is at most a
// few hundred pixels square.
constexpr int64_t kMaxImportPixels = 2048 * 2048;
constexpr int64_t kMaxStripPixels = int64_t{1} << 26;
// Bytes per read or write of the pixel part of a pool file.
constexpr int32_t kChunkBytes = 1 << 20;

inline uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFFu; }

inline uint32_t PackChannel(double value) {
  if (value <= 0.0) return 0;
  if (value >= 255.0) return 255;
  return static_cast<uint32_t>(value);
}

struct Sums {
  double a = 0, r = 0, g = 0, b = 0;
  void Add(uint32_t pixel, double weight) {
    a += Channel(pixel, 24) * weight;
    r += Channel(pixel, 16) * weight;
    g += Channel(pixel, 8) * weight;
    b += Channel(pixel, 0) * weight;
  }
};

[[nodiscard]] bool ReadFull(WinBitmapPoolEx::Reader& reader, void* data, int64_t size) {
  char* out = static_cast<char*>(data);
  while (size > 0) {
    int32_t got = 0;
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(size, kChunkBytes));
    if (!reader.Read(out, want, got) || got <= 0) return false;
    out += got;
    size -= got;
  }
  return true;
}

// Reads `units` 32-bit units into `out`, which grows only by what has arrived or what the
// reader vouches is still to come: a header that claims more than the file holds costs no
// more memory than the file. `room` units (at least `units`) are made when the reader vouches
// for the units, so that the caller's later growth to `room` moves nothing; they are 0. Units are
// not cleared before they are read.
template <typename Units>
[[nodiscard]] bool ReadUnits(WinBitmapPoolEx::Reader& reader, Units& out, int64_t units, int64_t room = 0) {
  out.clear();
  const int64_t remaining = reader.Remaining();
  if (remaining >= 0 && units <= remaining / 4) {
    out.resize(static_cast<size_t>(std::max(units, room)));
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(units), out.end(), 0u);
    return ReadFull(reader, out.data(), units * 4);
  }
  while (units > 0) {
    const int64_t part = std::min<int64_t>(units, kChunkBytes / 4);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(part));
    if (!ReadFull(reader, out.data() + at, part * 4)) return false;
    units -= part;
  }
  return true;
}

[[nodiscard]] bool WriteFull(WinBitmapPoolEx::Writer& writer, const void* data, int64_t size) {
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const int32_t part = static_cast<int32_t>(std::min<int64_t>(size, kChunkBytes));
    if (!writer.Write(in, part)) return false;
    in += part;
    size -= part;
  }
  return true;
}

class FileReader : public WinBitmapPoolEx::Reader {
 public:
  explicit FileReader(RawLayer::RawFile& file) : file_(file), size_(file.Size()) {}
  bool Read(void* data, int32_t size, int32_t& got) override {
    const bool read = file_.Read(data, size, got);
    consumed_ += got;
    return read;
  }
  int64_t Remaining() const override { return size_ < 0 ? -1 : std::max<int64_t>(size_ - consumed_, 0); }

 private:
  RawLayer::RawFile& file_;
  int64_t size_;
  int64_t consumed_ = 0;
};

class FileWriter : public WinBitmapPoolEx::Writer {
 public:
  explicit FileWriter(RawLayer::RawFile& file) : file_(file) {}
  bool Write(const void* data, int32_t size) override { return file_.Write(data, size); }

 private:
  RawLayer::RawFile& file_;
};

}  // namespace

uint32_t PackPixel(double a, double r, double g, double b) {
  return (PackChannel(a) << 24) | (PackChannel(r) << 16) | (PackChannel(g) << 8) | PackChannel(b);
}

uint32_t BlendPixel(uint32_t background, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t value = (Channel(background, shift) * (255 - a) + Channel(pixel, shift) * a) / 255;
    out |= value << shift;
  }
  return out;
}

void ApplyIconMask(uint32_t* color, const uint32_t* mask, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (color[i] > 0x00FFFFFFu) return;
  }
  for (int32_t i = 0; i < count; ++i) {
    color[i] = (mask != nullptr && mask[i] != 0) ? 0x00FFFFFFu : (color[i] | 0xFF000000u);
  }
}

uint32_t WinPixelView::At(int32_t x, int32_t y) const {
  const int32_t width = right - left;
  const int32_t height = bottom - top;
  if (width <= 0 || height <= 0) return 0;
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  return pixels[static_cast<size_t>(top + y) * static_cast<size_t>(stride) + static_cast<size_t>(left + x)];
}

double WinBitmapAlpha::CubicWeight(double t) { return t <= 1.0 ? 2 * t * t * t - 3 * t * t + 1 : 0.0; }

uint32_t WinBitmapAlpha::FunctionSameSize::Sample(int32_t x, int32_t y) const { return source_.At(x, y); }

uint32_t WinBitmapAlpha::FunctionBilinear::Sample(int32_t x, int32_t y) const {
  const double fx = (x + 0.5) * scaleX_ - 0.5;
  const double fy = (y + 0.5) * scaleY_ - 0.5;
  const int32_t x0 = static_cast<int32_t>(fx);
  const int32_t y0 = static_cast<int32_t>(fy);
  Sums sums;
  for (int32_t row = y0; row <= y0 + 1; ++row) {
    const double wy = CubicWeight(std::fabs(fy - row));
    for (int32_t column = x0; column <= x0 + 1; ++column) {
      const double weight = CubicWeight(std::fabs(fx - column)) * wy;
      if (weight == 0.0) continue;
      sums.Add(source_.At(column, row), weight);
    }
  }
  return PackPixel(sums.a, sums.r, sums.g, sums.b);
}

uint32_t WinBitmapAlpha::FunctionAreaAverage::Sample(int32_t x, int32_t y) const {
  const double sx0 = x * scaleX_;
  const double sx1 = sx0 + scaleX_;
  const double sy0 = y * scaleY_;
  const double sy1 = sy0 + scaleY_;
  Sums sums;
  for (int32_t iy = static_cast<int32_t>(sy0); iy <= static_cast<int32_t>(sy1); ++iy) {
    const double wy = 1.0 - std::max(0.0, sy0 - iy) - std::max(0.0, (iy + 1) - sy1);
    for (int32_t ix = static_cast<int32_t>(sx0); ix <= static_cast<int32_t>(sx1); ++ix) {
      const double wx = 1.0 - std::max(0.0, sx0 - ix) - std::max(0.0, (ix + 1) - sx1);
      sums.Add(source_.At(ix, iy), wx * wy);
    }
  }
  const double area = scaleX_ * scaleY_;
  return PackPixel(sums.a / area, sums.r / area, sums.g / area, sums.b / area);
}

WinBitmapAlpha::Kind WinBitmapAlpha::Choose(int32_t iconWidth, int32_t iconHeight, int32_t slotWidth,
                                            int32_t slotHeight) {
  if (iconWidth == slotWidth && iconHeight == slotHeight) return KindSameSize;
  if (slotWidth >= iconWidth && slotHeight >= iconHeight) return KindBilinear;
  return KindAreaAverage;
}

void WinBitmapAlpha::Scale(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight, uint32_t* target,
                           int32_t width, int32_t height) {
  const WinPixelView view{source, 0, 0, sourceWidth, sourceHeight, sourceWidth};
  const double scaleX = static_cast<double>(sourceWidth) / width;
  const double scaleY = static_cast<double>(sourceHeight) / height;
  const FunctionSameSize same(view);
  const FunctionBilinear bilinear(view, scaleX, scaleY);
  const FunctionAreaAverage average(view, scaleX, scaleY);
  const Function* function = &average;
  switch (Choose(sourceWidth, sourceHeight, width, height)) {
    case KindSameSize: function = &same; break;
    case KindBilinear: function = &bilinear; break;
    case KindAreaAverage: break;
  }
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = target + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) row[x] = function->Sample(x, y);
  }
}

WinBitmapPool::WinBitmapPool() : surface_(nullptr, nullptr) {}

WinBitmapPool::~WinBitmapPool() = default;

void WinBitmapPool::Release() {
  surface_.reset();
  WinPixelStrip().swap(strip_);
  std::vector<uint32_t>().swap(importColor_);
  std::vector<uint32_t>().swap(importMask_);
  slotWidth_ = slotHeight_ = 0;
  count_ = capacity_ = 0;
}

void WinBitmapPool::Reset() { count_ = 0; }

int32_t WinBitmapPool::NewSlot() { return count_++; }

void WinBitmapPool::ReturnSlot(int32_t slot) {
  if (slot == count_ - 1) --count_;
}

void WinBitmapPool::SetSlotSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == slotWidth_ && height == slotHeight_) return;
  slotWidth_ = width;
  slotHeight_ = height;
  WinPixelStrip().swap(strip_);
  count_ = capacity_ = 0;
}

bool WinBitmapPool::SetCapacity(int32_t slots) {
  if (slots <= capacity_) return true;
  const int64_t pixels = int64_t{slotWidth_} * slotHeight_ * slots;
  if (slotWidth_ <= 0 || slotHeight_ <= 0 || pixels > kMaxStripPixels) return false;
  strip_.resize(static_cast<size_t>(pixels), 0);
  capacity_ = slots;
  return true;
}

bool WinBitmapPool::SetImportSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  const int64_t pixels = int64_t{width} * height;
  if (pixels > kMaxImportPixels) return false;
  if (static_cast<int64_t>(importColor_.size()) < pixels) {
    importColor_.resize(static_cast<size_t>(pixels));
    importMask_.resize(static_cast<size_t>(pixels));
  }
  return true;
}

bool WinBitmapPool::Import(const uint32_t* color, const uint32_t* mask, int32_t width, int32_t height) {
  if (!SetImportSize(width, height)) return false;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::memcpy(importColor_.data(), color, pixels * sizeof(uint32_t));
  if (mask != nullptr) {
    std::memcpy(importMask_.data(), mask, pixels * sizeof(uint32_t));
  } else {
    std::fill_n(importMask_.begin(), pixels, 0u);
  }
  return true;
}

int32_t WinBitmapPool::TakeImportSlot() {
  const int32_t slot = NewSlot();
  if (slot >= capacity_ && !SetCapacity(std::max(capacity_ + growBy_, slot + 1))) {
    ReturnSlot(slot);
    return -1;
  }
  return slot;
}

void WinBitmapPool::StoreImport(int32_t slot, int32_t width, int32_t height) {
  ApplyIconMask(importColor_.data(), importMask_.data(), width * height);
  uint32_t* target = strip_.data() + static_cast<size_t>(slot) * static_cast<size_t>(slotWidth_) * slotHeight_;
  WinBitmapAlpha::Scale(importColor_.data(), width, height, target, slotWidth_, slotHeight_);
}

int32_t WinBitmapPool::AddPixels(const uint32_t* color, const uint32_t* mask, int32_t width, int32_t height) {
  if (!Import(color, mask, width, height)) return -1;
  const int32_t slot = TakeImportSlot();
  if (slot < 0) return -1;
  StoreImport(slot, width, height);
  return slot;
}

bool WinBitmapPool::ReplacePixels(int32_t slot, const uint32_t* color, const uint32_t* mask, int32_t width,
                                  int32_t height) {
  if (slot < 0 || slot >= count_ || slot >= capacity_) return false;
  if (!Import(color, mask, width, height)) return false;
  StoreImport(slot, width, height);
  return true;
}

const uint32_t* WinBitmapPool::SlotPixels(int32_t slot) const {
  if (slot < 0 || slot >= capacity_) return nullptr;
  return strip_.data() + static_cast<size_t>(slot) * static_cast<size_t>(slotWidth_) * slotHeight_;
}

void WinBitmapPool::BlendSlot(int32_t slot, uint32_t* target, int32_t stride) const {
  if (slot < 0 || slot >= count_) return;
  const uint32_t* source = SlotPixels(slot);
  if (source == nullptr) return;
  for (int32_t y = 0; y < slotHeight_; ++y) {
    uint32_t* row = target + static_cast<size_t>(y) * static_cast<size_t>(stride);
    const uint32_t* from = source + static_cast<size_t>(y) * static_cast<size_t>(slotWidth_);
    for (int32_t x = 0; x < slotWidth_; ++x) row[x] = BlendPixel(row[x], from[x]);
  }
}

void WinBitmapPool::AdoptStrip(WinPixelStrip&& strip, int32_t capacity, int32_t count) {
  strip_ = std::move(strip);
  capacity_ = capacity;
  count_ = count;
}

void WinBitmapPoolEx::Release() {
  WinBitmapPool::Release();
  bits_.Release();
}

void WinBitmapPoolEx::Reset() {
  WinBitmapPool::Reset();
  bits_.ClearAll();
}

int32_t WinBitmapPoolEx::NewSlot() {
  const int32_t slot = bits_.TakeFirstClear();
  if (slot >= Count()) SetCount(slot + 1);
  return slot;
}

void WinBitmapPoolEx::ReturnSlot(int32_t slot) {
  bits_.Clear(slot);
  WinBitmapPool::ReturnSlot(slot);
}

bool WinBitmapPoolEx::Prepare(int32_t width, int32_t height) {
  SetSlotSize(width, height);
  SetGrowBy(50);
  bits_.SetGrowStep(50);
  bits_.ReserveWords(4);
  return SetCapacity(100) && SetImportSize(width, height);
}

bool WinBitmapPoolEx::SaveTo(Writer& writer) const {
  const int32_t words = bits_.WordCount();
  const int32_t header[4] = {SlotWidth(), SlotHeight(), Count(), words};
  if (!writer.Write(header, sizeof header)) return false;
  std::vector<uint32_t> map(static_cast<size_t>(words));
  bits_.CopyWords(map.data(), words);
  if (!WriteFull(writer, map.data(), int64_t{words} * 4)) return false;
  const int64_t bytes = int64_t{SlotWidth()} * SlotHeight() * Count() * 4;
  return bytes == 0 || WriteFull(writer, SlotPixels(0), bytes);
}

bool WinBitmapPoolEx::SaveTo(const RawString& path) const {
  RawLayer::RawFile file;
  if (!file.OpenWrite(path)) return false;
  FileWriter writer(file);
  if (SaveTo(writer) && file.Flush()) return true;
  file.Close();
  (void)RawLayer::DeleteFileAt(path);
  return false;
}

bool WinBitmapPoolEx::LoadFrom(Reader& reader) {
  int32_t header[4];
  if (!ReadFull(reader, header, sizeof header)) return false;
  const int32_t width = header[0];
  const int32_t height = header[1];
  const int32_t count = header[2];
  const int32_t words = header[3];
  if (width <= 0 || height <= 0 || width != SlotWidth() || height != SlotHeight()) return false;
  // Bit numbers are 32-bit.
  if (count < 0 || words < 0 || words > INT32_MAX / 32) return false;
  // The strip's bound is the pool's own: no pool holds, and so saves, more.
  const int64_t capacity = count > Capacity() ? int64_t{count} + 1 : Capacity();
  if (int64_t{width} * height * capacity > kMaxStripPixels) return false;

  std::vector<uint32_t> map;
  if (!ReadUnits(reader, map, words)) return false;
  // A slot marked in use beyond the count would be drawn from pixels the file never held.
  for (int64_t w = 0; w < words; ++w) {
    for (int32_t k = 0; k < 32; ++k) {
      if (((map[static_cast<size_t>(w)] >> k) & 1u) && w * 32 + k >= count) return false;
    }
  }
  WinPixelStrip strip;
  if (!ReadUnits(reader, strip, int64_t{width} * height * count, int64_t{width} * height * capacity)) return false;
  strip.resize(static_cast<size_t>(int64_t{width} * height * capacity), 0u);

  AdoptStrip(std::move(strip), static_cast<int32_t>(capacity), count);
  bits_.AssignWords(map.data(), words);
  return true;
}

bool WinBitmapPoolEx::LoadFrom(const RawString& path) {
  RawLayer::RawFile file;
  if (!file.OpenRead(path)) return false;
  FileReader reader(file);
  return LoadFrom(reader);
}

WinBitmapPoolEx* WinBitmapPoolSet::Find(int32_t width, int32_t height) const {
  for (const std::unique_ptr<WinBitmapPoolEx>& pool : pools_) {
    if (pool->SlotWidth() == width && pool->SlotHeight() == height) return pool.get();
  }
  return nullptr;
}

bool WinBitmapPoolSet::Use(int32_t width, int32_t height, bool& fresh) {
  fresh = false;
  if (width <= 0 || height <= 0) return false;
  if (WinBitmapPoolEx* found = Find(width, height)) {
    current_ = found;
    return true;
  }
  auto pool = std::make_unique<WinBitmapPoolEx>();
  if (!pool->Prepare(width, height)) return false;
  current_ = pool.get();
  pools_.push_back(std::move(pool));
  fresh = true;
  return true;
}

void WinBitmapPoolSet::ReleaseAll() {
  current_ = nullptr;
  pools_.clear();
}

}  // namespace WinLayer
