#include "raw/locale.h"

#include <algorithm>

#include "raw/profile.h"

namespace RawLayer {

namespace {

RawString JoinKey(const RawString& section, const RawString& key) {
  RawString joined(CodeUtf8, section);
  joined.Append("_");
  joined.Append(key);
  return joined;
}

// Every known message: the defaults, overridden by the loaded texts, by key.
RawParameterList Merged(const RawParameterList& defaults, const RawParameterList& loaded) {
  RawParameterList all;
  all.Copy(defaults);
  all.Copy(loaded);
  all.Sort(false);
  return all;
}

}  // namespace

RawLocaleRecordList& RawLocaleRecordList::Instance() {
  static RawLocaleRecordList table;
  return table;
}

void RawLocaleRecordList::Register(const RawString& section, const RawLocaleRecord* records) {
  std::lock_guard<std::mutex> hold(lock_);
  if (records == nullptr || std::find(registered_.begin(), registered_.end(), records) != registered_.end()) return;
  registered_.push_back(records);
  for (const RawLocaleRecord* record = records; record->key != nullptr && record->key[0] != '\0'; ++record) {
    RawString text = record->defaultText != nullptr ? RawString::FromUtf8(record->defaultText) : RawString();
    defaults_.SetValue(JoinKey(section, RawString::FromUtf8(record->key)), text.Escape());
  }
}

void RawLocaleRecordList::SetLanguage(const RawString& name, const RawString& languageFile) {
  std::lock_guard<std::mutex> hold(lock_);
  language_ = name;
  languageFile_ = languageFile;
}

RawString RawLocaleRecordList::LanguageName() const {
  std::lock_guard<std::mutex> hold(lock_);
  return language_;
}

RawString RawLocaleRecordList::LanguageFile() const {
  std::lock_guard<std::mutex> hold(lock_);
  return languageFile_;
}

void RawLocaleRecordList::LoadLanguage() {
  std::lock_guard<std::mutex> hold(lock_);
  if (languageFile_.IsEmpty()) return;
  RawProfile profile(languageFile_);
  if (profile.ReadSection(language_, loaded_)) return;
  // A new language file starts as a complete template for translators.
  (void)profile.WriteSection(language_, Merged(defaults_, loaded_));
}

RawString RawLocaleRecordList::Text(const RawString& section, const RawString& key, const RawString& fallback) {
  std::lock_guard<std::mutex> hold(lock_);
  RawString joined = JoinKey(section, key);
  if (const RawParameterUnit* unit = loaded_.Find(joined)) return unit->value.Unescape();
  missingMet_ = true;
  if (const RawParameterUnit* unit = defaults_.Find(joined)) return unit->value.Unescape();
  RawString stored = fallback.Escape();
  defaults_.SetValue(joined, stored);
  return stored.Unescape();
}

bool RawLocaleRecordList::SaveMissing() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!missingMet_ || languageFile_.IsEmpty()) return true;
  missingMet_ = false;
  RawProfile profile(languageFile_);
  if (profile.WriteSection(language_, Merged(defaults_, loaded_))) return true;
  // Kept so that a later save tries again.
  missingMet_ = true;
  return false;
}

bool RawLocaleRecordList::MissingMet() const {
  std::lock_guard<std::mutex> hold(lock_);
  return missingMet_;
}

void RawLocaleRecordList::ResetForTest() {
  std::lock_guard<std::mutex> hold(lock_);
  language_ = "Default";
  languageFile_ = RawString();
  loaded_ = RawParameterList();
  defaults_ = RawParameterList();
  registered_.clear();
  missingMet_ = false;
}

RawString FormatMessage(const RawString& text, const RawString& a, const RawString& b) {
  RawString source = text.Convert(CodeUtf8);
  RawString result = RawString::WithCapacity(CodeUtf8, source.Length() + a.Length() + b.Length());
  const RawString* arguments[] = {&a, &b};
  int next = 0;
  int32_t copied = 0;
  for (int32_t at = source.Find('%'); at + 1 < source.Length(); at = source.Find('%', {at + 1, source.Length()})) {
    if (source.UnitAt(at + 1) != 's') continue;
    result.Append(source, {copied, at});
    if (next < 2) result.Append(*arguments[next]);
    ++next;
    copied = at + 2;
    at = at + 1;
  }
  result.Append(source, {copied, source.Length()});
  return result;
}

}  // namespace RawLayer
