#include "app/selector_box.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using JobLayer::JobProfileModel;

// Each unit of text 6 pixels wide; "A" (and every text) 13 pixels tall.
class FixedMeasure : public GuiSelectorTextMeasure {
 public:
  GuiSize Measure(const RawString& text) const override { return {6 * text.Length(), 13}; }
};

// A list of selectors named by the words of `names`; "-" makes a separator.
void Fill(JobSelectorList& list, const std::string& names) {
  std::istringstream words(names);
  std::string word;
  while (words >> word) {
    JobSelectorUnit& unit = list.Add();
    unit.name = RawString::FromUtf8(word);
    unit.caption = RawString::FromUtf8("cap-" + word);
    if (word == "-") unit.flags = JobSelectorUnit::kSeparator;
  }
}

std::string Names(const JobSelectorList& list) {
  std::string text;
  for (const JobSelectorUnit& unit : list) text += (text.empty() ? "" : " ") + unit.name.ToUtf8();
  return text;
}

std::vector<bool> Flags(const std::string& pattern) {
  std::vector<bool> flags;
  for (char c : pattern) flags.push_back(c == 'x');
  return flags;
}

std::string Pattern(const std::vector<bool>& flags) {
  std::string text;
  for (bool flag : flags) text += flag ? 'x' : '.';
  return text;
}

TEST(SelectorBoxTest, MeasuresLinesAndTheBoxAroundThem) {
  const FixedMeasure measure;
  struct Row {
    const char* names;
    int32_t separator;
    std::vector<int32_t> widths;
    std::vector<int32_t> heights;
    GuiSize needed;
  };
  const Row rows[] = {
      // Captions are "cap-" and the name: 6 pixels a unit plus 4; lines 13 + 3 tall.
      {"ab - abcd", 5, {40, 0, 52}, {16, 5, 16}, {54, 39}},
      // Nothing wide: the box is still 10 wide inside its margins.
      {"", 5, {}, {}, {12, 2}},
      {"- -", 7, {0, 0}, {7, 7}, {12, 16}},
      // A separator height the list cannot show is kept to what it can.
      {"- a", 0, {0, 34}, {1, 16}, {36, 19}},
      {"- a", -4, {0, 34}, {1, 16}, {36, 19}},
      {"- a", 400, {0, 34}, {255, 16}, {36, 273}},
  };
  for (const Row& row : rows) {
    JobSelectorList list;
    Fill(list, row.names);
    const GuiSize needed = MeasureSelectorLines(list, measure, row.separator);
    std::vector<int32_t> widths;
    for (const JobSelectorUnit& unit : list) widths.push_back(unit.values[0]);
    EXPECT_EQ(widths, row.widths) << row.names;
    EXPECT_EQ(SelectorLineHeights(list), row.heights) << row.names;
    EXPECT_EQ(needed, row.needed) << row.names << " separator " << row.separator;
    EXPECT_EQ(list.values[0], row.needed.width);
    EXPECT_EQ(list.values[1], row.needed.height);
  }
}

TEST(SelectorBoxTest, GreysMoveDownAndSortingWhenTheyCannotApply) {
  struct Row {
    const char* selected;
    bool moveDown;
    bool sort;
  } const rows[] = {
      {"", false, false},   {"...", false, false}, {"x..", true, false}, {"..x", false, false},
      {".xx", false, true}, {"x.x", true, true},   {"xx.", true, true},  {"xxx", false, true},
  };
  for (const Row& row : rows) {
    const std::vector<GuiSelectorMenuEntry> entries = SelectorMenuEntries(Flags(row.selected));
    std::string shape;
    for (const GuiSelectorMenuEntry& entry : entries) {
      shape += std::to_string(entry.id);
      if (!entry.enabled) shape += "g";
    }
    const std::string expected = std::string("120") + "4" + (row.moveDown ? "5" : "5g") + "0" +
                                 (row.sort ? "67" : "6g7g");
    EXPECT_EQ(shape, expected) << row.selected;
  }
}

