// Name patterns: the one matcher behind the file, folder, process and window
// searches. The grammar and the choices made where it leaves room are written at
// the top of name_pattern.cpp.
#pragma once

#include <memory>

#include "raw/string.h"

namespace RawLayer {

// True when `pattern` matches the whole of `text`. By its first character a
// pattern is negated ("<" and a pattern), literal (">" and the exact text),
// extended ("@" and atoms with classes and repetition) or a wildcard pattern
// ("*", "?" and "%" escapes). With `ignoreCase`, ASCII letters compare without
// regard to case (the literal form always compares exactly). Both texts are
// stepped by whole characters of their own code, so a trail byte is never taken
// for a pattern character. Matching takes time proportional to the text length
// times the pattern length whatever the pattern; every input gives a result.
[[nodiscard]] bool MatchNamePattern(const RawString& pattern, const RawString& text, bool ignoreCase);

// A pattern read once for a search that matches it against many names: the
// same answers as MatchNamePattern without reading the pattern again per name.
class RawNamePattern {
 public:
  RawNamePattern(const RawString& pattern, bool ignoreCase);
  RawNamePattern(const RawNamePattern&) = delete;
  RawNamePattern& operator=(const RawNamePattern&) = delete;
  RawNamePattern(RawNamePattern&&) noexcept;
  RawNamePattern& operator=(RawNamePattern&&) noexcept;
  ~RawNamePattern();

  [[nodiscard]] bool Matches(const RawString& text) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace RawLayer
