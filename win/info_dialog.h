// The information dialog: an icon, a message and a row of buttons (OK, or one per caption)
// under a title, shown modally. It is a real dialog (class "#32770") whose message is the static
// control 0xFFFF, as in the system's message boxes, so tools that read message boxes read it too.
#pragma once

#include <vector>

#include "raw/rect.h"
#include "raw/string.h"

namespace WinLayer {

using RawLayer::RawString;

class WinInfoDialog {
 public:
  static constexpr int kQuestionIcon = 32514;  // the system's question icon
  static constexpr int kWarningIcon = 32515;   // the system's warning icon
  static constexpr int kTextId = 0xFFFF;
  static constexpr int kIconId = 0x0440;
  // The button of caption i has the identifier kFirstCaptionId + i.
  static constexpr int kFirstCaptionId = 0x0500;
  static constexpr int kMaxCaptions = 64;

  WinInfoDialog(const RawString& title, const RawString& text, int systemIcon = kWarningIcon)
      : title_(title), text_(text), icon_(systemIcon) {}

  // One button per caption, in order, in place of OK; the first is the default. Captions past
  // kMaxCaptions are left out.
  void SetCaptions(const std::vector<RawString>& captions);
  // Shows the text in a read-only box that scrolls when the text is larger than a part of the
  // work area (a report of many lines); lines end with "\n" or "\r\n".
  void SetScrolling(bool scrolling) { scrolling_ = scrolling; }
  // Centre over this screen rectangle instead of the owner's window (an empty one is ignored).
  void SetAnchor(const RawLayer::RawRect& anchor) { anchor_ = anchor; }
  // The caption position (from 0) of a result of Show, or -1 when the dialog was closed
  // otherwise (Escape, the close box) or not shown.
  int CaptionIndex(int result) const;

  // Shows the dialog and returns when the user has closed it, with the identifier of the button
  // that closed it (IDOK or a caption's, or IDCANCEL for Escape and the close box); 0 when it
  // could not be shown. With an owner window (an HWND) the dialog is centred over the anchor, or
  // else the owner's rectangle, and the owner is disabled while it is open; without one it is
  // centred over the anchor or in the work area. Either way it is kept inside the work area.
  int Show(void* owner);

 private:
  RawString title_;
  RawString text_;
  int icon_;
  std::vector<RawString> captions_;
  RawLayer::RawRect anchor_;
  bool scrolling_ = false;
};

}  // namespace WinLayer
