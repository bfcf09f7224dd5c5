// The text of a global hotkey ("HotKey=" in [Option], [Button:...] and [Action:...]) and what it
// names: modifiers and one virtual-key code, in the numbers the system's RegisterHotKey takes.
//
// Key text: modifiers joined with "+" and one key last, letter case ignored, blanks around
// the parts ignored:
//   modifiers  Ctrl (also Control), Alt, Shift, Win; each at most once, in any order
//   keys       a letter A-Z, a digit 0-9, F1-F24, Space, Enter, Tab, Home, End, PageUp,
//              PageDown, Insert, Delete, Up, Down, Left, Right, Pause, and the numpad keys
//              Num0-Num9, NumAdd, NumSubtract, NumMultiply, NumDivide, NumDecimal
// A key without a modifier is refused unless it is F1-F24 or Pause: a bare letter taken from
// every program would break typing everywhere. Any text that is not of this form (an empty
// part, an unknown name, a second key, non-ASCII letters, a text longer than kMaxHotKeyText
// bytes) is refused with a sentence saying why; nothing is guessed.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

// The modifier bits of RegisterHotKey (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
inline constexpr uint32_t kHotKeyAlt = 0x0001;
inline constexpr uint32_t kHotKeyCtrl = 0x0002;
inline constexpr uint32_t kHotKeyShift = 0x0004;
inline constexpr uint32_t kHotKeyWin = 0x0008;
// No key text worth reading is longer; a longer one is refused before it is split.
inline constexpr int32_t kMaxHotKeyText = 64;

struct JobHotKey {
  uint32_t modifiers = 0;
  uint32_t virtualKey = 0;
  bool operator==(const JobHotKey&) const = default;
};

// The key of the text, or false with `why` (a sentence without the text itself).
[[nodiscard]] bool ParseHotKey(const RawString& text, JobHotKey& key, RawString& why);
// The key as it would be written in its usual spelling: "Ctrl+Alt+K", "F5", "Shift+NumAdd".
RawString HotKeyText(const JobHotKey& key);
// The text as it can stand in a message: at most 40 characters, cut with "...", and
// characters below a blank shown as "?".
RawString HotKeyQuote(const RawString& text);

}  // namespace JobLayer
