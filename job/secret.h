// Secret texts: what a password field gave, and the texts expanded from it. The log never shows
// them: the texts of its records (the link records' texts, the error records' pairs) have every
// occurrence of a secret, in UTF-8 and in the ANSI code page, replaced by "***". Record stamps
// and identifiers are left alone. Texts stay registered for the process, so a copy made by any
// path (a Define of a text that Expand put in, an error that quotes a value) is still concealed;
// the variables that hold them are marked secret as well.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

class JobSecrets {
 public:
  static JobSecrets& Instance();

  // Registers a text (an empty one, or one registered already, is ignored).
  void Add(const RawString& text);
  // Registers a text made of secrets and other text (an expanded parameter) unless it holds a
  // registered secret already: then masking that part is enough, and a loop that builds such
  // texts does not grow the list without end.
  void AddUnlessHeld(const RawString& text);
  // True when the text holds a registered secret.
  bool Occurs(const RawString& text) const;
  // Replaces every occurrence of a registered secret in the bytes by "***".
  void Mask(std::string& bytes) const;
  // The text with every secret replaced by "***" (itself when it holds none).
  RawString Masked(const RawString& text) const;
  bool IsEmpty() const { return !any_.load(std::memory_order_acquire); }
  // Forgets every secret (tests).
  void Clear();

  static const RawString& Shown();  // "***"

 private:
  bool OccursLocked(std::string_view bytes) const;

  mutable std::mutex lock_;
  std::atomic<bool> any_{false};
  std::vector<std::string> forms_;  // each secret's bytes in UTF-8 and in the ANSI page, longest first
};

}  // namespace JobLayer
