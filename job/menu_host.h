// What the menu commands need of a screen: pop-up menus of captioned entries with icons,
// sub-menus and separators, opened at the run's anchor until the user chooses an entry or
// closes the menu. The engine reaches them through one interface so that it never includes the
// widget toolkit: the launcher installs its Windows host; without one (the headless build,
// tests) the console host is used, which numbers the entries on a terminal and reads the
// choice, and which counts every menu as closed when no terminal is attached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

// One platform pop-up menu. Destroying it frees the menu itself but never the menus inserted
// into it as sub-menus: every menu has exactly one owner, the run's menu list.
class JobHostMenu {
 public:
  virtual ~JobHostMenu() = default;
};

class JobMenuHost {
 public:
  // What Track gives when the menu was closed without a choice. Item identifiers are positive.
  static constexpr int32_t kNoChoice = 0;

  virtual ~JobMenuHost() = default;
  // A new, empty pop-up menu; null when the platform refuses one.
  virtual std::unique_ptr<JobHostMenu> CreatePopup() = 0;
  // Entries are appended at the end. iconEntry is an icon-cache entry number, -1 for none.
  [[nodiscard]] virtual bool AppendItem(JobHostMenu& menu, int32_t id, const RawString& caption,
                                        int32_t iconEntry) = 0;
  // sub must outlive menu's use; it may be inserted into several menus.
  [[nodiscard]] virtual bool AppendSubMenu(JobHostMenu& menu, JobHostMenu& sub, const RawString& caption,
                                           int32_t iconEntry) = 0;
  [[nodiscard]] virtual bool AppendSeparator(JobHostMenu& menu) = 0;
  // Opens the menu and waits: the chosen item's identifier, or kNoChoice.
  virtual int32_t Track(JobHostMenu& menu) = 0;
};

// The terminal the console host talks to.
class JobMenuConsole {
 public:
  virtual ~JobMenuConsole() = default;
  // True when a user can answer: input and output are a terminal.
  virtual bool Interactive() = 0;
  // One line without its line break; false at the end of the input.
  virtual bool ReadLine(std::string& line) = 0;
  virtual void Write(const std::string& text) = 0;
};

// The process's terminal (standard input and standard error).
JobMenuConsole& SystemMenuConsole();

// Menus on a terminal: each level is printed with its entries numbered from 1 (separators as a
// line, sub-menus marked with ">"); a number chooses an item or opens a sub-menu, 0 or an empty
// line goes back a level (closing the menu at the top), the end of input closes every level.
class JobConsoleMenuHost : public JobMenuHost {
 public:
  explicit JobConsoleMenuHost(JobMenuConsole& console) : console_(console) {}

  std::unique_ptr<JobHostMenu> CreatePopup() override;
  bool AppendItem(JobHostMenu& menu, int32_t id, const RawString& caption, int32_t iconEntry) override;
  bool AppendSubMenu(JobHostMenu& menu, JobHostMenu& sub, const RawString& caption, int32_t iconEntry) override;
  bool AppendSeparator(JobHostMenu& menu) override;
  int32_t Track(JobHostMenu& menu) override;

 private:
  JobMenuConsole& console_;
};

// The host in use: the one installed last, else the console host on the process's terminal.
JobMenuHost& MenuHost();
// Installs a host for the rest of the process (not owned; nullptr goes back to the console).
void SetMenuHost(JobMenuHost* host);

}  // namespace JobLayer
