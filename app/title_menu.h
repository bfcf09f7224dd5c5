// The launcher's own items in its window's title menu (the system menu): what they are, where
// help comes from, and what choosing them does, kept apart from the menu calls so that the
// choices can be checked on any platform.
//
// Help configuration, section [Manual] of the configuration file (keys ignore case):
//   Leafnote  extensions (no dot, comma-separated) of help files shown in the help viewer,
//             "Leafnote.exe" in the program folder; default "txt,md"
//   Manual    comma-separated file patterns, relative to the program folder;
//             default "ReadMe_*.txt,ReadMe_*.md,*.pdf"
// Only files count as help: an entry that matches a pattern but is a folder is left out.
#pragma once

#include <cstdint>

#include "raw/locale.h"
#include "raw/parameter_list.h"
#include "raw/rect.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace AppLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

// Command identifiers of the items (WM_SYSCOMMAND).
inline constexpr int kTitleReadMe = 0x100C;
inline constexpr int kTitleViewHelp = 0x100D;
inline constexpr int kTitleMoveToPrimaryScreen = 0x100E;
inline constexpr int kTitleOpenGuiProfile = 0x100F;
inline constexpr int kTitleSelectWindowFont = 0x1010;
inline constexpr int kTitleSelectMenuFont = 0x1011;
inline constexpr int kTitleSelectTipFont = 0x1012;
inline constexpr int kTitleOpenLogFolder = 0x1013;
inline constexpr int kTitleCheckProfile = 0x100B;
// Help file n of a help submenu is kTitleHelpFirst + n.
inline constexpr int kTitleHelpFirst = 0x1014;

// The message table's section of the captions.
inline constexpr char kTitleMenuSection[] = "TitleMenu";

// One item of the title menu. A separator has id 0; the version line has no key, so it is never
// translated.
struct GuiTitleMenuItem {
  int id;
  const char* key;
  const char* caption;  // the built-in caption
  bool IsSeparator() const { return id == 0; }
};

// The items in menu order, inserted from position 0 before the system's own.
inline constexpr GuiTitleMenuItem kTitleMenuItems[] = {
    {kTitleReadMe, "", "Version 1.36.2024.0503"},
    {0, "", ""},
    {kTitleViewHelp, "ViewHelp", "View help."},
    {kTitleMoveToPrimaryScreen, "MoveToPrimaryScreen", "Move to primary screen."},
    {0, "", ""},
    {kTitleOpenGuiProfile, "OpenGuiProfile", "Open gui profile."},
    {kTitleSelectWindowFont, "SelectWindowFont", "Select window font."},
    {kTitleSelectMenuFont, "SelectMenuFont", "Select menu font."},
    {kTitleSelectTipFont, "SelectTipFont", "Select tip font."},
    {kTitleOpenLogFolder, "OpenLogFolder", "Open log folder."},
    {kTitleCheckProfile, "CheckProfile", "Check profile."},
    {0, "", ""},
};

// Registers the captions as default texts of the message table (once per process).
void RegisterTitleMenuTexts();
// The caption of an item: the language file's text when it has one, else the built-in one.
RawString TitleMenuCaption(const GuiTitleMenuItem& item);

// Where help comes from.
struct GuiHelpSet {
  RawString programFolder;
  RawString readMePath;             // empty when there is no read-me
  RawStringList helpFiles;          // full paths, sorted ascending
  RawStringList viewerExtensions;   // without dots
};

// The read-me beside the program: "ReadMe_Kestrel_<language>.txt" when a language is named and
// that file exists, else "ReadMe_Kestrel.txt" when it exists, else empty.
RawString ChooseReadMe(const RawString& programFolder, const RawString& language);
// The texts between commas, blanks and tabs trimmed from each, empty ones left out.
RawStringList SplitCommaList(const RawString& text);
// The files matching the patterns, resolved against the program folder, pattern by pattern and
// then sorted ascending by code units.
RawStringList FindHelpFiles(const RawString& programFolder, const RawStringList& patterns);
// The whole help set from the program folder, the language name and the [Manual] section.
GuiHelpSet MakeHelpSet(const RawString& programFolder, const RawString& language, const RawParameterList& manual);

// The name of the help viewer in the program folder.
inline constexpr char kHelpViewerName[] = "Leafnote.exe";

// What opening one help file starts: `file` with `parameters` through the shell; an empty file
// starts nothing.
struct GuiHelpStart {
  RawString file;
  RawString parameters;
};
// A file whose extension is a viewer extension (ignoring ASCII case) goes to the viewer, quoted,
// when the viewer exists; everything else goes to the shell for its associated program.
GuiHelpStart PlanHelpStart(const GuiHelpSet& help, const RawString& path);
// Starts what PlanHelpStart chose, without waiting. The shell reports its own errors.
void OpenHelp(const GuiHelpSet& help, const RawString& path);

using RawLayer::RawRect;

// Where a window goes to be centred on the work area: its new left and top, never left of or
// above the work area (a window larger than the work area keeps its size and sits at the work
// area's top left corner).
void CenterOnWorkArea(const RawRect& work, const RawRect& window, int32_t& left, int32_t& top);

}  // namespace AppLayer
