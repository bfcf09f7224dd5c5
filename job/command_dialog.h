// Commands that talk to the user through the screen: a question with buttons (AskMessage), a
// message (PutMessage), a form of text fields (InputText), and the choice of a value by key
// (Pickup). Questions and forms open a "User" record in the log for as long as they are shown.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "job/command.h"

namespace JobLayer {

// Shows "Parameter" (required) with one button per caption of "Button" (comma-separated, empty
// captions dropped; "Yes,No" when none is left) and sets Result to the pressed caption. Closing
// the question, or pressing the caption given as "AbortBy", stops the run with Result untouched.
class JobCommandAskMessage : public JobCommandUnitEx {
 public:
  explicit JobCommandAskMessage(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Shows "Parameter" (required) in the dialog that script errors use, and goes on.
class JobCommandPutMessage : public JobCommandUnitEx {
 public:
  explicit JobCommandPutMessage(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// Texts entered in finished forms, per field position, newest first: what a later form offers
// for a field that brings no suggestions of its own.
class JobInputHintMemory {
 public:
  static constexpr int32_t kPositions = 20;
  static constexpr size_t kTextsPerPosition = 16;

  std::vector<RawString> Recall(int32_t position) const;
  // A text already held moves to the front; an empty text or a position past the first
  // kPositions is not kept.
  void Remember(int32_t position, const RawString& text);

 private:
  mutable std::mutex lock_;
  std::vector<RawString> texts_[kPositions];
};

// A form of fields numbered 0, 1, 2, ... up to the first number without "N:Variable"; each
// field has "N:Label", "N:Initial", "N:Hints" (comma-separated), "N:NoHint", "N:ReadOnly" and
// "N:Password" (masked, no hints, and its variable is secret: the log shows "***" for it).
// Result is "True" when the form was finished (then every field's text goes to its variable)
// and "False" when it was cancelled, which stops the run unless "NotAbort" is true.
class JobCommandInputText : public JobCommandUnitEx {
 public:
  explicit JobCommandInputText(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;

  // Held by the command, which lives as long as the registry: for the launcher, the process.
  JobInputHintMemory& Hints() { return hints_; }

 private:
  JobInputHintMemory hints_;
};

// Sets Pickup to the expanded value of the parameter named by "Parameter" (required); the empty
// text when the command has no such parameter.
class JobCommandPickup : public JobCommandUnitEx {
 public:
  explicit JobCommandPickup(JobCommandList& list);
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
};

// The non-empty pieces of a comma-separated list, as written.
std::vector<RawString> SplitCommaList(const RawString& text);

}  // namespace JobLayer
