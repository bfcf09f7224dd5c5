#include "job/secret.h"

#include <algorithm>

namespace JobLayer {

JobSecrets& JobSecrets::Instance() {
  // Never destroyed: the log's storer may mask lines until the process ends.
  static JobSecrets* const secrets = new JobSecrets;
  return *secrets;
}

const RawString& JobSecrets::Shown() {
  static const RawString shown("***");
  return shown;
}

bool JobSecrets::OccursLocked(std::string_view bytes) const {
  for (const std::string& form : forms_) {
    if (bytes.find(form) != std::string_view::npos) return true;
  }
  return false;
}

void JobSecrets::AddUnlessHeld(const RawString& text) {
  if (!Occurs(text)) Add(text);
}

void JobSecrets::Add(const RawString& text) {
  if (text.IsEmpty()) return;
  std::vector<std::string> forms;
  forms.push_back(text.ToUtf8());
  // The log writes a line in the ANSI page as it is; a letter the page cannot hold has no
  // ANSI form to hide.
  RawString ansi;
  if (text.ConvertExact(RawLayer::CodeAnsi, ansi) && !ansi.IsEmpty()) forms.emplace_back(ansi.View());
  std::lock_guard<std::mutex> hold(lock_);
  for (const std::string& form : forms) {
    if (form.empty() || std::find(forms_.begin(), forms_.end(), form) != forms_.end()) continue;
    forms_.push_back(form);
  }
  // Longer forms first, so that a secret holding a shorter one is masked whole.
  std::stable_sort(forms_.begin(), forms_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  any_.store(!forms_.empty(), std::memory_order_release);
}

bool JobSecrets::Occurs(const RawString& text) const {
  if (IsEmpty() || text.IsEmpty()) return false;
  const std::string bytes = text.ToUtf8();
  std::lock_guard<std::mutex> hold(lock_);
  return OccursLocked(bytes);
}

void JobSecrets::Mask(std::string& bytes) const {
  if (IsEmpty()) return;
  std::lock_guard<std::mutex> hold(lock_);
  for (const std::string& form : forms_) {
    for (size_t at = bytes.find(form); at != std::string::npos; at = bytes.find(form, at + 3)) {
      bytes.replace(at, form.size(), "***");
    }
  }
}

RawString JobSecrets::Masked(const RawString& text) const {
  if (IsEmpty() || text.IsEmpty()) return text;
  // A narrow text is masked in its own bytes (the log writes UTF-8 and ANSI lines as they are);
  // any other code as UTF-8.
  const bool narrow = text.Code() == RawLayer::CodeUtf8 || text.Code() == RawLayer::CodeAnsi;
  std::string bytes = narrow ? std::string(text.View()) : text.ToUtf8();
  const size_t before = bytes.size();
  Mask(bytes);
  if (narrow && bytes.size() == before && bytes == text.View()) return text;
  return RawString::FromUnits(narrow ? text.Code() : RawLayer::CodeUtf8, bytes.data(),
                              static_cast<int32_t>(bytes.size()));
}

void JobSecrets::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  forms_.clear();
  any_.store(false, std::memory_order_release);
}

}  // namespace JobLayer
