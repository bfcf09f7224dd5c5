// Script menus, run as scripts through a registry with a menu host that records every menu it
// is given and answers with a chosen caption path ("Sub/Item").
#include "job/command_menu.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "job/icon_cache.h"
#include "job/menu_host.h"
#include "tests/unit/job/command_test_support.h"

namespace JobLayer {
namespace {

using testing_support::Holds;
using testing_support::Note;
using testing_support::ParseScript;

int g_liveMenus = 0;

class FakeMenu : public JobHostMenu {
 public:
  struct Entry {
    char kind;  // 'I' item, 'M' sub-menu, '-' separator
    int32_t id;
    std::string caption;
    int32_t icon;
    FakeMenu* sub;
  };
  FakeMenu() { ++g_liveMenus; }
  ~FakeMenu() override { --g_liveMenus; }

  // "[A,-,Sub>[X]]"
  std::string Describe() const {
    std::string text = "[";
    for (size_t i = 0; i < entries.size(); ++i) {
      if (i > 0) text += ",";
      const Entry& entry = entries[i];
      if (entry.kind == '-') text += "-";
      else text += entry.caption;
      if (entry.kind == 'M') text += ">" + entry.sub->Describe();
    }
    return text + "]";
  }

  std::vector<Entry> entries;
};

class FakeHost : public JobMenuHost {
 public:
  std::unique_ptr<JobHostMenu> CreatePopup() override {
    ++created;
    return std::make_unique<FakeMenu>();
  }
  bool AppendItem(JobHostMenu& menu, int32_t id, const RawString& caption, int32_t iconEntry) override {
    ids.push_back(id);
    static_cast<FakeMenu&>(menu).entries.push_back({'I', id, caption.ToUtf8(), iconEntry, nullptr});
    return true;
  }
  bool AppendSubMenu(JobHostMenu& menu, JobHostMenu& sub, const RawString& caption, int32_t iconEntry) override {
    static_cast<FakeMenu&>(menu).entries.push_back(
        {'M', 0, caption.ToUtf8(), iconEntry, &static_cast<FakeMenu&>(sub)});
    return true;
  }
  bool AppendSeparator(JobHostMenu& menu) override {
    static_cast<FakeMenu&>(menu).entries.push_back({'-', 0, "", -1, nullptr});
    return true;
  }
  // Follows the caption path; an empty path or a caption that is not there closes the menu.
  int32_t Track(JobHostMenu& menu) override {
    const FakeMenu* at = &static_cast<FakeMenu&>(menu);
    shown.push_back(at->Describe());
    std::string path = choice;
    while (!path.empty()) {
      const size_t slash = path.find('/');
      const std::string caption = path.substr(0, slash);
      path = slash == std::string::npos ? std::string() : path.substr(slash + 1);
      const FakeMenu::Entry* found = nullptr;
      for (const FakeMenu::Entry& entry : at->entries) {
        if (entry.kind != '-' && entry.caption == caption) found = &entry;
      }
      if (found == nullptr) return kNoChoice;
      if (found->kind == 'I') return path.empty() ? found->id : kNoChoice;
      at = found->sub;
    }
    return kNoChoice;
  }

  std::string choice;
  std::vector<std::string> shown;
  std::vector<int32_t> ids;
  int created = 0;
};

// The menu family with the control flow it is used with, in the launcher's lookup order.
JobCommandList& MenuCommands() {
  static JobCommandList* list = [] {
    auto* commands = new JobCommandList;
    commands->Register<JobCommandDefine>();
    commands->Register<JobCommandExpand>();
    commands->Register<JobCommandAction>();
    commands->Register<JobCommandMenu>();
    commands->Register<JobCommandMenuItem>();
    commands->Register<JobCommandSeparator>();
    commands->Register<JobCommandPickupMenu>();
    commands->Register<JobCommandIf>();
    commands->Register<JobCommandElse>();
    commands->Register<JobCommandWhile>();
    commands->Register<JobCommandFor>();
    commands->Register<JobCommandBreak>();
    commands->Register<JobCommandAbort>();
    return commands;
  }();
  return *list;
}

class MenuTest : public testing_support::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    MenuCommands().flags = 0;
    host_ = FakeHost();
    SetMenuHost(&host_);
    for (const char* name : {"Pickup", "Fail", "Picked"}) Variables().Set(RawString::FromUtf8(name), RawString());
  }
  void TearDown() override {
    SetMenuHost(nullptr);
    ScriptTest::TearDown();
  }

