// The bitmap pool: one strip of equal-sized 32-bit slots from which every icon is
// drawn. An icon is imported once into a free slot, scaled to the slot size by
// one of three sampling functions, and then drawn by blending the slot over what
// is already on the screen. The pixel arithmetic, the slot allocation and the
// pool file are portable (bitmap_pool.cpp); reading an icon handle and drawing on
// a device context are Windows only (bitmap_pool_win32.h).
//
// Pixels are 0xAARRGGBB (in memory B, G, R, A, as in a top-down 32-bit DIB);
// alpha 0 is transparent, 255 opaque.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "raw/bit_array.h"
#include "raw/string.h"

namespace WinLayer {

using RawLayer::RawBitArray;
using RawLayer::RawString;

// The strip's allocator: growing a strip without a value leaves the new pixels unset, so a strip
// about to be filled from a file is not cleared first. Growth with a value clears as usual.
template <typename T>
struct WinUnsetAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = WinUnsetAllocator<U>;
  };
  WinUnsetAllocator() noexcept = default;
  template <typename U>
  WinUnsetAllocator(const WinUnsetAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Values>
  void construct(U* at, Values&&... values) {
    ::new (static_cast<void*>(at)) U(std::forward<Values>(values)...);
  }
};
using WinPixelStrip = std::vector<uint32_t, WinUnsetAllocator<uint32_t>>;

// Four channel sums to a pixel: each value <= 0 gives 0, >= 255 gives 255, any
// other is truncated.
uint32_t PackPixel(double a, double r, double g, double b);
// `pixel` blended over `background` by the pixel's alpha: each colour channel
// floor((d * (255 - a) + s * a) / 255); the result's alpha byte is 0.
uint32_t BlendPixel(uint32_t background, uint32_t pixel);
// Icons without alpha: when no pixel of `color` has an alpha byte, masked pixels
// (mask non-zero) become transparent white 0x00FFFFFF and the others opaque.
// An icon with any alpha keeps its own alpha everywhere.
void ApplyIconMask(uint32_t* color, const uint32_t* mask, int32_t count);

// A read-only view of a source image. Reads clamp to the rectangle, so a
// sampling function may ask for pixels outside it and gets the nearest edge.
struct WinPixelView {
  const uint32_t* pixels = nullptr;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t stride = 0;  // pixels per row

  uint32_t At(int32_t x, int32_t y) const;
};

class WinBitmapAlpha {
 public:
  // A sampling function: the pixel for destination coordinates (x, y).
  class Function {
   public:
    virtual ~Function() = default;
    virtual uint32_t Sample(int32_t x, int32_t y) const = 0;
  };

  // Equal sizes: the source pixel itself.
  class FunctionSameSize : public Function {
   public:
    explicit FunctionSameSize(const WinPixelView& source) : source_(source) {}
    uint32_t Sample(int32_t x, int32_t y) const override;

   private:
    WinPixelView source_;
  };

  // Enlarging: the four neighbours weighted by the cubic h(t) = 2t^3 - 3t^2 + 1,
  // the sums packed without division (so the first row and column of an enlarged
  // image come out weaker than the source edge).
  class FunctionBilinear : public Function {
   public:
    FunctionBilinear(const WinPixelView& source, double scaleX, double scaleY)
        : source_(source), scaleX_(scaleX), scaleY_(scaleY) {}
    uint32_t Sample(int32_t x, int32_t y) const override;

   private:
    WinPixelView source_;
    double scaleX_;
    double scaleY_;
  };

  // Reducing: every source pixel under the destination pixel's span, weighted by
  // the part of it that the span covers, divided by the span's area.
  class FunctionAreaAverage : public Function {
   public:
    FunctionAreaAverage(const WinPixelView& source, double scaleX, double scaleY)
        : source_(source), scaleX_(scaleX), scaleY_(scaleY) {}
    uint32_t Sample(int32_t x, int32_t y) const override;

