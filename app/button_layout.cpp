#include "app/button_layout.h"

#include <algorithm>
#include <utility>

#include "raw/locale.h"

namespace AppLayer {

namespace {

constexpr char kButtonMenuSection[] = "ButtonMenu";

const RawLayer::RawLocaleRecord kButtonMenuTexts[] = {
    {"InsertSeparator", "Insert separator."},
    {"DeleteItems", "Delete selected buttons."},
    {"MoveUpItems", "Move up selected buttons."},
    {"MoveDownItems", "Move down selected buttons."},
    {"", nullptr},
};

void SetRect(JobButtonUnit& button, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  button.placement[PlaceLeft] = left;
  button.placement[PlaceTop] = top;
  button.placement[PlaceRight] = right;
  button.placement[PlaceBottom] = bottom;
}

GuiSize ContentSize(const JobButtonUnit& button, int32_t iconSize, const GuiTextMeasure& measure) {
  if (!IsNormalButton(button)) return {};
  const bool icon = (button.flags & JobButtonUnit::kHasIcon) != 0;
  const bool caption = (button.flags & JobButtonUnit::kShowCaption) != 0;
  if (icon && caption) {
    const GuiSize text = measure.Measure(button.caption);
    return {iconSize + kButtonIconGap + text.width, text.height};
  }
  if (icon) return {iconSize, iconSize};
  if (caption) return measure.Measure(button.caption);
  return {};
}

JobButtonList::Iterator IteratorAt(const JobButtonList& buttons, int32_t index) {
  auto it = buttons.begin();
  for (int32_t i = 0; i < index && it != buttons.end(); ++i) ++it;
  return it;
}

bool ValidIndex(const JobButtonList& buttons, int32_t index) { return index >= 0 && index < buttons.Count(); }

}  // namespace

RawRect ButtonRect(const JobButtonUnit& button) {
  return {button.placement[PlaceLeft], button.placement[PlaceTop], button.placement[PlaceRight],
          button.placement[PlaceBottom]};
}

bool IsNormalButton(const JobButtonUnit& button) {
  return (button.flags & (JobButtonUnit::kSeparator | JobButtonUnit::kHidden)) == 0;
}

GuiSize MeasureButtons(JobButtonList& buttons, const GuiButtonMetrics& metrics, const GuiTextMeasure& measure) {
  int32_t widest = 0;
  for (JobButtonUnit& button : buttons) {
    const GuiSize content = ContentSize(button, metrics.iconSize, measure);
    button.placement[PlaceContentWidth] = content.width;
    button.placement[PlaceContentHeight] = content.height;
    widest = std::max(widest, content.width);
  }
  // A hidden button is a zero-length strip; a separator has a fixed length; the rest differ
  // only along the row.
  auto length = [&](const JobButtonUnit& button, int32_t normal) {
    if ((button.flags & JobButtonUnit::kHidden) != 0) return 0;
    if ((button.flags & JobButtonUnit::kSeparator) != 0) return metrics.separator;
    return normal;
  };
  if (!metrics.horizontal) {
    const int32_t width = metrics.margin + widest + metrics.margin;
    const int32_t normalHeight = metrics.iconSize + 2 * metrics.margin;
    int32_t y = 0;
    for (JobButtonUnit& button : buttons) {
      const int32_t height = length(button, normalHeight);
      SetRect(button, 0, y, width, y + height);
      y += height;
    }
    return {width, y};
  }
  const int32_t height = metrics.margin + metrics.iconSize + metrics.margin;
  int32_t x = 0;
  for (JobButtonUnit& button : buttons) {
    const int32_t width = length(button, metrics.margin + button.placement[PlaceContentWidth] + metrics.margin);
    SetRect(button, x, 0, x + width, height);
    x += width;
  }
  return {x, height};
}

GuiButtonContent PlaceButtonContent(const JobButtonUnit& button, int32_t iconSize, int32_t align, int32_t margin) {
  GuiButtonContent content;
  if (!IsNormalButton(button)) return content;
  const RawRect rect = ButtonRect(button);
  const RawRect inner{rect.left + margin, rect.top + margin, rect.right - margin, rect.bottom - margin};
  const int32_t width = button.placement[PlaceContentWidth];
  int32_t x = inner.left;
  if (align == 1) {
    x = inner.left + (inner.right - inner.left - width) / 2;
  } else if (align == 2) {
    x = inner.right - width;
  }
  const auto centred = [&](int32_t height) { return inner.top + (inner.bottom - inner.top - height) / 2; };
  const bool icon = (button.flags & JobButtonUnit::kHasIcon) != 0;
  const bool caption = (button.flags & JobButtonUnit::kShowCaption) != 0;
  if (icon) {
    const int32_t top = centred(iconSize);
    content.icon = {x, top, x + iconSize, top + iconSize};
    x += iconSize + kButtonIconGap;
  }
  if (caption) {
    // The caption's measured size is what the content holds besides the icon.
    const int32_t captionWidth = width - (icon ? iconSize + kButtonIconGap : 0);
    const int32_t captionHeight = button.placement[PlaceContentHeight];
    const int32_t top = centred(captionHeight);
    content.caption = {x, top, x + captionWidth, top + captionHeight};
  }
  return content;
}

int32_t HitTestButtons(const JobButtonList& buttons, int32_t x, int32_t y) {
  int32_t index = 0;
  for (const JobButtonUnit& button : buttons) {
    const RawRect rect = ButtonRect(button);
    if ((button.flags & JobButtonUnit::kHidden) == 0 && x >= rect.left && x <= rect.right && y >= rect.top &&
        y <= rect.bottom) {
      return index;
    }
    ++index;
  }
  return -1;
}

int32_t FirstNormalButton(const JobButtonList& buttons) {
  int32_t index = 0;
  for (const JobButtonUnit& button : buttons) {
    if (IsNormalButton(button)) return index;
    ++index;
  }
  return -1;
}

int32_t LastNormalButton(const JobButtonList& buttons) {
  int32_t found = -1;
  int32_t index = 0;
  for (const JobButtonUnit& button : buttons) {
    if (IsNormalButton(button)) found = index;
    ++index;
  }
  return found;
}

int32_t StepNormalButton(const JobButtonList& buttons, int32_t index, int32_t step) {
  if (!ValidIndex(buttons, index)) return step < 0 ? LastNormalButton(buttons) : FirstNormalButton(buttons);
  for (int32_t next = index + step; ValidIndex(buttons, next); next += step) {
    if (IsNormalButton(*buttons.At(next))) return next;
  }
  return index;
}

GuiButtonAction ButtonKeyAction(GuiButtonKey key, bool alt, bool horizontal) {
  const bool backward = horizontal ? key == GuiButtonKey::Left : key == GuiButtonKey::Up;
  const bool forward = horizontal ? key == GuiButtonKey::Right : key == GuiButtonKey::Down;
  const bool across = horizontal ? key == GuiButtonKey::Up || key == GuiButtonKey::Down
                                 : key == GuiButtonKey::Left || key == GuiButtonKey::Right;
  if (across) return GuiButtonAction::Menu;
  if (key == GuiButtonKey::Delete) return GuiButtonAction::Delete;
  if (alt) {
    if (backward) return GuiButtonAction::MoveUp;
    if (forward) return GuiButtonAction::MoveDown;
    return GuiButtonAction::None;
  }
  if (backward) return GuiButtonAction::Previous;
  if (forward) return GuiButtonAction::Next;
  switch (key) {
    case GuiButtonKey::Enter:
    case GuiButtonKey::Space:
      return GuiButtonAction::Run;
    case GuiButtonKey::PageUp:
    case GuiButtonKey::Home:
      return GuiButtonAction::First;
    case GuiButtonKey::PageDown:
    case GuiButtonKey::End:
      return GuiButtonAction::Last;
    default:
      return GuiButtonAction::None;
  }
}

bool InsertSeparatorBefore(JobButtonList& buttons, int32_t index, int32_t& selection) {
  if (!ValidIndex(buttons, index)) return false;
  JobButtonUnit& separator = buttons.Insert(IteratorAt(buttons, index));
  separator.flags = JobButtonUnit::kSeparator;
  separator.name = "-";
  // The selection stays on the button it was on, now one place further.
  selection = index + 1;
  return true;
}

bool DeleteButtonAt(JobButtonList& buttons, int32_t index, int32_t& selection) {
  if (!ValidIndex(buttons, index)) return false;
  buttons.Remove(IteratorAt(buttons, index));
  // The button that took the deleted one's place is selected, or the new last one.
  selection = std::min(index, buttons.Count() - 1);
  return true;
}

bool MoveButton(JobButtonList& buttons, int32_t index, int32_t step, int32_t& selection) {
  const int32_t target = index + step;
  if (!ValidIndex(buttons, index) || !ValidIndex(buttons, target) || step == 0) return false;
  auto from = IteratorAt(buttons, index);
  // Moving forwards by one is moving the next button backwards by one.
  auto before = IteratorAt(buttons, step < 0 ? target : target + 1);
  buttons.Insert(before, std::move(*from));
  buttons.Remove(from);
  selection = target;
  return true;
}

void RegisterButtonMenuTexts() {
  RawLayer::RawLocaleRecordList::Instance().Register(kButtonMenuSection, kButtonMenuTexts);
}

RawString ButtonMenuText(int32_t id) {
  RegisterButtonMenuTexts();
  if (id < MenuInsertSeparator || id > MenuMoveDownItems) return RawString::Empty();
  const RawLayer::RawLocaleRecord& record = kButtonMenuTexts[id - MenuInsertSeparator];
  return RawLayer::RawLocaleRecordList::Instance().Text(kButtonMenuSection, RawString::FromUtf8(record.key),
                                                        RawString::FromUtf8(record.defaultText));
}

}  // namespace AppLayer
