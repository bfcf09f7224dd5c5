// Script menus (Windows only): real pop-up menus whose entries are owner-drawn with their icon from
// the icon cache and their caption in the menu font, separators drawn as lines. A menu opens at
// the run's anchor (the button or selector line that started the run, else at the cursor) over
// the main window; before the main window exists (a command-line run) over a hidden window of
// the host's own, which draws the entries itself. Installed once at start-up with
// JobLayer::SetMenuHost.
#pragma once

#include <windows.h>

#include "job/menu_host.h"

namespace WinLayer {
class WinViewHook;
}

namespace AppLayer {

// The process-wide Windows host (Windows only).
JobLayer::JobMenuHost& GuiScriptMenuHost();

// The platform menu of a menu this host made.
HMENU ScriptMenuHandle(JobLayer::JobHostMenu& menu);

// The owner window's share of the drawing: WM_MEASUREITEM and WM_DRAWITEM of CtlType ODT_MENU.
// False for an entry that is not a script menu's, which is left to its own owner.
bool MeasureScriptMenuItem(MEASUREITEMSTRUCT& item);
bool DrawScriptMenuItem(DRAWITEMSTRUCT& item);
// The same two calls as a hook to attach to a view that owns menus.
WinLayer::WinViewHook& ScriptMenuDrawingHook();

// Repaints the script menu this process has open, if any (a pop-up menu window of class
// "#32768"), so that icons that finished loading show.
void RepaintOpenScriptMenu();

}  // namespace AppLayer
