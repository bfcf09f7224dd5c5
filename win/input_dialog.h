// The input form: the caption "Input text ?", a text, one labelled field per form field and the
// buttons "Finish" and "Cancel", shown modally. It is a real dialog (class "#32770"): the text
// is the static control kTextId, field i's label and box have the identifiers kFirstLabelId + i
// and kFirstFieldId + i. A field with suggestions is a drop-down box that lists them; a
// read-only field is an edit box that cannot be changed. Each edit box keeps the input method's
// composition window at its caret and its own open state of the input method.
#pragma once

#include <vector>

#include "raw/rect.h"
#include "raw/string.h"

namespace WinLayer {

using RawLayer::RawString;

class WinInputDialog {
 public:
  struct Field {
    RawString label;
    RawString initial;
    std::vector<RawString> hints;  // offered in the field's drop-down list, in order
    bool readOnly = false;
    bool password = false;  // masked (ES_PASSWORD), without hints
  };

  static constexpr int kTextId = 0xFFFF;
  static constexpr int kFirstLabelId = 0x0600;
  static constexpr int kFirstFieldId = 0x0700;
  // More fields than this are left out of the form (their texts come back as given).
  static constexpr int kMaxFields = 240;

  WinInputDialog(const RawString& text, const std::vector<Field>& fields) : text_(text), fields_(fields) {}

  // Centre over this screen rectangle instead of the owner's window (an empty one is ignored).
  void SetAnchor(const RawLayer::RawRect& anchor) { anchor_ = anchor; }

  // Shows the form and returns when it is closed. True when "Finish" was pressed: `texts` then
  // holds one text per field, in order. False when it was cancelled (Cancel, Escape, the close
  // box) or could not be shown; `texts` is left alone. With an owner window (an HWND) the owner
  // is disabled while the form is open; the form is centred over the anchor, the owner, or the
  // work area, and kept inside the work area.
  [[nodiscard]] bool Show(void* owner, std::vector<RawString>& texts);

 private:
  RawString text_;
  std::vector<Field> fields_;
  RawLayer::RawRect anchor_;
};

}  // namespace WinLayer
