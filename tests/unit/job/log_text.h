// Log text made comparable: the record stamps (YYYYMMDD.HHMMSS.mmm) differ from run to run, so
// the tests compare what is left with each stamp replaced by "<stamp>".
#pragma once

#include <cstddef>
#include <string>

#include "raw/string.h"

namespace JobLayer::testing_support {

// True when `count` ASCII digits stand at `at`.
inline bool Digits(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

inline std::string Unstamped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (Digits(text, i, 8) && i + 19 <= text.size() && text[i + 8] == '.' && Digits(text, i + 9, 6) &&
        text[i + 15] == '.' && Digits(text, i + 16, 3)) {
      out += "<stamp>";
      i += 19;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// A log line as the program holds it, stamps replaced in its UTF-8 text.
inline std::string Unstamped(const RawLayer::RawString& line) { return Unstamped(line.ToUtf8()); }

}  // namespace JobLayer::testing_support
