#include "app/selector_box.h"

#include <algorithm>
#include <utility>

#include "job/trace.h"
#include "raw/locale.h"

namespace AppLayer {

using JobLayer::JobTraceId;
using RawLayer::RawLocaleRecord;
using RawLayer::RawLocaleRecordList;

namespace {

constexpr char kMenuSection[] = "SelectorMenu";

const RawLocaleRecord kMenuRecords[] = {
    {"InsertSeparator", "Insert separator."},
    {"DeleteItems", "Delete selected items."},
    {"MoveUpItems", "Move up selected items."},
    {"MoveDownItems", "Move down selected items."},
    {"SortItems", "Sort selected items."},
    // Spelt as the language files that exist already spell it: their translations replace it.
    {"ReverseSortItems", "Reverse selected selected items."},
    {"", ""},
};

// What a line of the system's list can be tall.
constexpr int32_t kMinLineHeight = 1;
constexpr int32_t kMaxLineHeight = 255;
constexpr int32_t kMinBoxWidth = 10;
constexpr int32_t kBoxMargin = 1;
// A caption's line: 2 pixels on each side of the text, 3 below the height of "A".
constexpr int32_t kCaptionPadding = 4;
constexpr int32_t kLineExtra = 3;

const char* DefaultCaption(const char* key) {
  for (const RawLocaleRecord* record = kMenuRecords; record->key[0] != '\0'; ++record) {
    if (RawString::FromUtf8(record->key) == RawString::FromUtf8(key)) return record->defaultText;
  }
  return "";
}

std::vector<JobSelectorUnit*> UnitsOf(const JobSelectorList& list) {
  std::vector<JobSelectorUnit*> units;
  units.reserve(static_cast<size_t>(list.Count()));
  for (JobSelectorUnit& unit : list) units.push_back(&unit);
  return units;
}

}  // namespace

std::vector<GuiSelectorMenuEntry> SelectorMenuEntries(const std::vector<bool>& selected) {
  const size_t chosen = static_cast<size_t>(std::count(selected.begin(), selected.end(), true));
  bool canMoveDown = false;
  for (size_t index = 0; index + 1 < selected.size(); ++index) {
    if (selected[index] && !selected[index + 1]) canMoveDown = true;
  }
  const bool canSort = chosen >= 2;
  return {
      {kSelectorInsertSeparator, "InsertSeparator", true},
      {kSelectorDeleteItems, "DeleteItems", true},
      {0, nullptr, true},
      {kSelectorMoveUpItems, "MoveUpItems", true},
      {kSelectorMoveDownItems, "MoveDownItems", canMoveDown},
      {0, nullptr, true},
      {kSelectorSortItems, "SortItems", canSort},
      {kSelectorReverseSortItems, "ReverseSortItems", canSort},
  };
}

RawString SelectorMenuCaption(const char* key) {
  RawLocaleRecordList& table = RawLocaleRecordList::Instance();
  // Registering again leaves the table as it is; the defaults are there for the first caption.
  table.Register(kMenuSection, kMenuRecords);
  return table.Text(kMenuSection, RawString::FromUtf8(key), RawString::FromUtf8(DefaultCaption(key)));
}

GuiSize MeasureSelectorLines(JobSelectorList& list, const GuiSelectorTextMeasure& measure, int32_t separatorHeight) {
  const int32_t lineHeight = measure.Measure("A").height + kLineExtra;
  int32_t widest = 0;
  int64_t total = 0;
  for (JobSelectorUnit& unit : list) {
    const bool separator = (unit.flags & JobSelectorUnit::kSeparator) != 0;
    const int32_t width = separator ? 0 : measure.Measure(unit.caption).width + kCaptionPadding;
    const int32_t height = std::clamp(separator ? separatorHeight : lineHeight, kMinLineHeight, kMaxLineHeight);
    unit.values[0] = width;
    unit.values[1] = height;
    widest = std::max(widest, width);
    total += height;
  }
  const int64_t height = std::min<int64_t>(total + 2 * kBoxMargin, INT32_MAX);
  const GuiSize size{std::max(widest, kMinBoxWidth) + 2 * kBoxMargin, static_cast<int32_t>(height)};
  list.values[0] = size.width;
  list.values[1] = size.height;
  return size;
}

std::vector<int32_t> SelectorLineHeights(const JobSelectorList& list) {
  std::vector<int32_t> heights;
  heights.reserve(static_cast<size_t>(list.Count()));
  for (const JobSelectorUnit& unit : list) heights.push_back(unit.values[1]);
  return heights;
}

bool GuiSelectorEditor::InsertSeparator() {
  selection_.selected.resize(static_cast<size_t>(Count()), false);
  const int32_t current = selection_.current;
  if (current < 0 || current >= Count()) return false;
  auto position = list_.begin();
  for (int32_t index = 0; index < current; ++index) ++position;
  JobSelectorUnit& separator = list_.Insert(position);
  separator.flags = JobSelectorUnit::kSeparator;
  separator.name = "-";
  list_.SetupSelector(separator, JobTraceId::Executor());
  selection_.selected.insert(selection_.selected.begin() + current, false);
  selection_.current = current + 1;
  return true;
}

bool GuiSelectorEditor::DeleteSelected() {
  std::vector<bool>& selected = selection_.selected;
  selected.resize(static_cast<size_t>(Count()), false);
  const auto first = std::find(selected.begin(), selected.end(), true);
  if (first == selected.end()) return false;
  const int32_t firstIndex = static_cast<int32_t>(first - selected.begin());
  int32_t index = 0;
  for (auto at = list_.begin(); at != list_.end(); ++index) {
    at = selected[static_cast<size_t>(index)] ? list_.Remove(at) : ++at;
  }
  selected.assign(static_cast<size_t>(Count()), false);
  selection_.current = std::min(firstIndex, Count() - 1);
  return true;
}

void GuiSelectorEditor::SwapLines(int32_t a, int32_t b) {
  // The units' contents change places, so every line keeps its place in the chain.
  std::vector<bool>& selected = selection_.selected;
  std::swap(*units_[static_cast<size_t>(a)], *units_[static_cast<size_t>(b)]);
  const bool flag = selected[static_cast<size_t>(a)];
  selected[static_cast<size_t>(a)] = selected[static_cast<size_t>(b)];
  selected[static_cast<size_t>(b)] = flag;
  if (selection_.current == a) {
    selection_.current = b;
  } else if (selection_.current == b) {
    selection_.current = a;
  }
}

bool GuiSelectorEditor::MoveSelectedUp() {
  units_ = UnitsOf(list_);
  std::vector<bool>& selected = selection_.selected;
  selected.resize(units_.size(), false);
  bool moved = false;
  for (size_t index = 1; index < units_.size(); ++index) {
    if (selected[index] && !selected[index - 1]) {
      SwapLines(static_cast<int32_t>(index - 1), static_cast<int32_t>(index));
      moved = true;
    }
  }
  return moved;
}

bool GuiSelectorEditor::MoveSelectedDown() {
  units_ = UnitsOf(list_);
  std::vector<bool>& selected = selection_.selected;
  selected.resize(units_.size(), false);
  bool moved = false;
  for (size_t index = units_.size(); index-- > 1;) {
    if (selected[index - 1] && !selected[index]) {
      SwapLines(static_cast<int32_t>(index - 1), static_cast<int32_t>(index));
      moved = true;
    }
  }
  return moved;
}

bool GuiSelectorEditor::SortSelected(bool descending) {
  units_ = UnitsOf(list_);
  std::vector<bool>& selected = selection_.selected;
  selected.resize(units_.size(), false);
  std::vector<size_t> places;
  for (size_t index = 0; index < units_.size(); ++index) {
    if (selected[index]) places.push_back(index);
  }
  if (places.size() < 2) return false;
  std::vector<JobSelectorUnit> chosen;
  chosen.reserve(places.size());
  for (size_t place : places) chosen.push_back(std::move(*units_[place]));
  const JobLayer::JobSelectorListSort order;
  std::stable_sort(chosen.begin(), chosen.end(), [&](const JobSelectorUnit& a, const JobSelectorUnit& b) {
    return descending ? order.Compare(b, a) < 0 : order.Compare(a, b) < 0;
  });
  for (size_t at = 0; at < places.size(); ++at) *units_[places[at]] = std::move(chosen[at]);
  return true;
}

bool GuiSelectorEditor::InsertDropped(int32_t index, const RawStringList& paths) {
  if (paths.IsEmpty()) return false;
  std::vector<bool>& selected = selection_.selected;
  selected.resize(static_cast<size_t>(Count()), false);
  const int32_t at = index < 0 || index >= Count() ? Count() : index;
  int32_t inserted = 0;
  for (const RawString& path : paths) {
    list_.CreateFromDrop(at + inserted, path, JobTraceId::Executor());
    ++inserted;
  }
  selected.insert(selected.begin() + at, static_cast<size_t>(inserted), false);
  if (selection_.current >= at) selection_.current += inserted;
  return true;
}

}  // namespace AppLayer