   private:
    WinPixelView source_;
    double scaleX_;
    double scaleY_;
  };

  enum Kind { KindSameSize, KindBilinear, KindAreaAverage };
  // Equal sizes copy; a slot at least as large in both directions enlarges; any
  // direction reduced averages areas.
  static Kind Choose(int32_t iconWidth, int32_t iconHeight, int32_t slotWidth, int32_t slotHeight);
  static double CubicWeight(double t);
  // Fills `target` (width x height pixels, rows `width` apart) from a source
  // image of `sourceWidth` x `sourceHeight` pixels.
  static void Scale(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight, uint32_t* target,
                    int32_t width, int32_t height);
};

class WinBitmapPool {
 public:
  WinBitmapPool();
  WinBitmapPool(const WinBitmapPool&) = delete;
  WinBitmapPool& operator=(const WinBitmapPool&) = delete;
  virtual ~WinBitmapPool();

  // Frees the drawing surface, the strip and the buffers; sizes become 0.
  virtual void Release();
  // Forgets every slot and keeps the memory.
  virtual void Reset();
  // The next slot to fill: Count, which then grows by one.
  virtual int32_t NewSlot();

  // The size of every slot; forgets the strip when it changes.
  void SetSlotSize(int32_t width, int32_t height);
  void SetGrowBy(int32_t slots) { growBy_ = slots > 0 ? slots : 1; }
  // Grows the strip to hold at least `slots` slots, keeping the filled ones. Never
  // shrinks; false when the size is out of reach.
  [[nodiscard]] bool SetCapacity(int32_t slots);
  // Grows both import buffers to width x height pixels. Never shrinks.
  [[nodiscard]] bool SetImportSize(int32_t width, int32_t height);

  // Imports an image of width x height pixels with its mask (non-zero = outside
  // the icon; may be null when the image has its own alpha): takes a slot (the
  // strip grows by GrowBy when full), applies the alpha rule and scales the image
  // into it. The slot, or -1 when no slot can be had or the size is unusable.
  int32_t AddPixels(const uint32_t* color, const uint32_t* mask, int32_t width, int32_t height);
  // The same into a slot already handed out, which keeps its number.
  [[nodiscard]] bool ReplacePixels(int32_t slot, const uint32_t* color, const uint32_t* mask, int32_t width,
                                   int32_t height);
  // Blends slot `slot` over `target` (SlotWidth x SlotHeight pixels, rows `stride`
  // pixels apart). Nothing happens for a slot outside the strip.
  void BlendSlot(int32_t slot, uint32_t* target, int32_t stride) const;
  // The first pixel of a slot (rows SlotWidth apart), null outside the strip.
  const uint32_t* SlotPixels(int32_t slot) const;

  int32_t SlotWidth() const { return slotWidth_; }
  int32_t SlotHeight() const { return slotHeight_; }
  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t GrowBy() const { return growBy_; }

 protected:
  // Takes a slot for an import and makes sure the strip holds it; -1 otherwise.
  int32_t TakeImportSlot();
  // Converts the import buffers (width x height) into a slot.
  void StoreImport(int32_t slot, int32_t width, int32_t height);
  // Takes over a whole strip read from a file.
  void AdoptStrip(WinPixelStrip&& strip, int32_t capacity, int32_t count);
  // Copies an image and its mask into the import buffers.
  [[nodiscard]] bool Import(const uint32_t* color, const uint32_t* mask, int32_t width, int32_t height);
  // Takes back a slot that NewSlot handed out for an import that failed.
  virtual void ReturnSlot(int32_t slot);
  void SetCount(int32_t count) { count_ = count; }

 private:
  // The scratch surface of drawing (a memory DC with a DIB section); made and
  // freed by the Windows code, so the portable part holds it opaquely.
  struct Surface;
  using SurfaceFree = void (*)(Surface*);
  // The Windows half (bitmap_pool_win32.h) reads icons into the import buffers and draws through
  // the surface.
  friend class WinBitmapPoolWin32;

