#include "tool/geometry.h"

namespace ToolLayer {

namespace {

int32_t Held(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void AppendSpecNumber(RawString& text, int64_t value) {
  if (value < 0) {
    text.Append("#");
    value = -value;
  }
  text.AppendInteger(value);
}

}  // namespace

RawRect ApplyGeometry(const ToolGeometry& geometry, const RawRect& current) {
  const int64_t width = int64_t{current.right} - current.left;
  const int64_t height = int64_t{current.bottom} - current.top;
  int64_t left = current.left;
  int64_t top = current.top;
  int64_t right = current.right;
  int64_t bottom = current.bottom;
  if (geometry.flags & GeometryLeft) {
    right += geometry.x - left;
    left = geometry.x;
  } else if (geometry.flags & GeometryMoveLeft) {
    left += geometry.x;
    right += geometry.x;
  }
  if (geometry.flags & GeometryTop) {
    bottom += geometry.y - top;
    top = geometry.y;
  } else if (geometry.flags & GeometryMoveTop) {
    top += geometry.y;
    bottom += geometry.y;
  }
  if (geometry.flags & GeometryWidth) {
    right = left + geometry.w;
  } else if (geometry.flags & GeometryAddWidth) {
    right = left + width + geometry.w;
  }
  if (geometry.flags & GeometryHeight) {
    bottom = top + geometry.h;
  } else if (geometry.flags & GeometryAddHeight) {
    bottom = top + height + geometry.h;
  }
  return RawRect{Held(left), Held(top), Held(right), Held(bottom)};
}

RawString RectSpecText(const RawRect& rect) {
  RawString text("-x ");
  AppendSpecNumber(text, rect.left);
  text.Append(" -y ");
  AppendSpecNumber(text, rect.top);
  text.Append(" -w ");
  AppendSpecNumber(text, int64_t{rect.right} - rect.left);
  text.Append(" -h ");
  AppendSpecNumber(text, int64_t{rect.bottom} - rect.top);
  return text;
}

bool ApplyDrawnPlacement(const GuiDrawnPlacement& placement, ToolGeometry& geometry) {
  if (!placement.moves) return false;
  geometry.Set(GeometryLeft, placement.x);
  geometry.Set(GeometryTop, placement.y);
  if (placement.sizes) {
    geometry.Set(GeometryWidth, placement.w);
    geometry.Set(GeometryHeight, placement.h);
  }
  return true;
}

}  // namespace ToolLayer
