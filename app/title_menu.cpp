#include "app/title_menu.h"

#include "raw/file.h"
#include "raw/folder.h"
#include "raw/path.h"
#include "raw/shell.h"

namespace AppLayer {

using RawLayer::RawLocaleRecord;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawPathKind;

namespace {

constexpr RawLocaleRecord kTitleMenuTexts[] = {
    {"ViewHelp", "View help."},
    {"MoveToPrimaryScreen", "Move to primary screen."},
    {"OpenGuiProfile", "Open gui profile."},
    {"SelectWindowFont", "Select window font."},
    {"SelectMenuFont", "Select menu font."},
    {"SelectTipFont", "Select tip font."},
    {"OpenLogFolder", "Open log folder."},
    {"CheckProfile", "Check profile."},
    {"", ""},
};

bool IsFile(const RawString& path) { return RawLayer::PathKind(path) == RawPathKind::File; }

RawString Joined(const RawString& folder, const RawString& name) { return RawLayer::ResolvePath(name, folder); }

}  // namespace

void RegisterTitleMenuTexts() { RawLocaleRecordList::Instance().Register(kTitleMenuSection, kTitleMenuTexts); }

RawString TitleMenuCaption(const GuiTitleMenuItem& item) {
  const RawString caption = RawString::FromUtf8(item.caption);
  if (item.key[0] == '\0') return caption;
  return RawLocaleRecordList::Instance().Text(kTitleMenuSection, RawString::FromUtf8(item.key), caption);
}

RawString ChooseReadMe(const RawString& programFolder, const RawString& language) {
  if (!language.IsEmpty()) {
    RawString name = "ReadMe_Kestrel_";
    name.Append(language.Convert(RawLayer::CodeUtf8));
    name.Append(".txt");
    RawString translated = Joined(programFolder, name);
    if (IsFile(translated)) return translated;
  }
  RawString plain = Joined(programFolder, "ReadMe_Kestrel.txt");
  if (IsFile(plain)) return plain;
  return RawString();
}

RawStringList SplitCommaList(const RawString& text) {
  RawStringList items;
  const int32_t length = text.Length();
  for (int32_t begin = 0; begin <= length;) {
    int32_t comma = text.Find(',', {begin, length});
    RawLayer::RawRange item = text.Trim({begin, comma}, RawLayer::kBlanks);
    if (item.end > item.begin) items.Add(text.Sub(item));
    begin = comma + 1;
  }
  return items;
}

RawStringList FindHelpFiles(const RawString& programFolder, const RawStringList& patterns) {
  RawStringList files;
  for (const RawString& pattern : patterns) {
    RawLayer::RawFolderWalker walker(Joined(programFolder, pattern));
    while (walker.Next()) {
      // A folder that happens to match ("*.pdf" naming a folder) is no help file.
      if (!walker.Entry().IsFolder()) files.Add(walker.Entry().fullPath);
    }
  }
  files.Sort(false);
  return files;
}

GuiHelpSet MakeHelpSet(const RawString& programFolder, const RawString& language, const RawParameterList& manual) {
  GuiHelpSet help;
  help.programFolder = programFolder;
  help.readMePath = ChooseReadMe(programFolder, language);
  help.viewerExtensions = SplitCommaList(manual.GetValue("Leafnote", "txt,md"));
  help.helpFiles = FindHelpFiles(programFolder, SplitCommaList(manual.GetValue("Manual", "ReadMe_*.txt,ReadMe_*.md,*.pdf")));
  return help;
}

GuiHelpStart PlanHelpStart(const GuiHelpSet& help, const RawString& path) {
  GuiHelpStart start;
  if (path.IsEmpty()) return start;
  start.file = path;
  const int32_t dot = path.FindExtension();
  if (dot >= path.Length()) return start;
  const RawString extension = path.Sub({dot + 1, path.Length()});
  if (help.viewerExtensions.Find(extension) == nullptr) return start;
  const RawString viewer = Joined(help.programFolder, kHelpViewerName);
  if (!IsFile(viewer)) return start;
  start.file = viewer;
  start.parameters = "\"";
  start.parameters.Append(path.Convert(RawLayer::CodeUtf8));
  start.parameters.Append("\"");
  return start;
}

void OpenHelp(const GuiHelpSet& help, const RawString& path) {
  const GuiHelpStart start = PlanHelpStart(help, path);
  if (start.file.IsEmpty()) return;
  RawLayer::RawShell shell(start.file);
  (void)shell.Execute(start.parameters, RawString());
}

void CenterOnWorkArea(const RawRect& work, const RawRect& window, int32_t& left, int32_t& top) {
  // In 64 bits: a window far off screen may have edges whose differences overflow 32 bits.
  const int64_t workWidth = static_cast<int64_t>(work.right) - work.left;
  const int64_t workHeight = static_cast<int64_t>(work.bottom) - work.top;
  const int64_t width = static_cast<int64_t>(window.right) - window.left;
  const int64_t height = static_cast<int64_t>(window.bottom) - window.top;
  const int64_t x = work.left + (workWidth - width) / 2;
  const int64_t y = work.top + (workHeight - height) / 2;
  left = static_cast<int32_t>(x < work.left ? work.left : x);
  top = static_cast<int32_t>(y < work.top ? work.top : y);
}

}  // namespace AppLayer
