// Script menus: Menu builds a pop-up menu from its block and runs the block of the item the user
// chooses; MenuItem and Separator add to the menu whose block is running; PickupMenu builds a
// menu from its parameters (each key a caption, choosing it sets "Pickup" to the value).
//
// Every run has one menu list. A Menu or PickupMenu command that already made a menu in this
// run (its parameter list shares the same body) reuses it instead of running its block again,
// so a menu inside a loop is built once. A menu is inserted as a sub-menu when its command runs
// inside another menu's block, and opened otherwise. The platform's menus are reached through
// the menu host (job/menu_host.h).
//
// Sound behaviour where a script could hurt the process: a menu is never inserted into itself
// or into a menu of its own block (a menu whose block is still running is not inserted when its
// command runs again inside that block), and a menu whose block failed is forgotten, so a later
// run of its command builds it afresh rather than reusing half a menu.
#pragma once

#include <cstdint>
#include <memory>

#include "job/command.h"
#include "job/menu_host.h"
#include "job/param.h"
#include "raw/list.h"
#include "raw/string.h"

namespace JobLayer {

// One entry made by a menu command: an item (kind 1) or a menu (kind 2).
class JobMenuUnit {
 public:
  static constexpr int32_t kItem = 1;
  static constexpr int32_t kMenu = 2;

  JobMenuUnit(int32_t unitKind, int32_t unitId, const JobParamList& unitParams, const RawString& unitCaption,
              int32_t unitIcon)
      : kind(unitKind), id(unitId), params(unitParams), caption(unitCaption), iconEntry(unitIcon) {}
  virtual ~JobMenuUnit() = default;
  JobMenuUnit(const JobMenuUnit&) = delete;
  JobMenuUnit& operator=(const JobMenuUnit&) = delete;

  // True when this unit was made by the command whose parameter list is `commandParams`.
  virtual bool Matches(const JobParamList& commandParams) const { return params.SharesBodyWith(commandParams); }

  int32_t kind;
  int32_t id;
  JobParamList params;  // a shared copy of the command's list: an item's block runs when it is chosen
  RawString caption;    // "Title", expanded
  int32_t iconEntry;    // icon-cache entry of "IconFile" and "IconIndex"; -1 without an icon file
};

class JobMenuItem : public JobMenuUnit {
 public:
  JobMenuItem(int32_t unitId, const JobParamList& unitParams, const RawString& unitCaption, int32_t unitIcon)
      : JobMenuUnit(kItem, unitId, unitParams, unitCaption, unitIcon) {}
};

class JobMenuSubMenu : public JobMenuUnit {
 public:
  JobMenuSubMenu(int32_t unitId, const JobParamList& unitParams, const RawString& unitCaption, int32_t unitIcon,
                 std::unique_ptr<JobHostMenu> hostMenu)
      : JobMenuUnit(kMenu, unitId, unitParams, unitCaption, unitIcon), menu(std::move(hostMenu)) {}

  std::unique_ptr<JobHostMenu> menu;  // the platform's pop-up menu
  int32_t entries = 0;                // entries inserted so far
  bool separatorAllowed = false;      // set by an item or sub-menu, cleared by a separator
  bool building = false;              // its block is running
};

// The menu of a PickupMenu command: built from a script made of the command's parameters, and
// matched by the command's own list.
class JobMenuPopupMenu : public JobMenuSubMenu {
 public:
  JobMenuPopupMenu(int32_t unitId, const JobParamList& script, const JobParamList& commandParams,
                   std::unique_ptr<JobHostMenu> hostMenu)
      : JobMenuSubMenu(unitId, script, RawString(), -1, std::move(hostMenu)), pickupParams(commandParams) {}

  bool Matches(const JobParamList& commandParams) const override {
    return pickupParams.SharesBodyWith(commandParams);
  }

  JobParamList pickupParams;
};

class JobMenuListAllocator : public RawLayer::RawListAllocator<std::unique_ptr<JobMenuUnit>> {};

// The menus and items of one run, in the order they were made.
class JobMenuList : public RawLayer::RawListR<JobMenuListAllocator, std::unique_ptr<JobMenuUnit>> {
 public:
  JobMenuList() = default;
  JobMenuList(const JobMenuList&) = delete;
  JobMenuList& operator=(const JobMenuList&) = delete;
  ~JobMenuList() override = default;

  // The next identifier: 1 for the first unit of the run.
  int32_t NextId() { return ++lastId_; }
  // The first menu made by the command whose parameter list is commandParams, or null.
  JobMenuSubMenu* FindMenu(const JobParamList& commandParams) const;
  // The item with that identifier, or null.
  const JobMenuItem* FindItem(int32_t id) const;
  // Forgets a unit (a menu's platform menu is freed with it).
  void Forget(const JobMenuUnit* unit);

  // The menu whose block is running; null outside every Menu block.
  JobMenuSubMenu* current = nullptr;

 private:
  int32_t lastId_ = 0;
};

// The menu list of the run on this thread for as long as the scope lives. A run opens one at
// its start; a menu command that finds none (a script run outside a run) opens one for itself.
class JobMenuRunScope {
 public:
  JobMenuRunScope();
  ~JobMenuRunScope();
  JobMenuRunScope(const JobMenuRunScope&) = delete;
  JobMenuRunScope& operator=(const JobMenuRunScope&) = delete;

  // The list of the innermost scope on this thread, or null.
  static JobMenuList* Current();

 private:
  JobMenuList list_;
  JobMenuList* previous_;
};

// Builds and shows a menu: "Title", "IconFile", "IconIndex" and the block of entries.
class JobCommandMenu : public JobCommandUnitEx {
 public:
  explicit JobCommandMenu(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// An entry of the enclosing menu; its block runs when it is chosen.
class JobCommandMenuItem : public JobCommandUnitEx {
 public:
  explicit JobCommandMenuItem(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// A line between entries of the enclosing menu; never first and never two in a row.
class JobCommandSeparator : public JobCommandUnitEx {
 public:
  explicit JobCommandSeparator(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Every key=value parameter is an entry captioned with the key; choosing it sets "Pickup" to
// the value. A parameter named "Separator" is a separator.
class JobCommandPickupMenu : public JobCommandUnitEx {
 public:
  explicit JobCommandPickupMenu(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;

  // The menu's script: a Separator command or a MenuItem with Title and a Define of Pickup per
  // parameter, in order.
  static JobParamList BuildScript(const JobParamList& params);
};

}  // namespace JobLayer
