#include "job/hotkey.h"

#include <array>
#include <string>
#include <string_view>

namespace JobLayer {

namespace {

struct KeyName {
  std::string_view name;
  uint32_t virtualKey;
};

// Named keys and their virtual-key codes (winuser.h); F-keys, letters and digits are computed.
constexpr std::array<KeyName, 32> kKeyNames = {{
    {"space", 0x20},      {"enter", 0x0D},       {"return", 0x0D},      {"tab", 0x09},
    {"home", 0x24},       {"end", 0x23},         {"pageup", 0x21},      {"pagedown", 0x22},
    {"insert", 0x2D},     {"delete", 0x2E},      {"up", 0x26},          {"down", 0x28},
    {"left", 0x25},       {"right", 0x27},       {"pause", 0x13},       {"num0", 0x60},
    {"num1", 0x61},       {"num2", 0x62},        {"num3", 0x63},        {"num4", 0x64},
    {"num5", 0x65},       {"num6", 0x66},        {"num7", 0x67},        {"num8", 0x68},
    {"num9", 0x69},       {"nummultiply", 0x6A}, {"numadd", 0x6B},      {"numsubtract", 0x6D},
    {"numdecimal", 0x6E}, {"numdivide", 0x6F},   {"ins", 0x2D},         {"del", 0x2E},
}};

// The usual spellings, for HotKeyText.
constexpr std::array<KeyName, 29> kKeySpellings = {{
    {"Space", 0x20},   {"Enter", 0x0D},       {"Tab", 0x09},         {"Home", 0x24},
    {"End", 0x23},     {"PageUp", 0x21},      {"PageDown", 0x22},    {"Insert", 0x2D},
    {"Delete", 0x2E},  {"Up", 0x26},          {"Down", 0x28},        {"Left", 0x25},
    {"Right", 0x27},   {"Pause", 0x13},       {"NumMultiply", 0x6A}, {"NumAdd", 0x6B},
    {"NumSubtract", 0x6D}, {"NumDecimal", 0x6E}, {"NumDivide", 0x6F}, {"Num0", 0x60},
    {"Num1", 0x61},    {"Num2", 0x62},        {"Num3", 0x63},        {"Num4", 0x64},
    {"Num5", 0x65},    {"Num6", 0x66},        {"Num7", 0x67},        {"Num8", 0x68},
    {"Num9", 0x69},
}};

constexpr uint32_t kVkF1 = 0x70;
constexpr uint32_t kVkF24 = 0x87;
constexpr uint32_t kVkPause = 0x13;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// modifier := "ctrl" | "control" | "alt" | "shift" | "win"; 0 for none.
uint32_t ModifierOf(const std::string& part) {
  if (part == "ctrl" || part == "control") return kHotKeyCtrl;
  if (part == "alt") return kHotKeyAlt;
  if (part == "shift") return kHotKeyShift;
  if (part == "win") return kHotKeyWin;
  return 0;
}

// key := letter | digit | "f" 1..24 | name; 0 for none.
uint32_t KeyOf(const std::string& part) {
  if (part.size() == 1) {
    const char c = part[0];
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c);
    return 0;
  }
  if (part[0] == 'f' && part.size() <= 3) {
    uint32_t number = 0;
    for (size_t i = 1; i < part.size(); ++i) {
      if (part[i] < '0' || part[i] > '9') return 0;
      number = number * 10 + static_cast<uint32_t>(part[i] - '0');
    }
    if (part[1] == '0' || number < 1 || number > 24) return 0;
    return kVkF1 + number - 1;
  }
  for (const KeyName& key : kKeyNames) {
    if (part == key.name) return key.virtualKey;
  }
  return 0;
}

}  // namespace

