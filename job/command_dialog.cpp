#include "job/command_dialog.h"

#include <algorithm>
#include <string>

#include "job/screen.h"
#include "job/variable.h"

namespace JobLayer {

namespace {

RawString FieldKey(int32_t number, const char* suffix) {
  return RawString::FromUtf8(std::to_string(number) + suffix);
}

// One field of a form as the script gives it, expanded.
struct FormField {
  RawString variable;
  JobInputField shown;
  bool remember = true;  // no "NoHint": its text may be offered again
};

}  // namespace

std::vector<RawString> SplitCommaList(const RawString& text) {
  std::vector<RawString> pieces;
  const std::string whole = text.ToUtf8();
  size_t start = 0;
  while (start <= whole.size()) {
    size_t end = whole.find(',', start);
    if (end == std::string::npos) end = whole.size();
    if (end > start) pieces.push_back(RawString::FromUtf8(std::string_view(whole).substr(start, end - start)));
    start = end + 1;
  }
  return pieces;
}

JobCommandAskMessage::JobCommandAskMessage(JobCommandList& list) : JobCommandUnitEx("AskMessage", list) {}

bool JobCommandAskMessage::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString question = GetRequiredParameter(params, "Parameter", "AskMessage", caller);
  if (question.IsEmpty()) return false;
  RawString buttons;
  RawString abortBy;
  if (!ExpandParameter(params, "Button", caller, buttons)) return false;
  if (!ExpandParameter(params, "AbortBy", caller, abortBy)) return false;
  std::vector<RawString> captions = SplitCommaList(buttons);
  // A list of nothing but commas would leave a question that can only be closed.
  if (captions.empty()) captions = SplitCommaList("Yes,No");

  RawString answer;
  {
    RawString record("(Ask)");
    record.Append(question);
    JobTraceScope shown('U', caller, JobTraceId::User(), record);
    const int32_t pressed = Screen().Ask(question, captions);
    if (pressed >= 0 && static_cast<size_t>(pressed) < captions.size()) answer = captions[static_cast<size_t>(pressed)];
    shown.SetResult(!answer.IsEmpty());
  }
  if (answer.IsEmpty() || answer == abortBy) return false;
  JobVariableList::Instance().Set("Result", answer);
  return true;
}

JobCommandPutMessage::JobCommandPutMessage(JobCommandList& list) : JobCommandUnitEx("PutMessage", list) {}

bool JobCommandPutMessage::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString message = GetRequiredParameter(params, "Parameter", "PutMessage", caller);
  if (message.IsEmpty()) return false;
  Screen().ShowError(message);
  return true;
}

std::vector<RawString> JobInputHintMemory::Recall(int32_t position) const {
  if (position < 0 || position >= kPositions) return {};
  std::lock_guard<std::mutex> hold(lock_);
  return texts_[position];
}

void JobInputHintMemory::Remember(int32_t position, const RawString& text) {
  if (position < 0 || position >= kPositions || text.IsEmpty()) return;
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<RawString>& texts = texts_[position];
  texts.erase(std::remove(texts.begin(), texts.end(), text), texts.end());
  texts.insert(texts.begin(), text);
  if (texts.size() > kTextsPerPosition) texts.resize(kTextsPerPosition);
}

JobCommandInputText::JobCommandInputText(JobCommandList& list) : JobCommandUnitEx("InputText", list) {}

bool JobCommandInputText::Execute(const JobParamList& params, const JobTraceId& caller) {
  RawString text;
  RawString notAbort;
  if (!ExpandParameter(params, "Parameter", caller, text)) return false;
  if (!ExpandParameter(params, "NotAbort", caller, notAbort)) return false;

  std::vector<FormField> form;
  for (int32_t number = 0;; ++number) {
    FormField field;
    if (!ExpandParameter(params, FieldKey(number, ":Variable"), caller, field.variable)) return false;
    if (field.variable.IsEmpty()) break;
    RawString hints;
    RawString noHint;
    RawString readOnly;
    RawString password;
    if (!ExpandParameter(params, FieldKey(number, ":Label"), caller, field.shown.label) ||
        !ExpandParameter(params, FieldKey(number, ":Initial"), caller, field.shown.initial) ||
        !ExpandParameter(params, FieldKey(number, ":Hints"), caller, hints) ||
        !ExpandParameter(params, FieldKey(number, ":NoHint"), caller, noHint) ||
        !ExpandParameter(params, FieldKey(number, ":ReadOnly"), caller, readOnly) ||
        !ExpandParameter(params, FieldKey(number, ":Password"), caller, password)) {
      return false;
    }
    field.shown.readOnly = IsTrueText(readOnly);
    field.shown.secret = IsTrueText(password);
    // A password is masked, never offered to a later form and never kept.
    field.remember = !IsTrueText(noHint) && !field.shown.secret;
    if (field.remember) {
      field.shown.hints = SplitCommaList(hints);
      if (field.shown.hints.empty()) field.shown.hints = hints_.Recall(number);
    }
    form.push_back(std::move(field));
  }

  std::vector<JobInputField> shownFields;
  shownFields.reserve(form.size());
  for (const FormField& field : form) shownFields.push_back(field.shown);
  std::vector<RawString> texts;
  bool finished = false;
  {
    RawString record("(Input)");
    record.Append(text);
    JobTraceScope shown('U', caller, JobTraceId::User(), record);
    finished = Screen().Input(text, shownFields, texts) && texts.size() == form.size();
    shown.SetResult(finished);
  }

  JobVariableList& variables = JobVariableList::Instance();
  variables.Set("Result", BoolText(finished));
  if (!finished) return IsTrueText(notAbort);
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i].shown.secret) {
      variables.SetSecret(form[i].variable, texts[i]);
      continue;
    }
    variables.Set(form[i].variable, texts[i]);
    if (form[i].remember && !form[i].shown.readOnly) hints_.Remember(static_cast<int32_t>(i), texts[i]);
  }
  return true;
}

JobCommandPickup::JobCommandPickup(JobCommandList& list) : JobCommandUnitEx("Pickup", list) {}

bool JobCommandPickup::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString key = GetRequiredParameter(params, "Parameter", "Pickup", caller);
  if (key.IsEmpty()) return false;
  RawString value;
  if (!ExpandParameter(params, key, caller, value)) return false;
  JobVariableList::Instance().Set("Pickup", value);
  return true;
}

}  // namespace JobLayer
