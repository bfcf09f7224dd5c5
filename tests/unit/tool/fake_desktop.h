// A desktop of made-up windows for the work's tests: it answers from its window table and
// writes every change it is asked for into a log, in order.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tool/desktop.h"

namespace ToolTest {

using RawLayer::RawString;
using ToolLayer::GuiPoint;
using RawLayer::RawRect;
using ToolLayer::JobSectionList;
using ToolLayer::JobSectionUnit;
using ToolLayer::ToolShowState;
using ToolLayer::ToolWindow;

struct FakeWindow {
  ToolWindow id = 0;
  std::string title;
  std::string className;
  std::string file;
  RawRect rect;
  ToolShowState state = ToolShowState::Normal;
  RawRect restored;  // where a minimised or maximised window returns to
  bool processOpens = true;
  bool visible = true;
};

class FakeDesktop : public ToolLayer::ToolDesktop {
 public:
  std::vector<FakeWindow> windows;  // z-order, topmost first
  std::vector<std::string> log;
  int fileQueries = 0;
  // The selections' answers.
  ToolWindow picked = 0;
  bool drawn = false;
  GuiPoint drawStart;
  GuiPoint drawEnd;
  int chooseIndex = -1;  // -1 cancels
  std::vector<std::string> offered;  // "name window l t r b" of each menu entry

  FakeWindow& Add(ToolWindow id, const std::string& title, const std::string& className, const std::string& file,
                  RawRect rect) {
    windows.push_back({id, title, className, file, rect, ToolShowState::Normal, rect, true, true});
    return windows.back();
  }
  FakeWindow* Find(ToolWindow id) {
    for (FakeWindow& window : windows) {
      if (window.id == id) return &window;
    }
    return nullptr;
  }
  // Closes a window behind the work's back.
  void Remove(ToolWindow id) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
      if (it->id == id) {
        windows.erase(it);
        return;
      }
    }
  }

  std::vector<ToolWindow> TopLevelWindows(bool hiddenToo) override {
    std::vector<ToolWindow> ids;
    for (const FakeWindow& window : windows) {
      if (window.visible || hiddenToo) ids.push_back(window.id);
    }
    return ids;
  }
  RawString WindowTitle(ToolWindow id) override { return Text(id, &FakeWindow::title); }
  RawString WindowClass(ToolWindow id) override { return Text(id, &FakeWindow::className); }
  RawString WindowFile(ToolWindow id) override {
    ++fileQueries;
    return Text(id, &FakeWindow::file);
  }
  ToolShowState ShowState(ToolWindow id) override {
    FakeWindow* window = Find(id);
    return window ? window->state : ToolShowState::Gone;
  }
  bool WindowRect(ToolWindow id, RawRect& rect) override {
    FakeWindow* window = Find(id);
    if (!window) return false;
    rect = window->rect;
    return true;
  }
  bool RestoredRect(ToolWindow id, RawRect& rect) override {
    FakeWindow* window = Find(id);
    if (!window) return false;
    rect = window->state == ToolShowState::Normal ? window->rect : window->restored;
    return true;
  }
  bool Minimize(ToolWindow id) override {
    Note("minimize", id);
    FakeWindow* window = Find(id);
    if (!window) return false;
    if (window->state == ToolShowState::Normal) window->restored = window->rect;
    window->state = ToolShowState::Minimized;
    window->rect = {-32000, -32000, -31840, -31973};
    return true;
  }
  bool Restore(ToolWindow id) override {
    Note("restore", id);
    FakeWindow* window = Find(id);
    if (!window) return false;
    if (window->state != ToolShowState::Normal) window->rect = window->restored;
    window->state = ToolShowState::Normal;
    return true;
  }
  bool Move(ToolWindow id, const RawRect& rect) override {
    std::ostringstream line;
    line << "move " << id << " " << rect.left << " " << rect.top << " " << rect.right << " " << rect.bottom;
    log.push_back(line.str());
    FakeWindow* window = Find(id);
    if (!window) return false;
    window->rect = rect;
    return true;
  }
  bool SetTopmost(ToolWindow id, bool topmost) override {
    Note(topmost ? "topmost" : "not-topmost", id);
    return Find(id) != nullptr;
  }
  bool PostClose(ToolWindow id) override {
    Note("close", id);
    return Find(id) != nullptr;
  }
  bool TerminateOwner(ToolWindow id) override {
    Note("terminate", id);
    FakeWindow* window = Find(id);
    return window != nullptr && window->processOpens;
  }
  bool Flash(ToolWindow id) override {
    Note("flash", id);
    return Find(id) != nullptr;
  }
  bool OpenDocument(const RawString& path) override {
    log.push_back("open " + path.ToUtf8());
    return true;
  }
  void ShowMessage(const RawString& text, bool warning) override {
    log.push_back(std::string(warning ? "warning " : "info ") + text.ToUtf8());
  }
  ToolWindow PickWindow(const ToolLayer::GuiSelectorSettings&) override {
    log.push_back("pick");
    return picked;
  }
  bool DrawRect(const ToolLayer::GuiSelectorSettings&, GuiPoint& start, GuiPoint& end) override {
    log.push_back("draw");
    if (!drawn) return false;
    start = drawStart;
    end = drawEnd;
    return true;
  }
  const JobSectionUnit* ChooseSection(const ToolLayer::GuiSelectorSettings&, const JobSectionList& sections) override {
    log.push_back("menu");
    const JobSectionUnit* chosen = nullptr;
    int index = 0;
    for (const JobSectionUnit& unit : sections) {
      std::ostringstream entry;
      entry << unit.name.ToUtf8() << " " << unit.window << " " << unit.rect.left << " " << unit.rect.top << " "
            << unit.rect.right << " " << unit.rect.bottom;
      offered.push_back(entry.str());
      if (index++ == chooseIndex) chosen = &unit;
    }
    return chosen;
  }

 private:
  RawString Text(ToolWindow id, std::string FakeWindow::*field) {
    FakeWindow* window = Find(id);
    return window ? RawString::FromUtf8(window->*field) : RawString();
  }
  void Note(const char* what, ToolWindow id) { log.push_back(std::string(what) + " " + std::to_string(id)); }
};

// A folder of its own for each test, under the build's scratch folder.
inline std::filesystem::path TestFolder(const std::string& group) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const std::filesystem::path folder = std::filesystem::path(KESTREL_TEST_TMP_DIR) / group / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace ToolTest