namespace {

// hotkey := part { "+" part }; every part but the last is a modifier, the last is a key.
bool ParseParts(const RawString& text, JobHotKey& key, RawString& why) {
  const std::string bytes = text.Convert(RawLayer::CodeUtf8).ToUtf8();
  const std::string_view whole = TrimBlanks(bytes);
  if (whole.empty()) {
    why = "no key is given";
    return false;
  }
  if (whole.size() > static_cast<size_t>(kMaxHotKeyText)) {
    why = "the text is too long to be a key";
    return false;
  }
  for (const char c : whole) {
    if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) {
      why = "only the names Ctrl, Alt, Shift, Win and a key in plain letters are understood";
      return false;
    }
  }
  std::string_view rest = whole;
  while (true) {
    const size_t plus = rest.find('+');
    const std::string part = Lower(TrimBlanks(rest.substr(0, plus)));
    const bool last = plus == std::string_view::npos;
    if (part.empty()) {
      why = "a part between the \"+\" signs is empty";
      return false;
    }
    if (const uint32_t modifier = ModifierOf(part); modifier != 0) {
      if (last) {
        why = "no key follows the modifiers";
        return false;
      }
      if ((key.modifiers & modifier) != 0) {
        why = "a modifier is named twice";
        return false;
      }
      key.modifiers |= modifier;
      rest.remove_prefix(plus + 1);
      continue;
    }
    const uint32_t virtualKey = KeyOf(part);
    if (virtualKey == 0) {
      why = RawString::FromUtf8("\"" + part + "\" is neither a modifier (Ctrl, Alt, Shift, Win) nor a key name");
      return false;
    }
    if (!last) {
      why = "only one key may follow the modifiers, and it comes last";
      return false;
    }
    key.virtualKey = virtualKey;
    break;
  }
  const bool standsAlone = key.virtualKey == kVkPause || (key.virtualKey >= kVkF1 && key.virtualKey <= kVkF24);
  if (key.modifiers == 0 && !standsAlone) {
    why = "a key without Ctrl, Alt, Shift or Win: only F1-F24 and Pause may stand alone";
    return false;
  }
  return true;
}

}  // namespace

bool ParseHotKey(const RawString& text, JobHotKey& key, RawString& why) {
  JobHotKey parsed;
  const bool ok = ParseParts(text, parsed, why);
  // A text that names no key leaves none, not the modifiers read before the fault.
  key = ok ? parsed : JobHotKey{};
  return ok;
}

RawString HotKeyText(const JobHotKey& key) {
  std::string text;
  if (key.modifiers & kHotKeyCtrl) text += "Ctrl+";
  if (key.modifiers & kHotKeyAlt) text += "Alt+";
  if (key.modifiers & kHotKeyShift) text += "Shift+";
  if (key.modifiers & kHotKeyWin) text += "Win+";
  const uint32_t vk = key.virtualKey;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
    text += static_cast<char>(vk);
  } else if (vk >= kVkF1 && vk <= kVkF24) {
    text += "F" + std::to_string(vk - kVkF1 + 1);
  } else {
    bool named = false;
    for (const KeyName& spelling : kKeySpellings) {
      if (spelling.virtualKey == vk) {
        text += spelling.name;
        named = true;
        break;
      }
    }
    if (!named) text += "0x" + std::to_string(vk);
  }
  return RawString::FromUtf8(text);
}

RawString HotKeyQuote(const RawString& text) {
  const RawString utf8 = text.Convert(RawLayer::CodeUtf8);
  std::string out;
  int32_t characters = 0;
  for (int32_t at = 0; at < utf8.Length(); at += 1 + utf8.CharExtra(at)) {
    if (characters == 40) {
      out += "...";
      break;
    }
    const int32_t size = 1 + utf8.CharExtra(at);
    const auto first = static_cast<unsigned char>(utf8.View()[static_cast<size_t>(at)]);
    if (first < 0x20 || first == 0x7F) {
      out += '?';
    } else {
      out.append(utf8.View().substr(static_cast<size_t>(at), static_cast<size_t>(size)));
    }
    ++characters;
  }
  return RawString::FromUtf8(out);
}

}  // namespace JobLayer
