#include "app/main_layout.h"

#include <algorithm>
#include <cstdint>

#include "raw/parameter_list.h"
#include "raw/profile.h"

namespace AppLayer {

GuiMainLayout ComputeMainLayout(const GuiMainLayoutInput& input) {
  const int32_t m = input.frameMargin;
  const int32_t k = input.captionHeight;
  const int32_t w = input.buttons.width;
  const int32_t h = input.buttons.height;
  GuiMainLayout layout;
  layout.showSelectors = input.viewSelector && !input.horizontal;

  if (input.horizontal) {
    layout.buttons = {m + 1, m + 1, m + 1 + w, m + 1 + h};
    layout.client = {m + 1 + w + 1 + k + 1 + m, m + 1 + h + 1 + m};
    const int32_t length = h * 2 / 3;
    const int32_t left = m + 1 + w + 1;
    const int32_t top = m + 1 + (h - length) / 2;
    layout.caption = {left, top, left + k + 1, top + length};
    return layout;
  }

  const int32_t top = m + k + 1;
  int32_t buttonsLeft = m + 1;
  int32_t height = h;
  if (layout.showSelectors) {
    height = std::max(h, input.selectors.height);
    layout.selectors = {m + 1, top, m + 1 + input.selectors.width, top + height};
    buttonsLeft = layout.selectors.right + m;
  }
  layout.buttons = {buttonsLeft, top, buttonsLeft + w, top + height};
  layout.client = {layout.buttons.right + 1 + m, top + height + 1 + m};
  // The strip is two thirds as long as the space it runs along, centred over it.
  const int32_t span = layout.buttons.right - (m + 1);
  const int32_t length = (layout.showSelectors ? span : w) * 2 / 3;
  const int32_t left = m + 1 + (span - length) / 2;
  layout.caption = {left, m, left + length, m + k + 1};
  return layout;
}

RawRect CentreOn(const RawRect& workArea, GuiSize size) {
  const int32_t left = workArea.left + (workArea.Width() - size.width) / 2;
  const int32_t top = workArea.top + (workArea.Height() - size.height) / 2;
  return {left, top, left + size.width, top + size.height};
}

RawRect PlaceMainWindow(const RawRect& centred, const GuiStoredRect& stored) {
  const int32_t width = centred.Width();
  const int32_t height = centred.Height();
  RawRect placed = centred;
  if (stored.hasLeft) {
    placed.left = stored.rect.left;
  } else if (stored.hasRight) {
    placed.left = stored.rect.right - width;
  }
  if (stored.hasTop) {
    placed.top = stored.rect.top;
  } else if (stored.hasBottom) {
    placed.top = stored.rect.bottom - height;
  }
  placed.right = placed.left + width;
  placed.bottom = placed.top + height;
  return placed;
}

namespace {

constexpr char kSection[] = "MainDialog";
constexpr char kKeys[4][13] = {"WindowRect_L", "WindowRect_T", "WindowRect_R", "WindowRect_B"};

}  // namespace

bool ReadStoredWindowRect(const RawLayer::RawString& guiProfile, GuiStoredRect& stored) {
  RawLayer::RawProfile profile(guiProfile);
  RawLayer::RawParameterList section;
  if (!profile.ReadSection(RawLayer::RawString(kSection), section)) return false;
  bool* has[4] = {&stored.hasLeft, &stored.hasTop, &stored.hasRight, &stored.hasBottom};
  int32_t* edge[4] = {&stored.rect.left, &stored.rect.top, &stored.rect.right, &stored.rect.bottom};
  for (int i = 0; i < 4; ++i) {
    int64_t value = 0;
    const RawLayer::RawString text = section.GetValue(RawLayer::RawString(kKeys[i]), RawLayer::RawString::Empty());
    if (text.IsEmpty() || !text.ParseInteger(RawLayer::kWhole, value) || value < INT32_MIN || value > INT32_MAX) continue;
    *edge[i] = static_cast<int32_t>(value);
    *has[i] = true;
  }
  return true;
}

bool WriteStoredWindowRect(const RawLayer::RawString& guiProfile, const RawRect& rect) {
  RawLayer::RawParameterList section;
  const int32_t edges[4] = {rect.left, rect.top, rect.right, rect.bottom};
  for (int i = 0; i < 4; ++i) section.SetInteger(RawLayer::RawString(kKeys[i]), edges[i]);
  RawLayer::RawProfile profile(guiProfile);
  return profile.WriteSection(RawLayer::RawString(kSection), section);
}

}  // namespace AppLayer