  // A run, with its menu list, as the launcher makes one.
  static bool RunMenus(const std::string& text) {
    JobMenuRunScope menus;
    return MenuCommands().Execute(ParseScript(text), JobTraceId::Executor());
  }

  // A script run outside any run, as the start-up's initialising action is.
  static bool RunWithoutScope(const std::string& text) {
    return MenuCommands().Execute(ParseScript(text), JobTraceId::Executor());
  }

  FakeHost host_;
};

std::string Item(const std::string& title, const std::string& block = "") {
  return "MenuItem {\nTitle=" + title + "\n" + block + "}\n";
}

TEST_F(MenuTest, ShowsTheBuiltMenuAndRunsTheChosenItemsBlock) {
  const std::string twoItems = "Menu {\nTitle=Top\n" + Item("A", Note("a")) + Item("B", Note("b")) + "}\n";
  const std::string withSub = "Menu {\n" + Item("A", Note("a")) + "Menu {\nTitle=Sub\n" + Item("X", Note("x")) +
                              Item("Y", Note("y")) + "}\n" + Item("C", Note("c")) + "}\n";
  struct Row {
    const char* name;
    std::string script;
    std::string choice;
    bool ok;
    std::string shown;
    std::string trace;
  } rows[] = {
      {"first item", twoItems + Note(";after"), "A", true, "[A,B]", "a;after"},
      {"second item", twoItems, "B", true, "[A,B]", "b"},
      // Nothing chosen: the run fails quietly and no block runs.
      {"closed", twoItems + Note(";after"), "", false, "[A,B]", ""},
      {"item of a sub-menu", withSub, "Sub/Y", true, "[A,Sub>[X,Y],C]", "y"},
      {"sub-menu closed", withSub, "Sub", false, "[A,Sub>[X,Y],C]", ""},
      {"failing item block", "Menu {\n" + Item("A", Note("a") + "AbortExecution\n" + Note("b")) + "}\n", "A", false,
       "[A]", "a"},
      {"captions expanded", "Define {\nY=why\n}\nMenu {\n" + Item("$(Y)", Note("$(Y)")) + "}\n", "why", true, "[why]",
       "why"},
      {"empty menu", "Menu {\n}\n", "", false, "[]", ""},
  };
  for (const Row& row : rows) {
    SetUp();
    host_.choice = row.choice;
    EXPECT_EQ(RunMenus(row.script), row.ok) << row.name;
    ASSERT_EQ(host_.shown.size(), 1u) << row.name;
    EXPECT_EQ(host_.shown[0], row.shown) << row.name;
    EXPECT_EQ(Value("Trace"), row.trace) << row.name;
    EXPECT_EQ(OnlyError(), "") << row.name;
  }
}

TEST_F(MenuTest, SeparatorsNeverLeadAndNeverFollowEachOther) {
  struct Row {
    std::string body;
    std::string shown;
  } rows[] = {
      {"Separator\n" + Item("A"), "[A]"},
      {"Separator\nSeparator\n" + Item("A") + "Separator\nSeparator\n" + Item("B"), "[A,-,B]"},
      {Item("A") + "Separator\n", "[A,-]"},
      {"Menu {\nTitle=S\n" + Item("X") + "}\nSeparator\nSeparator\n" + Item("B"), "[S>[X],-,B]"},
      // A sub-menu starts with its own rule: the enclosing menu's entries do not count.
      {Item("A") + "Menu {\nTitle=S\nSeparator\n" + Item("X") + "}\n", "[A,S>[X]]"},
      {"Separator\n", "[]"},
  };
  for (const Row& row : rows) {
    SetUp();
    EXPECT_FALSE(RunMenus("Menu {\n" + row.body + "}\n")) << row.body;
    ASSERT_EQ(host_.shown.size(), 1u) << row.body;
    EXPECT_EQ(host_.shown[0], row.shown) << row.body;
  }
}

