// Tessera's work for one start: choosing what to do, finding the window, applying data
// sections, performing the actions in their fixed order and writing the window list.
//
// Choice of work, first that applies: -l writes the window list; -m lets the user pick the
// window; without -n, -c and -f, -e applies the data sections to all windows, else -p
// opens the data profile, else "NoWindowIsSpecified"; otherwise the first matching window
// is taken ("NoWindowIsFound" when there is none). With -e the data sections are applied
// to the window, otherwise the actions.
//
// Matching: a window matches when every non-empty pattern list has a pattern that matches
// (title against -n, class against -c, executable path against -f; name patterns with
// case). Only visible windows are considered: the hidden helper windows every program has
// are never what the user means.
//
// Data sections (-e pattern): the sections named "Data:" and a name that the pattern
// matches (ASCII case ignored). Each takes the command-line options with its "TitleName",
// "ClassName" and "FileName" patterns and its "RectSpec" options added; without a given
// window it finds its own first window (none without any pattern), with one it applies
// when that window matches the section's own patterns. No data section at all:
// "NoWindowIsSpecified"; none named by the pattern: "NoDataSectionMatched"; none that found
// a window: "NoWindowIsFound"; one: its actions run; several: the user chooses in the
// selection menu. -d deletes the section that applied.
#pragma once

#include "raw/string.h"
#include "tool/desktop.h"
#include "tool/messages.h"
#include "tool/options.h"
#include "tool/section.h"
#include "tool/settings.h"

namespace ToolLayer {

inline constexpr char kWindowListName[] = "Tessera_WindowList.txt";

class ToolWork {
 public:
  ToolWork(ToolDesktop& desktop, const ToolSettings& settings, const ToolOptions& options)
      : desktop_(desktop), settings_(settings), options_(options) {}

  void Run();

  // The pieces, in the order Run uses them.
  ToolWindow FindFirstWindow(const ToolOptions& options);
  [[nodiscard]] bool Matches(const ToolOptions& options, ToolWindow window);
  // Applies the data sections to `given`, or lets each find its own window when it is 0.
  void ApplySections(ToolWindow given);
  // Fills `sections` with the applicable data sections; the message to give when none
  // applies comes back in `failure`.
  [[nodiscard]] bool CollectSections(ToolWindow given, JobSectionList& sections, ToolMessage& failure);
  // The actions of `options` on the window; `section` names the data section they came
  // from (the one -d deletes), empty without one.
  [[nodiscard]] bool ApplyActions(ToolWindow window, const ToolOptions& options, const RawString& section);
  // Restores a minimised or maximised window, then moves it by the geometry.
  [[nodiscard]] bool MoveWindow(ToolWindow window, const ToolGeometry& geometry);
  [[nodiscard]] bool StoreWindow(ToolWindow window, const ToolOptions& options);
  // Writes the window list file and opens it.
  [[nodiscard]] bool WriteWindowList();

  void Report(ToolMessage message);

 private:
  [[nodiscard]] bool RestoreIf(ToolWindow window, bool minimized, bool maximized);

  ToolDesktop& desktop_;
  const ToolSettings& settings_;
  const ToolOptions& options_;
};

}  // namespace ToolLayer