  std::unique_ptr<Surface, SurfaceFree> surface_;
  int32_t slotWidth_ = 0;
  int32_t slotHeight_ = 0;
  WinPixelStrip strip_;
  std::vector<uint32_t> importColor_;
  std::vector<uint32_t> importMask_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t growBy_ = 1;
};

// The pool of the icon cache: slots are handed out over a map of occupied bits,
// so that freed slots are used again, and the pool can be saved and loaded.
//
// Pool file (little-endian):
//   0        int32   slot width
//   4        int32   slot height
//   8        int32   slot count
//   12       int32   number N of occupancy words
//   16       N x uint32  occupancy bits (bit k of word w = slot 32w+k in use)
//   16+4N    width x height x count pixels, slot after slot, row by row
// A file is taken only whole: the slot size must be the pool's, the count and
// the word count not negative, the slots no more than a pool can hold, and no
// occupied bit beyond the count; the pool changes only after every byte was
// read, so a refused file leaves the pool as it was.
class WinBitmapPoolEx : public WinBitmapPool {
 public:
  // Where SaveTo writes: a file or an in-memory sink.
  class Writer {
   public:
    virtual ~Writer() = default;
    [[nodiscard]] virtual bool Write(const void* data, int32_t size) = 0;
  };
  // Where LoadFrom reads; `got` 0 is the end.
  class Reader {
   public:
    virtual ~Reader() = default;
    [[nodiscard]] virtual bool Read(void* data, int32_t size, int32_t& got) = 0;
    // The bytes still to come as far as the source can tell, -1 when it cannot.
    virtual int64_t Remaining() const { return -1; }
  };

  void Release() override;
  void Reset() override;
  // The first clear bit of the map (the map grows when none is clear); Count
  // grows when the slot is new.
  int32_t NewSlot() override;

  // The settings of the icon cache's pool: slots of width x height, GrowBy 50,
  // room for 100 slots, import buffers of one slot, a map growing by 50 bits
  // from 4 words.
  [[nodiscard]] bool Prepare(int32_t width, int32_t height);
  // Marks a slot free for the next NewSlot.
  void FreeSlot(int32_t slot) { bits_.Clear(slot); }
  bool IsSlotUsed(int32_t slot) const { return slot >= 0 && slot < Count() && bits_.Get(slot); }
  const RawBitArray& Bits() const { return bits_; }

  [[nodiscard]] bool SaveTo(Writer& writer) const;
  [[nodiscard]] bool SaveTo(const RawString& path) const;
  [[nodiscard]] bool LoadFrom(Reader& reader);
  [[nodiscard]] bool LoadFrom(const RawString& path);

 protected:
  void ReturnSlot(int32_t slot) override;

 private:
  RawBitArray bits_;
};

// The icon cache's pools, one per slot size in use: icons extracted for one DPI are never
// scaled into the slots of another. One pool is the current one, into which icons go.
class WinBitmapPoolSet {
 public:
  // Makes the pool of width x height the current one, prepared empty when there was none of
  // that size (`fresh` then says so). False when the size is unusable or the pool cannot be
  // prepared; the current pool stays as it was.
  [[nodiscard]] bool Use(int32_t width, int32_t height, bool& fresh);
  // The current pool; null before the first Use.
  WinBitmapPoolEx* Current() const { return current_; }
  // The pool of that size, null when none was made.
  WinBitmapPoolEx* Find(int32_t width, int32_t height) const;
  int32_t PoolCount() const { return static_cast<int32_t>(pools_.size()); }
  // Frees every pool; none is current.
  void ReleaseAll();

 private:
  std::vector<std::unique_ptr<WinBitmapPoolEx>> pools_;
  WinBitmapPoolEx* current_ = nullptr;
};

}  // namespace WinLayer
