#include "job/command_menu.h"

#include <optional>

#include "job/error.h"
#include "job/icon_cache.h"

namespace JobLayer {

namespace {

thread_local JobMenuList* t_runMenus = nullptr;

// The caption and icon of a menu or item; false when an expansion failed (it has reported).
bool ReadLook(const JobParamList& params, const JobTraceId& caller, RawString& caption, int32_t& iconEntry) {
  iconEntry = -1;
  if (!ExpandParameter(params, "Title", caller, caption)) return false;
  RawString file;
  if (!ExpandParameter(params, "IconFile", caller, file)) return false;
  if (file.IsEmpty()) return true;
  RawString indexText;
  if (!ExpandParameter(params, "IconIndex", caller, indexText)) return false;
  iconEntry = JobIconControl::Instance().GetEntry(file, ParseIconIndex(indexText));
  return true;
}

// The menu whose block is running, or null after reporting that the command is out of scope.
JobMenuSubMenu* EnclosingMenu(const char* command) {
  JobMenuList* list = JobMenuRunScope::Current();
  if (list == nullptr || list->current == nullptr) {
    ReportCommandError("OutOfMenuScope", RawString::FromUtf8(command), RawString(), RawString());
    return nullptr;
  }
  return list->current;
}

bool InsertSubMenu(JobMenuSubMenu& parent, JobMenuSubMenu& sub) {
  if (!MenuHost().AppendSubMenu(*parent.menu, *sub.menu, sub.caption, sub.iconEntry)) return false;
  ++parent.entries;
  parent.separatorAllowed = true;
  return true;
}

// Opens a finished menu; runs the chosen item's block, fails when nothing was chosen.
bool ShowMenu(JobCommandList& owner, const JobMenuList& list, JobMenuSubMenu& menu, const JobTraceId& caller) {
  JobIconControl& icons = JobIconControl::Instance();
  // The open menu is repainted when the icons still loading are done.
  if (icons.WorkPending()) icons.AddNotification(IconNotifyMenu);
  const int32_t chosen = MenuHost().Track(*menu.menu);
  if (chosen == JobMenuHost::kNoChoice) return false;
  const JobMenuItem* item = list.FindItem(chosen);
  if (item == nullptr) return false;
  // A copy of its own: the block may make or forget menus of the list while it runs.
  const JobParamList block = item->params;
  return owner.Execute(block, caller);
}

// Menu and PickupMenu: reuse the menu this command made earlier in the run, or build it from
// `script` (made on demand, only when the menu is new); then insert it into the enclosing menu
// or show it.
template <class MakeScript>
bool RunMenu(JobCommandList& owner, const JobParamList& commandParams, bool pickup, MakeScript makeScript,
             const JobTraceId& caller) {
  std::optional<JobMenuRunScope> ownScope;
  if (JobMenuRunScope::Current() == nullptr) ownScope.emplace();
  JobMenuList& list = *JobMenuRunScope::Current();
  JobMenuSubMenu* enclosing = list.current;

  if (JobMenuSubMenu* found = list.FindMenu(commandParams)) {
    if (enclosing == nullptr) return ShowMenu(owner, list, *found, caller);
    // Still building means this command runs inside its own block: inserting the menu there
    // would make a menu that contains itself.
    if (found->building) return true;
    return InsertSubMenu(*enclosing, *found);
  }

  RawString caption;
  int32_t iconEntry = -1;
  if (!pickup && !ReadLook(commandParams, caller, caption, iconEntry)) return false;
  std::unique_ptr<JobHostMenu> hostMenu = MenuHost().CreatePopup();
  if (!hostMenu) return false;
  const int32_t id = list.NextId();
  std::unique_ptr<JobMenuSubMenu> made;
  if (pickup) {
    made = std::make_unique<JobMenuPopupMenu>(id, makeScript(), commandParams, std::move(hostMenu));
  } else {
    made = std::make_unique<JobMenuSubMenu>(id, commandParams, caption, iconEntry, std::move(hostMenu));
  }
  JobMenuSubMenu& menu = *made;
  list.Add(std::move(made));

  menu.building = true;
  list.current = &menu;
  const bool built = owner.Execute(menu.params, caller);
  list.current = enclosing;
  menu.building = false;
  if (!built) {
    list.Forget(&menu);
    return false;
  }
  if (enclosing != nullptr) return InsertSubMenu(*enclosing, menu);
  return ShowMenu(owner, list, menu, caller);
}

}  // namespace

// ---- the menu list ----

JobMenuSubMenu* JobMenuList::FindMenu(const JobParamList& commandParams) const {
  for (const std::unique_ptr<JobMenuUnit>& unit : *this) {
    if (unit->kind == JobMenuUnit::kMenu && unit->Matches(commandParams)) {
      return static_cast<JobMenuSubMenu*>(unit.get());
    }
  }
  return nullptr;
}

const JobMenuItem* JobMenuList::FindItem(int32_t id) const {
  for (const std::unique_ptr<JobMenuUnit>& unit : *this) {
    if (unit->kind == JobMenuUnit::kItem && unit->id == id) return static_cast<const JobMenuItem*>(unit.get());
  }
  return nullptr;
}

void JobMenuList::Forget(const JobMenuUnit* unit) {
  for (Iterator it = begin(); it != end(); ++it) {
    if (it->get() == unit) {
      Remove(it);
      return;
    }
  }
}

JobMenuRunScope::JobMenuRunScope() : previous_(t_runMenus) { t_runMenus = &list_; }

JobMenuRunScope::~JobMenuRunScope() { t_runMenus = previous_; }

JobMenuList* JobMenuRunScope::Current() { return t_runMenus; }

// ---- the commands ----

JobCommandMenu::JobCommandMenu(JobCommandList& list) : JobCommandUnitEx("Menu", list) {}

bool JobCommandMenu::Execute(const JobParamList& params, const JobTraceId& caller) {
  return RunMenu(*owner, params, false, [] { return JobParamList(); }, caller);
}

JobCommandMenuItem::JobCommandMenuItem(JobCommandList& list) : JobCommandUnitEx("MenuItem", list) {}

bool JobCommandMenuItem::Execute(const JobParamList& params, const JobTraceId& caller) {
  JobMenuSubMenu* menu = EnclosingMenu("MenuItem");
  if (menu == nullptr) return false;
  RawString caption;
  int32_t iconEntry = -1;
  if (!ReadLook(params, caller, caption, iconEntry)) return false;
  JobMenuList& list = *JobMenuRunScope::Current();
  const int32_t id = list.NextId();
  list.Add(std::make_unique<JobMenuItem>(id, params, caption, iconEntry));
  if (!MenuHost().AppendItem(*menu->menu, id, caption, iconEntry)) return false;
  ++menu->entries;
  menu->separatorAllowed = true;
  return true;
}

JobCommandSeparator::JobCommandSeparator(JobCommandList& list) : JobCommandUnitEx("Separator", list) {}

bool JobCommandSeparator::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)params;
  (void)caller;
  JobMenuSubMenu* menu = EnclosingMenu("Separator");
  if (menu == nullptr) return false;
  if (!menu->separatorAllowed) return true;
  if (!MenuHost().AppendSeparator(*menu->menu)) return false;
  ++menu->entries;
  menu->separatorAllowed = false;
  return true;
}

JobCommandPickupMenu::JobCommandPickupMenu(JobCommandList& list) : JobCommandUnitEx("PickupMenu", list) {}

bool JobCommandPickupMenu::Execute(const JobParamList& params, const JobTraceId& caller) {
  return RunMenu(*owner, params, true, [&params] { return BuildScript(params); }, caller);
}

JobParamList JobCommandPickupMenu::BuildScript(const JobParamList& params) {
  static const RawString kSeparator("Separator");
  JobParamList script;
  for (const JobParamUnit& unit : params) {
    if (unit.name == kSeparator) {
      script.AddCommand(kSeparator);
      continue;
    }
    if (unit.Kind() != JobParamUnit::kText) continue;
    JobParamList define;
    define.AddText("Pickup", static_cast<const JobParamText&>(unit).value);
    JobParamList item;
    item.AddText("Title", unit.name);
    item.AddCommand("Define", define);
    script.AddCommand("MenuItem", item);
  }
  return script;
}

}  // namespace JobLayer
