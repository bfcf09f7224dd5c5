#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/button_layout.h"

namespace AppLayer {
namespace {

// Six pixels per character, 13 high, as a fixed-pitch font would measure.
class FixedMeasure : public GuiTextMeasure {
 public:
  GuiSize Measure(const RawString& text) const override { return {6 * text.Length(), 13}; }
};

constexpr uint16_t kIcon = JobButtonUnit::kHasIcon;
constexpr uint16_t kCaption = JobButtonUnit::kShowCaption;
constexpr uint16_t kSeparator = JobButtonUnit::kSeparator;
constexpr uint16_t kHidden = JobButtonUnit::kHidden;

struct ButtonRow {
  const char* name;
  uint16_t flags;
};

void Fill(JobButtonList& list, const std::vector<ButtonRow>& rows) {
  list.Clear();
  for (const ButtonRow& row : rows) {
    JobButtonUnit& unit = list.Add();
    unit.name = RawString::FromUtf8(row.name);
    unit.caption = unit.name;
    unit.flags = row.flags;
  }
}

std::string Names(const JobButtonList& list) {
  std::string names;
  for (const JobButtonUnit& unit : list) {
    if (!names.empty()) names += ' ';
    names += unit.name.ToUtf8();
  }
  return names;
}

// Icon and caption, icon only, caption only, a separator and a hidden button.
const std::vector<ButtonRow> kMixed = {
    {"abc", kIcon | kCaption}, {"icon", kIcon}, {"hello", kCaption}, {"-", kSeparator}, {"gone", kHidden | kCaption},
};

TEST(ButtonLayoutTest, ColumnAndRowMeasures) {
  const FixedMeasure measure;
  JobButtonList list;
  Fill(list, kMixed);

  struct Case {
    bool horizontal;
    GuiSize size;
    std::vector<RawRect> rects;
  };
  const Case cases[] = {
      // Widest content: 16 + 3 + 18 = 37, so the column is 45 wide; buttons 16 + 8 high.
      {false,
       {45, 79},
       {{0, 0, 45, 24}, {0, 24, 45, 48}, {0, 48, 45, 72}, {0, 72, 45, 79}, {0, 79, 45, 79}}},
      // Each button is its own content + 8 wide; the row is 16 + 8 high.
      {true,
       {114, 24},
       {{0, 0, 45, 24}, {45, 0, 69, 24}, {69, 0, 107, 24}, {107, 0, 114, 24}, {114, 0, 114, 24}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.horizontal ? "row" : "column");
    EXPECT_EQ(MeasureButtons(list, {16, 7, c.horizontal}, measure), c.size);
    int32_t index = 0;
    for (const JobButtonUnit& unit : list) {
      EXPECT_EQ(ButtonRect(unit), c.rects[index]) << "button " << index;
      ++index;
    }
  }
  const int32_t contents[][2] = {{37, 13}, {16, 16}, {30, 13}, {0, 0}, {0, 0}};
  int32_t index = 0;
  for (const JobButtonUnit& unit : list) {
    EXPECT_EQ(unit.placement[PlaceContentWidth], contents[index][0]) << "button " << index;
    EXPECT_EQ(unit.placement[PlaceContentHeight], contents[index][1]) << "button " << index;
    ++index;
  }
}

TEST(ButtonLayoutTest, SizesFollowTheSettingsAndAnEmptyList) {
  const FixedMeasure measure;
  JobButtonList list;
  EXPECT_EQ(MeasureButtons(list, {16, 7, false}, measure), (GuiSize{8, 0}));
  EXPECT_EQ(MeasureButtons(list, {16, 7, true}, measure), (GuiSize{0, 24}));

  // A larger icon size and separator; only separators and hidden buttons: the column is the
  // margins wide.
  Fill(list, {{"-", kSeparator}, {"x", kHidden}, {"-", kSeparator}});
  EXPECT_EQ(MeasureButtons(list, {32, 11, false}, measure), (GuiSize{8, 22}));
  Fill(list, {{"icon", kIcon}, {"-", kSeparator}});
  EXPECT_EQ(MeasureButtons(list, {32, 11, true}, measure), (GuiSize{40 + 11, 40}));
}

// The window style's Margin is the space inside each side of a button, for the measures and
// for where the content goes.
TEST(ButtonLayoutTest, MarginOfTheStyleSurroundsTheContent) {
  const FixedMeasure measure;
  JobButtonList list;
  Fill(list, {{"icon", kIcon}, {"abc", kIcon | kCaption}});
  EXPECT_EQ(MeasureButtons(list, {16, 7, false, 6}, measure), (GuiSize{6 + 37 + 6, 2 * (6 + 16 + 6)}));
  EXPECT_EQ(ButtonRect(*list.At(1)), (RawRect{0, 28, 49, 56}));
  EXPECT_EQ(PlaceButtonContent(*list.At(0), 16, 0, 6).icon, (RawRect{6, 6, 22, 22}));
  EXPECT_EQ(MeasureButtons(list, {16, 7, true, 0}, measure), (GuiSize{16 + 37, 16}));
  EXPECT_EQ(PlaceButtonContent(*list.At(1), 16, 0, 0).icon, (RawRect{16, 0, 32, 16}));
}

TEST(ButtonLayoutTest, ContentIsPlacedByAlignment) {
  const FixedMeasure measure;
  JobButtonList list;
  Fill(list, kMixed);
  (void)MeasureButtons(list, {16, 7, false}, measure);

  // Inner area of every column button: x 4..41, y 4..20 (in the second button y 28..44).
  struct Case {
    int32_t index;
    int32_t align;
    RawRect icon;
    RawRect caption;
  };
  const Case cases[] = {
      {0, 1, {4, 4, 20, 20}, {23, 5, 41, 18}},  // the widest content fills the inner area
      {1, 0, {4, 28, 20, 44}, {}},
      {1, 1, {14, 28, 30, 44}, {}},  // (37 - 16) / 2 = 10
      {1, 2, {25, 28, 41, 44}, {}},
      {2, 0, {}, {4, 53, 34, 66}},  // caption 13 high centred in 16: one pixel down
      {2, 1, {}, {7, 53, 37, 66}},
      {2, 2, {}, {11, 53, 41, 66}},
      {3, 1, {}, {}},  // a separator shows nothing
      {4, 1, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "button " << c.index << " align " << c.align);
    const JobButtonUnit& unit = *list.At(c.index);
    const GuiButtonContent content = PlaceButtonContent(unit, 16, c.align);
    EXPECT_EQ(content.icon, c.icon);
    EXPECT_EQ(content.caption, c.caption);
  }
}

TEST(ButtonLayoutTest, HitTestTakesEdgesAndSkipsHiddenButtons) {
  const FixedMeasure measure;
  JobButtonList list;
  // A hidden button first: its zero-height strip lies on the first button's top edge.
  Fill(list, {{"gone", kHidden | kCaption}, {"abc", kIcon | kCaption}, {"icon", kIcon}, {"-", kSeparator},
              {"also gone", kHidden}});
  (void)MeasureButtons(list, {16, 7, false}, measure);  // 45 wide; 0-24, 24-48, 48-55, 55-55

  const struct {
    int32_t x, y, index;
  } cases[] = {
      {0, 0, 1},    {10, 0, 1},  {45, 24, 1},  // edges belong to the first button holding them
      {45, 25, 2},  {20, 50, 3},               // the separator is hit
      {20, 55, 3},  {20, 56, -1}, {46, 10, -1}, {-1, 10, -1}, {10, -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HitTestButtons(list, c.x, c.y), c.index) << c.x << "," << c.y;
  }
}

TEST(ButtonLayoutTest, KeySelectionSkipsSeparatorsAndHiddenButtons) {
  JobButtonList list;
  Fill(list, {{"-", kSeparator}, {"a", kCaption}, {"h", kHidden}, {"b", kCaption}, {"-", kSeparator},
              {"c", kCaption}, {"h2", kHidden}});
  EXPECT_EQ(FirstNormalButton(list), 1);
  EXPECT_EQ(LastNormalButton(list), 5);
  const struct {
    int32_t from, step, to;
  } cases[] = {
      {1, 1, 3}, {3, 1, 5}, {5, 1, 5},    // the last normal button stays selected
      {5, -1, 3}, {3, -1, 1}, {1, -1, 1}, // and so does the first
      {-1, 1, 1}, {-1, -1, 5},            // nothing selected: the first or the last
      {0, 1, 1}, {4, -1, 3}, {6, -1, 5},  // from a separator or a hidden button clicked with Alt
      {7, 1, 1},                           // an index past the end counts as none
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StepNormalButton(list, c.from, c.step), c.to) << c.from << " by " << c.step;
  }

  Fill(list, {{"-", kSeparator}, {"h", kHidden}});
  EXPECT_EQ(FirstNormalButton(list), -1);
  EXPECT_EQ(LastNormalButton(list), -1);
  EXPECT_EQ(StepNormalButton(list, -1, 1), -1);
  EXPECT_EQ(StepNormalButton(list, 0, 1), 0);
}

TEST(ButtonLayoutTest, KeysActAlongAndAcrossTheAxis) {
  using K = GuiButtonKey;
  using A = GuiButtonAction;
  const struct {
    K key;
    bool alt;
    bool horizontal;
    A action;
  } cases[] = {
      {K::Up, false, false, A::Previous},   {K::Down, false, false, A::Next},
      {K::Left, false, false, A::Menu},     {K::Right, false, false, A::Menu},
      {K::Up, true, false, A::MoveUp},      {K::Down, true, false, A::MoveDown},
      {K::Left, true, false, A::Menu},      {K::Left, false, true, A::Previous},
      {K::Right, false, true, A::Next},     {K::Up, false, true, A::Menu},
      {K::Down, true, true, A::Menu},       {K::Left, true, true, A::MoveUp},
      {K::Right, true, true, A::MoveDown},  {K::Enter, false, false, A::Run},
      {K::Space, false, true, A::Run},      {K::Enter, true, false, A::None},
      {K::Home, false, false, A::First},    {K::PageUp, false, true, A::First},
      {K::End, false, false, A::Last},      {K::PageDown, false, true, A::Last},
      {K::Home, true, false, A::None},      {K::Delete, false, false, A::Delete},
      {K::Delete, true, true, A::Delete},   {K::Other, false, false, A::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ButtonKeyAction(c.key, c.alt, c.horizontal), c.action)
        << "key " << static_cast<int>(c.key) << " alt " << c.alt << " row " << c.horizontal;
  }
}

TEST(ButtonLayoutTest, EditsAtTheEndsOfTheList) {
  JobButtonList list;
  const std::vector<ButtonRow> abc = {{"a", kCaption}, {"b", kCaption | JobButtonUnit::kDropRun}, {"c", kCaption}};
  enum Op { Insert, Delete, Up, Down };
  const struct {
    Op op;
    int32_t index;
    bool done;
    const char* names;
    int32_t selection;
  } cases[] = {
      {Insert, 0, true, "- a b c", 1},  {Insert, 2, true, "a b - c", 3},  {Insert, -1, false, "a b c", 7},
      {Insert, 3, false, "a b c", 7},   {Delete, 0, true, "b c", 0},      {Delete, 2, true, "a b", 1},
      {Delete, 3, false, "a b c", 7},   {Delete, -1, false, "a b c", 7},  {Up, 0, false, "a b c", 7},
      {Up, 1, true, "b a c", 0},        {Up, 2, true, "a c b", 1},        {Down, 2, false, "a b c", 7},
      {Down, 0, true, "b a c", 1},      {Down, 1, true, "a c b", 2},      {Down, -1, false, "a b c", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "op " << c.op << " at " << c.index);
    Fill(list, abc);
    int32_t selection = 7;
    bool done = false;
    switch (c.op) {
      case Insert:
        done = InsertSeparatorBefore(list, c.index, selection);
        break;
      case Delete:
        done = DeleteButtonAt(list, c.index, selection);
        break;
      case Up:
        done = MoveButton(list, c.index, -1, selection);
        break;
      case Down:
        done = MoveButton(list, c.index, 1, selection);
        break;
    }
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(Names(list), c.names);
    EXPECT_EQ(selection, c.selection);
    // A moved button keeps what it was; an inserted one is a separator.
    for (const JobButtonUnit& unit : list) {
      if (unit.name == "b") {
        EXPECT_EQ(unit.flags, kCaption | JobButtonUnit::kDropRun);
      }
      if (unit.name == "-") {
        EXPECT_EQ(unit.flags, kSeparator);
      }
    }
  }

  // Deleting the only button leaves nothing selected.
  Fill(list, {{"a", kCaption}});
  int32_t selection = 0;
  EXPECT_TRUE(DeleteButtonAt(list, 0, selection));
  EXPECT_EQ(selection, -1);
  EXPECT_FALSE(MoveButton(list, 0, 1, selection));
}

TEST(ButtonLayoutTest, MenuCaptionsComeFromTheMessageTable) {
  EXPECT_EQ(ButtonMenuText(MenuInsertSeparator), "Insert separator.");
  EXPECT_EQ(ButtonMenuText(MenuDeleteItems), "Delete selected buttons.");
  EXPECT_EQ(ButtonMenuText(MenuMoveUpItems), "Move up selected buttons.");
  EXPECT_EQ(ButtonMenuText(MenuMoveDownItems), "Move down selected buttons.");
  EXPECT_TRUE(ButtonMenuText(0).IsEmpty());
  EXPECT_TRUE(ButtonMenuText(5).IsEmpty());
}

}  // namespace
}  // namespace AppLayer