TEST(SelectorBoxTest, MenuCaptionsHaveBuiltInTexts) {
  EXPECT_EQ(SelectorMenuCaption("InsertSeparator").ToUtf8(), "Insert separator.");
  EXPECT_EQ(SelectorMenuCaption("DeleteItems").ToUtf8(), "Delete selected items.");
  EXPECT_EQ(SelectorMenuCaption("MoveDownItems").ToUtf8(), "Move down selected items.");
  EXPECT_EQ(SelectorMenuCaption("ReverseSortItems").ToUtf8(), "Reverse selected selected items.");
}

enum class Edit { Up, Down, Sort, Reverse, Delete, Separator };

TEST(SelectorBoxTest, EditsKeepTheSelectionOnTheirLines) {
  struct Row {
    const char* names;
    const char* selected;
    int32_t current;
    Edit edit;
    bool applies;
    const char* namesAfter;
    const char* selectedAfter;
    int32_t currentAfter;
  } const rows[] = {
      {"a b c d", ".x.x", 1, Edit::Up, true, "b a d c", "x.x.", 0},
      {"a b c d", "x.x.", 2, Edit::Up, true, "a c b d", "xx..", 1},
      {"a b c d", "xx..", 0, Edit::Up, false, "a b c d", "xx..", 0},
      {"a b c d", ".xx.", 2, Edit::Down, true, "a d b c", "..xx", 3},
      {"a b c d", "x..x", 0, Edit::Down, true, "b a c d", ".x.x", 1},
      {"a b c d", "...x", 3, Edit::Down, false, "a b c d", "...x", 3},
      {"a b c d", "....", 1, Edit::Down, false, "a b c d", "....", 1},
      // Names compare with a to z folded to upper case; a prefix sorts first.
      {"b A ab x", "xxx.", 0, Edit::Sort, true, "A ab b x", "xxx.", 0},
      {"b A ab x", "xxx.", 0, Edit::Reverse, true, "b ab A x", "xxx.", 0},
      // Only the selected places take part.
      {"d x c y b", "x.x.x", 4, Edit::Sort, true, "b x c y d", "x.x.x", 4},
      // Equal names keep their order both ways.
      {"k K j", "xx.", 0, Edit::Sort, true, "k K j", "xx.", 0},
      {"k K j", "xx.", 0, Edit::Reverse, true, "k K j", "xx.", 0},
      {"b a", "x.", 0, Edit::Sort, false, "b a", "x.", 0},
      {"a b c d", ".x.x", 3, Edit::Delete, true, "a c", "..", 1},
      {"a b c d", "...x", 3, Edit::Delete, true, "a b c", "...", 2},
      {"a b", "xx", 0, Edit::Delete, true, "", "", -1},
      {"a b", "..", 0, Edit::Delete, false, "a b", "..", 0},
      {"a b", "x.", 1, Edit::Separator, true, "a - b", "x..", 2},
      {"a b", "x.", -1, Edit::Separator, false, "a b", "x.", -1},
      {"a b", "x.", 2, Edit::Separator, false, "a b", "x.", 2},
  };
  for (const Row& row : rows) {
    JobSelectorList list;
    Fill(list, row.names);
    GuiSelectorSelection selection{Flags(row.selected), row.current};
    GuiSelectorEditor editor(list, selection);
    bool applied = false;
    switch (row.edit) {
      case Edit::Up: applied = editor.MoveSelectedUp(); break;
      case Edit::Down: applied = editor.MoveSelectedDown(); break;
      case Edit::Sort: applied = editor.SortSelected(false); break;
      case Edit::Reverse: applied = editor.SortSelected(true); break;
      case Edit::Delete: applied = editor.DeleteSelected(); break;
      case Edit::Separator: applied = editor.InsertSeparator(); break;
    }
    const std::string label = std::string(row.names) + " / " + row.selected;
    EXPECT_EQ(applied, row.applies) << label;
    EXPECT_EQ(Names(list), row.namesAfter) << label;
    EXPECT_EQ(Pattern(selection.selected), row.selectedAfter) << label;
    EXPECT_EQ(selection.current, row.currentAfter) << label;
    // A unit moves whole: its caption, flags and measured values go with its name.
    // An inserted separator is set up: its caption is its name.
    for (const JobSelectorUnit& unit : list) {
      if (unit.caption != RawString("-")) {
        EXPECT_EQ(unit.caption.ToUtf8(), "cap-" + unit.name.ToUtf8()) << label;
      }
      EXPECT_EQ((unit.flags & JobSelectorUnit::kSeparator) != 0, unit.name == RawString("-")) << label;
    }
  }
}