TEST_F(MenuTest, EntriesOutsideAMenuBlockAreOutOfScope) {
  struct Row {
    const char* script;
    const char* command;
  } rows[] = {
      {"MenuItem {\nTitle=A\n}\n", "MenuItem"},
      {"Separator\n", "Separator"},
      {"Menu {\nMenuItem {\nTitle=A\n}\n}\nMenuItem {\nTitle=B\n}\n", "MenuItem"},
  };
  for (const Row& row : rows) {
    for (bool inRun : {true, false}) {
      SetUp();
      host_.choice = "A";
      const bool ok = inRun ? RunMenus(row.script) : RunWithoutScope(row.script);
      (void)ok;
      const std::string error = OnlyError();
      EXPECT_TRUE(Holds(error, "Out of menu scope !")) << row.script << error;
      EXPECT_TRUE(Holds(error, std::string("[command] ") + row.command)) << row.script << error;
    }
  }
  SetUp();
  EXPECT_FALSE(RunMenus("MenuItem {\nTitle=A\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "");
}

TEST_F(MenuTest, IdentifiersCountFromOneInTheOrderUnitsAreMade) {
  // Menu 1 { Item 2, Menu 3 { Item 4 }, Item 5 }
  host_.choice = "C";
  ASSERT_TRUE(RunMenus("Menu {\n" + Item("A") + "Menu {\nTitle=S\n" + Item("B") + "}\n" + Item("C", Note("c")) +
                       "}\n"));
  EXPECT_EQ(host_.ids, (std::vector<int32_t>{2, 4, 5}));
  EXPECT_EQ(Value("Trace"), "c");
}

TEST_F(MenuTest, AMenuIsBuiltOncePerRunAndReusedByTheSameCommand) {
  struct Row {
    const char* name;
    std::string script;
    std::string trace;
    int created;
    std::vector<std::string> shown;
  } rows[] = {
      // The loop shows the same menu twice; its block ran once.
      {"menu in a loop",
       "For {\nBegin=0\nEnd=2\nAdd=1\nMenu {\n" + Note("build") + Item("A", Note("+a")) + "}\n}\n", "build+a+a", 1,
       {"[A]", "[A]"}},
      // One action's menu inserted into two menus: built once, entered twice.
      {"shared sub-menu",
       "Menu {\n" + Item("A") + "Action {\nName=Shared\n}\nMenu {\nTitle=Other\nAction {\nName=Shared\n}\n}\n}\n",
       "build", 3, {"[A,Common>[X],Other>[Common>[X]]]"}},
      // A menu whose block runs its own command again is not inserted into itself.
      {"menu inside itself", "Menu {\n" + Item("A") + "Action {\nName=Self\n}\n}\n", "self", 2,
       {"[A,Self>[S]]"}},
      {"pickup menu in a loop", "For {\nBegin=0\nEnd=3\nAdd=1\nPickupMenu {\nx=1\ny=2\n}\n}\n", "", 1,
       {"[x,y]", "[x,y]", "[x,y]"}},
  };
  for (const Row& row : rows) {
    SetUp();
    AddAction("Shared", "Menu {\nTitle=Common\n" + Note("build") + Item("X") + "}\n");
    AddAction("Self", "Menu {\nTitle=Self\n" + Note("self") + Item("S") + "Action {\nName=Self\n}\n}\n");
    host_.choice = "A";
    if (row.name == std::string("pickup menu in a loop")) host_.choice = "y";
    EXPECT_TRUE(RunMenus(row.script)) << row.name;
    EXPECT_EQ(Value("Trace"), row.trace) << row.name;
    EXPECT_EQ(host_.created, row.created) << row.name;
    EXPECT_EQ(host_.shown, row.shown) << row.name;
    EXPECT_EQ(OnlyError(), "") << row.name;
  }
  // Separate runs build afresh, and every platform menu is freed when its run ends.
  SetUp();
  host_.choice = "A";
  const std::string loop = "Menu {\n" + Note("build") + Item("A") + "}\n";
  EXPECT_TRUE(RunMenus(loop));
  EXPECT_TRUE(RunMenus(loop));
  EXPECT_EQ(Value("Trace"), "buildbuild");
  EXPECT_EQ(g_liveMenus, 0);
}

TEST_F(MenuTest, AMenuWhoseBlockFailedIsBuiltAfreshNextTime) {
  // The first pass breaks out of the menu's block; the next pass must not show half a menu.
  const std::string script = "Define {\nFail=True\n}\nFor {\nBegin=0\nEnd=3\nAdd=1\nWhile {\nCondition=True\n"
                             "Menu {\n" + Note("build") + Item("A", Note("+a")) +
                             "If {\nCondition=$(Fail)\nDefine {\nFail=\n}\nBreak\n}\n" + Item("B") +
                             "}\nBreak\n}\n}\n";
  host_.choice = "A";
  EXPECT_TRUE(RunMenus(script));
  EXPECT_EQ(Value("Trace"), "buildbuild+a+a");
  EXPECT_EQ(host_.shown, (std::vector<std::string>{"[A,B]", "[A,B]"}));
}

TEST_F(MenuTest, PickupMenuSetsPickupToTheChosenValue) {
  struct Row {
    std::string params;
    std::string choice;
    bool ok;
    std::string shown;
    std::string pickup;
  } rows[] = {
      {"a=1\nSeparator\nb=two\n", "b", true, "[a,-,b]", "two"},
      {"Separator=\nSeparator\na=1\n", "a", true, "[a]", "1"},
      {"a=1\nb=2\n", "", false, "[a,b]", "old"},
      {"a=\n", "a", true, "[a]", ""},
      {"", "", false, "[]", "old"},
  };
  for (const Row& row : rows) {
    SetUp();
    Variables().Set("Pickup", "old");
    host_.choice = row.choice;
    EXPECT_EQ(RunMenus("PickupMenu {\n" + row.params + "}\n"), row.ok) << row.params;
    ASSERT_EQ(host_.shown.size(), 1u) << row.params;
    EXPECT_EQ(host_.shown[0], row.shown) << row.params;
    EXPECT_EQ(Value("Pickup"), row.pickup) << row.params;
  }
  // Inside a menu it is a sub-menu.
  SetUp();
  host_.choice = "/q";
  EXPECT_TRUE(RunMenus("Menu {\n" + Item("A") + "PickupMenu {\nq=queue\n}\n}\n"));
  EXPECT_EQ(host_.shown, (std::vector<std::string>{"[A,>[q]]"}));
  EXPECT_EQ(Value("Pickup"), "queue");
}

TEST_F(MenuTest, LargeAndDeepMenus) {
  // A thousand items, each with its own identifier, the last one chosen.
  host_.choice = "999";
  ASSERT_TRUE(RunMenus("Menu {\nFor {\nBegin=0\nEnd=1000\nAdd=1\n" +
                       Item("$(Counter)", "Define {\nPicked=yes\n}\n") + "}\n}\n"));
  ASSERT_EQ(host_.ids.size(), 1000u);
  for (size_t i = 0; i < host_.ids.size(); ++i) ASSERT_EQ(host_.ids[i], static_cast<int32_t>(i) + 2);
  EXPECT_EQ(Value("Picked"), "yes");

  // Menus nested fifty deep, the deepest item chosen.
  SetUp();
  std::string script;
  std::string path;
  for (int level = 0; level < 50; ++level) {
    script += "Menu {\nTitle=L" + std::to_string(level) + "\n";
    if (level > 0) path += "L" + std::to_string(level) + "/";
  }
  script += Item("Deep", Note("deep"));
  for (int level = 0; level < 50; ++level) script += "}\n";
  host_.choice = path + "Deep";
  EXPECT_TRUE(RunMenus(script));
  EXPECT_EQ(Value("Trace"), "deep");
  EXPECT_EQ(host_.created, 50);
  EXPECT_EQ(g_liveMenus, 0);
}

TEST_F(MenuTest, IconsComeFromTheIconCacheAndAnOpenMenuAsksToBeToldWhenTheyAreDone) {
  host_.choice = "";
  // The process-wide control loads in the background here and has no worker: icons stay pending.
  (void)RunMenus("Menu {\nTitle=T\nIconFile=menu-test-a.ico\nIconIndex=2\nMenu {\nTitle=S\nIconFile=menu-test-a.ico\n"
                 "IconIndex=3\n" + Item("X") + "}\n" + Item("Plain") + "MenuItem {\nTitle=I\nIconFile=menu-test-a.ico\n"
                 "IconIndex=2\n}\n}\n");
  JobIconControl& icons = JobIconControl::Instance();
  const int32_t last = icons.EntryCount() - 1;
  JobIconInfoUnit unit(0, 0, RawString(), 0, 0);
  ASSERT_TRUE(icons.EntryAt(last, unit));
  EXPECT_EQ(unit.state, IconNotifyMenu);
  // The sub-menu's and both items' icons: the same file and index share one entry.
  JobIconInfoUnit sub = unit;
  ASSERT_TRUE(icons.EntryAt(last - 1, sub));
  EXPECT_EQ(sub.iconIndex, 3);
  ASSERT_EQ(host_.shown.size(), 1u);
}

// ---- the console host ----

class ScriptedConsole : public JobMenuConsole {
 public:
  bool Interactive() override { return interactive; }
  bool ReadLine(std::string& line) override {
    if (next >= answers.size()) return false;
    line = answers[next++];
    return true;
  }
  void Write(const std::string& text) override { output += text; }

  bool interactive = true;
  std::vector<std::string> answers;
  size_t next = 0;
  std::string output;
};

TEST(ConsoleMenuHostTest, NumbersEntriesOpensSubMenusAndGoesBack) {
  struct Row {
    const char* name;
    bool interactive;
    std::vector<std::string> answers;
    int32_t chosen;
    size_t read;
  } rows[] = {
      {"first item", true, {"1"}, 11, 1},
      {"item after the separator", true, {" 3 "}, 13, 1},
      {"sub-menu item", true, {"2", "1"}, 21, 2},
      {"back from the sub-menu, then an item", true, {"2", "0", "3"}, 13, 3},
      {"bad answers asked again", true, {"x", "9", "-1", "1"}, 11, 4},
      {"empty line closes", true, {""}, JobMenuHost::kNoChoice, 1},
      {"end of input in a sub-menu", true, {"2"}, JobMenuHost::kNoChoice, 1},
      {"no terminal", false, {"1"}, JobMenuHost::kNoChoice, 0},
  };
  for (const Row& row : rows) {
    ScriptedConsole console;
    console.interactive = row.interactive;
    console.answers = row.answers;
    JobConsoleMenuHost host(console);
    std::unique_ptr<JobHostMenu> top = host.CreatePopup();
    std::unique_ptr<JobHostMenu> sub = host.CreatePopup();
    ASSERT_TRUE(host.AppendItem(*sub, 21, "Inner", -1));
    ASSERT_TRUE(host.AppendItem(*top, 11, "One", -1));
    ASSERT_TRUE(host.AppendSubMenu(*top, *sub, "More", -1));
    ASSERT_TRUE(host.AppendSeparator(*top));
    ASSERT_TRUE(host.AppendItem(*top, 13, "Three", 5));
    EXPECT_EQ(host.Track(*top), row.chosen) << row.name;
    EXPECT_EQ(console.next, row.read) << row.name;
    if (row.interactive) {
      EXPECT_TRUE(Holds(console.output, "  1. One\n  2. More >\n    ----------\n  3. Three\n")) << console.output;
    } else {
      EXPECT_EQ(console.output, "") << row.name;
    }
  }
}

}  // namespace
}  // namespace JobLayer
