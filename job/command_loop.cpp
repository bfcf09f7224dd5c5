// The loops (While, For, Foreach) and Break. A loop clears the break flag on entry; a block that
// fails with the flag set was left by Break, and the loop ends with success and clears it.
#include "job/abort.h"
#include "job/command_flow.h"
#include "job/error.h"
#include "job/screen.h"
#include "job/variable.h"

namespace JobLayer {

namespace {

constexpr int kEscapeKey = 0x1B;

// Checked once per completed pass: Escape held, or the console interrupted.
bool Interrupted(const RawString& command) {
  if (!Screen().IsKeyDown(kEscapeKey) && !TakeAbortRequest()) return false;
  ReportCommandError("UserAborted", command, RawString(), RawString());
  return true;
}

// A block that failed: true (the loop ends well) when Break left it.
bool TakeBreak(JobCommandList& list) {
  if ((list.flags & JobCommandList::kBreakRequested) == 0) return false;
  list.flags &= static_cast<uint16_t>(~JobCommandList::kBreakRequested);
  return true;
}

void ClearBreak(JobCommandList& list) { list.flags &= static_cast<uint16_t>(~JobCommandList::kBreakRequested); }

// A number of the loop: the variables' number format, wrapped to 32 bits.
bool ReadNumber(const RawString& text, const RawString& parameter, int32_t& value) {
  int64_t wide = 0;
  if (!ParseVariableNumber(text, wide)) {
    ReportCommandError("IncorrectNumberFormat", "For", parameter, text);
    return false;
  }
  value = static_cast<int32_t>(static_cast<uint32_t>(wide));
  return true;
}

RawString DecimalText(int32_t value) {
  RawString text;
  text.AppendInteger(value);
  return text;
}

}  // namespace

JobCommandWhile::JobCommandWhile(JobCommandList& list) : JobCommandUnitEx("While", list) {}

bool JobCommandWhile::Execute(const JobParamList& params, const JobTraceId& caller) {
  if (GetRequiredParameter(params, "Condition", "While", caller).IsEmpty()) return false;
  ClearBreak(*owner);
  const RawString written = params.GetValue("Condition");
  for (;;) {
    const JobVariableResult condition = ExpandAndRecord(written, caller);
    if (condition.state != VariableSuccess) return false;
    if (!IsTrueText(condition.text)) return true;
    if (!owner->Execute(params, caller)) return TakeBreak(*owner);
    if (Interrupted("While")) return false;
  }
}

JobCommandFor::JobCommandFor(JobCommandList& list) : JobCommandUnitEx("For", list) {}

bool JobCommandFor::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString begin = GetRequiredParameter(params, "Begin", "For", caller);
  if (begin.IsEmpty()) return false;
  const RawString end = GetRequiredParameter(params, "End", "For", caller);
  if (end.IsEmpty()) return false;
  const RawString add = GetRequiredParameter(params, "Add", "For", caller);
  if (add.IsEmpty()) return false;

  int32_t counter = 0;
  if (!ReadNumber(begin, "Begin", counter)) return false;
  ClearBreak(*owner);
  JobVariableList& variables = JobVariableList::Instance();
  for (;;) {
    variables.Set("Counter", DecimalText(counter));
    int32_t last = 0;
    if (!ReadNumber(end, "End", last)) return false;
    if (counter == last) return true;
    if (!owner->Execute(params, caller)) return TakeBreak(*owner);
    int32_t step = 0;
    if (!ReadNumber(add, "Add", step)) return false;
    // Unsigned arithmetic: a counter past the largest value wraps instead of overflowing.
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(step));
    if (Interrupted("For")) return false;
  }
}

JobCommandForeach::JobCommandForeach(JobCommandList& list) : JobCommandUnitEx("Foreach", list) {}

bool JobCommandForeach::Execute(const JobParamList& params, const JobTraceId& caller) {
  const RawString items = GetRequiredParameter(params, "Parameter", "Foreach", caller);
  if (items.IsEmpty()) return false;
  ClearBreak(*owner);
  JobVariableList& variables = JobVariableList::Instance();
  const int32_t length = items.Length();
  int32_t position = 0;
  while (position < length) {
    RawString item;
    if (items.UnitAt(position) == '"') {
      // A quoted item runs to the next quote; whatever follows it up to the next "," is dropped.
      const int32_t close = items.Find('"', {position + 1, length});
      item = items.Sub({position + 1, close});
      position = items.Find(',', {close, length}) + 1;
    } else {
      const int32_t comma = items.Find(',', {position, length});
      item = items.Sub({position, comma});
      position = comma + 1;
    }
    variables.Set("Each", item);
    if (!owner->Execute(params, caller)) return TakeBreak(*owner);
    if (Interrupted("Foreach")) return false;
  }
  return true;
}

JobCommandBreak::JobCommandBreak(JobCommandList& list) : JobCommandUnitEx("Break", list) {}

bool JobCommandBreak::Execute(const JobParamList& params, const JobTraceId& caller) {
  (void)params;
  (void)caller;
  owner->flags |= JobCommandList::kBreakRequested;
  return false;
}

}  // namespace JobLayer
