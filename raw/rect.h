// A rectangle of screen or client pixels: left and top lie inside, right and bottom outside, as
// with the system's own rectangles. The one rectangle type of every layer; raw/rect_win32.h
// converts it to and from the system's RECT.
#pragma once

#include <cstdint>

namespace RawLayer {

struct RawRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const RawRect&) const = default;
};

}  // namespace RawLayer
