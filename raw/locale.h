// The message table: built-in texts of the programs, overridable from a
// language file, with missing texts recorded so they can be written out for
// translators. One process-wide instance, guarded by its own lock.
#pragma once

#include <mutex>
#include <vector>

#include "raw/parameter_list.h"
#include "raw/string.h"

namespace RawLayer {

struct RawLocaleRecord {
  const char* key;          // empty key ends an array
  const char* defaultText;  // UTF-8
};

class RawLocaleRecordList {
 public:
  static RawLocaleRecordList& Instance();

  // Registers a record array once; the defaults get keys section + "_" + key.
  void Register(const RawString& section, const RawLocaleRecord* records);
  void SetLanguage(const RawString& name, const RawString& languageFile);
  RawString LanguageName() const;
  RawString LanguageFile() const;
  // Fills the loaded texts from the language file's section named after the
  // language; when that section cannot be read, writes the default texts there.
  void LoadLanguage();
  // The unescaped message for section/key, from the loaded texts, else the
  // defaults (adding `fallback` there when even they lack it).
  RawString Text(const RawString& section, const RawString& key, const RawString& fallback = RawString::Empty());
  // Writes every known message, sorted by key, to the language file when a
  // missing text was met. Returns false when writing failed.
  bool SaveMissing();
  bool MissingMet() const;

  // Tests start from a clean table.
  void ResetForTest();

 private:
  RawLocaleRecordList() = default;
  mutable std::mutex lock_;
  RawString language_ = "Default";
  RawString languageFile_;
  RawParameterList loaded_;
  RawParameterList defaults_;
  std::vector<const RawLocaleRecord*> registered_;
  bool missingMet_ = false;
};

// Replaces each "%s" in `text` by the next argument, as plain text; never a
// printf format, so a user's language file cannot inject one.
RawString FormatMessage(const RawString& text, const RawString& a = RawString::Empty(),
                        const RawString& b = RawString::Empty());

}  // namespace RawLayer