TEST(SelectorBoxTest, DroppedPathsGoBeforeTheLineOrAtTheEnd) {
  struct Row {
    int32_t index;
    const char* namesAfter;
    const char* selectedAfter;
    int32_t currentAfter;
  } const rows[] = {
      {1, "a one.exe two.txt b", "x...", 3},
      {0, "one.exe two.txt a b", "..x.", 3},
      {2, "a b one.exe two.txt", "x...", 1},
      {-1, "a b one.exe two.txt", "x...", 1},
      {7, "a b one.exe two.txt", "x...", 1},
  };
  for (const Row& row : rows) {
    JobSelectorList list;
    Fill(list, "a b");
    GuiSelectorSelection selection{Flags("x."), 1};
    RawStringList paths;
    paths.Add("C:\\tools\\one.exe");
    paths.Add("docs/two.txt");
    GuiSelectorEditor editor(list, selection);
    ASSERT_TRUE(editor.InsertDropped(row.index, paths));
    EXPECT_EQ(Names(list), row.namesAfter) << row.index;
    EXPECT_EQ(Pattern(selection.selected), row.selectedAfter) << row.index;
    EXPECT_EQ(selection.current, row.currentAfter) << row.index;
  }
  JobSelectorList list;
  Fill(list, "a");
  GuiSelectorSelection selection{Flags("x"), 0};
  EXPECT_FALSE(GuiSelectorEditor(list, selection).InsertDropped(0, RawStringList()));
  EXPECT_EQ(Names(list), "a");
}

// The edits work on the profile model's list; saving afterwards writes the sections in the
// list's new order, each with its own script.
TEST(SelectorBoxTest, ReverseSortThenSaveRewritesTheSectionsInTheNewOrder) {
  const fs::path folder = fs::path(KESTREL_TEST_TMP_DIR) / "selector_box" / "reverse_save";
  fs::create_directories(folder);
  const fs::path path = folder / "profile.ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "[Common]\r\nProgram=Kestrel\r\n"
                                                             "[Selector:beta]\r\nDefine {\r\n  Seen=beta\r\n}\r\n"
                                                             "[Selector:Alpha]\r\nDefine {\r\n  Seen=alpha\r\n}\r\n"
                                                             "[Button:Go]\r\nTitle=Go\r\n"
                                                             "[Selector:gamma]\r\nDefine {\r\n  Seen=gamma\r\n}\r\n";
  JobProfileModel& model = JobProfileModel::Instance();
  model.Clear();
  const std::u8string text = path.u8string();
  ASSERT_TRUE(model.Load(RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()})));
  model.selectors.SetupSelectors();
  GuiSelectorSelection selection{Flags("xxx"), 0};
  ASSERT_TRUE(GuiSelectorEditor(model.selectors, selection).SortSelected(true));
  ASSERT_TRUE(model.SaveSelectors());
  model.Clear();

  std::ifstream in(path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t gamma = saved.find("[Selector:gamma]\r\nDefine {\r\n  Seen=gamma\r\n}");
  const size_t beta = saved.find("[Selector:beta]\r\nDefine {\r\n  Seen=beta\r\n}");
  const size_t alpha = saved.find("[Selector:Alpha]\r\nDefine {\r\n  Seen=alpha\r\n}");
  ASSERT_NE(gamma, std::string::npos) << saved;
  ASSERT_NE(beta, std::string::npos) << saved;
  ASSERT_NE(alpha, std::string::npos) << saved;
  EXPECT_LT(gamma, beta);
  EXPECT_LT(beta, alpha);
  EXPECT_NE(saved.find("[Button:Go]\r\nTitle=Go\r\n"), std::string::npos);
}

}  // namespace
}  // namespace AppLayer
