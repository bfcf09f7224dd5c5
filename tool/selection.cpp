#include "tool/selection.h"

#include <algorithm>
#include <limits>

#include "raw/profile.h"

namespace ToolLayer {

namespace {

using RawLayer::RawParameterUnit;

constexpr int32_t kDefaultRows = 12;
constexpr int32_t kMaxRows = 50;
// A drag that runs further than this left or up was not meant as a rectangle.
constexpr int32_t kBackwardSlack = -19;
// A drag of no more than this either way only places the window's corner.
constexpr int32_t kSizeThreshold = 20;

bool ReadInteger(const RawParameterList& section, const RawString& key, int64_t& value) {
  const RawParameterUnit* unit = section.Find(key);
  return unit != nullptr && unit->value.ParseInteger(RawLayer::kWhole, value);
}

// A 32-bit number; garbage or a value that does not fit keeps the default.
void ReadInt32(const RawParameterList& section, const RawString& key, int32_t& field) {
  int64_t value = 0;
  if (!ReadInteger(section, key, value)) return;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return;
  field = static_cast<int32_t>(value);
}

// Colours fit 32 bits signed or unsigned (-1 and 0xFFFFFFFF both read as white).
bool ReadColor(const RawParameterList& section, const RawString& key, uint32_t& field) {
  int64_t value = 0;
  if (!ReadInteger(section, key, value)) return false;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<uint32_t>::max()) return false;
  field = SwapRedBlue(static_cast<uint32_t>(value));
  return true;
}

void ReadAlpha(const RawParameterList& section, const RawString& key, uint8_t& field) {
  int64_t value = 0;
  if (ReadInteger(section, key, value)) field = static_cast<uint8_t>(std::clamp<int64_t>(value, 1, 255));
}

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

uint32_t SwapRedBlue(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

GuiSelectorSettings ReadSelectorSettings(const RawParameterList& job) {
  GuiSelectorSettings settings;
  (void)ReadColor(job, "WindowSelectionColor", settings.windowSelectionColor);
  (void)ReadColor(job, "RectSelectionColor", settings.rectSelectionColor);
  if (ReadColor(job, "RectCroppingColor", settings.rectCroppingColor)) {
    settings.menuTargetColor = settings.rectCroppingColor;
  }
  (void)ReadColor(job, "MenuScreenAreaColor", settings.menuScreenAreaColor);
  (void)ReadColor(job, "MenuScreenFrameColor", settings.menuScreenFrameColor);
  ReadAlpha(job, "WindowSelectionTransparency", settings.windowSelectionAlpha);
  ReadAlpha(job, "RectSelectionTransparency", settings.rectSelectionAlpha);

  int64_t rows = 0;
  if (ReadInteger(job, "MenuSelectionRows", rows)) {
    settings.menuRows = rows >= 1 && rows <= kMaxRows ? static_cast<int32_t>(rows) : kDefaultRows;
  }
  ReadInt32(job, "MenuSelectionSpacer", settings.menuSpacer);
  // Entries that overlap would make the entry under the cursor ambiguous.
  settings.menuSpacer = std::max(settings.menuSpacer, 0);
  ReadInt32(job, "MenuSelectionBorder", settings.menuBorder);

  ReadInt32(job, "FrameWidenL", settings.frameWiden.left);
  ReadInt32(job, "FrameWidenT", settings.frameWiden.top);
  ReadInt32(job, "FrameWidenR", settings.frameWiden.right);
  ReadInt32(job, "FrameWidenB", settings.frameWiden.bottom);
  return settings;
}

GuiSelectorSettings LoadSelectorSettings(const RawString& settingsPath) {
  RawLayer::RawProfile profile(settingsPath);
  RawParameterList job;
  profile.ReadSection("Job", job);
  return ReadSelectorSettings(job);
}

uint8_t CoverAlpha(const GuiSelectorSettings& settings, GuiSelectorMode mode) {
  if (mode == ModeWindow) return settings.windowSelectionAlpha;
  if (mode == ModeRect) return settings.rectSelectionAlpha;
  return 1;
}

uint32_t CoverColor(const GuiSelectorSettings& settings, GuiSelectorMode mode) {
  if (mode == ModeWindow) return settings.windowSelectionColor;
  if (mode == ModeRect) return settings.rectSelectionColor;
  return 0;
}

RawRect SpanRect(GuiPoint start, GuiPoint end, GuiPoint origin) {
  const int64_t left = std::min(start.x, end.x);
  const int64_t top = std::min(start.y, end.y);
  const int64_t right = int64_t{std::max(start.x, end.x)} + 1;
  const int64_t bottom = int64_t{std::max(start.y, end.y)} + 1;
  return {ClampToInt32(left - origin.x), ClampToInt32(top - origin.y), ClampToInt32(right - origin.x),
          ClampToInt32(bottom - origin.y)};
}

GuiDrawnPlacement PlaceDrawnRect(GuiPoint start, GuiPoint end, const GuiFrameWiden& widen) {
  GuiDrawnPlacement placement;
  if (!start.IsValid() || !end.IsValid()) return placement;
  const int64_t width = int64_t{end.x} - start.x;
  const int64_t height = int64_t{end.y} - start.y;
  if (width < kBackwardSlack || height < kBackwardSlack) return placement;
  placement.moves = true;
  placement.x = ClampToInt32(int64_t{start.x} - widen.left);
  placement.y = ClampToInt32(int64_t{start.y} - widen.top);
  if (width > kSizeThreshold && height > kSizeThreshold) {
    placement.sizes = true;
    placement.w = ClampToInt32(width + widen.left + widen.right);
    placement.h = ClampToInt32(height + widen.top + widen.bottom);
  }
  return placement;
}

void AddToScreenArea(RawRect& area, const RawRect& monitor) {
  area.left = std::min({area.left, monitor.left, 0});
  area.top = std::min({area.top, monitor.top, 0});
  area.right = std::max({area.right, monitor.right, 0});
  area.bottom = std::max({area.bottom, monitor.bottom, 0});
}

int32_t GuiMenuLayout::Height() const {
  if (count <= 0) return 0;
  return ClampToInt32((int64_t{entryHeight} + spacer) * count - spacer);
}

RawRect GuiMenuLayout::Entry(int32_t index) const {
  const int32_t top = ClampToInt32((int64_t{entryHeight} + spacer) * index);
  return {0, top, entryWidth, ClampToInt32(int64_t{top} + entryHeight)};
}

int32_t GuiMenuLayout::EntryAt(GuiPoint point) const {
  if (point.x < 0 || point.x >= entryWidth || point.y < 0 || entryHeight <= 0) return -1;
  const int64_t pitch = int64_t{entryHeight} + spacer;
  const int64_t index = point.y / pitch;
  if (index >= count || point.y - index * pitch >= entryHeight) return -1;
  return static_cast<int32_t>(index);
}

GuiMenuLayout LayoutMenu(const RawRect& screenArea, const GuiSelectorSettings& settings, int32_t count) {
  GuiMenuLayout layout;
  const int32_t rows = settings.menuRows >= 1 && settings.menuRows <= kMaxRows ? settings.menuRows : kDefaultRows;
  layout.entryWidth = screenArea.Width() / rows;
  layout.entryHeight = screenArea.Height() / rows;
  layout.spacer = std::max(settings.menuSpacer, 0);
  layout.count = std::max(count, 0);
  return layout;
}

RawRect PlaceMenu(int32_t width, int32_t height, GuiPoint cursor, const RawRect& bounds) {
  int64_t left = int64_t{cursor.x} - width / 2;
  int64_t top = int64_t{cursor.y} - height / 2;
  if (left + width > bounds.right) left = int64_t{bounds.right} - width;
  if (top + height > bounds.bottom) top = int64_t{bounds.bottom} - height;
  if (left < bounds.left) left = bounds.left;
  if (top < bounds.top) top = bounds.top;
  return {ClampToInt32(left), ClampToInt32(top), ClampToInt32(left + width), ClampToInt32(top + height)};
}

RawRect MiniatureRect(const RawRect& screenArea, int32_t rows, const RawRect& target, const RawRect& entry,
                      int32_t border) {
  if (rows < 1) rows = 1;
  auto scaleX = [&](int32_t x) { return (int64_t{x} - screenArea.left) / rows + entry.left; };
  auto scaleY = [&](int32_t y) { return (int64_t{y} - screenArea.top) / rows + entry.top; };
  int64_t left = scaleX(target.left) + border;
  int64_t top = scaleY(target.top) + border;
  int64_t right = scaleX(target.right) - border;
  int64_t bottom = scaleY(target.bottom) - border;
  // A thin target, or a border wider than it, still shows as a line.
  if (right <= left) {
    left = (left + right) / 2;
    right = left + 1;
  }
  if (bottom <= top) {
    top = (top + bottom) / 2;
    bottom = top + 1;
  }
  return {ClampToInt32(left), ClampToInt32(top), ClampToInt32(right), ClampToInt32(bottom)};
}

bool IsDesktopClass(const RawString& className) {
  return className == "Progman" || className == "#32769";
}

}  // namespace ToolLayer
