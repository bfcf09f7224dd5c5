#include "tool/work.h"

#include "raw/clipboard.h"
#include "raw/line_file.h"
#include "raw/name_pattern.h"
#include "raw/parameter_list.h"
#include "tool/data_profile.h"

namespace ToolLayer {

using RawLayer::CodeUtf8;
using RawLayer::RawLineFile;
using RawLayer::RawParameterUnit;

namespace {

bool AnyMatches(const RawStringList& patterns, const RawString& text) {
  for (const RawString& pattern : patterns) {
    if (RawLayer::MatchNamePattern(pattern, text, false)) return true;
  }
  return false;
}

// Adds a data section's keys to `options`: its patterns, and the options of its
// "RectSpec" when `withSpec` is set.
void AddSectionKeys(const RawParameterList& entries, bool withSpec, ToolOptions& options) {
  for (const RawParameterUnit& unit : entries) {
    if (unit.value.IsEmpty()) continue;
    RawStringList* list = nullptr;
    if (unit.key.EqualNoCase(RawLayer::kWhole, "TitleName")) list = &options.names;
    if (unit.key.EqualNoCase(RawLayer::kWhole, "ClassName")) list = &options.classes;
    if (unit.key.EqualNoCase(RawLayer::kWhole, "FileName")) list = &options.files;
    if (list != nullptr) {
      list->Add(unit.value);
      options.flags |= FlagWindowGiven;
    } else if (withSpec && unit.key.EqualNoCase(RawLayer::kWhole, "RectSpec")) {
      RawParameterList spec;
      ReadOptionText(unit.value, spec);
      ApplyOptions(spec, options);
    }
  }
}

}  // namespace

void ToolWork::Report(ToolMessage message) {
  if (options_.Has(FlagQuiet)) return;
  desktop_.ShowMessage(ToolMessageText(message), true);
}

void ToolWork::Run() {
  if (options_.Has(FlagWindowList)) {
    (void)WriteWindowList();
    return;
  }
  ToolWindow window = 0;
  if (options_.Has(FlagPickWindow)) {
    window = desktop_.PickWindow(settings_.selector);
    // A cancelled pick, or one on the desktop, ends quietly.
    if (window == 0) return;
  } else if (!options_.HasPatterns()) {
    if (options_.Has(FlagSections)) {
      ApplySections(0);
    } else if (options_.Has(FlagOpenProfile)) {
      (void)desktop_.OpenDocument(settings_.dataProfile);
    } else {
      Report(ToolMessage::NoWindowIsSpecified);
    }
    return;
  } else {
    window = FindFirstWindow(options_);
    if (window == 0) {
      Report(ToolMessage::NoWindowIsFound);
      return;
    }
  }
  if (options_.Has(FlagSections)) {
    ApplySections(window);
  } else {
    (void)ApplyActions(window, options_, RawString());
  }
}

bool ToolWork::Matches(const ToolOptions& options, ToolWindow window) {
  if (!options.names.IsEmpty() && !AnyMatches(options.names, desktop_.WindowTitle(window))) return false;
  if (!options.classes.IsEmpty() && !AnyMatches(options.classes, desktop_.WindowClass(window))) return false;
  // The executable's path is the dearest to learn: asked for last and only when needed.
  if (!options.files.IsEmpty() && !AnyMatches(options.files, desktop_.WindowFile(window))) return false;
  return true;
}

ToolWindow ToolWork::FindFirstWindow(const ToolOptions& options) {
  if (!options.HasPatterns()) return 0;
  // Moves act on visible windows only (a hidden helper window moved would surprise); a restore
  // may look for a hidden one, so that it can be brought back.
  for (ToolWindow window : desktop_.TopLevelWindows(options.Has(FlagRestore))) {
    if (Matches(options, window)) return window;
  }
  return 0;
}

bool ToolWork::CollectSections(ToolWindow given, JobSectionList& sections, ToolMessage& failure) {
  ToolDataSectionList all;
  (void)ToolDataProfile(settings_.dataProfile).ReadSections(all);
  bool anyData = false;
  bool anyNamed = false;
  for (const ToolDataSection& section : all) {
    RawString name;
    if (!DataSectionName(section.name, name)) continue;
    anyData = true;
    if (!RawLayer::MatchNamePattern(options_.section, name, true)) continue;
    anyNamed = true;
    ToolOptions options = options_.Clone();
    AddSectionKeys(section.entries, true, options);
    ToolWindow window = given;
    if (given != 0) {
      // The given window already passed the command line's patterns; the section's own
      // decide (a section without patterns takes any window).
      ToolOptions own;
      AddSectionKeys(section.entries, false, own);
      if (!Matches(own, given)) continue;
    } else {
      window = FindFirstWindow(options);
      if (window == 0) continue;
    }
    RawRect rect;
    // A window that closed meanwhile does not apply.
    if (!desktop_.WindowRect(window, rect)) continue;
    JobSectionUnit& unit = sections.Add();
    unit.name = section.name;
    unit.entries = section.entries;
    unit.window = window;
    unit.rect = ApplyGeometry(options.geometry, rect);
    unit.options = options;
  }
  if (!sections.IsEmpty()) return true;
  failure = !anyData ? ToolMessage::NoWindowIsSpecified
                     : !anyNamed ? ToolMessage::NoDataSectionMatched : ToolMessage::NoWindowIsFound;
  return false;
}

void ToolWork::ApplySections(ToolWindow given) {
  JobSectionList sections;
  ToolMessage failure = ToolMessage::NoWindowIsFound;
  if (!CollectSections(given, sections, failure)) {
    Report(failure);
    return;
  }
  const JobSectionUnit* chosen = sections.First();
  if (sections.Count() > 1) {
    chosen = desktop_.ChooseSection(settings_.selector, sections);
    if (chosen == nullptr) return;
  }
  (void)ApplyActions(chosen->window, chosen->options, chosen->name);
}

bool ToolWork::RestoreIf(ToolWindow window, bool minimized, bool maximized) {
  const ToolShowState state = desktop_.ShowState(window);
  if ((minimized && state == ToolShowState::Minimized) || (maximized && state == ToolShowState::Maximized)) {
    return desktop_.Restore(window);
  }
  return state != ToolShowState::Gone;
}

bool ToolWork::MoveWindow(ToolWindow window, const ToolGeometry& geometry) {
  if (!geometry.Any()) return true;
  if (!RestoreIf(window, true, true)) return false;
  RawRect rect;
  if (!desktop_.WindowRect(window, rect)) return false;
  return desktop_.Move(window, ApplyGeometry(geometry, rect));
}

bool ToolWork::StoreWindow(ToolWindow window, const ToolOptions& options) {
  const RawString title = desktop_.WindowTitle(window);
  const RawString className = desktop_.WindowClass(window);
  RawRect rect;
  // A minimised or maximised window is stored with the place it returns to.
  if (!desktop_.RestoredRect(window, rect)) return false;
  RawString name(kDataPrefix);
  name.Append(options.Has(FlagStoreByClass) ? className : title);
  const ToolDataProfile profile(settings_.dataProfile);
  if (options.Has(FlagStoreNumbered)) name = NextFreeSectionName(name, profile.SectionNames());
  const bool full = options.Has(FlagStoreFull);
  RawParameterList entries;
  if (full) entries.AddEntry("TitleName", title);
  entries.AddEntry("ClassName", className);
  if (full) entries.AddEntry("FileName", desktop_.WindowFile(window));
  entries.AddEntry("RectSpec", RectSpecText(rect));
  return profile.StoreSection(name, entries);
}

bool ToolWork::ApplyActions(ToolWindow window, const ToolOptions& options, const RawString& section) {
  bool ok = true;
  if (options.Has(FlagDelete)) {
    ok = !section.IsEmpty() && ToolDataProfile(settings_.dataProfile).DeleteSection(section);
  } else if (options.Has(FlagPickRect)) {
    GuiPoint start;
    GuiPoint end;
    // A cancelled drawing skips only the move: the later actions still apply.
    ToolGeometry geometry = options.geometry;
    if (desktop_.DrawRect(settings_.selector, start, end) &&
        ApplyDrawnPlacement(PlaceDrawnRect(start, end, settings_.selector.frameWiden), geometry)) {
      ok = MoveWindow(window, geometry);
    }
  } else if (options.geometry.Any()) {
    ok = MoveWindow(window, options.geometry);
  }
  if (options.Has(FlagMinimize)) ok = desktop_.Minimize(window);
  if (options.Has(FlagRestore)) ok = desktop_.Restore(window);
  if (options.Has(FlagToTop)) {
    (void)RestoreIf(window, true, false);
    (void)desktop_.SetTopmost(window, true);
    ok = desktop_.SetTopmost(window, false);
  }
  if (options.Has(FlagTopmost)) {
    (void)RestoreIf(window, true, false);
    ok = desktop_.SetTopmost(window, true);
  }
  if (options.Has(FlagNotTopmost)) ok = desktop_.SetTopmost(window, false);
  if (options.Has(FlagStore)) ok = StoreWindow(window, options);
  // Closing and terminating end the window: nothing after them can apply.
  if (options.Has(FlagClose)) return desktop_.PostClose(window);
  if (options.Has(FlagTerminate)) return desktop_.TerminateOwner(window);
  if (options.Has(FlagFlash)) ok = desktop_.Flash(window);
  if (options.Has(FlagCopyRect)) {
    RawRect rect;
    ok = RestoreIf(window, true, true) && desktop_.WindowRect(window, rect) &&
         RawLayer::SetClipboardText(RectSpecText(rect));
  }
  if (options.Has(FlagOpenProfile)) ok = desktop_.OpenDocument(settings_.dataProfile);
  return ok;
}

bool ToolWork::WriteWindowList() {
  RawString path(CodeUtf8, settings_.tempFolder);
  path.Append(kWindowListName);
  RawLineFile file(path);
  file.SetTextCode(CodeUtf8);
  // The mark tells any editor that the titles are UTF-8.
  file.SetFlags(RawLayer::RawLineFileInfo::FlagWriteMark);
  if (!file.OpenWrite()) {
    Report(ToolMessage::CannotOpenTemp);
    return false;
  }
  bool ok = true;
  // Hidden windows are listed too: the list is where a user finds the one to bring back.
  for (ToolWindow window : desktop_.TopLevelWindows(true)) {
    const RawString title = desktop_.WindowTitle(window);
    const RawString className = desktop_.WindowClass(window);
    if (title.IsEmpty() || className.IsEmpty()) continue;
    const RawString executable = desktop_.WindowFile(window);
    if (executable.IsEmpty()) continue;
    RawString spec;
    switch (desktop_.ShowState(window)) {
      case ToolShowState::Minimized:
        spec = "Iconic";
        break;
      case ToolShowState::Maximized:
        spec = "Zoomed";
        break;
      case ToolShowState::Normal: {
        RawRect rect;
        if (!desktop_.WindowRect(window, rect)) continue;
        spec = RectSpecText(rect);
        break;
      }
      case ToolShowState::Gone:
        continue;
    }
    RawString line("Name=[");
    line.AppendAll(title, "] Class=[", className, "] File=[", executable);
    line.AppendAll("] Rectangle=[", spec, "]");
    ok = ok && file.WriteLine(line);
  }
  if (!file.Close() || !ok) {
    Report(ToolMessage::CannotOpenTemp);
    return false;
  }
  return desktop_.OpenDocument(path);
}

}  // namespace ToolLayer
